#include "programmer_processor.h"

#include <algorithm>

namespace velmora::sim {

using namespace programmer_cpu;
using namespace pic18reg;

namespace {

// Access-bank registers of the firmware's routines (below the script's registers 32..79).
constexpr uint8_t kSavedW = 0x01;
constexpr uint8_t kOuterCount = 0x02;
constexpr uint8_t kInnerCount = 0x03;
constexpr uint16_t kDelayBodies = 0x1100;
// 1,250,000 baud, a start bit, 8 data bits and 2 stop bits: 8.8 microseconds a byte.
constexpr uint32_t kTransmitCycles = 106;
constexpr uint8_t kFlowControlBit = 0x80;  // PORTB,7
constexpr uint8_t kLatbResetEnable = 0x04;
constexpr uint8_t kLatbVpp = 0x10;

// Writes instruction words into program memory (access-bank forms, a = 0).
class Assembler {
 public:
  Assembler(Pic18Core& core, uint32_t address) : core_(core), address_(address) {}
  uint32_t address() const { return address_; }
  void Word(uint16_t word) {
    core_.program()[address_++] = static_cast<uint8_t>(word);
    core_.program()[address_++] = static_cast<uint8_t>(word >> 8);
  }
  void Nop() { Word(0x0000); }
  void Return() { Word(0x0012); }
  void Movlw(uint8_t k) { Word(0x0E00 | k); }
  void Movwf(uint8_t f) { Word(0x6E00 | f); }
  void Decfsz(uint8_t f) { Word(0x2E00 | f); }  // result back to f
  void Btfss(uint8_t f, uint8_t bit) { Word(static_cast<uint16_t>(0xA000 | bit << 9 | f)); }
  void Btfsc(uint8_t f, uint8_t bit) { Word(static_cast<uint16_t>(0xB000 | bit << 9 | f)); }
  void Bra(uint32_t target) {
    const auto words = (static_cast<int32_t>(target) - static_cast<int32_t>(address_ + 2)) / 2;
    Word(static_cast<uint16_t>(0xD000 | (words & 0x7FF)));
  }
  void Goto(uint32_t target) {
    Word(static_cast<uint16_t>(0xEF00 | ((target >> 1) & 0xFF)));
    Word(static_cast<uint16_t>(0xF000 | ((target >> 9) & 0xFFF)));
  }
  void Movff(uint16_t source, uint16_t destination) {
    Word(static_cast<uint16_t>(0xC000 | (source & 0xFFF)));
    Word(static_cast<uint16_t>(0xF000 | (destination & 0xFFF)));
  }

 private:
  Pic18Core& core_;
  uint32_t address_;
};

// Loop counts of a delay body: outer x (3 x inner + 4) cycles, plus NOPs.
struct DelayShape {
  uint32_t outer = 1;
  uint32_t inner = 1;
  uint32_t nops = 0;
};

// A CALL of a delay entry takes 10 + outer x (3 x inner + 4) + nops cycles: CALL 2, GOTO 2,
// three set-up instructions, the loops (one cycle less for the last skip), MOVFF 2, RETURN 2.
DelayShape ShapeFor(uint32_t cycles) {
  DelayShape best{.outer = 1, .inner = 1, .nops = cycles};
  const uint32_t loops = cycles - 10;
  for (uint32_t outer = 1; outer <= 256; ++outer) {
    for (uint32_t inner = 1; inner <= 256; ++inner) {
      const uint32_t spent = outer * (3 * inner + 4);
      if (spent <= loops && loops - spent < best.nops) {
        best = {.outer = outer, .inner = inner, .nops = loops - spent};
      }
    }
  }
  return best;
}

// Forwards the frame's services to the target while the processor drives its pins, with the
// length of the sample that ends now.
class PinIo final : public ITargetIo {
 public:
  PinIo(ITargetIo& io, double micros) : io_(io), micros_(micros) {}
  void Reply(std::span<const uint8_t> bytes) override { io_.Reply(bytes); }
  using ITargetIo::Reply;
  void AddDeviceMicros(double micros) override { io_.AddDeviceMicros(micros); }
  void Note(const std::string& text) override { io_.Note(text); }
  const ProgrammerLines& Lines() const override { return io_.Lines(); }
  double NowMicros() const override { return io_.NowMicros(); }
  double MicrosPerSample() const override { return micros_; }

