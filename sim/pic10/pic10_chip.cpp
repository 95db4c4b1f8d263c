#include "pic10_chip.h"

#include <utility>

namespace velmora::sim {

namespace {

using namespace pic10addr;

constexpr Pic10Part kParts[] = {
    {.name = "PIC10F200", .userWords = 256},
    {.name = "PIC10F202", .userWords = 512},
    {.name = "PIC10F204", .userWords = 256},
    {.name = "PIC10F206", .userWords = 512},
};

// Times for scale only; the maker's timing section was not at hand.
constexpr double kEraseMicros = 10000;
constexpr double kWriteMicros = 2000;

}  // namespace

std::optional<Pic10Part> Pic10PartByName(std::string_view name) {
  for (const Pic10Part& part : kParts) {
    if (name == part.name) return part;
  }
  return std::nullopt;
}

Pic10Chip::Pic10Chip(const Pic10Part& part, const Pic10Factory& factory)
    : userWords_(part.userWords), words_(2 * size_t{part.userWords}, 0) {
  for (uint16_t a = 0; a < words_.size(); ++a) {
    if (Exists(a)) words_[a] = kBlankWord;
  }
  const auto calibration = static_cast<uint16_t>(kMovlw | factory.calibration);
  if (!factory.calibrationMissing) words_[userWords_ - 1] = calibration;
  if (!factory.backupMissing) words_[userWords_ + kBackupOffset] = calibration;
}

bool Pic10Chip::Exists(uint16_t address) const {
  return address < userWords_ + kConfigMemoryWords || address == ConfigurationAddress();
}

void Pic10Chip::EnterProgramMode() {
  counter_ = ConfigurationAddress();
}

void Pic10Chip::LoadProgramData(uint16_t data) {
  latch_ = data & kBlankWord;
}

uint16_t Pic10Chip::ReadProgramData() const {
  if (absent_) return 0xFFFF;  // the data line stays high through all 16 clocks
  return WordAt(counter_);
}

// From the last user word the counter goes on into configuration memory; from the
// configuration word at the top it wraps to 0.
void Pic10Chip::IncrementAddress() {
  counter_ = static_cast<uint16_t>((counter_ + 1) % words_.size());
}

void Pic10Chip::BeginProgramming() {
  if (absent_) return;
  busyMicros_ += kWriteMicros;
  StoreWord(counter_, WordAt(counter_) & latch_);
}

void Pic10Chip::BulkEraseProgram() {
  if (absent_) return;
  busyMicros_ += kEraseMicros;
  const bool inConfigMemory = counter_ >= userWords_ && counter_ != ConfigurationAddress();
  const uint16_t end = inConfigMemory ? userWords_ + kConfigMemoryWords : userWords_;
  for (uint16_t a = 0; a < end; ++a) StoreWord(a, kBlankWord);
  StoreWord(ConfigurationAddress(), kBlankWord);
}

double Pic10Chip::TakeBusyMicros() {
  return std::exchange(busyMicros_, 0.0);
}

uint16_t Pic10Chip::WordAt(uint16_t address) const {
  const uint16_t word = words_[address % words_.size()];
  if (address == ConfigurationAddress()) {
    return static_cast<uint16_t>((kBlankWord & ~kImplementedConfigBits) |
                                 (word & kImplementedConfigBits));
  }
  return word;
}

void Pic10Chip::StoreWord(uint16_t address, uint16_t value) {
  address = static_cast<uint16_t>(address % words_.size());
  if (!Exists(address)) return;
  words_[address] = ApplyStuckBits(address, value & kBlankWord);
}

uint16_t Pic10Chip::ApplyStuckBits(uint16_t address, uint16_t value) const {
  for (const Pic10StuckBit& stuck : stuckBits_) {
    if (stuck.word != address) continue;
    const auto bit = static_cast<uint16_t>(1u << stuck.bit);
    value = stuck.level ? (value | bit) : (value & ~bit);
  }
  return value;
}

}  // namespace velmora::sim
