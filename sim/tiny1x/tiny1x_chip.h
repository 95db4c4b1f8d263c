#pragma once
// The simulated ATtiny11/12 at its high-voltage serial programming pins, built from the makers'
// rules (../shared/reference/avr-serial-programming.md, Part B) and avr-libc's iotn11.h and
// iotn12.h, never from the product's code:
//
// - Entry: with VCC on, SDI (PB0) low and SCI (PB3) toggled at least four times, 12 V on RESET
//   (PB5) starts the mode; the first instruction may follow 8 us later. Removing the 12 V or VCC
//   ends it.
// - Frames of 11 SCI clocks: the SDI and SII bits are taken on the rising edges of clocks 1..8,
//   MSB first; the chip shows its output byte on SDO (PB2) from the rising edge of clock 0 on, MSB
//   first, so the output leads the input by one clock. A frame acts when its eleventh clock rises.
// - The SII byte carries the lines of the parallel interface, as the instruction table's rows
//   show them: bits 6..5 XA1:XA0 (10 load command, 00 load address, 01 load data, 11 no load),
//   bit 4 BS1 (high byte), bit 3 WR and bit 2 OE (both active low). The loaded command (0x80
//   chip erase, 0x40 fuse, 0x20 lock bits, 0x10 flash, 0x11 EEPROM, 0x02 read flash, 0x03 read
//   EEPROM, 0x04 read fuse and lock, 0x08 read signature and calibration) acts when WR falls
//   (a write) or OE falls (a read: the byte goes out in the next frame).
// - Self-timed writes drive SDO low until done (RDY/BSY); the ATtiny11 fuse write gives no
//   RDY/BSY and takes tWLWH_PFB.
// - Flash bytes are written without erase (bits only clear); EEPROM bytes with an automatic
//   erase. Chip erase clears flash, EEPROM and the lock bits; fuses, signature and the
//   calibration byte stay.
// - Fuse bits that the part does not have read 1; the lock bits LB1 and LB2 are bits 1 and 2 of
//   the lock byte, the other bits read 1. Lock bits can only be programmed (chip erase clears
//   them); LB1 stops flash, EEPROM and fuse writes, LB2 as well stops reading flash and EEPROM.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::sim {

// What tells the two parts apart (avr-libc iotn11.h, iotn12.h; reference B.4).
struct Tiny1xPart {
  const char* name;
  uint8_t signature[3];
  uint32_t eepromBytes;  // E2END + 1, 0 without EEPROM
  uint8_t fuseMask;      // implemented fuse bits
  uint8_t factoryFuse;   // FUSE_DEFAULT
  bool hasCalibration;   // only the ATtiny12 has a calibration byte
  bool fuseReadyBusy;    // the ATtiny11 fuse write gives no RDY/BSY
};
std::optional<Tiny1xPart> Tiny1xPartByName(std::string_view name);

inline constexpr uint32_t kTiny1xFlashBytes = 1024;  // FLASHEND 0x3FF
inline constexpr uint8_t kTiny1xLockBits = 0x06;     // LB2 (bit 2), LB1 (bit 1)

// Write and erase times in microseconds. The reference gives only tWLWH_PFB (at least 1.0 ms,
// typically 1.5 ms in the ATtiny10/11/12 edition); the others are the model's.
struct Tiny1xBusyTimes {
  double flashByte = 2000;
  double eepromByte = 4000;
  double erase = 10000;
  double fuse = 2000;
  double tiny11Fuse = 1500;
  double lock = 2000;
};

// The levels the programmer drives.
struct HvspPins {
  bool vcc = false;
  bool highVoltage = false;  // 12 V on PB5/RESET
  bool sdi = false;          // PB0
  bool sii = false;          // PB1
  bool sci = false;          // PB3/XTAL1
};

class Tiny1xChip {
 public:
  explicit Tiny1xChip(const Tiny1xPart& part);

