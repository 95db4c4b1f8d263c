// PIC18 device primitives over the programmer link, for both programmer kinds: the full
// programmer gets firmware commands (0x1F, 0x21..0x2D), the mini programmer an ICSP stream of
// 4-bit commands and core instructions that the PC clocks out itself.
//
// The simulated PIC18 (sim/pic18) has its own copy of these commands and instructions on
// purpose: it is the oracle these primitives are tested against, so it must not share them.
#include "families/pic18/pic18_device.h"

#include <algorithm>
#include <array>
#include <limits>
#include <span>
#include <vector>

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

}  // namespace

// ---- Helpers ------------------------------------------------------------------------------------

bool CPic18Device::RequirePic18Device() {
  // Only a PIC18 row describes a device these primitives can write or read.
  const CMCUMemoryArchitecture& file = link_.fileImage;
  if (file.blockSize != 0 && file.family == Family::kPic18) return true;
  link_.Prompt().MessageBox("No PIC device detected.\nCannot continue...", "Programmer Error",
                            mb::kErrorAlert);
  return false;
}

// Set TBLPTR to 0x3C0004, write the option, two NOPs, then give the erase its time.
void CPic18Device::QueuePic18BulkEraseOption(uint8_t option) {
  SetTablePointer(link_, kEraseControlAddress);
  Command(link_, icsp::kTableWrite, option);
  Core(link_, op::kNop);
  Core(link_, op::kNop);
  link_.SendSamples();
  link_.Clock().Sleep(kBulkEraseMilliseconds);
}

// ---- Identification -----------------------------------------------------------------------------

int CPic18Device::IdentifyPic18() {
  link_.ResetCursors();
  const uint8_t* id = nullptr;
  if (link_.firmwareMode == 1) {
    AppendAddressAndCount(link_, kDeviceIdAddress, 2);
    link_.AppendByte(fw::kReadProgramSpace);
    link_.WriteAppended();
    id = link_.ReadReply(2);
    link_.Clock().Sleep(1);
  } else {
    SetTablePointer(link_, kDeviceIdAddress);
    TableReads(link_, 2);
    link_.SendSamplesAndDecode();
    id = link_.DecodedReply(0, 2);
  }
  // No answer reads as a floating line: an unknown device.
  const uint8_t devid1 = id ? id[0] : 0xFF;
  const uint8_t devid2 = id ? id[1] : 0xFF;
  const int row = LookupPic18Device(link_.fileImage, devid1, devid2);
  if (link_.firmwareMode == 1 && row != 0) {
    const Pic18Device& device = kPic18Devices[row];
    link_.WriteCommandBytes({fw::kDeviceParameters, static_cast<uint8_t>(device.algorithm),
                             static_cast<uint8_t>(device.eraseBlock),
                             static_cast<uint8_t>(device.writeBuffer)});
    link_.Clock().Sleep(1);
  }
  return row;
}

// ---- Erase --------------------------------------------------------------------------------------

// The whole-device erases: one acknowledged firmware command, or bulk-erase options on the
// mini programmer. The chip image no longer describes the target afterwards.
int CPic18Device::ErasePic18(uint8_t command, std::span<const uint8_t> miniOptions) {
  link_.ResetCursors();
  link_.chipImage.Clear();
  if (link_.firmwareMode == 1) {
    link_.WriteCommandByte(command);
    link_.ReadReply(1);
  } else {
    for (uint8_t option : miniOptions) QueuePic18BulkEraseOption(option);
  }
  return Pic18Result();
}

int CPic18Device::BulkErase() {
  static constexpr uint8_t kOptions[] = {kEraseChip};
  return ErasePic18(fw::kBulkErase, kOptions);
}

int CPic18Device::EraseEeprom() {
  static constexpr uint8_t kOptions[] = {kEraseDataEeprom};
  return ErasePic18(fw::kEraseEeprom, kOptions);
}

