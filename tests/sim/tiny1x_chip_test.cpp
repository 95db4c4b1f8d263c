// The simulated ATtiny11/12 against the makers' high-voltage serial rules, driven through the
// full programmer's ATtiny11/12 commands.
#include "sim/tiny1x/tiny1x_chip.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "sim/tiny1x/tiny1x_firmware.h"

namespace velmora::sim {
namespace {

class Tiny1xBench {
 public:
  explicit Tiny1xBench(const char* name) : chip(*Tiny1xPartByName(name)), firmware(chip) {
    firmware.SetSupply(true, now);
  }
  std::vector<uint8_t> Run(std::vector<uint8_t> command) {
    double took = 0;
    std::vector<uint8_t> reply = firmware.Execute(command, now, took);
    now += took + 10;  // the bytes' own time on the link
    return reply;
  }
  uint8_t Enter() { return Run({0x3C})[0]; }
  uint8_t Instruction(uint8_t sdi, uint8_t sii) { return Run({0x3E, sdi, sii})[0]; }
  // Instruction pairs as the programming tables give them; the SDO byte of each.
  std::vector<uint8_t> Stream(std::initializer_list<std::pair<uint8_t, uint8_t>> pairs) {
    std::vector<uint8_t> out;
    for (auto [sdi, sii] : pairs) out.push_back(Instruction(sdi, sii));
    return out;
  }
  uint8_t WaitReady() { return Run({0x3F})[0]; }
  uint8_t ReadFuse() { return Stream({{0x04, 0x4C}, {0x00, 0x68}, {0x00, 0x6C}})[2]; }
  uint8_t ReadLock() { return Stream({{0x04, 0x4C}, {0x00, 0x78}, {0x00, 0x7C}})[2]; }
  uint8_t ReadCalibration() {
    return Stream({{0x08, 0x4C}, {0x00, 0x0C}, {0x00, 0x78}, {0x00, 0x7C}})[3];
  }
  uint16_t ReadWord(uint16_t word) {
    const auto out = Stream({{0x02, 0x4C},
                             {uint8_t(word >> 8), 0x1C},
                             {uint8_t(word), 0x0C},
                             {0x00, 0x68},
                             {0x00, 0x6C},
                             {0x00, 0x78},
                             {0x00, 0x7C}});
    return static_cast<uint16_t>(out[4] | out[6] << 8);
  }
  void WriteWord(uint16_t word, uint16_t value) {
    Stream({{0x10, 0x4C},
            {uint8_t(word >> 8), 0x1C},
            {uint8_t(word), 0x0C},
            {uint8_t(value), 0x2C},
            {0x00, 0x64},
            {0x00, 0x6C}});
    WaitReady();
    Stream({{uint8_t(value >> 8), 0x3C}, {0x00, 0x74}, {0x00, 0x7C}});
    WaitReady();
  }
  void WriteEeprom(uint8_t address, uint8_t value) {
    Stream({{0x11, 0x4C}, {address, 0x0C}, {value, 0x2C}, {0x00, 0x64}, {0x00, 0x6C}});
    WaitReady();
  }
  uint8_t ReadEeprom(uint8_t address) {
    return Stream({{0x03, 0x4C}, {address, 0x0C}, {0x00, 0x68}, {0x00, 0x6C}})[3];
  }
  void ChipErase() {
    Stream({{0x80, 0x4C}, {0x00, 0x64}, {0x00, 0x6C}, {0x00, 0x4C}});
    WaitReady();
  }
  void WriteFuse(uint8_t fuse) { Stream({{0x40, 0x4C}, {fuse, 0x2C}, {0x00, 0x64}, {0x00, 0x6C}}); }
  void WriteLock(uint8_t lock) {
    Stream({{0x20, 0x4C}, {lock, 0x2C}, {0x00, 0x64}, {0x00, 0x6C}});
    WaitReady();
  }

