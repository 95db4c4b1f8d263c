#pragma once
// Small helpers for the simulated PIC18 tests: a few device rows and an ICSP sample writer and
// reader that follow the mini programmer's encoding (two samples per bit, data latched on the
// falling clock edge, least significant bit first).
#include <cstdint>
#include <vector>

#include "sim/pic18/pic18_firmware.h"
#include "sim/pic18/pic18_geometry.h"
#include "sim/pic18/pic18_icsp.h"

namespace velmora::sim::testing {

// Catalogue rows the tests use.
inline const Pic18Geometry kPic18F452 = *Pic18GeometryByName("PIC18F452");    // 4 panels
inline const Pic18Geometry kPic18F8720 = *Pic18GeometryByName("PIC18F8720");  // 8 panels
inline const Pic18Geometry kPic18F4550 = *Pic18GeometryByName("PIC18F4550");  // 32-byte buffer
inline const Pic18Geometry kPic18F8722 = *Pic18GeometryByName("PIC18F8722");  // 64-byte buffer

// Writes ICSP commands as pin samples and reads shifted-out bytes back.
class IcspStream {
 public:
  static constexpr uint8_t kBase = icsp_pin::kVpp;

  void Command(uint32_t command4, uint16_t data) {
    const uint32_t bits = command4 | uint32_t{data} << 4;
    for (uint32_t i = 0; i < 20; ++i) Bit((bits >> i) & 1);
  }
  void Core(uint16_t opcode) { Command(0x0, opcode); }
  void SetTablePointer(uint32_t address) {
    Core(0x0E00 | ((address >> 16) & 0xFF));
    Core(0x6EF8);
    Core(0x0E00 | ((address >> 8) & 0xFF));
    Core(0x6EF7);
    Core(0x0E00 | (address & 0xFF));
    Core(0x6EF6);
  }
  void TableRead() { Command(0x9, 0xFFFF); }
  // The NOP after a start-programming command, its fourth clock held high for `holdSamples`.
  void ProgramHold(uint32_t holdSamples) {
    for (int i = 0; i < 3; ++i) Bit(0);
    for (uint32_t i = 0; i < holdSamples; ++i) samples_.push_back(kBase | icsp_pin::kPgc);
    for (int i = 0; i < 11; ++i) samples_.push_back(kBase);
    for (int i = 0; i < 16; ++i) Bit(0);
  }
  void BulkEraseOption(uint8_t code) {
    SetTablePointer(0x3C0004);
    Command(0xC, code);
    Core(0x0000);
    Core(0x0000);
  }

  // Runs the queued samples through the target and returns the bytes it shifted out.
  std::vector<uint8_t> RunOn(Pic18IcspTarget& target) {
    std::vector<uint8_t> captured(samples_.size());
    target.Run(samples_, captured);
    samples_.clear();
    return Decode(captured);
  }
  const std::vector<uint8_t>& samples() const { return samples_; }

 private:
  void Bit(uint32_t bit) {
    const uint8_t data = bit ? icsp_pin::kPgd : 0;
    samples_.push_back(kBase | data | icsp_pin::kPgc);
    samples_.push_back(kBase | data);
  }
  // Falling edges carry the bits; the last eight bits of a read command are the target's byte.
  static std::vector<uint8_t> Decode(const std::vector<uint8_t>& captured) {
    std::vector<uint8_t> bytes;
    uint32_t bits = 0;
    uint32_t count = 0;
    bool previousClock = false;
    for (uint8_t pins : captured) {
      const bool clock = pins & icsp_pin::kPgc;
      if (!clock && previousClock) {
        bits |= uint32_t{(pins & icsp_pin::kPgd) != 0} << count;
        if (++count == 20) {
          const uint32_t command = bits & 0xF;
          if (command == 0x9 || command == 0x2) bytes.push_back(static_cast<uint8_t>(bits >> 12));
          bits = 0;
          count = 0;
        }
      }
      previousClock = clock;
    }
    return bytes;
  }

  std::vector<uint8_t> samples_;
};

// Feeds a byte stream to the firmware commands the way the firmware frame does and collects the
// replies.
inline std::vector<uint8_t> RunFirmware(Pic18Firmware& firmware,
                                        const std::vector<uint8_t>& stream) {
  std::vector<uint8_t> replies;
  std::vector<uint8_t> command;
  for (uint8_t byte : stream) {
    command.push_back(byte);
    if (firmware.MissingBytes(command) == 0) {
      const std::vector<uint8_t> reply = firmware.Execute(command);
      replies.insert(replies.end(), reply.begin(), reply.end());
      command.clear();
    }
  }
  return replies;
}

}  // namespace velmora::sim::testing
