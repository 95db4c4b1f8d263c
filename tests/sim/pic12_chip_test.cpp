// The simulated PIC12F629-family chip against the maker's programming rules, and the full
// programmer's PIC12 commands on it.
#include "sim/pic12/pic12_chip.h"

#include <gtest/gtest.h>

#include <vector>

#include "sim/pic12/pic12_firmware.h"

namespace velmora::sim {
namespace {

Pic12Chip FactoryChip(Pic12Factory factory = {}) {
  return Pic12Chip(*Pic12PartByName("PIC12F675"), factory);
}

TEST(Pic12Chip, FactoryStateHoldsCalibrationBandGapAndRevision) {
  Pic12Chip chip = FactoryChip({.calibration = 0x5C, .bandGap = 2, .revision = 3});
  EXPECT_EQ(chip.WordAt(0x3FF), 0x345C);
  EXPECT_EQ(chip.WordAt(0x2007), 0x21FF);
  EXPECT_EQ(chip.WordAt(0x2006), 0x0FC3);
  EXPECT_EQ(chip.WordAt(0x0000), 0x3FFF);
  EXPECT_EQ(FactoryChip({.calibrationMissing = true}).WordAt(0x3FF), 0x3FFF);
  EXPECT_FALSE(Pic12PartByName("PIC12F683").has_value());
}

// Bits 11..9 are not implemented and read 0; the band-gap bits take what is written.
TEST(Pic12Chip, ConfigurationWordKeepsImplementedBitsOnly) {
  Pic12Chip chip = FactoryChip();
  chip.LoadConfiguration(0x3FFF);
  for (int i = 0; i < 7; ++i) chip.IncrementAddress();
  ASSERT_EQ(chip.Counter(), 0x2007);
  chip.LoadProgramData(0x3FC4);
  chip.BeginProgramming();
  EXPECT_EQ(chip.ReadProgramData(), 0x31C4);
  chip.IncrementAddress();
  EXPECT_EQ(chip.Counter(), 0x2008);
}

TEST(Pic12Chip, CounterWrapsWithinItsHalf) {
  Pic12Chip chip = FactoryChip();
  for (int i = 0; i < 0x2000; ++i) chip.IncrementAddress();
  EXPECT_EQ(chip.Counter(), 0x0000);
  chip.LoadConfiguration(0x3FFF);
  for (int i = 0; i < 0x2000; ++i) chip.IncrementAddress();
  EXPECT_EQ(chip.Counter(), 0x2000);
}

// A bulk erase in user memory takes program memory with the calibration word; one in
// configuration memory also takes ID words and configuration word with the band-gap bits.
TEST(Pic12Chip, BulkEraseDependsOnTheCounter) {
  Pic12Chip chip = FactoryChip({.calibration = 0x40, .bandGap = 1});
  chip.StoreWord(0x0000, 0x2805);
  chip.StoreWord(0x2000, 0x0001);
  chip.EnterProgramMode();
  chip.BulkEraseProgram();
  EXPECT_EQ(chip.WordAt(0x0000), 0x3FFF);
  EXPECT_EQ(chip.WordAt(0x3FF), 0x3FFF);
  EXPECT_EQ(chip.WordAt(0x2000), 0x0001);
  EXPECT_EQ(chip.WordAt(0x2007), 0x11FF);
  chip.LoadConfiguration(0x3FFF);
  chip.BulkEraseProgram();
  EXPECT_EQ(chip.WordAt(0x2000), 0x3FFF);
  EXPECT_EQ(chip.WordAt(0x2007), 0x31FF);
  EXPECT_EQ(chip.WordAt(0x2006) & 0x3FE0, 0x0FC0);
}

TEST(Pic12Firmware, ReadAllRepliesProgramEepromAndConfigurationMemory) {
  Pic12Chip chip = FactoryChip({.calibration = 0x5C, .bandGap = 2, .revision = 3});
  chip.eeprom()[1] = 0xA5;
  Pic12Firmware firmware(chip);
  const std::vector<uint8_t> command = {0x41, 0x00, 0x04, 0x80};
  EXPECT_EQ(Pic12Firmware::MissingBytes(std::span(command).first(2)), 2u);
  EXPECT_EQ(Pic12Firmware::MissingBytes(command), 0u);
  const std::vector<uint8_t> reply = firmware.Execute(command);
  ASSERT_EQ(reply.size(), 2192u);
  EXPECT_EQ(reply[2046], 0x5C);
  EXPECT_EQ(reply[2047], 0x34);
  EXPECT_EQ(reply[2049], 0xA5);
  EXPECT_EQ(reply[2176 + 12], 0xC3);  // device ID word 0x2006
  EXPECT_EQ(reply[2176 + 13], 0x0F);
  EXPECT_EQ(reply[2176 + 15], 0x21);  // configuration word high byte: band gap 2
}

// The erase command of our firmware: everything erased but the calibration word and the
// band-gap bits, which it reads first and writes back.
TEST(Pic12Firmware, EraseKeepsCalibrationWordAndBandGapBits) {
  Pic12Chip chip = FactoryChip({.calibration = 0x47, .bandGap = 3});
  chip.StoreWord(0x0010, 0x0123);
  chip.StoreWord(0x2001, 0x0055);
  chip.StoreWord(0x2007, 0x3E44);  // code protected
  Pic12Firmware firmware(chip);
  EXPECT_EQ(firmware.Execute(std::vector<uint8_t>{0x45}), std::vector<uint8_t>{1});
  EXPECT_EQ(chip.WordAt(0x0010), 0x3FFF);
  EXPECT_EQ(chip.WordAt(0x2001), 0x3FFF);
  EXPECT_EQ(chip.WordAt(0x3FF), 0x3447);
  EXPECT_EQ(chip.WordAt(0x2007), 0x31FF);
}

TEST(Pic12Firmware, EraseReportsACalibrationWordThatCannotBeWrittenBack) {
  Pic12Chip chip = FactoryChip({.calibration = 0x47});
  Pic12Firmware firmware(chip);
  chip.AddStuckBit({.word = 0x3FF, .bit = 0, .level = false});
  EXPECT_EQ(firmware.Execute(std::vector<uint8_t>{0x45}), std::vector<uint8_t>{0});
}

TEST(Pic12Firmware, WritesProgramConfigurationAreaAndEepromWithReadBack) {
  Pic12Chip chip = FactoryChip({.bandGap = 2});
  Pic12Firmware firmware(chip);
  EXPECT_EQ(firmware.Execute(std::vector<uint8_t>{0x44, 0x02, 0x00, 0x05, 0x28, 0xFF, 0xFF}),
            (std::vector<uint8_t>{0x05, 0x28, 0xFF, 0x3F}));
  std::vector<uint8_t> area = {0x46, 0x44, 0x08, 0x00};
  for (int w = 0; w < 8; ++w) {
    area.push_back(static_cast<uint8_t>(w));
    area.push_back(0x00);
  }
  area[4 + 14] = 0xC4;  // configuration word 0x2FC4
  area[4 + 15] = 0x2F;
  const std::vector<uint8_t> areaReply = firmware.Execute(area);
  ASSERT_EQ(areaReply.size(), 16u);
  EXPECT_EQ(chip.WordAt(0x2003), 0x0003);
  EXPECT_EQ(chip.WordAt(0x2004), 0x3FFF);  // reserved, read-only
  EXPECT_EQ(chip.WordAt(0x2006) & 0x3FE0, 0x0FC0);
  EXPECT_EQ(chip.WordAt(0x2007), 0x21C4);
  EXPECT_EQ(areaReply[15], 0x21);
  EXPECT_EQ(firmware.Execute(std::vector<uint8_t>{0x47, 0x01, 0x12, 0x34}),
            (std::vector<uint8_t>{0x12, 0x34}));
  firmware.Execute(std::vector<uint8_t>{0x43});
  EXPECT_EQ(chip.eeprom()[0], 0xFF);
  firmware.Execute(std::vector<uint8_t>{0x42, 0x11});
  EXPECT_EQ(chip.WordAt(0x2007), 0x11FF);
}

}  // namespace
}  // namespace velmora::sim
