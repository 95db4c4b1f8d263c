// Instruction encodings and their effects as the maker's PIC18 instruction-set table gives them
// (and gputils assembles them). Written apart from the product's code generator on purpose: this
// core is the oracle that generator is tested against.
#include "pic18_core.h"

#include <algorithm>
#include <cctype>

namespace velmora::sim {

using namespace pic18reg;
using namespace pic18flag;

namespace {

constexpr uint8_t kAllArithmeticFlags = kC | kDc | kZ | kOv | kN;
// Access-bank split of the PIC18F4550: 0x00..0x5F GPRs, 0x60..0xFF the SFRs 0xF60..0xFFF.
constexpr uint8_t kAccessSplit = 0x60;
constexpr uint16_t kNoCell = 0xFFFF;  // an indirect access through an indirect register
constexpr uint16_t kFirstSfr = 0xF60;

// Indirect registers of FSR n: INDFn, POSTINCn, POSTDECn, PREINCn, PLUSWn.
constexpr uint16_t kIndf[3] = {0xFEF, 0xFE7, 0xFDF};
constexpr uint16_t kFsrLow[3] = {kFsr0l, kFsr1l, kFsr2l};

bool IsIndirect(uint16_t address) {
  for (uint16_t indf : kIndf) {
    if (address <= indf && address + 4 >= indf) return true;
  }
  return false;
}

bool IsTwoWord(uint16_t opcode) {
  return (opcode & 0xF000) == 0xC000 ||  // MOVFF
         (opcode & 0xFE00) == 0xEC00 ||  // CALL
         (opcode & 0xFF00) == 0xEF00 ||  // GOTO
         (opcode & 0xFFC0) == 0xEE00;    // LFSR
}

}  // namespace

// One row of the decode table: the opcode bits that identify the instruction, its name and the
// handler that executes it.
struct Pic18Core::Instruction {
  uint16_t mask;
  uint16_t match;
  const char* mnemonic;
  void (Pic18Core::*execute)(uint16_t);
};

namespace {

using I = Pic18Core;

}  // namespace

const Pic18Core::Instruction& Pic18Core::Decode(uint16_t opcode) {
  // Byte-oriented operations: oooo oo d a ffff ffff; bit operations: oooo bbb a ffff ffff.
  static const Instruction kTable[] = {
      {0xFC00, 0x2400, "ADDWF", &I::Arithmetic},
      {0xFC00, 0x2000, "ADDWFC", &I::Arithmetic},
      {0xFC00, 0x5C00, "SUBWF", &I::Arithmetic},
      {0xFC00, 0x5800, "SUBWFB", &I::Arithmetic},
      {0xFC00, 0x5400, "SUBFWB", &I::Arithmetic},
      {0xFC00, 0x1400, "ANDWF", &I::Logic},
      {0xFC00, 0x1000, "IORWF", &I::Logic},
      {0xFC00, 0x1800, "XORWF", &I::Logic},
      {0xFC00, 0x2800, "INCF", &I::IncDec},
      {0xFC00, 0x0400, "DECF", &I::IncDec},
      {0xFE00, 0x6C00, "NEGF", &I::IncDec},
      {0xFC00, 0x2C00, "DECFSZ", &I::IncDecSkip},
      {0xFC00, 0x4C00, "DCFSNZ", &I::IncDecSkip},
      {0xFC00, 0x3C00, "INCFSZ", &I::IncDecSkip},
      {0xFC00, 0x4800, "INFSNZ", &I::IncDecSkip},
      {0xFC00, 0x3400, "RLCF", &I::Rotate},
      {0xFC00, 0x4400, "RLNCF", &I::Rotate},
      {0xFC00, 0x3000, "RRCF", &I::Rotate},
      {0xFC00, 0x4000, "RRNCF", &I::Rotate},
      {0xFC00, 0x5000, "MOVF", &I::MovfSwapfComf},
      {0xFC00, 0x3800, "SWAPF", &I::MovfSwapfComf},
      {0xFC00, 0x1C00, "COMF", &I::MovfSwapfComf},
      {0xFE00, 0x6A00, "CLRF", &I::FileNoFlags},
      {0xFE00, 0x6800, "SETF", &I::FileNoFlags},
      {0xFE00, 0x6E00, "MOVWF", &I::FileNoFlags},
      {0xFE00, 0x6600, "TSTFSZ", &I::CompareSkip},
      {0xFE00, 0x6200, "CPFSEQ", &I::CompareSkip},
      {0xFE00, 0x6400, "CPFSGT", &I::CompareSkip},
      {0xFE00, 0x6000, "CPFSLT", &I::CompareSkip},
      {0xFE00, 0x0200, "MULWF", &I::Mulwf},
      {0xF000, 0x8000, "BSF", &I::BitOp},
      {0xF000, 0x9000, "BCF", &I::BitOp},
      {0xF000, 0x7000, "BTG", &I::BitOp},
      {0xF000, 0xA000, "BTFSS", &I::BitTest},
      {0xF000, 0xB000, "BTFSC", &I::BitTest},
      // Literal operations: 0000 oooo kkkk kkkk.
      {0xFF00, 0x0F00, "ADDLW", &I::Literal},
      {0xFF00, 0x0B00, "ANDLW", &I::Literal},
      {0xFF00, 0x0900, "IORLW", &I::Literal},
      {0xFF00, 0x0E00, "MOVLW", &I::Literal},
      {0xFF00, 0x0800, "SUBLW", &I::Literal},
      {0xFF00, 0x0A00, "XORLW", &I::Literal},
      {0xFF00, 0x0D00, "MULLW", &I::Mullw},
      {0xFF00, 0x0C00, "RETLW", &I::Retlw},
      {0xFFF0, 0x0100, "MOVLB", &I::Movlb},
      // Two-word instructions; a lone second word (1111 ...) executes as NOP.
      {0xFFC0, 0xEE00, "LFSR", &I::Lfsr},
      {0xF000, 0xC000, "MOVFF", &I::Movff},
      {0xFE00, 0xEC00, "CALL", &I::CallGoto},
      {0xFF00, 0xEF00, "GOTO", &I::CallGoto},
      {0xF000, 0xF000, "NOP", &I::Nop},
      // Branches: 1110 0ccc nnnn nnnn and 1101 xnnn nnnn nnnn.
      {0xFF00, 0xE000, "BZ", &I::CondBranch},
      {0xFF00, 0xE100, "BNZ", &I::CondBranch},
      {0xFF00, 0xE200, "BC", &I::CondBranch},
      {0xFF00, 0xE300, "BNC", &I::CondBranch},
      {0xFF00, 0xE400, "BOV", &I::CondBranch},
      {0xFF00, 0xE500, "BNOV", &I::CondBranch},
      {0xFF00, 0xE600, "BN", &I::CondBranch},
      {0xFF00, 0xE700, "BNN", &I::CondBranch},
      {0xF800, 0xD000, "BRA", &I::Bra},
      {0xF800, 0xD800, "RCALL", &I::Rcall},
      // Control and table operations: 0000 0000 xxxx xxxx.
      {0xFFFF, 0x0000, "NOP", &I::Nop},
      {0xFFFF, 0x0003, "SLEEP", &I::Control},
      {0xFFFF, 0x0004, "CLRWDT", &I::Control},
      {0xFFFF, 0x0005, "PUSH", &I::Control},
      {0xFFFF, 0x0006, "POP", &I::Control},
      {0xFFFF, 0x0007, "DAW", &I::Daw},
      {0xFFFE, 0x0010, "RETFIE", &I::Control},
      {0xFFFE, 0x0012, "RETURN", &I::Control},
      {0xFFFF, 0x00FF, "RESET", &I::Control},
      {0xFFFF, 0x0008, "TBLRD*", &I::Table},
      {0xFFFF, 0x0009, "TBLRD*+", &I::Table},
      {0xFFFF, 0x000A, "TBLRD*-", &I::Table},
      {0xFFFF, 0x000B, "TBLRD+*", &I::Table},
      {0xFFFF, 0x000C, "TBLWT*", &I::Table},
      {0xFFFF, 0x000D, "TBLWT*+", &I::Table},
      {0xFFFF, 0x000E, "TBLWT*-", &I::Table},
      {0xFFFF, 0x000F, "TBLWT+*", &I::Table},
  };
  static const Instruction kInvalid = {0, 0, "", &I::Invalid};
  // Index of every opcode's row, built once.
  static const std::vector<uint8_t> kIndex = [] {
    std::vector<uint8_t> index(0x10000, 0xFF);
    for (uint32_t op = 0; op < 0x10000; ++op) {
      for (size_t row = 0; row < std::size(kTable); ++row) {
        if ((op & kTable[row].mask) == kTable[row].match) {
          index[op] = static_cast<uint8_t>(row);
          break;
        }
      }
    }
    return index;
  }();
  const uint8_t row = kIndex[opcode];
  return row == 0xFF ? kInvalid : kTable[row];
}

std::string Pic18Core::Mnemonic(uint16_t opcode) {
  return Decode(opcode).mnemonic;
}

Pic18Core::Pic18Core(uint32_t programSize) : program_(programSize, 0xFF) {
  Reset();
}

void Pic18Core::Reset() {
  // The SFRs take their reset values; the general purpose registers keep their contents.
  std::fill(data_.begin() + kFirstSfr, data_.end(), uint8_t{0});
  stack_.fill(0);
  data_[kTrisA] = 0x7F;
  data_[kTrisA + 1] = data_[kTrisA + 2] = data_[kTrisA + 3] = 0xFF;
  data_[kTrisA + 4] = 0x07;
  data_[kT0con] = 0xFF;
  data_[kTxsta] = 0x02;
  data_[kRcon] = 0x1C;
  pc_ = 0;
  sleeping_ = false;
  timer0_ = 0;
  tmr0hBuffer_ = 0;
  prescaler_ = 0;
  timer0Inhibit_ = 0;
  txregFull_ = false;
  shiftCyclesLeft_ = 0;
}

uint16_t Pic18Core::ProgramWord(uint32_t address) const {
  address &= ~1u;
  if (address + 1 >= program_.size()) return 0xFFFF;
  return static_cast<uint16_t>(program_[address] | program_[address + 1] << 8);
}

std::vector<uint8_t> Pic18Core::TakeSent() {
  std::vector<uint8_t> sent;
  sent.swap(sent_);
  return sent;
}

void Pic18Core::FinishTransmission() {
  if (txregFull_) sent_.push_back(txreg_);
  txregFull_ = false;
  shiftCyclesLeft_ = 0;
}

std::vector<uint8_t> Pic18Core::TakeReceived() {
  std::vector<uint8_t> received(received_.begin(), received_.end());
  received_.clear();
  return received;
}

// ---- Execution ----

void Pic18Core::Step() {
  if (sleeping_) return;
  const uint16_t opcode = ProgramWord(pc_);
  pc_ = (pc_ + 2) & kPcMask;
  extraCycles_ = 0;
  (this->*Decode(opcode).execute)(opcode);
  AddCycles(1 + extraCycles_);
}

void Pic18Core::AddCycles(uint32_t count) {
  for (uint32_t i = 0; i < count; ++i) {
    ++cycles_;
    TickTimer0();
    TickUart();
  }
}

void Pic18Core::TickTimer0() {
  const uint8_t t0con = data_[kT0con];
  if (timer0Inhibit_ > 0) {
    --timer0Inhibit_;
    return;
  }
  // TMR0ON set and T0CS clear: counts instruction cycles.
  if (!(t0con & 0x80) || (t0con & 0x20)) return;
  if (!(t0con & 0x08)) {  // PSA clear: through the prescaler, 1:2 .. 1:256
    if (++prescaler_ < (2u << (t0con & 7))) return;
    prescaler_ = 0;
  }
  if (t0con & 0x40) {  // 8-bit mode: TMR0L alone
    const uint8_t low = static_cast<uint8_t>(timer0_ + 1);
    timer0_ = static_cast<uint16_t>((timer0_ & 0xFF00) | low);
    if (low == 0) data_[kIntcon] |= kTmr0if;
  } else if (++timer0_ == 0) {
    data_[kIntcon] |= kTmr0if;
  }
}

void Pic18Core::TickUart() {
  if (shiftCyclesLeft_ > 0) --shiftCyclesLeft_;
  if (shiftCyclesLeft_ == 0 && txregFull_) {
    sent_.push_back(txreg_);
    txregFull_ = false;
    shiftCyclesLeft_ = cyclesPerByte_;
  }
}

void Pic18Core::Skip() {
  const bool twoWords = IsTwoWord(ProgramWord(pc_));
  pc_ = (pc_ + (twoWords ? 4 : 2)) & kPcMask;
  extraCycles_ += twoWords ? 2 : 1;
}

void Pic18Core::Branch(int32_t words) {
  pc_ = static_cast<uint32_t>(static_cast<int32_t>(pc_) + 2 * words) & kPcMask;
  extraCycles_ += 1;
}

void Pic18Core::Push(uint32_t address) {
  uint8_t& stkptr = data_[kStkptr];
  const uint32_t sp = stkptr & 0x1F;
  if (sp >= kStackLevels) {
    stkptr |= kStkful;  // the return address is lost
    return;
  }
  stack_[sp + 1] = address & kPcMask;
  stkptr = static_cast<uint8_t>((stkptr & 0xE0) | (sp + 1));
  if (sp + 1 == kStackLevels) stkptr |= kStkful;
}

uint32_t Pic18Core::PopAddress() {
  uint8_t& stkptr = data_[kStkptr];
  const uint32_t sp = stkptr & 0x1F;
  if (sp == 0) {
    stkptr |= kStkunf;
    return 0;
  }
  stkptr = static_cast<uint8_t>((stkptr & 0xE0) | (sp - 1));
  return stack_[sp];
}

void Pic18Core::Pop(bool fast) {
  pc_ = PopAddress();
  if (fast) {
    data_[kWreg] = shadowW_;
    data_[kStatus] = shadowStatus_;
    data_[kBsr] = shadowBsr_;
  }
}

// ---- Data memory ----

uint16_t Pic18Core::FileAddress(uint16_t opcode) const {
  const uint8_t f = opcode & 0xFF;
  if (opcode & 0x100) return static_cast<uint16_t>((data_[kBsr] & 0x0F) << 8 | f);
  return f < kAccessSplit ? f : static_cast<uint16_t>(0xF00 | f);
}

uint16_t Pic18Core::Resolve(uint16_t address) {
  for (int n = 0; n < 3; ++n) {
    const uint16_t indf = kIndf[n];
    if (address > indf || address + 4 < indf) continue;
    uint8_t& low = data_[kFsrLow[n]];
    uint8_t& high = data_[kFsrLow[n] + 1];
    auto fsr = static_cast<uint16_t>((high & 0x0F) << 8 | low);
    auto set = [&](uint32_t value) {
      low = static_cast<uint8_t>(value);
      high = static_cast<uint8_t>((value >> 8) & 0x0F);
    };
    uint16_t target = fsr;
    switch (indf - address) {
      case 1:  // POSTINC
        set(fsr + 1u);
        break;
      case 2:  // POSTDEC
        set(fsr - 1u);
        break;
      case 3:  // PREINC
        target = (fsr + 1) & 0xFFF;
        set(target);
        break;
      case 4:  // PLUSW: W as a signed offset
        target = static_cast<uint16_t>(fsr + static_cast<int8_t>(data_[kWreg])) & 0xFFF;
        break;
      default:
        break;
    }
    // An indirect register addressed indirectly reads 0 and takes no writes.
    return IsIndirect(target) ? kNoCell : target;
  }
  return address;
}

uint8_t Pic18Core::Peek(uint16_t address) const {
  address &= 0xFFF;
  switch (address) {
    case kTmr0l:
      return static_cast<uint8_t>(timer0_);
    case kTmr0h:
      return tmr0hBuffer_;
    case kPcl:
      return static_cast<uint8_t>(pc_);
    case kTosl:
    case kTosh:
    case kTosu:
      return static_cast<uint8_t>(stack_[data_[kStkptr] & 0x1F] >> (8 * (address - kTosl)));
    case kPir1: {
      uint8_t pir1 = data_[kPir1] & ~(kTxif | kRcif);
      if (!txregFull_) pir1 |= kTxif;
      if (!received_.empty()) pir1 |= kRcif;
      return pir1;
    }
    default:
      return data_[address];
  }
}

void Pic18Core::Poke(uint16_t address, uint8_t value) {
  data_[address & 0xFFF] = value;
}

uint8_t Pic18Core::Read(uint16_t address) {
  if (address == kNoCell) return 0;
  if (address >= kPortA && address < kPortA + kPorts) return ReadPort(address - kPortA);
  switch (address) {
    case kTmr0l:
      tmr0hBuffer_ = static_cast<uint8_t>(timer0_ >> 8);
      return static_cast<uint8_t>(timer0_);
    case kPcl:
      // Reading PCL loads the upper PC bytes into the latches.
      data_[kPclath] = static_cast<uint8_t>(pc_ >> 8);
      data_[kPclatu] = static_cast<uint8_t>((pc_ >> 16) & 0x1F);
      return static_cast<uint8_t>(pc_);
    case kRcreg: {
      if (received_.empty()) return data_[kRcreg];
      data_[kRcreg] = received_.front();
      received_.pop_front();
      return data_[kRcreg];
    }
    default:
      return Peek(address);
  }
}

void Pic18Core::Write(uint16_t address, uint8_t value) {
  if (address == kNoCell) return;
  if (address >= kPortA && address < kPortA + kPorts) {
    // A port write goes to its latch.
    data_[kLatA + (address - kPortA)] = value;
    PortWritten(address - kPortA);
    return;
  }
  if ((address >= kLatA && address < kLatA + kPorts) ||
      (address >= kTrisA && address < kTrisA + kPorts)) {
    data_[address] = value;
    PortWritten(address >= kTrisA ? address - kTrisA : address - kLatA);
    return;
  }
  switch (address) {
    case kTmr0l:
      // TMR0H's buffer goes in with the low byte, the prescaler restarts, and the timer does
      // not count in the cycle of the write and the one after it.
      timer0_ = static_cast<uint16_t>(tmr0hBuffer_ << 8 | value);
      prescaler_ = 0;
      timer0Inhibit_ = 2;
      break;
    case kTmr0h:
      tmr0hBuffer_ = value;
      break;
    case kT0con:
      // A timer switched on counts from the next cycle on.
      if (!(data_[kT0con] & 0x80) && (value & 0x80)) {
        timer0Inhibit_ = std::max<uint32_t>(timer0Inhibit_, 1);
      }
      data_[kT0con] = value;
      break;
    case kPcl:
      pc_ = (static_cast<uint32_t>(data_[kPclatu] & 0x1F) << 16 |
             static_cast<uint32_t>(data_[kPclath]) << 8 | value) &
            ~1u;
      extraCycles_ += 1;
      break;
    case kTosl:
    case kTosh:
    case kTosu: {
      uint32_t& tos = stack_[data_[kStkptr] & 0x1F];
      const uint32_t shift = 8 * (address - kTosl);
      tos = ((tos & ~(0xFFu << shift)) | static_cast<uint32_t>(value) << shift) & kPcMask;
      break;
    }
    case kStkptr:
      // STKFUL and STKUNF can only be cleared.
      data_[kStkptr] = static_cast<uint8_t>((data_[kStkptr] & value & 0xC0) | (value & 0x1F));
      break;
    case kTxreg:
      txreg_ = value;
      txregFull_ = true;
      break;
    case kPir1:
      data_[kPir1] = value & ~(kTxif | kRcif);
      break;
    case kRcreg:
      break;
    case kStatus:
      data_[kStatus] = value & 0x1F;
      break;
    case kBsr:
    case kFsr0h:
    case kFsr1h:
    case kFsr2h:
      data_[address] = value & 0x0F;
      break;
    case kPclatu:
      data_[address] = value & 0x1F;
      break;
    case kTblptru:
      data_[address] = value & 0x3F;
      break;
    default:
      data_[address] = value;
      break;
  }
}

uint8_t Pic18Core::ReadPort(int port) {
  const uint8_t latch = data_[kLatA + port];
  const uint8_t tris = data_[kTrisA + port];
  // Without a board the inputs read low.
  return pins_ ? pins_->ReadPins(port, latch, tris) : static_cast<uint8_t>(latch & ~tris);
}

void Pic18Core::PortWritten(int port) {
  if (pins_) pins_->PinsChanged(port, data_[kLatA + port], data_[kTrisA + port], cycles_);
}

uint8_t Pic18Core::ReadFile(uint16_t opcode, uint16_t& address) {
  address = Resolve(FileAddress(opcode));
  return Read(address);
}

// d = 0: the result goes to W, d = 1: back to the file register.
void Pic18Core::StoreResult(uint16_t opcode, uint16_t address, uint8_t value) {
  if (opcode & 0x200) {
    Write(address, value);
  } else {
    data_[kWreg] = value;
  }
}

void Pic18Core::SetFlags(uint8_t mask, uint8_t flags) {
  data_[kStatus] = static_cast<uint8_t>((data_[kStatus] & ~mask) | (flags & mask));
}

void Pic18Core::SetZn(uint8_t value) {
  SetFlags(kZ | kN, static_cast<uint8_t>((value == 0 ? kZ : 0) | (value & 0x80 ? kN : 0)));
}

uint8_t Pic18Core::Add(uint8_t a, uint8_t b, bool carry) {
  const uint32_t sum = uint32_t{a} + b + carry;
  const auto result = static_cast<uint8_t>(sum);
  uint8_t flags = 0;
  if (sum > 0xFF) flags |= kC;
  if ((a & 0x0F) + (b & 0x0F) + carry > 0x0F) flags |= kDc;
  if (~(a ^ b) & (a ^ result) & 0x80) flags |= kOv;
  if (result == 0) flags |= kZ;
  if (result & 0x80) flags |= kN;
  SetFlags(kAllArithmeticFlags, flags);
  return result;
}

// ---- Instructions ----

void Pic18Core::Arithmetic(uint16_t op) {
  uint16_t address;
  const uint8_t f = ReadFile(op, address);
  const uint8_t w = data_[kWreg];
  uint8_t result = 0;
  switch (op & 0xFC00) {
    case 0x2400:  // ADDWF
      result = Add(f, w, false);
      break;
    case 0x2000:  // ADDWFC
      result = Add(f, w, Carry());
      break;
    case 0x5C00:  // SUBWF: f - W
      result = Add(f, static_cast<uint8_t>(~w), true);
      break;
    case 0x5800:  // SUBWFB: f - W - borrow
      result = Add(f, static_cast<uint8_t>(~w), Carry());
      break;
    default:  // SUBFWB: W - f - borrow
      result = Add(w, static_cast<uint8_t>(~f), Carry());
      break;
  }
  const uint8_t flags = data_[kStatus];
  StoreResult(op, address, result);
  data_[kStatus] = flags;  // the flags win over a write to STATUS
}

void Pic18Core::Logic(uint16_t op) {
  uint16_t address;
  const uint8_t f = ReadFile(op, address);
  const uint8_t w = data_[kWreg];
  uint8_t result = 0;
  switch (op & 0xFC00) {
    case 0x1400:
      result = f & w;
      break;
    case 0x1000:
      result = f | w;
      break;
    default:
      result = f ^ w;
      break;
  }
  StoreResult(op, address, result);
  SetZn(result);
}

void Pic18Core::IncDec(uint16_t op) {
  uint16_t address;
  const uint8_t f = ReadFile(op, address);
  uint8_t result = 0;
  if ((op & 0xFE00) == 0x6C00) {  // NEGF: 0 - f, always back to f
    result = Add(0, static_cast<uint8_t>(~f), true);
    op |= 0x200;
  } else if ((op & 0xFC00) == 0x2800) {  // INCF
    result = Add(f, 1, false);
  } else {  // DECF: f + 0xFF, carry set unless it borrows
    result = Add(f, 0xFF, false);
  }
  const uint8_t flags = data_[kStatus];
  StoreResult(op, address, result);
  data_[kStatus] = flags;
}

void Pic18Core::IncDecSkip(uint16_t op) {
  uint16_t address;
  const uint8_t f = ReadFile(op, address);
  const uint16_t kind = op & 0xFC00;
  const bool increment = kind == 0x3C00 || kind == 0x4800;
  const auto result = static_cast<uint8_t>(increment ? f + 1 : f - 1);
  StoreResult(op, address, result);
  const bool skipOnZero = kind == 0x2C00 || kind == 0x3C00;  // DECFSZ, INCFSZ
  if ((result == 0) == skipOnZero) Skip();
}

void Pic18Core::Rotate(uint16_t op) {
  uint16_t address;
  const uint8_t f = ReadFile(op, address);
  uint8_t result = 0;
  switch (op & 0xFC00) {
    case 0x3400:  // RLCF
      result = static_cast<uint8_t>(f << 1 | (Carry() ? 1 : 0));
      StoreResult(op, address, result);
      SetFlags(kC, f & 0x80 ? kC : 0);
      break;
    case 0x3000:  // RRCF
      result = static_cast<uint8_t>(f >> 1 | (Carry() ? 0x80 : 0));
      StoreResult(op, address, result);
      SetFlags(kC, f & 0x01 ? kC : 0);
      break;
    case 0x4400:  // RLNCF
      result = static_cast<uint8_t>(f << 1 | f >> 7);
      StoreResult(op, address, result);
      break;
    default:  // RRNCF
      result = static_cast<uint8_t>(f >> 1 | f << 7);
      StoreResult(op, address, result);
      break;
  }
  SetZn(result);
}

void Pic18Core::MovfSwapfComf(uint16_t op) {
  uint16_t address;
  const uint8_t f = ReadFile(op, address);
  switch (op & 0xFC00) {
    case 0x5000:  // MOVF
      StoreResult(op, address, f);
      SetZn(f);
      break;
    case 0x3800:  // SWAPF: no flags
      StoreResult(op, address, static_cast<uint8_t>(f << 4 | f >> 4));
      break;
    default: {  // COMF
      const auto result = static_cast<uint8_t>(~f);
      StoreResult(op, address, result);
      SetZn(result);
      break;
    }
  }
}

void Pic18Core::FileNoFlags(uint16_t op) {
  const uint16_t address = Resolve(FileAddress(op));
  switch (op & 0xFE00) {
    case 0x6A00:  // CLRF sets Z
      Write(address, 0);
      SetFlags(kZ, kZ);
      break;
    case 0x6800:  // SETF
      Write(address, 0xFF);
      break;
    default:  // MOVWF
      Write(address, data_[kWreg]);
      break;
  }
}

void Pic18Core::CompareSkip(uint16_t op) {
  uint16_t address;
  const uint8_t f = ReadFile(op, address);
  const uint8_t w = data_[kWreg];
  bool skip = false;
  switch (op & 0xFE00) {
    case 0x6600:
      skip = f == 0;
      break;
    case 0x6200:
      skip = f == w;
      break;
    case 0x6400:
      skip = f > w;
      break;
    default:
      skip = f < w;
      break;
  }
  if (skip) Skip();
}

void Pic18Core::Mulwf(uint16_t op) {
  uint16_t address;
  const uint8_t f = ReadFile(op, address);
  const auto product = static_cast<uint16_t>(f * data_[kWreg]);
  data_[kProdl] = static_cast<uint8_t>(product);
  data_[kProdh] = static_cast<uint8_t>(product >> 8);
}

void Pic18Core::BitOp(uint16_t op) {
  uint16_t address;
  const uint8_t f = ReadFile(op, address);
  const auto bit = static_cast<uint8_t>(1u << ((op >> 9) & 7));
  switch (op & 0xF000) {
    case 0x8000:
      Write(address, f | bit);
      break;
    case 0x9000:
      Write(address, static_cast<uint8_t>(f & ~bit));
      break;
    default:
      Write(address, f ^ bit);
      break;
  }
}

void Pic18Core::BitTest(uint16_t op) {
  uint16_t address;
  const uint8_t f = ReadFile(op, address);
  const bool set = f & (1u << ((op >> 9) & 7));
  const bool skipIfSet = (op & 0xF000) == 0xA000;  // BTFSS
  if (set == skipIfSet) Skip();
}

void Pic18Core::Literal(uint16_t op) {
  const auto k = static_cast<uint8_t>(op);
  uint8_t& w = data_[kWreg];
  switch (op & 0xFF00) {
    case 0x0F00:
      w = Add(w, k, false);
      break;
    case 0x0800:  // SUBLW: k - W
      w = Add(k, static_cast<uint8_t>(~w), true);
      break;
    case 0x0E00:  // MOVLW: no flags
      w = k;
      break;
    case 0x0B00:
      w &= k;
      SetZn(w);
      break;
    case 0x0900:
      w |= k;
      SetZn(w);
      break;
    default:
      w ^= k;
      SetZn(w);
      break;
  }
}

void Pic18Core::Mullw(uint16_t op) {
  const auto product = static_cast<uint16_t>((op & 0xFF) * data_[kWreg]);
  data_[kProdl] = static_cast<uint8_t>(product);
  data_[kProdh] = static_cast<uint8_t>(product >> 8);
}

void Pic18Core::Movlb(uint16_t op) {
  data_[kBsr] = op & 0x0F;
}

void Pic18Core::Retlw(uint16_t op) {
  data_[kWreg] = static_cast<uint8_t>(op);
  Pop(false);
  extraCycles_ += 1;
}

uint16_t Pic18Core::SecondWord() {
  const uint16_t word = ProgramWord(pc_);
  pc_ = (pc_ + 2) & kPcMask;
  extraCycles_ += 1;
  return word;
}

void Pic18Core::Lfsr(uint16_t op) {
  const uint16_t second = SecondWord();
  const int n = (op >> 4) & 3;
  if (n == 3) {
    ++invalid_;
    return;
  }
  data_[kFsrLow[n]] = static_cast<uint8_t>(second);
  data_[kFsrLow[n] + 1] = op & 0x0F;
}

void Pic18Core::Movff(uint16_t op) {
  const uint16_t second = SecondWord();
  const uint8_t value = Read(Resolve(op & 0xFFF));
  Write(Resolve(second & 0xFFF), value);
}

void Pic18Core::CondBranch(uint16_t op) {
  const uint8_t status = data_[kStatus];
  static constexpr uint8_t kFlagOf[4] = {kZ, kC, kOv, kN};
  const bool set = status & kFlagOf[(op >> 9) & 3];
  const bool wantSet = !(op & 0x100);  // BZ, BC, BOV, BN
  if (set == wantSet) Branch(static_cast<int8_t>(op & 0xFF));
}

void Pic18Core::Bra(uint16_t op) {
  // 11-bit signed word offset.
  Branch(static_cast<int32_t>(static_cast<int16_t>(op << 5) >> 5));
}

void Pic18Core::Rcall(uint16_t op) {
  Push(pc_);
  Bra(op);
}

void Pic18Core::CallGoto(uint16_t op) {
  const uint16_t second = SecondWord();
  const uint32_t target = (static_cast<uint32_t>(second & 0x0FFF) << 8 | (op & 0xFF)) << 1;
  if ((op & 0xFE00) == 0xEC00) {
    Push(pc_);
    if (op & 0x100) {  // CALL FAST: the shadow registers take W, STATUS and BSR
      shadowW_ = data_[kWreg];
      shadowStatus_ = data_[kStatus];
      shadowBsr_ = data_[kBsr];
    }
  }
  pc_ = target;
}

void Pic18Core::Control(uint16_t op) {
  switch (op) {
    case 0x0003:  // SLEEP: TO set, PD clear
      data_[kRcon] = static_cast<uint8_t>((data_[kRcon] | 0x08) & ~0x04);
      sleeping_ = true;
      break;
    case 0x0004:  // CLRWDT: TO and PD set
      data_[kRcon] |= 0x0C;
      break;
    case 0x0005:
      Push(pc_);
      break;
    case 0x0006:
      PopAddress();
      break;
    case 0x0010:
    case 0x0011:
      Pop(op & 1);
      data_[kIntcon] |= kGie;
      extraCycles_ += 1;
      break;
    case 0x0012:
    case 0x0013:
      Pop(op & 1);
      extraCycles_ += 1;
      break;
    default: {  // RESET
      const uint64_t cycles = cycles_;
      Reset();
      cycles_ = cycles;
      break;
    }
  }
}

uint32_t Pic18Core::TablePointer() const {
  return (static_cast<uint32_t>(data_[kTblptru] & 0x3F) << 16) |
         (static_cast<uint32_t>(data_[kTblptrh]) << 8) | data_[kTblptrl];
}

void Pic18Core::SetTablePointer(uint32_t value) {
  data_[kTblptrl] = static_cast<uint8_t>(value);
  data_[kTblptrh] = static_cast<uint8_t>(value >> 8);
  data_[kTblptru] = static_cast<uint8_t>((value >> 16) & 0x3F);
}

void Pic18Core::Table(uint16_t op) {
  const uint32_t mode = op & 3;  // *, *+, *-, +*
  uint32_t pointer = TablePointer();
  if (mode == 3) ++pointer;
  pointer &= 0x3FFFFF;
  if (op & 4) {  // TBLWT: into the holding registers
    holding_[pointer % kWriteBuffer] = data_[kTablat];
  } else {
    data_[kTablat] = pointer < program_.size() ? program_[pointer] : 0;
  }
  if (mode == 1) ++pointer;
  if (mode == 2) --pointer;
  SetTablePointer(pointer & 0x3FFFFF);
  extraCycles_ += 1;
}

void Pic18Core::Daw(uint16_t) {
  uint32_t w = data_[kWreg];
  const uint8_t status = data_[kStatus];
  if ((w & 0x0F) > 9 || (status & kDc)) w += 0x06;
  if (((w >> 4) & 0x1F) > 9 || (status & kC)) w += 0x60;
  data_[kWreg] = static_cast<uint8_t>(w);
  // A decimal carry out of the addition stays.
  if (w > 0xFF) SetFlags(kC, kC);
}

void Pic18Core::Nop(uint16_t) {}

void Pic18Core::Invalid(uint16_t) {
  ++invalid_;
}

}  // namespace velmora::sim
