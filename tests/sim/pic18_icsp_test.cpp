#include "sim/pic18/pic18_icsp.h"

#include <gtest/gtest.h>

#include "pic18_test_support.h"

namespace velmora::sim {
namespace {

using testing::IcspStream;
using testing::kPic18F452;
using testing::kPic18F4550;
using testing::kPic18F8720;
using Bytes = std::vector<uint8_t>;

// Core instructions of the programming sequences.
constexpr uint16_t kBsfEepgd = 0x8EA6;
constexpr uint16_t kBsfCfgs = 0x8CA6;
constexpr uint16_t kBcfCfgs = 0x9CA6;
constexpr uint16_t kBcfEepgd = 0x9EA6;
constexpr uint16_t kBsfFree = 0x88A6;
constexpr uint16_t kBsfWren = 0x84A6;
constexpr uint16_t kBsfWr = 0x82A6;
constexpr uint16_t kBsfRd = 0x80A6;
constexpr uint32_t kFullHold = 1001;  // samples of 1 us

uint16_t Word(uint8_t high, uint8_t low) {
  return static_cast<uint16_t>(high << 8 | low);
}
uint8_t Pattern(uint32_t address) {
  return static_cast<uint8_t>(address * 7 + (address >> 8));
}

class Pic18IcspTest : public ::testing::Test {
 protected:
  explicit Pic18IcspTest(const Pic18Geometry& geometry = kPic18F452, uint8_t revision = 0)
      : memory(geometry, revision), target(memory) {}

  Bytes Run() { return stream.RunOn(target); }

  // Loads `count` bytes from `address` by table writes, the last one starting programming.
  void LoadRow(uint32_t address, uint32_t count, bool startProgramming) {
    stream.SetTablePointer(address);
    for (uint32_t k = 0; k < count; k += 2) {
      const uint16_t word = Word(Pattern(address + k + 1), Pattern(address + k));
      const bool last = k + 2 >= count;
      stream.Command(last ? (startProgramming ? 0xF : 0xC) : 0xD, word);
    }
  }
  void FlashWriteMode(bool multiPanel) {
    stream.Core(kBsfEepgd);
    stream.Core(kBsfCfgs);
    stream.SetTablePointer(0x3C0006);
    stream.Command(0xC, multiPanel ? 0x0040 : 0x0000);
    stream.Core(kBsfEepgd);
    stream.Core(kBcfCfgs);
  }

