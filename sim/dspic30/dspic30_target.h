#pragma once
// The simulated dsPIC30F as a target of the simulated programmer: the full programmer's dsPIC30
// commands drive the chip's ICSP port (the mini programmer cannot program dsPIC30 parts).
//
// Options (the scenario's "target" object), all optional:
//   "revision": "0x1040"                  DEVREV (PROC<3:0>, REV<5:0>, DOT<5:0>); default 0x1000
//   "absent": "low" | "high"              no target: every read gives 0x0000 or 0xFFFF
//   "stuckBits": [{"address": "0x1234", "bit": 3, "level": 0}]
//                                         addresses in the Intel HEX space (twice the program-
//                                         space address: EEPROM 0xFF0000.., FOSC 0x1F00000)
//   "codeProtected": true                 FGS programmed to 0: the general segment cannot be
//                                         read or written until a bulk erase
//   "ram": "00 11 22"                     RAM content from data address 0x0800
#include <nlohmann/json.hpp>
#include <string>

#include "sim/dspic30/dspic30_core.h"
#include "sim/dspic30/dspic30_firmware.h"
#include "sim/dspic30/dspic30_memory.h"
#include "target.h"

namespace velmora::sim {

class DsPic30Target final : public ITarget {
 public:
  DsPic30Target(const DsPic30Geometry& geometry, const nlohmann::json& options);

  CommandStep OnCommandBytes(std::span<const uint8_t> bytes, ITargetIo& io) override;
  void OnControlByte(uint8_t controlByte, ITargetIo& io) override;
  int OnPinSample(uint8_t pins, ITargetIo& io) override;
  void LoadImage(const HexImage& image) override;
  nlohmann::json SaveState() const override;
  void LoadState(const nlohmann::json& state) override;

  DsPic30Memory& memory() { return memory_; }
  DsPic30Core& core() { return core_; }

 private:
  DsPic30Memory memory_;
  DsPic30Core core_;
  DsPic30Firmware firmware_;
  bool pinsNoted_ = false;
};

// Target-model row helpers for the model table.
bool ClaimsDsPic30(const std::string& device);
std::unique_ptr<ITarget> MakeDsPic30(const std::string& device, const nlohmann::json& options);

}  // namespace velmora::sim
