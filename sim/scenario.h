#pragma once
// The simulator's scenario: which programmer, which target, which faults.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace velmora::sim {

inline constexpr char kDefaultFirmwareText[] = "Velmora FW V3.05 (simulated)";

struct Faults {
  bool noFirmware = false;    // the processor answers 0x20 with 0 and ignores everything else
  bool noProgrammer = false;  // FT_OpenEx finds no device
  // After this many bytes on the wire (written and read together) the cable is pulled: every
  // later transfer, configuration call and open fails.
  std::optional<uint64_t> unplugAfterBytes;
  std::set<uint8_t> replyNeverComes;  // command bytes whose replies are swallowed
  // A lossy bit-bang read-back (an FT232 whose receive buffer overruns): once this many samples
  // have been captured, every `dropCapturedEvery`-th captured sample is lost while every read
  // still succeeds.
  std::optional<uint64_t> dropCapturedAfter;
  uint64_t dropCapturedEvery = 0;
};

// What the firmware answers to the frequency measurement 0x5A.
struct FrequencyAnswer {
  enum class Kind {
    kTargetClock,  // the target model's clock; no answer when the model has none
    kNoAnswer,     // the firmware sees no clock: it answers 0 instead of 4
    kMegahertz,    // a target clock of `megahertz`
    kCount,        // exactly this count
  };
  Kind kind = Kind::kTargetClock;
  double megahertz = 0;
  uint32_t count = 0;
};

struct Scenario {
  enum class Programmer { kFull, kMini };
  Programmer programmer = Programmer::kFull;
  std::string firmware = kDefaultFirmwareText;  // version text of the full programmer
  std::string description;                      // USB description the FT232 enumerates under
  std::string device;                           // catalogue name of the target
  std::string memory;                           // initial memory: "" / "blank" or a HEX file
  bool externalPower = true;
  std::string stateFile;       // target memory kept between processes (default VELMORA_SIM_STATE)
  std::string transcriptFile;  // transcript written at every close (VELMORA_SIM_TRANSCRIPT)
  Faults faults;
  nlohmann::json target = nlohmann::json::object();  // options of the target model
  nlohmann::json trace = nlohmann::json::array();    // the target's trace output (trace_source.h)
  FrequencyAnswer frequency;
};

// Reads a scenario; unknown keys and wrong types throw std::runtime_error. File names not
// given fall back to the environment variables.
Scenario ParseScenario(const nlohmann::json& json);

// A byte given as a number or as a text such as "0x2E".
uint8_t ParseByte(const nlohmann::json& value);
// A whole number 0..max, given as a JSON number or a string ("0x1F"); anything else (negative,
// fractional, too large, not a number) is an error naming `key`.
uint64_t ScenarioNumber(const nlohmann::json& value, const std::string& key, uint64_t max);
// Bytes written as hexadecimal pairs, e.g. "53" or "0C 41 42".
std::vector<uint8_t> ParseHexBytes(const std::string& text);
std::string FormatHexBytes(const uint8_t* bytes, size_t count);

}  // namespace velmora::sim
