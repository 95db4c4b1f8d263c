#pragma once
// The simulated PIC12F629/675 or PIC16F630/676 as a target of the simulated programmer: the
// full programmer's PIC12 commands drive the chip's programming port (the mini programmer
// cannot program these parts).
//
// Options (the scenario's "target" object), all optional:
//   "calibration": "0x5C"          k of the factory RETLW k at word 0x3FF
//   "bandGap": 2                   the factory band-gap bits BG1:BG0
//   "revision": 3                  low five bits of the device ID word
//   "calibrationMissing": true     the calibration word was erased before (reads 0x3FFF)
//   "absent": true                 no target: every read gives 0x3FFF
//   "stuckBits": [{"word": "0x3FF", "bit": 3, "level": 0}]
//                                  words in the chip's address space (0x2007: configuration)
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "sim/pic12/pic12_chip.h"
#include "sim/pic12/pic12_firmware.h"
#include "target.h"

namespace velmora::sim {

class Pic12Target final : public ITarget {
 public:
  Pic12Target(const Pic12Part& part, const nlohmann::json& options);

  CommandStep OnCommandBytes(std::span<const uint8_t> bytes, ITargetIo& io) override;
  void OnControlByte(uint8_t controlByte, ITargetIo& io) override;
  int OnPinSample(uint8_t pins, ITargetIo& io) override;
  void LoadImage(const HexImage& image) override;
  nlohmann::json SaveState() const override;
  void LoadState(const nlohmann::json& state) override;

  Pic12Chip& chip() { return *chip_; }

 private:
  std::unique_ptr<Pic12Chip> chip_;
  std::unique_ptr<Pic12Firmware> firmware_;
  bool absent_ = false;
  bool pinsNoted_ = false;
};

bool ClaimsPic12(const std::string& device);
std::unique_ptr<ITarget> MakePic12(const std::string& device, const nlohmann::json& options);

}  // namespace velmora::sim
