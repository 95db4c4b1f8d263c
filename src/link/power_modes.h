#pragma once
// The sixteen ways the programmer switches the target's power, by index: none, manual (the
// user is asked), then one relay pair per delay, the even index of a pair leaving the power off
// after programming and the odd one switching it on again. The link, the pages' list and the
// command line all read this one table.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora {

enum class PowerKind : uint8_t { kNone, kManual, kRelay };

struct PowerMode {
  const char* name;     // the command line's name
  const char* caption;  // the pages' list text
  PowerKind kind;
  uint16_t relayMilliseconds;  // relay: the wait after switching
  bool onAfterProgramming;
};

inline constexpr std::array<PowerMode, 16> kPowerModes = {{
    {"none", "no power switching", PowerKind::kNone, 0, false},
    {"manual", "manual", PowerKind::kManual, 0, false},
    {"relay-1ms-off", "relay - 1ms - off after programming", PowerKind::kRelay, 1, false},
    {"relay-1ms-on", "relay - 1ms - on after programming", PowerKind::kRelay, 1, true},
    {"relay-50ms-off", "relay - 50ms - off after programming", PowerKind::kRelay, 50, false},
    {"relay-50ms-on", "relay - 50ms - on after programming", PowerKind::kRelay, 50, true},
    {"relay-250ms-off", "relay - 250ms - off after programming", PowerKind::kRelay, 250, false},
    {"relay-250ms-on", "relay - 250ms - on after programming", PowerKind::kRelay, 250, true},
    {"relay-500ms-off", "relay - 500ms - off after programming", PowerKind::kRelay, 500, false},
    {"relay-500ms-on", "relay - 500ms - on after programming", PowerKind::kRelay, 500, true},
    {"relay-1s-off", "relay - 1s - off after programming", PowerKind::kRelay, 1000, false},
    {"relay-1s-on", "relay - 1s - on after programming", PowerKind::kRelay, 1000, true},
    {"relay-2.5s-off", "relay - 2.5s - off after programming", PowerKind::kRelay, 2500, false},
    {"relay-2.5s-on", "relay - 2.5s - on after programming", PowerKind::kRelay, 2500, true},
    {"relay-5s-off", "relay - 5s - off after programming", PowerKind::kRelay, 5000, false},
    {"relay-5s-on", "relay - 5s - on after programming", PowerKind::kRelay, 5000, true},
}};

inline constexpr int kPowerSwitchingModes = static_cast<int>(kPowerModes.size());

// The mode of an index, or none for an index outside the table.
constexpr const PowerMode& PowerModeAt(int index) {
  return index >= 0 && index < kPowerSwitchingModes ? kPowerModes[index] : kPowerModes[0];
}

// The index of a mode given by name or as its number 0..15.
constexpr std::optional<int> ParsePowerMode(std::string_view text) {
  for (int i = 0; i < kPowerSwitchingModes; ++i) {
    if (text == kPowerModes[i].name) return i;
  }
  int value = 0;
  if (text.empty() || text.size() > 2) return std::nullopt;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < kPowerSwitchingModes) return value;
  return std::nullopt;
}

}  // namespace velmora
