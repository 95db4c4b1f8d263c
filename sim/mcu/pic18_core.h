#pragma once
// The programmer's own processor, a PIC18 (the PIC18F4550 register map), as an instruction-set
// simulator: the whole non-extended instruction set decoded from the maker's encodings, the data
// memory with the core SFRs (W, STATUS, BSR, the three FSRs with their indirect registers, PCL
// with its latches, the 31-level return stack with TOS and STKPTR, TBLPTR/TABLAT, PROD), Timer0
// with its prescaler, the UART as the firmware uses it (TXREG/TXIF, RCREG/RCIF) and the ports
// A to E, whose pins an IPic18Pins object drives. Every instruction counts its cycles.
//
// Not modelled: interrupts (GIE only changes INTCON), the oscillator, the watchdog, the other
// peripherals (their SFRs are plain RAM), flash self-programming (TBLWT fills the holding
// registers only) and the extended instruction set. Reset takes the stack-full and underflow
// behaviour of STVREN = 0: the 31st push sets STKFUL and further pushes are lost, a pop of the
// empty stack sets STKUNF and returns 0.
#include <array>
#include <cstdint>
#include <deque>
#include <span>
#include <string>
#include <vector>

namespace velmora::sim {

// Data memory addresses of the SFRs the core gives a meaning (p18f4550.inc).
namespace pic18reg {
constexpr uint16_t kPortA = 0xF80;  // PORTA..PORTE: 0xF80..0xF84
constexpr uint16_t kPortB = 0xF81;
constexpr uint16_t kPortC = 0xF82;
constexpr uint16_t kLatA = 0xF89;  // LATA..LATE: 0xF89..0xF8D
constexpr uint16_t kLatB = 0xF8A;
constexpr uint16_t kLatC = 0xF8B;
constexpr uint16_t kTrisA = 0xF92;  // TRISA..TRISE: 0xF92..0xF96
constexpr uint16_t kTrisB = 0xF93;
constexpr uint16_t kTrisC = 0xF94;
constexpr uint16_t kPir1 = 0xF9E;
constexpr uint16_t kRcsta = 0xFAB;
constexpr uint16_t kTxsta = 0xFAC;
constexpr uint16_t kTxreg = 0xFAD;
constexpr uint16_t kRcreg = 0xFAE;
constexpr uint16_t kRcon = 0xFD0;
constexpr uint16_t kT0con = 0xFD5;
constexpr uint16_t kTmr0l = 0xFD6;
constexpr uint16_t kTmr0h = 0xFD7;
constexpr uint16_t kStatus = 0xFD8;
constexpr uint16_t kFsr2l = 0xFD9;
constexpr uint16_t kFsr2h = 0xFDA;
constexpr uint16_t kBsr = 0xFE0;
constexpr uint16_t kFsr1l = 0xFE1;
constexpr uint16_t kFsr1h = 0xFE2;
constexpr uint16_t kWreg = 0xFE8;
constexpr uint16_t kFsr0l = 0xFE9;
constexpr uint16_t kFsr0h = 0xFEA;
constexpr uint16_t kIntcon = 0xFF2;
constexpr uint16_t kProdl = 0xFF3;
constexpr uint16_t kProdh = 0xFF4;
constexpr uint16_t kTablat = 0xFF5;
constexpr uint16_t kTblptrl = 0xFF6;
constexpr uint16_t kTblptrh = 0xFF7;
constexpr uint16_t kTblptru = 0xFF8;
constexpr uint16_t kPcl = 0xFF9;
constexpr uint16_t kPclath = 0xFFA;
constexpr uint16_t kPclatu = 0xFFB;
constexpr uint16_t kStkptr = 0xFFC;
constexpr uint16_t kTosl = 0xFFD;
constexpr uint16_t kTosh = 0xFFE;
constexpr uint16_t kTosu = 0xFFF;
}  // namespace pic18reg

// STATUS bits, and the other flag bits the core sets.
namespace pic18flag {
constexpr uint8_t kC = 0x01;
constexpr uint8_t kDc = 0x02;
constexpr uint8_t kZ = 0x04;
constexpr uint8_t kOv = 0x08;
constexpr uint8_t kN = 0x10;
constexpr uint8_t kTmr0if = 0x04;  // INTCON
constexpr uint8_t kGie = 0x80;     // INTCON
constexpr uint8_t kTxif = 0x10;    // PIR1
constexpr uint8_t kRcif = 0x20;    // PIR1
constexpr uint8_t kStkful = 0x80;  // STKPTR
constexpr uint8_t kStkunf = 0x40;  // STKPTR
}  // namespace pic18flag

// The pins of the ports as the board wires them.
class IPic18Pins {
 public:
  // Level on the pins of port n (0 = A .. 4 = E), given what the processor drives: the latch
  // on the bits whose TRIS bit is 0.
  virtual uint8_t ReadPins(int port, uint8_t latch, uint8_t tris) = 0;
  // The processor changed a latch or direction of port n; `cycles` is its cycle count then.
  virtual void PinsChanged(int port, uint8_t latch, uint8_t tris, uint64_t cycles) = 0;

 protected:
  ~IPic18Pins() = default;
};

class Pic18Core {
 public:
  static constexpr uint32_t kDataSize = 0x1000;
  static constexpr uint32_t kStackLevels = 31;
  static constexpr uint32_t kWriteBuffer = 32;  // TBLWT holding registers
  static constexpr int kPorts = 5;

  explicit Pic18Core(uint32_t programSize = 0x8000);

