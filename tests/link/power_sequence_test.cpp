// Power switching and the entry and exit sequences of every family, as bytes on the wire
// interleaved with the waits (on the virtual clock) and the user prompts.
#include <gmock/gmock.h>

#include "link/link_fixture.h"

namespace velmora::testing {
namespace {

using ::testing::Each;
using ::testing::ElementsAre;

TEST(RelayDelay, EachRelayPairHasItsDelayAndOtherModesNone) {
  struct Case {
    int mode;
    int milliseconds;
  };
  const Case cases[] = {{0, 0},     {1, 0},     {2, 1},     {3, 1},     {4, 50},
                        {5, 50},    {6, 250},   {7, 250},   {8, 500},   {9, 500},
                        {10, 1000}, {11, 1000}, {12, 2500}, {13, 2500}, {14, 5000},
                        {15, 5000}, {16, 0},    {17, 0},    {-1, 0}};
  ScriptedPrompt prompt;
  VirtualClock clock;
  CPICVortang link(prompt, clock, DriverLookup{});
  for (const Case& c : cases) {
    link.powerSwitchingMode = c.mode;
    EXPECT_EQ(link.RelayDelay(), c.milliseconds) << "mode " << c.mode;
  }
}

class SequenceTest : public LinkTest {
 protected:
  // Opens the full programmer with the given power switching and starts a fresh timeline.
  void OpenWithPowerMode(int mode, const nlohmann::json& target = nlohmann::json::object()) {
    Configure({{"target", target}});
    Link().powerSwitchingMode = mode;
    ASSERT_EQ(OpenFull(), 1);
    timeline.Clear();
  }
  uint64_t Elapsed() const { return clock.clock.ElapsedMilliseconds(); }
};

TEST_F(SequenceTest, Pic18PowerModesSwitchAndWaitAsConfigured) {
  struct Case {
    int mode;
    const char* entry;
    const char* exit;
    uint64_t entryMilliseconds;
    uint64_t exitMilliseconds;
  };
  const Case cases[] = {
      {0, "09 15 0A 05 02 00 06 0F 11 13 14 sleep:20 16 sleep:10",
       "02 05 0D 15 sleep:3 09 01 07 03 0B", 30, 3},
      {1,
       "prompt:User Action Requiered: OFF 15 0A 05 02 00 06 0F 11 13 14 sleep:20 "
       "prompt:User Action Requiered: ON 16 sleep:10",
       "02 05 0D 15 sleep:3 prompt:User Action Requiered: OFF 01 07 03 0B", 30, 3},
      {6, "09 sleep:250 15 0A 05 02 00 06 0F 11 13 14 sleep:20 08 sleep:250 16 sleep:10",
       "02 05 0D 15 sleep:3 09 sleep:250 01 07 03 0B", 530, 253},
      {7, "09 sleep:250 15 0A 05 02 00 06 0F 11 13 14 sleep:20 08 sleep:250 16 sleep:10",
       "02 05 0D 15 sleep:3 09 sleep:250 01 07 03 08 sleep:250 0B", 530, 503},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE("mode " + std::to_string(c.mode));
    OpenWithPowerMode(c.mode);
    uint64_t start = Elapsed();
    EXPECT_EQ(Link().EnterProgrammingMode(0), 0);
    EXPECT_EQ(timeline.Render(), c.entry);
    EXPECT_EQ(Elapsed() - start, c.entryMilliseconds);
    timeline.Clear();
    start = Elapsed();
    EXPECT_EQ(Link().LeaveProgrammingMode(), 0);
    EXPECT_EQ(timeline.Render(), c.exit);
    EXPECT_EQ(Elapsed() - start, c.exitMilliseconds);
    Link().Close();
  }
}

TEST_F(SequenceTest, ManualPowerPromptsAreInformationAlerts) {
  OpenWithPowerMode(1);
  Link().PowerOff();
  Link().PowerOn();
  const auto records = prompts().Records();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].text, "Switch power off and click OK");
  EXPECT_EQ(records[1].text, "Switch power on and click OK");
  EXPECT_THAT(std::vector<uint32_t>({records[0].style, records[1].style}), Each(mb::kInfoAlert));
  EXPECT_EQ(timeline.Render(),
            "prompt:User Action Requiered: OFF prompt:User Action Requiered: ON");
}

