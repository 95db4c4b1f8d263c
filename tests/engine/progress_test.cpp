// The status bar: phase arithmetic and result display.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "engine/cqel_doc.h"
#include "engine/progress_bar.h"
#include "link/pic_vortang.h"
#include "support/sim_fixture.h"

namespace velmora {
namespace {

using ::testing::ElementsAre;

TEST(ProgressPhase, CounterMapsIntoThePhaseRange) {
  struct Case {
    int32_t start, span, counter, position;
  };
  for (const Case c : {Case{400, 500, 500, 650}, Case{0, 400, 1000, 400}, Case{900, 90, 333, 929},
                       Case{0, 800, 999, 799}, Case{1000, 0, 700, 1000}, Case{0, 0, 1000, 0}}) {
    EXPECT_EQ(CqelProgressBar::PhasePosition(c.start, c.span, c.counter), c.position)
        << c.start << "," << c.span << " @" << c.counter;
  }
}

TEST(ProgressPhase, SettingAPhaseShowsItsStartAndLinkProgressMovesWithinIt) {
  VirtualClock clock;
  ScriptedPrompt prompt;
  CqelDoc doc({.clock = clock, .prompt = prompt, .driverLibraryPath = testing::kSimulatorPath});
  std::vector<int32_t> positions;
  doc.progressBar.AddObserver([&](const ProgressBarState& s) { positions.push_back(s.position); });
  doc.programmer->progressPerMille = 750;
  doc.SetProgressPhase(400, 500);
  EXPECT_EQ(doc.programmer->progressPerMille, 0) << "a new phase restarts the counter";
  doc.programmer->ReportProgress(500);  // what a primitive does
  EXPECT_THAT(positions, ElementsAre(400, 650));
}

TEST(ResultDisplay, SuccessIsAFullGreenBarWithBlackText) {
  VirtualClock clock;
  ScriptedPrompt prompt;
  CqelDoc doc({.clock = clock, .prompt = prompt, .driverLibraryPath = testing::kSimulatorPath});
  doc.ShowSuccess();
  const ProgressBarState s = doc.progressBar.State();
  EXPECT_EQ(s.caption, "Success");
  EXPECT_EQ(s.barColour, 0x00FF00);
  EXPECT_EQ(s.filledTextColour, 0);
  EXPECT_EQ(s.emptyTextColour, 0);
  EXPECT_EQ(s.position, 999);
  EXPECT_EQ(doc.lastOperationFailed, 0);
}

TEST(ResultDisplay, FailureBlinksSixQuarterSecondsAndEndsOnFail) {
  VirtualClock clock;
  ScriptedPrompt prompt;
  CqelDoc doc({.clock = clock, .prompt = prompt, .driverLibraryPath = testing::kSimulatorPath});
  doc.lastOperationFailed = 0;
  std::vector<std::pair<std::string, uint64_t>> frames;
  doc.progressBar.AddObserver([&](const ProgressBarState& s) {
    EXPECT_EQ(s.barColour, 0x0000FF);
    EXPECT_EQ(s.filledTextColour, 0xFFFFFF);
    EXPECT_EQ(s.position, 999);
    frames.emplace_back(s.caption, clock.ElapsedMilliseconds());
  });
  doc.ShowFailure();
  EXPECT_THAT(frames, ElementsAre(std::pair<std::string, uint64_t>{"", 0},
                                  std::pair<std::string, uint64_t>{"Fail", 250},
                                  std::pair<std::string, uint64_t>{"", 500},
                                  std::pair<std::string, uint64_t>{"Fail", 750},
                                  std::pair<std::string, uint64_t>{"", 1000},
                                  std::pair<std::string, uint64_t>{"Fail", 1250}));
  EXPECT_EQ(clock.ElapsedMilliseconds(), 1500u);
  EXPECT_EQ(doc.progressBar.State().caption, "Fail");
  EXPECT_EQ(doc.lastOperationFailed, 1);
}

TEST(ResultDisplay, DeviceNotFoundShowsCaptionAtTheEnd) {
  VirtualClock clock;
  ScriptedPrompt prompt;
  CqelDoc doc({.clock = clock, .prompt = prompt, .driverLibraryPath = testing::kSimulatorPath});
  doc.ShowDeviceNotFound("No PIC !!!");
  const ProgressBarState s = doc.progressBar.State();
  EXPECT_EQ(s.caption, "No PIC !!!");
  EXPECT_EQ(s.barColour, -1);
  EXPECT_EQ(s.emptyTextColour, 0xFFFFFF);
  EXPECT_EQ(s.position, 1000);
}

}  // namespace
}  // namespace velmora
