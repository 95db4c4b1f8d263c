#include "scenario.h"

#include <cctype>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <stdexcept>

#include "link/programmer_identity.h"

namespace velmora::sim {

namespace {

const char* Env(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

void CheckKeys(const nlohmann::json& object, std::initializer_list<const char*> known,
               const std::string& where) {
  if (!object.is_object()) throw std::runtime_error(where + " must be a JSON object");
  for (const auto& [key, value] : object.items()) {
    bool found = false;
    for (const char* k : known) found = found || key == k;
    if (!found) throw std::runtime_error("unknown key \"" + key + "\" in " + where);
  }
}

Faults ParseFaults(const nlohmann::json& json) {
  CheckKeys(json,
            {"noFirmware", "noProgrammer", "unplugAfterBytes", "replyNeverComes", "lossyReadBack"},
            "faults");
  Faults faults;
  faults.noFirmware = json.value("noFirmware", false);
  faults.noProgrammer = json.value("noProgrammer", false);
  if (json.contains("unplugAfterBytes")) {
    faults.unplugAfterBytes =
        ScenarioNumber(json.at("unplugAfterBytes"), "unplugAfterBytes", UINT64_MAX);
  }
  for (const auto& command : json.value("replyNeverComes", nlohmann::json::array())) {
    faults.replyNeverComes.insert(ParseByte(command));
  }
  if (json.contains("lossyReadBack")) {
    const nlohmann::json& lossy = json.at("lossyReadBack");
    CheckKeys(lossy, {"afterSamples", "dropEvery"}, "lossyReadBack");
    if (lossy.contains("afterSamples")) {
      faults.dropCapturedAfter =
          ScenarioNumber(lossy.at("afterSamples"), "afterSamples", UINT64_MAX);
    }
    faults.dropCapturedEvery = ScenarioNumber(lossy.at("dropEvery"), "dropEvery", UINT64_MAX);
    if (faults.dropCapturedEvery == 0) throw std::runtime_error("lossyReadBack: dropEvery is 0");
  }
  return faults;
}

FrequencyAnswer ParseFrequency(const nlohmann::json& json) {
  FrequencyAnswer answer;
  if (json == "none") {
    answer.kind = FrequencyAnswer::Kind::kNoAnswer;
    return answer;
  }
  CheckKeys(json, {"mhz", "count"}, "frequency");
  if (json.contains("mhz")) {
    answer.kind = FrequencyAnswer::Kind::kMegahertz;
    answer.megahertz = json.at("mhz").get<double>();
    if (!(answer.megahertz > 0)) throw std::runtime_error("frequency: mhz must be above 0");
  } else if (json.contains("count")) {
    answer.kind = FrequencyAnswer::Kind::kCount;
    answer.count = json.at("count").get<uint32_t>();
  }
  return answer;
}

}  // namespace

uint8_t ParseByte(const nlohmann::json& value) {
  if (value.is_number_unsigned() && value.get<uint64_t>() <= 0xFF) return value.get<uint8_t>();
  if (value.is_string()) {
    const std::string text = value.get<std::string>();
    size_t used = 0;
    const unsigned long number = std::stoul(text, &used, 0);
    if (used == text.size() && number <= 0xFF) return static_cast<uint8_t>(number);
  }
  throw std::runtime_error("not a byte: " + value.dump());
}

uint64_t ScenarioNumber(const nlohmann::json& value, const std::string& key, uint64_t max) {
  std::optional<uint64_t> number;
  if (value.is_number_unsigned()) {
    number = value.get<uint64_t>();
  } else if (value.is_string()) {
    const std::string text = value.get<std::string>();
    size_t used = 0;
    try {
      if (!text.empty() && std::isdigit(static_cast<unsigned char>(text[0]))) {
        number = std::stoull(text, &used, 0);
      }
    } catch (const std::exception&) {
      number.reset();
    }
    if (used != text.size()) number.reset();
  }
  if (!number || *number > max) {
    throw std::runtime_error("\"" + key + "\": " + value.dump() + " is out of range (0.." +
                             std::to_string(max) + ")");
  }
  return *number;
}

std::vector<uint8_t> ParseHexBytes(const std::string& text) {
  std::vector<uint8_t> bytes;
  std::string digits;
  for (char c : text) {
    if (c == ' ') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) {
      throw std::runtime_error("not hexadecimal bytes: \"" + text + "\"");
    }
    digits += c;
  }
  if (digits.size() % 2) throw std::runtime_error("odd number of hex digits: \"" + text + "\"");
  for (size_t i = 0; i < digits.size(); i += 2) {
    bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
  }
  return bytes;
}

std::string FormatHexBytes(const uint8_t* bytes, size_t count) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(count * 3);
  for (size_t i = 0; i < count; ++i) {
    if (i) text += ' ';
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0xF];
  }
  return text;
}

Scenario ParseScenario(const nlohmann::json& json) {
  CheckKeys(json,
            {"programmer", "firmware", "description", "device", "memory", "externalPower",
             "stateFile", "transcriptFile", "faults", "target", "trace", "frequency"},
            "the scenario");
  try {
    Scenario scenario;
    const std::string programmer = json.value("programmer", "full");
    if (programmer == "mini") {
      scenario.programmer = Scenario::Programmer::kMini;
    } else if (programmer != "full") {
      throw std::runtime_error("programmer must be \"full\" or \"mini\"");
    }
    scenario.firmware = json.value("firmware", std::string(kDefaultFirmwareText));
    if (scenario.firmware.size() > 255) throw std::runtime_error("firmware text over 255 bytes");
    scenario.description = json.value("description", std::string(kProgrammerDescription));
    scenario.device = json.value("device", "");
    scenario.memory = json.value("memory", "");
    scenario.externalPower = json.value("externalPower", true);
    scenario.stateFile = json.value("stateFile", std::string(Env("VELMORA_SIM_STATE")));
    scenario.transcriptFile =
        json.value("transcriptFile", std::string(Env("VELMORA_SIM_TRANSCRIPT")));
    if (json.contains("faults")) scenario.faults = ParseFaults(json.at("faults"));
    if (json.contains("target")) {
      scenario.target = json.at("target");
      if (!scenario.target.is_object()) throw std::runtime_error("target must be an object");
    }
    if (json.contains("trace")) scenario.trace = json.at("trace");
    if (json.contains("frequency")) scenario.frequency = ParseFrequency(json.at("frequency"));
    return scenario;
  } catch (const nlohmann::json::exception& e) {
    throw std::runtime_error(std::string("scenario: ") + e.what());
  }
}

}  // namespace velmora::sim
