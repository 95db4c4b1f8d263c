// The log: time stamp formats, replacing the progress line, observers, and the log file beside
// the preset.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "engine/cqel_doc.h"
#include "engine/operation_log.h"
#include "platform/clock.h"
#include "platform/user_prompt.h"
#include "support/scratch_directory.h"
#include "support/sim_fixture.h"

namespace velmora {
namespace {

using ::testing::ElementsAre;

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

class LogFileTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = velmora::testing::ScratchDirectory("velmora-log-"); }
  void TearDown() override { std::filesystem::remove_all(dir_); }
  std::filesystem::path dir_;
};

TEST(CqelLog, TimeStampIsHourMinuteSecondHundredths) {
  EXPECT_EQ(CqelLog::TimeStamp({2026, 1, 1, 7, 5, 9, 3}), "07:05:09:03");
  EXPECT_EQ(CqelLog::TimeStamp({2026, 1, 1, 23, 59, 59, 99}), "23:59:59:99");
}

TEST(CqelLog, ListLinesCarryTheStampAndThreeSpacesUnlessWithoutTime) {
  // 1 h 2 min 3.45 s after midnight on the virtual clock.
  VirtualClock clock(((1 * 60 + 2) * 60 + 3) * 1000 + 450);
  CqelLog log(clock);
  log.LogLine("*** Programming PIC18F4550 ***", true);
  log.LogLine("000:\t01\t02", false);
  log.LogLine("", true);
  EXPECT_THAT(log.Lines(),
              ElementsAre("01:02:03:45   *** Programming PIC18F4550 ***", "000:\t01\t02", "   "));
}

TEST(CqelLog, ReplaceLastLineTurnsProgressIntoResult) {
  VirtualClock clock;
  CqelLog log(clock);
  log.LogLine("Programming Flash memory...");
  clock.Advance(1230);
  log.ReplaceLastLogLine("Verifying Flash memory...");
  clock.Advance(10);
  log.ReplaceLastLogLine("Flash memory OK.");
  EXPECT_THAT(log.Lines(), ElementsAre("00:00:01:24   Flash memory OK."));
}

TEST(CqelLog, ObserversSeeEveryChangeInOrder) {
  VirtualClock clock;
  CqelLog log(clock);
  std::vector<std::string> seen;
  const int id = log.AddObserver([&](const LogEvent& e) {
    switch (e.kind) {
      case LogEvent::Kind::kAppended:
        seen.push_back("+" + e.line);
        break;
      case LogEvent::Kind::kRemovedLast:
        seen.push_back("-");
        break;
      case LogEvent::Kind::kCleared:
        seen.push_back("clear");
        break;
      case LogEvent::Kind::kViewCleared:
        seen.push_back("view");
        break;
      case LogEvent::Kind::kScrolled:
        seen.push_back("top " + std::to_string(e.fromEnd));
        break;
    }
  });
  log.LogLine("a", false);
  log.ReplaceLastLogLine("b");
  log.ClearView();
  log.ScrollView(4);
  log.ClearLog();
  log.RemoveObserver(id);
  log.LogLine("unseen", false);
  EXPECT_THAT(seen, ElementsAre("+a", "-", "+00:00:00:00   b", "view", "top 4", "clear"));
  EXPECT_THAT(log.Lines(), ElementsAre("unseen"));
}

TEST(CqelLog, ClearingTheViewKeepsTheStoredLines) {
  VirtualClock clock;
  CqelLog log(clock);
  log.LogLine("kept", false);
  log.ClearView();
  EXPECT_THAT(log.Lines(), ElementsAre("kept"));
}

TEST(CqelLog, LinesFromSeveralThreadsAreAllKept) {
  VirtualClock clock;
  CqelLog log(clock);
  size_t observed = 0;
  log.AddObserver([&](const LogEvent&) { ++observed; });  // serialised by the log
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&log, t] {
      for (int i = 0; i < 200; ++i) log.LogLine(std::to_string(t), false);
    });
  }
  for (auto& thread : threads) thread.join();
  EXPECT_EQ(log.LineCount(), 800u);
  EXPECT_EQ(observed, 800u);
}

TEST_F(LogFileTest, NoPresetNoLogFile) {
  VirtualClock clock;
  ScriptedPrompt prompt;
  CqelDoc doc({.clock = clock, .prompt = prompt, .driverLibraryPath = testing::kSimulatorPath});
  doc.LogLine("nothing to write");
  EXPECT_TRUE(doc.operationLog.LogFilePath().empty());
  EXPECT_TRUE(std::filesystem::is_empty(dir_));
}

TEST_F(LogFileTest, SavedPresetIsEmptyAndNamesTheLogBesideIt) {
  VirtualClock clock(3723450);  // 01:02:03:45
  ScriptedPrompt prompt;
  CqelDoc doc({.clock = clock, .prompt = prompt, .driverLibraryPath = testing::kSimulatorPath});
  doc.LogLine("before the preset");
  ASSERT_TRUE(doc.SavePreset(dir_ / "board.upr"));
  EXPECT_EQ(std::filesystem::file_size(dir_ / "board.upr"), 0u);
  EXPECT_EQ(doc.Title(), "board.upr");
  doc.LogLine("Chip erased");
  doc.LogLine("");
  doc.LogLine("000:\t41", false);
  EXPECT_EQ(ReadFile(dir_ / "board.log"),
            "01:02:03:45 Chip erased\r\n"
            " \r\n"
            "01:02:03:45 000:\t41\r\n");
}

TEST_F(LogFileTest, OpeningAPresetChangesNoSettingAndAppendsToItsLog) {
  VirtualClock clock;
  ScriptedPrompt prompt;
  {
    std::ofstream(dir_ / "a.upr");
    std::ofstream(dir_ / "a.log", std::ios::binary) << "old\r\n";
  }
  CqelDoc doc({.clock = clock, .prompt = prompt, .driverLibraryPath = testing::kSimulatorPath});
  doc.enableChipErase = 0;
  doc.hexFileName = "x.hex";
  const DocumentSettings before = doc;
  EXPECT_FALSE(doc.OpenPreset(dir_ / "missing.upr"));
  ASSERT_TRUE(doc.OpenPreset(dir_ / "a.upr"));
  EXPECT_EQ(static_cast<const DocumentSettings&>(doc), before);
  doc.LogLine("next");
  EXPECT_EQ(ReadFile(dir_ / "a.log"), "old\r\n00:00:00:00 next\r\n");

  // A new preset forgets the name: no more log file lines, no setting changed.
  doc.NewPreset();
  EXPECT_EQ(doc.Title(), "Untitled Preset");
  EXPECT_EQ(static_cast<const DocumentSettings&>(doc), before);
  doc.LogLine("after new");
  EXPECT_EQ(ReadFile(dir_ / "a.log"), "old\r\n00:00:00:00 next\r\n");
}

TEST_F(LogFileTest, UnwritableLogFileIsIgnored) {
  VirtualClock clock;
  CqelLog log(clock);
  log.SetPathName(dir_ / "no-such-dir" / "p.upr");
  log.LogLine("still listed");
  EXPECT_THAT(log.Lines(), ElementsAre("00:00:00:00   still listed"));
}

}  // namespace
}  // namespace velmora
