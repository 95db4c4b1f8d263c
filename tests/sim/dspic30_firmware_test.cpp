// The full programmer's dsPIC30 commands on the simulated chip: operand counts, and the block
// commands (row write, row erase, word reads, configuration write, RAM read) run as the firmware's
// own ICSP sequences.
#include "sim/dspic30/dspic30_firmware.h"

#include <gmock/gmock.h>

#include "dspic30_test_support.h"

namespace velmora::sim {
namespace {

using namespace testing;
using Bytes = std::vector<uint8_t>;
using ::testing::IsEmpty;

class DsPic30FirmwareTest : public ::testing::Test {
 protected:
  explicit DsPic30FirmwareTest(const DsPic30Geometry& geometry = kDsPic30F6014)
      : memory(geometry), core(memory), firmware(core) {}

  Bytes Run(const Bytes& stream) { return RunFirmware(firmware, stream); }
  // NOP, NOP, GOTO 0x100 (two words), NOP: how every programmer stream starts.
  static Bytes Start() {
    Bytes stream{0x4C, 0x4C};
    AppendSix(stream, op::kGoto100);
    stream.push_back(0x4C);
    return stream;
  }
  static void Six(Bytes& stream, std::initializer_list<uint32_t> instructions) {
    for (uint32_t instruction : instructions) AppendSix(stream, instruction);
  }
  // TBLPAG and W6 at a program-space address, W7 at VISI.
  static Bytes ReadSetUp(uint32_t address) {
    Bytes stream = Start();
    Six(stream, {op::MovLit(address >> 16, 0), op::kMovW0Tblpag, op::MovLit(address, 6),
                 op::MovLit(0x784, 7)});
    return stream;
  }
  static void AppendNegatedCount(Bytes& stream, uint8_t command, uint32_t count) {
    const auto negated = static_cast<uint16_t>(0x10000 - count);
    stream.insert(stream.end(), {command, static_cast<uint8_t>(negated & 0xFF),
                                 static_cast<uint8_t>(negated >> 8)});
  }
  std::vector<std::string> Errors() {
    std::vector<std::string> errors;
    for (std::string& note : core.TakeNotes()) {
      if (note.find("error") != std::string::npos) errors.push_back(std::move(note));
    }
    return errors;
  }

