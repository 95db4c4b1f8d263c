#include "engine/operation_runner.h"

namespace velmora {

OperationRunner::~OperationRunner() {
  std::lock_guard lock(workerMutex_);
  if (worker_.joinable()) worker_.join();
}

bool OperationRunner::StartOnWorker(std::function<void()> operation) {
  if (running_.exchange(true)) return false;
  std::lock_guard lock(workerMutex_);
  // The previous worker has done its work (running_ was clear); collect its thread.
  if (worker_.joinable()) worker_.join();
  escaped_ = nullptr;
  worker_ = std::thread([this, operation = std::move(operation)] {
    try {
      operation();
    } catch (...) {
      // Read only after the join, which orders this write before the read.
      escaped_ = std::current_exception();
    }
    running_.store(false);
  });
  return true;
}

bool OperationRunner::RunHere(const std::function<void()>& operation) {
  if (running_.exchange(true)) return false;
  struct Release {
    std::atomic<bool>& flag;
    ~Release() { flag.store(false); }
  } release{running_};
  operation();
  return true;
}

void OperationRunner::Wait() {
  std::exception_ptr escaped;
  {
    std::lock_guard lock(workerMutex_);
    if (worker_.joinable()) worker_.join();
    std::swap(escaped, escaped_);
  }
  if (escaped) std::rethrow_exception(escaped);
}

}  // namespace velmora
