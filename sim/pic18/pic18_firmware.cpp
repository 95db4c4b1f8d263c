// The firmware commands are written out here again on purpose, apart from the product's PIC18
// primitives (src/families/pic18): this model is the oracle they are tested against, and a model
// that shared their constants would agree with their mistakes.
#include "pic18_firmware.h"

#include <algorithm>

namespace velmora::sim {

namespace {

namespace cmd {
constexpr uint8_t kDeviceParameters = 0x1F;
constexpr uint8_t kParameterBlock = 0x21;
constexpr uint8_t kReadProgram = 0x22;
constexpr uint8_t kReadEeprom = 0x23;
constexpr uint8_t kReadRam = 0x24;
constexpr uint8_t kBulkErase = 0x25;
constexpr uint8_t kEraseEeprom = 0x26;
constexpr uint8_t kEraseRow = 0x27;
constexpr uint8_t kErasePanels = 0x28;
constexpr uint8_t kWriteProgram = 0x29;
constexpr uint8_t kWriteEeprom = 0x2A;
constexpr uint8_t kWriteId = 0x2B;
constexpr uint8_t kWriteConfiguration = 0x2C;
constexpr uint8_t kWriteBlock = 0x2D;
constexpr uint8_t kHoldTarget = 0x80;
constexpr uint8_t kReleaseTarget = 0x8C;
}  // namespace cmd

uint32_t LittleEndian(std::span<const uint8_t> bytes) {
  uint32_t value = 0;
  for (size_t i = bytes.size(); i-- > 0;) value = value << 8 | bytes[i];
  return value;
}

}  // namespace

bool Pic18Firmware::Serves(uint8_t command) {
  return command == cmd::kDeviceParameters ||
         (command >= cmd::kParameterBlock && command <= cmd::kWriteBlock) ||
         command == cmd::kHoldTarget || command == cmd::kReleaseTarget;
}

size_t Pic18Firmware::MissingBytes(std::span<const uint8_t> received) const {
  if (received.empty()) return 1;
  size_t total = 1;
  switch (received[0]) {
    case cmd::kDeviceParameters:
      total = 1 + 3;
      break;
    case cmd::kParameterBlock:
      total = received.size() < 2 ? 2 : 2 + size_t{received[1]};
      break;
    case cmd::kWriteProgram:
      total = 1 + ProgramImageBytes();
      break;
    case cmd::kWriteEeprom:
      total = 1 + BlockCount();
      break;
    case cmd::kWriteId:
      total = 1 + pic18addr::kIdLocationCount;
      break;
    case cmd::kWriteConfiguration:
      total = 1 + pic18addr::kConfigurationCount;
      break;
    case cmd::kWriteBlock:
      total = 1 + EraseBlockSize();
      break;
    default:
      break;
  }
  return received.size() >= total ? 0 : total - received.size();
}

std::vector<uint8_t> Pic18Firmware::Execute(std::span<const uint8_t> command) {
  if (command.empty()) return {};
  const auto operands = command.subspan(1);
  const std::vector<uint8_t> ack{kAcknowledge};
  switch (command[0]) {
    case cmd::kDeviceParameters:
      std::copy_n(operands.begin(), std::min<size_t>(3, operands.size()), deviceParameters_);
      return {};
    case cmd::kParameterBlock:
      block_.assign(operands.begin(), operands.end());
      return {};
    case cmd::kReadProgram:
      return ReadProgramSpace();
    case cmd::kReadEeprom:
      return ReadEepromBytes();
    case cmd::kReadRam:
      return ReadRamBytes();
    case cmd::kBulkErase:
      memory_.EraseChip();
      return ack;
    case cmd::kEraseEeprom:
      memory_.EraseEeprom();
      return ack;
    case cmd::kEraseRow:
      memory_.EraseRow(BlockAddress());
      return ack;
    case cmd::kErasePanels:
      // Boot block and every program panel; data EEPROM, ID and configuration stay.
      memory_.EraseProgramRange(0, memory_.geometry().programSize);
      return ack;
    case cmd::kWriteProgram:
      WriteProgramImage(operands);
      return ack;
    case cmd::kWriteEeprom:
      WriteEepromBytes(operands);
      return ack;
    case cmd::kWriteId:
      WriteIdLocations(operands);
      return ack;
    case cmd::kWriteConfiguration:
      WriteConfiguration(operands);
      return ack;
    case cmd::kWriteBlock:
      WriteOneBlock(operands);
      return ack;
    default:  // 0x80 / 0x8C: line control only
      return {};
  }
}

void Pic18Firmware::ResetCycle() {
  block_.clear();
  std::fill_n(deviceParameters_, 3, 0);
}

// Parameter block layouts by length: 8 = address LE32, count LE32; 6 = address LE32,
// count LE16; 4 = address LE32; 3 = address LE24; 11 = program-write layout.
uint32_t Pic18Firmware::BlockAddress() const {
  if (block_.empty()) return 0;
  const std::span<const uint8_t> bytes(block_.begin() + 1, block_.end());
  switch (block_[0]) {
    case 8:
    case 6:
    case 4:
      return bytes.size() >= 4 ? LittleEndian(bytes.first(4)) : 0;
    case 3:
      return bytes.size() >= 3 ? LittleEndian(bytes.first(3)) : 0;
    default:
      return 0;
  }
}

uint32_t Pic18Firmware::BlockCount() const {
  if (block_.empty()) return 0;
  const std::span<const uint8_t> bytes(block_.begin() + 1, block_.end());
  if (block_[0] == 8 && bytes.size() >= 8) return LittleEndian(bytes.subspan(4, 4));
  if (block_[0] == 6 && bytes.size() >= 6) return LittleEndian(bytes.subspan(4, 2));
  return 0;
}

// Layout of the 11-byte block: 4 x 0, loads LE16, 2 x 0, panels, panels x write buffer,
// panel size >> 8.
size_t Pic18Firmware::ProgramImageBytes() const {
  if (block_.size() < 12 || block_[0] != 11) return 0;
  const uint32_t loads = block_[5] | block_[6] << 8;
  return size_t{loads} * block_[10];
}

uint32_t Pic18Firmware::EraseBlockSize() const {
  return deviceParameters_[1] ? deviceParameters_[1] : memory_.geometry().eraseBlock;
}

std::vector<uint8_t> Pic18Firmware::ReadProgramSpace() {
  const uint32_t address = BlockAddress();
  std::vector<uint8_t> reply(BlockCount());
  for (uint32_t i = 0; i < reply.size(); ++i) reply[i] = memory_.ReadTable(address + i);
  return reply;
}

std::vector<uint8_t> Pic18Firmware::ReadEepromBytes() {
  std::vector<uint8_t> reply(BlockCount());
  for (uint32_t i = 0; i < reply.size(); ++i) reply[i] = memory_.ReadEeprom(i);
  return reply;
}

std::vector<uint8_t> Pic18Firmware::ReadRamBytes() {
  std::vector<uint8_t> reply(BlockCount());
  for (uint32_t i = 0; i < reply.size(); ++i) reply[i] = memory_.ReadRam(i);
  return reply;
}

// The image arrives panel-interleaved: for each load, each panel's write buffer in turn.
void Pic18Firmware::WriteProgramImage(std::span<const uint8_t> data) {
  const uint32_t loads = block_[5] | block_[6] << 8;
  const uint32_t panels = block_[9] ? block_[9] : 1;
  const uint32_t buffer = block_[10] / panels;
  const uint32_t panelSize = uint32_t{block_[11]} << 8;
  size_t next = 0;
  for (uint32_t load = 0; load < loads; ++load) {
    for (uint32_t panel = 0; panel < panels; ++panel) {
      const uint32_t base = panel * panelSize + load * buffer;
      for (uint32_t k = 0; k < buffer && next < data.size(); ++k) {
        memory_.ProgramFlash(base + k, data[next++]);
      }
    }
  }
}

void Pic18Firmware::WriteEepromBytes(std::span<const uint8_t> data) {
  const uint32_t address = BlockAddress();
  for (uint32_t i = 0; i < data.size(); ++i) memory_.WriteEeprom(address + i, data[i]);
}

void Pic18Firmware::WriteIdLocations(std::span<const uint8_t> data) {
  for (uint32_t i = 0; i < data.size(); ++i) {
    memory_.ProgramFlash(pic18addr::kIdLocations + i, data[i]);
  }
}

void Pic18Firmware::WriteConfiguration(std::span<const uint8_t> data) {
  for (uint32_t i = 0; i < data.size(); ++i) memory_.WriteConfiguration(i, data[i]);
}

void Pic18Firmware::WriteOneBlock(std::span<const uint8_t> data) {
  const uint32_t address = BlockAddress();
  memory_.EraseRow(address);
  for (uint32_t i = 0; i < data.size(); ++i) memory_.ProgramFlash(address + i, data[i]);
}

}  // namespace velmora::sim
