#include "ftdi/d2xx_transfer.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <vector>

#include "platform/clock.h"

namespace velmora {
namespace {

// A chip that delivers scripted arrivals, one per poll, and spends one latency period on
// every poll. A negative arrival is a USB error; arrivals beyond the script are empty.
class ScriptedChip {
 public:
  ScriptedChip(VirtualClock& clock, std::vector<int> arrivals, uint32_t latencyMs = 1)
      : clock_(clock), arrivals_(arrivals.begin(), arrivals.end()), latencyMs_(latencyMs) {}

  ReadSome Reader() {
    return [this](std::span<uint8_t> rest) {
      ++polls_;
      clock_.Sleep(latencyMs_);
      const int arrival = arrivals_.empty() ? 0 : arrivals_.front();
      if (!arrivals_.empty()) arrivals_.pop_front();
      if (arrival < 0) return arrival;
      const size_t count = std::min<size_t>(static_cast<size_t>(arrival), rest.size());
      for (size_t i = 0; i < count; ++i) rest[i] = next_++;
      return static_cast<int>(count);
    };
  }
  int polls() const { return polls_; }

 private:
  VirtualClock& clock_;
  std::deque<int> arrivals_;
  uint32_t latencyMs_;
  uint8_t next_ = 0;
  int polls_ = 0;
};

TEST(ReadWithTimeout, ZeroTimeoutWaitsForTheFullCount) {
  VirtualClock clock;
  std::vector<int> arrivals(20'000, 0);  // 20 s of silence, then the reply in pieces
  arrivals.insert(arrivals.end(), {3, 0, 5, 4});
  ScriptedChip chip(clock, arrivals);
  std::vector<uint8_t> buffer(12, 0xEE);

  const TransferOutcome outcome = ReadWithTimeout(buffer, 0, clock, chip.Reader());

  EXPECT_FALSE(outcome.failed);
  EXPECT_EQ(outcome.count, 12u);
  EXPECT_EQ(buffer, (std::vector<uint8_t>{0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11}));
  EXPECT_EQ(chip.polls(), 20'004);
}

TEST(ReadWithTimeout, TimeoutReturnsWhatArrivedWithoutFailing) {
  VirtualClock clock(0xFFFF'FE00);  // the tick counter wraps during the read
  ScriptedChip chip(clock, {2, 0, 1}, 16);
  std::vector<uint8_t> buffer(10, 0xEE);

  const TransferOutcome outcome = ReadWithTimeout(buffer, 1000, clock, chip.Reader());

  EXPECT_FALSE(outcome.failed);
  EXPECT_EQ(outcome.count, 3u);
  EXPECT_EQ(buffer[2], 2);
  EXPECT_EQ(buffer[3], 0xEE);
  // Gave up at the first poll that ended at or past the timeout.
  EXPECT_GE(clock.ElapsedMilliseconds(), 1000u);
  EXPECT_LT(clock.ElapsedMilliseconds(), 1000u + 16u);
}

TEST(ReadWithTimeout, UsbErrorEndsTheReadAndKeepsTheCount) {
  VirtualClock clock;
  ScriptedChip chip(clock, {4, -7, 5});
  std::vector<uint8_t> buffer(10);

  const TransferOutcome outcome = ReadWithTimeout(buffer, 0, clock, chip.Reader());

  EXPECT_TRUE(outcome.failed);
  EXPECT_EQ(outcome.count, 4u);
  EXPECT_EQ(chip.polls(), 2);
}

TEST(ReadWithTimeout, CompleteReplyEndsAtOnceAndEmptyRequestDoesNotPoll) {
  VirtualClock clock;
  ScriptedChip chip(clock, {6, 6});
  std::vector<uint8_t> six(6);
  EXPECT_EQ(ReadWithTimeout(six, 1000, clock, chip.Reader()).count, 6u);
  EXPECT_EQ(chip.polls(), 1);

  EXPECT_EQ(ReadWithTimeout(std::span<uint8_t>(), 0, clock, chip.Reader()).count, 0u);
  EXPECT_EQ(chip.polls(), 1);
}

// A sink that takes at most `accepts` bytes per call and records each call's size.
struct RecordingSink {
  size_t accepts = SIZE_MAX;
  int failOnCall = -1;  // 0-based call that reports a USB error
  std::vector<size_t> calls = {};
  std::vector<uint8_t> taken = {};

  WriteSome Writer() {
    return [this](std::span<const uint8_t> chunk) {
      const int call = static_cast<int>(calls.size());
      calls.push_back(chunk.size());
      if (call == failOnCall) return -1;
      const size_t count = std::min(chunk.size(), accepts);
      taken.insert(taken.end(), chunk.begin(), chunk.begin() + static_cast<long>(count));
      return static_cast<int>(count);
    };
  }
};

std::vector<uint8_t> Pattern(size_t size) {
  std::vector<uint8_t> bytes(size);
  for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i * 7);
  return bytes;
}

TEST(WriteInChunks, WritesEveryByteInOrderInChunksOfAtMostTheSize) {
  const std::vector<uint8_t> data = Pattern(10'000);
  RecordingSink sink;
  const TransferOutcome outcome = WriteInChunks(data, 4096, sink.Writer());
  EXPECT_FALSE(outcome.failed);
  EXPECT_EQ(outcome.count, data.size());
  EXPECT_EQ(sink.taken, data);
  EXPECT_EQ(sink.calls, (std::vector<size_t>{4096, 4096, 1808}));
}

TEST(WriteInChunks, ShortWritesContinueWhereTheChipStopped) {
  const std::vector<uint8_t> data = Pattern(300);
  RecordingSink sink{.accepts = 128};
  const TransferOutcome outcome = WriteInChunks(data, 256, sink.Writer());
  EXPECT_FALSE(outcome.failed);
  EXPECT_EQ(sink.taken, data);
  EXPECT_EQ(sink.calls, (std::vector<size_t>{256, 172, 44}));
}

TEST(WriteInChunks, ErrorOrStallEndsTheWriteWithTheCountSoFar) {
  const std::vector<uint8_t> data = Pattern(1000);
  RecordingSink failing{.failOnCall = 2};
  const TransferOutcome failed = WriteInChunks(data, 256, failing.Writer());
  EXPECT_TRUE(failed.failed);
  EXPECT_EQ(failed.count, 512u);

  RecordingSink stalled{.accepts = 0};
  const TransferOutcome stall = WriteInChunks(data, 256, stalled.Writer());
  EXPECT_TRUE(stall.failed);
  EXPECT_EQ(stall.count, 0u);
  EXPECT_EQ(stalled.calls.size(), 1u);
}

}  // namespace
}  // namespace velmora
