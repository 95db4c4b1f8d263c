#include "sim/pic18/pic18_memory.h"

#include <gtest/gtest.h>

#include "memory/catalogue.h"
#include "pic18_test_support.h"

namespace velmora::sim {
namespace {

using testing::kPic18F452;
using testing::kPic18F8720;

TEST(Pic18Memory, ModelsEveryCatalogueRow) {
  for (int row = 1; row <= kPic18DeviceRows; ++row) {
    const Pic18Device& device = kPic18Devices[row];
    SCOPED_TRACE(device.name);
    const Pic18Memory memory(Pic18GeometryOfRow(row), 0x05);
    const uint16_t id = memory.ReadTable(0x3FFFFF) << 8 | memory.ReadTable(0x3FFFFE);
    EXPECT_EQ(id, device.deviceId | 0x05);
    EXPECT_EQ(memory.program().size(), size_t(device.programSize));
    EXPECT_EQ(memory.eeprom().size(), size_t(device.eepromSize));
    EXPECT_EQ(memory.ram().size(), size_t(device.ramSize));
    EXPECT_EQ(memory.geometry().PanelSize() * device.panels, uint32_t(device.programSize));
    EXPECT_EQ(memory.geometry().writeBuffer, uint32_t(device.writeBuffer));
    for (int i = 0; i < 14; ++i) EXPECT_EQ(memory.configuration()[i], device.configMasks[i]);
  }
  EXPECT_FALSE(Pic18GeometryByName("ATmega8"));
}

TEST(Pic18Memory, FlashWritesOnlyClearBitsUntilErased) {
  Pic18Memory memory(kPic18F452);
  memory.ProgramFlash(0x100, 0xF0);
  memory.ProgramFlash(0x100, 0x3C);
  EXPECT_EQ(memory.ReadTable(0x100), 0x30);
  memory.ProgramFlash(0x200001, 0x5A);
  memory.ProgramFlash(0x200001, 0xF0);
  EXPECT_EQ(memory.ReadTable(0x200001), 0x50);

  memory.ProgramFlash(0x13F, 0x00);
  memory.ProgramFlash(0x140, 0x00);
  memory.EraseRow(0x123);  // the 64-byte block 0x100..0x13F
  EXPECT_EQ(memory.ReadTable(0x100), 0xFF);
  EXPECT_EQ(memory.ReadTable(0x13F), 0xFF);
  EXPECT_EQ(memory.ReadTable(0x140), 0x00);
  EXPECT_EQ(memory.ReadTable(0x200001), 0x50);
  memory.EraseRow(0x200000);
  EXPECT_EQ(memory.ReadTable(0x200001), 0xFF);
}

TEST(Pic18Memory, ConfigurationAndEepromAreRewrittenBytewise) {
  Pic18Memory memory(kPic18F452);
  ASSERT_TRUE(memory.WriteConfiguration(1, 0x00));
  ASSERT_TRUE(memory.WriteConfiguration(1, 0xFF));
  EXPECT_EQ(memory.ReadTable(0x300001), 0x27);  // only implemented bits are stored
  memory.WriteEeprom(7, 0x00);
  memory.WriteEeprom(7, 0xA5);
  EXPECT_EQ(memory.ReadEeprom(7), 0xA5);
  EXPECT_EQ(memory.ReadEeprom(256), 0x00);  // past the device's EEPROM
}

TEST(Pic18Memory, DeviceIdCarriesTheRevision) {
  Pic18Memory memory(kPic18F452, 0x1F);
  EXPECT_EQ(memory.ReadTable(0x3FFFFE), 0x3F);
  EXPECT_EQ(memory.ReadTable(0x3FFFFF), 0x04);
  EXPECT_EQ(memory.ReadTable(0x3FFFFD), 0x00);
}

TEST(Pic18Memory, ErasesCoverTheirAreaOnly) {
  Pic18Memory memory(kPic18F8720);
  const uint32_t panel = kPic18F8720.PanelSize();
  for (uint32_t p = 0; p < 8; ++p) memory.ProgramFlash(p * panel + 5, 0x00);
  memory.ProgramFlash(0x200000, 0x00);
  memory.WriteEeprom(0, 0x12);
  memory.WriteConfiguration(8, 0x00);

  memory.ErasePanel(3);
  for (uint32_t p = 0; p < 8; ++p) {
    EXPECT_EQ(memory.ReadTable(p * panel + 5), p == 3 ? 0xFF : 0x00) << "panel " << p;
  }
  memory.EraseEeprom();
  EXPECT_EQ(memory.ReadEeprom(0), 0xFF);
  EXPECT_EQ(memory.ReadTable(0x200000), 0x00);

  memory.EraseChip();
  EXPECT_EQ(memory.ReadTable(5), 0xFF);
  EXPECT_EQ(memory.ReadTable(0x200000), 0xFF);
  EXPECT_EQ(memory.ReadTable(0x300008), 0xFF);  // CONFIG5L: all eight bits implemented
}

TEST(Pic18Memory, StuckBitsOverrideWhatWasWritten) {
  struct Case {
    uint32_t imageAddress;
    uint8_t bit;
    bool level;
    uint8_t written;
    uint8_t read;
  };
  const Case cases[] = {
      {.imageAddress = 0x1234, .bit = 3, .level = false, .written = 0xFF, .read = 0xF7},
      {.imageAddress = 0x1234, .bit = 0, .level = true, .written = 0x00, .read = 0x01},
      {.imageAddress = 0xF00010, .bit = 7, .level = true, .written = 0x11, .read = 0x91},
      {.imageAddress = 0x300006, .bit = 2, .level = true, .written = 0x81, .read = 0x85},
  };
  for (const Case& c : cases) {
    Pic18Memory memory(kPic18F452);
    memory.AddStuckBit({.address = c.imageAddress, .bit = c.bit, .level = c.level});
    uint8_t read = 0;
    if (c.imageAddress >= 0xF00000) {
      memory.WriteEeprom(c.imageAddress - 0xF00000, c.written);
      read = memory.ReadEeprom(c.imageAddress - 0xF00000);
    } else if (c.imageAddress >= 0x300000) {
      memory.WriteConfiguration(c.imageAddress - 0x300000, c.written);
      read = memory.ReadTable(c.imageAddress);
    } else {
      memory.ProgramFlash(c.imageAddress, c.written);
      read = memory.ReadTable(c.imageAddress);
    }
    EXPECT_EQ(read, c.read) << std::hex << c.imageAddress;
  }
}

TEST(Pic18Memory, ConfigurationWriteFailsOnceThenWorks) {
  Pic18Memory memory(kPic18F452);
  memory.FailConfigurationWriteOnce(6);
  EXPECT_FALSE(memory.WriteConfiguration(6, 0x81));
  EXPECT_EQ(memory.ReadTable(0x300006), 0x85);
  EXPECT_TRUE(memory.WriteConfiguration(6, 0x81));
  EXPECT_EQ(memory.ReadTable(0x300006), 0x81);
}

TEST(Pic18Memory, AbsentTargetReadsOneLevelAndKeepsNothing) {
  for (const auto& [absent, level] :
       {std::pair{AbsentTarget::kReadsLow, 0x00}, std::pair{AbsentTarget::kReadsHigh, 0xFF}}) {
    Pic18Memory memory(kPic18F452);
    memory.SetAbsent(absent);
    memory.ProgramFlash(0, 0x12);
    EXPECT_EQ(memory.ReadTable(0x3FFFFE), level);
    EXPECT_EQ(memory.ReadTable(0x3FFFFF), level);
    EXPECT_EQ(memory.ReadEeprom(0), level);
    EXPECT_EQ(memory.ReadRam(0), level);
    EXPECT_EQ(memory.program()[0], 0xFF);
  }
}

}  // namespace
}  // namespace velmora::sim
