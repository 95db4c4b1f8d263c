#include "pic18_memory.h"

#include <algorithm>

namespace velmora::sim {

using namespace pic18addr;

Pic18Memory::Pic18Memory(const Pic18Geometry& geometry, uint8_t revision)
    : geometry_(geometry),
      revision_(revision & 0x1F),
      program_(geometry.programSize, 0xFF),
      id_(kIdLocationCount, 0xFF),
      config_(kConfigurationCount),
      eeprom_(geometry.eepromSize, 0xFF),
      ram_(geometry.ramSize, 0x00) {
  for (uint32_t i = 0; i < kConfigurationCount; ++i) config_[i] = geometry_.configMasks[i];
}

uint16_t Pic18Memory::DeviceIdWithRevision() const {
  return static_cast<uint16_t>((geometry_.deviceId & 0xFFE0) | revision_);
}

uint8_t Pic18Memory::WithFaults(uint32_t imageAddress, uint8_t value) const {
  for (const StuckBit& stuck : stuckBits_) {
    if (stuck.address != imageAddress) continue;
    const uint8_t bit = static_cast<uint8_t>(1u << stuck.bit);
    value = stuck.level ? (value | bit) : (value & ~bit);
  }
  return value;
}

uint8_t Pic18Memory::ReadTable(uint32_t address) const {
  if (IsAbsent()) return AbsentLevel();
  if (address < program_.size()) return WithFaults(address, program_[address]);
  if (address - kIdLocations < kIdLocationCount) {
    return WithFaults(address, id_[address - kIdLocations]);
  }
  if (address - kConfiguration < kConfigurationCount) {
    return WithFaults(address, config_[address - kConfiguration]);
  }
  const uint16_t id = DeviceIdWithRevision();
  if (address == kDevId1) return static_cast<uint8_t>(id & 0xFF);
  if (address == kDevId2) return static_cast<uint8_t>(id >> 8);
  return 0x00;
}

uint8_t Pic18Memory::ReadEeprom(uint32_t address) const {
  if (IsAbsent()) return AbsentLevel();
  if (address >= eeprom_.size()) return 0x00;
  return WithFaults(kEepromImage + address, eeprom_[address]);
}

uint8_t Pic18Memory::ReadRam(uint32_t address) const {
  if (IsAbsent()) return AbsentLevel();
  return address < ram_.size() ? ram_[address] : 0x00;
}

void Pic18Memory::ProgramFlash(uint32_t address, uint8_t value) {
  if (IsAbsent()) return;
  if (address < program_.size()) {
    program_[address] &= value;
  } else if (address - kIdLocations < kIdLocationCount) {
    id_[address - kIdLocations] &= value;
  }
}

bool Pic18Memory::WriteConfiguration(uint32_t index, uint8_t value) {
  if (IsAbsent() || index >= kConfigurationCount) return false;
  const auto lost = std::find(lostConfigWrites_.begin(), lostConfigWrites_.end(), index);
  if (lost != lostConfigWrites_.end()) {
    lostConfigWrites_.erase(lost);
    return false;
  }
  config_[index] = value & geometry_.configMasks[index];
  return true;
}

void Pic18Memory::WriteEeprom(uint32_t address, uint8_t value) {
  if (IsAbsent() || address >= eeprom_.size()) return;
  eeprom_[address] = value;
}

void Pic18Memory::WriteRam(uint32_t address, uint8_t value) {
  if (IsAbsent() || address >= ram_.size()) return;
  ram_[address] = value;
}

void Pic18Memory::EraseChip() {
  if (IsAbsent()) return;
  std::ranges::fill(program_, 0xFF);
  std::ranges::fill(id_, 0xFF);
  for (uint32_t i = 0; i < kConfigurationCount; ++i) config_[i] = geometry_.configMasks[i];
  std::ranges::fill(eeprom_, 0xFF);
}

void Pic18Memory::EraseEeprom() {
  if (IsAbsent()) return;
  std::ranges::fill(eeprom_, 0xFF);
}

void Pic18Memory::EraseProgramRange(uint32_t begin, uint32_t end) {
  if (IsAbsent()) return;
  end = std::min<uint32_t>(end, static_cast<uint32_t>(program_.size()));
  if (begin < end) std::fill(program_.begin() + begin, program_.begin() + end, 0xFF);
}

void Pic18Memory::ErasePanel(uint32_t panel) {
  if (panel >= geometry_.panels) return;
  const uint32_t size = geometry_.PanelSize();
  EraseProgramRange(panel * size, (panel + 1) * size);
}

void Pic18Memory::EraseRow(uint32_t address) {
  if (IsAbsent()) return;
  if (address - kIdLocations < kIdLocationCount) {
    std::ranges::fill(id_, 0xFF);
    return;
  }
  const uint32_t row = geometry_.eraseBlock ? geometry_.eraseBlock : 64;
  const uint32_t begin = address / row * row;
  EraseProgramRange(begin, begin + row);
}

void Pic18Memory::FailConfigurationWriteOnce(uint32_t index) {
  lostConfigWrites_.push_back(index);
}

}  // namespace velmora::sim
