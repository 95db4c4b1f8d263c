// The desktop program under a flood of log lines, end to end: an operation on the document's
// worker logs lines as fast as it can while the PIC18 page is on screen; measured is the longest
// time the GUI event loop goes without turning until the page's log shows the last line, and
// the time a page switch takes to refill the log from the document's lines; and the same stall
// while the trace reader logs a flood of trace records.
//   build/bin/gui_log_flood_bench   (offscreen unless QT_QPA_PLATFORM says otherwise)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTimer>
#include <algorithm>
#include <atomic>

#include "engine/cqel_doc.h"
#include "engine/settings_store_qt.h"
#include "event_loop_stalls.h"
#include "platform/user_prompt.h"
#include "sim/client/sim_client.h"
#include "ui/base_view.h"
#include "ui/control_ids.h"
#include "ui/controls/cqel_list_box.h"
#include "ui/cqel_app.h"
#include "ui/main_frame.h"

namespace velmora {
namespace {

std::string Line(int i) {
  char text[64];
  std::snprintf(text, sizeof text, "Flash 0x%06X\t%02X\t%02X\t%02X", i * 16, i & 0xFF,
                (i >> 8) & 0xFF, (i >> 16) & 0xFF);
  return text;
}

// The program on the simulated programmer, settings in a temporary file, no dialogs.
struct Program {
  Program() {
    StartOptions options;
    options.simulatedDevice = QStringLiteral("PIC18F4550");
    options.prompt = &prompt;
    options.settingsStore = &store;
    app.InitInstance(options);
    app.MainFrame().SwitchView(kPic18Page);
    QApplication::processEvents();
  }
  CqelListBox& Log() {
    return *qobject_cast<CqelListBox*>(app.MainFrame().ActiveView()->Control(ctl::kLogList));
  }
  bool ShowsLastLine(int lines) {
    CqelListBox& list = Log();
    const QScrollBar* bar = list.verticalScrollBar();
    return list.Count() == lines && bar->value() == bar->maximum();
  }

  ScriptedPrompt prompt;
  QTemporaryDir directory;
  QtSettingsStore store{directory.filePath(QStringLiteral("settings.ini")).toStdString()};
  CqelApp app;
};

void BM_LongestStallWhileAnOperationLogs(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  double worstStall = 0;
  for (auto _ : state) {
    Program program;
    CqelDoc& doc = program.app.Document();
    doc.ClearLog();
    QApplication::processEvents();
    doc.StartOperation([&doc, lines] {
      for (int i = 0; i < lines; ++i) doc.LogLine(Line(i));
    });
    double totalMs = 0;
    const double stall = RunMeasuringStalls(
        [&] { return !doc.OperationRunning() && program.ShowsLastLine(lines); }, &totalMs);
    worstStall = std::max(worstStall, stall);
    state.SetIterationTime(totalMs / 1000.0);
  }
  state.counters["longest_stall_ms"] = worstStall;
}
BENCHMARK(BM_LongestStallWhileAnOperationLogs)
    ->Arg(100'000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// The target floods the trace: `records` records arrive at once while the PIC18 page is on
// screen; measured until the page's log shows the last of them.
void BM_LongestStallWhileTracing(benchmark::State& state) {
  const int records = static_cast<int>(state.range(0));
  double worstStall = 0;
  for (auto _ : state) {
    Program program;
    // The simulator the document bound, now with the target's trace output.
    sim::SimClient simulator(sim::SimulatorBesideExecutable());
    const nlohmann::json trace = nlohmann::json::array(
        {{{"at", 0}, {"record", "10 20 30 40"}, {"repeat", records}, {"every", 0}}});
    simulator.Configure(nlohmann::json{{"device", "PIC18F4550"}, {"trace", trace}}.dump());
    CqelDoc& doc = program.app.Document();
    doc.ClearLog();
    QApplication::processEvents();
    doc.trace = 1;
    doc.StartTracing();
    double totalMs = 0;
    const double stall =
        RunMeasuringStalls([&] { return program.ShowsLastLine(records + 1); }, &totalMs);
    doc.StopTracing();
    worstStall = std::max(worstStall, stall);
    state.SetIterationTime(totalMs / 1000.0);
  }
  state.counters["longest_stall_ms"] = worstStall;
}
BENCHMARK(BM_LongestStallWhileTracing)
    ->Arg(100'000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// Back to the PIC18 page after the flood: the page's log is refilled from the document.
void BM_PageSwitchRefillsTheLog(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  Program program;
  CqelDoc& doc = program.app.Document();
  doc.ClearLog();
  for (int i = 0; i < lines; ++i) doc.LogLine(Line(i));
  for (auto _ : state) {
    program.app.MainFrame().SwitchView(kStartPage);
    QApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    program.app.MainFrame().SwitchView(kPic18Page);
    while (!program.ShowsLastLine(lines)) QApplication::processEvents();
    state.SetIterationTime(clock.nsecsElapsed() / 1e9);
  }
}
BENCHMARK(BM_PageSwitchRefillsTheLog)
    ->Arg(100'000)
    ->Iterations(3)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora

VELMORA_QT_BENCHMARK_MAIN()
