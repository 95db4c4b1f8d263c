// Mini programmer: ICSP sample encoding, the programming hold, and decoding of the pin states
// read back from the simulated target.
#include <gmock/gmock.h>

#include "link/link_fixture.h"

namespace velmora::testing {
namespace {

using ::testing::ElementsAre;

std::vector<uint8_t> QueuedSamples(const CPICVortang& link) {
  return {link.sampleBuffer.get() + link.sampleSendCursor,
          link.sampleBuffer.get() + link.sampleWriteCursor};
}

// Two samples per bit, clock high then low, data on D2, on top of `base`.
std::vector<uint8_t> Encode(uint32_t bits, int count, uint8_t base) {
  std::vector<uint8_t> samples;
  for (int i = 0; i < count; ++i) {
    const uint8_t data = ((bits >> i) & 1) ? 0x04 : 0x00;
    samples.push_back(base | data | 0x08);
    samples.push_back(base | data);
  }
  return samples;
}

// A link without a driver, for the encoding alone.
struct OfflineLink {
  ScriptedPrompt prompt;
  VirtualClock clock;
  CPICVortang link{prompt, clock, DriverLookup{}};
};

class BitBangTest : public LinkTest {
 protected:
  void OpenMiniWith(const nlohmann::json& target = nlohmann::json::object()) {
    Configure({{"programmer", "mini"}, {"target", target}});
    ASSERT_EQ(OpenMini(), 1);
    Link().EnterProgrammingMode(0);
    Link().ResetCursors();
    timeline.Clear();
  }
};

TEST(SampleEncoding, QueueCommandSendsCommandThenDataLeastSignificantBitFirst) {
  struct Case {
    int command;
    int high;
    int low;
    uint8_t pinsProgramming;
  };
  const Case cases[] = {{0x9, 0xFF, 0xFF, 0x80},
                        {0x0, 0x0E, 0x3C, 0x80},
                        {0xD, 0x12, 0x34, 0xC0},
                        {0x2, 0x00, 0x00, 0xCC}};
  OfflineLink offline;
  CPICVortang& link = offline.link;
  for (const Case& c : cases) {
    link.ResetCursors();
    link.pinsProgramming = c.pinsProgramming;
    link.QueueCommand(c.command, c.high, c.low);
    const uint32_t bits = c.command | (c.low << 4) | (c.high << 12);
    // D2 and D3 of pinsProgramming never leak into the samples.
    EXPECT_EQ(QueuedSamples(link), Encode(bits, 20, c.pinsProgramming & 0xF3))
        << "command " << c.command;
    EXPECT_EQ(link.pendingReadCommands, 1);
  }
}

TEST(SampleEncoding, ProgramHoldKeepsTheFourthClockHighForTheHoldTime) {
  struct Case {
    int holdMicroseconds;
    int microsecondsPerSample;
    size_t highSamples;
    size_t lowSamples;
  };
  const Case cases[] = {{1000, 1, 1001, 11}, {1000, 3, 334, 4}, {0, 1, 1, 11}};
  OfflineLink offline;
  CPICVortang& link = offline.link;
  link.pinsProgramming = 0x80;
  for (const Case& c : cases) {
    link.ResetCursors();
    link.programHoldMicroseconds = c.holdMicroseconds;
    link.microsecondsPerSample = c.microsecondsPerSample;
    link.QueueProgramHold();
    std::vector<uint8_t> expected = Encode(0, 3, 0x80);
    expected.insert(expected.end(), c.highSamples, 0x88);
    expected.insert(expected.end(), c.lowSamples, 0x80);
    const auto data = Encode(0, 16, 0x80);
    expected.insert(expected.end(), data.begin(), data.end());
    EXPECT_EQ(QueuedSamples(link), expected) << "hold " << c.holdMicroseconds;
    EXPECT_EQ(link.pendingReadCommands, 0);
  }
}

TEST_F(BitBangTest, TableReadDecodesTheTargetsAnswerBits) {
  OpenMiniWith({{"pinAnswer", 0xA5}});
  Link().QueueCommand(9, 0xFF, 0xFF);
  ASSERT_EQ(Link().SendSamplesAndDecode(), 1);
  EXPECT_EQ(Link().readResultCursor, 1u);
  EXPECT_EQ(Link().replyBuffer[0], 0xA5);
  EXPECT_EQ(Link().pendingReadCommands, 0);

  EXPECT_THAT(Calls(),
              ElementsAre("FT_SetBaudRate(20833)", "FT_Purge(1)", "FT_SetBaudRate(62500)"));
  const auto reads = Events("read");
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[0]["requested"], 372);
  EXPECT_EQ(reads[1]["requested"], 5000);
  EXPECT_THAT(Bytes("write"), ElementsAre(HexText(Encode(0xFFFF9, 20, 0x80))));
}

TEST_F(BitBangTest, OnlyTableReadsAndTablatShiftsStoreBytes) {
  OpenMiniWith({{"pinAnswer", 0x3C}});
  Link().QueueCommand(0, 0x0E, 0x12);   // core instruction: no byte
  Link().QueueCommand(2, 0xFF, 0xFF);   // shift out TABLAT
  Link().QueueCommand(9, 0xFF, 0xFF);   // table read
  Link().QueueCommand(12, 0x00, 0x00);  // table write: no byte
  ASSERT_EQ(Link().SendSamplesAndDecode(), 1);
  EXPECT_EQ(Link().readResultCursor, 2u);
  EXPECT_EQ(Link().replyBuffer[0], 0x3C);
  EXPECT_EQ(Link().replyBuffer[1], 0x3C);
  EXPECT_EQ(Link().pendingReadCommands, 0);
}

TEST_F(BitBangTest, FramesBeyondThePendingCommandsAreDropped) {
  OpenMiniWith({{"pinAnswer", 0x01}});
  Link().QueueCommand(9, 0xFF, 0xFF);
  Link().QueueCommand(9, 0xFF, 0xFF);
  Link().pendingReadCommands = 1;
  ASSERT_EQ(Link().SendSamplesAndDecode(), 1);
  EXPECT_EQ(Link().readResultCursor, 1u);
  EXPECT_EQ(Link().pendingReadCommands, 0);
}

TEST_F(BitBangTest, ReadBackWritesAtMost256SamplesPerStep) {
  OpenMiniWith({{"pinAnswer", 0x5A}});
  for (int i = 0; i < 16; ++i) Link().QueueCommand(9, 0xFF, 0xFF);  // 640 samples
  ASSERT_EQ(Link().SendSamplesAndDecode(), 1);
  std::vector<size_t> writes;
  for (const auto& write : Events("write")) writes.push_back(write["written"]);
  EXPECT_THAT(writes, ElementsAre(256u, 256u, 128u));
  std::vector<int> reads;
  for (const auto& read : Events("read")) reads.push_back(read["requested"]);
  EXPECT_THAT(reads, ElementsAre(372, 372, 372, 5000));
  // Frames straddle the steps: the edge state carries over from one read to the next.
  ASSERT_EQ(Link().readResultCursor, 16u);
  for (size_t i = 0; i < 16; ++i) EXPECT_EQ(Link().replyBuffer[i], 0x5A) << i;
}

TEST_F(BitBangTest, SendSamplesWritesAtMost4096PerCall) {
  OpenMiniWith();
  for (int i = 0; i < 250; ++i) Link().QueueCommand(0, 0, 0);  // 10,000 samples
  ASSERT_EQ(Link().SendSamples(), 1);
  std::vector<size_t> writes;
  for (const auto& write : Events("write")) writes.push_back(write["written"]);
  EXPECT_THAT(writes, ElementsAre(4096u, 4096u, 1808u));
  EXPECT_EQ(Link().sampleSendCursor, Link().sampleWriteCursor);
  EXPECT_TRUE(Calls().empty());
}

TEST_F(BitBangTest, ShortDecodeCountsAsALostLink) {
  // The receive side loses one captured sample in a hundred: fewer frames decode than were
  // asked for, and the reply must not be taken from what the buffer held before.
  Configure({{"programmer", "mini"},
             {"target", {{"pinAnswer", 0x5A}}},
             {"faults", {{"lossyReadBack", {{"afterSamples", 10}, {"dropEvery", 100}}}}}});
  ASSERT_EQ(OpenMini(), 1);
  Link().ResetCursors();
  for (int i = 0; i < 16; ++i) Link().QueueCommand(9, 0xFF, 0xFF);
  Link().SendSamplesAndDecode();
  EXPECT_LT(Link().readResultCursor, 16u);
  EXPECT_EQ(Link().DecodedReply(0, 16), nullptr);
  EXPECT_TRUE(Link().linkLost);
  Link().Close();

  // A whole reply is returned in place and leaves the link as it is.
  Configure({{"programmer", "mini"}, {"target", {{"pinAnswer", 0x5A}}}});
  ASSERT_EQ(OpenMini(), 1);
  Link().ResetCursors();
  for (int i = 0; i < 4; ++i) Link().QueueCommand(9, 0xFF, 0xFF);
  ASSERT_EQ(Link().SendSamplesAndDecode(), 1);
  EXPECT_EQ(Link().DecodedReply(1, 3), Link().replyBuffer.get() + 1);
  EXPECT_FALSE(Link().linkLost);
}

TEST(SampleEncoding, QueueKeepsGrowingPastTheBufferOnceSamplesAreSent) {
  // A long write sends load after load; samples already sent make room for the next ones.
  OfflineLink offline;
  CPICVortang& link = offline.link;
  link.ResetCursors();
  link.sampleWriteCursor = CPICVortang::kSampleBufferSize - 10;
  link.sampleSendCursor = CPICVortang::kSampleBufferSize - 20;
  link.QueueCommand(0, 0, 0);
  EXPECT_FALSE(link.bufferOverflow);
  EXPECT_EQ(link.sampleSendCursor, 0u);
  EXPECT_EQ(link.sampleWriteCursor, 10u + 40u);

  // Unsent samples that do not fit make the send fail instead of overrunning the buffer.
  link.ResetCursors();
  link.sampleWriteCursor = CPICVortang::kSampleBufferSize - 10;
  link.QueueCommand(0, 0, 0);
  EXPECT_TRUE(link.bufferOverflow);
  EXPECT_EQ(link.sampleWriteCursor, CPICVortang::kSampleBufferSize - 10);
  EXPECT_EQ(link.SendSamples(), 0);
}

}  // namespace
}  // namespace velmora::testing
