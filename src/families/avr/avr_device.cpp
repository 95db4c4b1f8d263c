// The ATmega primitives over the full programmer's firmware commands:
// 0x30 signature, 0x1F device parameter, 0x32 chip erase, 0x2F/0x38/0x3A page writes,
// 0x31/0x36/0x3B flash reads, 0x34/0x35 EEPROM, 0x33 raw serial instructions, 0x39 serial clock.
#include "families/avr/avr_device.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <vector>

#include "memory/catalogue.h"

namespace velmora {

namespace {

constexpr uint8_t kDeviceParameter = 0x1F;
constexpr uint8_t kReadSignature = 0x30;
constexpr uint8_t kChipErase = 0x32;
constexpr uint8_t kRawInstruction = 0x33;
constexpr uint8_t kReadEeprom = 0x34;
constexpr uint8_t kWriteEeprom = 0x35;
constexpr uint8_t kClockOutput = 0x37;
constexpr uint8_t kSerialClock = 0x39;
constexpr uint8_t kWritePage[3] = {0x2F, 0x38, 0x3A};
constexpr uint8_t kReadFlash[3] = {0x31, 0x36, 0x3B};
constexpr size_t kFlashReadChunk = 1024;
constexpr size_t kEepromChunk = 256;
// Above 64 K words a page address needs the Load Extended Address byte (M2560 T163).
constexpr int32_t kExtendedAddressBytes = 0x20000;

bool Blank(int32_t cell) {
  return cell == kBlankCell;
}

uint8_t Low(int32_t cell) {
  return Blank(cell) ? 0xFF : static_cast<uint8_t>(cell & 0xFF);
}

int HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return c >= 'A' && c <= 'F' ? c - 'A' + 10 : -1;
}

}  // namespace

const AvrDevice* CAvrDevice::Row() const {
  const CMCUMemoryArchitecture& file = link_.fileImage;
  if (file.family != Family::kAvr || file.deviceIndex <= 0 || file.deviceIndex > kAvrDeviceRows)
    return nullptr;
  return &kAvrDevices[file.deviceIndex];
}

bool CAvrDevice::HasExtendedFuse() const {
  const AvrDevice* row = Row();
  return AvrHasExtendedFuse(row ? *row : kAvrDevices[0]);
}

bool CAvrDevice::RequireAvrDevice() {
  const CMCUMemoryArchitecture& file = link_.fileImage;
  if (file.blockSize != 0 && file.family == Family::kAvr) return true;
  link_.Prompt().MessageBox("No AVR device detected.\nCannot continue...", "Programmer Error",
                            mb::kOk | mb::kErrorAlert);
  return false;
}

int CAvrDevice::SelectSerialClock(int slow) {
  link_.ResetCursors();
  return link_.WriteCommandBytes({kSerialClock, static_cast<uint8_t>(slow ? 1 : 0)}) ? 1 : 0;
}

int CAvrDevice::ClockOutput(int on) {
  link_.ResetCursors();
  return link_.WriteCommandBytes({kClockOutput, static_cast<uint8_t>(on ? 1 : 0)}) ? 1 : 0;
}

int CAvrDevice::EnterAtmega(bool slowClock) {
  SelectSerialClock(slowClock ? 1 : 0);
  return link_.EnterSerialProgramming(0) == 1 && !link_.linkLost ? 1 : 0;
}

std::optional<uint8_t> CAvrDevice::SerialInstruction(uint8_t b0, uint8_t b1, uint8_t b2,
                                                     uint8_t b3) {
  link_.ResetCursors();
  if (!link_.WriteCommandBytes({kRawInstruction, b0, b1, b2, b3})) return std::nullopt;
  const uint8_t* reply = link_.ReadReply(1);
  if (!reply) return std::nullopt;
  return reply[0];
}

