// The simulated ATmega/ATtiny against the makers' serial programming rules
// (../shared/reference/avr-serial-programming.md), instruction by instruction.
#include "sim/avr/avr_chip.h"

#include <gtest/gtest.h>

#include <string>

#include "sim/avr/avr_firmware.h"

namespace velmora::sim {
namespace {

constexpr double kNormal = AvrFirmware::kNormalHalfMicros;

class AvrChipTest : public ::testing::Test {
 protected:
  // A chip as it leaves the factory (the data sheets' default fuses).
  AvrChip Chip(const std::string& name) {
    AvrChip chip(*AvrPartByName(name));
    if (name == "ATmega8") chip.fuses() = {0xE1, 0xD9, 0xFF};
    if (name == "ATmega48") chip.fuses() = {0x62, 0xDF, 0xFF};
    if (name == "ATtiny13(V)") chip.fuses() = {0x6A, 0xFF, 0xFF};
    if (name == "ATmega2560/V") chip.fuses() = {0x62, 0x99, 0xFF};
    return chip;
  }
  // Powers the chip and enables programming; true on the 0x53 echo.
  bool Enable(AvrChip& chip, double half = kNormal) {
    chip.Reset(now_);
    return chip.Transfer({0xAC, 0x53, 0x00, 0x00}, half, now_)[2] == 0x53;
  }
  uint8_t Do(AvrChip& chip, uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3, double half = kNormal) {
    const uint8_t out = chip.Transfer({b0, b1, b2, b3}, half, now_)[3];
    now_ += 64 * half;
    return out;
  }
  void Wait(double micros) { now_ += micros; }

