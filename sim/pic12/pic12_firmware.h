#pragma once
// The full programmer's PIC12F629-family commands as its firmware runs them on the chip's
// programming port. Every block command starts by taking the chip through MCLR into programming
// mode again, so its counter starts at 0 whatever the command before left.
//
//   0x1F p1 p2 p3        device parameters (kept; the PIC12 values are 03 18 0A)
//   0x41 nL nH e         read n program words, e EEPROM bytes and the 8 configuration-memory
//                        words 0x2000..0x2007; reply 2n + e + 16 bytes
//   0x42 h               write the configuration word as erased with high byte h (the band-gap
//                        bits of a word read before, CPD in bit 0)
//   0x43                 erase the data EEPROM
//   0x44 nL nH data      write n program words from 0, each erased and written, read back;
//                        reply 2n bytes
//   0x45                 erase program memory, ID words and configuration word, keeping the
//                        calibration as the maker says a programmer must: the calibration word
//                        and the band-gap bits are read first and written back after the
//                        erase; reply 1 byte: 1 when both read back as before, else 0
//   0x46 44 08 00 data   write the 8 configuration-memory words (ID words and configuration
//                        word; the others are read-only), read back; reply 16 bytes
//   0x47 c data          write c + 1 EEPROM bytes from 0, read back; reply c + 1 bytes
#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "pic12_chip.h"

namespace velmora::sim {

class Pic12Firmware {
 public:
  explicit Pic12Firmware(Pic12Chip& chip) : chip_(chip) {}

  static bool Serves(uint8_t command);
  // Bytes still needed after `received` (command byte and operands so far); 0 when complete.
  static size_t MissingBytes(std::span<const uint8_t> received);
  static std::string Name(std::span<const uint8_t> command);
  // Runs one complete command and returns its reply.
  std::vector<uint8_t> Execute(std::span<const uint8_t> command);

  const std::array<uint8_t, 3>& DeviceParameters() const { return parameters_; }

 private:
  std::vector<uint8_t> ReadAll(uint32_t words, uint32_t eepromBytes);
  void WriteConfigurationHigh(uint8_t high);
  std::vector<uint8_t> WriteProgram(std::span<const uint8_t> data);
  uint8_t EraseKeepingCalibration();
  std::vector<uint8_t> WriteConfigurationArea(std::span<const uint8_t> data);
  std::vector<uint8_t> WriteEeprom(std::span<const uint8_t> data);
  void MoveToConfigurationWord();

  Pic12Chip& chip_;
  std::array<uint8_t, 3> parameters_{};
};

}  // namespace velmora::sim
