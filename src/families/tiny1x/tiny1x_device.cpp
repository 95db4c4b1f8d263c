// The ATtiny11/12 primitives over the full programmer's high-voltage serial commands:
// 0x3D signature, 0x3E one instruction (SDI byte, SII byte), 0x3F wait until the chip is ready.
// The SII bytes name what an instruction does: 4C load command, 1C/0C load address high/low,
// 2C/3C load data low/high, 64/74 write low/high byte, 68/78 read low/high byte, 6C/7C end of the
// write or read (the read byte comes out in this instruction's reply).
#include "families/tiny1x/tiny1x_device.h"

#include <algorithm>
#include <vector>

#include "memory/catalogue.h"

namespace velmora {

namespace {

constexpr uint8_t kReadSignature = 0x3D;
constexpr uint8_t kInstruction = 0x3E;
constexpr uint8_t kWaitReady = 0x3F;

// Commands loaded with SII 0x4C.
constexpr uint8_t kChipErase = 0x80;
constexpr uint8_t kWriteFuse = 0x40;
constexpr uint8_t kWriteLock = 0x20;
constexpr uint8_t kWriteFlash = 0x10;
constexpr uint8_t kWriteEeprom = 0x11;
constexpr uint8_t kReadFlash = 0x02;
constexpr uint8_t kReadEeprom = 0x03;
constexpr uint8_t kReadFuseLock = 0x04;
constexpr uint8_t kReadSignatureCalibration = 0x08;

constexpr size_t kMaxBytesPerWrite = 256;
constexpr int32_t kWordsPerProgress = 8;
constexpr uint32_t kFuseWriteMilliseconds = 10;

uint8_t Low(int32_t cell) {
  return cell == kBlankCell ? 0xFF : static_cast<uint8_t>(cell & 0xFF);
}

}  // namespace

bool CTiny1xDevice::RequireTinyDevice() {
  const CMCUMemoryArchitecture& file = link_.fileImage;
  if (file.blockSize != 0 && file.family == Family::kTiny1x) return true;
  link_.Prompt().MessageBox("No AVR device detected.\nCannot continue...", "Programmer Error",
                            mb::kOk | mb::kErrorAlert);
  return false;
}

void CTiny1xDevice::Append(std::initializer_list<Instruction> instructions) {
  for (const auto& [sdi, sii] : instructions) {
    link_.AppendByte(kInstruction);
    link_.AppendByte(sdi);
    link_.AppendByte(sii);
  }
}

void CTiny1xDevice::AppendWait() {
  link_.AppendByte(kWaitReady);
}

const uint8_t* CTiny1xDevice::Exchange(size_t replies) {
  if (!link_.WriteAppended()) return nullptr;
  return link_.ReadReply(replies);
}

int CTiny1xDevice::IdentifyTiny() {
  link_.ResetCursors();
  std::fill_n(signature_, 3, 0xFF);
  const uint8_t* read = link_.WriteCommandByte(kReadSignature) ? link_.ReadReply(3) : nullptr;
  if (read) std::copy_n(read, 3, signature_);
  const int row = LookupTiny1xDevice(link_.fileImage, signature_);
  return link_.linkLost ? 0 : row;
}

int CTiny1xDevice::ChipEraseTiny() {
  link_.ResetCursors();
  Append({{kChipErase, 0x4C}, {0x00, 0x64}, {0x00, 0x6C}, {0x00, 0x4C}});
  AppendWait();
  return Exchange(5) ? 1 : 0;
}

int CTiny1xDevice::ReadFlashTinyRange(int start, int end) {
  if (!RequireTinyDevice()) return 0;
  const CMCUMemoryArchitecture& file = link_.fileImage;
  if (start < 0) start = 0;
  if (end < 0) end = file.programSize;
  start &= ~1;
  end = (end + 1) & ~1;
  if (end <= start) return 1;
  link_.ResetCursors();
  for (int32_t address = start; address < end; address += 2) {
    Append({{kReadFlash, 0x4C},
            {static_cast<uint8_t>(address >> 9), 0x1C},
            {static_cast<uint8_t>(address >> 1), 0x0C},
            {0x00, 0x68},
            {0x00, 0x6C},
            {0x00, 0x78},
            {0x00, 0x7C}});
  }
  if (!link_.WriteAppended()) return 0;
  int32_t* cells = link_.chipImage.programMemory;
  for (int32_t address = start; address < end;) {
    const int32_t words = std::min(kWordsPerProgress, (end - address) / 2);
    const uint8_t* replies = link_.ReadReply(7 * static_cast<size_t>(words));
    if (!replies) return 0;
    for (int32_t w = 0; w < words; ++w, address += 2) {
      cells[address] = replies[7 * w + 4];
      cells[address + 1] = replies[7 * w + 6];
    }
    link_.ReportProgress(
        static_cast<int32_t>(int64_t{address} * 1000 / std::max(1, file.programSize)));
  }
  return 1;
}

int CTiny1xDevice::ReadFlashTiny() {
  if (!RequireTinyDevice()) return 0;
  const CMCUMemoryArchitecture& file = link_.fileImage;
  for (int32_t i = 0; i < file.programSize;) {
    if (file.programMemory[i] == kBlankCell) {
      ++i;
      continue;
    }
    int32_t end = i;
    while (end < file.programSize && file.programMemory[end] != kBlankCell) ++end;
    if (!ReadFlashTinyRange(i, end)) return 0;
    i = end;
  }
  return link_.linkLost ? 0 : 1;
}

int CTiny1xDevice::WriteFlashTiny() {
  const CMCUMemoryArchitecture& file = link_.fileImage;
  link_.ResetCursors();
  std::vector<uint8_t> stream;
  size_t words = 0;
  auto instruction = [&](uint8_t sdi, uint8_t sii) {
    stream.insert(stream.end(), {kInstruction, sdi, sii});
  };
  for (int32_t address = 0; address + 1 < file.programSize; address += 2) {
    const uint8_t low = Low(file.programMemory[address]);
    const uint8_t high = Low(file.programMemory[address + 1]);
    if (low == 0xFF && high == 0xFF) continue;
    instruction(kWriteFlash, 0x4C);
    instruction(static_cast<uint8_t>(address >> 9), 0x1C);
    instruction(static_cast<uint8_t>(address >> 1), 0x0C);
    instruction(low, 0x2C);
    instruction(0x00, 0x64);
    instruction(0x00, 0x6C);
    stream.push_back(kWaitReady);
    instruction(high, 0x3C);
    instruction(0x00, 0x74);
    instruction(0x00, 0x7C);
    stream.push_back(kWaitReady);
    ++words;
  }
  for (size_t sent = 0; sent < stream.size();) {
    const size_t count = std::min(kMaxBytesPerWrite, stream.size() - sent);
    if (!link_.WriteCommandBytes(std::span<const uint8_t>(stream.data() + sent, count))) return 0;
    sent += count;
    link_.ReportProgress(static_cast<int32_t>(sent * 1000 / stream.size()));
  }
  if (words == 0) return 1;
  return link_.ReadReply(11 * words) ? 1 : 0;
}

int CTiny1xDevice::ReadEepromTiny() {
  if (!RequireTinyDevice()) return 0;
  const int32_t size = link_.fileImage.eepromSize;
  if (size <= 0) return 1;
  link_.ResetCursors();
  for (int32_t address = 0; address < size; ++address) {
    Append(
        {{kReadEeprom, 0x4C}, {static_cast<uint8_t>(address), 0x0C}, {0x00, 0x68}, {0x00, 0x6C}});
  }
  const uint8_t* replies = Exchange(4 * static_cast<size_t>(size));
  if (!replies) return 0;
  for (int32_t address = 0; address < size; ++address) {
    link_.chipImage.eeprom[address] = replies[4 * address + 3];
  }
  link_.ReportProgress(1000);
  return 1;
}

int CTiny1xDevice::WriteEepromTiny() {
  if (!RequireTinyDevice()) return 0;
  const int32_t size = link_.fileImage.eepromSize;
  if (size <= 0) return 1;
  link_.ResetCursors();
  for (int32_t address = 0; address < size; ++address) {
    Append({{kWriteEeprom, 0x4C},
            {static_cast<uint8_t>(address), 0x0C},
            {Low(link_.fileImage.eeprom[address]), 0x2C},
            {0x00, 0x64},
            {0x00, 0x6C}});
    AppendWait();
  }
  return Exchange(6 * static_cast<size_t>(size)) ? 1 : 0;
}

int CTiny1xDevice::ReadFusesTiny() {
  link_.ResetCursors();
  Append({{kReadFuseLock, 0x4C},
          {0x00, 0x68},
          {0x00, 0x6C},
          {kReadFuseLock, 0x4C},
          {0x00, 0x78},
          {0x00, 0x7C}});
  const uint8_t* replies = Exchange(6);
  if (!replies) return 0;
  int32_t* chip = link_.chipImage.configuration;
  chip[tiny1xcell::kTiny11Fuse] = replies[2];
  chip[tiny1xcell::kTiny12Fuse] = replies[2];
  chip[tiny1xcell::kLock] = replies[5];
  return 1;
}

int CTiny1xDevice::WriteFusesTiny() {
  const CMCUMemoryArchitecture& file = link_.fileImage;
  const int fuseCell = std::string_view(file.deviceName) == "ATtiny11" ? tiny1xcell::kTiny11Fuse
                                                                       : tiny1xcell::kTiny12Fuse;
  const uint8_t fuse = Low(file.configuration[fuseCell]);
  const uint8_t lock = Low(file.configuration[tiny1xcell::kLock]);
  for (const auto& [command, value] :
       {Instruction{kWriteFuse, fuse}, Instruction{kWriteLock, lock}}) {
    link_.ResetCursors();
    Append({{command, 0x4C}, {value, 0x2C}, {0x00, 0x64}, {0x00, 0x6C}});
    if (!Exchange(4)) return 0;
    // The ATtiny11 fuse write gives no ready signal: its time is waited out.
    link_.Clock().Sleep(kFuseWriteMilliseconds);
  }
  return 1;
}

int CTiny1xDevice::ReadCalibrationTiny() {
  link_.ResetCursors();
  Append({{kReadSignatureCalibration, 0x4C}, {0x00, 0x0C}, {0x00, 0x78}, {0x00, 0x7C}});
  const uint8_t* replies = Exchange(4);
  if (!replies) return 0;
  link_.chipImage.configuration[tiny1xcell::kCalibration] = replies[3];
  return 1;
}

int CTiny1xDevice::FindEepromMismatch() const {
  const CMCUMemoryArchitecture& file = link_.fileImage;
  for (int32_t i = 0; i < file.eepromSize; ++i) {
    if (file.eeprom[i] != kBlankCell &&
        (file.eeprom[i] & 0xFF) != (link_.chipImage.eeprom[i] & 0xFF)) {
      return i;
    }
  }
  return -1;
}

}  // namespace velmora