  DsPic30Memory memory;
  DsPic30Core core;
  DsPic30Firmware firmware;
};

TEST_F(DsPic30FirmwareTest, OperandCountsOfEveryCommand) {
  const std::pair<Bytes, size_t> cases[] = {
      {{0x4A}, 3}, {{0x4A, 0x00, 0x01}, 1}, {{0x4B}, 0}, {{0x4C}, 0}, {{0x4D}, 2}, {{0x4E}, 96},
      {{0x4F}, 4}, {{0x50, 0xF9}, 1},       {{0x53}, 0}, {{0x54}, 2},
  };
  for (const auto& [received, missing] : cases) {
    EXPECT_EQ(DsPic30Firmware::MissingBytes(received), missing) << std::hex << int{received[0]};
  }
  for (uint8_t command : {0x49, 0x51, 0x52, 0x55, 0x22}) {
    EXPECT_FALSE(DsPic30Firmware::Serves(command)) << int{command};
  }
}

TEST_F(DsPic30FirmwareTest, WritesARowFromItsPackedFormInTheSecondPage) {
  const uint32_t w = 0x8000 + 32;  // program-space address 0x10040, TBLPAG 1
  std::vector<uint32_t> words(32);
  for (uint32_t i = 0; i < 32; ++i) words[i] = (i * 0x0B0A09 + 0x010203) & 0xFFFFFF;
  Bytes stream = Start();
  Six(stream, {op::MovLit(nvmop::kProgramRow, 10), op::kMovW10Nvmcon, op::MovLit(w >> 15, 0),
               op::kMovW0Tblpag, op::MovLit(2 * w, 7)});
  stream.push_back(0x4E);
  const Bytes packed = PackRow(words);
  stream.insert(stream.end(), packed.begin(), packed.end());
  EXPECT_EQ(Run(stream), Bytes{});
  for (uint32_t i = 0; i < 32; ++i) EXPECT_EQ(memory.program()[w + i], words[i]) << i;
  EXPECT_EQ(memory.program()[w - 1], DsPic30Memory::kErasedWord);
  EXPECT_EQ(memory.program()[w + 32], DsPic30Memory::kErasedWord);
  EXPECT_THAT(Errors(), IsEmpty());
  EXPECT_EQ(core.TakeBusyMicros(), dspic30busy::kRowProgramMicros);
}

TEST_F(DsPic30FirmwareTest, ErasesTheRowItsFourAddressBytesName) {
  for (uint32_t& word : memory.program()) word = 0;
  const uint32_t w = 0x8000 + 64;
  const uint32_t a = 2 * w;
  Bytes stream = Start();
  stream.insert(stream.end(), {0x4F, static_cast<uint8_t>(((a >> 12) & 0x0F) | 0x20),
                               static_cast<uint8_t>(a >> 4), static_cast<uint8_t>(a >> 20),
                               static_cast<uint8_t>((a >> 12) & 0xF0)});
  Run(stream);
  EXPECT_EQ(memory.program()[w - 1], 0u);
  EXPECT_EQ(memory.program()[w], DsPic30Memory::kErasedWord);
  EXPECT_EQ(memory.program()[w + 31], DsPic30Memory::kErasedWord);
  EXPECT_EQ(memory.program()[w + 32], 0u);
  EXPECT_THAT(Errors(), IsEmpty());
}

TEST_F(DsPic30FirmwareTest, ReadsProgramWordsThreeBytesEach) {
  memory.program()[0x100] = 0xABCDEF;
  memory.program()[0x101] = 0x123456;
  Bytes stream = ReadSetUp(0x200);
  AppendNegatedCount(stream, 0x4D, 2);
  EXPECT_EQ(Run(stream), (Bytes{0xEF, 0xCD, 0xAB, 0x56, 0x34, 0x12}));
  EXPECT_EQ(core.W(6), 0x204);
  EXPECT_THAT(Errors(), IsEmpty());
}

TEST_F(DsPic30FirmwareTest, ReadsDataWordsOfConfigurationAndEeprom) {
  memory.eeprom().back() = 0xBEEF;
  Bytes stream = ReadSetUp(0xF80000);
  AppendNegatedCount(stream, 0x50, 7);
  const Bytes config = Run(stream);
  EXPECT_EQ(config, (Bytes{0x0F, 0xC3, 0x3F, 0x80, 0xB3, 0x87, 0, 0, 0, 0, 0x03, 0, 0x03, 0xC0}));
  stream = ReadSetUp(0x7FFFFE);
  AppendNegatedCount(stream, 0x50, 1);
  EXPECT_EQ(Run(stream), (Bytes{0xEF, 0xBE}));
  EXPECT_THAT(Errors(), IsEmpty());
}

TEST_F(DsPic30FirmwareTest, CompletesTheConfigurationWriteThePcSetUp) {
  Bytes stream = Start();
  Six(stream, {op::MovLit(10, 7), op::MovLit(nvmop::kWriteConfiguration, 10), op::kMovW10Nvmcon,
               op::MovLit(0xF8, 0), op::kMovW0Tblpag, op::MovLit(0xFFFE, 0), 0xBB0B80});
  stream.insert(stream.end(), {0x4C, 0x4C, 0x53});
  Run(stream);
  EXPECT_EQ(memory.configuration()[5], 0x0002);  // FGS keeps bits 1..0
  EXPECT_EQ(core.Sfr(0x0760), nvmop::kWriteConfiguration);
  EXPECT_THAT(Errors(), IsEmpty());
  // After a reset nothing is set up: the write cycle has no enabled operation.
  core.Reset();
  Run({0x53});
  EXPECT_THAT(Errors(), ::testing::ElementsAre(::testing::HasSubstr("without WREN")));
}

TEST_F(DsPic30FirmwareTest, ReadsRamFromTheAddressInW6) {
  for (size_t i = 0; i < 8; ++i) memory.ram()[i] = static_cast<uint8_t>(0x10 + i);
  memory.ram().back() = 0x99;
  Bytes stream = Start();
  Six(stream, {op::MovLit(0x800, 6), op::MovLit(0x784, 7)});
  AppendNegatedCount(stream, 0x54, 4);
  EXPECT_EQ(Run(stream), (Bytes{0x10, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16, 0x17}));
  stream = Start();
  Six(stream, {op::MovLit(0x800, 6)});
  AppendNegatedCount(stream, 0x54, 8192 / 2);
  const Bytes all = Run(stream);
  ASSERT_EQ(all.size(), 8192u);
  EXPECT_EQ(all.back(), 0x99);
  EXPECT_THAT(Errors(), IsEmpty());
}

}  // namespace
}  // namespace velmora::sim
