// The ICSP commands and core instructions are written out here again on purpose, apart from the
// product's PIC18 primitives (src/families/pic18): this model is the oracle they are tested
// against, and a model that shared their constants would agree with their mistakes.
#include "pic18_icsp.h"

#include <algorithm>

namespace velmora::sim {

using namespace pic18addr;

namespace {

// Special function registers the programming sequences touch (12-bit data addresses).
namespace sfr {
constexpr uint32_t kEecon1 = 0xFA6;
constexpr uint32_t kEecon2 = 0xFA7;
constexpr uint32_t kEedata = 0xFA8;
constexpr uint32_t kEeadr = 0xFA9;
constexpr uint32_t kEeadrh = 0xFAA;
constexpr uint32_t kWreg = 0xFE8;
constexpr uint32_t kTablat = 0xFF5;
constexpr uint32_t kTblptrl = 0xFF6;
constexpr uint32_t kTblptrh = 0xFF7;
constexpr uint32_t kTblptru = 0xFF8;
}  // namespace sfr

namespace eecon1 {
constexpr uint8_t kRd = 0x01;
constexpr uint8_t kWr = 0x02;
constexpr uint8_t kWren = 0x04;
constexpr uint8_t kFree = 0x10;
constexpr uint8_t kCfgs = 0x40;
constexpr uint8_t kEepgd = 0x80;
}  // namespace eecon1

// 4-bit ICSP commands.
namespace icsp {
constexpr uint32_t kCore = 0x0;
constexpr uint32_t kShiftOutTablat = 0x2;
constexpr uint32_t kTableReadPostIncrement = 0x9;
constexpr uint32_t kTableWrite = 0xC;
constexpr uint32_t kTableWritePostIncrement2 = 0xD;
constexpr uint32_t kTableWriteStartProgramming = 0xF;
}  // namespace icsp

// Command bits come first, then 16 data bits; a byte shifted out occupies the last eight.
constexpr uint32_t kCommandBits = 4;
constexpr uint32_t kFrameBits = 20;
constexpr uint32_t kFirstOutputBit = 12;

constexpr uint32_t kTablePointerMask = 0x3FFFFF;
constexpr uint32_t kBootBlockSize = 512;
constexpr uint32_t kMultiPanelFlag = 0x40;

enum class EraseArea { kChip, kEeprom, kBootBlock, kPanel };
struct EraseOption {
  uint8_t code;
  EraseArea area;
  uint32_t panel = 0;
};
constexpr EraseOption kEraseOptions[] = {
    {.code = 0x80, .area = EraseArea::kChip},
    {.code = 0x81, .area = EraseArea::kEeprom},
    {.code = 0x83, .area = EraseArea::kBootBlock},
    {.code = 0x88, .area = EraseArea::kPanel, .panel = 0},
    {.code = 0x89, .area = EraseArea::kPanel, .panel = 1},
    {.code = 0x8A, .area = EraseArea::kPanel, .panel = 2},
    {.code = 0x8B, .area = EraseArea::kPanel, .panel = 3},
    {.code = 0x8C, .area = EraseArea::kPanel, .panel = 4},
    {.code = 0x8D, .area = EraseArea::kPanel, .panel = 5},
    {.code = 0x8E, .area = EraseArea::kPanel, .panel = 6},
    {.code = 0x8F, .area = EraseArea::kPanel, .panel = 7},
};

// Access-bank file address of an instruction (a = 0): 0x00..0x7F GPRs, 0x80..0xFF SFRs.
uint32_t AccessBankAddress(uint8_t f) {
  return f < 0x80 ? f : 0xF00u | f;
}

}  // namespace

Pic18IcspTarget::Pic18IcspTarget(Pic18Memory& memory)
    : memory_(memory), holdingRows_(std::max<uint32_t>(1, memory.geometry().panels)) {
  ClearHoldingRows();
}

bool Pic18IcspTarget::OnSample(uint8_t pins) {
  if (!(pins & icsp_pin::kVpp)) {
    programming_ = false;
    drivesPgd_ = true;
    return true;
  }
  const bool clock = pins & icsp_pin::kPgc;
  if (!programming_) {
    EnterProgrammingMode();
    previousClock_ = clock;
  }
  if (clock && !previousClock_) {
    highMicros_ = 0;
    const bool output = shiftingOut_ && bitCount_ >= kFirstOutputBit;
    drivesPgd_ = output ? (outByte_ >> (bitCount_ - kFirstOutputBit)) & 1 : true;
  }
  if (clock) {
    highMicros_ += microsPerSample_;
  } else if (previousClock_) {
    OnFallingEdge(pins & icsp_pin::kPgd);
  }
  previousClock_ = clock;
  return drivesPgd_;
}

void Pic18IcspTarget::Run(std::span<const uint8_t> written, std::span<uint8_t> captured) {
  const size_t count = std::min(written.size(), captured.size());
  for (size_t i = 0; i < count; ++i) {
    const uint8_t pins = written[i];
    const bool level = OnSample(pins);
    captured[i] = level ? pins : static_cast<uint8_t>(pins & ~icsp_pin::kPgd);
  }
}

// Raising MCLR to VPP resets the serial interface; the memories keep their contents.
void Pic18IcspTarget::EnterProgrammingMode() {
  programming_ = true;
  drivesPgd_ = true;
  bitCount_ = 0;
  shift_ = 0;
  shiftingOut_ = false;
  programPending_ = false;
  secondWord_ = SecondWord::kNone;
  eecon1_ = 0;
  unlockStep_ = 0;
  multiPanel_ = false;
  configLatched_ = false;
  ClearHoldingRows();
}

// Data is latched on the falling clock edge, least significant bit first.
void Pic18IcspTarget::OnFallingEdge(bool dataBit) {
  shift_ |= uint32_t{dataBit} << bitCount_;
  ++bitCount_;
  if (bitCount_ == kCommandBits) OnCommandBits(shift_ & 0xF);
  if (bitCount_ == kFrameBits) {
    ++counters_.commands;
    Execute(shift_ & 0xF, static_cast<uint16_t>(shift_ >> kCommandBits));
    bitCount_ = 0;
    shift_ = 0;
    shiftingOut_ = false;
  }
}

// After the four command bits: a pending start-programming completes on the fourth clock of the
// following NOP when that clock was held high long enough; reads fetch the byte to shift out.
void Pic18IcspTarget::OnCommandBits(uint32_t command) {
  if (programPending_) {
    programPending_ = false;
    // Half a sample of slack for the rounding of the sample period.
    const bool heldLongEnough = highMicros_ + microsPerSample_ / 2 >= minimumHoldMicroseconds_;
    if (command == icsp::kCore && heldLongEnough) {
      StartProgramming();
    } else {
      ++counters_.lostWrites;
      ClearHoldingRows();
      configLatched_ = false;
    }
  }
  if (command == icsp::kTableReadPostIncrement) {
    tablat_ = memory_.ReadTable(tablePointer_);
    tablePointer_ = (tablePointer_ + 1) & kTablePointerMask;
    outByte_ = tablat_;
    shiftingOut_ = true;
  } else if (command == icsp::kShiftOutTablat) {
    outByte_ = tablat_;
    shiftingOut_ = true;
  }
}

void Pic18IcspTarget::Execute(uint32_t command, uint16_t data) {
  switch (command) {
    case icsp::kCore:
      ExecuteCore(data);
      break;
    case icsp::kShiftOutTablat:
    case icsp::kTableReadPostIncrement:
      break;  // done while shifting out
    case icsp::kTableWrite:
      TableWrite(data);
      break;
    case icsp::kTableWritePostIncrement2:
      TableWrite(data);
      tablePointer_ = (tablePointer_ + 2) & kTablePointerMask;
      break;
    case icsp::kTableWriteStartProgramming:
      TableWrite(data);
      programPending_ = true;
      break;
    default:
      ++counters_.unknownCommands;
      break;
  }
}

void Pic18IcspTarget::ExecuteCore(uint16_t opcode) {
  if (secondWord_ != SecondWord::kNone) {
    const SecondWord first = secondWord_;
    secondWord_ = SecondWord::kNone;
    if ((opcode & 0xF000) != 0xF000) {
      ++counters_.unknownCommands;
      return;
    }
    if (first == SecondWord::kMovff) WriteRegister(opcode & 0xFFF, ReadRegister(movffSource_));
    return;  // GOTO: the programming executive needs nothing from it
  }
  const uint8_t high = opcode >> 8;
  const uint8_t f = opcode & 0xFF;
  if (opcode == 0x0000) return;  // NOP
  if (high == 0x0E) {            // MOVLW k
    w_ = f;
  } else if (high == 0x6E) {  // MOVWF f (access bank)
    WriteRegister(AccessBankAddress(f), w_);
  } else if (high == 0x50) {  // MOVF f, W (access bank)
    w_ = ReadRegister(AccessBankAddress(f));
  } else if (high == 0x2A) {  // INCF f, F (access bank)
    WriteRegister(AccessBankAddress(f),
                  static_cast<uint8_t>(ReadRegister(AccessBankAddress(f)) + 1));
  } else if ((opcode & 0xE100) == 0x8000) {  // BSF / BCF f, b (access bank)
    BitSet(f, (opcode >> 9) & 7, (opcode & 0xF000) == 0x8000);
  } else if ((opcode & 0xF000) == 0xC000) {  // MOVFF source, ...
    movffSource_ = opcode & 0xFFF;
    secondWord_ = SecondWord::kMovff;
  } else if (high == 0xEF) {  // GOTO ...
    secondWord_ = SecondWord::kGoto;
  } else {
    ++counters_.unknownCommands;
  }
}

void Pic18IcspTarget::BitSet(uint8_t f, uint32_t bit, bool set) {
  const uint32_t address = AccessBankAddress(f);
  const uint8_t mask = static_cast<uint8_t>(1u << bit);
  if (address != sfr::kEecon1) {
    const uint8_t value = ReadRegister(address);
    WriteRegister(address, set ? (value | mask) : (value & ~mask));
    return;
  }
  if (!set) {
    eecon1_ &= ~mask;
    return;
  }
  const bool dataEeprom = !(eecon1_ & (eecon1::kEepgd | eecon1::kCfgs));
  const uint32_t eepromAddress = uint32_t{eeadrh_} << 8 | eeadr_;
  if (mask == eecon1::kRd) {
    if (dataEeprom) eedata_ = memory_.ReadEeprom(eepromAddress);
  } else if (mask == eecon1::kWr) {
    // A data EEPROM write needs WREN and the 0x55/0xAA sequence; WR clears itself.
    if (dataEeprom && (eecon1_ & eecon1::kWren) && unlockStep_ == 2) {
      memory_.WriteEeprom(eepromAddress, eedata_);
    } else {
      ++counters_.lostWrites;
    }
    unlockStep_ = 0;
  } else {
    eecon1_ |= mask;
  }
}

uint8_t Pic18IcspTarget::ReadRegister(uint32_t address) const {
  switch (address) {
    case sfr::kEecon1:
      return eecon1_;
    case sfr::kEecon2:
      return 0;
    case sfr::kEedata:
      return eedata_;
    case sfr::kEeadr:
      return eeadr_;
    case sfr::kEeadrh:
      return eeadrh_;
    case sfr::kWreg:
      return w_;
    case sfr::kTablat:
      return tablat_;
    case sfr::kTblptrl:
      return tablePointer_ & 0xFF;
    case sfr::kTblptrh:
      return (tablePointer_ >> 8) & 0xFF;
    case sfr::kTblptru:
      return (tablePointer_ >> 16) & 0x3F;
    default:
      return memory_.ReadRam(address);
  }
}

void Pic18IcspTarget::WriteRegister(uint32_t address, uint8_t value) {
  switch (address) {
    case sfr::kEecon1:
      eecon1_ = value & ~(eecon1::kRd | eecon1::kWr);
      break;
    case sfr::kEecon2:
      unlockStep_ = value == 0x55 ? 1 : (value == 0xAA && unlockStep_ == 1 ? 2 : 0);
      break;
    case sfr::kEedata:
      eedata_ = value;
      break;
    case sfr::kEeadr:
      eeadr_ = value;
      break;
    case sfr::kEeadrh:
      eeadrh_ = value;
      break;
    case sfr::kWreg:
      w_ = value;
      break;
    case sfr::kTablat:
      tablat_ = value;
      break;
    case sfr::kTblptrl:
      tablePointer_ = (tablePointer_ & ~0xFFu) | value;
      break;
    case sfr::kTblptrh:
      tablePointer_ = (tablePointer_ & ~0xFF00u) | uint32_t{value} << 8;
      break;
    case sfr::kTblptru:
      tablePointer_ = (tablePointer_ & 0xFFFF) | uint32_t{value & 0x3Fu} << 16;
      break;
    default:
      memory_.WriteRam(address, value);
      break;
  }
}

// A table write carries two bytes. Flash takes both into its holding registers (low byte at the
// even address); configuration and control registers take the one byte that the pointer's
// parity selects.
void Pic18IcspTarget::TableWrite(uint16_t data) {
  const uint32_t address = tablePointer_;
  const uint8_t selected = (address & 1) ? data >> 8 : data & 0xFF;
  if ((address & ~0xFFu) == (kEraseControl & ~0xFFu)) {
    WriteControlRegister(address, selected);
  } else if (address - kConfiguration < kConfigurationCount) {
    configLatched_ = true;
    configAddress_ = address;
    configValue_ = selected;
  } else {
    Latch(address & ~1u, data & 0xFF);
    Latch(address | 1u, data >> 8);
  }
}

void Pic18IcspTarget::WriteControlRegister(uint32_t address, uint8_t value) {
  if (address == kWriteControl) {
    multiPanel_ = value & kMultiPanelFlag;
    return;
  }
  if (address != kEraseControl) return;
  const auto option = std::ranges::find(kEraseOptions, value, &EraseOption::code);
  if (option == std::end(kEraseOptions)) {
    ++counters_.unknownCommands;
    return;
  }
  switch (option->area) {
    case EraseArea::kChip:
      memory_.EraseChip();
      break;
    case EraseArea::kEeprom:
      memory_.EraseEeprom();
      break;
    case EraseArea::kBootBlock:
      memory_.EraseProgramRange(0, kBootBlockSize);
      break;
    case EraseArea::kPanel:
      memory_.ErasePanel(option->panel);
      break;
  }
}

// Holding registers are addressed by the low pointer bits; in multi-panel mode every panel has
// its own set, so one programming hold writes a row in each panel.
void Pic18IcspTarget::Latch(uint32_t address, uint8_t value) {
  const Pic18Geometry& g = memory_.geometry();
  const uint32_t size = std::clamp<uint32_t>(g.writeBuffer, 1, 64);
  const bool inProgram = address < g.programSize;
  const uint32_t slot = multiPanel_ && inProgram ? address / g.PanelSize() : 0;
  HoldingRow& row = holdingRows_[std::min<size_t>(slot, holdingRows_.size() - 1)];
  row.base = address / size * size;
  row.bytes[address % size] = value;
  row.used = true;
}

void Pic18IcspTarget::StartProgramming() {
  ++counters_.programCycles;
  if (!(eecon1_ & eecon1::kEepgd)) {
    ++counters_.lostWrites;
  } else if (eecon1_ & eecon1::kCfgs) {
    if (configLatched_) memory_.WriteConfiguration(configAddress_ - kConfiguration, configValue_);
  } else if (eecon1_ & eecon1::kFree) {
    memory_.EraseRow(tablePointer_);
    eecon1_ &= ~eecon1::kFree;  // cleared by the device when the erase completes
  } else {
    ProgramHoldingRows();
  }
  ClearHoldingRows();
  configLatched_ = false;
}

void Pic18IcspTarget::ProgramHoldingRows() {
  const uint32_t size = std::clamp<uint32_t>(memory_.geometry().writeBuffer, 1, 64);
  for (HoldingRow& row : holdingRows_) {
    if (!row.used) continue;
    for (uint32_t k = 0; k < size; ++k) memory_.ProgramFlash(row.base + k, row.bytes[k]);
  }
}

void Pic18IcspTarget::ClearHoldingRows() {
  for (HoldingRow& row : holdingRows_) {
    row.used = false;
    row.bytes.fill(0xFF);
  }
}

}  // namespace velmora::sim
