// `velmora-cli script run FILE SUB [--var NAME=VALUE ...]`: reads and compiles a ZEQ script,
// uploads its compiled subs into the full programmer, and runs one host sub with the stored
// script options (and the variables given) as the script view's command does, with the same
// log lines. The exit code tells whether the sub ran to its end.
#include <unistd.h>

#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>

#include "cli/cli_common.h"
#include "cli/console_view.h"
#include "cli/programmer_selection.h"
#include "cli/stop_signals.h"
#include "cli/stored_settings.h"
#include "engine/cqel_doc.h"
#include "link/pic_vortang.h"
#include "platform/clock.h"
#include "script/zeql_engine.h"

namespace velmora::cli {

namespace {

constexpr size_t kFileSlots = 4;

struct ScriptRunOptions {
  std::string script;
  std::string sub;
  std::vector<std::string> variables;  // NAME=VALUE
  std::vector<std::string> files;      // file slots 1 to 4
  ProgrammerSelection programmer;
};

struct Variable {
  std::string name;
  std::string value;
};

std::optional<Variable> ParseVariable(const std::string& text) {
  const size_t equals = text.find('=');
  if (equals == 0 || equals == std::string::npos) return std::nullopt;
  return Variable{text.substr(0, equals), text.substr(equals + 1)};
}

// Reads and compiles the script in a programming cycle of its own: the compiled subs reach the
// programmer's algorithm area. False when the script does not compile or the programmer is
// missing (the log and the error line say why).
bool CompileScript(CqelDoc& doc, const std::string& path) {
  bool compiled = false;
  doc.RunOperation([&] {
    if (!doc.OpenOperationLink()) return;
    CZEQLEngine& engine = *doc.scriptEngine;
    if (doc.programmer->ReadScriptState() == 1) {
      engine.ResetScript();
      engine.ReadScript(path);
      engine.Compile();
      compiled = engine.ErrorCount() == 0 && !doc.LinkLost();
    }
    doc.CloseOperationLink();
  });
  return compiled;
}

// Option variables go through the script view's settings (the run sets them from there); any
// other variable is set like a header line, so it may replace a header constant.
void SetVariables(CqelDoc& doc, const std::vector<Variable>& variables) {
  CZEQLEngine& engine = *doc.scriptEngine;
  for (const Variable& variable : variables) {
    const ZEQLValue value = engine.EvaluateValue(variable.value);
    if (const std::optional<ZeqOption> option = ScriptOptionOf(variable.name)) {
      doc.zeqOptions[*option] = static_cast<int32_t>(value.number);
      continue;
    }
    engine.compileFlag = true;
    if (value.kind == ZEQLValueKind::kNumber) {
      engine.SetVariableNumber(variable.name, value.number);
    } else if (value.kind == ZEQLValueKind::kOther) {
      engine.SetVariableText(variable.name, "\"" + variable.value + "\"");
    } else {
      engine.SetVariableText(variable.name, "\"" + value.string + "\"");
    }
    engine.compileFlag = false;
  }
}

int ExitCodeOf(OperationOutcome outcome) {
  switch (outcome) {
    case OperationOutcome::kSuccess:
      return kExitSuccess;
    case OperationOutcome::kNoProgrammer:
      return kExitNoProgrammer;
    default:
      return kExitFailed;
  }
}

int RunScript(const ScriptRunOptions& o, const GlobalOptions& global) {
  std::vector<Variable> variables;
  for (const std::string& text : o.variables) {
    const std::optional<Variable> variable = ParseVariable(text);
    if (!variable) {
      ReportError("--var " + text, "expected NAME=VALUE");
      return kExitUsage;
    }
    variables.push_back(*variable);
  }
  if (o.files.size() > kFileSlots) {
    ReportError("--file", "a script has four file slots");
    return kExitUsage;
  }
  std::error_code error;
  if (!std::filesystem::is_regular_file(o.script, error)) {
    ReportError(o.script, "no such script file");
    return kExitFailed;
  }
  std::unique_ptr<sim::SimClient> simulator;  // keeps the simulator loaded for the run
  std::string driver;
  try {
    driver = SelectDriver(o.programmer, /*mini=*/false, simulator);
  } catch (const SelectionError& e) {
    return ReportSelectionError(e);
  }

  SystemClock clock;
  CliPrompt prompt(std::cerr);
  prompt.answerYes = global.yes;
  ConsoleView console(std::cout, isatty(STDOUT_FILENO) != 0);
  // No store handed to the document: it never writes the user's settings.
  CqelDoc doc(CqelDocServices{.clock = clock, .prompt = prompt, .driverLibraryPath = driver});
  const std::unique_ptr<ISettingsStore> stored = OpenStoredSettings();
  if (!stored) return kExitFailed;
  doc.LoadSettings(*stored);
  doc.usesMiniProgrammer = 0;
  if (!global.quiet) {
    doc.operationLog.AddObserver([&console](const LogEvent& e) { console.OnLog(e); });
    doc.progressBar.AddObserver([&console](const ProgressBarState& s) { console.OnProgress(s); });
  }
  for (size_t slot = 0; slot < kFileSlots; ++slot) {
    if (slot < o.files.size()) doc.zeqFiles[slot] = o.files[slot];
  }
  doc.zeqAlgorithmFiles[0] = o.script;

  StopOnSignals stop(doc);
  int code = kExitFailed;
  if (!CompileScript(doc, o.script)) {
    code = doc.lastOutcome == OperationOutcome::kNoProgrammer ? kExitNoProgrammer : kExitFailed;
    if (code == kExitFailed) ReportError(o.script, "the script does not compile");
  } else {
    SetVariables(doc, variables);
    const std::string sub = !o.sub.empty() && o.sub[0] == '#' ? o.sub.substr(1) : o.sub;
    doc.StartScriptFunction(sub);
    doc.WaitForOperation();
    code = ExitCodeOf(doc.lastOutcome);
  }
  console.Finish();
  return stop.Signalled() ? kExitInterrupted : code;
}

// The `script` command group: made by the first command that needs it.
CLI::App& ScriptGroup(CLI::App& app) {
  try {
    return *app.get_subcommand("script");
  } catch (const CLI::OptionNotFound&) {
    // Not made yet.
  }
  CLI::App* group = app.add_subcommand("script", "ZEQ algorithm scripts");
  group->require_subcommand(1);
  return *group;
}

}  // namespace

void AddScriptRunCommand(CLI::App& app, CommandContext& context) {
  auto options = std::make_shared<ScriptRunOptions>();
  CLI::App* run = ScriptGroup(app).add_subcommand(
      "run", "Compile a ZEQ script, upload it and run one of its host subs");
  run->add_option("FILE", options->script, "the ZEQ script")->required();
  run->add_option("SUB", options->sub, "the host sub to run, with or without its '#'")->required();
  run->add_option("--var", options->variables,
                  "set a script variable before the run (NAME=VALUE; repeatable)");
  run->add_option("--file", options->files,
                  "HEX file of the script's file slots 1 to 4, in order (repeatable)");
  AddProgrammerSelectionOptions(*run, options->programmer);
  run->callback([options, &context] { context.exitCode = RunScript(*options, context.global); });
}

}  // namespace velmora::cli
