#include "avr_chip.h"

#include <algorithm>
#include <cstdio>

namespace velmora::sim {

namespace {

constexpr AvrPart kParts[] = {
#include "avr_parts.inc"
};

// The programmer's clock output on SCL (used by the factory reset), as the firmware drives it.
constexpr double kProgrammerClockHz = 1'000'000;

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "%0*X", digits, static_cast<unsigned>(value));
  return text;
}

enum class Source { kNone, kExternal, kCrystal, kRc, kPll };
struct ClockChoice {
  Source source = Source::kNone;
  double hz = 0;  // for kRc and kPll
};

// CKSEL (low fuse bits 3..0; 1..0 on the ATtiny13) to the clock source, from the data sheets'
// "Device Clocking Options Select" tables. External RC oscillators are played by the crystal.
ClockChoice ChooseClock(ClockScheme scheme, uint8_t low, bool pllProgrammed) {
  const int cksel = scheme == ClockScheme::kTiny13 ? (low & 0x03) : (low & 0x0F);
  switch (scheme) {
    case ClockScheme::kClassic:
      if (cksel == 0) return {Source::kExternal};
      if (cksel == 1 && pllProgrammed) return {Source::kPll, 16e6};  // ATtiny26 PLLCK
      if (cksel <= 4) return {Source::kRc, 1e6 * (1 << (cksel - 1))};
      return {Source::kCrystal};
    case ClockScheme::kModern:
      if (cksel == 0) return {Source::kExternal};
      if (cksel == 2) return {Source::kRc, 8e6};
      if (cksel == 3) return {Source::kRc, 128e3};
      if (cksel >= 4) return {Source::kCrystal};
      return {};
    case ClockScheme::kTiny2313:
      if (cksel == 0) return {Source::kExternal};
      if (cksel == 2) return {Source::kRc, 4e6};
      if (cksel == 4) return {Source::kRc, 8e6};
      if (cksel == 6) return {Source::kRc, 128e3};
      if (cksel >= 8) return {Source::kCrystal};
      return {};
    case ClockScheme::kTinypll:
      if (cksel == 0) return {Source::kExternal};
      if (cksel == 1) return {Source::kPll, 16e6};
      if (cksel == 2) return {Source::kRc, 8e6};
      if (cksel == 3) return {Source::kRc, 6.4e6};
      if (cksel == 4) return {Source::kRc, 128e3};
      if (cksel == 6 || cksel >= 8) return {Source::kCrystal};
      return {};
    case ClockScheme::kTiny13:
      if (cksel == 0) return {Source::kExternal};
      if (cksel == 1) return {Source::kRc, 4.8e6};
      if (cksel == 2) return {Source::kRc, 9.6e6};
      return {Source::kRc, 128e3};
  }
  return {};
}

}  // namespace

std::optional<AvrPart> AvrPartByName(std::string_view name) {
  for (const AvrPart& part : kParts) {
    if (name == part.name) return part;
  }
  return std::nullopt;
}

AvrChip::AvrChip(const AvrPart& part)
    : part_(part),
      flash_(part.flashBytes, 0xFF),
      eeprom_(part.eepromBytes, 0xFF),
      pageBuffer_(part.pageWords, 0xFFFF),
      eepromPageBuffer_(part.eepromPageBytes, -1) {
  std::copy_n(part.signature, 3, signature_.begin());
}

uint8_t AvrChip::FuseValue(int index) const {
  if (index >= part_.fuseBytes) return 0xFF;
  return static_cast<uint8_t>(fuses_[index] | ~part_.fuseMasks[index]);
}

bool AvrChip::FuseBitProgrammed(FusePosition position) const {
  return position.byte >= 0 && ((FuseValue(position.byte) >> position.bit) & 1) == 0;
}

