// CZEQLPIC18: instruction sequences of the generator slots, the time account, padding and
// waits. The pin sub emitter is in pin_sub_emitter.cpp.
#include "script/programmer_cpu/zeql_pic18.h"

#include <algorithm>
#include <string>

#include "link/pic_vortang.h"
#include "script/programmer_cpu/pic18_instructions.h"
#include "script/zeql_engine.h"

namespace velmora {

using namespace pic18;

namespace {

uint8_t File(int byteNumber) {
  return static_cast<uint8_t>(byteNumber & 0xFF);
}
uint8_t LiteralByte(int64_t value, int index) {
  return static_cast<uint8_t>((static_cast<uint64_t>(value) >> (8 * index)) & 0xFF);
}
// Words from the instruction after one at `from` to `to`.
int RelativeWords(int from, int to) {
  return (to - (from + 2)) / 2;
}

}  // namespace

void CZEQLPIC18::Emit(uint16_t word, int cycles) {
  auto& image = engine_.CodeImage();
  // Code that does not fit is counted but never written outside the image.
  if (writePointer_ >= 0 && writePointer_ + 1 < static_cast<int>(image.size())) {
    image[static_cast<size_t>(writePointer_)] = static_cast<uint8_t>(word & 0xFF);
    image[static_cast<size_t>(writePointer_) + 1] = static_cast<uint8_t>(word >> 8);
  }
  writePointer_ += 2;
  engine_.elapsedTime += 100LL * cycles;
}

bool CZEQLPIC18::AcceptRange(int first, int last, const char* operation) {
  if (last >= first && last - first < 4) return true;
  engine_.ReportError();
  engine_.Log(std::string(operation) + ": cannot handle more then 32bit");
  return false;
}

// ---- Preparing the programmer --------------------------------------------------------------

int CZEQLPIC18::PrepareProgrammer(CPICVortang* programmer) {
  if (programmer == nullptr) {
    engine_.Log("System Error: No programmer defined.");
    return 0;
  }
  programmer->scriptHost = &engine_;
  engine_.SetProgrammer(programmer);
  const int endBefore = engine_.CodeEnd();
  if (programmer->ReadScriptState() == 0) {
    engine_.Log("The programmer's algorithm area could not be read.");
    return 0;
  }
  if (engine_.CodeEnd() == endBefore && engine_.CodeStart() >= engine_.CodeEnd()) {
    engine_.Log("The programmer reports no algorithm area.");
    return 0;
  }
  return 1;
}

// ---- Jumps and calls -----------------------------------------------------------------------

void CZEQLPIC18::CheckTarget(int target) {
  if (target != 0 && target < engine_.CodeStart()) return;  // a firmware routine
  ZEQLLine* line = engine_.CurrentLine();
  const bool firstPass = engine_.passCounter <= 1;
  if ((target == 0 && firstPass) ||
      (line != nullptr && line->recordedTarget != 0 && line->recordedTarget != target)) {
    engine_.stableFlag = false;
  }
  if (line != nullptr) line->recordedTarget = target;
  if (target == 0 && !firstPass) {
    engine_.ReportError();
    engine_.Log("Target unknown");
  }
}

bool CZEQLPIC18::LineNeedsFarForm() const {
  const ZEQLLine* line = engine_.CurrentLine();
  return line != nullptr && line->farForm;
}

void CZEQLPIC18::MarkLineFar() {
  if (ZEQLLine* line = engine_.CurrentLine()) line->farForm = true;
}

void CZEQLPIC18::EmitCall(int target) {
  const uint32_t word = static_cast<uint32_t>(target) / 2;
  Emit(CallFirst(word), 2);
  Emit(LongSecond(word), 0);
  engine_.elapsedTime += 200;  // with its RETURN: 400
}

void CZEQLPIC18::Call(int target) {
  CheckTarget(target);
  EmitCall(target);
}

// BRA when the target lies 1 to 1023 words back, else GOTO.
void CZEQLPIC18::Jump(int target) {
  const int wordsBack = (writePointer_ - target) / 2;
  if (!LineNeedsFarForm() && target != 0 && target <= writePointer_ && wordsBack >= 1 &&
      wordsBack <= 1023) {
    if (ZEQLLine* line = engine_.CurrentLine()) line->recordedTarget = target;
    Emit(Bra(RelativeWords(writePointer_, target)), 2);
    return;
  }
  if (target <= writePointer_ && target != 0) MarkLineFar();
  CheckTarget(target);
  const uint32_t word = static_cast<uint32_t>(target) / 2;
  Emit(GotoFirst(word), 2);
  Emit(LongSecond(word), 0);
}

// BZ/BNZ within 127 words either way, else a skip on STATUS,Z over a jump.
void CZEQLPIC18::BranchOnZero(int target, bool equal) {
  const int words = RelativeWords(writePointer_, target);
  if (!LineNeedsFarForm() && words >= -127 && words <= 127) {
    if (ZEQLLine* line = engine_.CurrentLine()) {
      if (line->recordedTarget != 0 && line->recordedTarget != target) engine_.stableFlag = false;
      line->recordedTarget = target;
    }
    Emit(equal ? Bz(words) : Bnz(words));
    return;
  }
  MarkLineFar();
  Emit(equal ? Btfsc(sfr::kStatus, kStatusZ) : Btfss(sfr::kStatus, kStatusZ));
  Jump(target);
}

void CZEQLPIC18::BranchIfEqual(int target) {
  BranchOnZero(target, true);
}
void CZEQLPIC18::BranchIfNotEqual(int target) {
  BranchOnZero(target, false);
}

void CZEQLPIC18::EndOfSub() {
  Emit(Return(), 2);
}
void CZEQLPIC18::Nop() {
  Emit(pic18::Nop());
}

// ---- Data movement and arithmetic ----------------------------------------------------------

void CZEQLPIC18::SendByte(int byte) {
  Emit(Btfsc(sfr::kPortB, kFlowControlBit));  // the PC holds us off
  Emit(Bra(-2), 2);
  Emit(Btfss(sfr::kPir1, kPir1Txif));  // transmitter free
  Emit(Bra(-2), 2);
  Emit(MovffFirst(static_cast<uint16_t>(byte)), 2);
  Emit(MovffSecond(sfr::kTxregFull), 0);
}

void CZEQLPIC18::MoveByte(int source, int destination) {
  Emit(MovffFirst(static_cast<uint16_t>(source)), 2);
  Emit(MovffSecond(static_cast<uint16_t>(destination)), 0);
}

void CZEQLPIC18::AddLiteral(int first, int last, int64_t value) {
  if (!AcceptRange(first, last, "AddLiteral")) return;
  for (int i = 0; i <= last - first; ++i) {
    Emit(Movlw(LiteralByte(value, i)));
    Emit(i == 0 ? Addwf(File(first + i), Dest::kF) : Addwfc(File(first + i), Dest::kF));
  }
}

void CZEQLPIC18::AddRegister(int first, int last, int sourceFirst) {
  if (!AcceptRange(first, last, "AddRegister")) return;
  for (int i = 0; i <= last - first; ++i) {
    Emit(Movf(File(sourceFirst + i), Dest::kW));
    Emit(i == 0 ? Addwf(File(first + i), Dest::kF) : Addwfc(File(first + i), Dest::kF));
  }
}

void CZEQLPIC18::SubLiteral(int first, int last, int64_t value) {
  if (!AcceptRange(first, last, "SubLiteral")) return;
  for (int i = 0; i <= last - first; ++i) {
    Emit(Movlw(LiteralByte(value, i)));
    Emit(i == 0 ? Subwf(File(first + i), Dest::kF) : Subwfb(File(first + i), Dest::kF));
  }
}

void CZEQLPIC18::SubRegister(int first, int last, int sourceFirst) {
  if (!AcceptRange(first, last, "SubRegister")) return;
  for (int i = 0; i <= last - first; ++i) {
    Emit(Movf(File(sourceFirst + i), Dest::kW));
    Emit(i == 0 ? Subwf(File(first + i), Dest::kF) : Subwfb(File(first + i), Dest::kF));
  }
}

void CZEQLPIC18::AndLiteral(int first, int last, int64_t value) {
  if (!AcceptRange(first, last, "AndLiteral")) return;
  for (int i = 0; i <= last - first; ++i) {
    const uint8_t byte = LiteralByte(value, i);
    if (byte == 0x00) {
      Emit(Clrf(File(first + i)));
    } else if (byte != 0xFF) {
      Emit(Movlw(byte));
      Emit(Andwf(File(first + i), Dest::kF));
    }
  }
}

void CZEQLPIC18::SetLiteral(int first, int last, int64_t value) {
  if (!AcceptRange(first, last, "SetLiteral")) return;
  int wHolds = -1;
  for (int i = 0; i <= last - first; ++i) {
    const uint8_t byte = LiteralByte(value, i);
    if (byte == 0x00) {
      Emit(Clrf(File(first + i)));
    } else if (byte == 0xFF) {
      Emit(Setf(File(first + i)));
    } else {
      if (wHolds != byte) Emit(Movlw(byte));
      wHolds = byte;
      Emit(Movwf(File(first + i)));
    }
  }
}

// One byte: DECFSZ and the jump back. Several: decrement with borrow through the bytes, then
// jump back unless all of them are zero.
void CZEQLPIC18::DecrementJNZ(int first, int last, int target) {
  if (!AcceptRange(first, last, "DecrementJNZ")) return;
  if (first == last) {
    Emit(Decfsz(File(first), Dest::kF));
    Jump(target);
    return;
  }
  Emit(Decf(File(first), Dest::kF));
  Emit(Movlw(0));
  for (int b = first + 1; b <= last; ++b) Emit(Subwfb(File(b), Dest::kF));
  Emit(Movf(File(first), Dest::kW));
  for (int b = first + 1; b <= last; ++b) Emit(Iorwf(File(b), Dest::kW));
  Emit(Btfss(sfr::kStatus, kStatusZ));
  Jump(target);
}

// Highest byte first; a BNZ before each further byte skips the rest, so Z tells equality.
void CZEQLPIC18::Compare(const CompareOperand& left, const CompareOperand& right) {
  const CompareOperand& range = left.isRegister ? left : right;
  const int size = range.last - range.first + 1;
  for (int i = size - 1; i >= 0; --i) {
    // Skips this byte's two words and three for each lower byte.
    if (i != size - 1) Emit(Bnz(3 * i + 2));
    if (left.isRegister && right.isRegister) {
      Emit(Movf(File(left.first + i), Dest::kW));
      Emit(Subwf(File(right.first + i), Dest::kW));
    } else if (left.isRegister) {
      Emit(Movf(File(left.first + i), Dest::kW));
      Emit(Sublw(LiteralByte(right.literal, i)));
    } else {
      Emit(Movlw(LiteralByte(left.literal, i)));
      Emit(Subwf(File(right.first + i), Dest::kW));
    }
  }
}

// ---- Waits ---------------------------------------------------------------------------------

void CZEQLPIC18::WaitWhileBitClear(int file, int bit) {
  Emit(Btfss(File(file), bit), 2);  // counted as the skip taken at once
  Emit(Bra(-2), 0);
}

void CZEQLPIC18::WaitWhileBitSet(int file, int bit) {
  Emit(Btfsc(File(file), bit), 2);
  Emit(Bra(-2), 0);
}

namespace {
// A Timer0 chunk costs its set-up (7 cycles), the two cycles the timer is held after TMR0L is
// written, and the exit from the polling loop (2 cycles), besides the ticks.
constexpr int64_t kTimerChunkOverhead = 11;
// Shorter waits are plain NOPs.
constexpr int64_t kShortestTimerWait = 16;
}  // namespace

void CZEQLPIC18::EmitLongWaitChunk(int prescalerCode, int ticks) {
  // T0CON: TMR0ON, 16-bit, internal clock; code -1 bypasses the prescaler (PSA).
  const uint8_t control = static_cast<uint8_t>(0x80 | (prescalerCode < 0 ? 0x08 : prescalerCode));
  const uint16_t load = static_cast<uint16_t>(65536 - ticks);
  Emit(Movlw(control));
  Emit(Movwf(sfr::kT0con));
  Emit(Movlw(static_cast<uint8_t>(load >> 8)));
  Emit(Movwf(sfr::kTmr0h));
  Emit(Movlw(static_cast<uint8_t>(load & 0xFF)));
  Emit(Movwf(sfr::kTmr0l));
  Emit(Bcf(sfr::kIntcon, kIntconTmr0if));
  Emit(Btfss(sfr::kIntcon, kIntconTmr0if), 0);
  Emit(Bra(-2), 0);
  const int64_t prescale = prescalerCode < 0 ? 1 : (2LL << prescalerCode);
  engine_.elapsedTime += 100 * (kTimerChunkOverhead - 7 + ticks * prescale);
}

void CZEQLPIC18::LongWait(int64_t hundredths) {
  int64_t remaining = hundredths < 100 ? 1 : (hundredths + 99) / 100;
  while (remaining > 0) {
    if (remaining < kShortestTimerWait) {
      for (; remaining > 0; --remaining) Emit(pic18::Nop());
      break;
    }
    const int64_t body = remaining - kTimerChunkOverhead;
    int code = -1;
    int64_t prescale = 1;
    while ((body + prescale - 1) / prescale > 65536 && code < 7) {
      ++code;
      prescale = 2LL << code;
    }
    const int64_t ticks = std::min<int64_t>((body + prescale - 1) / prescale, 65536);
    EmitLongWaitChunk(code, static_cast<int>(ticks));
    remaining -= kTimerChunkOverhead + ticks * prescale;
  }
}

void CZEQLPIC18::PadToTarget() {
  const int64_t gap = engine_.targetTime - engine_.elapsedTime;
  if (gap <= 0) return;
  if (gap <= 300) {
    while (engine_.elapsedTime < engine_.targetTime) Emit(pic18::Nop());
    return;
  }
  if (gap <= 1900) {
    // The call, k NOPs of the chain and its RETURN take k + 4 cycles.
    const int64_t nops = (gap + 99) / 100 - 4;
    EmitCall(nopChainEnd_ - static_cast<int>(2 * nops));
    engine_.elapsedTime += 100 * nops;
    return;
  }
  for (const firmware_delay::Routine& routine : firmware_delay::kRoutines) {
    const bool fits = routine.hundredths == 2600 ? gap <= 2500 : routine.hundredths - 100 >= gap;
    if (fits) {
      EmitCall(delayBase_ - 2 * routine.wordsBeforeBase);
      engine_.elapsedTime += routine.hundredths - 400;
      return;
    }
  }
  LongWait(gap);
}

}  // namespace velmora
