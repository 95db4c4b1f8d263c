// Running operations: one at a time, the busy guard with its single message box, and the
// worker being joined.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <future>
#include <stdexcept>

#include "engine/cqel_doc.h"
#include "engine/operation_runner.h"
#include "support/sim_fixture.h"

namespace velmora {
namespace {

TEST(OperationRunner, RefusesASecondOperationWhileOneRuns) {
  OperationRunner runner;
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  std::promise<void> started;
  ASSERT_TRUE(runner.StartOnWorker([&] {
    started.set_value();
    released.wait();
  }));
  started.get_future().wait();
  EXPECT_TRUE(runner.Running());
  bool secondRan = false;
  EXPECT_FALSE(runner.StartOnWorker([&] { secondRan = true; }));
  EXPECT_FALSE(runner.RunHere([&] { secondRan = true; }));
  release.set_value();
  runner.Wait();
  EXPECT_FALSE(runner.Running());
  EXPECT_FALSE(secondRan);
  // Free again, on either thread.
  int runs = 0;
  EXPECT_TRUE(runner.RunHere([&] { ++runs; }));
  EXPECT_TRUE(runner.StartOnWorker([&] { ++runs; }));
  runner.Wait();
  EXPECT_EQ(runs, 2);
}

TEST(OperationRunner, WaitHandsOnWhatEscapedTheOperation) {
  OperationRunner runner;
  ASSERT_TRUE(runner.StartOnWorker([] { throw std::runtime_error("lost"); }));
  EXPECT_THROW(runner.Wait(), std::runtime_error);
  EXPECT_FALSE(runner.Running());
  EXPECT_NO_THROW(runner.Wait());
}

TEST(OperationRunner, DestructionJoinsTheWorker) {
  std::atomic<bool> finished{false};
  {
    OperationRunner runner;
    runner.StartOnWorker([&] {
      std::this_thread::yield();
      finished = true;
    });
  }
  EXPECT_TRUE(finished);
}

TEST(BusyGuard, IdleDocumentIsNotBusyAndAsksNothing) {
  VirtualClock clock;
  ScriptedPrompt prompt;
  CqelDoc doc({.clock = clock, .prompt = prompt, .driverLibraryPath = testing::kSimulatorPath});
  EXPECT_FALSE(doc.IsBusy());
  EXPECT_TRUE(prompt.Records().empty());
}

TEST(BusyGuard, RunningOperationShowsOneBusyBoxAtATime) {
  VirtualClock clock;
  ScriptedPrompt prompt;
  CqelDoc doc({.clock = clock, .prompt = prompt, .driverLibraryPath = testing::kSimulatorPath});
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  ASSERT_TRUE(doc.StartOperation([&] { released.wait(); }));

  EXPECT_TRUE(doc.IsBusy());
  ASSERT_EQ(prompt.Records().size(), 1u);
  EXPECT_EQ(prompt.Records()[0].text, "Programmer is busy...\nCannot continue!");
  EXPECT_EQ(prompt.Records()[0].caption, "Programmer Info");
  EXPECT_EQ(prompt.Records()[0].style, mb::kInfoAlert);

  // A command while the box is still open is dropped without a second box.
  doc.busyMessageShowing = true;
  EXPECT_TRUE(doc.IsBusy());
  EXPECT_EQ(prompt.Records().size(), 1u);
  doc.busyMessageShowing = false;

  release.set_value();
  doc.WaitForOperation();
  EXPECT_FALSE(doc.IsBusy());
}

TEST(BusyGuard, DocumentWaitsForItsWorkerBeforeSavingSettings) {
  VirtualClock clock;
  ScriptedPrompt prompt;
  MemorySettingsStore store;
  {
    CqelDoc doc({.clock = clock,
                 .prompt = prompt,
                 .settingsStore = &store,
                 .driverLibraryPath = testing::kSimulatorPath});
    doc.StartOperation([&doc] {
      std::this_thread::yield();
      doc.enableChipErase = 0;  // an operation may still change a setting at the very end
    });
  }
  EXPECT_EQ(store.ReadDword("Enable Chip Erase"), 0u);
}

}  // namespace
}  // namespace velmora
