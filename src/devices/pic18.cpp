// PIC18 device primitives of CPICVortang, for both programmer kinds: the full programmer gets
// firmware commands (0x1F, 0x21..0x2D), the mini programmer an ICSP stream of 4-bit commands
// and core instructions that the PC clocks out itself.
#include <algorithm>
#include <array>
#include <limits>
#include <span>
#include <vector>

#include "link/pic_vortang.h"
#include "memory/catalogue.h"

namespace velmora {

namespace {

// Firmware commands of the full programmer.
namespace fw {
constexpr uint8_t kDeviceParameters = 0x1F;
constexpr uint8_t kParameterBlock = 0x21;
constexpr uint8_t kReadProgramSpace = 0x22;
constexpr uint8_t kReadEeprom = 0x23;
constexpr uint8_t kReadRam = 0x24;
constexpr uint8_t kBulkErase = 0x25;
constexpr uint8_t kEraseEeprom = 0x26;
constexpr uint8_t kEraseRow = 0x27;
constexpr uint8_t kErasePanels = 0x28;
constexpr uint8_t kWriteProgram = 0x29;
constexpr uint8_t kWriteEeprom = 0x2A;
constexpr uint8_t kWriteIdLocations = 0x2B;
constexpr uint8_t kWriteConfiguration = 0x2C;
constexpr uint8_t kWriteBlock = 0x2D;
// Parameter block lengths.
constexpr uint8_t kAddressAndCount = 8;
constexpr uint8_t kAddressAndCount16 = 6;
constexpr uint8_t kAddressOnly = 4;
constexpr uint8_t kAddress24 = 3;
constexpr uint8_t kProgramLayout = 11;
constexpr size_t kProgramPiece = 4096;  // program image bytes per write
constexpr size_t kReadPiece = 512;      // reply bytes per read
constexpr size_t kEepromPiece = 8;      // EEPROM bytes per write
}  // namespace fw

// 4-bit ICSP commands of the mini programmer.
namespace icsp {
constexpr int kCore = 0x0;
constexpr int kShiftOutTablat = 0x2;
constexpr int kTableReadPostIncrement = 0x9;
constexpr int kTableWrite = 0xC;
constexpr int kTableWritePostIncrement2 = 0xD;
constexpr int kTableWriteStartProgramming = 0xF;
}  // namespace icsp

// Core instructions (16-bit opcodes) used by the ICSP sequences.
namespace op {
constexpr uint16_t kNop = 0x0000;
constexpr uint16_t kMovlw = 0x0E00;  // + literal
constexpr uint16_t kMovwfTblptrU = 0x6EF8;
constexpr uint16_t kMovwfTblptrH = 0x6EF7;
constexpr uint16_t kMovwfTblptrL = 0x6EF6;
constexpr uint16_t kMovwfEeadr = 0x6EA9;
constexpr uint16_t kMovwfEeadrh = 0x6EAA;
constexpr uint16_t kMovwfEedata = 0x6EA8;
constexpr uint16_t kMovwfEecon2 = 0x6EA7;
constexpr uint16_t kMovwfTablat = 0x6EF5;
constexpr uint16_t kBsfEepgd = 0x8EA6;
constexpr uint16_t kBcfEepgd = 0x9EA6;
constexpr uint16_t kBsfCfgs = 0x8CA6;
constexpr uint16_t kBcfCfgs = 0x9CA6;
constexpr uint16_t kBsfWren = 0x84A6;
constexpr uint16_t kBcfWren = 0x94A6;
constexpr uint16_t kBsfEecon1Bit3 = 0x86A6;  // part of the flash and configuration set-up
constexpr uint16_t kBsfFree = 0x88A6;
constexpr uint16_t kBsfWr = 0x82A6;
constexpr uint16_t kBsfRd = 0x80A6;
constexpr uint16_t kMovfEedataW = 0x50A8;
constexpr uint16_t kIncfTblptrL = 0x2AF6;
constexpr uint16_t kGoto100000First = 0xEF00;
constexpr uint16_t kGoto100000Second = 0xF800;
constexpr uint16_t kMovffSource = 0xC000;  // + 12-bit source address
constexpr uint16_t kMovffDestinationTablat = 0xFFF5;
}  // namespace op

// Table-pointer addresses.
constexpr uint32_t kDeviceIdAddress = 0x3FFFFE;
constexpr uint32_t kIdLocationAddress = 0x200000;
constexpr uint32_t kConfigurationAddress = 0x300000;
constexpr uint32_t kEraseControlAddress = 0x3C0004;
constexpr uint32_t kWriteControlAddress = 0x3C0006;
constexpr int kIdLocationCount = 8;
constexpr int kConfigurationCount = 14;
constexpr int kConfigurationWrittenLast = 11;  // CONFIG6H (write protection of configuration)

// Bulk-erase options written to 0x3C0004, and the write set-up written to 0x3C0006.
constexpr uint8_t kEraseChip = 0x80;
constexpr uint8_t kEraseDataEeprom = 0x81;
constexpr uint8_t kEraseFlashPanelOptions[] = {0x83, 0x88, 0x89, 0x8A, 0x8B};
constexpr uint16_t kMultiPanelWrite = 0x0040;
constexpr uint16_t kSinglePanelWrite = 0x0000;
constexpr uint32_t kBulkEraseMilliseconds = 6;
constexpr int kEepromWriteNops = 100;  // NOPs clocked while an EEPROM byte is written
constexpr int kMiniLoadBytes = 8;      // bytes per panel per load on 8-byte-buffer devices

uint8_t LowByte(int32_t cell) {
  return static_cast<uint8_t>(cell & 0xFF);
}  // blank = 0xFF
bool BlankOrErased(int32_t cell) {
  return cell < 0 || LowByte(cell) == 0xFF;
}

void Core(CPICVortang& link, uint16_t opcode) {
  link.QueueCommand(icsp::kCore, opcode >> 8, opcode & 0xFF);
}
void Command(CPICVortang& link, int command, uint16_t data) {
  link.QueueCommand(command, data >> 8, data & 0xFF);
}
void Movlw(CPICVortang& link, uint32_t literal) {
  Core(link, static_cast<uint16_t>(op::kMovlw | (literal & 0xFF)));
}
void SetTablePointer(CPICVortang& link, uint32_t address) {
  Movlw(link, address >> 16);
  Core(link, op::kMovwfTblptrU);
  Movlw(link, address >> 8);
  Core(link, op::kMovwfTblptrH);
  Movlw(link, address);
  Core(link, op::kMovwfTblptrL);
}
void TableReads(CPICVortang& link, size_t count) {
  for (size_t i = 0; i < count; ++i) Command(link, icsp::kTableReadPostIncrement, 0xFFFF);
}
// A program word as a table write sends it: the odd (high) byte first in the pair.
uint16_t ProgramWord(const int32_t* cells, size_t evenAddress) {
  return static_cast<uint16_t>(LowByte(cells[evenAddress + 1]) << 8 | LowByte(cells[evenAddress]));
}
// Table writes of `bytes` bytes from `address`: post-increment for every word but the last,
// which is a plain write or a write that starts programming.
void LoadWords(CPICVortang& link, const int32_t* cells, size_t address, size_t bytes,
               int lastCommand) {
  for (size_t k = 0; k + 2 < bytes; k += 2) {
    Command(link, icsp::kTableWritePostIncrement2, ProgramWord(cells, address + k));
  }
  Command(link, lastCommand, ProgramWord(cells, address + bytes - 2));
}
// Full programmer: parameter block 0x21 0x08 with a 32-bit address and a 32-bit count.
void AppendAddressAndCount(CPICVortang& link, uint32_t address, uint32_t count) {
  link.AppendByte(fw::kParameterBlock);
  link.AppendByte(fw::kAddressAndCount);
  link.AppendLittleEndian(address, 4);
  link.AppendLittleEndian(count, 4);
}
// The bytes decoded since `from`, when `count` of them arrived.
const uint8_t* Decoded(CPICVortang& link, size_t from, size_t count) {
  return link.readResultCursor - from >= count ? link.replyBuffer.get() + from : nullptr;
}

}  // namespace

// ---- Helpers ------------------------------------------------------------------------------------

bool CPICVortang::RequirePic18Device() {
  if (fileImage.blockSize != 0) return true;
  prompt_.MessageBox("No PIC device detected.\nCannot continue...", "Programmer Error",
                     mb::kErrorAlert);
  return false;
}

// Set TBLPTR to 0x3C0004, write the option, two NOPs, then give the erase its time.
void CPICVortang::QueuePic18BulkEraseOption(uint8_t option) {
  SetTablePointer(*this, kEraseControlAddress);
  Command(*this, icsp::kTableWrite, option);
  Core(*this, op::kNop);
  Core(*this, op::kNop);
  SendSamples();
  clock_.Sleep(kBulkEraseMilliseconds);
}

// ---- Identification -----------------------------------------------------------------------------

int CPICVortang::IdentifyPic18() {
  ResetCursors();
  const uint8_t* id = nullptr;
  if (firmwareMode == 1) {
    AppendAddressAndCount(*this, kDeviceIdAddress, 2);
    AppendByte(fw::kReadProgramSpace);
    WriteAppended();
    id = ReadReply(2);
    clock_.Sleep(1);
  } else {
    SetTablePointer(*this, kDeviceIdAddress);
    TableReads(*this, 2);
    SendSamplesAndDecode();
    id = Decoded(*this, 0, 2);
  }
  // No answer reads as a floating line: an unknown device.
  const uint8_t devid1 = id ? id[0] : 0xFF;
  const uint8_t devid2 = id ? id[1] : 0xFF;
  const int row = LookupPic18Device(fileImage, devid1, devid2);
  if (firmwareMode == 1 && row != 0) {
    const Pic18Device& device = kPic18Devices[row];
    WriteCommandBytes({fw::kDeviceParameters, static_cast<uint8_t>(device.algorithm),
                       static_cast<uint8_t>(device.eraseBlock),
                       static_cast<uint8_t>(device.writeBuffer)});
    clock_.Sleep(1);
  }
  return row;
}

// ---- Erase --------------------------------------------------------------------------------------

// The whole-device erases: one acknowledged firmware command, or bulk-erase options on the
// mini programmer. The chip image no longer describes the target afterwards.
int CPICVortang::ErasePic18(uint8_t command, std::span<const uint8_t> miniOptions) {
  ResetCursors();
  chipImage.Clear();
  if (firmwareMode == 1) {
    WriteCommandByte(command);
    ReadReply(1);
  } else {
    for (uint8_t option : miniOptions) QueuePic18BulkEraseOption(option);
  }
  return Pic18Result();
}

int CPICVortang::BulkErase() {
  static constexpr uint8_t kOptions[] = {kEraseChip};
  return ErasePic18(fw::kBulkErase, kOptions);
}

int CPICVortang::EraseEeprom() {
  static constexpr uint8_t kOptions[] = {kEraseDataEeprom};
  return ErasePic18(fw::kEraseEeprom, kOptions);
}

int CPICVortang::EraseFlashPanels() {
  return ErasePic18(fw::kErasePanels, kEraseFlashPanelOptions);
}

int CPICVortang::EraseIdRow() {
  ResetCursors();
  if (firmwareMode == 1) {
    AppendAddressAndCount(*this, kIdLocationAddress, 0);
    AppendByte(fw::kEraseRow);
    WriteAppended();
    ReadReply(1);
    return Pic18Result();
  }
  Core(*this, op::kBsfEepgd);
  Core(*this, op::kBsfCfgs);
  Core(*this, op::kBsfEecon1Bit3);
  SetTablePointer(*this, kWriteControlAddress);
  Command(*this, icsp::kTableWrite, kSinglePanelWrite);
  Core(*this, op::kBsfEepgd);
  Core(*this, op::kBcfCfgs);
  Core(*this, op::kBsfFree);
  SetTablePointer(*this, kIdLocationAddress);
  Command(*this, icsp::kTableWriteStartProgramming, 0xFFFF);
  QueueProgramHold();
  SendSamples();
  return Pic18Result();
}

// Full programmer: one 0x27 per erase block, all sent at once. The mini programmer has no
// firmware to do it, so it erases row by row itself (FREE set, start programming at the row):
// leaving the flash as it was would let the following write program over old data.
int CPICVortang::EraseAllRows() {
  ResetCursors();
  const int32_t rowSize = fileImage.eraseBlockSize;
  if (rowSize <= 0) return Pic18Result();
  if (firmwareMode == 1) {
    for (int32_t address = 0; address < fileImage.programSize; address += rowSize) {
      AppendByte(fw::kParameterBlock);
      AppendByte(fw::kAddress24);
      AppendLittleEndian(static_cast<uint32_t>(address), 3);
      AppendByte(fw::kEraseRow);
    }
    WriteAppended(std::numeric_limits<size_t>::max());  // all rows in one write
    ReadReply(static_cast<size_t>(fileImage.programSize / rowSize));
    return Pic18Result();
  }
  Core(*this, op::kBsfEepgd);
  Core(*this, op::kBsfCfgs);
  Core(*this, op::kBsfEecon1Bit3);
  SetTablePointer(*this, kWriteControlAddress);
  Command(*this, icsp::kTableWrite, kSinglePanelWrite);
  for (int32_t address = 0; address < fileImage.programSize; address += rowSize) {
    Core(*this, op::kBsfEepgd);
    Core(*this, op::kBcfCfgs);
    Core(*this, op::kBsfFree);
    SetTablePointer(*this, static_cast<uint32_t>(address));
    Command(*this, icsp::kTableWriteStartProgramming, 0xFFFF);
    QueueProgramHold();
    SendSamples();
  }
  return Pic18Result();
}

// ---- Program memory -----------------------------------------------------------------------------

int CPICVortang::WriteProgramMemory() {
  ResetCursors();
  if (!RequirePic18Device()) return 0;
  const int32_t programSize = fileImage.programSize;
  const int32_t blockSize = fileImage.blockSize;
  const int32_t buffer = std::max(1, fileImage.writeBufferSize);
  const int32_t panels = programSize / blockSize;
  const int32_t loads = blockSize / buffer;
  const int32_t* cells = fileImage.programMemory;

  if (firmwareMode == 1) {
    // Panel-interleaved: each load carries every panel's write buffer in turn. The last
    // 4096-byte piece is filled up with 0xFF past the data.
    const size_t pieces =
        (static_cast<size_t>(programSize) + fw::kProgramPiece - 1) / fw::kProgramPiece;
    std::vector<uint8_t> arranged(pieces * fw::kProgramPiece, 0xFF);
    size_t next = 0;
    for (int32_t i = 0; i < loads; ++i) {
      for (int32_t j = 0; j < panels; ++j) {
        const int32_t from = j * blockSize + i * buffer;
        for (int32_t k = 0; k < buffer; ++k) arranged[next++] = LowByte(cells[from + k]);
      }
    }
    AppendByte(fw::kParameterBlock);
    AppendByte(fw::kProgramLayout);
    AppendLittleEndian(0, 4);
    AppendLittleEndian(static_cast<uint32_t>(loads), 2);
    AppendLittleEndian(0, 2);
    AppendByte(static_cast<uint8_t>(panels));
    AppendByte(static_cast<uint8_t>(panels * buffer));
    AppendByte(static_cast<uint8_t>(blockSize >> 8));
    WriteAppended();
    WriteCommandByte(fw::kWriteProgram);
    for (size_t offset = 0; offset < static_cast<size_t>(programSize);
         offset += fw::kProgramPiece) {
      WriteCommandBytes(std::span<const uint8_t>(arranged.data() + offset, fw::kProgramPiece));
      if (offset > 0) ReportProgress(static_cast<int32_t>(offset * 1000 / programSize));
    }
    ReadReply(1);
  } else {
    // 8-byte-buffer devices load 8 bytes per panel; the larger buffers (16..64 bytes) are
    // loaded whole, or most of every buffer would never be written.
    const int32_t perLoad = buffer > kMiniLoadBytes ? buffer : kMiniLoadBytes;
    Core(*this, op::kBsfEepgd);
    Core(*this, op::kBsfCfgs);
    Core(*this, op::kBsfEecon1Bit3);
    SendSamples();
    for (int32_t i = 0; i < loads; ++i) {
      bool empty = true;
      for (int32_t j = 0; j < panels && empty; ++j) {
        const int32_t from = j * blockSize + i * buffer;
        empty = std::all_of(cells + from, cells + from + perLoad, BlankOrErased);
      }
      if (empty) continue;
      SetTablePointer(*this, kWriteControlAddress);
      Command(*this, icsp::kTableWrite, kMultiPanelWrite);
      Core(*this, op::kBsfEepgd);
      Core(*this, op::kBcfCfgs);
      for (int32_t j = 0; j < panels; ++j) {
        const int32_t from = j * blockSize + i * buffer;
        SetTablePointer(*this, static_cast<uint32_t>(from));
        const int last = j == panels - 1 ? icsp::kTableWriteStartProgramming : icsp::kTableWrite;
        LoadWords(*this, cells, static_cast<size_t>(from), static_cast<size_t>(perLoad), last);
      }
      QueueProgramHold();
      SendSamples();
      if (i > 0) ReportProgress(i * 1000 / loads);
    }
  }
  ReportProgress(1000);
  return Pic18Result();
}

int CPICVortang::WriteBlock(int address) {
  ResetCursors();
  if (!RequirePic18Device()) return 0;
  const int32_t rowSize = std::max(2, fileImage.eraseBlockSize);
  address =
      std::clamp(address, 0, std::max(0, fileImage.programSize - rowSize)) / rowSize * rowSize;
  const int32_t* cells = fileImage.programMemory;
  if (firmwareMode == 1) {
    AppendByte(fw::kParameterBlock);
    AppendByte(fw::kAddressOnly);
    AppendLittleEndian(static_cast<uint32_t>(address), 3);
    AppendByte(0);
    AppendByte(fw::kWriteBlock);
    for (int32_t k = 0; k < rowSize; ++k) AppendByte(LowByte(cells[address + k]));
    WriteAppended();
    ReadReply(1);
  } else {
    // Erase the row (single-panel set-up, FREE), then write it in groups of eight bytes; the
    // two table reads after a group move TBLPTR on to the next one.
    Core(*this, op::kBsfEepgd);
    Core(*this, op::kBsfCfgs);
    Core(*this, op::kBsfEecon1Bit3);
    SetTablePointer(*this, kWriteControlAddress);
    Command(*this, icsp::kTableWrite, kSinglePanelWrite);
    Core(*this, op::kBsfEepgd);
    Core(*this, op::kBcfCfgs);
    Core(*this, op::kBsfFree);
    SetTablePointer(*this, static_cast<uint32_t>(address));
    Command(*this, icsp::kTableWriteStartProgramming, 0xFFFF);
    QueueProgramHold();
    for (int32_t group = address; group < address + rowSize; group += kMiniLoadBytes) {
      if (std::all_of(cells + group, cells + group + kMiniLoadBytes,
                      [](int32_t cell) { return cell == kBlankCell; })) {
        SetTablePointer(*this, static_cast<uint32_t>(group + kMiniLoadBytes));
        continue;
      }
      LoadWords(*this, cells, static_cast<size_t>(group), kMiniLoadBytes,
                icsp::kTableWriteStartProgramming);
      QueueProgramHold();
      TableReads(*this, 2);
    }
    SendSamples();
  }
  if (fileImage.programSize > 0) ReportProgress(address * 1000 / fileImage.programSize);
  return Pic18Result();
}

// Writes only the erase blocks that differ from chipImage; every other block becomes blank in
// fileImage, so that the following verification skips it.
int CPICVortang::UpdateChangedBlocks() {
  if (!RequirePic18Device()) return 0;
  const int32_t rowSize = std::max(1, fileImage.eraseBlockSize);
  int32_t* file = fileImage.programMemory;
  const int32_t* chip = chipImage.programMemory;
  for (int32_t block = 0; block < fileImage.programSize; block += rowSize) {
    const int32_t end = std::min(block + rowSize, fileImage.programSize);
    bool changed = false;
    for (int32_t a = block; a < end && !changed; ++a) {
      changed = file[a] != kBlankCell && file[a] != chip[a];
    }
    if (changed) {
      if (!WriteBlock(block)) return 0;
    } else {
      std::fill(file + block, file + end, kBlankCell);
    }
  }
  return Pic18Result();
}

// ---- ID locations and configuration -------------------------------------------------------------

int CPICVortang::WriteIdLocations() {
  ResetCursors();
  if (!RequirePic18Device()) return 0;
  const int32_t* id = fileImage.idLocations;
  if (firmwareMode == 1) {
    WriteCommandByte(fw::kWriteIdLocations);
    std::array<uint8_t, kIdLocationCount> bytes;
    for (int i = 0; i < kIdLocationCount; ++i) bytes[i] = LowByte(id[i]);
    WriteCommandBytes(bytes);
    ReadReply(1);
    return Pic18Result();
  }
  Core(*this, op::kBsfEepgd);
  Core(*this, op::kBsfCfgs);
  SetTablePointer(*this, kWriteControlAddress);
  Command(*this, icsp::kTableWrite, kSinglePanelWrite);
  Core(*this, op::kBsfEepgd);
  Core(*this, op::kBcfCfgs);
  SetTablePointer(*this, kIdLocationAddress);
  LoadWords(*this, id, 0, kIdLocationCount, icsp::kTableWriteStartProgramming);
  QueueProgramHold();
  SendSamples();
  return Pic18Result();
}

// Mini programmer: one start-programming per byte, the byte in the half that the address's
// parity selects; CONFIG6H (byte 11) last, so that write-protecting the configuration cannot
// block the other bytes.
int CPICVortang::WriteConfiguration() {
  ResetCursors();
  const int32_t* config = fileImage.configuration;
  if (firmwareMode == 1) {
    WriteCommandByte(fw::kWriteConfiguration);
    std::array<uint8_t, kConfigurationCount> bytes;
    for (int i = 0; i < kConfigurationCount; ++i) bytes[i] = LowByte(config[i]);
    WriteCommandBytes(bytes);
    ReadReply(1);
    return Pic18Result();
  }
  auto configWord = [config](int i) {
    const uint8_t value = LowByte(config[i]);
    return static_cast<uint16_t>(i % 2 ? value << 8 | 0xFF : 0xFF00 | value);
  };
  Core(*this, op::kBsfEepgd);
  Core(*this, op::kBsfCfgs);
  Core(*this, op::kGoto100000First);
  Core(*this, op::kGoto100000Second);
  SetTablePointer(*this, kConfigurationAddress);
  for (int i = 0; i < kConfigurationCount; ++i) {
    if (i != kConfigurationWrittenLast) {
      Command(*this, icsp::kTableWriteStartProgramming, configWord(i));
      QueueProgramHold();
    }
    Core(*this, op::kIncfTblptrL);
  }
  Movlw(*this, kConfigurationWrittenLast);
  Core(*this, op::kMovwfTblptrL);
  Command(*this, icsp::kTableWriteStartProgramming, configWord(kConfigurationWrittenLast));
  QueueProgramHold();
  SendSamples();
  return Pic18Result();
}

// A short read of program space (ID locations, configuration): a 0x22 read on the full
// programmer, table reads on the mini programmer. nullptr when the bytes did not all arrive.
const uint8_t* CPICVortang::ReadPic18ProgramSpace(uint32_t address, int count) {
  if (firmwareMode == 1) {
    AppendAddressAndCount(*this, address, count);
    WriteAppended();
    WriteCommandByte(fw::kReadProgramSpace);
    const uint8_t* bytes = ReadReply(count);
    clock_.Sleep(1);
    return bytes;
  }
  SetTablePointer(*this, address);
  TableReads(*this, count);
  SendSamplesAndDecode();
  return Decoded(*this, 0, count);
}

int CPICVortang::ReadIdLocations() {
  ResetCursors();
  if (!RequirePic18Device()) return 0;
  const uint8_t* bytes = ReadPic18ProgramSpace(kIdLocationAddress, kIdLocationCount);
  if (!bytes) return 0;
  std::copy_n(bytes, kIdLocationCount, chipImage.idLocations);
  return Pic18Result();
}

// Unimplemented configuration bits read as 1.
int CPICVortang::ReadConfiguration() {
  ResetCursors();
  if (!RequirePic18Device()) return 0;
  const uint8_t* bytes = ReadPic18ProgramSpace(kConfigurationAddress, kConfigurationCount);
  if (!bytes) return 0;
  const uint8_t* masks =
      kPic18Devices[std::clamp(fileImage.deviceIndex, 0, kPic18DeviceRows)].configMasks;
  for (int i = 0; i < kConfigurationCount; ++i) {
    chipImage.configuration[i] = (bytes[i] | ~masks[i]) & 0xFF;
  }
  return Pic18Result();
}

// ---- Data EEPROM and RAM ------------------------------------------------------------------------

int CPICVortang::WriteEeprom() {
  ResetCursors();
  if (!RequirePic18Device()) return 0;
  const int32_t count = fileImage.eepromSize;
  if (count <= 0) return Pic18Result();
  const int32_t* cells = fileImage.eeprom;
  if (firmwareMode == 1) {
    AppendByte(fw::kParameterBlock);
    AppendByte(fw::kAddressAndCount16);
    AppendLittleEndian(0, 4);
    AppendLittleEndian(static_cast<uint32_t>(count), 2);
    WriteAppended();
    WriteCommandByte(fw::kWriteEeprom);
    std::vector<uint8_t> bytes(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) bytes[i] = LowByte(cells[i]);
    for (size_t sent = 0; sent < bytes.size();) {
      const size_t piece = std::min(fw::kEepromPiece, bytes.size() - sent);
      WriteCommandBytes(std::span<const uint8_t>(bytes.data() + sent, piece));
      if (sent > 0) ReportProgress(static_cast<int32_t>((sent + piece) * 1000 / count));
      sent += piece;
    }
    ReadReply(1);
    return Pic18Result();
  }
  Core(*this, op::kBcfEepgd);
  Core(*this, op::kBcfCfgs);
  for (int32_t i = 0; i < count; ++i) {
    if (cells[i] == kBlankCell) continue;
    Movlw(*this, static_cast<uint32_t>(i));
    Core(*this, op::kMovwfEeadr);
    Movlw(*this, static_cast<uint32_t>(i) >> 8);
    Core(*this, op::kMovwfEeadrh);
    Movlw(*this, LowByte(cells[i]));
    Core(*this, op::kMovwfEedata);
    Core(*this, op::kBsfWren);
    Movlw(*this, 0x55);
    Core(*this, op::kMovwfEecon2);
    Movlw(*this, 0xAA);
    Core(*this, op::kMovwfEecon2);
    Core(*this, op::kBsfWr);
    for (int n = 0; n < kEepromWriteNops; ++n) Core(*this, op::kNop);
    SendSamples();
    ReportProgress(i * 1000 / count);
    Core(*this, op::kBcfWren);  // goes out with the next transfer
  }
  SendSamples();
  return Pic18Result();
}

int CPICVortang::ReadEeprom() {
  ResetCursors();
  if (!RequirePic18Device()) return 0;
  const int32_t count = std::max(0, fileImage.eepromSize);
  const uint8_t* bytes = nullptr;
  if (firmwareMode == 1) {
    AppendAddressAndCount(*this, 0, static_cast<uint32_t>(count));
    WriteAppended();
    WriteCommandByte(fw::kReadEeprom);
    bytes = ReadReply(static_cast<size_t>(count));
  } else {
    Core(*this, op::kBcfEepgd);
    Core(*this, op::kBcfCfgs);
    for (int32_t i = 0; i < count; ++i) {
      Movlw(*this, static_cast<uint32_t>(i));
      Core(*this, op::kMovwfEeadr);
      Movlw(*this, static_cast<uint32_t>(i) >> 8);
      Core(*this, op::kMovwfEeadrh);
      Core(*this, op::kBsfRd);
      Core(*this, op::kMovfEedataW);
      Core(*this, op::kMovwfTablat);
      Command(*this, icsp::kShiftOutTablat, 0xFFFF);
    }
    SendSamplesAndDecode();
    bytes = Decoded(*this, 0, static_cast<size_t>(count));
  }
  if (!bytes) return 0;
  std::copy_n(bytes, count, chipImage.eeprom);
  return Pic18Result();
}

int CPICVortang::ReadRam() {
  ResetCursors();
  if (!RequirePic18Device()) return 0;
  const int32_t count = std::clamp<int32_t>(fileImage.ramSize, 0, kDataMemoryCells);
  const uint8_t* bytes = nullptr;
  if (firmwareMode == 1) {
    AppendAddressAndCount(*this, 0, static_cast<uint32_t>(count));
    WriteAppended();
    WriteCommandByte(fw::kReadRam);
    bytes = ReadReply(static_cast<size_t>(count));
  } else {
    for (int32_t i = 0; i < count; ++i) {
      Core(*this, static_cast<uint16_t>(op::kMovffSource + (i & 0xFFF)));
      Core(*this, op::kMovffDestinationTablat);
      Command(*this, icsp::kShiftOutTablat, 0xFFFF);
    }
    SendSamplesAndDecode();
    bytes = Decoded(*this, 0, static_cast<size_t>(count));
  }
  if (!bytes) return 0;
  std::copy_n(bytes, count, chipImage.dataMemory);
  return Pic18Result();
}

// For the data monitor: only MCLR/VPP (0x80) is driven during the RAM read. With the full
// programmer the two pin bytes go to the firmware as single bytes.
int CPICVortang::ReadRamHeld() {
  if (!RequirePic18Device()) return 0;
  pinsProgramming = 0x80;
  clock_.Sleep(1);
  WriteCommandByte(pinsProgramming);
  clock_.Sleep(1);
  ReadRam();
  WriteCommandByte(pinsReleased);
  clock_.Sleep(1);
  return 0;
}

// ---- Program memory reads -----------------------------------------------------------------------

int CPICVortang::ReadProgramRange(int start, int end) {
  ResetCursors();
  if (!RequirePic18Device()) return 0;
  if (start == -1) start = 0;
  if (end == -1) end = fileImage.programSize;
  start = std::clamp(start, 0, fileImage.programSize);
  end = std::clamp(end, start, fileImage.programSize);
  const size_t count = static_cast<size_t>(end - start);
  int32_t* into = chipImage.programMemory + start;

  if (firmwareMode == 1) {
    AppendByte(fw::kParameterBlock);
    AppendByte(fw::kAddressAndCount);
    AppendLittleEndian(static_cast<uint32_t>(start), 3);
    AppendByte(0);
    AppendLittleEndian(static_cast<uint32_t>(count), 3);
    AppendByte(0);
    WriteAppended();
    WriteCommandByte(fw::kReadProgramSpace);
    for (size_t received = 0; received < count;) {
      const size_t piece = std::min(fw::kReadPiece, count - received);
      const uint8_t* bytes = ReadReply(piece);
      if (!bytes) return 0;
      std::copy_n(bytes, piece, into + received);
      received += piece;
      ReportProgress(static_cast<int32_t>(received * 1000 / count));
    }
    clock_.Sleep(1);
    return Pic18Result();
  }
  SetTablePointer(*this, static_cast<uint32_t>(start));
  if (!SendSamplesAndDecode()) return 0;
  for (size_t done = 0; done < count;) {
    const size_t piece = std::min(fw::kReadPiece, count - done);
    const size_t from = readResultCursor;
    TableReads(*this, piece);
    if (!SendSamplesAndDecode()) return 0;
    const uint8_t* bytes = Decoded(*this, from, piece);
    if (!bytes) return 0;  // fewer bytes came back than were asked for
    done += piece;
    ReportProgress(static_cast<int32_t>((start + done) * 1000 / fileImage.programSize));
    std::copy_n(bytes, piece, into + done - piece);
    readResultCursor = from;  // the next piece reuses the reply buffer
  }
  return Pic18Result();
}

// Reads each run of cells that fileImage holds data for.
int CPICVortang::ReadProgramMemory() {
  if (!RequirePic18Device()) return 0;
  const int32_t* file = fileImage.programMemory;
  for (int32_t a = 0; a < fileImage.programSize;) {
    if (file[a] == kBlankCell) {
      ++a;
      continue;
    }
    const int32_t runStart = a;
    while (a < fileImage.programSize && file[a] != kBlankCell) ++a;
    if (!ReadProgramRange(runStart, a)) return 0;
  }
  return Pic18Result();
}

// ---- Comparison ---------------------------------------------------------------------------------

int CPICVortang::FindProgramMismatch() {
  for (int32_t a = 0; a < fileImage.programSize; ++a) {
    if (LowByte(fileImage.programMemory[a]) != LowByte(chipImage.programMemory[a])) return a;
  }
  return -1;
}

int CPICVortang::FindEepromMismatch() {
  for (int32_t a = 0; a < fileImage.eepromSize; ++a) {
    if (LowByte(fileImage.eeprom[a]) != LowByte(chipImage.eeprom[a])) return a;
  }
  return -1;
}

int CPICVortang::FindConfigMismatch() {
  const uint8_t* masks =
      kPic18Devices[std::clamp(fileImage.deviceIndex, 0, kPic18DeviceRows)].configMasks;
  for (int i = 0; i < kConfigurationCount; ++i) {
    if ((fileImage.configuration[i] & masks[i]) != (chipImage.configuration[i] & masks[i])) {
      return i;
    }
  }
  return -1;
}

}  // namespace velmora
