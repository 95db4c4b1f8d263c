#pragma once
// The full programmer's firmware commands for a PIC18 target (0x1F, 0x21..0x2D, and the single
// bytes 0x80/0x8C around a RAM read), acting on the simulated target's memories. The firmware
// frame asks how many operand bytes a command still needs, then hands over the complete command
// and sends the reply back to the PC.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "pic18_memory.h"

namespace velmora::sim {

class Pic18Firmware {
 public:
  static constexpr uint8_t kAcknowledge = 0x01;  // content of the one-byte erase/write replies

  explicit Pic18Firmware(Pic18Memory& memory) : memory_(memory) {}

  // True for the command bytes this handler serves.
  static bool Serves(uint8_t command);
  // Bytes still needed after `received` (the command byte and the operands so far); 0 when
  // the command is complete.
  size_t MissingBytes(std::span<const uint8_t> received) const;
  // Runs one complete command (command byte first) and returns its reply.
  std::vector<uint8_t> Execute(std::span<const uint8_t> command);
  // A new programming cycle: the parameter block and device parameters are forgotten.
  void ResetCycle();

  // The device parameters of the last 0x1F: algorithm, erase block, write buffer.
  std::span<const uint8_t, 3> deviceParameters() const { return deviceParameters_; }

 private:
  // The parameter block of the last 0x21, decoded by its length.
  uint32_t BlockAddress() const;
  uint32_t BlockCount() const;
  size_t ProgramImageBytes() const;

  std::vector<uint8_t> ReadProgramSpace();
  std::vector<uint8_t> ReadEepromBytes();
  std::vector<uint8_t> ReadRamBytes();
  void WriteProgramImage(std::span<const uint8_t> data);
  void WriteEepromBytes(std::span<const uint8_t> data);
  void WriteIdLocations(std::span<const uint8_t> data);
  void WriteConfiguration(std::span<const uint8_t> data);
  void WriteOneBlock(std::span<const uint8_t> data);
  uint32_t EraseBlockSize() const;

  Pic18Memory& memory_;
  std::vector<uint8_t> block_;  // n followed by the n parameter bytes of the last 0x21
  uint8_t deviceParameters_[3] = {0, 0, 0};
};

}  // namespace velmora::sim
