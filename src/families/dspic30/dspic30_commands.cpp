// The commands of the dsPIC30 pages as every front end runs them: the preparation on the calling
// thread (HEX file, the "Fast Reading?" question), then the operation on the calling thread or
// on the document's worker.
#include "engine/cqel_doc.h"
#include "engine/operation_hex_file.h"
#include "engine/text_format.h"
#include "families/dspic30/dspic30_operations.h"
#include "memory/intel_hex.h"

namespace velmora {

namespace {

using namespace command_input;
// Only programming erases first; verify and read take the memory parts and the verify options.
constexpr uint32_t kVerifyParts = kVerifyOptions | kMemoryParts;

constexpr FamilyCommand kDsPic30Commands[] = {
    {.id = int(DsPic30Command::kIdentify),
     .name = "identify",
     .help = "identify the target device",
     .onWorker = false,
     .inputs = 0},
    {.id = int(DsPic30Command::kProgram),
     .name = "program",
     .help = "erase, program and verify the target",
     .onWorker = true,
     .inputs = kHexFile | kConfigFromOptions | kVerifyParts | kChipErase},
    {.id = int(DsPic30Command::kVerify),
     .name = "verify",
     .help = "compare the target with a HEX file",
     .onWorker = true,
     .inputs = kHexFile | kConfigFromOptions | kVerifyParts},
    {.id = int(DsPic30Command::kRead),
     .name = "read",
     .help = "read the target and save it as Intel HEX",
     .onWorker = true,
     .inputs = kSaveFile | kVerifyParts},
    {.id = int(DsPic30Command::kEraseChip),
     .name = "erase chip",
     .help = "erase the whole chip",
     .onWorker = false,
     .inputs = 0},
    {.id = int(DsPic30Command::kEraseEeprom),
     .name = "erase eeprom",
     .help = "erase the data EEPROM",
     .onWorker = false,
     .inputs = 0},
    {.id = int(DsPic30Command::kUpdate),
     .name = "update",
     .help = "program only the changed flash rows",
     .onWorker = true,
     .inputs = kHexFile},
    {.id = int(DsPic30Command::kReadConfiguration),
     .name = "config read",
     .help = "read the configuration into the options (shown, not stored)",
     .onWorker = false,
     .inputs = 0},
    {.id = int(DsPic30Command::kDumpRam),
     .name = "dump ram",
     .help = "show the RAM after a reset",
     .onWorker = false,
     .inputs = 0},
    {.id = int(DsPic30Command::kDumpEeprom),
     .name = "dump eeprom",
     .help = "show the EEPROM after a reset",
     .onWorker = false,
     .inputs = 0},
};

}  // namespace

std::span<const FamilyCommand> DsPic30Commands() {
  return kDsPic30Commands;
}

bool CDsPic30Operations::Prepare(int command) {
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  switch (static_cast<DsPic30Command>(command)) {
    case DsPic30Command::kProgram:
    case DsPic30Command::kVerify:
      // The configuration from the options is encoded once the device is identified; the
      // file's becomes the document's.
      if (!LoadOperationHexFile(doc_, file, doc_.dspic30FlashFileName)) return false;
      TakeConfigurationFromFile();
      return true;
    case DsPic30Command::kUpdate:
      doc_.progressBar.SetRange(0, 999);
      return LoadOperationHexFile(doc_, file, doc_.dspic30FlashFileName);
    case DsPic30Command::kRead:
      return AskToLeaveFastReading();
    default:
      return true;
  }
}

bool CDsPic30Operations::AskToLeaveFastReading() {
  if (!Option(DSPIC30PROGRAMMEMORY) || !(Option(DSPIC30FASTVERIFY) || Option(DSPIC30NOVERIFY))) {
    return true;
  }
  const Answer answer = doc_.Prompt().MessageBox(
      "Fast/No Verifying/Reading is active!\nDo you want to deactivete it now?", "Fast Reading?",
      mb::kYesNoCancel | mb::kIconQuestion);
  if (answer == Answer::Cancel) return false;
  if (answer == Answer::Yes) {
    doc_.optionSelections[DSPIC30FASTVERIFY] = 0;
    doc_.optionSelections[DSPIC30NOVERIFY] = 0;
  }
  return true;
}

void CDsPic30Operations::Run(int command) {
  switch (static_cast<DsPic30Command>(command)) {
    case DsPic30Command::kIdentify:
      return RunIdentifyDspic30();
    case DsPic30Command::kReadConfiguration:
      return RunReadDspic30Configuration();
    case DsPic30Command::kEraseChip:
      return RunEraseDspic30();
    case DsPic30Command::kEraseEeprom:
      return RunEraseDspic30Eeprom();
    case DsPic30Command::kProgram:
      return RunDspic30Sequence(Program);
    case DsPic30Command::kVerify:
      return RunDspic30Sequence(Verify);
    case DsPic30Command::kRead:
      return RunDspic30Sequence(Read);
    case DsPic30Command::kUpdate:
      return RunUpdateDspic30ProgramMemory();
    case DsPic30Command::kDumpRam:
      return RunReadDspic30RamAfterReset();
    case DsPic30Command::kDumpEeprom:
      return RunReadDspic30EepromAfterReset();
  }
}

std::string CDsPic30Operations::ResultText(int command) const {
  if (static_cast<DsPic30Command>(command) != DsPic30Command::kReadConfiguration) return {};
  static constexpr const char* kNames[] = {"FOSC", "FWDT", "FBORPOR", "FBS", "FSS", "FGS", "FICD"};
  std::string text = "dsPIC30 Configuration:";
  for (size_t i = 0; i < configWords_.size(); ++i) {
    text += Printf(" %s=%04X", kNames[i], configWords_[i]);
  }
  return text;
}

}  // namespace velmora
