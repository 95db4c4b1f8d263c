// The instruction decoder and the flash controller are written out here again on purpose, apart
// from the product's dsPIC30 primitives (src/families/dspic30): this model is the oracle they are
// tested against, and a model that shared their constants would agree with their mistakes.
#include "dspic30_core.h"

#include <cstdio>
#include <utility>

namespace velmora::sim {

using namespace dspic30addr;

namespace {

// Bit fields of the 24-bit instruction word.
constexpr uint32_t Field(uint32_t word, int high, int low) {
  return (word >> low) & ((1u << (high - low + 1)) - 1);
}

std::string Hex(uint32_t value, int digits) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%0*X", digits, value);
  return text;
}

// Fields of the table instructions and of CLR: 1011 101w HBqq qddd dppp ssss.
struct TableFields {
  bool high;      // TBLxxH: bits 23..16 of the program word
  bool byteMode;  // .B
  uint32_t q, d, p, s;
};
TableFields DecodeTable(uint32_t instruction) {
  return {.high = Field(instruction, 15, 15) != 0,
          .byteMode = Field(instruction, 14, 14) != 0,
          .q = Field(instruction, 13, 11),
          .d = Field(instruction, 10, 7),
          .p = Field(instruction, 6, 4),
          .s = Field(instruction, 3, 0)};
}

constexpr uint32_t kLastIndirectMode = 5;  // modes 6 and 7 are not table-instruction modes

std::string Operand(uint32_t mode, uint32_t reg) {
  const std::string w = "W" + std::to_string(reg);
  switch (mode) {
    case 0:
      return w;
    case 1:
      return "[" + w + "]";
    case 2:
      return "[" + w + "--]";
    case 3:
      return "[" + w + "++]";
    case 4:
      return "[--" + w + "]";
    case 5:
      return "[++" + w + "]";
    default:
      return "?";
  }
}

std::string DataName(uint32_t address) {
  switch (address) {
    case kTblpag:
      return "TBLPAG";
    case kNvmcon:
      return "NVMCON";
    case kNvmadr:
      return "NVMADR";
    case kNvmadru:
      return "NVMADRU";
    case kNvmkey:
      return "NVMKEY";
    case kVisi:
      return "VISI";
    default:
      return Hex(address, 4);
  }
}

}  // namespace

DsPic30Core::DsPic30Core(DsPic30Memory& memory) : memory_(memory), sfr_(kSfrEnd, 0) {}

void DsPic30Core::Reset() {
  std::fill(sfr_.begin(), sfr_.end(), 0);
  latches_.clear();
  gotoLow_.reset();
  pc_ = 0;
  unlockStarted_ = false;
  unlockedAt_.reset();
}

std::vector<std::string> DsPic30Core::TakeNotes() {
  return std::exchange(notes_, {});
}

double DsPic30Core::TakeBusyMicros() {
  return std::exchange(busyMicros_, 0.0);
}

void DsPic30Core::Error(const std::string& text) {
  ++errors_;
  Note("dsPIC30 error: " + text);
}

uint16_t DsPic30Core::ReadVisi() const {
  if (memory_.IsAbsent()) return memory_.AbsentLevel();
  return DataWordRaw(kVisi);
}

void DsPic30Core::Execute(uint32_t instruction) {
  instruction &= 0xFFFFFF;
  ++executed_;
  if (memory_.IsAbsent()) return;
  if (gotoLow_) return GotoSecondWord(instruction);
  const uint32_t opcode = Field(instruction, 23, 16);
  if (opcode == 0x00) return;  // NOP
  if (opcode == 0x04) return Goto(instruction);
  if (Field(instruction, 23, 20) == 0x2) return MovLiteral(instruction);
  if (Field(instruction, 23, 20) == 0x8) return MovFile(instruction);
  if (opcode == 0xA8 || opcode == 0xA9) return BitSetOrClear(instruction);
  if (opcode == 0xBA) return TableRead(instruction);
  if (opcode == 0xBB) return TableWrite(instruction);
  if (Field(instruction, 23, 15) == 0b111010110 && Field(instruction, 6, 0) == 0) {
    return Clear(instruction);
  }
  Error("unknown instruction " + Hex(instruction, 6));
}

