#include "families/pic10/pic10_device.h"

#include <algorithm>
#include <vector>

namespace velmora {

namespace {

constexpr uint8_t kDeviceParameters[] = {0x1F, 0x03, 0x08, 0x0E};
constexpr uint8_t kReadAll[] = {0x41, 0x00, 0x04, 0x80};
constexpr uint8_t kWriteProgram = 0x44;
constexpr uint8_t kErase = 0x49;
constexpr size_t kReadAllBytes = 2192;
constexpr size_t kReadChunk = 128;
constexpr size_t kWriteChunk = 128;
constexpr uint32_t kWordsBeyondProgram = 32;  // ID words, backup, reserved

uint8_t CellByte(int32_t cell) {
  return static_cast<uint8_t>(cell < 0 ? 0xFF : cell & 0xFF);
}

}  // namespace

int32_t Pic10Word(const CMCUMemoryArchitecture& image, uint32_t word) {
  const int32_t low = image.programMemory[2 * word];
  const int32_t high = image.programMemory[2 * word + 1];
  if (low < 0 && high < 0) return -1;
  return CellByte(high) << 8 | CellByte(low);
}

bool IsMovlw(int32_t word) {
  return word >= 0 && (word & 0x0F00) == 0x0C00 && word <= kPic10Blank;
}

int32_t Pic10CalibrationWord(const CMCUMemoryArchitecture& chip, int32_t programSize) {
  const int32_t backup = Pic10Word(chip, uint32_t(programSize + kPic10BackupOffset));
  if (IsMovlw(backup)) return backup;
  const int32_t word = Pic10Word(chip, uint32_t(programSize - 1));
  return IsMovlw(word) ? word : -1;
}

bool IsPic10BackupType(const CMCUMemoryArchitecture& image) {
  return image.family == Family::kPic10 && image.programSize != 256 && image.programSize != 512;
}

bool CPic10Device::ProgrammableType() const {
  const CMCUMemoryArchitecture& file = link_.fileImage;
  return file.family == Family::kPic10 && !IsPic10BackupType(file);
}

int CPic10Device::ReadAllPic10() {
  link_.ResetCursors();
  CMCUMemoryArchitecture& chip = link_.chipImage;
  const auto words = static_cast<uint32_t>(link_.fileImage.programSize) + kWordsBeyondProgram;
  std::vector<uint8_t> reply;
  bool read = link_.WriteCommandBytes(kReadAll);
  while (read && reply.size() < kReadAllBytes) {
    const size_t n = std::min(kReadChunk, kReadAllBytes - reply.size());
    const uint8_t* bytes = link_.ReadReply(n);
    read = bytes != nullptr;
    if (read) reply.insert(reply.end(), bytes, bytes + n);
    link_.ReportProgress(static_cast<int32_t>(reply.size() * 1000 / kReadAllBytes));
  }
  if (!read) return 0;
  link_.ReportProgress(1000);
  chip.configuration[0] = reply[0];
  chip.configuration[1] = reply[1] & 0x0F;
  for (uint32_t i = 0; i < 2 * words && 2 + i < reply.size(); ++i) {
    chip.programMemory[i] = reply[2 + i];
  }
  return chip.programMemory[1] < 0x10 ? 1 : 0;
}

bool CPic10Device::WriteWords(const std::vector<uint8_t>& data, bool storeReadBack) {
  const auto count = static_cast<uint32_t>(data.size() / 2);
  const uint8_t header[] = {kWriteProgram, static_cast<uint8_t>(count & 0xFF),
                            static_cast<uint8_t>(count >> 8)};
  if (!link_.WriteCommandBytes(header)) return false;
  for (size_t sent = 0; sent < data.size(); sent += kWriteChunk) {
    const size_t n = std::min(kWriteChunk, data.size() - sent);
    if (!link_.WriteCommandBytes(std::span<const uint8_t>(data.data() + sent, n))) return false;
    link_.ReportProgress(static_cast<int32_t>((sent + n) * 1000 / data.size()));
  }
  CMCUMemoryArchitecture& chip = link_.chipImage;
  if (storeReadBack) {
    // The compare sees only what this write reads back.
    chip.configuration[0] = chip.configuration[1] = kBlankCell;
    std::fill_n(chip.programMemory, data.size() - 2, kBlankCell);
  }
  const uint8_t* reply = link_.ReadReply(data.size());
  if (!reply) return false;
  if (storeReadBack) {
    chip.configuration[0] = reply[0];
    chip.configuration[1] = reply[1];
    for (size_t i = 2; i < data.size(); ++i) chip.programMemory[i - 2] = reply[i];
  }
  return true;
}

int CPic10Device::WritePic10() {
  if (!ProgrammableType()) return 0;
  link_.ResetCursors();
  if (!link_.WriteCommandBytes(kDeviceParameters)) return 0;
  link_.Clock().Sleep(1);
  CMCUMemoryArchitecture& file = link_.fileImage;
  const auto words = static_cast<uint32_t>(file.programSize);
  // The calibration is the chip's, never the file's; a chip that lost both copies keeps the
  // word erased rather than take whatever the file holds there.
  const int32_t calibration = Pic10CalibrationWord(link_.chipImage, file.programSize);
  const uint16_t last = calibration >= 0 ? static_cast<uint16_t>(calibration) : kPic10Blank;
  file.programMemory[2 * (words - 1)] = last & 0xFF;
  file.programMemory[2 * (words - 1) + 1] = last >> 8;
  std::vector<uint8_t> data{CellByte(file.configuration[0]), CellByte(file.configuration[1])};
  for (uint32_t i = 0; i < 2 * words; ++i) data.push_back(CellByte(file.programMemory[i]));
  return WriteWords(data, true) ? 1 : 0;
}

int CPic10Device::RestoreCalibrationPic10(uint16_t calibrationWord) {
  if (!ProgrammableType()) return 0;
  link_.ResetCursors();
  const auto words = static_cast<uint32_t>(link_.fileImage.programSize);
  std::vector<uint8_t> data(2 * (words + 1), 0xFF);
  data[data.size() - 2] = calibrationWord & 0xFF;
  data[data.size() - 1] = static_cast<uint8_t>(calibrationWord >> 8);
  return WriteWords(data, false) ? 1 : 0;
}

int CPic10Device::ErasePic10(int all) {
  if (!ProgrammableType()) return 0;
  link_.ResetCursors();
  const auto count = static_cast<uint32_t>(all ? link_.fileImage.programSize + 1 : 1);
  return link_.WriteCommandBytes(
             {kErase, static_cast<uint8_t>(count & 0xFF), static_cast<uint8_t>(count >> 8)})
             ? 1
             : 0;
}

}  // namespace velmora