double AvrChip::FuseClockHz() const {
  const ClockChoice choice = ChooseClock(part_.clock, FuseValue(0), FuseBitProgrammed(part_.pllck));
  const double onXtal1 = clockInputs_.externalClockHz > 0 ? clockInputs_.externalClockHz
                         : programmerClockOn_ && clockInputs_.programmerClockOnXtal1
                             ? kProgrammerClockHz
                             : 0;
  double hz = 0;
  switch (choice.source) {
    case Source::kNone:
      break;
    case Source::kExternal:
      hz = onXtal1;
      break;
    case Source::kCrystal:
      // A clock on XTAL1 also drives the oscillator amplifier.
      hz = clockInputs_.crystalHz > 0 ? clockInputs_.crystalHz : onXtal1;
      break;
    case Source::kRc:
    case Source::kPll:
      hz = choice.hz;
      break;
  }
  if (FuseBitProgrammed(part_.ckdiv8)) hz /= 8;
  return hz;
}

void AvrChip::Reset(double nowMicros) {
  powered_ = true;
  inSync_ = false;
  slipped_ = false;
  extendedAddress_ = 0;
  instructionsSinceEnable_ = 0;
  latchedHz_ = FuseClockHz();
  clockNoted_ = false;
  std::fill(pageBuffer_.begin(), pageBuffer_.end(), 0xFFFF);
  std::fill(eepromPageBuffer_.begin(), eepromPageBuffer_.end(), -1);
  // A reset ends a running write only after it has completed (the self-timed cycle runs on).
  busyUntil_ = std::max(busyUntil_, nowMicros);
}

void AvrChip::PowerOff() {
  powered_ = false;
  inSync_ = false;
  busyUntil_ = 0;
}

void AvrChip::RestoreFactoryFusesHighVoltage() {
  for (int i = 0; i < part_.fuseBytes; ++i) fuses_[i] = factoryFuses_[i];
  Note("AVR: high-voltage fuse restorer wrote the factory fuses");
}

std::vector<std::string> AvrChip::TakeNotes() {
  std::vector<std::string> notes;
  notes.swap(notes_);
  return notes;
}

uint32_t AvrChip::FlashWordAddress(uint8_t high, uint8_t low) const {
  const uint32_t words = std::max<uint32_t>(1, part_.flashBytes / 2);
  return ((uint32_t{extendedAddress_} << 16) | uint32_t{high} << 8 | low) % words;
}

void AvrChip::ApplyStuckBits() {
  for (const StuckBit& stuck : stuckBits) {
    std::vector<uint8_t>& memory = stuck.eeprom ? eeprom_ : flash_;
    if (stuck.address >= memory.size()) continue;
    const auto mask = static_cast<uint8_t>(1u << stuck.bit);
    memory[stuck.address] = static_cast<uint8_t>(stuck.level ? memory[stuck.address] | mask
                                                             : memory[stuck.address] & ~mask);
  }
}

void AvrChip::StartBusy(double now, double micros, bool flashPage, uint32_t first, uint32_t count) {
  busyUntil_ = now + micros;
  busyIsFlash_ = flashPage;
  busyFirst_ = first;
  busyCount_ = count;
}

bool AvrChip::ReadsAsBusy(double now, bool eepromSpace, uint32_t address) const {
  if (!Busy(now) || busyIsFlash_ == eepromSpace) return false;
  return address >= busyFirst_ && address < busyFirst_ + busyCount_;
}

std::array<uint8_t, 4> AvrChip::Transfer(const std::array<uint8_t, 4>& in, double sckHalfMicros,
                                         double nowMicros) {
  constexpr std::array<uint8_t, 4> kFloating{0xFF, 0xFF, 0xFF, 0xFF};
  if (absent || !powered_) return kFloating;
  // Each SCK phase must last 2 CPU clocks (3 from 12 MHz on), or the chip misreads bits.
  const double hz = latchedHz_;
  const double needed = hz <= 0 ? 0 : (hz < 12e6 ? 2.0 : 3.0) * 1e6 / hz;
  if (hz <= 0 || sckHalfMicros < needed) {
    if (!clockNoted_) {
      Note(hz <= 0 ? "AVR: the chip has no clock (clock source " + Hex(FuseValue(0), 2) +
                         " without a signal), serial programming is dead"
                   : "AVR: SCK phase " + std::to_string(sckHalfMicros) + " us is too short for " +
                         std::to_string(hz / 1e6) + " MHz, the chip misreads every bit");
    }
    clockNoted_ = true;
    inSync_ = false;
    return kFloating;
  }
  const bool enable = in[0] == 0xAC && in[1] == 0x53;
  if (enable) {
    if (!FuseBitProgrammed(part_.spien) && part_.spien.byte >= 0) {
      Note("AVR: SPIEN is unprogrammed, serial programming is disabled");
      return kFloating;
    }
    if (FuseBitProgrammed(part_.rstdisbl)) {
      Note("AVR: RSTDISBL is programmed, RESET is an I/O pin and cannot enter programming");
      return kFloating;
    }
    inSync_ = true;
    slipped_ = false;
    instructionsSinceEnable_ = 0;
    return {0xFF, in[0], 0x53, in[2]};
  }
  if (!inSync_) return kFloating;
  if (dropSyncAfter && ++instructionsSinceEnable_ > *dropSyncAfter && !slipped_) {
    slipped_ = true;
    Note("AVR: the serial interface slipped a bit and is out of step");
  }
  if (slipped_) return kFloating;
  return Execute(in, nowMicros);
}

