#pragma once
// Sub records of the ZEQL engine: host ('#'), register-level ('*') and pin-level ('@') subs,
// and the specialised copies of pin subs the compiler makes for constant parameters.
#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "script/zeql_types.h"

namespace velmora {

class CZEQLEngine;

class CZEQLSub {
 public:
  explicit CZEQLSub(CZEQLEngine* owner) : engine(owner) {}
  virtual ~CZEQLSub() = default;
  // A new empty sub of the same class.
  virtual std::unique_ptr<CZEQLSub> CreateEmpty() const {
    return std::make_unique<CZEQLSub>(engine);
  }

  std::vector<ZEQLLine>& Lines() { return *lines; }

  std::string name;
  // Specialised copies share the generic sub's lines.
  bool linesShared = false;
  std::shared_ptr<std::vector<ZEQLLine>> lines = std::make_shared<std::vector<ZEQLLine>>();
  bool entry = false;
  int codeAddress = 0;
  int useWeight = 0;  // 100 per call site inside a loop, 1 per other call site
  CZEQLEngine* engine;
};

constexpr int kPinSubLineLimit = 1000;
constexpr int kPinSubEntries = 11;  // ten pins, then the reset control
constexpr int kResetEntry = 10;
constexpr uint16_t kPinUnchanged = 0xFFFF;

// Pin entry codes.
namespace pin_code {
constexpr uint16_t kLow = 0, kHigh = 1, kWaitHigh = 2, kWaitLow = 3;
constexpr uint16_t kDriveFromRegister = 0x08, kReadIntoRegister = 0x18, kInverted = 0x20;
// Reset entry.
constexpr uint16_t kResetOff = 0, kResetOn = 1, kResetVpp = 2;
}  // namespace pin_code

class CZEQLSubLevel3 : public CZEQLSub {
 public:
  using CZEQLSub::CZEQLSub;
  std::unique_ptr<CZEQLSub> CreateEmpty() const override {
    return std::make_unique<CZEQLSubLevel3>(engine);
  }

  // Every slot unchanged, every line time 1000, line count 1.
  void ResetSlots() {
    for (auto& slot : slots) slot.fill(kPinUnchanged);
    lineTimes.fill(1000);
    lineCount = 1;
  }

  int lineCount = 1;          // slot 0 holds the state before the first line
  bool specialisable = true;  // for a copy: still included
  uint32_t parameterValue = 0;
  bool specialised = false;
  std::array<std::array<uint16_t, kPinSubEntries>, kPinSubLineLimit> slots{};
  std::array<uint32_t, kPinSubLineLimit> lineTimes{};
  int codeSize = 0;  // bytes of code plus 4
  bool lineLimitReported = false;
};

}  // namespace velmora
