// The commands of the PIC18 pages as every front end runs them: the preparation on the calling
// thread (HEX file, configuration from the options, the "Fast Reading?" question), then the
// operation on the calling thread or on the document's worker.
#include <array>

#include "engine/cqel_doc.h"
#include "engine/operation_hex_file.h"
#include "engine/text_format.h"
#include "families/pic18/config_pic18.h"
#include "families/pic18/pic18_operations.h"
#include "memory/intel_hex.h"

namespace velmora {

namespace {

using namespace command_input;
// Only programming erases first; verify and read take the memory parts and the verify options.
constexpr uint32_t kVerifyParts = kVerifyOptions | kMemoryParts;

// Program, verify, read, update and the EEPROM erase run on the worker.
constexpr FamilyCommand kPic18Commands[] = {
    {.id = int(Pic18Command::kIdentify),
     .name = "identify",
     .help = "identify the target device",
     .onWorker = false,
     .inputs = kNoVerify},
    {.id = int(Pic18Command::kProgram),
     .name = "program",
     .help = "erase, program and verify the target",
     .onWorker = true,
     .inputs = kHexFile | kConfigFromOptions | kVerifyParts | kChipErase},
    {.id = int(Pic18Command::kVerify),
     .name = "verify",
     .help = "compare the target with a HEX file",
     .onWorker = true,
     .inputs = kHexFile | kConfigFromOptions | kVerifyParts},
    {.id = int(Pic18Command::kRead),
     .name = "read",
     .help = "read the target and save it as Intel HEX",
     .onWorker = true,
     .inputs = kSaveFile | kVerifyParts},
    {.id = int(Pic18Command::kEraseChip),
     .name = "erase chip",
     .help = "erase the whole chip",
     .onWorker = false,
     .inputs = 0},
    {.id = int(Pic18Command::kEraseEeprom),
     .name = "erase eeprom",
     .help = "erase the data EEPROM",
     .onWorker = true,
     .inputs = 0},
    {.id = int(Pic18Command::kEraseIdLocation),
     .name = "erase id",
     .help = "erase the ID locations",
     .onWorker = false,
     .inputs = 0},
    {.id = int(Pic18Command::kUpdate),
     .name = "update",
     .help = "program only the changed flash blocks",
     .onWorker = true,
     .inputs = kHexFile | kConfigFromOptions},
    {.id = int(Pic18Command::kReadConfiguration),
     .name = "config read",
     .help = "read the configuration into the options (shown, not stored)",
     .onWorker = false,
     .inputs = 0},
    {.id = int(Pic18Command::kDumpRam),
     .name = "dump ram",
     .help = "show the RAM after a reset",
     .onWorker = false,
     .inputs = 0},
    {.id = int(Pic18Command::kDumpEeprom),
     .name = "dump eeprom",
     .help = "show the EEPROM after a reset",
     .onWorker = false,
     .inputs = 0},
};

}  // namespace

std::span<const FamilyCommand> Pic18Commands() {
  return kPic18Commands;
}

bool CPic18Operations::Prepare(int command) {
  return PreparePic18Command(static_cast<Pic18Command>(command));
}

void CPic18Operations::Run(int command) {
  RunPic18Command(static_cast<Pic18Command>(command));
}

std::string CPic18Operations::ResultText(int command) const {
  if (static_cast<Pic18Command>(command) != Pic18Command::kReadConfiguration) return {};
  // The settings are not written by every front end, so show what the page would store.
  std::string text = "PIC18 Configuration:";
  for (uint8_t byte : doc_.pic18Configuration) text += Printf(" %02X", byte);
  return text;
}

bool CPic18Operations::PreparePic18Command(Pic18Command command) {
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  switch (command) {
    case Pic18Command::kProgram:
    case Pic18Command::kVerify:
      if (!LoadOperationHexFile(doc_, file, doc_.hexFileName)) return false;
      NoteHexFileLoaded();
      if (doc_.ignoreConfigFromFile) EncodePic18Configuration(doc_.optionSelections, file);
      return true;
    case Pic18Command::kRead:
      return AskToLeaveFastReading();
    case Pic18Command::kUpdate:
      doc_.progressBar.SetRange(0, 999);
      if (!LoadOperationHexFile(doc_, file, doc_.hexFileName)) return false;
      NoteHexFileLoaded();
      if (doc_.ignoreConfigFromFile) {
        for (size_t i = 0; i < doc_.pic18Configuration.size(); ++i) {
          file.configuration[i] = doc_.pic18Configuration[i];
        }
      }
      return true;
    default:
      return true;
  }
}

bool CPic18Operations::AskToLeaveFastReading() {
  if (!doc_.enableFlashUpdate || !(doc_.fastVerify || doc_.noVerify)) return true;
  const Answer answer = doc_.Prompt().MessageBox(
      "Fast/No Verifying/Reading is active!\nDo you want to deactivete it now?", "Fast Reading?",
      mb::kYesNoCancel | mb::kIconQuestion);
  if (answer == Answer::Cancel) return false;
  if (answer == Answer::Yes) {
    doc_.fastVerify = 0;
    doc_.noVerify = 0;
  }
  return true;
}

void CPic18Operations::RunPic18Command(Pic18Command command) {
  switch (command) {
    case Pic18Command::kIdentify:
      return RunIdentifyPic18();
    case Pic18Command::kReadConfiguration:
      return RunReadPic18Configuration();
    case Pic18Command::kEraseChip:
      return RunErasePic18Chip();
    case Pic18Command::kEraseEeprom:
      return RunErasePic18Eeprom();
    case Pic18Command::kEraseIdLocation:
      return RunErasePic18IdLocation();
    case Pic18Command::kProgram:
      return RunPic18Sequence(Program);
    case Pic18Command::kVerify:
      return RunPic18Sequence(Verify);
    case Pic18Command::kRead:
      return RunPic18Sequence(Read);
    case Pic18Command::kUpdate:
      return RunUpdatePic18ProgramMemory();
    case Pic18Command::kDumpRam:
      return RunReadPic18RamAfterReset();
    case Pic18Command::kDumpEeprom:
      return RunReadPic18EepromAfterReset();
  }
}

}  // namespace velmora