// GOTO lit23: 0000 0100 nnnn nnnn nnnn nnn0, then 0000 0000 0000 0000 0nnn nnnn (n<22:16>).
void DsPic30Core::Goto(uint32_t instruction) {
  if (instruction & 1) Error("GOTO to an odd address in " + Hex(instruction, 6));
  gotoLow_ = instruction & 0xFFFE;
}

void DsPic30Core::GotoSecondWord(uint32_t instruction) {
  const uint32_t low = *gotoLow_;
  gotoLow_.reset();
  if (Field(instruction, 23, 7) != 0) {
    Error("second word of GOTO expected, got " + Hex(instruction, 6));
    return;
  }
  pc_ = Field(instruction, 6, 0) << 16 | low;
}

// MOV #lit16, Wn: 0010 kkkk kkkk kkkk kkkk dddd.
void DsPic30Core::MovLiteral(uint32_t instruction) {
  SetW(Field(instruction, 3, 0), static_cast<uint16_t>(Field(instruction, 19, 4)), false);
}

// MOV f, Wnd: 1000 0fff ffff ffff ffff dddd; MOV Wns, f: 1000 1fff ...; bits 18..4 = f<15:1>.
void DsPic30Core::MovFile(uint32_t instruction) {
  const auto file = static_cast<uint16_t>(Field(instruction, 18, 4) << 1);
  const uint32_t reg = Field(instruction, 3, 0);
  if (Field(instruction, 19, 19)) {
    WriteData(file, W(static_cast<int>(reg)), false);
  } else {
    SetW(reg, ReadData(file, false), false);
  }
}

// BSET/BCLR f, #bit4: 1010 100c bbbf ffff ffff fffb; bits 15..13 = bit4<3:1>, bit 0 = bit4<0>,
// bits 12..1 = f<12:1>.
void DsPic30Core::BitSetOrClear(uint32_t instruction) {
  const auto file = static_cast<uint16_t>(instruction & 0x1FFE);
  const uint32_t bit = Field(instruction, 15, 13) << 1 | Field(instruction, 0, 0);
  const bool set = Field(instruction, 16, 16) == 0;
  const uint16_t old = ReadData(file, false);
  const auto mask = static_cast<uint16_t>(1u << bit);
  WriteData(file, set ? (old | mask) : (old & ~mask), false);
}

// TBLRDL/TBLRDH{.B} Ws, Wd: 1011 1010 HBqq qddd dppp ssss. The source is the program-space
// offset (TBLPAG supplies bits 23..16). TBLRDL reads bits 15..0, TBLRDH bits 23..16 and the
// phantom byte, which reads 0; in byte mode an odd address selects the upper byte of the pair.
void DsPic30Core::TableRead(uint32_t instruction) {
  const TableFields f = DecodeTable(instruction);
  if (f.p == 0 || f.p > kLastIndirectMode || f.q > kLastIndirectMode) {
    Error("unknown addressing in " + Hex(instruction, 6));
    return;
  }
  const uint16_t offset = EffectiveAddress(f.p, f.s, f.byteMode);
  const uint32_t address = uint32_t{DataWordRaw(kTblpag)} << 16 | offset;
  const uint32_t word = memory_.ReadProgramSpace(address & ~1u);
  uint16_t value;
  if (!f.high) {
    value = static_cast<uint16_t>(word & 0xFFFF);
    if (f.byteMode) value = (address & 1) ? (value >> 8) : (value & 0xFF);
  } else {
    value = static_cast<uint16_t>((word >> 16) & 0xFF);
    if (f.byteMode && (address & 1)) value = 0;  // phantom byte
  }
  if (f.q == 0) {
    SetW(f.d, value, f.byteMode);
  } else {
    WriteData(EffectiveAddress(f.q, f.d, f.byteMode), value, f.byteMode);
  }
}

