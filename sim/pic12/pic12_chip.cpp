#include "pic12_chip.h"

#include <algorithm>
#include <utility>

namespace velmora::sim {

namespace {

using namespace pic12addr;

// Device IDs of the maker's parts (revision bits zero).
constexpr Pic12Part kParts[] = {
    {.name = "PIC12F629", .deviceId = 0x0F80},
    {.name = "PIC12F675", .deviceId = 0x0FC0},
    {.name = "PIC16F630", .deviceId = 0x10C0},
    {.name = "PIC16F676", .deviceId = 0x10E0},
};

// For scale only: the sibling PIC12F609 family's erase and write times.
constexpr double kEraseMicros = 6000;
constexpr double kWriteMicros = 3000;

constexpr uint16_t kUserSpaceEnd = 0x2000;
constexpr uint16_t kCounterMask = 0x3FFF;
constexpr uint16_t kIdWords = 4;

bool InConfigurationSpace(uint16_t address) {
  return address >= kConfigurationSpace;
}

}  // namespace

std::optional<Pic12Part> Pic12PartByName(std::string_view name) {
  for (const Pic12Part& part : kParts) {
    if (name == part.name) return part;
  }
  return std::nullopt;
}

Pic12Chip::Pic12Chip(const Pic12Part& part, const Pic12Factory& factory)
    : program_(kProgramWords, kBlankWord), eeprom_(kEepromBytes, 0xFF) {
  configuration_.fill(kBlankWord);
  configuration_[kDeviceIdWord - kConfigurationSpace] =
      static_cast<uint16_t>(part.deviceId | (factory.revision & 0x1F));
  configuration_[kConfigurationWord - kConfigurationSpace] =
      static_cast<uint16_t>((kImplementedConfigBits & ~kBandGapBits) | (factory.bandGap & 3) << 12);
  if (!factory.calibrationMissing) program_[kCalibrationWord] = kRetlw | factory.calibration;
}

void Pic12Chip::EnterProgramMode() {
  counter_ = 0;
  dataLatched_ = false;
}

void Pic12Chip::LoadConfiguration(uint16_t data) {
  counter_ = kConfigurationSpace;
  latch_ = data & kCounterMask;
  dataLatched_ = false;
}

void Pic12Chip::LoadProgramData(uint16_t data) {
  latch_ = data & kCounterMask;
  dataLatched_ = false;
}

void Pic12Chip::LoadDataMemory(uint8_t data) {
  latch_ = data;
  dataLatched_ = true;
}

uint16_t Pic12Chip::ReadProgramData() const {
  if (absent_) return kBlankWord;
  return WordAt(counter_);
}

uint8_t Pic12Chip::ReadDataMemory() const {
  if (absent_) return 0xFF;
  return eeprom_[counter_ % kEepromBytes];
}

// In user memory the counter runs to 0x1FFF and wraps to 0; once in configuration memory it
// stays there, wrapping from 0x3FFF to 0x2000.
void Pic12Chip::IncrementAddress() {
  if (InConfigurationSpace(counter_)) {
    counter_ = counter_ == kCounterMask ? kConfigurationSpace : counter_ + 1;
  } else {
    counter_ = static_cast<uint16_t>((counter_ + 1) % kUserSpaceEnd);
  }
}

void Pic12Chip::BeginProgramming() {
  if (absent_) return;
  busyMicros_ += kEraseMicros + kWriteMicros;
  if (dataLatched_) {
    eeprom_[counter_ % kEepromBytes] = static_cast<uint8_t>(latch_);
    return;
  }
  StoreWord(counter_, latch_);
}

void Pic12Chip::BulkEraseProgram() {
  if (absent_) return;
  busyMicros_ += kEraseMicros;
  for (uint16_t w = 0; w < kProgramWords; ++w) StoreWord(w, kBlankWord);
  if (!InConfigurationSpace(counter_)) return;
  for (uint16_t w = 0; w < kIdWords; ++w) StoreWord(kConfigurationSpace + w, kBlankWord);
  StoreWord(kConfigurationWord, kBlankWord);
}

void Pic12Chip::BulkEraseData() {
  if (absent_) return;
  busyMicros_ += kEraseMicros;
  std::fill(eeprom_.begin(), eeprom_.end(), 0xFF);
}

double Pic12Chip::TakeBusyMicros() {
  return std::exchange(busyMicros_, 0.0);
}

uint16_t Pic12Chip::WordAt(uint16_t address) const {
  if (!InConfigurationSpace(address)) return program_[address % kProgramWords];
  const uint16_t offset = address - kConfigurationSpace;
  if (offset >= configuration_.size()) return kBlankWord;
  if (address == kConfigurationWord) return configuration_[offset] & kImplementedConfigBits;
  return configuration_[offset];
}

// Writes reach the program words, the ID words and the configuration word; the reserved words
// and the device ID are read-only.
void Pic12Chip::StoreWord(uint16_t address, uint16_t value) {
  value = ApplyStuckBits(address, value & kCounterMask);
  if (!InConfigurationSpace(address)) {
    program_[address % kProgramWords] = value;
    return;
  }
  const uint16_t offset = address - kConfigurationSpace;
  if (offset < kIdWords) {
    configuration_[offset] = value;
  } else if (address == kConfigurationWord) {
    configuration_[offset] = value & kImplementedConfigBits;
  }
}

uint16_t Pic12Chip::ApplyStuckBits(uint16_t address, uint16_t value) const {
  for (const Pic12StuckBit& stuck : stuckBits_) {
    const bool same = InConfigurationSpace(address) ? stuck.word == address
                                                    : stuck.word == address % kProgramWords;
    if (!same) continue;
    const auto bit = static_cast<uint16_t>(1u << stuck.bit);
    value = stuck.level ? (value | bit) : (value & ~bit);
  }
  return value;
}

}  // namespace velmora::sim
