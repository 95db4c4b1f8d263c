#pragma once
// Runs one operation at a time, either on the calling thread or on a worker thread that the
// runner owns. A new operation is refused while one runs; the worker of a finished operation
// is joined before the next starts and when the runner goes away.
#include <atomic>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>

namespace velmora {

class OperationRunner {
 public:
  OperationRunner() = default;
  OperationRunner(const OperationRunner&) = delete;
  OperationRunner& operator=(const OperationRunner&) = delete;
  ~OperationRunner();

  // True from the start of an operation until its last step has returned.
  bool Running() const { return running_.load(); }

  // False (and nothing runs) when an operation is already running.
  bool StartOnWorker(std::function<void()> operation);
  bool RunHere(const std::function<void()>& operation);

  // Blocks until the worker has ended; rethrows what escaped the operation, if anything.
  void Wait();

 private:
  std::atomic<bool> running_{false};
  std::mutex workerMutex_;      // guards worker_
  std::exception_ptr escaped_;  // written by the worker, read after joining it
  std::thread worker_;
};

}  // namespace velmora
