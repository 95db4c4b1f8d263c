#include "engine/document_settings.h"

#include <algorithm>
#include <variant>
#include <vector>

namespace velmora {

DocumentSettings::DocumentSettings() {
  std::fill(std::begin(optionSelections), std::end(optionSelections), 1);
  // A first dsPIC30 run verifies what it wrote and programs the file's configuration; the
  // options take over only when the user asks for it. Stored values keep their meaning.
  for (int off : {DSPIC30IGNORECONFIG, DSPIC30FASTVERIFY, DSPIC30NOVERIFY})
    optionSelections[off] = 0;
  zeqOptions.fill(1);
}

namespace {

constexpr const char* kZeqOptionNames[kZeqOptionCount] = {
    "ZEQFUNCTIONSELECTION",   "ZEQERASEALWAYS",
    "ZEQPROGRAMMEMORY",       "ZEQPROGRAMEEPROM",
    "ZEQPROGRAMIDLOCATION",   "ZEQPROGRAMCONFIGURATION",
    "ZEQFASTVERIFY",          "ZEQNOVERIFY",
    "ZEQIGNORECONFIGFROMHEX", "ZEQLVP",
    "ZEQCHIPSELECTION",       "ZEQLAUTOPROGRAM"};
constexpr const char* kAtmegaSpeedName = "ATMEGASPEED";

using Pic18ConfigBytes = std::array<uint8_t, 14>;

// One stored value and the member behind it.
struct StoredValue {
  std::string name;
  std::variant<std::string*, int32_t*, Pic18ConfigBytes*> member;
};

// Every stored value of `s` in the order in which it is saved. "DSPIC30FLASHFILENAME" is saved
// twice; reading it twice does no harm.
std::vector<StoredValue> StoredValues(DocumentSettings& s) {
  std::vector<StoredValue> v = {
      {"ATMegaDefSignature", &s.atmegaDefaultSignature},
      {"PIC18 Configuration", &s.pic18Configuration},
      {"Ignore Configuration form File", &s.ignoreConfigFromFile},
      {"Enable Low Voltage Programming", &s.lowVoltageProgramming},
      {"Enable Chip Erase", &s.enableChipErase},
      {"Enable Flash Update", &s.enableFlashUpdate},
      {"Enable EEPROM Update", &s.enableEepromUpdate},
      {"Enable IDLocation Update", &s.enableIdLocationUpdate},
      {"Enable Configuration Update", &s.enableConfigurationUpdate},
      {"Enable Power Switching", &s.powerSwitching},
      {"ATMEGACOPYCALIBATIONBYTE", &s.atmegaCopyCalibrationByte},
      {kAtmegaSpeedName, &s.atmegaSpeed},
      {"PIC10 Type Selection", &s.pic10TypeSelection},
  };
  for (int i = 0; i < kOptionCount; ++i) v.push_back({kOptionNames[i], &s.optionSelections[i]});
  v.push_back({"DSPIC30FLASHFILENAME", &s.dspic30FlashFileName});
  v.push_back({"TRACE", &s.trace});
  v.push_back({"SUPPRESSTRACE", &s.suppressTrace});
  v.push_back({"TRACEPULLUP", &s.tracePullUp});
  v.push_back({"TRACEDEFINITIONFILE", &s.traceDefinitionFile});
  for (size_t i = 0; i < s.zeqAlgorithmFiles.size(); ++i) {
    v.push_back({"ZEQALGORITHMFILE" + std::to_string(i + 1), &s.zeqAlgorithmFiles[i]});
  }
  for (size_t i = 0; i < s.zeqFiles.size(); ++i) {
    v.push_back({"ZEQFILE" + std::to_string(i + 1), &s.zeqFiles[i]});
  }
  for (int i = 0; i < kZeqOptionCount; ++i) v.push_back({kZeqOptionNames[i], &s.zeqOptions[i]});
  v.push_back({"Filename", &s.hexFileName});
  v.push_back({"DSPIC30FLASHFILENAME", &s.dspic30FlashFileName});
  v.push_back({"ZEQRunFunctionName", &s.zeqRunFunctionName});
  return v;
}

void LoadValue(const ISettingsStore& store, const std::string& name, std::string* member) {
  if (auto value = store.ReadString(name); value && value->size() <= kMaxStoredStringLength) {
    *member = *value;
  }
}

void LoadValue(const ISettingsStore& store, const std::string& name, int32_t* member) {
  if (name == kAtmegaSpeedName) {
    // With the key present but the value missing the speed becomes 0; the fast settings are
    // never restored.
    const uint32_t speed = store.ReadDword(name).value_or(0);
    if (speed < kFirstUnrestoredAtmegaSpeed) *member = static_cast<int32_t>(speed);
    return;
  }
  if (auto value = store.ReadDword(name)) *member = static_cast<int32_t>(*value);
}

void LoadValue(const ISettingsStore& store, const std::string& name, Pic18ConfigBytes* member) {
  // A shorter value replaces the leading bytes only, as a raw read into the array would.
  if (auto value = store.ReadBinary(name); value && value->size() <= member->size()) {
    std::copy(value->begin(), value->end(), member->begin());
  }
}

}  // namespace

void LoadSettings(const ISettingsStore& store, DocumentSettings& settings) {
  if (store.KeyExists()) {
    for (const StoredValue& value : StoredValues(settings)) {
      std::visit([&](auto* member) { LoadValue(store, value.name, member); }, value.member);
    }
  }
  settings.trace = 0;  // tracing never starts by itself
}

void SaveSettings(ISettingsStore& store, const DocumentSettings& settings) {
  DocumentSettings copy = settings;
  for (const StoredValue& value : StoredValues(copy)) {
    if (auto* text = std::get_if<std::string*>(&value.member)) {
      store.WriteString(value.name, **text);
    } else if (auto* number = std::get_if<int32_t*>(&value.member)) {
      store.WriteDword(value.name, static_cast<uint32_t>(**number));
    } else {
      store.WriteBinary(value.name, *std::get<Pic18ConfigBytes*>(value.member));
    }
  }
}

}  // namespace velmora
