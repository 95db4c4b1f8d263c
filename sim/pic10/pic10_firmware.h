#pragma once
// The full programmer's PIC10F20x commands as its firmware runs them on the chip's programming
// port. Every command starts with a fresh entry into programming mode, so the counter starts on
// the configuration word.
//
//   0x1F p1 p2 p3   device parameters (kept; the PIC10 values are 03 08 0E)
//   0x41 nL nH e    reads (2n + e + 16) / 2 words from the configuration word on (then word 0,
//                   1, ...); reply 2n + e + 16 bytes, each word low byte first
//   0x44 nL nH data writes n words from the configuration word on (then word 0, 1, ...), each
//                   read back; reply 2n bytes
//   0x49 nL nH      advances the counter n words from the configuration word and erases: n = 1
//                   ends on word 0 (program memory and configuration word go); n = N + 1 ends
//                   on the first ID word (ID words and backup calibration word go too: the
//                   firmware reads the backup word first and writes it back after); no reply
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pic10_chip.h"

namespace velmora::sim {

class Pic10Firmware {
 public:
  explicit Pic10Firmware(Pic10Chip& chip) : chip_(chip) {}

  static bool Serves(uint8_t command);
  static size_t MissingBytes(std::span<const uint8_t> received);
  static std::string Name(std::span<const uint8_t> command);
  std::vector<uint8_t> Execute(std::span<const uint8_t> command);

 private:
  std::vector<uint8_t> ReadWords(uint32_t count);
  std::vector<uint8_t> WriteWords(std::span<const uint8_t> data);
  void Erase(uint32_t advance);
  void EnterAndAdvance(uint32_t words);

  Pic10Chip& chip_;
  std::array<uint8_t, 3> parameters_{};
};

}  // namespace velmora::sim
