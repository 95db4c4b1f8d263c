// Pin-level subs: the pin assignment that fills a line slot, and the code of a sub's slots:
// each line padded to its time, then its pin changes in entry order, then the reset control.
#include <string>

#include "script/programmer_cpu/pic18_instructions.h"
#include "script/programmer_cpu/zeql_pic18.h"
#include "script/zeql_engine.h"

namespace velmora {

using namespace pic18;

namespace {

bool IsBitReference(int id) {
  return id >= signal_id::kBitA && id <= signal_id::kBitT;
}

// The byte number of a bit reference's byte; groups A, D, R, T.
int BitReferenceByte(int group, int bit) {
  static constexpr int kBases[] = {kRegisterBaseA, kRegisterBaseD, kRegisterBaseR, kRegisterBaseT};
  return kBases[group] + bit / 8;
}

uint16_t TransferCode(uint16_t kind, int group, int bit, bool inverted) {
  return static_cast<uint16_t>(kind + bit * 256 + group * 64 +
                               (inverted ? pin_code::kInverted : 0));
}

bool IsTransfer(uint16_t entry) {
  return entry != kPinUnchanged && entry >= 4;
}

}  // namespace

void CZEQLPIC18::PinAssignment(CZEQLSubLevel3& sub, std::string_view destination,
                               std::string_view source) {
  if (source == "x" || source == "X") return;  // the entry stays unchanged
  if (sub.lineCount >= kPinSubLineLimit) return;
  SignalOperand dst = engine_.ParseSignalOperand(destination);
  SignalOperand src = engine_.ParseSignalOperand(source);
  const bool inverted = dst.inverted != src.inverted;
  auto& slot = sub.slots[static_cast<size_t>(sub.lineCount)];
  auto pinIndex = [&](int id) {
    for (size_t i = 0; i < kPinCount; ++i) {
      if (engine_.Signals()[i].id == id) return static_cast<int>(i);
    }
    return -1;
  };
  auto fail = [&](const char* message) {
    engine_.ReportError();
    if (message != nullptr) engine_.Log(message);
  };

  if (dst.id == signal_id::kBitT && !sub.specialised) sub.specialisable = false;
  if (sub.specialised && src.id == signal_id::kBitT) {
    src.id = ((sub.parameterValue >> src.bit) & 1) ? signal_id::kHigh : signal_id::kLow;
  }
  const int dstPin = pinIndex(dst.id);
  const int srcPin = pinIndex(src.id);

  if (IsBitReference(dst.id) && IsBitReference(src.id)) {
    return fail("Sorry, registers on both sides are not allowed.");
  }
  if (dstPin >= 0 && srcPin >= 0) return fail("Sorry, port on both sides are not allowed.");
  if (src.id == signal_id::kReset) return fail("Sorry, RESET can never be a data source.");

  if (dst.id == signal_id::kReset) {
    if (src.id == signal_id::kOn) {
      slot[kResetEntry] = pin_code::kResetOn;
    } else if (src.id == signal_id::kOff) {
      slot[kResetEntry] = pin_code::kResetOff;
    } else if (src.id == signal_id::kVpp) {
      slot[kResetEntry] = pin_code::kResetVpp;
    } else {
      fail(nullptr);
    }
    return;
  }
  if (dstPin >= 0) {
    const int id = src.id;
    if (id == signal_id::kInput || id == signal_id::kOn || id == signal_id::kHigh) {
      slot[static_cast<size_t>(dstPin)] = inverted ? pin_code::kLow : pin_code::kHigh;
    } else if (id == signal_id::kOutput || id == signal_id::kOff || id == signal_id::kLow) {
      slot[static_cast<size_t>(dstPin)] = inverted ? pin_code::kHigh : pin_code::kLow;
    } else if (IsBitReference(id)) {
      slot[static_cast<size_t>(dstPin)] =
          TransferCode(pin_code::kDriveFromRegister, id - signal_id::kBitA, src.bit, inverted);
    } else {
      fail(nullptr);
    }
    return;
  }
  if (IsBitReference(dst.id) && srcPin >= 0) {
    slot[static_cast<size_t>(srcPin)] =
        TransferCode(pin_code::kReadIntoRegister, dst.id - signal_id::kBitA, dst.bit, inverted);
    return;
  }
  fail(dst.id == 0 ? "Here is something wrong" : nullptr);
}

// Each unchanged pin entry takes the previous line's level when that is known.
void CZEQLPIC18::PropagateLevels(CZEQLSubLevel3& sub) {
  for (int line = 1; line < sub.lineCount; ++line) {
    for (size_t pin = 0; pin < kPinCount; ++pin) {
      const uint16_t previous = sub.slots[static_cast<size_t>(line - 1)][pin];
      uint16_t& entry = sub.slots[static_cast<size_t>(line)][pin];
      if (entry == kPinUnchanged && (previous == pin_code::kLow || previous == pin_code::kHigh)) {
        entry = previous;
      }
    }
  }
}

void CZEQLPIC18::EmitRegisterTransfer(int pin, uint16_t entry, bool pinInverted) {
  const ZEQLSignal& signal = engine_.Signals()[static_cast<size_t>(pin)];
  const int bit = entry >> 8;
  const int group = (entry >> 6) & 3;
  const uint8_t reg = static_cast<uint8_t>(BitReferenceByte(group, bit));
  const int regBit = bit % 8;
  const bool inverted = ((entry & pin_code::kInverted) != 0) != pinInverted;
  if ((entry & 0x18) == pin_code::kDriveFromRegister) {
    // Four cycles whatever the bit: test, set, test, clear.
    const uint8_t out = static_cast<uint8_t>(signal.outputRegister);
    Emit(Btfsc(reg, regBit));
    Emit(inverted ? Bcf(out, signal.outputBit) : Bsf(out, signal.outputBit));
    Emit(Btfss(reg, regBit));
    Emit(inverted ? Bsf(out, signal.outputBit) : Bcf(out, signal.outputBit));
  } else {
    // Three cycles whatever the pin reads: preset the bit, then test the pin.
    const uint8_t in = static_cast<uint8_t>(signal.inputRegister);
    Emit(inverted ? Bsf(reg, regBit) : Bcf(reg, regBit));
    Emit(Btfsc(in, signal.inputBit));
    Emit(inverted ? Bcf(reg, regBit) : Bsf(reg, regBit));
  }
}

void CZEQLPIC18::EmitPinChange(CZEQLSubLevel3& sub, int line, int pin) {
  const uint16_t entry = sub.slots[static_cast<size_t>(line)][static_cast<size_t>(pin)];
  const uint16_t previous = sub.slots[static_cast<size_t>(line - 1)][static_cast<size_t>(pin)];
  const ZEQLSignal& signal = engine_.Signals()[static_cast<size_t>(pin)];
  const uint8_t out = static_cast<uint8_t>(signal.outputRegister);
  const uint8_t in = static_cast<uint8_t>(signal.inputRegister);
  switch (entry) {
    case kPinUnchanged:
      return;
    case pin_code::kLow:
    case pin_code::kHigh:
      if (previous == entry) return;
      Emit((entry == pin_code::kHigh) != signal.invert ? Bsf(out, signal.outputBit)
                                                       : Bcf(out, signal.outputBit));
      return;
    case pin_code::kWaitHigh:
    case pin_code::kWaitLow:
      if ((entry == pin_code::kWaitHigh) != signal.invert) {
        WaitWhileBitClear(in, signal.inputBit);
      } else {
        WaitWhileBitSet(in, signal.inputBit);
      }
      return;
    default:
      if (IsTransfer(entry)) EmitRegisterTransfer(pin, entry, signal.invert);
      return;  // an entry without a known code emits nothing
  }
}

void CZEQLPIC18::EmitResetChange(uint16_t entry) {
  switch (entry) {
    case pin_code::kResetOff:
      Emit(Bsf(sfr::kLatB, kResetStrobeBit));
      Emit(Bcf(sfr::kLatB, kVppBit));
      Emit(Bcf(sfr::kLatB, kResetStrobeBit));
      return;
    case pin_code::kResetOn:
      Emit(Bsf(sfr::kLatB, kResetStrobeBit));
      return;
    case pin_code::kResetVpp:
      Emit(Bsf(sfr::kLatB, kResetStrobeBit));
      Emit(Bsf(sfr::kLatB, kVppBit));
      Emit(Bcf(sfr::kLatB, kResetStrobeBit));
      return;
    default:
      return;
  }
}

// A line's time is the pause before its changes take effect, plus 100.
void CZEQLPIC18::EmitPinSub(CZEQLSubLevel3& sub) {
  sub_ = &sub;
  const int start = writePointer_;
  PropagateLevels(sub);
  for (int line = 1; line < sub.lineCount; ++line) {
    const int64_t time = sub.lineTimes[static_cast<size_t>(line)];
    engine_.targetTime = engine_.elapsedTime + (time > 100 ? time - 100 : 0);
    PadToTarget();
    for (int pin = 0; pin < static_cast<int>(kPinCount); ++pin) EmitPinChange(sub, line, pin);
    EmitResetChange(sub.slots[static_cast<size_t>(line)][kResetEntry]);
  }
  sub.codeSize = writePointer_ - start + 4;
  sub_ = nullptr;
}

}  // namespace velmora
