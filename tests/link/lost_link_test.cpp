// A lost link (cable pulled, reply missing or short) fails the cycle within the bounded wait:
// the failing transfer and every later one of the cycle fail, nothing hangs, Close still
// closes the FT232.
#include <gmock/gmock.h>

#include "link/link_fixture.h"

namespace velmora::testing {
namespace {

// Worst case of one handshake: two presence probes and one reply read time out.
constexpr double kBoundedWaitMicros =
    (2.0 * CPICVortang::kProbeTimeoutMilliseconds + CPICVortang::kReplyTimeoutMilliseconds) *
    1000.0;

class LostLinkTest : public LinkTest {
 protected:
  // A full programmer cycle with two firmware commands that answer.
  bool RunFullCycle() {
    CPICVortang& link = Link();
    link.powerSwitchingMode = 7;
    if (!OpenFull()) return false;
    link.EnterProgrammingMode(0);
    link.ResetCursors();
    const bool first =
        link.WriteCommandBytes({0x33, 0xA0, 0x00, 0x00, 0x00}) && link.ReadReply(1) != nullptr;
    const bool second = link.WriteCommandByte(0x30) && link.ReadReply(3) != nullptr;
    link.LeaveProgrammingMode();
    const bool ok = first && second && !link.linkLost;
    link.Close();
    return ok;
  }

  // A mini programmer cycle reading eight bytes back.
  bool RunMiniCycle() {
    CPICVortang& link = Link();
    if (!OpenMini()) return false;
    link.EnterProgrammingMode(0);
    link.ResetCursors();
    for (int i = 0; i < 8; ++i) link.QueueCommand(9, 0xFF, 0xFF);
    const bool read = link.SendSamplesAndDecode() == 1 && link.readResultCursor == 8;
    link.LeaveProgrammingMode();
    const bool ok = read && !link.linkLost;
    link.Close();
    return ok;
  }

  // Bytes that crossed the wire in the last run, both directions.
  uint64_t WireBytes() const {
    uint64_t total = 0;
    for (const char* op : {"write", "read"}) {
      for (const auto& event : Events(op)) {
        const std::string bytes = event.value("bytes", "");
        total += (bytes.size() + 1) / 3;
      }
    }
    return total;
  }

  // After a pulled cable: the FT232 is closed, nothing waited for ever or beyond the bound,
  // and no transfer was tried after the first one that failed.
  void ExpectClosedWithinBound() {
    const auto transcript = Transcript();
    EXPECT_EQ(Link().ftHandle.load(), nullptr);
    EXPECT_FALSE(transcript["open"].get<bool>());
    EXPECT_EQ(transcript["foreverWaits"], 0);
    EXPECT_LE(transcript["waitMicros"].get<double>(), kBoundedWaitMicros);
    bool failed = false;
    for (const auto& event : transcript["events"]) {
      if (event["op"] != "write" && event["op"] != "read") continue;
      EXPECT_FALSE(failed) << "transfer after a failed one: " << event.dump();
      failed = failed || event["status"] != 0;
    }
  }