  // The programmer changed its pins at link time `nowMicros`.
  void Drive(const HvspPins& pins, double nowMicros);
  // The level on SDO (PB2): RDY/BSY or the output bit; an absent chip leaves it low (the
  // programmer pulls it down).
  bool Sdo(double nowMicros) const;
  bool InProgrammingMode() const { return hvsp_; }
  double BusyUntil() const { return busyUntil_; }
  std::vector<std::string> TakeNotes();

  const Tiny1xPart& part() const { return part_; }
  std::vector<uint8_t>& flash() { return flash_; }
  const std::vector<uint8_t>& flash() const { return flash_; }
  std::vector<uint8_t>& eeprom() { return eeprom_; }
  const std::vector<uint8_t>& eeprom() const { return eeprom_; }
  uint8_t& fuse() { return fuse_; }
  uint8_t fuse() const { return fuse_; }
  uint8_t& lock() { return lock_; }
  uint8_t lock() const { return lock_; }
  uint8_t& calibration() { return calibration_; }
  uint8_t calibration() const { return calibration_; }
  Tiny1xBusyTimes& busyTimes() { return busyTimes_; }

  // Faults.
  bool absent = false;
  bool calibrationLost = false;  // the calibration byte reads 0xFF
  struct StuckBit {
    bool eeprom = false;
    uint32_t address = 0;
    uint8_t bit = 0;
    bool level = false;
  };
  std::vector<StuckBit> stuckBits;

  // As the chip reads them.
  uint8_t FuseValue() const { return static_cast<uint8_t>(fuse_ | ~part_.fuseMask); }
  uint8_t LockValue() const { return static_cast<uint8_t>(lock_ | ~kTiny1xLockBits); }
  uint8_t CalibrationValue() const;

 private:
  void PowerUp();
  void Leave(const char* why);
  void RisingEdge(double now);
  void Act(double now);
  void Write(double now, bool highByte);
  uint8_t Read(bool highByte) const;
  void StartBusy(double now, double micros) { busyUntil_ = now + micros; }
  bool Busy(double now) const { return now < busyUntil_; }
  void FinishPending(double now);
  bool WritesLocked() const { return (LockValue() & 0x02) == 0; }
  bool ReadsLocked() const { return (LockValue() & 0x06) == 0; }
  uint8_t ApplyStuck(bool eeprom, uint32_t address, uint8_t value) const;
  uint32_t FlashByteAddress(bool highByte) const;
  void Note(const std::string& text) { notes_.push_back(text); }

  Tiny1xPart part_;
  std::vector<uint8_t> flash_;
  std::vector<uint8_t> eeprom_;
  uint8_t fuse_;
  uint8_t lock_ = 0xFF;
  uint8_t calibration_ = 0x6B;
  Tiny1xBusyTimes busyTimes_;

  HvspPins pins_;
  bool hvsp_ = false;
  int sciToggles_ = 0;    // rising SCI edges since power-up, before the 12 V
  double enteredAt_ = 0;  // when the 12 V came
  int clock_ = 0;         // rising edges in the current frame
  uint8_t sdiShift_ = 0;
  uint8_t siiShift_ = 0;
  uint8_t out_ = 0xFF;      // the byte SDO shows in the current frame
  uint8_t nextOut_ = 0xFF;  // loaded by a read, shown in the next frame
  bool wrLow_ = false;
  bool oeLow_ = false;
  uint8_t command_ = 0;
  uint8_t addressHigh_ = 0;
  uint8_t addressLow_ = 0;
  uint8_t dataLow_ = 0xFF;
  uint8_t dataHigh_ = 0xFF;
  double busyUntil_ = 0;
  // The ATtiny11 fuse write lands when its tWLWH_PFB has passed.
  std::optional<std::pair<double, uint8_t>> pendingFuse_;
  bool earlyEdgeNoted_ = false;
  std::vector<std::string> notes_;
};

}  // namespace velmora::sim