int CAvrDevice::IdentifyAtmega() {
  CMCUMemoryArchitecture& file = link_.fileImage;
  link_.ResetCursors();
  std::fill_n(signature_, 3, 0xFF);
  const uint8_t* read = link_.WriteCommandByte(kReadSignature) ? link_.ReadReply(3) : nullptr;
  if (read) std::copy_n(read, 3, signature_);
  uint8_t signature[3] = {signature_[0], signature_[1], signature_[2]};
  if (read && signature[0] == 0xFF && signature[1] == 0xFF && signature[2] == 0xFF &&
      link_.avrInSync == 1) {
    if (askForSignature != 0 && signatureDialogAnswer == 0) {
      const SignatureBytesEntry entry = link_.Prompt().AskSignatureBytes(
          {.signatureText = defaultSignatureText, .doNotAskAgain = signatureDialogAnswer != 0});
      defaultSignatureText = entry.signatureText;
      signatureDialogAnswer = entry.doNotAskAgain ? 1 : 0;
      useDefaultSignature = 1;
    }
    if (defaultSignatureText.size() == 6 && useDefaultSignature == 1) {
      for (int i = 0; i < 3; ++i) {
        const int high = HexDigit(defaultSignatureText[2 * i]);
        const int low = HexDigit(defaultSignatureText[2 * i + 1]);
        signature[i] = static_cast<uint8_t>(std::max(0, high) << 4 | std::max(0, low));
      }
    }
  }
  const int row = LookupAvrDevice(file, signature);
  const AvrDevice& device = kAvrDevices[row];
  for (int i = 0; i < 4; ++i) link_.chipImage.configuration[i] = device.fuses[i].factory;
  if (row != 0) {
    link_.ResetCursors();
    link_.WriteCommandBytes({kDeviceParameter, static_cast<uint8_t>(device.algorithm)});
    link_.Clock().Sleep(1);
  }
  return link_.linkLost ? 0 : row;
}

int CAvrDevice::ChipEraseAtmega() {
  link_.ResetCursors();
  if (!link_.WriteCommandByte(kChipErase)) return 0;
  return link_.ReadReply(1) ? 1 : 0;
}

int CAvrDevice::WriteFlashPages() {
  const CMCUMemoryArchitecture& file = link_.fileImage;
  const int32_t pageBytes = 2 * file.blockSize;
  if (pageBytes <= 0 || file.programSize <= 0) return 0;
  const uint8_t command = kWritePage[std::clamp(avrFlashMethod, 0, 2)];
  int32_t extended = -1;
  for (int32_t b = 0; b < file.programSize; b += pageBytes) {
    int32_t first = -1;
    for (int32_t k = 0; k < pageBytes && b + k < file.programSize; ++k) {
      if (Low(file.programMemory[b + k]) != 0xFF) {
        first = b + k;
        break;
      }
    }
    if (first < 0) continue;
    if (file.programSize > kExtendedAddressBytes && first >> 17 != extended) {
      // The firmware's trailer holds 16 address bits; the part remembers the extended byte.
      extended = first >> 17;
      if (!SerialInstruction(0x4D, 0x00, static_cast<uint8_t>(extended), 0x00)) return 0;
    }
    link_.ResetCursors();
    link_.AppendByte(command);
    link_.AppendByte(static_cast<uint8_t>(file.blockSize & 0xFF));
    for (int32_t k = 0; k < pageBytes; ++k) {
      link_.AppendByte(b + k < file.programSize ? Low(file.programMemory[b + k]) : 0xFF);
    }
    // The whole word address: masking the high byte with 0x7F (as the original did) sent every
    // page above 64 KB of a 128 KB part into the lower half.
    link_.AppendByte(static_cast<uint8_t>((first >> 9) & 0xFF));
    link_.AppendByte(static_cast<uint8_t>((first >> 1) & 0xFF));
    link_.AppendByte(first & 1 ? 0x28 : 0x20);
    if (!link_.WriteAppended()) return 0;
    link_.ReportProgress(static_cast<int32_t>(int64_t{b} * 1000 / file.programSize));
  }
  return Result();
}

