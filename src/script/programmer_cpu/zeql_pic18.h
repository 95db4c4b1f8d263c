#pragma once
// CZEQLPIC18: the code generator for the programmer's own PIC18 processor. Code image offsets
// are the processor's program byte addresses; CALL and GOTO take them halved.
#include <cstdint>

#include "script/programmer_cpu/zeql_mcu.h"

namespace velmora {

class CZEQLEngine;
struct ZEQLLine;

// Where the firmware keeps its timing helpers, relative to the reported delay routine base.
namespace firmware_delay {
// Delay routines: time in hundredths of a cycle including the call, and distance in words
// before the delay base.
struct Routine {
  int64_t hundredths;
  int wordsBeforeBase;
};
constexpr Routine kRoutines[] = {{2600, 18},   {5000, 21},    {10100, 24},  {50000, 27},
                                 {100100, 30}, {1000000, 37}, {2000000, 44}};
}  // namespace firmware_delay

// Flow control: the PC holds the transmitter off while PORTB,7 is set.
constexpr int kFlowControlBit = 7;
// LATB bits that switch the target's reset and programming voltage.
constexpr int kResetStrobeBit = 2;
constexpr int kVppBit = 4;
// The receive routine leaves the byte in this file register.
constexpr int kReceivedByteRegister = 7;

class CZEQLPIC18 : public CZEQLMCU {
 public:
  explicit CZEQLPIC18(CZEQLEngine& engine) : engine_(engine) {}

  int PrepareProgrammer(CPICVortang* programmer) override;
  void PinAssignment(CZEQLSubLevel3& sub, std::string_view destination,
                     std::string_view source) override;
  void EmitPinSub(CZEQLSubLevel3& sub) override;
  void EndOfSub() override;
  void SendByte(int byte) override;
  void PadToTarget() override;
  void Call(int target) override;
  void Jump(int target) override;
  void MoveByte(int source, int destination) override;
  void AddLiteral(int first, int last, int64_t value) override;
  void AddRegister(int first, int last, int sourceFirst) override;
  void SubLiteral(int first, int last, int64_t value) override;
  void SubRegister(int first, int last, int sourceFirst) override;
  void AndLiteral(int first, int last, int64_t value) override;
  void SetLiteral(int first, int last, int64_t value) override;
  void DecrementJNZ(int first, int last, int target) override;
  void LongWait(int64_t hundredths) override;
  void WaitWhileBitClear(int file, int bit) override;
  void WaitWhileBitSet(int file, int bit) override;
  void Nop() override;
  void Compare(const CompareOperand& left, const CompareOperand& right) override;
  void BranchIfEqual(int target) override;
  void BranchIfNotEqual(int target) override;

  int CodePointer() const override { return writePointer_; }
  void SetCodePointer(int offset) override { writePointer_ = offset; }
  int ReceiveRoutine() const override { return receiveRoutine_; }
  int ReceivedByteRegister() const override { return kReceivedByteRegister; }

  // The second entry the firmware reports is the end of its NOP chain (its RETURN).
  void SetFirmwareAddresses(int delayBase, int nopChainEnd, int receiveRoutine) override {
    delayBase_ = delayBase;
    nopChainEnd_ = nopChainEnd;
    receiveRoutine_ = receiveRoutine;
  }
  int DelayBase() const { return delayBase_; }
  int NopChainEnd() const { return nopChainEnd_; }

 private:
  // Appends one instruction word that takes `cycles` instruction cycles.
  void Emit(uint16_t word, int cycles = 1);
  void EmitCall(int target);
  // False (after the slot's message) for a range that runs backwards or spans over 4 bytes.
  bool AcceptRange(int first, int last, const char* operation);
  // Records the target of a call or jump on the current line and watches it settle.
  void CheckTarget(int target);
  // True when this line must keep its far jump form (forms only grow between passes).
  bool LineNeedsFarForm() const;
  void MarkLineFar();
  void BranchOnZero(int target, bool equal);
  void EmitLongWaitChunk(int prescalerCode, int ticks);
  // Pin sub emission.
  void PropagateLevels(CZEQLSubLevel3& sub);
  void EmitPinChange(CZEQLSubLevel3& sub, int line, int pin);
  void EmitResetChange(uint16_t entry);
  void EmitRegisterTransfer(int pin, uint16_t entry, bool pinInverted);

  CZEQLEngine& engine_;
  CZEQLSubLevel3* sub_ = nullptr;
  int writePointer_ = 0;
  int delayBase_ = 0;
  int nopChainEnd_ = 0;
  int receiveRoutine_ = 0;
};

}  // namespace velmora