 private:
  ITargetIo& io_;
  double micros_;
};

}  // namespace

ProgrammerProcessor::ProgrammerProcessor(ITarget* target) : core_(kFlashSize), target_(target) {
  InstallFirmware();
  core_.SetTransmitCycles(kTransmitCycles);
  core_.SetPins(this);
  // The firmware's idle port set-up: CLK, DATA and the reset lines driven low, PORTB,7 and
  // the extra data lines inputs, RC6 the UART's TX.
  core_.Poke(kTrisB, 0xE8);
  core_.Poke(kTrisC, 0xBF);
  lastPins_ = TargetPins();
}

void ProgrammerProcessor::InstallFirmware() {
  // The command loop the call command returns to.
  Assembler loop(core_, kCommandLoop);
  loop.Bra(kCommandLoop);

  // The chain of NOPs ends at the delay base; the delay entries below it jump to their bodies.
  Assembler chain(core_, kDelayBase - 2 * kNopChain);
  for (uint32_t i = 0; i < kNopChain; ++i) chain.Nop();
  chain.Return();
  Assembler body(core_, kDelayBodies);
  for (const DelayRoutine& routine : kDelayRoutines) {
    Assembler entry(core_, kDelayBase - 2 * routine.wordsBeforeBase);
    entry.Goto(body.address());
    const DelayShape shape = ShapeFor(routine.cycles);
    body.Movwf(kSavedW);
    body.Movlw(static_cast<uint8_t>(shape.outer));
    body.Movwf(kOuterCount);
    const uint32_t outerLoop = body.address();
    body.Movlw(static_cast<uint8_t>(shape.inner));
    body.Movwf(kInnerCount);
    const uint32_t innerLoop = body.address();
    body.Decfsz(kInnerCount);
    body.Bra(innerLoop);
    body.Decfsz(kOuterCount);
    body.Bra(outerLoop);
    body.Movff(kSavedW, kWreg);  // MOVFF leaves STATUS alone
    for (uint32_t i = 0; i < shape.nops; ++i) body.Nop();
    body.Return();
  }
  // The unused words between the entries are NOPs (erased flash would read as NOPs too).
  for (uint32_t a = kDelayBase - 2 * 44; a < kDelayBase - 2 * kNopChain; a += 2) {
    if (core_.ProgramWord(a) == 0xFFFF) Assembler(core_, a).Nop();
  }

  // Second entry: sends W once the PC takes bytes and the transmitter is free.
  Assembler send(core_, kSendEntry);
  send.Btfsc(0x81, 7);  // PORTB,7: flow control
  send.Bra(kSendEntry);
  send.Btfss(0x9E, 4);  // PIR1,TXIF
  send.Bra(kSendEntry + 4);
  send.Movwf(0xAD);  // TXREG
  send.Return();

  // Receive routine: waits for RCIF, leaves the byte in file register 7.
  Assembler receive(core_, kReceiveEntry);
  receive.Btfss(0x9E, 5);  // PIR1,RCIF
  receive.Bra(kReceiveEntry);
  receive.Movff(kRcreg, kReceivedByte);
  receive.Return();
}

std::vector<uint8_t> ProgrammerProcessor::StateReply() const {
  auto le16 = [](std::vector<uint8_t>& out, uint32_t value) {
    out.push_back(static_cast<uint8_t>(value));
    out.push_back(static_cast<uint8_t>(value >> 8));
  };
  std::vector<uint8_t> reply;
  le16(reply, kAreaStart);
  le16(reply, kAreaEnd);
  const auto flash = core_.program();
  reply.insert(reply.end(), flash.begin() + kAreaStart, flash.begin() + kAreaEnd);
  le16(reply, kDelayBase);
  le16(reply, kSendEntry);
  le16(reply, kReceiveEntry);
  return reply;
}

std::vector<uint8_t> ProgrammerProcessor::WriteBlock(uint16_t offset,
                                                     std::span<const uint8_t> bytes) {
  const bool inArea = offset >= kAreaStart && offset + kBlockSize <= kAreaEnd &&
                      (offset - kAreaStart) % kBlockSize == 0 && bytes.size() == kBlockSize;
  if (inArea) std::copy(bytes.begin(), bytes.end(), core_.program().begin() + offset);
  std::vector<uint8_t> readBack(kBlockSize, 0xFF);
  for (uint32_t i = 0; i < kBlockSize && offset + i < kFlashSize; ++i) {
    readBack[i] = core_.program()[offset + i];
  }
  return readBack;
}

void ProgrammerProcessor::Call(uint16_t offset) {
  core_.Poke(kStkptr, 0);
  core_.Push(kCommandLoop);
  core_.SetPc(offset);
  running_ = true;
}

std::vector<uint8_t> ProgrammerProcessor::AreaContent() const {
  const auto flash = core_.program();
  return {flash.begin() + kAreaStart, flash.begin() + kAreaEnd};
}

void ProgrammerProcessor::LoadArea(std::span<const uint8_t> content) {
  const size_t count = std::min<size_t>(content.size(), kAreaEnd - kAreaStart);
  std::copy_n(content.begin(), count, core_.program().begin() + kAreaStart);
}

// The flow-control wait of the send routines: BTFSC or BTFSS on PORTB,7 while the PC does not
// take bytes.
bool ProgrammerProcessor::WaitsForPc() const {
  if (!pcTakesBytes_ || pcTakesBytes_()) return false;
  const uint16_t opcode = core_.ProgramWord(core_.pc());
  return opcode == 0xBE81 || opcode == 0xAE81;
}

bool ProgrammerProcessor::WaitsForByte() const {
  const uint32_t pc = core_.pc();
  return (pc == kReceiveEntry || pc == kReceiveEntry + 2) && core_.ReceivedWaiting() == 0;
}

ProgrammerProcessor::Stop ProgrammerProcessor::Run(ITargetIo& io, uint64_t sliceCycles) {
  cyclesRun_ = 0;
  if (!running_) return Stop::kIdle;
  io_ = &io;
  const uint64_t start = core_.cycles();
  Stop stop = Stop::kSliceSpent;
  for (;;) {
    if (core_.pc() == kCommandLoop && core_.StackDepth() == 0) {
      running_ = false;
      stop = Stop::kReturned;
      break;
    }
    if (WaitsForByte()) {
      stop = Stop::kWaitsForByte;
      break;
    }
    if (WaitsForPc()) {
      stop = Stop::kWaitsForPc;
      break;
    }
    if (core_.sleeping()) {
      stop = Stop::kAsleep;
      break;
    }
    if (core_.cycles() - start >= sliceCycles) break;
    core_.Step();
    if (core_.HasSent()) io.Reply(core_.TakeSent());
  }
  // Waiting for the PC or back in the firmware, the processor idles while the transmitter
  // sends what it still holds.
  if (stop != Stop::kSliceSpent) core_.FinishTransmission();
  if (core_.HasSent()) io.Reply(core_.TakeSent());
  cyclesRun_ = core_.cycles() - start;
  io_ = nullptr;
  return stop;
}

std::vector<uint8_t> ProgrammerProcessor::TakeUnread() {
  return core_.TakeReceived();
}

uint8_t ProgrammerProcessor::TargetPins() const {
  using namespace programmer_cpu;
  const uint8_t latb = core_.Peek(kLatB);
  const uint8_t trisb = core_.Peek(kTrisB);
  const uint8_t latc = core_.Peek(kLatC);
  const uint8_t trisc = core_.Peek(kTrisC);
  // A released data line is pulled up; a released clock is pulled down.
  auto level = [](uint8_t latch, uint8_t tris, uint8_t bit) {
    return (tris & bit) ? true : (latch & bit) != 0;
  };
  uint8_t pins = 0;
  if (level(latb, trisb, 0x01)) pins |= kPinData;
  if (!(trisb & 0x02) && (latb & 0x02)) pins |= kPinClock;
  if (level(latc, trisc, 0x20)) pins |= kPinData2;
  if (level(latc, trisc, 0x10)) pins |= kPinData3;
  if (level(latc, trisc, 0x08)) pins |= kPinData4;
  if (!(latb & kLatbResetEnable) && (latb & kLatbVpp)) pins |= kPinVpp;
  return pins;
}

void ProgrammerProcessor::PinsChanged(int port, uint8_t, uint8_t, uint64_t cycles) {
  if (port != 1 && port != 2) return;
  const uint8_t pins = TargetPins();
  if (pins == lastPins_) return;
  if (target_ && io_) {
    // The pins held their last state until now; the new state starts with no length yet.
    const double held = double(cycles - lastPinCycles_) / kCyclesPerMicrosecond;
    PinIo heldIo(*io_, held);
    target_->OnPinSample(lastPins_, heldIo);
    PinIo newIo(*io_, 0);
    targetPullsData_ = target_->OnPinSample(pins, newIo) == 0;
  }
  lastPins_ = pins;
  lastPinCycles_ = cycles;
}

uint8_t ProgrammerProcessor::ReadPins(int port, uint8_t latch, uint8_t tris) {
  auto outputs = static_cast<uint8_t>(latch & ~tris);
  if (port == 1) {
    // DATA released reads high unless the target pulls it low; PORTB,7 low while the PC
    // takes bytes; the other inputs read low.
    if (tris & 0x01) outputs |= 0x01;
    if (targetPullsData_) outputs &= ~0x01;
    outputs &= ~kFlowControlBit;
    if ((tris & kFlowControlBit) && pcTakesBytes_ && !pcTakesBytes_()) outputs |= kFlowControlBit;
  } else if (port == 2) {
    outputs |= tris & 0x38;  // DATA2..DATA4 released read high
  }
  return outputs;
}

}  // namespace velmora::sim
