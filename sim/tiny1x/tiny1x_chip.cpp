#include "tiny1x_chip.h"

#include <cstdio>

namespace velmora::sim {

namespace {

// avr-libc iotn11.h / iotn12.h: signature, E2END, the fuse bits and FUSE_DEFAULT.
constexpr Tiny1xPart kParts[] = {
    {.name = "ATtiny11",
     .signature = {0x1E, 0x90, 0x04},
     .eepromBytes = 0,
     .fuseMask = 0x1F,  // FSTRT, RSTDISBL, CKSEL2..0
     .factoryFuse = 0xFC,
     .hasCalibration = false,
     .fuseReadyBusy = false},
    {.name = "ATtiny12",
     .signature = {0x1E, 0x90, 0x05},
     .eepromBytes = 64,
     .fuseMask = 0xFF,  // BODLEVEL, BODEN, SPIEN, RSTDISBL, CKSEL3..0
     .factoryFuse = 0x52,
     .hasCalibration = true,
     .fuseReadyBusy = true},
};

// The lines of the parallel interface in an SII byte.
constexpr uint8_t kXaShift = 5;
constexpr uint8_t kBs1 = 0x10;
constexpr uint8_t kWr = 0x08;
constexpr uint8_t kOe = 0x04;
enum Xa : uint8_t { kLoadAddress = 0, kLoadData = 1, kLoadCommand = 2, kNoLoad = 3 };

// Commands of the programming interface.
constexpr uint8_t kChipErase = 0x80;
constexpr uint8_t kWriteFuse = 0x40;
constexpr uint8_t kWriteLock = 0x20;
constexpr uint8_t kWriteFlash = 0x10;
constexpr uint8_t kWriteEeprom = 0x11;
constexpr uint8_t kReadFlash = 0x02;
constexpr uint8_t kReadEeprom = 0x03;
constexpr uint8_t kReadFuseLock = 0x04;
constexpr uint8_t kReadSignature = 0x08;

constexpr int kFrameClocks = 11;
constexpr double kEntryDelayMicros = 8;

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

}  // namespace

std::optional<Tiny1xPart> Tiny1xPartByName(std::string_view name) {
  for (const Tiny1xPart& part : kParts) {
    if (name == part.name) return part;
  }
  return std::nullopt;
}

Tiny1xChip::Tiny1xChip(const Tiny1xPart& part)
    : part_(part),
      flash_(kTiny1xFlashBytes, 0xFF),
      eeprom_(part.eepromBytes, 0xFF),
      fuse_(part.factoryFuse) {}

uint8_t Tiny1xChip::CalibrationValue() const {
  return part_.hasCalibration && !calibrationLost ? calibration_ : 0xFF;
}

std::vector<std::string> Tiny1xChip::TakeNotes() {
  std::vector<std::string> notes;
  notes.swap(notes_);
  return notes;
}

void Tiny1xChip::PowerUp() {
  sciToggles_ = 0;
  hvsp_ = false;
  busyUntil_ = 0;
  pendingFuse_.reset();
}

void Tiny1xChip::Leave(const char* why) {
  if (hvsp_) Note(std::string(part_.name) + ": high-voltage serial mode left (" + why + ")");
  hvsp_ = false;
  sciToggles_ = 0;
}

void Tiny1xChip::FinishPending(double now) {
  if (pendingFuse_ && now >= pendingFuse_->first) {
    fuse_ = pendingFuse_->second;
    pendingFuse_.reset();
  }
}

void Tiny1xChip::Drive(const HvspPins& pins, double now) {
  if (absent) {
    pins_ = pins;
    return;
  }
  FinishPending(now);
  const HvspPins before = pins_;
  pins_ = pins;
  if (!pins.vcc) {
    if (before.vcc) Leave("VCC off");
    // A write in progress without supply is lost.
    pendingFuse_.reset();
    return;
  }
  if (!before.vcc) PowerUp();
  if (!pins.highVoltage) {
    if (before.highVoltage) Leave("12 V removed");
    if (pins.sci && !before.sci) ++sciToggles_;
    return;
  }
  if (!before.highVoltage) {
    // Entry needs the clock toggled four times and SDI low when the 12 V arrives.
    if (sciToggles_ >= 4 && !pins.sdi) {
      hvsp_ = true;
      enteredAt_ = now;
      clock_ = 0;
      out_ = nextOut_ = 0xFF;
      wrLow_ = oeLow_ = false;
    } else {
      Note(std::string(part_.name) + ": 12 V without the entry sequence, not in programming mode");
    }
    return;
  }
  if (hvsp_ && pins.sci && !before.sci) RisingEdge(now);
}

bool Tiny1xChip::Sdo(double now) const {
  if (absent || !pins_.vcc) return false;
  if (!hvsp_) return false;
  if (Busy(now)) return false;
  if (clock_ >= 1 && clock_ <= 8) return (out_ >> (8 - clock_)) & 1;
  return true;
}

void Tiny1xChip::RisingEdge(double now) {
  if (now < enteredAt_ + kEntryDelayMicros && !earlyEdgeNoted_) {
    Note(std::string(part_.name) + ": instruction clocked in before the 8 us after the 12 V");
    earlyEdgeNoted_ = true;
  }
  if (clock_ == 0) {
    // The byte loaded by the frame before goes out from this clock on.
    out_ = nextOut_;
    nextOut_ = 0xFF;
  }
  if (clock_ >= 1 && clock_ <= 8) {
    sdiShift_ = static_cast<uint8_t>(sdiShift_ << 1 | (pins_.sdi ? 1 : 0));
    siiShift_ = static_cast<uint8_t>(siiShift_ << 1 | (pins_.sii ? 1 : 0));
  }
  if (++clock_ == kFrameClocks) {
    clock_ = 0;
    Act(now);
  }
}

void Tiny1xChip::Act(double now) {
  const uint8_t sii = siiShift_;
  const uint8_t sdi = sdiShift_;
  const auto xa = static_cast<Xa>((sii >> kXaShift) & 3);
  const bool highByte = (sii & kBs1) != 0;
  if (Busy(now) && xa == kNoLoad && ((sii & kWr) == 0 || (sii & kOe) == 0)) {
    Note(std::string(part_.name) + ": instruction while busy, ignored");
    return;
  }
  switch (xa) {
    case kLoadCommand:
      command_ = sdi;
      break;
    case kLoadAddress:
      (highByte ? addressHigh_ : addressLow_) = sdi;
      break;
    case kLoadData:
      (highByte ? dataHigh_ : dataLow_) = sdi;
      break;
    case kNoLoad: {
      const bool wrLow = (sii & kWr) == 0;
      const bool oeLow = (sii & kOe) == 0;
      if (wrLow && !wrLow_) Write(now, highByte);
      if (oeLow && !oeLow_) nextOut_ = Read(highByte);
      wrLow_ = wrLow;
      oeLow_ = oeLow;
      return;
    }
  }
  wrLow_ = oeLow_ = false;
}

uint32_t Tiny1xChip::FlashByteAddress(bool highByte) const {
  const uint32_t word = (uint32_t{addressHigh_} << 8 | addressLow_) % (kTiny1xFlashBytes / 2);
  return 2 * word + (highByte ? 1 : 0);
}

uint8_t Tiny1xChip::ApplyStuck(bool eeprom, uint32_t address, uint8_t value) const {
  for (const StuckBit& stuck : stuckBits) {
    if (stuck.eeprom != eeprom || stuck.address != address) continue;
    value = stuck.level ? static_cast<uint8_t>(value | 1 << stuck.bit)
                        : static_cast<uint8_t>(value & ~(1 << stuck.bit));
  }
  return value;
}

void Tiny1xChip::Write(double now, bool highByte) {
  const std::string name = part_.name;
  switch (command_) {
    case kChipErase:
      std::fill(flash_.begin(), flash_.end(), 0xFF);
      std::fill(eeprom_.begin(), eeprom_.end(), 0xFF);
      for (uint32_t a = 0; a < flash_.size(); ++a) flash_[a] = ApplyStuck(false, a, 0xFF);
      for (uint32_t a = 0; a < eeprom_.size(); ++a) eeprom_[a] = ApplyStuck(true, a, 0xFF);
      lock_ = 0xFF;
      StartBusy(now, busyTimes_.erase);
      Note(name + ": chip erase");
      return;
    case kWriteFuse:
      if (WritesLocked()) break;
      if (part_.fuseReadyBusy) {
        fuse_ = dataLow_;
        StartBusy(now, busyTimes_.fuse);
      } else {
        // No RDY/BSY: the new bits hold once tWLWH_PFB has passed.
        pendingFuse_ = {now + busyTimes_.tiny11Fuse, dataLow_};
      }
      Note(name + ": fuse write " + Hex(dataLow_, 2));
      return;
    case kWriteLock:
      // Lock bits are only programmed; chip erase clears them.
      lock_ = static_cast<uint8_t>(lock_ & (dataLow_ | ~kTiny1xLockBits));
      StartBusy(now, busyTimes_.lock);
      Note(name + ": lock bits write " + Hex(dataLow_, 2));
      return;
    case kWriteFlash: {
      if (WritesLocked()) break;
      const uint32_t address = FlashByteAddress(highByte);
      const uint8_t data = highByte ? dataHigh_ : dataLow_;
      flash_[address] = ApplyStuck(false, address, flash_[address] & data);
      StartBusy(now, busyTimes_.flashByte);
      return;
    }
    case kWriteEeprom: {
      if (WritesLocked() || eeprom_.empty()) break;
      const uint32_t address = addressLow_ % eeprom_.size();
      eeprom_[address] = ApplyStuck(true, address, dataLow_);
      StartBusy(now, busyTimes_.eepromByte);
      return;
    }
    default:
      Note(name + ": write with command " + Hex(command_, 2) + " does nothing");
      return;
  }
  Note(name + ": write refused, lock bits programmed");
}

uint8_t Tiny1xChip::Read(bool highByte) const {
  switch (command_) {
    case kReadFlash:
      return ReadsLocked() ? 0x00 : flash_[FlashByteAddress(highByte)];
    case kReadEeprom:
      if (eeprom_.empty()) return 0xFF;
      return ReadsLocked() ? 0x00 : eeprom_[addressLow_ % eeprom_.size()];
    case kReadFuseLock:
      return highByte ? LockValue() : FuseValue();
    case kReadSignature:
      if (highByte) return CalibrationValue();
      return addressLow_ < 3 ? part_.signature[addressLow_] : 0xFF;
    default:
      return 0xFF;
  }
}

}  // namespace velmora::sim
