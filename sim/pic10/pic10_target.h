#pragma once
// The simulated PIC10F200/202/204/206 as a target of the simulated programmer: the full
// programmer's PIC10 commands drive the chip's programming port.
//
// Options (the scenario's "target" object), all optional:
//   "calibration": "0x18"       k of the factory MOVLW k at word N-1 and of its backup at N+4
//   "calibrationMissing": true  the word at N-1 was erased before
//   "backupMissing": true       the backup word at N+4 was erased before
//   "absent": true              no target: every read gives 0xFFFF
//   "stuckBits": [{"word": "0xFF", "bit": 3, "level": 0}]
//                               words in the Program/Verify address space
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "sim/pic10/pic10_chip.h"
#include "sim/pic10/pic10_firmware.h"
#include "target.h"

namespace velmora::sim {

class Pic10Target final : public ITarget {
 public:
  Pic10Target(const Pic10Part& part, const nlohmann::json& options);

  CommandStep OnCommandBytes(std::span<const uint8_t> bytes, ITargetIo& io) override;
  void OnControlByte(uint8_t controlByte, ITargetIo& io) override;
  int OnPinSample(uint8_t pins, ITargetIo& io) override;
  void LoadImage(const HexImage& image) override;
  nlohmann::json SaveState() const override;
  void LoadState(const nlohmann::json& state) override;

 private:
  std::unique_ptr<Pic10Chip> chip_;
  std::unique_ptr<Pic10Firmware> firmware_;
  bool absent_ = false;
  bool pinsNoted_ = false;
};

bool ClaimsPic10(const std::string& device);
std::unique_ptr<ITarget> MakePic10(const std::string& device, const nlohmann::json& options);

}  // namespace velmora::sim
