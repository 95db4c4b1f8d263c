// A stop request (SIGINT, SIGTERM, the window closing) ends an operation at its next transfer:
// it fails, never succeeds, the target leaves programming mode and the programmer is closed.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "families/pic18/pic18_fixture.h"

namespace velmora::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

class Pic18StopTest : public Pic18DocumentTest {
 protected:
  // Asks for the stop once the bar first shows `caption`, from the operation's own thread, so
  // that it lands at the same point of every run.
  void StopAt(const std::string& caption) {
    doc_->progressBar.AddObserver([this, caption](const ProgressBarState& s) {
      if (s.caption == caption && !stopAsked_) {
        stopAsked_ = true;
        stopMark_ = EventCount();
        doc_->RequestStop();
      }
    });
  }
  // The bytes written since the stop, one entry per write.
  std::vector<std::string> WritesAfterStop() {
    SetMark(stopMark_);
    return Bytes("write");
  }

  bool stopAsked_ = false;
  size_t stopMark_ = 0;
};

TEST_F(Pic18StopTest, StopDuringProgramLeavesProgrammingModeAndFails) {
  Start("PIC18F8722");
  doc_->hexFileName = HexFile("pic18f8722_tables");
  StopAt("Programming");
  EXPECT_EQ(Run(Pic18Command::kProgram), OperationOutcome::kFailed);
  ASSERT_TRUE(stopAsked_);
  EXPECT_THAT(Log(), Contains("+++ Programming Failed +++"));
  EXPECT_THAT(Log(), Contains("+++ Stopped: programming mode left, programmer closed +++"));
  EXPECT_THAT(Log(), Not(Contains(::testing::HasSubstr("Finished Successfully"))));
  EXPECT_EQ(doc_->lastOperationFailed, 1);
  // Nothing but the leave sequence went out after the stop, then the programmer was closed.
  const std::vector<std::string> writes = WritesAfterStop();
  ASSERT_GE(writes.size(), 4u);
  EXPECT_THAT(std::vector<std::string>(writes.begin(), writes.begin() + 4),
              ElementsAre("02", "05", "0D", "15"));
  EXPECT_EQ(Transcript()["events"].back()["op"], "close");
  EXPECT_EQ(doc_->programmer->ftHandle.load(), nullptr);
}

TEST_F(Pic18StopTest, StopDuringAMiniProgrammerReadSavesNothingAndReleasesTheTarget) {
  Start("PIC18F8722", /*mini=*/true);
  prompt_.SetHexSaveChoice(HexSaveChoice{(dir_ / "read.hex").string(), false});
  StopAt("Reading");
  EXPECT_EQ(Run(Pic18Command::kRead), OperationOutcome::kFailed);
  ASSERT_TRUE(stopAsked_);
  EXPECT_THAT(Log(), Contains("+++ No data saved: reading failed +++"));
  EXPECT_FALSE(std::filesystem::exists(dir_ / "read.hex"));
  // The mini programmer's leave: programming pins, reset, released (0x8C) last.
  const std::vector<std::string> writes = WritesAfterStop();
  ASSERT_FALSE(writes.empty());
  EXPECT_EQ(writes.back(), "8C");
  EXPECT_EQ(Transcript()["events"].back()["op"], "close");
}

}  // namespace
}  // namespace velmora::testing
