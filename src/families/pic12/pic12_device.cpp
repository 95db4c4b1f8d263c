#include "families/pic12/pic12_device.h"

#include <algorithm>
#include <vector>

#include "memory/catalogue.h"

namespace velmora {

namespace {

constexpr uint8_t kDeviceParameters[] = {0x1F, 0x03, 0x18, 0x0A};
constexpr uint8_t kReadAll = 0x41;
constexpr uint8_t kWriteConfigHigh = 0x42;
constexpr uint8_t kEraseEeprom = 0x43;
constexpr uint8_t kWriteProgram = 0x44;
constexpr uint8_t kEraseProgram = 0x45;
constexpr uint8_t kWriteConfigArea = 0x46;
constexpr uint8_t kWriteEeprom = 0x47;

// 0x41 asks for 0x0400 program words and 0x80 EEPROM bytes; the configuration memory follows.
constexpr uint8_t kReadAllOperands[] = {kReadAll, 0x00, 0x04, 0x80};
constexpr uint32_t kReadProgramBytes = 2048;
constexpr uint32_t kReadEepromBytes = 128;
constexpr uint32_t kReadAllBytes =
    kReadProgramBytes + kReadEepromBytes + pic12cell::kConfigAreaCells;
constexpr size_t kReadChunk = 512;
constexpr size_t kWriteChunk = 128;
constexpr size_t kEepromReadChunk = 8;

uint8_t CellByte(int32_t cell) {
  return static_cast<uint8_t>(cell < 0 ? 0xFF : cell & 0xFF);
}

}  // namespace

int32_t Pic12Word(const CMCUMemoryArchitecture& image, uint32_t firstCell) {
  const int32_t low = image.programMemory[firstCell];
  const int32_t high = image.programMemory[firstCell + 1];
  if (low < 0 && high < 0) return -1;
  return CellByte(high) << 8 | CellByte(low);
}

void SetPic12Word(CMCUMemoryArchitecture& image, uint32_t firstCell, uint16_t word) {
  image.programMemory[firstCell] = word & 0xFF;
  image.programMemory[firstCell + 1] = word >> 8;
}

bool IsRetlw(int32_t word) {
  return word >= 0 && ((word >> 8) & 0x3C) == 0x34;
}

bool CPic12Device::RequirePic12Device() const {
  const CMCUMemoryArchitecture& file = link_.fileImage;
  return file.blockSize != 0 && file.family == Family::kPic12 && file.programSize > 0;
}

bool CPic12Device::WriteInChunks(const uint8_t* bytes, size_t count, size_t chunk) {
  for (size_t sent = 0; sent < count; sent += chunk) {
    const size_t n = std::min(chunk, count - sent);
    if (!link_.WriteCommandBytes(std::span<const uint8_t>(bytes + sent, n))) return false;
    link_.ReportProgress(static_cast<int32_t>((sent + n) * 1000 / count));
  }
  return true;
}

int CPic12Device::ReadAllPic12() {
  link_.ResetCursors();
  CMCUMemoryArchitecture& chip = link_.chipImage;
  CMCUMemoryArchitecture& file = link_.fileImage;
  std::vector<uint8_t> reply;
  reply.reserve(kReadAllBytes);
  bool read = link_.WriteCommandBytes(kReadAllOperands);
  while (read && reply.size() < kReadAllBytes) {
    const size_t n = std::min(kReadChunk, kReadAllBytes - reply.size());
    const uint8_t* bytes = link_.ReadReply(n);
    read = bytes != nullptr;
    if (read) reply.insert(reply.end(), bytes, bytes + n);
    link_.ReportProgress(static_cast<int32_t>(reply.size() * 1000 / kReadAllBytes));
  }
  if (!read) {
    LookupPic12Device(file, 0xFF, 0xFF);  // nothing identified from a broken read
    return 0;
  }
  link_.ReportProgress(1000);
  for (uint32_t i = 0; i < kReadProgramBytes; ++i) chip.programMemory[i] = reply[i];
  for (uint32_t e = 0; e < kReadEepromBytes; ++e) {
    chip.programMemory[pic12cell::kEeprom + 2 * e] = reply[kReadProgramBytes + e];
    chip.programMemory[pic12cell::kEeprom + 2 * e + 1] = 0;
  }
  const uint32_t area = kReadProgramBytes + kReadEepromBytes;
  for (uint32_t i = 0; i < pic12cell::kConfigAreaCells; ++i) {
    chip.programMemory[pic12cell::kConfigArea + i] = reply[area + i];
  }
  return LookupPic12Device(file, CellByte(chip.programMemory[pic12cell::kDeviceId]),
                           CellByte(chip.programMemory[pic12cell::kDeviceId + 1]));
}

int CPic12Device::WriteProgramPic12() {
  if (!RequirePic12Device()) return 0;
  link_.ResetCursors();
  if (!link_.WriteCommandBytes(kDeviceParameters)) return 0;
  link_.Clock().Sleep(1);
  const CMCUMemoryArchitecture& file = link_.fileImage;
  const auto words = static_cast<uint32_t>(file.programSize);
  std::vector<uint8_t> data(2 * words);
  for (uint32_t i = 0; i < data.size(); ++i) data[i] = CellByte(file.programMemory[i]);
  const uint8_t header[] = {kWriteProgram, static_cast<uint8_t>(words & 0xFF),
                            static_cast<uint8_t>(words >> 8)};
  if (!link_.WriteCommandBytes(header) || !WriteInChunks(data.data(), data.size(), kWriteChunk)) {
    return 0;
  }
  const uint8_t* reply = link_.ReadReply(data.size());
  if (!reply) return 0;
  CMCUMemoryArchitecture& chip = link_.chipImage;
  for (uint32_t i = 0; i < data.size(); ++i) chip.programMemory[i] = reply[i];
  return 1;
}

int CPic12Device::RestoreCalibrationPic12(uint16_t calibrationWord) {
  if (!RequirePic12Device()) return 0;
  link_.ResetCursors();
  const auto words = static_cast<uint32_t>(link_.fileImage.programSize);
  std::vector<uint8_t> command(3 + 2 * words, 0xFF);
  command[0] = kWriteProgram;
  command[1] = static_cast<uint8_t>(words & 0xFF);
  command[2] = static_cast<uint8_t>(words >> 8);
  command[command.size() - 2] = static_cast<uint8_t>(calibrationWord & 0xFF);
  command[command.size() - 1] = static_cast<uint8_t>(calibrationWord >> 8);
  if (!link_.WriteCommandBytes(command)) return 0;
  return link_.ReadReply(2 * words) ? 1 : 0;
}

int CPic12Device::WriteEepromPic12() {
  if (!RequirePic12Device()) return 0;
  const CMCUMemoryArchitecture& file = link_.fileImage;
  const auto count = static_cast<uint32_t>(file.eepromSize);
  if (count == 0 || count > 256) return 0;
  link_.ResetCursors();
  std::vector<uint8_t> command{kWriteEeprom, static_cast<uint8_t>(count - 1)};
  for (uint32_t e = 0; e < count; ++e) {
    command.push_back(CellByte(file.programMemory[pic12cell::kEeprom + 2 * e]));
  }
  if (!link_.WriteCommandBytes(command)) return 0;
  CMCUMemoryArchitecture& chip = link_.chipImage;
  for (uint32_t e = 0; e < count; e += kEepromReadChunk) {
    const uint32_t n = std::min<uint32_t>(kEepromReadChunk, count - e);
    const uint8_t* reply = link_.ReadReply(n);
    if (!reply) return 0;
    for (uint32_t k = 0; k < n; ++k) {
      chip.programMemory[pic12cell::kEeprom + 2 * (e + k)] = reply[k];
      chip.programMemory[pic12cell::kEeprom + 2 * (e + k) + 1] = 0;
    }
    link_.ReportProgress(static_cast<int32_t>((e + n) * 1000 / count));
  }
  return 1;
}

int CPic12Device::WriteConfigAreaPic12() {
  if (!RequirePic12Device()) return 0;
  link_.ResetCursors();
  std::vector<uint8_t> command{kWriteConfigArea, 0x44, 0x08, 0x00};
  for (uint32_t i = 0; i < pic12cell::kConfigAreaCells; ++i) {
    command.push_back(CellByte(link_.fileImage.programMemory[pic12cell::kConfigArea + i]));
  }
  if (!link_.WriteCommandBytes(command)) return 0;
  const uint8_t* reply = link_.ReadReply(pic12cell::kConfigAreaCells);
  if (!reply) return 0;
  for (uint32_t i = 0; i < pic12cell::kConfigAreaCells; ++i) {
    link_.chipImage.programMemory[pic12cell::kConfigArea + i] = reply[i];
  }
  return 1;
}

int CPic12Device::SendConfigHighByte(uint8_t highByte) {
  link_.ResetCursors();
  return link_.WriteCommandBytes({kWriteConfigHigh, static_cast<uint8_t>(highByte | 0x01)}) ? 1 : 0;
}

int CPic12Device::ErasePic12Program() {
  link_.ResetCursors();
  if (!link_.WriteCommandByte(kEraseProgram)) return 0;
  const uint8_t* reply = link_.ReadReply(1);
  return reply && reply[0] == 1 ? 1 : 0;
}

int CPic12Device::ErasePic12Eeprom() {
  link_.ResetCursors();
  return link_.WriteCommandByte(kEraseEeprom) ? 1 : 0;
}

}  // namespace velmora