  double now_ = 0;
};

TEST_F(AvrChipTest, PartsComeFromAvrLibc) {
  const AvrPart m2560 = *AvrPartByName("ATmega2560/V");
  EXPECT_EQ(m2560.flashBytes, 262144u);  // the chip has 256 KB whatever the catalogue uses
  EXPECT_EQ(m2560.pageWords, 128u);
  EXPECT_EQ(m2560.eepromPageBytes, 8u);
  const AvrPart t13 = *AvrPartByName("ATtiny13(V)");
  EXPECT_EQ(t13.fuseBytes, 2);
  EXPECT_EQ(t13.spien.byte, 0);
  EXPECT_EQ(t13.spien.bit, 7);
  EXPECT_EQ(AvrPartByName("ATmega328P")->signature[2], 0x0F);
  EXPECT_FALSE(AvrPartByName("PIC18F4550"));
}

TEST_F(AvrChipTest, ProgrammingEnableEchoesOnlyWhenSckSuitsTheClock) {
  AvrChip chip = Chip("ATmega8");
  chip.fuses() = {0xE1, 0xD9, 0xFF};  // internal RC 1 MHz
  EXPECT_TRUE(Enable(chip));
  EXPECT_DOUBLE_EQ(chip.ClockHz(), 1e6);
  EXPECT_FALSE(Enable(chip, AvrFirmware::kFastHalfMicros));  // 0.31 us < 2 clocks of 1 MHz
  chip.fuses()[0] = 0xE4;                                    // internal RC 8 MHz
  EXPECT_TRUE(Enable(chip, AvrFirmware::kFastHalfMicros));
  chip.fuses()[0] = 0xEF;  // crystal, but the board has none
  EXPECT_FALSE(Enable(chip));
  chip.clockInputs().crystalHz = 16e6;
  EXPECT_TRUE(Enable(chip, AvrFirmware::kFastestHalfMicros));  // 3 x 62.5 ns at 16 MHz
  chip.clockInputs().crystalHz = 8e6;
  EXPECT_FALSE(Enable(chip, AvrFirmware::kFastestHalfMicros));  // 2 x 125 ns at 8 MHz
  EXPECT_TRUE(Enable(chip, AvrFirmware::kFastHalfMicros));
}

TEST_F(AvrChipTest, CkDiv8AndTheWatchCrystal) {
  AvrChip chip = Chip("ATmega48");
  EXPECT_TRUE(Enable(chip));  // factory 0x62: 8 MHz RC / 8
  EXPECT_DOUBLE_EQ(chip.ClockHz(), 1e6);
  chip.fuses()[0] = 0xE5;  // low-frequency crystal
  chip.clockInputs().crystalHz = 32768;
  EXPECT_FALSE(Enable(chip));
  EXPECT_TRUE(Enable(chip, AvrFirmware::kSlowHalfMicros));
}

TEST_F(AvrChipTest, SignatureCalibrationAndUnimplementedFuseBits) {
  AvrChip chip = Chip("ATtiny13(V)");
  ASSERT_TRUE(Enable(chip));
  EXPECT_DOUBLE_EQ(chip.ClockHz(), 1.2e6);  // 9.6 MHz RC / 8
  EXPECT_EQ(Do(chip, 0x30, 0x00, 0x00, 0x00), 0x1E);
  EXPECT_EQ(Do(chip, 0x30, 0x00, 0x01, 0x00), 0x90);
  EXPECT_EQ(Do(chip, 0x30, 0x00, 0x02, 0x00), 0x07);
  EXPECT_EQ(Do(chip, 0x38, 0x00, 0x01, 0x00), chip.calibration()[1]);
  EXPECT_EQ(Do(chip, 0x38, 0x00, 0x02, 0x00), 0xFF);  // two calibration bytes only
  Do(chip, 0xAC, 0xA8, 0x00, 0x00);                   // high fuse: five bits implemented
  Wait(5000);
  EXPECT_EQ(Do(chip, 0x58, 0x08, 0x00, 0x00), 0xE0);
  Do(chip, 0xAC, 0xA0, 0x00, 0xFF);  // SPIEN (low bit 7) stays programmed
  Wait(5000);
  EXPECT_EQ(Do(chip, 0x50, 0x00, 0x00, 0x00), 0x7F);
  EXPECT_EQ(Do(chip, 0x50, 0x08, 0x00, 0x00), 0xFF);  // no extended fuse
}

TEST_F(AvrChipTest, PagesAreBufferedAndOnlyClearBits) {
  AvrChip chip = Chip("ATmega8");
  ASSERT_TRUE(Enable(chip));
  Do(chip, 0x40, 0x00, 0x01, 0x34);
  Do(chip, 0x48, 0x00, 0x01, 0x12);
  EXPECT_EQ(chip.flash()[0x42], 0xFF);                // nothing written before the page write
  Do(chip, 0x4C, 0x00, 0x21, 0x00);                   // any word of the page names the page
  EXPECT_EQ(Do(chip, 0x20, 0x00, 0x21, 0x00), 0xFF);  // data polling while busy
  Wait(4500);
  EXPECT_EQ(Do(chip, 0x20, 0x00, 0x21, 0x00), 0x34);
  EXPECT_EQ(Do(chip, 0x28, 0x00, 0x21, 0x00), 0x12);
  Do(chip, 0x40, 0x00, 0x01, 0xF0);
  Do(chip, 0x4C, 0x00, 0x20, 0x00);
  Wait(4500);
  EXPECT_EQ(chip.flash()[0x42], 0x30);  // 0x34 AND 0xF0: no erase in serial programming
  EXPECT_EQ(chip.flash()[0x43], 0x12);  // the buffer was blank again
}

TEST_F(AvrChipTest, TheExtendedAddressReachesTheUpperHalfOfAn2560) {
  AvrChip chip = Chip("ATmega2560/V");
  ASSERT_TRUE(Enable(chip));
  Do(chip, 0x4D, 0x00, 0x01, 0x00);
  Do(chip, 0x40, 0x00, 0x00, 0xAB);
  Do(chip, 0x4C, 0x00, 0x00, 0x00);
  Wait(5000);
  EXPECT_EQ(chip.flash()[0x20000], 0xAB);
  EXPECT_EQ(chip.flash()[0], 0xFF);
  EXPECT_EQ(Do(chip, 0x20, 0x00, 0x00, 0x00), 0xAB);  // still extended
  EXPECT_EQ(Do(chip, 0xF0, 0x00, 0x00, 0x00) & 1, 0);
}

TEST_F(AvrChipTest, LockBitsStopWritesAndReadsUntilChipErase) {
  AvrChip chip = Chip("ATmega8");
  chip.flash()[0] = 0x12;
  chip.eeprom()[0] = 0x55;
  chip.fuses()[1] = 0xD1;  // EESAVE programmed
  ASSERT_TRUE(Enable(chip));
  Do(chip, 0xAC, 0xE0, 0x00, 0xFE);  // mode 10
  Wait(5000);
  Do(chip, 0xAC, 0xE0, 0x00, 0xFF);  // writing 1 does not unprogram
  Wait(5000);
  EXPECT_EQ(Do(chip, 0x58, 0x00, 0x00, 0x00), 0xFE);
  Do(chip, 0xC0, 0x00, 0x00, 0x66);
  Do(chip, 0xAC, 0xA0, 0x00, 0x00);
  Wait(10000);
  EXPECT_EQ(chip.eeprom()[0], 0x55);
  EXPECT_EQ(Do(chip, 0x50, 0x00, 0x00, 0x00), 0xE1);  // fuses locked
  EXPECT_EQ(Do(chip, 0x20, 0x00, 0x00, 0x00), 0x12);  // still readable in mode 10
  Do(chip, 0xAC, 0xE0, 0x00, 0xFC);                   // mode 00
  Wait(5000);
  EXPECT_EQ(Do(chip, 0x20, 0x00, 0x00, 0x00), 0x00);
  Do(chip, 0xAC, 0x80, 0x00, 0x00);
  Wait(9000);
  EXPECT_EQ(Do(chip, 0x58, 0x00, 0x00, 0x00), 0xFF);
  EXPECT_EQ(Do(chip, 0x20, 0x00, 0x00, 0x00), 0xFF);
  EXPECT_EQ(Do(chip, 0xA0, 0x00, 0x00, 0x00), 0x55);  // kept by EESAVE
}

TEST_F(AvrChipTest, RstdisblAndSpienLockTheProgrammerOut) {
  AvrChip chip = Chip("ATmega48");
  chip.factoryFuses() = {0x62, 0xDF, 0xFF};
  ASSERT_TRUE(Enable(chip));
  Do(chip, 0xAC, 0xA8, 0x00, 0x5F);  // RSTDISBL programmed
  Wait(5000);
  EXPECT_FALSE(Enable(chip));
  chip.RestoreFactoryFusesHighVoltage();
  EXPECT_TRUE(Enable(chip));
  chip.fuses()[1] = 0xFF;  // SPIEN unprogrammed (only parallel programming can do this)
  EXPECT_FALSE(Enable(chip));
}

TEST_F(AvrChipTest, FaultsLoseAFuseWriteAndSlip) {
  AvrChip chip = Chip("ATmega8");
  chip.lostFuseWrites[0] = 1;
  chip.dropSyncAfter = 3;
  ASSERT_TRUE(Enable(chip));
  Do(chip, 0xAC, 0xA0, 0x00, 0xE4);
  Wait(5000);
  EXPECT_EQ(Do(chip, 0x50, 0x00, 0x00, 0x00), 0xE1);
  Do(chip, 0xAC, 0xA0, 0x00, 0xE4);
  Wait(5000);
  EXPECT_EQ(Do(chip, 0x30, 0x00, 0x00, 0x00), 0xFF);  // the fourth instruction slipped
  EXPECT_EQ(chip.fuses()[0], 0xE4);
}

}  // namespace
}  // namespace velmora::sim