// TBLWTL/TBLWTH{.B} Ws, Wd: 1011 1011 HBqq qddd dppp ssss. The destination is the program-space
// offset; the write only loads a write latch and makes that address the flash controller's
// target (NVMADRU:NVMADR). Writes to the phantom byte are lost.
void DsPic30Core::TableWrite(uint32_t instruction) {
  const TableFields f = DecodeTable(instruction);
  if (f.q == 0 || f.q > kLastIndirectMode || f.p > kLastIndirectMode) {
    Error("unknown addressing in " + Hex(instruction, 6));
    return;
  }
  uint16_t value = f.p == 0 ? W(static_cast<int>(f.s))
                            : ReadData(EffectiveAddress(f.p, f.s, f.byteMode), f.byteMode);
  if (f.byteMode) value &= 0xFF;
  const uint16_t offset = EffectiveAddress(f.q, f.d, f.byteMode);
  const uint16_t page = DataWordRaw(kTblpag);
  const uint32_t address = uint32_t{page} << 16 | offset;
  uint32_t& latch = latches_.try_emplace(address & ~1u, DsPic30Memory::kErasedWord).first->second;
  auto load = [&latch](int shift, uint32_t width, uint32_t bits) {
    const uint32_t mask = ((1u << width) - 1) << shift;
    latch = (latch & ~mask) | ((bits << shift) & mask);
  };
  if (!f.high) {
    if (!f.byteMode) {
      load(0, 16, value);
    } else {
      load((address & 1) ? 8 : 0, 8, value);
    }
  } else if (!f.byteMode || !(address & 1)) {
    load(16, 8, value & 0xFF);
  }
  WriteSfrWord(kNvmadr, offset);
  WriteSfrWord(kNvmadru, page);
}

// CLR Wd: 1110 1011 0Bqq qddd d000 0000.
void DsPic30Core::Clear(uint32_t instruction) {
  const TableFields f = DecodeTable(instruction);
  if (f.q == 0) {
    SetW(f.d, 0, f.byteMode);
  } else if (f.q <= kLastIndirectMode) {
    WriteData(EffectiveAddress(f.q, f.d, f.byteMode), 0, f.byteMode);
  } else {
    Error("unknown addressing in " + Hex(instruction, 6));
  }
}

uint16_t DsPic30Core::EffectiveAddress(uint32_t mode, uint32_t reg, bool byteMode) {
  const int n = static_cast<int>(reg);
  const auto step = static_cast<uint16_t>(byteMode ? 1 : 2);
  const uint16_t w = W(n);
  switch (mode) {
    case 2:
      SetW(reg, static_cast<uint16_t>(w - step), false);
      return w;
    case 3:
      SetW(reg, static_cast<uint16_t>(w + step), false);
      return w;
    case 4:
      SetW(reg, static_cast<uint16_t>(w - step), false);
      return W(n);
    case 5:
      SetW(reg, static_cast<uint16_t>(w + step), false);
      return W(n);
    default:
      return w;
  }
}

void DsPic30Core::SetW(uint32_t reg, uint16_t value, bool byteMode) {
  const size_t at = 2 * (reg & 0xF);
  sfr_[at] = static_cast<uint8_t>(value & 0xFF);
  if (!byteMode) sfr_[at + 1] = static_cast<uint8_t>(value >> 8);
}

uint16_t DsPic30Core::DataWordRaw(uint16_t address) const {
  address &= ~1u;
  if (address < kSfrEnd) return static_cast<uint16_t>(sfr_[address] | sfr_[address + 1] << 8);
  return static_cast<uint16_t>(memory_.ReadRam(address) | memory_.ReadRam(address + 1u) << 8);
}

uint16_t DsPic30Core::ReadData(uint16_t address, bool byteMode) {
  if (!byteMode && (address & 1)) {
    Error("word read at odd data address " + Hex(address, 4));
    address &= ~1u;
  }
  if (address >= kSfrEnd && !memory_.IsRam(address)) {
    Error("read of unimplemented data address " + Hex(address, 4));
    return 0;
  }
  if ((address & ~1u) == kNvmkey) return 0;  // write-only
  const uint16_t word = DataWordRaw(address);
  if (!byteMode) return word;
  return (address & 1) ? (word >> 8) : (word & 0xFF);
}