  static nlohmann::json Scenario(const nlohmann::json& base, uint64_t unplugAfter) {
    nlohmann::json scenario = base;
    scenario["faults"]["unplugAfterBytes"] = unplugAfter;
    return scenario;
  }
};

TEST_F(LostLinkTest, UnpluggingAtEveryByteOfTheHandshakeFailsTheOpen) {
  const nlohmann::json base = {{"firmware", "FW 1.0"}};
  Configure(base);
  ASSERT_EQ(OpenFull(), 1);
  Link().Close();
  const uint64_t total = WireBytes();
  ASSERT_EQ(total, 1u + 1u + 1u + 6u);

  for (uint64_t offset = 0; offset < total; ++offset) {
    SCOPED_TRACE("unplugged after " + std::to_string(offset) + " bytes");
    Configure(Scenario(base, offset));
    EXPECT_EQ(OpenFull(), 0);
    // Never blamed on the firmware: the cable went.
    EXPECT_EQ(Link().statusText, offset == 0 ? "Firmware: No programmer found!"
                                             : "Firmware: Connection to the programmer lost!");
    EXPECT_EQ(prompts().Records().size(), 1u);
    ExpectClosedWithinBound();
  }
  Configure(Scenario(base, total));
  EXPECT_EQ(OpenFull(), 1);
}

TEST_F(LostLinkTest, UnpluggingAtEveryByteOfAFullProgrammerCycleFailsIt) {
  const nlohmann::json base = {
      {"target",
       {{"operands", {{"0x33", 4}}}, {"replies", {{"0x33", "7F"}, {"0x30", "1E 95 0F"}}}}}};
  Configure(base);
  ASSERT_TRUE(RunFullCycle());
  const uint64_t total = WireBytes();

  for (uint64_t offset = 0; offset < total; ++offset) {
    SCOPED_TRACE("unplugged after " + std::to_string(offset) + " bytes");
    Configure(Scenario(base, offset));
    EXPECT_FALSE(RunFullCycle());
    ExpectClosedWithinBound();
  }
  Configure(Scenario(base, total));
  EXPECT_TRUE(RunFullCycle());
}

TEST_F(LostLinkTest, UnpluggingAtEveryByteOfAMiniProgrammerReadBackFailsIt) {
  const nlohmann::json base = {{"programmer", "mini"}, {"target", {{"pinAnswer", 0x42}}}};
  Configure(base);
  ASSERT_TRUE(RunMiniCycle());
  const uint64_t total = WireBytes();
  ASSERT_EQ(total, 2u + 320u + 320u + 3u);

  for (uint64_t offset = 0; offset < total; ++offset) {
    SCOPED_TRACE("unplugged after " + std::to_string(offset) + " bytes");
    Configure(Scenario(base, offset));
    EXPECT_FALSE(RunMiniCycle());
    ExpectClosedWithinBound();
  }
}

TEST_F(LostLinkTest, MissingReplyFailsAfterTheReplyTimeoutAndStopsTheCycle) {
  Configure({{"faults", {{"replyNeverComes", {"0x30"}}}},
             {"target", {{"replies", {{"0x30", "01 02 03"}}}}}});
  ASSERT_EQ(OpenFull(), 1);
  Link().ResetCursors();
  ASSERT_TRUE(Link().WriteCommandByte(0x30));
  EXPECT_EQ(Link().ReadReply(3), nullptr);
  EXPECT_TRUE(Link().linkLost);
  EXPECT_EQ(Transcript()["waitMicros"].get<double>(),
            CPICVortang::kReplyTimeoutMilliseconds * 1000.0);

  // Later primitives of the cycle fail without touching the FT232.
  const size_t transfers = Events("write").size() + Events("read").size();
  EXPECT_FALSE(Link().WriteCommandByte(0x30));
  EXPECT_EQ(Link().ReadReply(1), nullptr);
  EXPECT_EQ(Link().LeaveProgrammingMode(), 0);
  EXPECT_EQ(Link().EnterSerialProgramming(0), 0);
  EXPECT_EQ(Link().avrInSync, 0);
  EXPECT_EQ(Events("write").size() + Events("read").size(), transfers);
  Link().Close();
  ExpectClosedWithinBound();

  // The next cycle starts with a working link again.
  ASSERT_EQ(OpenFull(), 1);
  EXPECT_FALSE(Link().linkLost);
  Link().Close();
}

TEST_F(LostLinkTest, ShortReplyCountsAsLostNotAsData) {
  Configure({{"target", {{"replies", {{"0x30", "1E 95"}}}}}});
  ASSERT_EQ(OpenFull(), 1);
  Link().ResetCursors();
  ASSERT_TRUE(Link().WriteCommandByte(0x30));
  EXPECT_EQ(Link().ReadReply(3), nullptr);
  EXPECT_TRUE(Link().linkLost);
  EXPECT_EQ(Link().readResultCursor, 0u);
  Link().Close();
}

}  // namespace
}  // namespace velmora::testing
