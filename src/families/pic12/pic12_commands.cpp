// The commands of the PIC12F629 page as every front end runs them: the HEX file and the page's
// configuration word on the calling thread, then the operation on the calling thread or on the
// document's worker.
#include "engine/cqel_doc.h"
#include "engine/text_format.h"
#include "families/pic12/pic12_operations.h"
#include "link/pic_vortang.h"
#include "memory/intel_hex.h"

namespace velmora {

namespace {

using namespace command_input;

constexpr FamilyCommand kPic12Commands[] = {
    {.id = int(Pic12Command::kIdentify),
     .name = "identify",
     .help = "identify the target device, its calibration and ID words",
     .onWorker = false,
     .inputs = 0},
    {.id = int(Pic12Command::kProgram),
     .name = "program",
     .help = "erase, program and verify the target, keeping its calibration",
     .onWorker = true,
     .inputs = kHexFile | kConfigFromOptions | kMemoryParts},
    {.id = int(Pic12Command::kVerify),
     .name = "verify",
     .help = "compare the target with a HEX file",
     .onWorker = true,
     .inputs = kHexFile | kConfigFromOptions | kMemoryParts},
    {.id = int(Pic12Command::kRead),
     .name = "read",
     .help = "read the target and save it as Intel HEX",
     .onWorker = true,
     .inputs = kSaveFile},
    {.id = int(Pic12Command::kEraseFlash),
     .name = "erase flash",
     .help = "erase program memory, ID words and configuration, keeping the calibration",
     .onWorker = false,
     .inputs = 0},
    {.id = int(Pic12Command::kEraseEeprom),
     .name = "erase eeprom",
     .help = "erase the data EEPROM",
     .onWorker = false,
     .inputs = 0},
    {.id = int(Pic12Command::kReadConfiguration),
     .name = "config read",
     .help = "read the configuration word into the options (shown, not stored)",
     .onWorker = false,
     .inputs = 0},
    {.id = int(Pic12Command::kDumpEeprom),
     .name = "dump eeprom",
     .help = "show the EEPROM",
     .onWorker = false,
     .inputs = 0},
};

}  // namespace

std::span<const FamilyCommand> Pic12Commands() {
  return kPic12Commands;
}

bool CPic12Operations::Prepare(int command) {
  const auto which = static_cast<Pic12Command>(command);
  if (which != Pic12Command::kProgram && which != Pic12Command::kVerify) return true;
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  if (ReadHexFile(file, doc_.hexFileName, doc_.Prompt()) == 0) return false;
  if (state.ignoreHexConfig) {
    SetPic12Word(file, pic12cell::kConfigurationWord, state.configurationWord);
  } else {
    TakeConfigurationFromFile();
  }
  return true;
}

void CPic12Operations::Run(int command) {
  switch (static_cast<Pic12Command>(command)) {
    case Pic12Command::kIdentify:
      return RunIdentifyPic12();
    case Pic12Command::kEraseFlash:
      return RunErasePic12Flash();
    case Pic12Command::kEraseEeprom:
      return RunErasePic12Eeprom();
    case Pic12Command::kReadConfiguration:
      return RunReadPic12Configuration();
    case Pic12Command::kDumpEeprom:
      return RunReadPic12EepromAfterReset();
    case Pic12Command::kProgram:
      return RunPic12Sequence(Program);
    case Pic12Command::kVerify:
      return RunPic12Sequence(Verify);
    case Pic12Command::kRead:
      return RunPic12Sequence(Read);
  }
}

std::string CPic12Operations::ResultText(int command) const {
  if (static_cast<Pic12Command>(command) != Pic12Command::kReadConfiguration) return {};
  return Printf("PIC12 Configuration: %04X", state.configurationWord);
}

}  // namespace velmora
