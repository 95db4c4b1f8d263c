// The commands of the PIC18 view as every front end runs them: the busy guard, the preparation
// on the calling thread (HEX file, configuration from the options, the "Fast Reading?"
// question), then the operation on the calling thread or on the document's worker.
#include "engine/config_pic18.h"
#include "engine/cqel_doc.h"
#include "link/pic_vortang.h"
#include "memory/intel_hex.h"

namespace velmora {

namespace {

struct Pic18CommandInfo {
  Pic18Command command;
  bool onWorker;  // program, verify, read, update and the EEPROM erase run on the worker
};

constexpr Pic18CommandInfo kPic18Commands[] = {
    {.command = Pic18Command::kIdentify, .onWorker = false},
    {.command = Pic18Command::kReadConfiguration, .onWorker = false},
    {.command = Pic18Command::kEraseChip, .onWorker = false},
    {.command = Pic18Command::kEraseEeprom, .onWorker = true},
    {.command = Pic18Command::kEraseIdLocation, .onWorker = false},
    {.command = Pic18Command::kProgram, .onWorker = true},
    {.command = Pic18Command::kVerify, .onWorker = true},
    {.command = Pic18Command::kRead, .onWorker = true},
    {.command = Pic18Command::kUpdate, .onWorker = true},
    {.command = Pic18Command::kDumpRam, .onWorker = false},
    {.command = Pic18Command::kDumpEeprom, .onWorker = false},
};

bool RunsOnWorker(Pic18Command command) {
  for (const Pic18CommandInfo& info : kPic18Commands) {
    if (info.command == command) return info.onWorker;
  }
  return false;
}

}  // namespace

bool CqelDoc::StartPic18Command(Pic18Command command) {
  lastOutcome = OperationOutcome::kNotStarted;
  if (IsBusy()) return false;
  // The view's stored controls reach the link here.
  programmer->powerSwitchingMode = powerSwitching;
  if (!PreparePic18Command(command)) return false;

  auto operation = [this, command] { RunPic18Command(command); };
  return RunsOnWorker(command) ? StartOperation(operation) : RunOperation(operation);
}

bool CqelDoc::PreparePic18Command(Pic18Command command) {
  switch (command) {
    case Pic18Command::kProgram:
    case Pic18Command::kVerify:
      if (!ReadHexFile(programmer->fileImage, hexFileName, prompt_)) return false;
      if (ignoreConfigFromFile) EncodePic18Configuration(optionSelections, programmer->fileImage);
      return true;
    case Pic18Command::kRead:
      return AskToLeaveFastReading();
    case Pic18Command::kUpdate:
      progressBar.SetRange(0, 999);
      if (!ReadHexFile(programmer->fileImage, hexFileName, prompt_)) return false;
      if (ignoreConfigFromFile) {
        for (size_t i = 0; i < pic18Configuration.size(); ++i) {
          programmer->fileImage.configuration[i] = pic18Configuration[i];
        }
      }
      return true;
    default:
      return true;
  }
}

bool CqelDoc::AskToLeaveFastReading() {
  if (!enableFlashUpdate || !(fastVerify || noVerify)) return true;
  const Answer answer =
      prompt_.MessageBox("Fast/No Verifying/Reading is active!\nDo you want to deactivete it now?",
                         "Fast Reading?", mb::kYesNoCancel | mb::kIconQuestion);
  if (answer == Answer::Cancel) return false;
  if (answer == Answer::Yes) {
    fastVerify = 0;
    noVerify = 0;
  }
  return true;
}

void CqelDoc::RunPic18Command(Pic18Command command) {
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