int CAvrDevice::ReadFlashRange(int start, int end) {
  if (!RequireAvrDevice()) return 0;
  const CMCUMemoryArchitecture& file = link_.fileImage;
  if (start < 0) start = 0;
  if (end < 0) end = file.programSize;
  start &= ~1;
  end = (end + 1) & ~1;
  if (end <= start) return Result();
  link_.ResetCursors();
  link_.AppendByte(kReadFlash[std::clamp(avrFlashMethod, 0, 2)]);
  link_.AppendLittleEndian(static_cast<uint32_t>(start / 2), 3);
  link_.AppendLittleEndian(static_cast<uint32_t>((end - start) / 2), 3);
  if (!link_.WriteAppended()) return 0;
  int32_t* cells = link_.chipImage.programMemory;
  for (int32_t position = start; position < end;) {
    const size_t count = std::min<size_t>(kFlashReadChunk, static_cast<size_t>(end - position));
    const uint8_t* bytes = link_.ReadReply(count);
    if (!bytes) return 0;
    std::copy_n(bytes, count, cells + position);
    position += static_cast<int32_t>(count);
    link_.ReportProgress(
        static_cast<int32_t>(int64_t{position} * 1000 / std::max(1, file.programSize)));
  }
  return 1;
}

int CAvrDevice::ReadFlash() {
  if (!RequireAvrDevice()) return 0;
  const CMCUMemoryArchitecture& file = link_.fileImage;
  for (int32_t i = 0; i < file.programSize;) {
    if (Blank(file.programMemory[i])) {
      ++i;
      continue;
    }
    int32_t end = i;
    while (end < file.programSize && !Blank(file.programMemory[end])) ++end;
    if (!ReadFlashRange(i, end)) return 0;
    i = end;
  }
  return Result();
}

int CAvrDevice::ReadEepromAtmega() {
  if (!RequireAvrDevice()) return 0;
  const int32_t count = link_.fileImage.eepromSize;
  if (count <= 0) return 1;
  link_.ResetCursors();
  link_.AppendByte(kReadEeprom);
  link_.AppendByte(0x00);
  link_.AppendByte(0x00);
  link_.AppendLittleEndian(static_cast<uint32_t>(count), 2);
  if (!link_.WriteAppended()) return 0;
  for (int32_t position = 0; position < count;) {
    const size_t chunk = std::min<size_t>(kEepromChunk, static_cast<size_t>(count - position));
    const uint8_t* bytes = link_.ReadReply(chunk);
    if (!bytes) return 0;
    std::copy_n(bytes, chunk, link_.chipImage.eeprom + position);
    position += static_cast<int32_t>(chunk);
    link_.ReportProgress(static_cast<int32_t>(int64_t{position} * 1000 / count));
  }
  return 1;
}

int CAvrDevice::WriteEepromAtmega() {
  if (!RequireAvrDevice()) return 0;
  const int32_t count = link_.fileImage.eepromSize;
  if (count <= 0) return 1;
  link_.ResetCursors();
  link_.AppendByte(kWriteEeprom);
  link_.AppendByte(0x00);
  link_.AppendByte(0x00);
  link_.AppendLittleEndian(static_cast<uint32_t>(count), 2);
  if (!link_.WriteAppended()) return 0;
  const int32_t* cells = link_.fileImage.eeprom;
  for (int32_t start = 0; start < count; start += static_cast<int32_t>(kEepromChunk)) {
    const int32_t cellsInChunk =
        std::min<int32_t>(static_cast<int32_t>(kEepromChunk), count - start);
    std::vector<uint8_t> code;
    code.reserve(2 * static_cast<size_t>(cellsInChunk));
    for (int32_t i = start; i < start + cellsInChunk; ++i) {
      if (Blank(cells[i])) {
        code.push_back(0x01);
      } else {
        code.push_back(0x00);
        code.push_back(static_cast<uint8_t>(cells[i] & 0xFF));
      }
    }
    if (!link_.WriteCommandBytes(code)) return 0;
    if (cellsInChunk % 16 == 0) {
      link_.ReportProgress(static_cast<int32_t>(int64_t{start} * 1000 / count));
    }
  }
  return Result();
}