void DsPic30Core::WriteData(uint16_t address, uint16_t value, bool byteMode) {
  if (!byteMode && (address & 1)) {
    Error("word write at odd data address " + Hex(address, 4));
    address &= ~1u;
  }
  const auto aligned = static_cast<uint16_t>(address & ~1u);
  uint16_t word = value;
  if (byteMode) {
    const uint16_t old = DataWordRaw(aligned);
    word = (address & 1) ? static_cast<uint16_t>((old & 0x00FF) | (value & 0xFF) << 8)
                         : static_cast<uint16_t>((old & 0xFF00) | (value & 0xFF));
  }
  if (aligned < kSfrEnd) {
    WriteSfrWord(aligned, word);
  } else if (memory_.IsRam(aligned)) {
    memory_.WriteRam(aligned, static_cast<uint8_t>(word & 0xFF));
    memory_.WriteRam(aligned + 1u, static_cast<uint8_t>(word >> 8));
  } else {
    Error("write to unimplemented data address " + Hex(address, 4));
  }
}

void DsPic30Core::WriteSfrWord(uint16_t address, uint16_t value) {
  switch (address) {
    case kNvmkey:
      NvmKeyWritten(static_cast<uint8_t>(value & 0xFF));
      return;
    case kTblpag:
    case kNvmadru:
      value &= 0xFF;  // 8-bit registers
      break;
    case kNvmcon: {
      const bool starting = (value & kWr) && !(DataWordRaw(kNvmcon) & kWr);
      sfr_[address] = static_cast<uint8_t>(value & 0xFF);
      sfr_[address + 1] = static_cast<uint8_t>(value >> 8);
      if (starting) StartNvmOperation();
      return;
    }
    default:
      break;
  }
  sfr_[address] = static_cast<uint8_t>(value & 0xFF);
  sfr_[address + 1] = static_cast<uint8_t>(value >> 8);
}

// The unlock: 0x55, then 0xAA written to NVMKEY; WR must be set by the very next instruction.
void DsPic30Core::NvmKeyWritten(uint8_t key) {
  if (key == 0x55) {
    unlockStarted_ = true;
    unlockedAt_.reset();
  } else if (key == 0xAA && unlockStarted_) {
    unlockStarted_ = false;
    unlockedAt_ = executed_;
  } else {
    Error("wrong unlock: " + Hex(key, 2) + " written to NVMKEY" +
          (key == 0xAA ? " without 0x55 before it" : ""));
    unlockStarted_ = false;
    unlockedAt_.reset();
  }
}

void DsPic30Core::StartNvmOperation() {
  const bool unlocked = unlockedAt_ && executed_ == *unlockedAt_ + 1;
  unlockStarted_ = false;
  unlockedAt_.reset();
  const uint16_t nvmcon = DataWordRaw(kNvmcon);
  // The cycle ends (or never starts) with WR clear again.
  sfr_[kNvmcon + 1] = static_cast<uint8_t>((nvmcon & ~kWr) >> 8);
  if (!unlocked) {
    Error("NVMCON.WR set without the unlock sequence (0x55, 0xAA to NVMKEY) just before it");
    return;
  }
  if (!(nvmcon & kWren)) {
    Error("NVMCON.WR set without WREN");
    return;
  }
  const uint32_t address = uint32_t{DataWordRaw(kNvmadru)} << 16 | (DataWordRaw(kNvmadr) & ~1u);
  RunNvmOperation(static_cast<uint16_t>(nvmcon & ~kWr), address);
  latches_.clear();
}

uint32_t DsPic30Core::Latch(uint32_t address) const {
  const auto it = latches_.find(address);
  return it == latches_.end() ? DsPic30Memory::kErasedWord : it->second;
}

