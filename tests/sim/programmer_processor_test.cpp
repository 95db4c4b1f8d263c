#include "sim/mcu/programmer_processor.h"

#include <gtest/gtest.h>

#include "pic18_core_support.h"
#include "sim/pic18/pic18_geometry.h"
#include "sim/pic18/pic18_icsp.h"
#include "sim/pic18/pic18_memory.h"

namespace velmora::sim {
namespace {

using namespace programmer_cpu;
using namespace pic18reg;
using testing::PlaceWords;

// Collects what the processor sends to the PC.
class RecordingIo final : public ITargetIo {
 public:
  void Reply(std::span<const uint8_t> bytes) override {
    replies.insert(replies.end(), bytes.begin(), bytes.end());
  }
  using ITargetIo::Reply;
  void AddDeviceMicros(double) override {}
  void Note(const std::string& text) override { notes.push_back(text); }
  const ProgrammerLines& Lines() const override { return lines; }
  double NowMicros() const override { return 0; }
  double MicrosPerSample() const override { return 1; }

  std::vector<uint8_t> replies;
  std::vector<std::string> notes;
  ProgrammerLines lines;
};

// A PIC18F4550 on the pins: the ICSP target model of the mini programmer.
class IcspOnPins final : public ITarget {
 public:
  IcspOnPins() : memory(*Pic18GeometryByName("PIC18F4550"), 3), icsp(memory) {}
  int OnPinSample(uint8_t pins, ITargetIo& io) override {
    icsp.SetMicrosPerSample(io.MicrosPerSample());
    return icsp.OnSample(pins) ? -1 : 0;
  }
  CommandStep OnCommandBytes(std::span<const uint8_t>, ITargetIo&) override { return {}; }
  void OnControlByte(uint8_t, ITargetIo&) override {}
  void LoadImage(const HexImage&) override {}
  nlohmann::json SaveState() const override { return {}; }
  void LoadState(const nlohmann::json&) override {}

  Pic18Memory memory;
  Pic18IcspTarget icsp;
};

constexpr uint16_t kReadDeviceId = 0x4002;
constexpr uint16_t kEchoPlusOne = 0x4100;

class ProgrammerProcessorTest : public ::testing::Test {
 protected:
  ProgrammerProcessorTest() { testing::LoadHex(processor.core(), Program()); }
  static std::string Program() { return testing::CoreProgramPath("script_link.hex"); }

