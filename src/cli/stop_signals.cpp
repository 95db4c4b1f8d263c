#include "cli/stop_signals.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

#include "platform/whole_file.h"

namespace velmora::cli {

namespace {

// What the handler touches: lock-free atomics only, so that it is async-signal-safe.
std::atomic<CqelDoc*> stoppable{nullptr};
std::atomic<int> signalCount{0};
static_assert(std::atomic<CqelDoc*>::is_always_lock_free && std::atomic<int>::is_always_lock_free);

constexpr int kSignals[] = {SIGINT, SIGTERM};
struct sigaction previous[2];

extern "C" void OnStopSignal(int) {
  if (signalCount.fetch_add(1) > 0) {
    RemoveTemporaryFileNow();
    static constexpr char kText[] = "interrupted\n";
    [[maybe_unused]] const ssize_t written = ::write(STDERR_FILENO, kText, sizeof kText - 1);
    ::_exit(130);
  }
  if (CqelDoc* doc = stoppable.load()) doc->RequestStop();
}

}  // namespace

StopOnSignals::StopOnSignals(CqelDoc& doc) {
  signalCount = 0;
  stoppable = &doc;
  struct sigaction action {};
  action.sa_handler = OnStopSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;  // reads and writes in progress go on; the stop comes between
  for (int i = 0; i < 2; ++i) ::sigaction(kSignals[i], &action, &previous[i]);
}

StopOnSignals::~StopOnSignals() {
  for (int i = 0; i < 2; ++i) ::sigaction(kSignals[i], &previous[i], nullptr);
  stoppable = nullptr;
}

bool StopOnSignals::Signalled() const {
  return signalCount.load() > 0;
}

}  // namespace velmora::cli
