#include "sim/pic18/pic18_firmware.h"

#include <gtest/gtest.h>

#include "pic18_test_support.h"

namespace velmora::sim {
namespace {

using testing::kPic18F452;
using testing::kPic18F4550;
using testing::RunFirmware;
using Bytes = std::vector<uint8_t>;

class Pic18FirmwareTest : public ::testing::Test {
 protected:
  explicit Pic18FirmwareTest(const Pic18Geometry& geometry = kPic18F452, uint8_t revision = 0)
      : memory(geometry, revision), firmware(memory) {}
  Bytes Run(const Bytes& stream) { return RunFirmware(firmware, stream); }

  Pic18Memory memory;
  Pic18Firmware firmware;
};

TEST_F(Pic18FirmwareTest, OperandNeedsFollowTheParameterBlock) {
  struct Case {
    Bytes received;
    size_t missing;
  };
  Run({0x21, 0x06, 0, 0, 0, 0, 0x20, 0x00});  // EEPROM count 32
  const Case cases[] = {
      {.received = {0x1F}, .missing = 3},        {.received = {0x21}, .missing = 1},
      {.received = {0x21, 0x08}, .missing = 8},  {.received = {0x21, 0x03, 0x00}, .missing = 2},
      {.received = {0x22}, .missing = 0},        {.received = {0x25}, .missing = 0},
      {.received = {0x2A}, .missing = 32},       {.received = {0x2B}, .missing = 8},
      {.received = {0x2C, 0x00}, .missing = 13}, {.received = {0x2D}, .missing = 64},
      {.received = {0x80}, .missing = 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(firmware.MissingBytes(c.received), c.missing) << std::hex << int{c.received[0]};
  }
  Run({0x21, 0x0B, 0, 0, 0, 0, 0x00, 0x02, 0, 0, 4, 32, 0x20});  // 512 loads x 4 panels x 8
  EXPECT_EQ(firmware.MissingBytes(Bytes{0x29}), 512u * 32);
}

TEST_F(Pic18FirmwareTest, ReadsDeviceIdAndTakesDeviceParameters) {
  memory.ProgramFlash(0x10, 0x42);
  EXPECT_EQ(Run({0x21, 0x08, 0xFE, 0xFF, 0x3F, 0x00, 0x02, 0x00, 0x00, 0x00, 0x22}),
            (Bytes{0x20, 0x04}));
  EXPECT_EQ(Run({0x21, 0x08, 0x0F, 0, 0, 0, 0x03, 0, 0, 0, 0x22}), (Bytes{0xFF, 0x42, 0xFF}));
  EXPECT_EQ(Run({0x1F, 0x01, 0x40, 0x08}), Bytes{});
  EXPECT_EQ(firmware.deviceParameters()[0], 0x01);
  EXPECT_EQ(firmware.deviceParameters()[2], 0x08);
}

TEST_F(Pic18FirmwareTest, ProgramImageArrivesPanelInterleaved) {
  // 4 panels of 8 KB, 8-byte buffers: load i carries panel 0..3's bytes at i x 8.
  const uint32_t loads = 1024;
  Bytes stream{0x21, 0x0B, 0, 0, 0, 0, loads & 0xFF, loads >> 8, 0, 0, 4, 32, 0x20, 0x29};
  for (uint32_t load = 0; load < loads; ++load) {
    for (uint32_t panel = 0; panel < 4; ++panel) {
      for (uint32_t k = 0; k < 8; ++k) {
        const uint32_t address = panel * 8192 + load * 8 + k;
        stream.push_back(static_cast<uint8_t>(address ^ (address >> 8)));
      }
    }
  }
  EXPECT_EQ(Run(stream), Bytes{Pic18Firmware::kAcknowledge});
  for (uint32_t address = 0; address < 32768; ++address) {
    ASSERT_EQ(memory.program()[address], static_cast<uint8_t>(address ^ (address >> 8))) << address;
  }
}

TEST_F(Pic18FirmwareTest, WritesAndReadsEepromIdConfigurationAndRam) {
  memory.ram()[2] = 0x77;
  Bytes stream{0x21, 0x06, 0, 0, 0, 0, 4, 0, 0x2A, 1, 2, 3, 4};
  stream.insert(stream.end(), {0x2B, 1, 2, 3, 4, 5, 6, 7, 8});
  stream.insert(stream.end(), {0x2C, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x81, 0xFF, 0x0F, 0xC0,
                               0x0F, 0xE0, 0x0F, 0x40});
  EXPECT_EQ(Run(stream), Bytes(3, Pic18Firmware::kAcknowledge));
  EXPECT_EQ(Run({0x21, 0x08, 0, 0, 0, 0, 5, 0, 0, 0, 0x23}), (Bytes{1, 2, 3, 4, 0xFF}));
  EXPECT_EQ(Run({0x21, 0x08, 0x00, 0x00, 0x20, 0x00, 8, 0, 0, 0, 0x22}),
            (Bytes{1, 2, 3, 4, 5, 6, 7, 8}));
  // Configuration keeps only implemented bits: CONFIG1L (mask 0) reads 0.
  const Bytes config = Run({0x21, 0x08, 0x00, 0x00, 0x30, 0x00, 14, 0, 0, 0, 0x22});
  EXPECT_EQ(config, (Bytes{0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x81, 0x00, 0x0F, 0xC0, 0x0F, 0xE0,
                           0x0F, 0x40}));
  EXPECT_EQ(Run({0x80, 0x21, 0x08, 0, 0, 0, 0, 3, 0, 0, 0, 0x24, 0x8C}), (Bytes{0, 0, 0x77}));
}

TEST_F(Pic18FirmwareTest, ErasesLeaveWhatTheyDoNotCover) {
  memory.ProgramFlash(0x40, 0x00);
  memory.ProgramFlash(0x80, 0x00);
  memory.ProgramFlash(0x200003, 0x00);
  memory.WriteEeprom(1, 0x00);

  EXPECT_EQ(Run({0x21, 0x03, 0x40, 0x00, 0x00, 0x27}), Bytes{Pic18Firmware::kAcknowledge});
  EXPECT_EQ(memory.program()[0x40], 0xFF);
  EXPECT_EQ(memory.program()[0x80], 0x00);
  Run({0x21, 0x08, 0x00, 0x00, 0x20, 0x00, 0, 0, 0, 0, 0x27});
  EXPECT_EQ(memory.idLocations()[3], 0xFF);

  memory.ProgramFlash(0x200003, 0x00);
  Run({0x28});
  EXPECT_EQ(memory.program()[0x80], 0xFF);
  EXPECT_EQ(memory.idLocations()[3], 0x00);
  EXPECT_EQ(memory.eeprom()[1], 0x00);
  Run({0x26});
  EXPECT_EQ(memory.eeprom()[1], 0xFF);
  Run({0x25});
  EXPECT_EQ(memory.idLocations()[3], 0xFF);
}

TEST_F(Pic18FirmwareTest, WriteBlockErasesItsRowFirst) {
  memory.ProgramFlash(0x1C0, 0x0F);
  Bytes stream{0x21, 0x04, 0xC0, 0x01, 0x00, 0x00, 0x2D};
  for (uint32_t k = 0; k < 64; ++k) stream.push_back(static_cast<uint8_t>(0xF0 + k % 16));
  EXPECT_EQ(Run(stream), Bytes{Pic18Firmware::kAcknowledge});
  EXPECT_EQ(memory.program()[0x1C0], 0xF0);
  EXPECT_EQ(memory.program()[0x1FF], 0xFF);
}

TEST_F(Pic18FirmwareTest, LostConfigurationWriteSucceedsOnRetry) {
  memory.FailConfigurationWriteOnce(1);
  const Bytes write{0x2C, 0,    0x22, 0x0F, 0x0F, 0,    0x01, 0x85,
                    0,    0x0F, 0xC0, 0x0F, 0xE0, 0x0F, 0x40};
  Run(write);
  EXPECT_EQ(memory.configuration()[1], 0x27);
  Run(write);
  EXPECT_EQ(memory.configuration()[1], 0x22);
}

TEST(Pic18FirmwareAbsent, ReadsTheFloatingLevel) {
  Pic18Memory memory(kPic18F4550);
  memory.SetAbsent(AbsentTarget::kReadsLow);
  Pic18Firmware firmware(memory);
  EXPECT_EQ(RunFirmware(firmware, {0x21, 0x08, 0xFE, 0xFF, 0x3F, 0, 2, 0, 0, 0, 0x22}),
            (Bytes{0x00, 0x00}));
}

}  // namespace
}  // namespace velmora::sim