std::array<uint8_t, 4> AvrChip::Execute(const std::array<uint8_t, 4>& in, double now) {
  std::array<uint8_t, 4> out{0xFF, in[0], in[1], in[2]};
  const bool poll = in[0] == 0xF0;
  const bool read = in[0] == 0x20 || in[0] == 0x28 || in[0] == 0xA0 || in[0] == 0x30 ||
                    in[0] == 0x38 || in[0] == 0x50 || in[0] == 0x58;
  if (Busy(now) && !poll && !read) {
    Note("AVR: instruction " + Hex(in[0], 2) + " " + Hex(in[1], 2) +
         " while a write is running, ignored (it may corrupt programming)");
    return out;
  }
  const bool writesLocked = (LockMode() & 0x01) == 0 || (LockMode() & 0x02) == 0;
  const bool readsLocked = LockMode() == 0;
  switch (in[0]) {
    case 0xF0:
      if (part_.pollsReady) out[3] = Busy(now) ? 0xFF : 0xFE;
      return out;
    case 0x4D:
      extendedAddress_ = in[2];
      return out;
    case 0x40:
    case 0x48: {
      if (pageBuffer_.empty()) return out;
      uint16_t& word = pageBuffer_[in[2] % part_.pageWords];
      word = in[0] == 0x40 ? static_cast<uint16_t>((word & 0xFF00) | in[3])
                           : static_cast<uint16_t>((word & 0x00FF) | in[3] << 8);
      return out;
    }
    case 0x4C: {
      const uint32_t word = FlashWordAddress(in[1], in[2]);
      const uint32_t page = word - word % std::max<uint32_t>(1, part_.pageWords);
      if (writesLocked) {
        Note("AVR: page write at word " + Hex(page, 5) + " refused, lock bits set");
      } else {
        for (uint32_t k = 0; k < part_.pageWords; ++k) {
          flash_[2 * (page + k)] &= static_cast<uint8_t>(pageBuffer_[k]);
          flash_[2 * (page + k) + 1] &= static_cast<uint8_t>(pageBuffer_[k] >> 8);
        }
        ApplyStuckBits();
        StartBusy(now, busyTimes_.flashPage, true, 2 * page, 2 * part_.pageWords);
      }
      std::fill(pageBuffer_.begin(), pageBuffer_.end(), 0xFFFF);
      return out;
    }
    case 0x20:
    case 0x28: {
      const uint32_t byte = 2 * FlashWordAddress(in[1], in[2]) + (in[0] == 0x28 ? 1 : 0);
      out[3] = readsLocked ? 0x00 : ReadsAsBusy(now, false, byte) ? 0xFF : flash_[byte];
      return out;
    }
    case 0xA0: {
      if (eeprom_.empty()) return out;
      const uint32_t address = (uint32_t{in[1]} << 8 | in[2]) % eeprom_.size();
      out[3] = readsLocked ? 0x00 : ReadsAsBusy(now, true, address) ? 0xFF : eeprom_[address];
      return out;
    }
    case 0xC0: {
      if (eeprom_.empty()) return out;
      const uint32_t address = (uint32_t{in[1]} << 8 | in[2]) % eeprom_.size();
      if (writesLocked) {
        Note("AVR: EEPROM write refused, lock bits set");
        return out;
      }
      eeprom_[address] = in[3];
      ApplyStuckBits();
      StartBusy(now, busyTimes_.eeprom, false, address, 1);
      return out;
    }
    case 0xC1:
      if (!eepromPageBuffer_.empty()) eepromPageBuffer_[in[2] % eepromPageBuffer_.size()] = in[3];
      return out;
    case 0xC2: {
      if (eepromPageBuffer_.empty() || eeprom_.empty()) return out;
      const uint32_t size = static_cast<uint32_t>(eepromPageBuffer_.size());
      const uint32_t address = (uint32_t{in[1]} << 8 | in[2]) % eeprom_.size();
      const uint32_t first = address - address % size;
      if (writesLocked) {
        Note("AVR: EEPROM page write refused, lock bits set");
      } else {
        for (uint32_t k = 0; k < size; ++k) {
          if (eepromPageBuffer_[k] >= 0)
            eeprom_[first + k] = static_cast<uint8_t>(eepromPageBuffer_[k]);
        }
        ApplyStuckBits();
        StartBusy(now, busyTimes_.eeprom, false, first, size);
      }
      std::fill(eepromPageBuffer_.begin(), eepromPageBuffer_.end(), -1);
      return out;
    }
    case 0x30:
      out[3] = (in[2] & 3) < 3 ? signature_[in[2] & 3] : 0xFF;
      return out;
    case 0x38:
      out[3] = (in[2] & 3) < part_.calibrationBytes ? calibration_[in[2] & 3] : 0xFF;
      return out;
    case 0x50:
      out[3] = in[1] == 0x08 ? FuseValue(2) : FuseValue(0);
      return out;
    case 0x58:
      out[3] = in[1] == 0x08 ? FuseValue(1) : LockValue();
      return out;
    case 0xAC:
      break;
    default:
      Note("AVR: unknown instruction " + Hex(in[0], 2) + " " + Hex(in[1], 2) + " " + Hex(in[2], 2) +
           " " + Hex(in[3], 2));
      return out;
  }
  // AC xx: chip erase, fuse and lock writes.
  if ((in[1] & 0xE0) == 0x80) {
    std::fill(flash_.begin(), flash_.end(), 0xFF);
    if (!FuseBitProgrammed(part_.eesave)) std::fill(eeprom_.begin(), eeprom_.end(), 0xFF);
    lock_ = 0xFF;
    ApplyStuckBits();
    StartBusy(now, busyTimes_.erase, true, 0, 0);
    return out;
  }
  int index = -1;
  if ((in[1] & 0xE0) == 0xE0) {
    index = 3;
  } else if (in[1] == 0xA0) {
    index = 0;
  } else if (in[1] == 0xA8) {
    index = 1;
  } else if (in[1] == 0xA4) {
    index = 2;
  }
  if (index < 0) {
    Note("AVR: unknown instruction AC " + Hex(in[1], 2));
    return out;
  }
  StartBusy(now, busyTimes_.fuse, true, 0, 0);
  if (index < 3 && index >= part_.fuseBytes) return out;
  if (writesLocked && index < 3) {
    Note("AVR: fuse write refused, lock bits set");
    return out;
  }
  if (lostFuseWrites[index] > 0) {
    --lostFuseWrites[index];
    Note("AVR: the write of fuse byte " + std::to_string(index) + " was lost");
    return out;
  }
  if (index == 3) {
    lock_ = static_cast<uint8_t>(lock_ & (in[3] | ~part_.lockMask));  // bits only get programmed
    return out;
  }
  uint8_t value = static_cast<uint8_t>(in[3] | ~part_.fuseMasks[index]);
  if (part_.spien.byte == index) {
    // SPIEN cannot be changed in serial programming mode.
    const auto bit = static_cast<uint8_t>(1u << part_.spien.bit);
    value = static_cast<uint8_t>((value & ~bit) | (fuses_[index] & bit));
  }
  fuses_[index] = value;
  return out;
}

}  // namespace velmora::sim
