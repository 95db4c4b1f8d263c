#include "dspic30_memory.h"

#include <algorithm>

namespace velmora::sim {

using namespace dspic30addr;

DsPic30Memory::DsPic30Memory(const DsPic30Geometry& geometry, uint16_t revision)
    : geometry_(geometry),
      revision_(revision),
      program_(geometry.programWords, kErasedWord),
      eeprom_(geometry.EepromWords(), 0xFFFF),
      ram_(geometry.ramBytes, 0x00) {
  std::ranges::copy(geometry_.configMasks, config_.begin());
}

bool DsPic30Memory::IsEeprom(uint32_t address) const {
  return address >= EepromStart() && address < kEepromEnd;
}

int DsPic30Memory::ConfigIndex(uint32_t address) const {
  const uint32_t offset = address - kConfiguration;
  if (offset >= 2 * kConfigurationCount) return -1;
  return static_cast<int>(offset / 2);
}

bool DsPic30Memory::CodeProtected() const {
  const uint16_t mask = geometry_.configMasks[kFgs];
  return (config_[kFgs] & mask) != mask;
}

uint32_t DsPic30Memory::WithFaults(uint32_t address, uint32_t value, int bytes) const {
  // The programmer's HEX space holds byte k of the word at program-space address a at 2a + k.
  for (const DsPic30StuckBit& stuck : stuckBits_) {
    const uint32_t k = stuck.address - 2 * address;
    if (k >= static_cast<uint32_t>(bytes)) continue;
    const uint32_t bit = 1u << (8 * k + stuck.bit);
    value = stuck.level ? (value | bit) : (value & ~bit);
  }
  return value;
}

uint32_t DsPic30Memory::ReadProgramSpace(uint32_t address) const {
  if (IsAbsent()) return AbsentLevel();
  address &= ~1u;
  if (IsProgram(address)) {
    if (CodeProtected()) return 0;
    return WithFaults(address, program_[address / 2], 3);
  }
  if (IsEeprom(address)) return WithFaults(address, eeprom_[(address - EepromStart()) / 2], 2);
  if (const int index = ConfigIndex(address); index >= 0) {
    return WithFaults(address, config_[index], 2);
  }
  if (address == kDevId) return geometry_.deviceId;
  if (address == kDevRev) return revision_;
  return 0;
}

void DsPic30Memory::ProgramWord(uint32_t address, uint32_t value) {
  if (IsProgram(address)) program_[address / 2] &= value & kErasedWord;
}

void DsPic30Memory::EraseRow(uint32_t address) {
  const uint32_t first = address / 2 / kRowWords * kRowWords;
  const uint32_t end = std::min<uint32_t>(first + kRowWords, geometry_.programWords);
  if (first < end) std::fill(program_.begin() + first, program_.begin() + end, kErasedWord);
}

void DsPic30Memory::WriteEepromWord(uint32_t address, uint16_t value) {
  if (IsEeprom(address)) eeprom_[(address - EepromStart()) / 2] &= value;
}

void DsPic30Memory::EraseEepromWord(uint32_t address) {
  if (IsEeprom(address)) eeprom_[(address - EepromStart()) / 2] = 0xFFFF;
}

void DsPic30Memory::EraseEepromAll() {
  std::ranges::fill(eeprom_, 0xFFFF);
}

void DsPic30Memory::WriteConfiguration(uint32_t index, uint16_t value) {
  if (index < kConfigurationCount) config_[index] = value & geometry_.configMasks[index];
}

void DsPic30Memory::BulkErase() {
  std::ranges::fill(program_, kErasedWord);
  EraseEepromAll();
  for (uint32_t index : {kFbs, kFss, kFgs}) config_[index] = geometry_.configMasks[index];
}

bool DsPic30Memory::IsRam(uint32_t dataAddress) const {
  return dataAddress >= kRamStart && dataAddress - kRamStart < ram_.size();
}

uint8_t DsPic30Memory::ReadRam(uint32_t dataAddress) const {
  if (IsAbsent()) return static_cast<uint8_t>(AbsentLevel());
  return IsRam(dataAddress) ? ram_[dataAddress - kRamStart] : 0x00;
}

void DsPic30Memory::WriteRam(uint32_t dataAddress, uint8_t value) {
  if (IsRam(dataAddress)) ram_[dataAddress - kRamStart] = value;
}

}  // namespace velmora::sim
