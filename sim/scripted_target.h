#pragma once
// A target without device knowledge, for tests of the link: it answers firmware commands from
// a table, shifts a fixed byte out on PGD in bit-bang mode, and counts programming-mode
// entries as its persistent state.
//
// Options (the scenario's "target" object):
//   "replies":  {"0x2E": ["00", "53"]}  replies per command byte, hexadecimal; one reply per
//                                        command in turn, the last one repeated
//   "operands": {"0x33": 4}             operand bytes that follow a command byte
//   "pinAnswer": 165                    byte shifted out, least significant bit first, during
//                                        the last 8 clocks of every 20-clock ICSP frame
#include <map>
#include <vector>

#include "target.h"

namespace velmora::sim {

class ScriptedTarget final : public ITarget {
 public:
  explicit ScriptedTarget(const nlohmann::json& options);

  CommandStep OnCommandBytes(std::span<const uint8_t> bytes, ITargetIo& io) override;
  void OnControlByte(uint8_t controlByte, ITargetIo& io) override;
  int OnPinSample(uint8_t pins, ITargetIo& io) override;
  void LoadImage(const HexImage& image) override;
  nlohmann::json SaveState() const override;
  void LoadState(const nlohmann::json& state) override;

 private:
  struct Replies {
    std::vector<std::vector<uint8_t>> answers;
    size_t next = 0;
  };
  std::map<uint8_t, Replies> replies_;
  std::map<uint8_t, size_t> operands_;
  uint8_t pinAnswer_ = 0;

  HexImage memory_;
  uint64_t programmingEntries_ = 0;

  // Bit-bang state.
  bool vppHigh_ = false;
  bool clockHigh_ = false;
  uint32_t clocks_ = 0;  // falling clock edges since MCLR/VPP went high
  int driven_ = -1;
};

}  // namespace velmora::sim
