// How the log list copes with a flood of lines: the longest time the GUI event loop goes
// without turning while a worker thread appends lines as fast as it can, and how long a page
// takes to refill its list from the document's lines.
//   build/bin/ui_log_flood_bench   (offscreen unless QT_QPA_PLATFORM says otherwise)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QScrollBar>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <thread>

#include "event_loop_stalls.h"
#include "ui/controls/cqel_list_box.h"

namespace velmora {
namespace {

QString LogLine(int i) {
  return QStringLiteral("12:34:56:78   Flash 0x%1\t%2\t%3\t%4\t%5")
      .arg(i * 16, 6, 16, QLatin1Char('0'))
      .arg(i & 0xFF)
      .arg((i >> 8) & 0xFF)
      .arg((i >> 16) & 0xFF)
      .arg(i % 7);
}

bool ShowsLastLine(const CqelListBox& list, int lines) {
  const QScrollBar* bar = list.verticalScrollBar();
  return list.Count() == lines && bar->value() == bar->maximum();
}

void BM_LongestStallWhileAWorkerLogs(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  double worstStall = 0;
  for (auto _ : state) {
    CqelListBox list;
    list.resize(640, 300);
    list.show();
    QApplication::processEvents();
    std::atomic<bool> workerDone = false;
    std::thread worker([&] {
      for (int i = 0; i < lines; ++i) list.AddLine(LogLine(i));
      workerDone = true;
    });
    double totalMs = 0;
    const double stall =
        RunMeasuringStalls([&] { return workerDone && ShowsLastLine(list, lines); }, &totalMs);
    worker.join();
    worstStall = std::max(worstStall, stall);
    state.SetIterationTime(totalMs / 1000.0);
  }
  state.counters["longest_stall_ms"] = worstStall;
}
BENCHMARK(BM_LongestStallWhileAWorkerLogs)
    ->Arg(100'000)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

// A page switch refills the list from the document's lines on the GUI thread.
void BM_RefillFromTheDocumentsLines(benchmark::State& state) {
  const int lines = static_cast<int>(state.range(0));
  QStringList document;
  for (int i = 0; i < lines; ++i) document << LogLine(i);
  CqelListBox list;
  list.resize(640, 300);
  list.show();
  QApplication::processEvents();
  for (auto _ : state) {
    list.Clear();
    QApplication::processEvents();
    QElapsedTimer clock;
    clock.start();
    list.SetLines(document);
    while (!ShowsLastLine(list, lines)) QApplication::processEvents();
    state.SetIterationTime(clock.nsecsElapsed() / 1e9);
  }
}
BENCHMARK(BM_RefillFromTheDocumentsLines)
    ->Arg(100'000)
    ->Iterations(5)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace velmora

VELMORA_QT_BENCHMARK_MAIN()