int CPic18Device::EraseFlashPanels() {
  return ErasePic18(fw::kErasePanels, kEraseFlashPanelOptions);
}

int CPic18Device::EraseIdRow() {
  link_.ResetCursors();
  if (link_.firmwareMode == 1) {
    AppendAddressAndCount(link_, kIdLocationAddress, 0);
    link_.AppendByte(fw::kEraseRow);
    link_.WriteAppended();
    link_.ReadReply(1);
    return Pic18Result();
  }
  Core(link_, op::kBsfEepgd);
  Core(link_, op::kBsfCfgs);
  Core(link_, op::kBsfEecon1Bit3);
  SetTablePointer(link_, kWriteControlAddress);
  Command(link_, icsp::kTableWrite, kSinglePanelWrite);
  Core(link_, op::kBsfEepgd);
  Core(link_, op::kBcfCfgs);
  Core(link_, op::kBsfFree);
  SetTablePointer(link_, kIdLocationAddress);
  Command(link_, icsp::kTableWriteStartProgramming, 0xFFFF);
  link_.QueueProgramHold();
  link_.SendSamples();
  return Pic18Result();
}

// Full programmer: one 0x27 per erase block, all sent at once. The mini programmer has no
// firmware to do it, so it erases row by row itself (FREE set, start programming at the row):
// leaving the flash as it was would let the following write program over old data.
int CPic18Device::EraseAllRows() {
  link_.ResetCursors();
  link_.chipImage.Clear();  // as after every erase, the image no longer describes the target
  const int32_t rowSize = link_.fileImage.eraseBlockSize;
  if (rowSize <= 0) return Pic18Result();
  if (link_.firmwareMode == 1) {
    for (int32_t address = 0; address < link_.fileImage.programSize; address += rowSize) {
      link_.AppendByte(fw::kParameterBlock);
      link_.AppendByte(fw::kAddress24);
      link_.AppendLittleEndian(static_cast<uint32_t>(address), 3);
      link_.AppendByte(fw::kEraseRow);
    }
    link_.WriteAppended(std::numeric_limits<size_t>::max());  // all rows in one write
    link_.ReadReply(static_cast<size_t>(link_.fileImage.programSize / rowSize));
    return Pic18Result();
  }
  Core(link_, op::kBsfEepgd);
  Core(link_, op::kBsfCfgs);
  Core(link_, op::kBsfEecon1Bit3);
  SetTablePointer(link_, kWriteControlAddress);
  Command(link_, icsp::kTableWrite, kSinglePanelWrite);
  for (int32_t address = 0; address < link_.fileImage.programSize; address += rowSize) {
    Core(link_, op::kBsfEepgd);
    Core(link_, op::kBcfCfgs);
    Core(link_, op::kBsfFree);
    SetTablePointer(link_, static_cast<uint32_t>(address));
    Command(link_, icsp::kTableWriteStartProgramming, 0xFFFF);
    link_.QueueProgramHold();
    link_.SendSamples();
  }
  return Pic18Result();
}

// ---- Program memory -----------------------------------------------------------------------------

