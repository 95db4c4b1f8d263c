#pragma once
// The simulated ATtiny11 or ATtiny12 as a target of the simulated programmer: the full
// programmer's high-voltage serial commands drive the chip's pins (the mini programmer cannot
// program these parts).
//
// Options (the scenario's "target" object), all optional:
//   "absent": true                 no chip: SDO stays low, nothing answers
//   "fuse": "0x52", "lock": "0xFF" the fuse byte and the lock byte at start (default: the
//                                  factory fuse, unlocked)
//   "calibration": "0x6B"          the ATtiny12's factory calibration byte
//   "calibrationLost": true        the calibration byte reads 0xFF
//   "stuckBits": [{"address": "0x10", "bit": 3, "level": 0}]
//                                  flash bytes from 0, EEPROM from 0xF00000
//   "busyMicros": {"flashByte": 2000, "eepromByte": 4000, "erase": 10000, "fuse": 2000,
//                  "tiny11Fuse": 1500, "lock": 2000}
// Initial memory from a HEX file: flash from 0, EEPROM from 0xF00000.
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "sim/tiny1x/tiny1x_chip.h"
#include "sim/tiny1x/tiny1x_firmware.h"
#include "target.h"

namespace velmora::sim {

class Tiny1xTarget final : public ITarget {
 public:
  Tiny1xTarget(const Tiny1xPart& part, const nlohmann::json& options);

  CommandStep OnCommandBytes(std::span<const uint8_t> bytes, ITargetIo& io) override;
  void OnControlByte(uint8_t controlByte, ITargetIo& io) override;
  int OnPinSample(uint8_t pins, ITargetIo& io) override;
  void LoadImage(const HexImage& image) override;
  nlohmann::json SaveState() const override;
  void LoadState(const nlohmann::json& state) override;

  Tiny1xChip& chip() { return chip_; }

 private:
  Tiny1xChip chip_;
  Tiny1xFirmware firmware_;
  bool pinsNoted_ = false;
};

bool ClaimsTiny1x(const std::string& device);
std::unique_ptr<ITarget> MakeTiny1x(const std::string& device, const nlohmann::json& options);

}  // namespace velmora::sim
