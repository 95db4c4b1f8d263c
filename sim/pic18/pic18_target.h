#pragma once
// The simulated PIC18 as a target of the simulated programmer: firmware commands of the full
// programmer and bit-bang samples of the mini programmer act on one set of memories.
//
// Options (the scenario's "target" object), all optional:
//   "revision": 3                         DEVID1 revision bits (0..31)
//   "absent": "low" | "high"              no target: every read gives 0x00 or 0xFF
//   "stuckBits": [{"address": "0x1234", "bit": 3, "level": 0}]
//                                         addresses in the Intel HEX space (EEPROM 0xF00000)
//   "failConfigWriteOnce": [6]            the first write of these configuration bytes is lost
//   "ram": "00 11 22"                     RAM content from address 0
//   "minimumHoldMicros": 1000             programming hold the ICSP target needs
#include <nlohmann/json.hpp>
#include <string>

#include "sim/pic18/pic18_firmware.h"
#include "sim/pic18/pic18_icsp.h"
#include "sim/pic18/pic18_memory.h"
#include "target.h"

namespace velmora::sim {

class Pic18Target final : public ITarget {
 public:
  Pic18Target(const Pic18Geometry& geometry, const nlohmann::json& options);

  CommandStep OnCommandBytes(std::span<const uint8_t> bytes, ITargetIo& io) override;
  void OnControlByte(uint8_t controlByte, ITargetIo& io) override;
  int OnPinSample(uint8_t pins, ITargetIo& io) override;
  void LoadImage(const HexImage& image) override;
  nlohmann::json SaveState() const override;
  void LoadState(const nlohmann::json& state) override;

  Pic18Memory& memory() { return memory_; }

 private:
  void AccountDeviceTime(std::span<const uint8_t> command, ITargetIo& io) const;

  Pic18Memory memory_;
  Pic18Firmware firmware_;
  Pic18IcspTarget icsp_;
  Pic18IcspTarget::Counters notedCounters_;
  bool heldAtVpp_ = false;  // between 0x80 and 0x8C
};

// Target-model row helpers for the model table.
bool ClaimsPic18(const std::string& device);
std::unique_ptr<ITarget> MakePic18(const std::string& device, const nlohmann::json& options);

}  // namespace velmora::sim