int CAvrDevice::ReadFuses() {
  int32_t* chip = link_.chipImage.configuration;
  link_.ResetCursors();
  if (!link_.WriteCommandBytes(
          {kRawInstruction, 0x50, 0x00, 0x00, 0x00, kRawInstruction, 0x58, 0x08, 0x00, 0x00})) {
    return 0;
  }
  const uint8_t* lowHigh = link_.ReadReply(2);
  if (!lowHigh) return 0;
  chip[0] = lowHigh[0];
  chip[1] = lowHigh[1];
  if (HasExtendedFuse()) {
    const std::optional<uint8_t> extended = SerialInstruction(0x50, 0x08, 0x00, 0x00);
    if (!extended) return 0;
    chip[2] = *extended;
  } else {
    chip[2] = link_.fileImage.configuration[2];
  }
  const std::optional<uint8_t> lock = SerialInstruction(0x58, 0x00, 0x00, 0xFF);
  if (!lock) return 0;
  chip[3] = *lock;
  return 1;
}

int CAvrDevice::WriteFuses() {
  const int32_t* file = link_.fileImage.configuration;
  const auto low = static_cast<uint8_t>(file[0] & 0xFF);
  const auto high = static_cast<uint8_t>(file[1] & 0xFF);
  link_.ResetCursors();
  if (!link_.WriteCommandBytes(
          {kRawInstruction, 0xAC, 0xA0, 0x00, low, kRawInstruction, 0xAC, 0xA8, 0x00, high}) ||
      !link_.ReadReply(2)) {
    return 0;
  }
  if (HasExtendedFuse()) {
    const auto extended = static_cast<uint8_t>(file[2] & 0xFF);
    link_.ResetCursors();
    if (!link_.WriteCommandBytes({kRawInstruction, 0xAC, 0xA4, 0x00, extended, kRawInstruction,
                                  0xAC, 0xA8, 0x00, high}) ||
        !link_.ReadReply(2)) {
      return 0;
    }
  }
  return 1;
}

int CAvrDevice::WriteLockBits() {
  const auto lock = static_cast<uint8_t>((link_.fileImage.configuration[3] | 0xC0) & 0xFF);
  return SerialInstruction(0xAC, 0xE0, 0x00, lock) ? 1 : 0;
}

int CAvrDevice::ReadCalibrationBytes() {
  link_.ResetCursors();
  for (uint8_t i = 0; i < 4; ++i) {
    for (uint8_t byte : {kRawInstruction, uint8_t{0x38}, uint8_t{0x00}, i, uint8_t{0x00}}) {
      link_.AppendByte(byte);
    }
  }
  if (!link_.WriteAppended()) return 0;
  const uint8_t* bytes = link_.ReadReply(4);
  if (!bytes) return 0;
  for (int i = 0; i < 4; ++i) link_.chipImage.configuration[4 + i] = bytes[i];
  return 1;
}

int CAvrDevice::LoadDefaultFuses() {
  const AvrDevice* row = Row();
  const AvrDevice& device = row ? *row : kAvrDevices[0];
  for (int i = 0; i < 4; ++i) link_.fileImage.configuration[i] = device.fuses[i].factory;
  return 1;
}

int CAvrDevice::FindEepromMismatchAvr() const {
  const CMCUMemoryArchitecture& file = link_.fileImage;
  for (int32_t i = 0; i < file.eepromSize; ++i) {
    if (!Blank(file.eeprom[i]) && (file.eeprom[i] & 0xFF) != (link_.chipImage.eeprom[i] & 0xFF))
      return i;
  }
  return -1;
}

}  // namespace velmora
