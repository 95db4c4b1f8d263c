#pragma once
// The simulated ATmega/ATtiny as its serial programming interface sees it, built from the makers'
// serial programming rules (../shared/reference/avr-serial-programming.md, Part A) and avr-libc's
// device headers, never from the product's tables:
//
// - Programming Enable (AC 53 xx xx) echoes 0x53 on the third byte when the chip is clocked, SCK
//   is slow enough for its clock (each phase at least 2 CPU clocks below 12 MHz, 3 above), SPIEN
//   is programmed and neither RSTDISBL nor DWEN took the RESET pin; other instructions are
//   ignored until then.
// - Flash is written through the page buffer (Load Program Memory Page low then high byte, Write
//   Program Memory Page); a page write only clears bits (serial programming does not erase), the
//   buffer is blank again afterwards. Parts above 128 KB take the Load Extended Address byte,
//   kept until it is sent again.
// - EEPROM bytes are written with an automatic erase; newer parts also take EEPROM pages.
// - Fuses keep only their implemented bits (the others read 1); SPIEN cannot be changed over SPI.
// - Lock bits can only be programmed; mode 10 stops flash/EEPROM writes and fuse changes, mode 00
//   also reads (locked reads give 0x00). Chip erase clears flash, the lock bits, and the EEPROM
//   unless EESAVE is programmed.
// - Writes keep the chip busy for the data sheets' tWD times; while busy, a read inside the page
//   or byte being written gives 0xFF (data polling), Poll RDY/BSY gives 1, and other instructions
//   are noted as corrupting and ignored.
// - The CPU clock comes from the low fuse's clock source (internal RC, crystal, external clock,
//   PLL, CKDIV8) and what the scenario puts on the XTAL pins; it is latched at reset.
#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace velmora::sim {

// The data sheets' clock-source tables (CKSEL -> source).
enum class ClockScheme { kClassic, kModern, kTiny13, kTiny2313, kTinypll };

struct FusePosition {
  int byte = -1;  // 0 low, 1 high, 2 extended; -1 = the part has no such bit
  int bit = 0;
};

struct AvrPart {
  const char* name = "";
  uint8_t signature[3] = {0xFF, 0xFF, 0xFF};
  uint32_t flashBytes = 0;
  uint32_t pageWords = 0;
  uint32_t eepromBytes = 0;
  uint32_t eepromPageBytes = 0;  // 0: EEPROM is written byte by byte over SPI
  int fuseBytes = 2;
  uint8_t fuseMasks[3] = {0, 0, 0};  // implemented fuse bits
  uint8_t lockMask = 0x03;           // implemented lock bits
  FusePosition spien, eesave, ckdiv8, pllck, rstdisbl;
  int calibrationBytes = 1;
  bool pollsReady = true;  // the part knows Poll RDY/BSY (F0 00 xx xx)
  ClockScheme clock = ClockScheme::kModern;
};

// The parts avr-libc describes, by the catalogue's names (and ATmega328P).
std::optional<AvrPart> AvrPartByName(std::string_view name);

// What the board puts on the chip's clock pins.
struct AvrClockInputs {
  double crystalHz = 0;                 // a crystal or resonator between XTAL1 and XTAL2
  double externalClockHz = 0;           // an oscillator driving XTAL1
  bool programmerClockOnXtal1 = false;  // the programmer's SCL pin is wired to XTAL1
};

// Write and erase times, microseconds (M8 Table 97, T13, M48: the longest of them).
struct AvrBusyTimes {
  double fuse = 4500;
  double flashPage = 4500;
  double eeprom = 9000;
  double erase = 9000;
};

class AvrChip {
 public:
  explicit AvrChip(const AvrPart& part);

  // One 4-byte serial instruction; returns the four bytes the chip shifts out. `sckHalfMicros` is
  // the length of each SCK phase, `nowMicros` the link time when the instruction starts.
  std::array<uint8_t, 4> Transfer(const std::array<uint8_t, 4>& in, double sckHalfMicros,
                                  double nowMicros);
  // RESET pulsed (or power applied): the clock source is latched anew, the interface is out of
  // step until the next Programming Enable, the extended address is 0.
  void Reset(double nowMicros);
  void PowerOff();
  // The programmer's clock output on its SCL pin.
  void SetProgrammerClock(bool on) { programmerClockOn_ = on; }
  // Parallel high-voltage programming by the programmer's fuse restorer: the factory fuses are
  // written whatever the lock bits and RSTDISBL say.
  void RestoreFactoryFusesHighVoltage();

