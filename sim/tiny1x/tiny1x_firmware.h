#pragma once
// The full programmer's ATtiny11/12 commands as its firmware runs them on the chip's
// high-voltage serial pins. The firmware's own choices (the protocol leaves them to it):
//
//   0x3C        VCC on with every pin low, SCI toggled six times, 12 V on RESET, 10 us wait;
//               answers "S" when SDO then reads high (a ready chip), else "?"
//   0x3D        the three signature bytes, each (08, 4C) (i, 0C) (00, 68) (00, 6C)
//   0x3E d i    one instruction of 11 SCI clocks with SDI byte d and SII byte i; answers the
//               byte SDO showed on clocks 0..7
//   0x3F        polls SDO until it reads high (ready), at most 50 ms; answers 1 when ready,
//               0 when it gave up
//   0x39 s      the ATmega serial clock selection, taken and ignored
//
// An instruction after one that pulled WR low (a write) first waits for the chip to be ready
// (as 0x3F), and after a fuse write for at least tWLWH_PFB, 3.4 ms, since the ATtiny11 shows no
// busy state then. SCI runs with 1 us phases (an 11-clock instruction takes 22 us); SDO is pulled
// low, so a missing chip reads 0. The cycle's control bytes 0x0A and 0x0B remove the 12 V and leave
// SCI, SDI and SII low.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tiny1x_chip.h"

namespace velmora::sim {

class Tiny1xFirmware {
 public:
  explicit Tiny1xFirmware(Tiny1xChip& chip) : chip_(chip) {}

  static bool Serves(uint8_t command);
  // Operand bytes still needed after `received` (command byte first); 0 when complete.
  static size_t MissingBytes(std::span<const uint8_t> received);
  static std::string Name(std::span<const uint8_t> command);
  // Runs a complete command from link time `nowMicros`; returns the reply and the time it took.
  std::vector<uint8_t> Execute(std::span<const uint8_t> command, double nowMicros,
                               double& tookMicros);
  // The target's supply as the programmer's lines give it.
  void SetSupply(bool powered, double nowMicros);
  // The cycle's start or end: 12 V off, the serial pins low.
  void ReleasePins(double nowMicros);

  static constexpr double kHalfClockMicros = 1.0;
  static constexpr double kReadyLimitMicros = 50000;
  static constexpr double kPollMicros = 4;

 private:
  uint8_t Frame(uint8_t sdi, uint8_t sii);
  void Enter();
  uint8_t WaitReady();
  void NoteWrite(uint8_t sdi, uint8_t sii);
  void FinishWrite();
  void Set() { chip_.Drive(pins_, now_); }

  Tiny1xChip& chip_;
  HvspPins pins_;
  double now_ = 0;
  uint8_t command_ = 0;                   // the last command loaded (SII 0x4C)
  std::optional<double> writeStartedAt_;  // when the last WR pulse began, until the next frame
};

}  // namespace velmora::sim
