// The simulated PIC10F20x against the maker's programming rules, and the full programmer's PIC10
// commands on it.
#include "sim/pic10/pic10_chip.h"

#include <gtest/gtest.h>

#include <vector>

#include "sim/pic10/pic10_firmware.h"

namespace velmora::sim {
namespace {

Pic10Chip Chip200(Pic10Factory factory = {}) {
  return Pic10Chip(*Pic10PartByName("PIC10F200"), factory);
}

TEST(Pic10Chip, PartsSplitTheirSizesAsTheMakerSays) {
  EXPECT_EQ(Pic10PartByName("PIC10F200")->userWords, 256);
  EXPECT_EQ(Pic10PartByName("PIC10F204")->userWords, 256);
  EXPECT_EQ(Pic10PartByName("PIC10F202")->userWords, 512);
  EXPECT_EQ(Pic10PartByName("PIC10F206")->userWords, 512);
  EXPECT_FALSE(Pic10PartByName("PIC10F220").has_value());
}

TEST(Pic10Chip, FactoryCalibrationBackupAndCounterWalk) {
  Pic10Chip chip = Chip200({.calibration = 0x24});
  EXPECT_EQ(chip.WordAt(0x0FF), 0x0C24);
  EXPECT_EQ(chip.WordAt(0x104), 0x0C24);
  EXPECT_EQ(chip.WordAt(0x1FF), 0x0FFF);
  chip.EnterProgramMode();
  EXPECT_EQ(chip.Counter(), 0x1FF);
  chip.IncrementAddress();
  EXPECT_EQ(chip.Counter(), 0x000);
  for (int i = 0; i < 0x100; ++i) chip.IncrementAddress();
  EXPECT_EQ(chip.Counter(), 0x100);  // past user memory into the ID words, not back to 0
}

// Programming only clears bits; unimplemented configuration bits read 1.
TEST(Pic10Chip, ProgrammingClearsBitsOnly) {
  Pic10Chip chip = Chip200();
  chip.EnterProgramMode();
  chip.LoadProgramData(0x0FEB);
  chip.BeginProgramming();
  EXPECT_EQ(chip.ReadProgramData(), 0x0FEB);
  chip.LoadProgramData(0x0FFF);
  chip.BeginProgramming();
  EXPECT_EQ(chip.ReadProgramData(), 0x0FEB);
}

TEST(Pic10Chip, BulkEraseKeepsIdWordsAndBackupUnlessTheCounterIsAmongThem) {
  Pic10Chip chip = Chip200({.calibration = 0x24});
  chip.StoreWord(0x000, 0x025);
  chip.StoreWord(0x100, 0x001);
  chip.StoreWord(0x1FF, 0x00B);
  chip.EnterProgramMode();
  chip.IncrementAddress();
  chip.BulkEraseProgram();
  EXPECT_EQ(chip.WordAt(0x000), 0x0FFF);
  EXPECT_EQ(chip.WordAt(0x0FF), 0x0FFF);  // the calibration word goes with program memory
  EXPECT_EQ(chip.WordAt(0x1FF), 0x0FFF);
  EXPECT_EQ(chip.WordAt(0x100), 0x001);
  EXPECT_EQ(chip.WordAt(0x104), 0x0C24);
  for (int i = 0; i < 0x100; ++i) chip.IncrementAddress();
  chip.BulkEraseProgram();
  EXPECT_EQ(chip.WordAt(0x100), 0x0FFF);
  EXPECT_EQ(chip.WordAt(0x104), 0x0FFF);
}

TEST(Pic10Firmware, ReadStartsOnTheConfigurationWord) {
  Pic10Chip chip = Chip200({.calibration = 0x24});
  Pic10Firmware firmware(chip);
  const std::vector<uint8_t> reply = firmware.Execute(std::vector<uint8_t>{0x41, 0x00, 0x04, 0x80});
  ASSERT_EQ(reply.size(), 2192u);
  EXPECT_EQ(reply[1], 0x0F);                  // configuration word
  EXPECT_EQ(reply[2 + 2 * 0xFF], 0x24);       // calibration word
  EXPECT_EQ(reply[2 + 2 * 0x104 + 1], 0x0C);  // its backup
}

// The whole-device erase takes the backup word too; the firmware puts it back.
TEST(Pic10Firmware, WholeDeviceEraseKeepsTheBackupWord) {
  Pic10Chip chip = Chip200({.calibration = 0x24});
  chip.StoreWord(0x101, 0x002);
  Pic10Firmware firmware(chip);
  firmware.Execute(std::vector<uint8_t>{0x49, 0x01, 0x01});  // 257 = N + 1
  EXPECT_EQ(chip.WordAt(0x101), 0x0FFF);
  EXPECT_EQ(chip.WordAt(0x104), 0x0C24);
  EXPECT_EQ(chip.WordAt(0x0FF), 0x0FFF);
  EXPECT_EQ(firmware.Execute(std::vector<uint8_t>{0x44, 0x02, 0x00, 0xEB, 0x0F, 0x25, 0x00}),
            (std::vector<uint8_t>{0xEB, 0x0F, 0x25, 0x00}));
  EXPECT_EQ(chip.WordAt(0x000), 0x025);
}

}  // namespace
}  // namespace velmora::sim