int CPic18Device::WriteProgramMemory() {
  link_.ResetCursors();
  if (!RequirePic18Device()) return 0;
  const int32_t programSize = link_.fileImage.programSize;
  const int32_t blockSize = link_.fileImage.blockSize;
  const int32_t buffer = std::max(1, link_.fileImage.writeBufferSize);
  const int32_t panels = programSize / blockSize;
  const int32_t loads = blockSize / buffer;
  const int32_t* cells = link_.fileImage.programMemory;

  if (link_.firmwareMode == 1) {
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
    link_.AppendByte(fw::kParameterBlock);
    link_.AppendByte(fw::kProgramLayout);
    link_.AppendLittleEndian(0, 4);
    link_.AppendLittleEndian(static_cast<uint32_t>(loads), 2);
    link_.AppendLittleEndian(0, 2);
    link_.AppendByte(static_cast<uint8_t>(panels));
    link_.AppendByte(static_cast<uint8_t>(panels * buffer));
    link_.AppendByte(static_cast<uint8_t>(blockSize >> 8));
    link_.WriteAppended();
    link_.WriteCommandByte(fw::kWriteProgram);
    for (size_t offset = 0; offset < static_cast<size_t>(programSize);
         offset += fw::kProgramPiece) {
      link_.WriteCommandBytes(
          std::span<const uint8_t>(arranged.data() + offset, fw::kProgramPiece));
      if (offset > 0) link_.ReportProgress(static_cast<int32_t>(offset * 1000 / programSize));
    }
    link_.ReadReply(1);
  } else {
    // 8-byte-buffer devices load 8 bytes per panel; the larger buffers (16..64 bytes) are
    // loaded whole, or most of every buffer would never be written.
    const int32_t perLoad = buffer > kMiniLoadBytes ? buffer : kMiniLoadBytes;
    Core(link_, op::kBsfEepgd);
    Core(link_, op::kBsfCfgs);
    Core(link_, op::kBsfEecon1Bit3);
    link_.SendSamples();
    for (int32_t i = 0; i < loads; ++i) {
      bool empty = true;
      for (int32_t j = 0; j < panels && empty; ++j) {
        const int32_t from = j * blockSize + i * buffer;
        empty = std::all_of(cells + from, cells + from + perLoad, BlankOrErased);
      }
      if (empty) continue;
      SetTablePointer(link_, kWriteControlAddress);
      Command(link_, icsp::kTableWrite, kMultiPanelWrite);
      Core(link_, op::kBsfEepgd);
      Core(link_, op::kBcfCfgs);
      for (int32_t j = 0; j < panels; ++j) {
        const int32_t from = j * blockSize + i * buffer;
        SetTablePointer(link_, static_cast<uint32_t>(from));
        const int last = j == panels - 1 ? icsp::kTableWriteStartProgramming : icsp::kTableWrite;
        LoadWords(link_, cells, static_cast<size_t>(from), static_cast<size_t>(perLoad), last);
      }
      link_.QueueProgramHold();
      link_.SendSamples();
      if (i > 0) link_.ReportProgress(i * 1000 / loads);
    }
  }
  link_.ReportProgress(1000);
  return Pic18Result();
}

int CPic18Device::WriteBlock(int address) {
  link_.ResetCursors();
  if (!RequirePic18Device()) return 0;
  const int32_t rowSize = std::max(2, link_.fileImage.eraseBlockSize);
  address = std::clamp(address, 0, std::max(0, link_.fileImage.programSize - rowSize)) / rowSize *
            rowSize;
  const int32_t* cells = link_.fileImage.programMemory;
  if (link_.firmwareMode == 1) {
    link_.AppendByte(fw::kParameterBlock);
    link_.AppendByte(fw::kAddressOnly);
    link_.AppendLittleEndian(static_cast<uint32_t>(address), 3);
    link_.AppendByte(0);
    link_.AppendByte(fw::kWriteBlock);
    for (int32_t k = 0; k < rowSize; ++k) link_.AppendByte(LowByte(cells[address + k]));
    link_.WriteAppended();
    link_.ReadReply(1);
  } else {
    // Erase the row (single-panel set-up, FREE), then write it in groups of eight bytes; the
    // two table reads after a group move TBLPTR on to the next one.
    Core(link_, op::kBsfEepgd);
    Core(link_, op::kBsfCfgs);
    Core(link_, op::kBsfEecon1Bit3);
    SetTablePointer(link_, kWriteControlAddress);
    Command(link_, icsp::kTableWrite, kSinglePanelWrite);
    Core(link_, op::kBsfEepgd);
    Core(link_, op::kBcfCfgs);
    Core(link_, op::kBsfFree);
    SetTablePointer(link_, static_cast<uint32_t>(address));
    Command(link_, icsp::kTableWriteStartProgramming, 0xFFFF);
    link_.QueueProgramHold();
    for (int32_t group = address; group < address + rowSize; group += kMiniLoadBytes) {
      if (std::all_of(cells + group, cells + group + kMiniLoadBytes,
                      [](int32_t cell) { return cell == kBlankCell; })) {
        SetTablePointer(link_, static_cast<uint32_t>(group + kMiniLoadBytes));
        continue;
      }
      LoadWords(link_, cells, static_cast<size_t>(group), kMiniLoadBytes,
                icsp::kTableWriteStartProgramming);
      link_.QueueProgramHold();
      TableReads(link_, 2);
    }
    link_.SendSamples();
  }
  if (link_.fileImage.programSize > 0)
    link_.ReportProgress(address * 1000 / link_.fileImage.programSize);
  return Pic18Result();
}