  double now = 0;
  Tiny1xChip chip;
  Tiny1xFirmware firmware;
};

TEST(Tiny1xChip, EntersOnlyWithTheEntrySequenceAndAnswersItsSignature) {
  Tiny1xBench tiny("ATtiny12");
  EXPECT_EQ(tiny.Instruction(0x08, 0x4C), 0x00);  // not in programming mode: SDO pulled low
  EXPECT_FALSE(tiny.chip.InProgrammingMode());
  EXPECT_EQ(tiny.Enter(), 'S');
  EXPECT_TRUE(tiny.chip.InProgrammingMode());
  EXPECT_EQ(tiny.Run({0x3D}), (std::vector<uint8_t>{0x1E, 0x90, 0x05}));
  tiny.firmware.ReleasePins(tiny.now);  // the cycle's end takes the 12 V away
  EXPECT_FALSE(tiny.chip.InProgrammingMode());

  Tiny1xBench absent("ATtiny11");
  absent.chip.absent = true;
  EXPECT_EQ(absent.Enter(), '?');
  EXPECT_EQ(absent.Run({0x3D}), (std::vector<uint8_t>{0x00, 0x00, 0x00}));
  EXPECT_EQ(absent.WaitReady(), 0);  // gives up after its limit
}

// The read-out byte leads the input by one clock: the fuse shows in the frame after OE fell.
TEST(Tiny1xChip, ReadsFuseLockAndCalibrationOnTheirBits) {
  Tiny1xBench tiny12("ATtiny12");
  tiny12.chip.calibration() = 0x6B;
  tiny12.Enter();
  EXPECT_EQ(tiny12.ReadFuse(), 0x52);  // FUSE_DEFAULT of iotn12.h
  EXPECT_EQ(tiny12.ReadLock(), 0xFF);
  EXPECT_EQ(tiny12.ReadCalibration(), 0x6B);

  Tiny1xBench tiny11("ATtiny11");
  tiny11.Enter();
  EXPECT_EQ(tiny11.ReadFuse(), 0xFC);  // bits 7..5 are not there and read 1
  EXPECT_EQ(tiny11.ReadCalibration(), 0xFF);

  Tiny1xBench lost("ATtiny12");
  lost.chip.calibrationLost = true;
  lost.Enter();
  EXPECT_EQ(lost.ReadCalibration(), 0xFF);
}

TEST(Tiny1xChip, WritesFlashAndEepromThatChipEraseClearsButNotFuseOrCalibration) {
  Tiny1xBench tiny("ATtiny12");
  tiny.chip.fuse() = 0x5A;
  tiny.Enter();
  tiny.WriteWord(0x1FF, 0xC0DE);
  tiny.WriteWord(0x000, 0x1234);
  tiny.WriteEeprom(0x3F, 0xA5);
  EXPECT_EQ(tiny.ReadWord(0x1FF), 0xC0DE);
  EXPECT_EQ(tiny.ReadWord(0x000), 0x1234);
  EXPECT_EQ(tiny.chip.flash()[0x3FE], 0xDE);
  EXPECT_EQ(tiny.ReadEeprom(0x3F), 0xA5);
  // Without an erase a write only clears bits.
  tiny.WriteWord(0x000, 0xFF00);
  EXPECT_EQ(tiny.ReadWord(0x000), 0x1200);
  tiny.WriteLock(0xF9);
  EXPECT_EQ(tiny.ReadLock(), 0xF9);
  tiny.ChipErase();
  EXPECT_EQ(tiny.ReadWord(0x1FF), 0xFFFF);
  EXPECT_EQ(tiny.ReadEeprom(0x3F), 0xFF);
  EXPECT_EQ(tiny.ReadLock(), 0xFF);
  EXPECT_EQ(tiny.ReadFuse(), 0x5A);
  EXPECT_EQ(tiny.ReadCalibration(), 0x6B);
}

// Self-timed writes hold SDO low until done, and the firmware waits for them before the next
// instruction; the ATtiny11 fuse write shows no busy state and lands only after tWLWH_PFB, which
// the firmware waits out.
TEST(Tiny1xChip, FuseWritesTakeTheirTime) {
  Tiny1xBench tiny12("ATtiny12");
  tiny12.Enter();
  tiny12.Stream({{0x40, 0x4C}, {0x72, 0x2C}, {0x00, 0x64}});
  EXPECT_FALSE(tiny12.chip.Sdo(tiny12.now));
  const double before = tiny12.now;
  tiny12.Instruction(0x00, 0x6C);
  EXPECT_GE(tiny12.now - before, 1500);
  EXPECT_EQ(tiny12.ReadFuse(), 0x72);

  Tiny1xBench tiny11("ATtiny11");
  tiny11.Enter();
  tiny11.Stream({{0x40, 0x4C}, {0x1A, 0x2C}, {0x00, 0x64}});
  EXPECT_TRUE(tiny11.chip.Sdo(tiny11.now));
  EXPECT_EQ(tiny11.chip.FuseValue(), 0xFC);  // still the old bits
  const double start = tiny11.now;
  tiny11.Instruction(0x00, 0x6C);
  EXPECT_GE(tiny11.now - start, 3400);
  EXPECT_EQ(tiny11.ReadFuse(), 0xFA);
}

TEST(Tiny1xChip, LockBitOneStopsWritesAndBothStopReads) {
  Tiny1xBench tiny("ATtiny12");
  tiny.Enter();
  tiny.WriteWord(0x10, 0x5555);
  tiny.WriteLock(0xFD);  // LB1
  tiny.WriteWord(0x11, 0x0000);
  tiny.WriteFuse(0x00);
  tiny.WaitReady();
  EXPECT_EQ(tiny.ReadWord(0x11), 0xFFFF);
  EXPECT_EQ(tiny.ReadFuse(), 0x52);
  tiny.WriteLock(0xFF);  // lock bits cannot be unprogrammed
  EXPECT_EQ(tiny.ReadLock(), 0xFD);
  tiny.WriteLock(0xF9);  // LB2 as well
  EXPECT_EQ(tiny.ReadWord(0x10), 0x0000);
}

TEST(Tiny1xChip, StuckBitsKeepTheirLevel) {
  Tiny1xBench tiny("ATtiny12");
  tiny.chip.stuckBits.push_back({.eeprom = false, .address = 0x21, .bit = 3, .level = true});
  tiny.chip.stuckBits.push_back({.eeprom = true, .address = 2, .bit = 0, .level = false});
  tiny.Enter();
  tiny.WriteWord(0x10, 0x0000);
  tiny.WriteEeprom(2, 0xFF);
  EXPECT_EQ(tiny.ReadWord(0x10), 0x0800);
  EXPECT_EQ(tiny.ReadEeprom(2), 0xFE);
}

}  // namespace
}  // namespace velmora::sim
