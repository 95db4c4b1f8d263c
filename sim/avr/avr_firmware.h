#pragma once
// The full programmer's ATmega commands as its firmware runs them: each becomes 4-byte serial
// programming instructions on the chip's SPI pins, clocked at the firmware's SCK rates, with the
// waits the firmware makes for the chip's write cycles.
//
// The firmware's own choices (the protocol leaves them to the firmware):
// - SCK phase: 80 us with the slow clock (0x39 1, for a 32 kHz chip), 2.2 us normally; the flash
//   commands of method 1 (0x38, 0x36) use 0.31 us, of method 2 (0x3A, 0x3B) 0.21 us.
// - 0x2E pulses RESET, waits 20 ms and sends Programming Enable; it answers "S" on the echo, else
//   "?".
// - Device parameter 0x1F: 6 means the part polls RDY/BSY; any other value makes the firmware
//   poll the data (the page trailer names the byte and its read instruction) and wait fixed
//   times where it cannot.
// - The page commands load every word of the page, write the page at the trailer's 16-bit word
//   address and wait for it (no extended address: the PC sends Load Extended Address itself
//   through 0x33 when it needs one). Flash reads send Load Extended Address whenever the word
//   address crosses 64 K words.
// - After a raw instruction (0x33) that writes, the firmware waits 10 ms before the next.
// - 0x48 runs the parallel high-voltage fuse restorer (the chip's factory fuses).
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "avr_chip.h"

namespace velmora::sim {

class AvrFirmware {
 public:
  explicit AvrFirmware(AvrChip& chip) : chip_(chip) {}

  static bool Serves(uint8_t command);
  // Operand bytes still needed after `received` (command byte first); 0 when complete.
  size_t MissingBytes(std::span<const uint8_t> received) const;
  static std::string Name(std::span<const uint8_t> command);
  // Runs a complete command; `nowMicros` is the link time at its start. Returns the reply and
  // the time the command took (SPI transfers and waits), in microseconds.
  std::vector<uint8_t> Execute(std::span<const uint8_t> command, double nowMicros,
                               double& tookMicros);
  // Power or RESET lines changed (control bytes).
  void OnReset(double nowMicros) { chip_.Reset(nowMicros); }

  static constexpr double kSlowHalfMicros = 80.0;
  static constexpr double kNormalHalfMicros = 2.2;
  static constexpr double kFastHalfMicros = 0.31;
  static constexpr double kFastestHalfMicros = 0.21;
  static constexpr double kEnableWaitMicros = 20000;
  static constexpr double kFixedWriteWaitMicros = 10000;

 private:
  std::array<uint8_t, 4> Instruction(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3, double half);
  // Polls RDY/BSY (or the data at a byte) until the chip is ready, within `limitMicros`.
  void WaitReady(double half, bool dataPolling, uint8_t readInstruction, uint8_t high, uint8_t low,
                 uint8_t expected);
  double BaseHalf() const { return slowClock_ ? kSlowHalfMicros : kNormalHalfMicros; }
  double MethodHalf(uint8_t command) const;

  AvrChip& chip_;
  bool slowClock_ = false;
  uint8_t deviceParameter_ = 0;
  double now_ = 0;  // link time during a command
};

}  // namespace velmora::sim