TEST_F(SequenceTest, EverySequenceSendsItsBytesInOrder) {
  struct Case {
    const char* name;
    int (*run)(CPICVortang&);
    int result;
    const char* wire;
  };
  const Case cases[] = {
      {"PIC18 low-voltage entry", [](CPICVortang& l) { return l.EnterProgrammingMode(1); }, 0,
       "09 15 0A 05 02 06 0D 0F 11 12 13 14 sleep:20 17 sleep:10"},
      {"ATmega reset", [](CPICVortang& l) { return l.ResetAvr(); }, 1, "15 03 09 0B"},
      {"ATtiny11/12 exit", [](CPICVortang& l) { return l.LeaveHighVoltageSerial(); }, 1,
       "09 05 02 01 15 03 0B"},
      {"PIC10/12 entry", [](CPICVortang& l) { return l.EnterPic12Mode(); }, 1,
       "0A 09 05 00 02 06 0F 11 13 14 16"},
      {"PIC10/12 exit", [](CPICVortang& l) { return l.LeavePic12Mode(); }, 1,
       "09 05 02 01 07 02 15 03 0B"},
      {"high-voltage pulse", [](CPICVortang& l) { return l.HighVoltagePulse(); }, 1,
       "0A 05 02 00 06 0F 11 13 14 48 sleep:1000 15 03 09 0B"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    OpenWithPowerMode(0);
    EXPECT_EQ(c.run(Link()), c.result);
    EXPECT_EQ(timeline.Render(), c.wire);
    Link().Close();
  }
}

TEST_F(SequenceTest, HighVoltageSerialEntrySucceedsOnlyOnS) {
  for (const auto& [reply, expected] : {std::pair{"53", 1}, std::pair{"00", 0}}) {
    OpenWithPowerMode(3, {{"replies", {{"0x3C", reply}}}});
    EXPECT_EQ(Link().EnterHighVoltageSerial(), expected);
    EXPECT_EQ(timeline.Render(), "09 sleep:1 0A 00 08 sleep:1 3C");
    EXPECT_FALSE(Link().linkLost);
    Link().Close();
  }
}

TEST_F(SequenceTest, AvrThatNeverAnswersSGetsThirtyFourEnableAttempts) {
  OpenWithPowerMode(3, {{"replies", {{"0x2E", "00"}}}});
  Link().avrInSync = 1;
  EXPECT_EQ(Link().EnterSerialProgramming(0), 0);
  EXPECT_EQ(Link().avrInSync, 0);
  EXPECT_FALSE(Link().linkLost);

  const std::string attempt = "09 sleep:1 0A 08 sleep:1 06 2E";
  const std::string reset = "15 03 09 sleep:1 08 sleep:1 0B";
  std::string expected = attempt;
  for (int i = 1; i < 34; ++i) expected += " " + reset + " " + attempt;
  EXPECT_EQ(timeline.Render(), expected);
  const auto reads = Events("read");
  EXPECT_EQ(reads.size(), 34u);  // one reply per attempt
}

TEST_F(SequenceTest, AvrAnsweringSOnTheThirdAttemptIsInSync) {
  OpenWithPowerMode(0, {{"replies", {{"0x2E", {"FF", "00", "53"}}}}});
  EXPECT_EQ(Link().EnterSerialProgramming(0), 1);
  EXPECT_EQ(Link().avrInSync, 1);
  EXPECT_EQ(timeline.Render(), "09 0A 06 2E 15 03 09 0B 09 0A 06 2E 15 03 09 0B 09 0A 06 2E");
}

TEST_F(SequenceTest, MiniProgrammerEntryAndExitDriveThePins) {
  for (const auto& [lowVoltage, entry, exit] :
       {std::tuple{0, "00 sleep:1 80 sleep:1", "80 sleep:1 00 sleep:1 8C sleep:1"},
        std::tuple{1, "00 sleep:1 C0 sleep:1", "C0 sleep:1 00 sleep:1 8C sleep:1"}}) {
    Configure({{"programmer", "mini"}});
    ASSERT_EQ(OpenMini(), 1);
    timeline.Clear();
    EXPECT_EQ(Link().EnterProgrammingMode(lowVoltage), 0);
    EXPECT_EQ(Link().pinsReset, 0x00);
    EXPECT_EQ(timeline.Render(), entry);
    timeline.Clear();
    EXPECT_EQ(Link().LeaveProgrammingMode(), 0);
    EXPECT_EQ(timeline.Render(), exit);
    Link().Close();
  }
}

}  // namespace
}  // namespace velmora::testing