// Writes only the erase blocks that differ from link_.chipImage; every other block becomes blank in
// link_.fileImage, so that the following verification skips it.
int CPic18Device::UpdateChangedBlocks() {
  if (!RequirePic18Device()) return 0;
  const int32_t rowSize = std::max(1, link_.fileImage.eraseBlockSize);
  int32_t* file = link_.fileImage.programMemory;
  const int32_t* chip = link_.chipImage.programMemory;
  for (int32_t block = 0; block < link_.fileImage.programSize; block += rowSize) {
    const int32_t end = std::min(block + rowSize, link_.fileImage.programSize);
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

int CPic18Device::WriteIdLocations() {
  link_.ResetCursors();
  if (!RequirePic18Device()) return 0;
  const int32_t* id = link_.fileImage.idLocations;
  if (link_.firmwareMode == 1) {
    link_.WriteCommandByte(fw::kWriteIdLocations);
    std::array<uint8_t, kIdLocationCount> bytes;
    for (int i = 0; i < kIdLocationCount; ++i) bytes[i] = LowByte(id[i]);
    link_.WriteCommandBytes(bytes);
    link_.ReadReply(1);
    return Pic18Result();
  }
  Core(link_, op::kBsfEepgd);
  Core(link_, op::kBsfCfgs);
  SetTablePointer(link_, kWriteControlAddress);
  Command(link_, icsp::kTableWrite, kSinglePanelWrite);
  Core(link_, op::kBsfEepgd);
  Core(link_, op::kBcfCfgs);
  SetTablePointer(link_, kIdLocationAddress);
  LoadWords(link_, id, 0, kIdLocationCount, icsp::kTableWriteStartProgramming);
  link_.QueueProgramHold();
  link_.SendSamples();
  return Pic18Result();
}

// Mini programmer: one start-programming per byte, the byte in the half that the address's
// parity selects; CONFIG6H (byte 11) last, so that write-protecting the configuration cannot
// block the other bytes.
int CPic18Device::WriteConfiguration() {
  link_.ResetCursors();
  const int32_t* config = link_.fileImage.configuration;
  if (link_.firmwareMode == 1) {
    link_.WriteCommandByte(fw::kWriteConfiguration);
    std::array<uint8_t, kConfigurationCount> bytes;
    for (int i = 0; i < kConfigurationCount; ++i) bytes[i] = LowByte(config[i]);
    link_.WriteCommandBytes(bytes);
    link_.ReadReply(1);
    return Pic18Result();
  }
  auto configWord = [config](int i) {
    const uint8_t value = LowByte(config[i]);
    return static_cast<uint16_t>(i % 2 ? value << 8 | 0xFF : 0xFF00 | value);
  };
  Core(link_, op::kBsfEepgd);
  Core(link_, op::kBsfCfgs);
  Core(link_, op::kGoto100000First);
  Core(link_, op::kGoto100000Second);
  SetTablePointer(link_, kConfigurationAddress);
  for (int i = 0; i < kConfigurationCount; ++i) {
    if (i != kConfigurationWrittenLast) {
      Command(link_, icsp::kTableWriteStartProgramming, configWord(i));
      link_.QueueProgramHold();
    }
    Core(link_, op::kIncfTblptrL);
  }
  Movlw(link_, kConfigurationWrittenLast);
  Core(link_, op::kMovwfTblptrL);
  Command(link_, icsp::kTableWriteStartProgramming, configWord(kConfigurationWrittenLast));
  link_.QueueProgramHold();
  link_.SendSamples();
  return Pic18Result();
}

// A short read of program space (ID locations, configuration): a 0x22 read on the full
// programmer, table reads on the mini programmer. nullptr when the bytes did not all arrive.
const uint8_t* CPic18Device::ReadPic18ProgramSpace(uint32_t address, int count) {
  if (link_.firmwareMode == 1) {
    AppendAddressAndCount(link_, address, count);
    link_.WriteAppended();
    link_.WriteCommandByte(fw::kReadProgramSpace);
    const uint8_t* bytes = link_.ReadReply(count);
    link_.Clock().Sleep(1);
    return bytes;
  }
  SetTablePointer(link_, address);
  TableReads(link_, count);
  link_.SendSamplesAndDecode();
  return link_.DecodedReply(0, count);
}

int CPic18Device::ReadIdLocations() {
  link_.ResetCursors();
  if (!RequirePic18Device()) return 0;
  const uint8_t* bytes = ReadPic18ProgramSpace(kIdLocationAddress, kIdLocationCount);
  if (!bytes) return 0;
  std::copy_n(bytes, kIdLocationCount, link_.chipImage.idLocations);
  return Pic18Result();
}

// Unimplemented configuration bits read as 1.
int CPic18Device::ReadConfiguration() {
  link_.ResetCursors();
  if (!RequirePic18Device()) return 0;
  const uint8_t* bytes = ReadPic18ProgramSpace(kConfigurationAddress, kConfigurationCount);
  if (!bytes) return 0;
  const uint8_t* masks =
      kPic18Devices[std::clamp(link_.fileImage.deviceIndex, 0, kPic18DeviceRows)].configMasks;
  for (int i = 0; i < kConfigurationCount; ++i) {
    link_.chipImage.configuration[i] = (bytes[i] | ~masks[i]) & 0xFF;
  }
  return Pic18Result();
}

// ---- Data EEPROM and RAM ------------------------------------------------------------------------

int CPic18Device::WriteEeprom() {
  link_.ResetCursors();
  if (!RequirePic18Device()) return 0;
  const int32_t count = link_.fileImage.eepromSize;
  if (count <= 0) return Pic18Result();
  const int32_t* cells = link_.fileImage.eeprom;
  if (link_.firmwareMode == 1) {
    link_.AppendByte(fw::kParameterBlock);
    link_.AppendByte(fw::kAddressAndCount16);
    link_.AppendLittleEndian(0, 4);
    link_.AppendLittleEndian(static_cast<uint32_t>(count), 2);
    link_.WriteAppended();
    link_.WriteCommandByte(fw::kWriteEeprom);
    std::vector<uint8_t> bytes(static_cast<size_t>(count));
    for (int32_t i = 0; i < count; ++i) bytes[i] = LowByte(cells[i]);
    for (size_t sent = 0; sent < bytes.size();) {
      const size_t piece = std::min(fw::kEepromPiece, bytes.size() - sent);
      link_.WriteCommandBytes(std::span<const uint8_t>(bytes.data() + sent, piece));
      if (sent > 0) link_.ReportProgress(static_cast<int32_t>((sent + piece) * 1000 / count));
      sent += piece;
    }
    link_.ReadReply(1);
    return Pic18Result();
  }
  Core(link_, op::kBcfEepgd);
  Core(link_, op::kBcfCfgs);
  for (int32_t i = 0; i < count; ++i) {
    if (cells[i] == kBlankCell) continue;
    Movlw(link_, static_cast<uint32_t>(i));
    Core(link_, op::kMovwfEeadr);
    Movlw(link_, static_cast<uint32_t>(i) >> 8);
    Core(link_, op::kMovwfEeadrh);
    Movlw(link_, LowByte(cells[i]));
    Core(link_, op::kMovwfEedata);
    Core(link_, op::kBsfWren);
    Movlw(link_, 0x55);
    Core(link_, op::kMovwfEecon2);
    Movlw(link_, 0xAA);
    Core(link_, op::kMovwfEecon2);
    Core(link_, op::kBsfWr);
    for (int n = 0; n < kEepromWriteNops; ++n) Core(link_, op::kNop);
    link_.SendSamples();
    link_.ReportProgress(i * 1000 / count);
    Core(link_, op::kBcfWren);  // goes out with the next transfer
  }
  link_.SendSamples();
  return Pic18Result();
}

int CPic18Device::ReadEeprom() {
  link_.ResetCursors();
  if (!RequirePic18Device()) return 0;
  const int32_t count = std::max(0, link_.fileImage.eepromSize);
  const uint8_t* bytes = nullptr;
  if (link_.firmwareMode == 1) {
    AppendAddressAndCount(link_, 0, static_cast<uint32_t>(count));
    link_.WriteAppended();
    link_.WriteCommandByte(fw::kReadEeprom);
    bytes = link_.ReadReply(static_cast<size_t>(count));
  } else {
    Core(link_, op::kBcfEepgd);
    Core(link_, op::kBcfCfgs);
    for (int32_t i = 0; i < count; ++i) {
      Movlw(link_, static_cast<uint32_t>(i));
      Core(link_, op::kMovwfEeadr);
      Movlw(link_, static_cast<uint32_t>(i) >> 8);
      Core(link_, op::kMovwfEeadrh);
      Core(link_, op::kBsfRd);
      Core(link_, op::kMovfEedataW);
      Core(link_, op::kMovwfTablat);
      Command(link_, icsp::kShiftOutTablat, 0xFFFF);
    }
    link_.SendSamplesAndDecode();
    bytes = link_.DecodedReply(0, static_cast<size_t>(count));
  }
  if (!bytes) return 0;
  std::copy_n(bytes, count, link_.chipImage.eeprom);
  return Pic18Result();
}

int CPic18Device::ReadRam() {
  link_.ResetCursors();
  if (!RequirePic18Device()) return 0;
  const int32_t count = std::clamp<int32_t>(link_.fileImage.ramSize, 0, kDataMemoryCells);
  const uint8_t* bytes = nullptr;
  if (link_.firmwareMode == 1) {
    AppendAddressAndCount(link_, 0, static_cast<uint32_t>(count));
    link_.WriteAppended();
    link_.WriteCommandByte(fw::kReadRam);
    bytes = link_.ReadReply(static_cast<size_t>(count));
  } else {
    for (int32_t i = 0; i < count; ++i) {
      Core(link_, static_cast<uint16_t>(op::kMovffSource + (i & 0xFFF)));
      Core(link_, op::kMovffDestinationTablat);
      Command(link_, icsp::kShiftOutTablat, 0xFFFF);
    }
    link_.SendSamplesAndDecode();
    bytes = link_.DecodedReply(0, static_cast<size_t>(count));
  }
  if (!bytes) return 0;
  std::copy_n(bytes, count, link_.chipImage.dataMemory);
  return Pic18Result();
}

// For the data monitor: only MCLR/VPP (0x80) is driven during the RAM read. With the full
// programmer the two pin bytes go to the firmware as single bytes.
int CPic18Device::ReadRamHeld() {
  if (!RequirePic18Device()) return 0;
  link_.pinsProgramming = 0x80;
  link_.Clock().Sleep(1);
  link_.WriteCommandByte(link_.pinsProgramming);
  link_.Clock().Sleep(1);
  ReadRam();
  link_.WriteCommandByte(link_.pinsReleased);
  link_.Clock().Sleep(1);
  return 0;
}

// ---- Program memory reads -----------------------------------------------------------------------

int CPic18Device::ReadProgramRange(int start, int end) {
  link_.ResetCursors();
  if (!RequirePic18Device()) return 0;
  if (start == -1) start = 0;
  if (end == -1) end = link_.fileImage.programSize;
  start = std::clamp(start, 0, link_.fileImage.programSize);
  end = std::clamp(end, start, link_.fileImage.programSize);
  const size_t count = static_cast<size_t>(end - start);
  int32_t* into = link_.chipImage.programMemory + start;

  if (link_.firmwareMode == 1) {
    link_.AppendByte(fw::kParameterBlock);
    link_.AppendByte(fw::kAddressAndCount);
    link_.AppendLittleEndian(static_cast<uint32_t>(start), 3);
    link_.AppendByte(0);
    link_.AppendLittleEndian(static_cast<uint32_t>(count), 3);
    link_.AppendByte(0);
    link_.WriteAppended();
    link_.WriteCommandByte(fw::kReadProgramSpace);
    for (size_t received = 0; received < count;) {
      const size_t piece = std::min(fw::kReadPiece, count - received);
      const uint8_t* bytes = link_.ReadReply(piece);
      if (!bytes) return 0;
      std::copy_n(bytes, piece, into + received);
      received += piece;
      link_.ReportProgress(static_cast<int32_t>(received * 1000 / count));
    }
    link_.Clock().Sleep(1);
    return Pic18Result();
  }
  SetTablePointer(link_, static_cast<uint32_t>(start));
  if (!link_.SendSamplesAndDecode()) return 0;
  for (size_t done = 0; done < count;) {
    const size_t piece = std::min(fw::kReadPiece, count - done);
    const size_t from = link_.readResultCursor;
    TableReads(link_, piece);
    if (!link_.SendSamplesAndDecode()) return 0;
    const uint8_t* bytes = link_.DecodedReply(from, piece);
    if (!bytes) return 0;  // fewer bytes came back than were asked for
    done += piece;
    link_.ReportProgress(static_cast<int32_t>((start + done) * 1000 / link_.fileImage.programSize));
    std::copy_n(bytes, piece, into + done - piece);
    link_.readResultCursor = from;  // the next piece reuses the reply buffer
  }
  return Pic18Result();
}

// Reads each run of cells that link_.fileImage holds data for.
int CPic18Device::ReadProgramMemory() {
  if (!RequirePic18Device()) return 0;
  const int32_t* file = link_.fileImage.programMemory;
  for (int32_t a = 0; a < link_.fileImage.programSize;) {
    if (file[a] == kBlankCell) {
      ++a;
      continue;
    }
    const int32_t runStart = a;
    while (a < link_.fileImage.programSize && file[a] != kBlankCell) ++a;
    if (!ReadProgramRange(runStart, a)) return 0;
  }
  return Pic18Result();
}

// ---- Comparison ---------------------------------------------------------------------------------

int CPic18Device::FindProgramMismatch() {
  for (int32_t a = 0; a < link_.fileImage.programSize; ++a) {
    if (LowByte(link_.fileImage.programMemory[a]) != LowByte(link_.chipImage.programMemory[a]))
      return a;
  }
  return -1;
}

int CPic18Device::FindEepromMismatch() {
  for (int32_t a = 0; a < link_.fileImage.eepromSize; ++a) {
    if (LowByte(link_.fileImage.eeprom[a]) != LowByte(link_.chipImage.eeprom[a])) return a;
  }
  return -1;
}

int CPic18Device::FindConfigMismatch() {
  const uint8_t* masks =
      kPic18Devices[std::clamp(link_.fileImage.deviceIndex, 0, kPic18DeviceRows)].configMasks;
  for (int i = 0; i < kConfigurationCount; ++i) {
    if ((link_.fileImage.configuration[i] & masks[i]) !=
        (link_.chipImage.configuration[i] & masks[i])) {
      return i;
    }
  }
  return -1;
}

}  // namespace velmora