  bool Busy(double nowMicros) const { return nowMicros < busyUntil_; }
  double BusyUntil() const { return busyUntil_; }
  bool InSync() const { return inSync_; }
  // The CPU clock latched at the last reset, 0 = not running.
  double ClockHz() const { return latchedHz_; }
  // The clock the fuses and the board would give now.
  double FuseClockHz() const;
  std::vector<std::string> TakeNotes();

  // Memories and settings, for scenarios, state files and tests.
  const AvrPart& part() const { return part_; }
  std::vector<uint8_t>& flash() { return flash_; }
  std::vector<uint8_t>& eeprom() { return eeprom_; }
  std::array<uint8_t, 3>& fuses() { return fuses_; }
  uint8_t& lock() { return lock_; }
  std::array<uint8_t, 4>& calibration() { return calibration_; }
  const std::vector<uint8_t>& flash() const { return flash_; }
  const std::vector<uint8_t>& eeprom() const { return eeprom_; }
  const std::array<uint8_t, 3>& fuses() const { return fuses_; }
  uint8_t lock() const { return lock_; }
  const std::array<uint8_t, 4>& calibration() const { return calibration_; }
  std::array<uint8_t, 3>& signature() { return signature_; }
  std::array<uint8_t, 3>& factoryFuses() { return factoryFuses_; }
  AvrClockInputs& clockInputs() { return clockInputs_; }
  AvrBusyTimes& busyTimes() { return busyTimes_; }
  // Faults.
  bool absent = false;                    // no chip: MISO floats high
  std::array<int, 4> lostFuseWrites{};    // per fuse byte (3 = lock): writes still to lose
  std::optional<uint64_t> dropSyncAfter;  // instructions after an enable until it slips a bit
  struct StuckBit {
    bool eeprom = false;
    uint32_t address = 0;
    uint8_t bit = 0;
    bool level = false;
  };
  std::vector<StuckBit> stuckBits;

  // Stored values with the implemented-bit rule applied.
  uint8_t FuseValue(int index) const;
  uint8_t LockValue() const { return static_cast<uint8_t>(lock_ | ~part_.lockMask); }
  uint8_t LockMode() const { return LockValue() & 0x03; }

 private:
  std::array<uint8_t, 4> Execute(const std::array<uint8_t, 4>& in, double now);
  bool FuseBitProgrammed(FusePosition position) const;
  uint32_t FlashWordAddress(uint8_t high, uint8_t low) const;
  void ApplyStuckBits();
  void StartBusy(double now, double micros, bool flashPage, uint32_t first, uint32_t count);
  bool ReadsAsBusy(double now, bool eepromSpace, uint32_t address) const;
  void Note(const std::string& text) { notes_.push_back(text); }

  AvrPart part_;
  std::vector<uint8_t> flash_;
  std::vector<uint8_t> eeprom_;
  std::array<uint8_t, 3> fuses_{0xFF, 0xFF, 0xFF};
  std::array<uint8_t, 3> factoryFuses_{0xFF, 0xFF, 0xFF};
  uint8_t lock_ = 0xFF;
  std::array<uint8_t, 4> calibration_{0xA3, 0x9C, 0xA8, 0xAE};
  std::array<uint8_t, 3> signature_{};
  std::vector<uint16_t> pageBuffer_;
  std::vector<int> eepromPageBuffer_;  // -1 = not loaded
  uint8_t extendedAddress_ = 0;
  AvrClockInputs clockInputs_;
  AvrBusyTimes busyTimes_;
  bool programmerClockOn_ = false;
  bool powered_ = false;
  bool inSync_ = false;
  bool slipped_ = false;
  uint64_t instructionsSinceEnable_ = 0;
  double latchedHz_ = 0;
  double busyUntil_ = 0;
  bool busyIsFlash_ = false;
  uint32_t busyFirst_ = 0;  // byte address of the page or EEPROM range under write
  uint32_t busyCount_ = 0;
  bool clockNoted_ = false;
  std::vector<std::string> notes_;
};

}  // namespace velmora::sim
