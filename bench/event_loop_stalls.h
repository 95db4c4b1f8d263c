#pragma once
// Measures how responsive the Qt event loop stays while work goes on elsewhere.
#include <QApplication>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QObject>
#include <QTimer>
#include <algorithm>
#include <functional>

namespace velmora {

// Runs the event loop until `finished` holds (checked on every turn), then 50 ms more for the
// last layout and paint. A 1 ms heartbeat notes every turn; returns the longest gap in ms and
// stores the time until `finished` held in `totalMs`.
inline double RunMeasuringStalls(const std::function<bool()>& finished, double* totalMs) {
  QEventLoop loop;
  QElapsedTimer clock;
  QTimer heartbeat;
  heartbeat.setTimerType(Qt::PreciseTimer);
  heartbeat.setInterval(1);
  qint64 last = 0;
  qint64 longest = 0;
  qint64 finishedAt = -1;
  QObject::connect(&heartbeat, &QTimer::timeout, [&] {
    const qint64 now = clock.nsecsElapsed();
    longest = std::max(longest, now - last);
    last = now;
    if (finishedAt < 0 && finished()) finishedAt = now;
    if (finishedAt >= 0 && now - finishedAt > 50'000'000) loop.quit();
  });
  clock.start();
  heartbeat.start();
  loop.exec();
  *totalMs = finishedAt / 1e6;
  return longest / 1e6;
}

}  // namespace velmora

// main() of a Qt benchmark: the offscreen platform unless another is chosen, one application.
#define VELMORA_QT_BENCHMARK_MAIN()                                                              \
  int main(int argc, char** argv) {                                                              \
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen"); \
    QApplication app(argc, argv);                                                                \
    benchmark::Initialize(&argc, argv);                                                          \
    benchmark::RunSpecifiedBenchmarks();                                                         \
    benchmark::Shutdown();                                                                       \
    return 0;                                                                                    \
  }