  // Reset (as the RESET instruction does it): SFRs to their reset values, the stack empty,
  // PC 0; the general purpose registers and the cycle count are kept.
  void Reset();
  // Executes the instruction at PC.
  void Step();

  std::span<uint8_t> program() { return program_; }
  std::span<const uint8_t> program() const { return program_; }
  uint16_t ProgramWord(uint32_t address) const;

  uint32_t pc() const { return pc_; }
  void SetPc(uint32_t address) { pc_ = address & kPcMask & ~1u; }
  uint64_t cycles() const { return cycles_; }
  uint8_t W() const { return data_[pic18reg::kWreg]; }
  uint32_t StackDepth() const { return data_[pic18reg::kStkptr] & 0x1F; }
  // Pushes a return address as CALL does (for a caller outside the processor).
  void Push(uint32_t address);
  bool sleeping() const { return sleeping_; }
  // Instructions the non-extended set does not define; they execute as NOP.
  uint64_t invalidInstructions() const { return invalid_; }

  // Data memory as a debugger sees it: no side effects on reads, writes go to the cell.
  uint8_t Peek(uint16_t address) const;
  void Poke(uint16_t address, uint8_t value);

  void SetPins(IPic18Pins* pins) { pins_ = pins; }

  // UART: bytes arriving from the PC wait until RCREG is read (RCIF while one waits). A byte
  // written to TXREG moves into the shift register when it is free and is handed to `sent` as
  // it starts; the shift register is busy for `cyclesPerByte`.
  void Receive(uint8_t byte) { received_.push_back(byte); }
  size_t ReceivedWaiting() const { return received_.size(); }
  std::vector<uint8_t> TakeReceived();
  void SetTransmitCycles(uint32_t cyclesPerByte) { cyclesPerByte_ = cyclesPerByte; }
  bool HasSent() const { return !sent_.empty(); }
  // Time passes outside the simulated cycles (the processor idles): the transmitter sends
  // what it holds.
  void FinishTransmission();
  std::vector<uint8_t> TakeSent();

  // Mnemonic of the instruction word (gputils' spelling, upper case), "" for an invalid one.
  static std::string Mnemonic(uint16_t opcode);

 private:
  struct Instruction;
  static const Instruction& Decode(uint16_t opcode);

  static constexpr uint32_t kPcMask = 0x1FFFFF;

  // Operands.
  uint16_t FileAddress(uint16_t opcode) const;
  uint16_t Resolve(uint16_t address);
  uint8_t Read(uint16_t address);
  void Write(uint16_t address, uint8_t value);
  uint8_t ReadFile(uint16_t opcode, uint16_t& address);
  void StoreResult(uint16_t opcode, uint16_t address, uint8_t value);
  void SetFlags(uint8_t mask, uint8_t flags);
  uint8_t Add(uint8_t a, uint8_t b, bool carry);
  void SetZn(uint8_t value);
  bool Carry() const { return data_[pic18reg::kStatus] & pic18flag::kC; }

  // Flow.
  void Skip();
  void Branch(int32_t words);
  uint32_t PopAddress();
  void Pop(bool fast);
  uint16_t SecondWord();
  uint32_t TablePointer() const;
  void SetTablePointer(uint32_t value);
  void AddCycles(uint32_t count);
  void TickTimer0();
  void TickUart();

  // SFR side effects.
  uint8_t ReadPort(int port);
  void PortWritten(int port);

  // Instruction handlers.
  void Arithmetic(uint16_t op);
  void Logic(uint16_t op);
  void IncDec(uint16_t op);
  void IncDecSkip(uint16_t op);
  void Rotate(uint16_t op);
  void MovfSwapfComf(uint16_t op);
  void FileNoFlags(uint16_t op);
  void CompareSkip(uint16_t op);
  void Mulwf(uint16_t op);
  void BitOp(uint16_t op);
  void BitTest(uint16_t op);
  void Literal(uint16_t op);
  void Mullw(uint16_t op);
  void Movlb(uint16_t op);
  void Retlw(uint16_t op);
  void Lfsr(uint16_t op);
  void Movff(uint16_t op);
  void CondBranch(uint16_t op);
  void Bra(uint16_t op);
  void Rcall(uint16_t op);
  void CallGoto(uint16_t op);
  void Control(uint16_t op);
  void Table(uint16_t op);
  void Daw(uint16_t op);
  void Nop(uint16_t op);
  void Invalid(uint16_t op);

  std::vector<uint8_t> program_;
  std::array<uint8_t, kDataSize> data_{};
  std::array<uint32_t, kStackLevels + 1> stack_{};  // stack_[1..31]; stack_[0] reads as 0
  std::array<uint8_t, kWriteBuffer> holding_{};
  uint32_t pc_ = 0;
  uint32_t extraCycles_ = 0;  // cycles of the running instruction beyond the first
  uint64_t cycles_ = 0;
  uint64_t invalid_ = 0;
  bool sleeping_ = false;
  uint8_t shadowW_ = 0, shadowStatus_ = 0, shadowBsr_ = 0;

  // Timer0.
  uint16_t timer0_ = 0;
  uint8_t tmr0hBuffer_ = 0;
  uint32_t prescaler_ = 0;
  uint32_t timer0Inhibit_ = 0;

  // UART.
  std::deque<uint8_t> received_;
  std::vector<uint8_t> sent_;
  bool txregFull_ = false;
  uint8_t txreg_ = 0;
  uint32_t shiftCyclesLeft_ = 0;
  uint32_t cyclesPerByte_ = 0;

  IPic18Pins* pins_ = nullptr;
};

}  // namespace velmora::sim