void DsPic30Core::RunNvmOperation(uint16_t operation, uint32_t address) {
  const std::string at = " at " + Hex(address, 6);
  const bool program = memory_.IsProgram(address);
  const bool eeprom = memory_.IsEeprom(address);
  switch (operation) {
    case nvmop::kProgramRow:
    case nvmop::kEraseRow: {
      const bool erase = operation == nvmop::kEraseRow;
      const char* what = erase ? "row erase" : "row program";
      if (!program) return Error(std::string(what) + " outside code memory" + at);
      busyMicros_ += erase ? dspic30busy::kRowEraseMicros : dspic30busy::kRowProgramMicros;
      if (memory_.CodeProtected()) return Note(std::string(what) + at + " refused: code protected");
      const uint32_t row = address / (2 * kRowWords) * (2 * kRowWords);
      if (erase) {
        memory_.EraseRow(row);
      } else {
        for (uint32_t a = row; a < row + 2 * kRowWords; a += 2) memory_.ProgramWord(a, Latch(a));
      }
      return Note(std::string(what) + at);
    }
    case nvmop::kWriteEepromWord:
    case nvmop::kWriteEepromRow:
    case nvmop::kEraseEepromWord:
    case nvmop::kEraseEepromRow: {
      if (!eeprom)
        return Error("data EEPROM operation " + Hex(operation, 4) + " outside EEPROM" + at);
      busyMicros_ += dspic30busy::kEepromMicros;
      const bool row = operation == nvmop::kWriteEepromRow || operation == nvmop::kEraseEepromRow;
      const uint32_t first =
          row ? address / (2 * kEepromRowWords) * (2 * kEepromRowWords) : address;
      const uint32_t end = row ? first + 2 * kEepromRowWords : address + 2;
      const bool erase = operation & 0x40;
      for (uint32_t a = first; a < end; a += 2) {
        if (erase) {
          memory_.EraseEepromWord(a);
        } else {
          memory_.WriteEepromWord(a, static_cast<uint16_t>(Latch(a) & 0xFFFF));
        }
      }
      return Note(std::string("data EEPROM ") + (erase ? "erase " : "write ") +
                  (row ? "row" : "word") + at);
    }
    case nvmop::kEraseEepromAll:
      if (memory_.geometry().eepromBytes == 0) return Error("data EEPROM erase: no EEPROM");
      busyMicros_ += dspic30busy::kEepromMicros;
      memory_.EraseEepromAll();
      return Note("data EEPROM erased");
    case nvmop::kWriteConfiguration: {
      const int index = memory_.ConfigIndex(address);
      if (index < 0) return Error("configuration write outside the configuration registers" + at);
      busyMicros_ += dspic30busy::kConfigurationMicros;
      memory_.WriteConfiguration(static_cast<uint32_t>(index),
                                 static_cast<uint16_t>(Latch(address) & 0xFFFF));
      return Note("configuration write" + at);
    }
    case nvmop::kBulkErase:
      busyMicros_ += dspic30busy::kBulkEraseMicros;
      memory_.BulkErase();
      return Note("bulk erase");
    default:
      return Error("unknown NVMCON operation " + Hex(operation, 4));
  }
}

std::string DsPic30Core::Disassemble(uint32_t instruction) {
  instruction &= 0xFFFFFF;
  const uint32_t opcode = Field(instruction, 23, 16);
  if (opcode == 0x00) return "NOP";
  if (opcode == 0x04) return "GOTO " + Hex(instruction & 0xFFFE, 4) + " (first word)";
  if (Field(instruction, 23, 20) == 0x2) {
    return "MOV #" + Hex(Field(instruction, 19, 4), 4) + ", W" +
           std::to_string(Field(instruction, 3, 0));
  }
  if (Field(instruction, 23, 20) == 0x8) {
    const std::string file = DataName(Field(instruction, 18, 4) << 1);
    const std::string w = "W" + std::to_string(Field(instruction, 3, 0));
    return Field(instruction, 19, 19) ? "MOV " + w + ", " + file : "MOV " + file + ", " + w;
  }
  if (opcode == 0xA8 || opcode == 0xA9) {
    const uint32_t bit = Field(instruction, 15, 13) << 1 | Field(instruction, 0, 0);
    return std::string(opcode == 0xA8 ? "BSET " : "BCLR ") + DataName(instruction & 0x1FFE) +
           ", #" + std::to_string(bit);
  }
  if (opcode == 0xBA || opcode == 0xBB) {
    const TableFields f = DecodeTable(instruction);
    return std::string(opcode == 0xBA ? "TBLRD" : "TBLWT") + (f.high ? "H" : "L") +
           (f.byteMode ? ".B " : " ") + Operand(f.p, f.s) + ", " + Operand(f.q, f.d);
  }
  if (Field(instruction, 23, 15) == 0b111010110 && Field(instruction, 6, 0) == 0) {
    const TableFields f = DecodeTable(instruction);
    return std::string("CLR") + (f.byteMode ? ".B " : " ") + Operand(f.q, f.d);
  }
  return "unknown " + Hex(instruction, 6);
}

}  // namespace velmora::sim
