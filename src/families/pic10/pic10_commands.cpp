// The commands of the PIC10F20x page as every front end runs them.
#include "engine/cqel_doc.h"
#include "families/pic10/pic10_operations.h"
#include "link/pic_vortang.h"
#include "memory/intel_hex.h"

namespace velmora {

namespace {

using namespace command_input;

constexpr FamilyCommand kPic10Commands[] = {
    {.id = int(Pic10Command::kProgram),
     .name = "program",
     .help = "erase, program and verify the target, keeping its calibration",
     .onWorker = true,
     .inputs = kHexFile | kConfigFromOptions},
    {.id = int(Pic10Command::kVerify),
     .name = "verify",
     .help = "compare the target with a HEX file",
     .onWorker = true,
     .inputs = kHexFile | kConfigFromOptions},
    {.id = int(Pic10Command::kRead),
     .name = "read",
     .help = "read the target and save it as Intel HEX",
     .onWorker = true,
     .inputs = kSaveFile},
    {.id = int(Pic10Command::kEraseFlash),
     .name = "erase flash",
     .help = "erase program memory and configuration word, keeping the calibration",
     .onWorker = false,
     .inputs = 0},
};

}  // namespace

std::span<const FamilyCommand> Pic10Commands() {
  return kPic10Commands;
}

// Program and Verify: the type from the settings, the HEX file, and the configuration word from
// the page when it ignores the file's (or the file has none), else from the file.
bool CPic10Operations::Prepare(int command) {
  const auto which = static_cast<Pic10Command>(command);
  if (which != Pic10Command::kProgram && which != Pic10Command::kVerify) return true;
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  if (ReadHexFile(file, doc_.hexFileName, doc_.Prompt()) == 0) return false;
  SelectType();
  TakeConfigurationFromFile();
  file.configuration[0] = state.configurationWord & 0xFF;
  file.configuration[1] = state.configurationWord >> 8;
  return true;
}

void CPic10Operations::Run(int command) {
  switch (static_cast<Pic10Command>(command)) {
    case Pic10Command::kEraseFlash:
      return RunErasePic10();
    case Pic10Command::kProgram:
      return RunPic10Sequence(Program);
    case Pic10Command::kVerify:
      return RunPic10Sequence(Verify);
    case Pic10Command::kRead:
      return RunPic10Sequence(Read);
  }
}

}  // namespace velmora
