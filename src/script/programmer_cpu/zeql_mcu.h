#pragma once
// CZEQLMCU: the code generator the ZEQL compiler drives, one operation per slot. Each
// operation appends its instructions to the engine's code image at the write pointer and keeps
// the engine's time account (hundredths of an instruction cycle).
#include <cstdint>
#include <string_view>

namespace velmora {

class CPICVortang;
class CZEQLSubLevel3;

// One side of a `be`/`bne` comparison: a register range (ascending) or a literal.
struct CompareOperand {
  bool isRegister = false;
  int first = 0;
  int last = 0;
  int64_t literal = 0;
};

class CZEQLMCU {
 public:
  virtual ~CZEQLMCU() = default;

  // 0: reads the programmer's algorithm area and firmware addresses; 1 on success.
  virtual int PrepareProgrammer(CPICVortang* programmer) = 0;
  // 1: a pin-level "dst = src" into the sub's current line slot.
  virtual void PinAssignment(CZEQLSubLevel3& sub, std::string_view destination,
                             std::string_view source) = 0;
  // 2: the code of a pin sub's line slots.
  virtual void EmitPinSub(CZEQLSubLevel3& sub) = 0;
  // 3
  virtual void EndOfSub() = 0;
  // 4: one register byte to the PC.
  virtual void SendByte(int byte) = 0;
  // 5: pads from the elapsed time up to the target time.
  virtual void PadToTarget() = 0;
  // 6, 7: targets are code image offsets or firmware addresses.
  virtual void Call(int target) = 0;
  virtual void Jump(int target) = 0;
  // 8
  virtual void MoveByte(int source, int destination) = 0;
  // 9 to 15: ranges of register byte numbers, `first` the least significant byte.
  virtual void AddLiteral(int first, int last, int64_t value) = 0;
  virtual void AddRegister(int first, int last, int sourceFirst) = 0;
  virtual void SubLiteral(int first, int last, int64_t value) = 0;
  virtual void SubRegister(int first, int last, int sourceFirst) = 0;
  virtual void AndLiteral(int first, int last, int64_t value) = 0;
  virtual void SetLiteral(int first, int last, int64_t value) = 0;
  virtual void DecrementJNZ(int first, int last, int target) = 0;
  // 16
  virtual void LongWait(int64_t hundredths) = 0;
  // 17, 18
  virtual void WaitWhileBitClear(int file, int bit) = 0;
  virtual void WaitWhileBitSet(int file, int bit) = 0;
  // 19
  virtual void Nop() = 0;
  // 20: leaves Z set exactly when both sides are equal.
  virtual void Compare(const CompareOperand& left, const CompareOperand& right) = 0;
  // 21, 22
  virtual void BranchIfEqual(int target) = 0;
  virtual void BranchIfNotEqual(int target) = 0;

  // The write pointer into the code image.
  virtual int CodePointer() const = 0;
  virtual void SetCodePointer(int offset) = 0;
  // The firmware's byte receive routine, called by `get`, and the file register in which it
  // leaves the byte.
  virtual int ReceiveRoutine() const = 0;
  virtual int ReceivedByteRegister() const = 0;
  // The firmware addresses the programmer reports.
  virtual void SetFirmwareAddresses(int delayBase, int secondEntry, int receiveRoutine) = 0;
};

}  // namespace velmora