  Pic18Memory memory;
  Pic18IcspTarget target;
  IcspStream stream;
};

TEST_F(Pic18IcspTest, TableReadsShiftOutDeviceIdWithRevision) {
  Pic18Memory revised(kPic18F452, 0x13);
  Pic18IcspTarget revisedTarget(revised);
  stream.SetTablePointer(0x3FFFFE);
  stream.TableRead();
  stream.TableRead();
  EXPECT_EQ(stream.RunOn(revisedTarget), (Bytes{0x33, 0x04}));
  EXPECT_EQ(revisedTarget.tablePointer(), 0u);  // 22-bit pointer wraps
}

TEST_F(Pic18IcspTest, MultiPanelLoadProgramsEveryPanelInOneHold) {
  FlashWriteMode(true);
  const uint32_t offset = 0x128;
  for (uint32_t panel = 0; panel < 4; ++panel) LoadRow(panel * 8192 + offset, 8, panel == 3);
  stream.ProgramHold(kFullHold);
  Run();
  for (uint32_t panel = 0; panel < 4; ++panel) {
    for (uint32_t k = 0; k < 8; ++k) {
      const uint32_t address = panel * 8192 + offset + k;
      EXPECT_EQ(memory.program()[address], Pattern(address)) << std::hex << address;
    }
  }
  EXPECT_EQ(memory.program()[offset + 8], 0xFF);
  EXPECT_EQ(target.counters().programCycles, 1u);
  EXPECT_EQ(target.counters().unknownCommands, 0u);
}

TEST_F(Pic18IcspTest, ShortHoldLosesTheWrite) {
  FlashWriteMode(false);
  LoadRow(0x40, 8, true);
  stream.ProgramHold(500);
  Run();
  EXPECT_EQ(memory.program()[0x40], 0xFF);
  EXPECT_EQ(target.counters().lostWrites, 1u);
  // The next write is not disturbed by the lost one.
  LoadRow(0x48, 8, true);
  stream.ProgramHold(kFullHold);
  Run();
  EXPECT_EQ(memory.program()[0x48], Pattern(0x48));
  EXPECT_EQ(memory.program()[0x40], 0xFF);
}

class Pic18IcspBufferTest : public Pic18IcspTest {
 protected:
  Pic18IcspBufferTest() : Pic18IcspTest(kPic18F4550) {}
};

// A load programs the bytes it latched and leaves the rest of the buffer's row erased.
TEST_F(Pic18IcspBufferTest, ALoadProgramsOnlyTheBytesItLatched) {
  FlashWriteMode(true);
  LoadRow(0x400, 32, true);
  stream.ProgramHold(kFullHold);
  LoadRow(0x420, 8, true);
  stream.ProgramHold(kFullHold);
  Run();
  for (uint32_t k = 0; k < 40; ++k) {
    EXPECT_EQ(memory.program()[0x400 + k], Pattern(0x400 + k)) << k;
  }
  EXPECT_EQ(memory.program()[0x428], 0xFF);
  EXPECT_EQ(target.counters().programCycles, 2u);
}

TEST_F(Pic18IcspTest, RowEraseWithFreeThenWriteInTheSameRow) {
  memory.ProgramFlash(0x200000, 0x00);
  memory.ProgramFlash(0x200007, 0x00);
  stream.Core(kBsfEepgd);
  stream.Core(kBcfCfgs);
  stream.Core(kBsfFree);
  stream.SetTablePointer(0x200000);
  stream.Command(0xF, 0xFFFF);
  stream.ProgramHold(kFullHold);
  LoadRow(0x200000, 8, true);  // FREE has cleared itself: this is a write
  stream.ProgramHold(kFullHold);
  Run();
  for (uint32_t k = 0; k < 8; ++k) {
    EXPECT_EQ(memory.idLocations()[k], Pattern(0x200000 + k)) << k;
  }
}

TEST_F(Pic18IcspTest, ConfigurationBytesFollowPointerParity) {
  memory.FailConfigurationWriteOnce(1);
  stream.Core(kBsfEepgd);
  stream.Core(kBsfCfgs);
  stream.Core(0xEF00);
  stream.Core(0xF800);
  const uint8_t values[] = {0x00, 0x22, 0x0A};
  for (int attempt = 0; attempt < 2; ++attempt) {
    stream.SetTablePointer(0x300000);
    for (uint32_t i = 0; i < 3; ++i) {
      const uint16_t data = (i & 1) ? Word(values[i], 0xFF) : Word(0xFF, values[i]);
      stream.Command(0xF, data);
      stream.ProgramHold(kFullHold);
      stream.Core(0x2AF6);  // INCF TBLPTRL
    }
    Run();
    EXPECT_EQ(memory.configuration()[1], attempt == 0 ? 0x27 : 0x22);
  }
  EXPECT_EQ(memory.configuration()[2], 0x0A);
  EXPECT_EQ(target.tablePointer(), 0x300003u);
}

TEST_F(Pic18IcspTest, EepromWriteNeedsUnlockAndReadsBackThroughTablat) {
  auto writeEeprom = [&](uint16_t address, uint8_t value, bool unlock) {
    stream.Core(kBcfEepgd);
    stream.Core(kBcfCfgs);
    stream.Core(0x0E00 | (address & 0xFF));
    stream.Core(0x6EA9);
    stream.Core(0x0E00 | (address >> 8));
    stream.Core(0x6EAA);
    stream.Core(0x0E00 | value);
    stream.Core(0x6EA8);
    stream.Core(kBsfWren);
    if (unlock) {
      stream.Core(0x0E55);
      stream.Core(0x6EA7);
      stream.Core(0x0EAA);
      stream.Core(0x6EA7);
    }
    stream.Core(kBsfWr);
  };
  writeEeprom(0x12, 0x5A, true);
  writeEeprom(0x13, 0x00, false);
  Run();
  EXPECT_EQ(memory.eeprom()[0x12], 0x5A);
  EXPECT_EQ(memory.eeprom()[0x13], 0xFF);
  EXPECT_EQ(target.counters().lostWrites, 1u);

  for (uint8_t address : {0x12, 0x13}) {
    stream.Core(0x0E00 | address);
    stream.Core(0x6EA9);
    stream.Core(0x0E00);
    stream.Core(0x6EAA);
    stream.Core(kBsfRd);
    stream.Core(0x50A8);  // MOVF EEDATA, W
    stream.Core(0x6EF5);  // MOVWF TABLAT
    stream.Command(0x2, 0xFFFF);
  }
  EXPECT_EQ(Run(), (Bytes{0x5A, 0xFF}));
}

TEST_F(Pic18IcspTest, MovffCopiesRamIntoTablat) {
  memory.ram()[0x5FF] = 0xC3;
  memory.ram()[0x000] = 0x3C;
  for (uint16_t address : {0x5FF, 0x000}) {
    stream.Core(0xC000 + address);
    stream.Core(0xFFF5);
    stream.Command(0x2, 0xFFFF);
  }
  EXPECT_EQ(Run(), (Bytes{0xC3, 0x3C}));
}

TEST(Pic18IcspErase, BulkEraseOptionsEraseTheirArea) {
  struct Case {
    uint8_t code;
    bool panel0, panel5, eeprom, id;
  };
  const Case cases[] = {
      {.code = 0x80, .panel0 = true, .panel5 = true, .eeprom = true, .id = true},
      {.code = 0x81, .panel0 = false, .panel5 = false, .eeprom = true, .id = false},
      {.code = 0x83, .panel0 = true, .panel5 = false, .eeprom = false, .id = false},
      {.code = 0x8D, .panel0 = false, .panel5 = true, .eeprom = false, .id = false},
  };
  const uint32_t panel = kPic18F8720.PanelSize();
  for (const Case& c : cases) {
    Pic18Memory memory(kPic18F8720);
    Pic18IcspTarget target(memory);
    memory.ProgramFlash(0x10, 0x00);
    memory.ProgramFlash(5 * panel + 0x10, 0x00);
    memory.WriteEeprom(3, 0x00);
    memory.ProgramFlash(0x200000, 0x00);
    IcspStream stream;
    stream.BulkEraseOption(c.code);
    stream.RunOn(target);
    SCOPED_TRACE(c.code);
    EXPECT_EQ(memory.program()[0x10] == 0xFF, c.panel0);
    EXPECT_EQ(memory.program()[5 * panel + 0x10] == 0xFF, c.panel5);
    EXPECT_EQ(memory.eeprom()[3] == 0xFF, c.eeprom);
    EXPECT_EQ(memory.idLocations()[0] == 0xFF, c.id);
  }
}

TEST_F(Pic18IcspTest, DroppingVppResetsTheSerialInterface) {
  stream.Command(0x0, 0x0E12);
  std::vector<uint8_t> samples(stream.samples().begin(), stream.samples().begin() + 15);
  samples.push_back(0x00);  // MCLR low in the middle of a command
  std::vector<uint8_t> captured(samples.size());
  target.Run(samples, captured);
  IcspStream fresh;
  fresh.SetTablePointer(0x3FFFFE);
  fresh.TableRead();
  EXPECT_EQ(fresh.RunOn(target), Bytes{0x20});
}

TEST(Pic18IcspAbsent, ReadsTheFloatingLevel) {
  for (const auto& [absent, level] :
       {std::pair{AbsentTarget::kReadsLow, 0x00}, std::pair{AbsentTarget::kReadsHigh, 0xFF}}) {
    Pic18Memory memory(kPic18F452);
    memory.SetAbsent(absent);
    Pic18IcspTarget target(memory);
    IcspStream stream;
    stream.SetTablePointer(0x3FFFFE);
    stream.TableRead();
    stream.TableRead();
    EXPECT_EQ(stream.RunOn(target), Bytes(2, static_cast<uint8_t>(level)));
  }
}

}  // namespace
}  // namespace velmora::sim
