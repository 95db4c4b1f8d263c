// `velmora-cli trace` and `velmora-cli freq`: the target's trace output as the pages' log shows
// it, until Ctrl-C or for a given time, and the measurement of the target's clock. Both run on a
// document set up from the stored settings (never written back), like the operation commands.
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <iostream>
#include <memory>
#include <thread>

#include "cli/cli_common.h"
#include "cli/console_view.h"
#include "cli/programmer_selection.h"
#include "cli/stored_settings.h"
#include "engine/cqel_doc.h"
#include "link/pic_vortang.h"
#include "platform/clock.h"

namespace velmora::cli {

namespace {

volatile std::sig_atomic_t interrupted = 0;

extern "C" void OnInterrupt(int) {
  interrupted = 1;
}

struct TraceOptions {
  std::string definition;
  double duration = 0;  // seconds; 0 = until Ctrl-C
  ProgrammerSelection programmer;
};

// A document on the chosen programmer with its log and bar on the console, for one command.
class ConsoleDocument {
 public:
  ConsoleDocument(const std::string& driverPath, const GlobalOptions& global,
                  const ISettingsStore& stored)
      : prompt_(std::cerr),
        console_(std::cout, isatty(STDOUT_FILENO) != 0),
        doc_(MakeDoc(driverPath, global)) {
    doc_->LoadSettings(stored);
    doc_->operationLog.AddObserver([this](const LogEvent& e) { console_.OnLog(e); });
    doc_->progressBar.AddObserver([this](const ProgressBarState& s) { console_.OnProgress(s); });
  }
  ~ConsoleDocument() { console_.Finish(); }

  CqelDoc& Doc() { return *doc_; }

 private:
  std::unique_ptr<CqelDoc> MakeDoc(const std::string& driverPath, const GlobalOptions& global) {
    prompt_.answerYes = global.yes;
    // No store handed to the document: it never writes the user's settings.
    return std::make_unique<CqelDoc>(
        CqelDocServices{.clock = clock_, .prompt = prompt_, .driverLibraryPath = driverPath});
  }

  SystemClock clock_;
  CliPrompt prompt_;
  ConsoleView console_;
  std::unique_ptr<CqelDoc> doc_;
};

// The driver for the chosen programmer; nullopt (the reason printed) when it cannot be set up.
std::optional<std::string> Driver(const ProgrammerSelection& selection,
                                  std::unique_ptr<sim::SimClient>& simulator) {
  try {
    return SelectDriver(selection, /*mini=*/false, simulator);
  } catch (const std::exception& e) {
    std::cerr << "velmora-cli: " << e.what() << "\n";
    return std::nullopt;
  }
}

int RunTrace(const TraceOptions& o, const GlobalOptions& global) {
  std::unique_ptr<sim::SimClient> simulator;  // keeps the simulator loaded for the run
  const std::optional<std::string> driver = Driver(o.programmer, simulator);
  if (!driver) return kExitUsage;
  const std::unique_ptr<ISettingsStore> stored = OpenStoredSettings();
  if (!stored) return kExitFailed;
  ConsoleDocument console(*driver, global, *stored);
  CqelDoc& doc = console.Doc();
  if (!o.definition.empty()) {
    doc.traceDefinitionFile = o.definition;
    doc.LoadTraceDefinitions();
  }
  doc.trace = 1;
  interrupted = 0;
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  sigemptyset(&action.sa_mask);
  struct sigaction previous {};
  sigaction(SIGINT, &action, &previous);
  doc.StartTracing();
  const bool tracing = doc.traceState == trace_state::kActive;
  const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(o.duration);
  while (tracing && !interrupted && (o.duration <= 0 || std::chrono::steady_clock::now() < end)) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  doc.StopTracing();
  sigaction(SIGINT, &previous, nullptr);
  return tracing ? kExitSuccess : kExitNoProgrammer;
}

int RunFrequency(const ProgrammerSelection& selection, const GlobalOptions& global) {
  std::unique_ptr<sim::SimClient> simulator;
  const std::optional<std::string> driver = Driver(selection, simulator);
  if (!driver) return kExitUsage;
  const std::unique_ptr<ISettingsStore> stored = OpenStoredSettings();
  if (!stored) return kExitFailed;
  ConsoleDocument console(*driver, global, *stored);
  CqelDoc& doc = console.Doc();
  doc.StartMeasureFrequency();
  doc.WaitForOperation();
  switch (doc.lastOutcome.load()) {
    case OperationOutcome::kSuccess:
      return kExitSuccess;
    case OperationOutcome::kNoProgrammer:
      return kExitNoProgrammer;
    default:
      return kExitFailed;  // no clock measured
  }
}

}  // namespace

void AddTraceCommands(CLI::App& app, CommandContext& context) {
  auto trace = std::make_shared<TraceOptions>();
  CLI::App* command = app.add_subcommand(
      "trace", "Show the target's trace output as it comes, until Ctrl-C or --duration");
  command->add_option("--definition", trace->definition,
                      "Trace Definition File (*.tdf) (default: the stored one)");
  command->add_option("--duration", trace->duration, "seconds to trace (default: until Ctrl-C)")
      ->check(CLI::NonNegativeNumber);
  AddProgrammerSelectionOptions(*command, trace->programmer);
  command->callback([trace, &context] { context.exitCode = RunTrace(*trace, context.global); });

  auto selection = std::make_shared<ProgrammerSelection>();
  CLI::App* freq =
      app.add_subcommand("freq", "Measure the target's clock frequency (full programmer)");
  AddProgrammerSelectionOptions(*freq, *selection);
  freq->callback(
      [selection, &context] { context.exitCode = RunFrequency(*selection, context.global); });
}

}  // namespace velmora::cli