  IcspOnPins target;
  ProgrammerProcessor processor{&target};
  RecordingIo io;
};

// A CALL of each delay entry, and of the NOP chain n words before the base, takes the cycles
// the code generator counts on, and leaves W and STATUS as they were.
TEST_F(ProgrammerProcessorTest, DelayRoutinesTakeTheirCyclesAndKeepWAndStatus) {
  std::vector<std::pair<uint32_t, uint64_t>> entries;  // words before the base, cycles
  for (const DelayRoutine& r : kDelayRoutines) entries.emplace_back(r.wordsBeforeBase, r.cycles);
  for (uint32_t n : {0u, 1u, 5u, 15u}) entries.emplace_back(n, n + 4);
  for (const auto& [words, cycles] : entries) {
    SCOPED_TRACE(words);
    Pic18Core& core = processor.core();
    const uint32_t entry = kDelayBase - 2 * words;
    PlaceWords(core, 0x7000,
               {static_cast<uint16_t>(0xEC00 | ((entry >> 1) & 0xFF)),
                static_cast<uint16_t>(0xF000 | (entry >> 9)), 0xD7FF});
    core.SetPc(0x7000);
    core.Poke(kWreg, 0xA5);
    core.Poke(kStatus, pic18flag::kC | pic18flag::kN);
    const uint64_t start = core.cycles();
    for (int i = 0; i < 100000 && core.pc() != 0x7004; ++i) core.Step();
    EXPECT_EQ(core.pc(), 0x7004u);
    EXPECT_EQ(core.cycles() - start, cycles);
    EXPECT_EQ(core.W(), 0xA5);
    EXPECT_EQ(core.Peek(kStatus), pic18flag::kC | pic18flag::kN);
    EXPECT_EQ(core.invalidInstructions(), 0u);
  }
}

TEST_F(ProgrammerProcessorTest, StateReplyGivesTheAreaItsContentAndTheEntries) {
  const std::vector<uint8_t> reply = processor.StateReply();
  ASSERT_EQ(reply.size(), 4 + (kAreaEnd - kAreaStart) + 6);
  EXPECT_EQ(reply[0] | reply[1] << 8, kAreaStart);
  EXPECT_EQ(reply[2] | reply[3] << 8, static_cast<int>(kAreaEnd));
  EXPECT_EQ(reply[4] | reply[5] << 8, 0x8000);  // the end offset the program carries
  const size_t tail = reply.size() - 6;
  EXPECT_EQ(reply[tail] | reply[tail + 1] << 8, kDelayBase);
  EXPECT_EQ(reply[tail + 2] | reply[tail + 3] << 8, kSendEntry);
  EXPECT_EQ(reply[tail + 4] | reply[tail + 5] << 8, kReceiveEntry);
}

TEST_F(ProgrammerProcessorTest, BlocksAreWrittenOnlyInsideTheArea) {
  std::vector<uint8_t> block(kBlockSize);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(processor.WriteBlock(0x7FC0, block), block);
  const std::vector<uint8_t> firmware = processor.WriteBlock(kDelayBase - 32, block);
  EXPECT_NE(firmware, block);  // the firmware's own flash reads back unchanged
  EXPECT_EQ(firmware[32] | firmware[33] << 8, 0x0012);    // the RETURN at the delay base
  EXPECT_NE(processor.WriteBlock(0x4010, block), block);  // not on a block boundary
}

TEST_F(ProgrammerProcessorTest, ReadsTheTargetsDeviceIdThroughThePins) {
  processor.Call(kReadDeviceId);
  EXPECT_EQ(processor.Run(io), ProgrammerProcessor::Stop::kReturned);
  EXPECT_FALSE(processor.Running());
  const uint16_t id = target.memory.DeviceIdWithRevision();
  EXPECT_EQ(io.replies, (std::vector<uint8_t>{static_cast<uint8_t>(id), uint8_t(id >> 8)}));
  EXPECT_EQ(target.icsp.counters().unknownCommands, 0u);
  EXPECT_EQ(target.icsp.counters().commands, 8u);  // six core instructions, two table reads
  EXPECT_GT(processor.cyclesRun(), 1000u);
}

TEST_F(ProgrammerProcessorTest, CodeWaitsForTheBytesItReceivesAndLeavesTheRest) {
  processor.Call(kEchoPlusOne);
  EXPECT_EQ(processor.Run(io), ProgrammerProcessor::Stop::kWaitsForByte);
  processor.Receive(2);
  processor.Receive(10);
  EXPECT_EQ(processor.Run(io), ProgrammerProcessor::Stop::kWaitsForByte);
  EXPECT_EQ(io.replies, std::vector<uint8_t>{11});
  processor.Receive(20);
  processor.Receive(0x20);  // after the code: a firmware command again
  EXPECT_EQ(processor.Run(io), ProgrammerProcessor::Stop::kReturned);
  EXPECT_EQ(io.replies, (std::vector<uint8_t>{11, 21}));
  EXPECT_EQ(processor.TakeUnread(), std::vector<uint8_t>{0x20});
}

TEST_F(ProgrammerProcessorTest, FlowControlHoldsTheSenderUntilThePcTakesBytes) {
  bool pcTakesBytes = false;
  processor.SetPcTakesBytes([&] { return pcTakesBytes; });
  processor.Call(kEchoPlusOne);
  processor.Receive(1);
  processor.Receive(5);
  EXPECT_EQ(processor.Run(io), ProgrammerProcessor::Stop::kWaitsForPc);
  EXPECT_TRUE(io.replies.empty());
  pcTakesBytes = true;
  EXPECT_EQ(processor.Run(io), ProgrammerProcessor::Stop::kReturned);
  EXPECT_EQ(io.replies, std::vector<uint8_t>{6});
}

TEST_F(ProgrammerProcessorTest, SleepStopsTheCode) {
  PlaceWords(processor.core(), 0x7000, {0x0003});
  processor.Call(0x7000);
  EXPECT_EQ(processor.Run(io), ProgrammerProcessor::Stop::kAsleep);
  EXPECT_EQ(processor.Run(io), ProgrammerProcessor::Stop::kAsleep);
  EXPECT_EQ(processor.cyclesRun(), 0u);
}

TEST_F(ProgrammerProcessorTest, CodeThatNeverEndsStopsAtTheSliceAndGoesOnLater) {
  PlaceWords(processor.core(), 0x7000, {0xD7FF});  // BRA $
  processor.Call(0x7000);
  EXPECT_EQ(processor.Run(io, 1000), ProgrammerProcessor::Stop::kSliceSpent);
  EXPECT_TRUE(processor.Running());
  EXPECT_EQ(processor.cyclesRun(), 1000u);
  EXPECT_EQ(processor.Run(io, 10), ProgrammerProcessor::Stop::kSliceSpent);
  EXPECT_EQ(processor.cyclesRun(), 10u);
}

}  // namespace
}  // namespace velmora::sim
