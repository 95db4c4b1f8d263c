// Script runs: one host sub of the compiled ZEQL script on the worker, with the script view's
// options as predefined variables, and the status records scripts send to the bar.
#include <filesystem>

#include "engine/cqel_doc.h"
#include "engine/text_format.h"
#include "link/pic_vortang.h"
#include "script/zeql_engine.h"
#include "script/zeql_executor.h"

namespace velmora {

namespace {

// Firmware bytes around a script run: the cycle start, the line set-up, and the programming
// voltage (high-voltage scripts only); the cycle end.
constexpr uint8_t kCycleStart = 0x0A;
constexpr uint8_t kScriptLines = 0x06;
constexpr uint8_t kHighVoltageLine = 0x00;
constexpr uint8_t kCycleEnd = 0x0B;

// The option variables scripts read, and the script view's setting behind each.
struct OptionVariable {
  const char* name;
  ZeqOption option;
};
constexpr OptionVariable kOptionVariables[] = {
    {"_LVP", kZeqLvp},
    {"_fastVerify", kZeqFastVerify},
    {"_noVerify", kZeqNoVerify},
    {"_eraseChip", kZeqEraseAlways},
    {"_programFlash", kZeqProgramMemory},
    {"_programEEPROM", kZeqProgramEeprom},
    {"_programID", kZeqProgramIdLocation},
    {"_programConfig", kZeqProgramConfiguration},
    {"_ignoreConfigFromHex", kZeqIgnoreConfigFromHex},
};

constexpr const char* kLinkLostLine = "+++ Connection to the programmer lost +++";

}  // namespace

std::optional<ZeqOption> ScriptOptionOf(std::string_view variable) {
  for (const OptionVariable& option : kOptionVariables) {
    if (variable == option.name) return option.option;
  }
  return std::nullopt;
}

void CqelDoc::SetScriptOptionVariables() {
  // Set as while compiling, so that they may replace header constants of the same name.
  const bool wasCompiling = scriptEngine->compileFlag;
  scriptEngine->compileFlag = true;
  for (const OptionVariable& variable : kOptionVariables) {
    scriptEngine->SetVariableNumber(variable.name, zeqOptions[variable.option]);
  }
  scriptEngine->compileFlag = wasCompiling;
}

void CqelDoc::TakeOverAlgorithmName() {
  if (scriptEngine->FindVariable("_algorithm") == nullptr) return;
  const ZEQLValue value = scriptEngine->GetString("_algorithm");
  if (value.kind != ZEQLValueKind::kStringVariable || value.string.empty()) return;
  prompt_.MessageBox(
      Printf("Wrong algorithm detected. Loading new algorithm.\n\"%s\"", value.string.c_str()),
      "Wrong algorithm", mb::kInfoAlert);
  const std::filesystem::path folder = std::filesystem::path(zeqAlgorithmFiles[0]).parent_path();
  zeqAlgorithmFiles[0] = (folder / value.string).string();
}

void CqelDoc::RunScriptFunction() {
  const std::string name = zeqRunFunctionName;
  if (name.empty()) {
    LogLine("Nothing to do.");
    LogLine("");
    lastOutcome = OperationOutcome::kNotStarted;
    return;
  }
  lastOutcome = OperationOutcome::kFailed;
  for (int slot = 0; slot < static_cast<int>(zeqFiles.size()); ++slot) {
    scriptEngine->SetFileName(slot, zeqFiles[static_cast<size_t>(slot)]);
  }
  SetScriptOptionVariables();
  // A failure a script told in an earlier run is not this run's.
  if (scriptEngine->FindVariable("_error") != nullptr) {
    scriptEngine->compileFlag = true;
    scriptEngine->SetVariableNumber("_error", 0);
    scriptEngine->compileFlag = false;
  }
  if (!OpenOperationLink()) return;
  programmer->WriteCommandByte(kCycleStart);
  programmer->WriteCommandByte(kScriptLines);
  if (zeqOptions[kZeqLvp] == 0) programmer->WriteCommandByte(kHighVoltageLine);

  const int result = scriptExecutor->RunSub("#" + name);

  programmer->WriteCommandByte(kCycleEnd);
  const bool lost = LinkLost();
  if (lost) LogLine(kLinkLostLine);
  CloseOperationLink();
  TakeOverAlgorithmName();
  // A script tells its own failure (a verify error, no chip) by leaving "_error" set.
  const ZEQLVariable* error = scriptEngine->FindVariable("_error");
  const bool scriptFailed = error != nullptr && error->numeric && error->value != 0;
  lastOutcome = !lost && result != sub_result::kAborted && !scriptFailed
                    ? OperationOutcome::kSuccess
                    : OperationOutcome::kFailed;
  RefreshView();
}

bool CqelDoc::StartScriptFunction(const std::string& name) {
  lastOutcome = OperationOutcome::kNotStarted;
  if (IsBusy()) return false;
  zeqRunFunctionName = name;
  programmer->powerSwitchingMode = powerSwitching;
  return StartOperation([this] { RunScriptFunction(); });
}

void CqelDoc::OnScriptStatus(const ScriptStatus& status) {
  if (status.kind != ScriptStatus::kProgressKind) return;
  progressBar.Update([&status](ProgressBarState& s) {
    s.caption = status.text;
    s.barColour = static_cast<int32_t>(status.barColour);
    s.filledTextColour = static_cast<int32_t>(status.filledTextColour);
    s.emptyTextColour = static_cast<int32_t>(status.emptyTextColour);
    s.position = status.position < 0 ? s.maximum : static_cast<int32_t>(status.position);
    s.enabled = true;
  });
}

}  // namespace velmora
