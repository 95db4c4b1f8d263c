// dsPIC30 device primitives over the full programmer: ICSP instruction streams (firmware command
// 0x4A per instruction) and the firmware's block commands for rows and word reads. The
// instruction words, SFR addresses and NVMCON operations are the maker's (flash programming
// document, its code examples and linker scripts).
//
// The simulated dsPIC30 (sim/dspic30) decodes the same instructions from their bit fields on
// its own, on purpose: it is the oracle these primitives are tested against, so it must not
// share them.
#include "families/dspic30/dspic30_device.h"

#include <algorithm>
#include <array>
#include <vector>

#include "memory/catalogue.h"

namespace velmora {

namespace {

// Firmware commands of the full programmer for dsPIC30 targets.
namespace fw {
constexpr uint8_t kSix = 0x4A;             // instruction LE24
constexpr uint8_t kRegOut = 0x4B;          // 2 bytes: VISI
constexpr uint8_t kNop = 0x4C;             // SIX NOP
constexpr uint8_t kReadProgram = 0x4D;     // negated word count LE16; 3 bytes per word
constexpr uint8_t kWriteRow = 0x4E;        // 96 bytes: one row in packed form
constexpr uint8_t kEraseRow = 0x4F;        // 4 bytes from the row address
constexpr uint8_t kReadData = 0x50;        // negated word count LE16; 2 bytes per word
constexpr uint8_t kCompleteConfig = 0x53;  // unlock and write cycle of a configuration word
constexpr uint8_t kReadRam = 0x54;         // negated word count LE16; 2 bytes per word
constexpr size_t kRowStreamPiece = 1536;   // bytes per write of a row stream
constexpr size_t kReadWordsPiece = 512;    // program words per reply read
constexpr size_t kReadBytesPiece = 512;    // EEPROM bytes per reply read
constexpr uint32_t kWriteCycleMilliseconds = 10;
}  // namespace fw

// Instruction words (the maker's ICSP tables).
namespace op {
constexpr uint32_t kGoto100 = 0x040100;  // GOTO 0x100, first word; the second word is a NOP
constexpr uint32_t kNop = 0x000000;
constexpr uint32_t MovLiteral(uint32_t literal, uint32_t w) {
  return 0x200000 + ((literal & 0xFFFF) << 4) + w;
}
constexpr uint32_t kMovW0Tblpag = 0x880190;
constexpr uint32_t kMovW10Nvmcon = 0x883B0A;
constexpr uint32_t kMovW1Nvmadr = 0x883B11;
constexpr uint32_t kMovW2Nvmadru = 0x883B22;
constexpr uint32_t kMovW8Nvmkey = 0x883B38;
constexpr uint32_t kMovW9Nvmkey = 0x883B39;
constexpr uint32_t kTblrdlPostIncW6ToW7 = 0xBA0BB6;  // TBLRDL [W6++], [W7]
constexpr uint32_t kTblwtlW6PostIncW7 = 0xBB1B86;    // TBLWTL W6, [W7++]
constexpr uint32_t kTblwtlW0IndW7 = 0xBB0B80;        // TBLWTL W0, [W7]
constexpr uint32_t kTblwtlW0PostIncW7 = 0xBB1B80;    // TBLWTL W0, [W7++]
constexpr uint32_t kClrW6 = 0xEB0300;
constexpr uint32_t kBsetWr = 0xA8E761;  // BSET NVMCON, #WR
constexpr uint32_t kBclrWr = 0xA9E761;  // BCLR NVMCON, #WR
constexpr uint32_t kVisi = 0x0784;
}  // namespace op

// NVMCON operations (WREN set).
namespace nvm {
constexpr uint32_t kProgramRow = 0x4001;
constexpr uint32_t kWriteEepromRow = 0x4005;
constexpr uint32_t kEraseEepromAll = 0x4046;
constexpr uint32_t kWriteConfiguration = 0x4008;
constexpr uint32_t kBulkErase = 0x407F;
}  // namespace nvm

// Program-space addresses.
constexpr uint32_t kEepromEnd = 0x800000;
constexpr uint32_t kConfigurationAddress = 0xF80000;
constexpr uint32_t kPageUnits = 0x10000;  // program-space address units per TBLPAG value
constexpr int kRowWords = 32;
constexpr int kEepromRowWords = 16;
constexpr int kCellsPerWord = 4;
constexpr int kDsPicEepromWindowCells = 65536;
// The configuration words in the order they are written: FGS (general-segment code protection)
// last, so code can still be verified before it is protected.
constexpr std::array<int, kDsPic30ConfigRegisters> kConfigWriteOrder = {0, 1, 2, 3, 4, 6, 5};

int32_t LowByte(int32_t cell) {
  return cell & 0xFF;  // a blank cell (-1) reads as 0xFF
}

}  // namespace

bool CDsPic30Device::RequireDsPicDevice() {
  const CMCUMemoryArchitecture& file = link_.fileImage;
  if (file.blockSize != 0 && file.family == Family::kDsPic30) return true;
  link_.Prompt().MessageBox("No dsPIC device detected.\nCannot continue...", "Programmer Error",
                            mb::kErrorAlert);
  return false;
}

void CDsPic30Device::AppendSix(uint32_t instruction) {
  link_.AppendByte(fw::kSix);
  link_.AppendLittleEndian(instruction, 3);
}

// Two NOPs, GOTO 0x100 (both words), a NOP: the core starts from a known program counter.
void CDsPic30Device::AppendStart() {
  link_.AppendByte(fw::kNop);
  link_.AppendByte(fw::kNop);
  AppendSix(op::kGoto100);
  link_.AppendByte(fw::kNop);
}

// The unlock (0x55, 0xAA to NVMKEY) and WR set right after it, then two NOPs.
void CDsPic30Device::AppendUnlockAndWrite() {
  AppendSix(op::MovLiteral(0x55, 8));
  AppendSix(op::kMovW8Nvmkey);
  AppendSix(op::MovLiteral(0xAA, 9));
  AppendSix(op::kMovW9Nvmkey);
  AppendSix(op::kBsetWr);
  link_.AppendByte(fw::kNop);
  link_.AppendByte(fw::kNop);
}

void CDsPic30Device::AppendWriteCycleEnd() {
  AppendSix(op::kBclrWr);
  link_.AppendByte(fw::kNop);
  link_.AppendByte(fw::kNop);
}

// Sends what is queued and waits for the write cycle the last instructions started.
bool CDsPic30Device::WriteAndWait(uint32_t milliseconds) {
  const bool written = link_.WriteAppended();
  link_.Clock().Sleep(milliseconds);
  return written;
}

int CDsPic30Device::IdentifyDsPic() {
  link_.ResetCursors();
  AppendStart();
  AppendSix(op::MovLiteral(0xFF, 0));
  AppendSix(op::kMovW0Tblpag);
  AppendSix(op::MovLiteral(0, 6));
  AppendSix(op::MovLiteral(op::kVisi, 7));
  for (int word = 0; word < 2; ++word) {  // DEVID, then DEVREV
    AppendSix(op::kTblrdlPostIncW6ToW7);
    link_.AppendByte(fw::kNop);
    link_.AppendByte(fw::kNop);
    link_.AppendByte(fw::kRegOut);
  }
  link_.WriteAppended();
  const uint8_t* id = link_.ReadReply(4);
  if (!id) {
    FillDescriptor(link_.fileImage, kDsPic30Catalogue, 0);
    return 0;
  }
  return LookupDsPic30Device(link_.fileImage, id[0], id[1], id[2], id[3]);
}

int CDsPic30Device::BulkEraseDsPic() {
  link_.ResetCursors();
  AppendStart();
  // FBS and FSS are written 0 first (some parts need it before a bulk erase can clear them).
  AppendSix(op::MovLiteral(nvm::kWriteConfiguration, 10));
  AppendSix(op::kMovW10Nvmcon);
  AppendSix(op::MovLiteral(kConfigurationAddress >> 16, 0));
  AppendSix(op::kMovW0Tblpag);
  AppendSix(op::MovLiteral(6, 7));
  AppendSix(op::kClrW6);
  for (int i = 0; i < 2; ++i) {
    AppendSix(op::kTblwtlW6PostIncW7);
    AppendSix(op::MovLiteral(0x55, 8));
    AppendSix(op::MovLiteral(0xAA, 9));
    AppendSix(op::kMovW8Nvmkey);
    AppendSix(op::kMovW9Nvmkey);
    AppendSix(op::kBsetWr);
    link_.AppendByte(fw::kNop);
    link_.AppendByte(fw::kNop);
    WriteAndWait(fw::kWriteCycleMilliseconds);
    AppendWriteCycleEnd();
  }
  AppendSix(op::MovLiteral(nvm::kBulkErase, 10));
  AppendSix(op::kMovW10Nvmcon);
  AppendUnlockAndWrite();
  WriteAndWait(fw::kWriteCycleMilliseconds);
  AppendWriteCycleEnd();
  link_.WriteAppended();
  link_.chipImage.Clear();
  return Result();
}

int CDsPic30Device::WriteProgramRows(int eraseRows, int onlyChanged) {
  const CMCUMemoryArchitecture& file = link_.fileImage;
  const CMCUMemoryArchitecture& chip = link_.chipImage;
  const int32_t words = file.programSize;
  link_.ResetCursors();
  AppendStart();
  for (int32_t w = 0; w < words; w += kRowWords) {
    bool changed = false;
    bool hasData = false;
    for (int32_t c = kCellsPerWord * w; c < kCellsPerWord * (w + kRowWords); ++c) {
      if (c % kCellsPerWord == 3) continue;  // phantom byte
      // Only cells the file gives can differ; the chip's blank cells are unknown, so they do.
      if (file.programMemory[c] == kBlankCell) continue;
      hasData = true;
      if (chip.programMemory[c] == kBlankCell ||
          LowByte(file.programMemory[c]) != LowByte(chip.programMemory[c]))
        changed = true;
    }
    const uint32_t a = 2 * static_cast<uint32_t>(w);
    if (eraseRows || (onlyChanged && changed)) {
      link_.AppendByte(fw::kEraseRow);
      link_.AppendByte(static_cast<uint8_t>(((a >> 12) & 0x0F) | 0x20));
      link_.AppendByte(static_cast<uint8_t>(a >> 4));
      link_.AppendByte(static_cast<uint8_t>(a >> 20));
      link_.AppendByte(static_cast<uint8_t>((a >> 12) & 0xF0));
    }
    if (hasData && (!onlyChanged || changed)) {
      AppendSix(op::MovLiteral(nvm::kProgramRow, 10));
      AppendSix(op::kMovW10Nvmcon);
      AppendSix(op::MovLiteral(a >> 16, 0));
      AppendSix(op::kMovW0Tblpag);
      AppendSix(op::MovLiteral(a & 0xFFFF, 7));
      link_.AppendByte(fw::kWriteRow);
      // Four instructions (cells c0..c15) as six words LSW0, MSB1:MSB0, LSW1, LSW2, MSB3:MSB2,
      // LSW3, each rotated left by 4 bits and sent low byte first.
      for (int32_t g = kCellsPerWord * w; g < kCellsPerWord * (w + kRowWords); g += 16) {
        auto cell = [&file, g](int k) {
          return static_cast<uint32_t>(LowByte(file.programMemory[g + k]));
        };
        const uint32_t packed[6] = {cell(1) << 8 | cell(0),   cell(6) << 8 | cell(2),
                                    cell(5) << 8 | cell(4),   cell(9) << 8 | cell(8),
                                    cell(14) << 8 | cell(10), cell(13) << 8 | cell(12)};
        for (uint32_t v : packed) {
          link_.AppendByte(static_cast<uint8_t>(((v << 4) & 0xF0) | (v >> 12)));
          link_.AppendByte(static_cast<uint8_t>((v >> 4) & 0xFF));
        }
      }
    }
    if (words > 0) link_.ReportProgress(static_cast<int32_t>(1000LL * (w + kRowWords) / words));
  }
  link_.WriteAppended(fw::kRowStreamPiece);
  return Result();
}

int CDsPic30Device::ReadProgramRangeDsPic(int start, int end) {
  if (!RequireDsPicDevice()) return 0;
  CMCUMemoryArchitecture& chip = link_.chipImage;
  const int32_t words = link_.fileImage.programSize;
  const int32_t first = start < 0 ? 0 : std::min(start, words);
  const int32_t last = end < 0 ? words : std::min(end, words);
  if (first >= last) return Result();
  link_.ResetCursors();
  AppendStart();
  constexpr int32_t kPageWords = kPageUnits / 2;
  for (int32_t w = first; w < last;) {
    const int32_t pageEnd = std::min(last, (w / kPageWords + 1) * kPageWords);
    const auto count = static_cast<uint32_t>(pageEnd - w);
    AppendSix(op::MovLiteral(static_cast<uint32_t>(w / kPageWords), 0));
    AppendSix(op::kMovW0Tblpag);
    AppendSix(op::MovLiteral(static_cast<uint32_t>(2 * (w % kPageWords)), 6));
    AppendSix(op::MovLiteral(op::kVisi, 7));
    link_.AppendByte(fw::kReadProgram);
    link_.AppendLittleEndian((0x10000 - count) & 0xFFFF, 2);
    w = pageEnd;
  }
  link_.WriteAppended();
  for (int32_t w = first; w < last;) {
    const int32_t n = std::min<int32_t>(fw::kReadWordsPiece, last - w);
    const uint8_t* bytes = link_.ReadReply(3 * static_cast<size_t>(n));
    if (!bytes) return 0;
    for (int32_t i = 0; i < n; ++i) {
      int32_t* cells = chip.programMemory + kCellsPerWord * (w + i);
      cells[0] = bytes[3 * i];
      cells[1] = bytes[3 * i + 1];
      cells[2] = bytes[3 * i + 2];
      cells[3] = 0;  // phantom byte
    }
    w += n;
    link_.ReportProgress(static_cast<int32_t>(1000LL * (w - first) / (last - first)));
  }
  return Result();
}

// Every run of words that hold data in the file (phantom cells count only when phantomIsData).
int CDsPic30Device::ReadProgramRuns(bool phantomIsData) {
  if (!RequireDsPicDevice()) return 0;
  const CMCUMemoryArchitecture& file = link_.fileImage;
  const int dataCells = phantomIsData ? kCellsPerWord : 3;
  auto hasData = [&](int32_t w) {
    const int32_t* cells = file.programMemory + kCellsPerWord * w;
    return std::any_of(cells, cells + dataCells, [](int32_t c) { return c != kBlankCell; });
  };
  for (int32_t w = 0; w < file.programSize;) {
    if (!hasData(w)) {
      ++w;
      continue;
    }
    int32_t runEnd = w + 1;
    while (runEnd < file.programSize && hasData(runEnd)) ++runEnd;
    if (!ReadProgramRangeDsPic(w, runEnd)) return 0;
    w = runEnd;
  }
  return Result();
}

int CDsPic30Device::ReadProgramDsPic() {
  return ReadProgramRuns(false);
}

int CDsPic30Device::ReadProgramDsPicAll() {
  return ReadProgramRuns(true);
}

// Program-space addresses [first, end): TBLPAG takes bits 23..16 and W6 bits 15..0 of each
// address; one 0x50 per TBLPAG page with that page's word count.
int CDsPic30Device::ReadDataWords(uint32_t first, uint32_t end) {
  link_.ResetCursors();
  AppendStart();
  for (uint32_t a = first; a < end;) {
    const uint32_t pageEnd = std::min(end, (a / kPageUnits + 1) * kPageUnits);
    const uint32_t count = (pageEnd - a + 1) / 2;
    AppendSix(op::MovLiteral(a >> 16, 0));
    AppendSix(op::kMovW0Tblpag);
    AppendSix(op::MovLiteral(a & 0xFFFF, 6));
    AppendSix(op::MovLiteral(op::kVisi, 7));
    link_.AppendByte(fw::kReadData);
    link_.AppendLittleEndian((0x10000 - count) & 0xFFFF, 2);
    a = pageEnd;
  }
  link_.WriteAppended();
  return Result();
}

int CDsPic30Device::EepromFirstCell() const {
  return kDsPicEepromWindowCells - 2 * link_.fileImage.eepromSize;
}

int CDsPic30Device::ReadEepromDsPic() {
  if (!RequireDsPicDevice()) return 0;
  const int32_t bytes = link_.fileImage.eepromSize;
  if (bytes <= 0) return 0;
  CMCUMemoryArchitecture& chip = link_.chipImage;
  ReadDataWords(kEepromEnd - static_cast<uint32_t>(bytes), kEepromEnd);
  const int first = EepromFirstCell();
  for (int32_t done = 0; done < bytes;) {
    const int32_t n = std::min<int32_t>(fw::kReadBytesPiece, bytes - done);
    const uint8_t* data = link_.ReadReply(static_cast<size_t>(n));
    if (!data) return 0;
    for (int32_t i = 0; i < n; ++i) {
      const int32_t b = done + i;  // byte b of the EEPROM: word b / 2, byte b % 2
      chip.dsPICEeprom[first + kCellsPerWord * (b / 2) + b % 2] = data[i];
      chip.dsPICEeprom[first + kCellsPerWord * (b / 2) + 2 + b % 2] = 0;
    }
    done += n;
    link_.ReportProgress(static_cast<int32_t>(1000LL * done / bytes));
  }
  return Result();
}

// Row by row (16 words) where the file holds EEPROM data: the 16 words into the write latches
// and the row write, each cycle started by the unlock.
int CDsPic30Device::WriteEepromDsPic(int notErased) {
  if (!RequireDsPicDevice()) return 0;
  const CMCUMemoryArchitecture& file = link_.fileImage;
  const int32_t words = file.eepromSize / 2;
  if (words <= 0) return 0;
  const int first = EepromFirstCell();
  const uint32_t start = kEepromEnd - static_cast<uint32_t>(file.eepromSize);
  link_.ResetCursors();
  AppendStart();
  // A write only clears bits: a chip that was not bulk-erased has its whole EEPROM erased first,
  // as a bulk erase would, so rows the file leaves out read blank too.
  if (notErased) {
    AppendSix(op::MovLiteral(nvm::kEraseEepromAll, 10));
    AppendSix(op::kMovW10Nvmcon);
    AppendSix(op::MovLiteral(start & 0xFFFF, 1));
    AppendSix(op::kMovW1Nvmadr);
    AppendSix(op::MovLiteral(start >> 16, 2));
    AppendSix(op::kMovW2Nvmadru);
    AppendUnlockAndWrite();
    WriteAndWait(fw::kWriteCycleMilliseconds);
    AppendWriteCycleEnd();
  }
  for (int32_t row = 0; row < words; row += kEepromRowWords) {
    const int32_t* cells = file.dsPICEeprom + first + kCellsPerWord * row;
    const bool hasData = std::any_of(cells, cells + kCellsPerWord * kEepromRowWords,
                                     [](int32_t c) { return c != kBlankCell; });
    if (!hasData) continue;
    const uint32_t address = start + 2 * static_cast<uint32_t>(row);
    AppendSix(op::MovLiteral(nvm::kWriteEepromRow, 10));
    AppendSix(op::kMovW10Nvmcon);
    AppendSix(op::MovLiteral(address >> 16, 0));
    AppendSix(op::kMovW0Tblpag);
    AppendSix(op::MovLiteral(address & 0xFFFF, 7));
    for (int32_t i = 0; i < kEepromRowWords; ++i) {
      const int32_t* word = cells + kCellsPerWord * i;
      AppendSix(op::MovLiteral(static_cast<uint32_t>(LowByte(word[1]) << 8 | LowByte(word[0])), 0));
      AppendSix(op::kTblwtlW0PostIncW7);
    }
    AppendUnlockAndWrite();
    WriteAndWait(fw::kWriteCycleMilliseconds);
    AppendWriteCycleEnd();
    link_.ReportProgress(static_cast<int32_t>(1000LL * (row + kEepromRowWords) / words));
  }
  link_.WriteAppended();
  return Result();
}

int CDsPic30Device::EraseEepromDsPic() {
  if (!RequireDsPicDevice()) return 0;
  const int32_t bytes = link_.fileImage.eepromSize;
  if (bytes <= 0) return 0;
  const uint32_t start = kEepromEnd - static_cast<uint32_t>(bytes);
  link_.ResetCursors();
  AppendStart();
  AppendSix(op::MovLiteral(nvm::kEraseEepromAll, 10));
  AppendSix(op::kMovW10Nvmcon);
  AppendSix(op::MovLiteral(start & 0xFFFF, 1));
  AppendSix(op::kMovW1Nvmadr);
  AppendSix(op::MovLiteral(start >> 16, 2));
  AppendSix(op::kMovW2Nvmadru);
  AppendUnlockAndWrite();
  WriteAndWait(fw::kWriteCycleMilliseconds);
  AppendWriteCycleEnd();
  link_.WriteAppended();
  return Result();
}

uint8_t CDsPic30Device::ConfigCellMask(int cell) const {
  const int row = link_.fileImage.deviceIndex;
  if (cell < 0 || cell >= kDsPic30ConfigCells || cell % kCellsPerWord >= 2) return 0;
  if (link_.fileImage.family != Family::kDsPic30 || row < 0 || row > kDsPic30DeviceRows) return 0;
  return kDsPic30Devices[row].configMasks[2 * (cell / kCellsPerWord) + cell % kCellsPerWord];
}

int CDsPic30Device::ReadConfigurationDsPic() {
  if (!RequireDsPicDevice()) return 0;
  ReadDataWords(kConfigurationAddress, kConfigurationAddress + 2 * kDsPic30ConfigRegisters);
  const uint8_t* bytes = link_.ReadReply(2 * kDsPic30ConfigRegisters);
  if (!bytes) return 0;
  int32_t* cells = link_.chipImage.dsPICConfiguration;
  for (int i = 0; i < kDsPic30ConfigRegisters; ++i) {
    for (int k = 0; k < 2; ++k) {
      const int cell = kCellsPerWord * i + k;
      // Unimplemented bits read as 1, as in the files the maker's tools write.
      cells[cell] = (bytes[2 * i + k] | ~ConfigCellMask(cell)) & 0xFF;
    }
    cells[kCellsPerWord * i + 2] = 0;
    cells[kCellsPerWord * i + 3] = 0;
  }
  return Result();
}

// One word after the other (FGS last): the word into the write latch at 0xF80000 + 2i, then the
// firmware's unlock and write cycle (0x53). Unimplemented bits are written 0, as the maker asks.
int CDsPic30Device::WriteConfigurationDsPic() {
  const int32_t* cells = link_.fileImage.dsPICConfiguration;
  link_.ResetCursors();
  AppendStart();
  for (int i : kConfigWriteOrder) {
    const int low = kCellsPerWord * i;
    const uint32_t mask = uint32_t{ConfigCellMask(low + 1)} << 8 | ConfigCellMask(low);
    const uint32_t value =
        static_cast<uint32_t>(LowByte(cells[low + 1]) << 8 | LowByte(cells[low]));
    AppendSix(op::MovLiteral(2 * static_cast<uint32_t>(i), 7));
    AppendSix(op::MovLiteral(nvm::kWriteConfiguration, 10));
    AppendSix(op::kMovW10Nvmcon);
    AppendSix(op::MovLiteral(kConfigurationAddress >> 16, 0));
    AppendSix(op::kMovW0Tblpag);
    AppendSix(op::MovLiteral(value & mask, 0));
    AppendSix(op::kTblwtlW0IndW7);
    link_.AppendByte(fw::kNop);
    link_.AppendByte(fw::kNop);
    link_.AppendByte(fw::kCompleteConfig);
  }
  link_.WriteAppended();
  return Result();
}

int CDsPic30Device::ReadRamDsPic() {
  if (!RequireDsPicDevice()) return 0;
  const int32_t bytes = link_.fileImage.ramSize;
  if (bytes <= 0) return 0;
  link_.ResetCursors();
  AppendStart();
  AppendSix(op::MovLiteral(0x800, 6));
  AppendSix(op::MovLiteral(op::kVisi, 7));
  link_.AppendByte(fw::kReadRam);
  link_.AppendLittleEndian((0x10000 - static_cast<uint32_t>(bytes / 2)) & 0xFFFF, 2);
  link_.WriteAppended();
  const uint8_t* data = link_.ReadReply(static_cast<size_t>(bytes / 2) * 2);
  if (!data) return 0;
  for (int32_t i = 0; i < bytes / 2 * 2; ++i) link_.chipImage.dataMemory[i] = data[i];
  return Result();
}

int CDsPic30Device::FindProgramDifference(bool skipBlank) {
  const CMCUMemoryArchitecture& file = link_.fileImage;
  const CMCUMemoryArchitecture& chip = link_.chipImage;
  const int32_t cells = kCellsPerWord * file.programSize;
  for (int32_t c = 0; c < cells; ++c) {
    if (c % kCellsPerWord == 3) continue;
    if (skipBlank && file.programMemory[c] == kBlankCell) continue;
    if (LowByte(file.programMemory[c]) != LowByte(chip.programMemory[c])) return c;
  }
  return -1;
}

int CDsPic30Device::FindProgramMismatchDsPic() {
  return FindProgramDifference(false);
}

int CDsPic30Device::FindChangedProgramDsPic() {
  return FindProgramDifference(true);
}

// Over the cells the EEPROM read and the HEX reader fill: the two data cells of every four in
// the top 2 x eepromSize cells of the window. Returns the EEPROM word index.
int CDsPic30Device::FindEepromDifference(bool skipBlank) {
  const CMCUMemoryArchitecture& file = link_.fileImage;
  const CMCUMemoryArchitecture& chip = link_.chipImage;
  const int first = EepromFirstCell();
  for (int32_t word = 0; word < file.eepromSize / 2; ++word) {
    for (int k = 0; k < 2; ++k) {
      const int c = first + kCellsPerWord * word + k;
      if (skipBlank && file.dsPICEeprom[c] == kBlankCell) continue;
      if (LowByte(file.dsPICEeprom[c]) != LowByte(chip.dsPICEeprom[c])) return word;
    }
  }
  return -1;
}

int CDsPic30Device::FindEepromMismatchDsPic() {
  return FindEepromDifference(false);
}

int CDsPic30Device::FindChangedEepromDsPic() {
  return FindEepromDifference(true);
}

int CDsPic30Device::FindConfigMismatchDsPic() {
  const int32_t* file = link_.fileImage.dsPICConfiguration;
  const int32_t* chip = link_.chipImage.dsPICConfiguration;
  for (int cell = 0; cell < kDsPic30ConfigCells; ++cell) {
    const int32_t mask = ConfigCellMask(cell);
    if ((LowByte(file[cell]) & mask) != (LowByte(chip[cell]) & mask)) return cell;
  }
  return -1;
}

}  // namespace velmora
