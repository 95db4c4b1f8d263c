#pragma once
// Fixtures of the PIC12F629-family tests: the simulated chip's memories from the simulator's
// state, and a document whose HEX files are the gpasm-built programs of tests/data/pic12.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "families/family_registry.h"
#include "families/pic12/pic12_family.h"
#include "families/pic12/pic12_operations.h"
#include "support/document_fixture.h"

namespace velmora::testing {

inline const std::string kPic12HexDir = VELMORA_BINARY_DIR "/test-data/pic12/";

// The gpasm-built program of a part, e.g. "pic12f675".
inline std::string Pic12Program(const std::string& part) {
  return kPic12HexDir + part + "_calibrated.hex";
}

struct Pic12ChipMemory {
  std::vector<uint16_t> program;
  std::vector<uint16_t> configuration;  // words 0x2000..0x2007
  std::vector<uint8_t> eeprom;

  uint16_t ConfigurationWord() const { return configuration[7]; }
  uint16_t CalibrationWord() const { return program[0x3FF]; }
};

inline Pic12ChipMemory Pic12MemoryOf(const nlohmann::json& target) {
  auto words = [&](const char* key) {
    const std::vector<uint8_t> bytes = FromHex(target[key].get<std::string>());
    std::vector<uint16_t> result(bytes.size() / 2);
    for (size_t i = 0; i < result.size(); ++i) {
      result[i] = static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
    }
    return result;
  };
  return {words("program"), words("configuration"), FromHex(target["eeprom"].get<std::string>())};
}

class Pic12DocumentTest : public DocumentSimTest {
 protected:
  void StartChip(const std::string& device, nlohmann::json target = nlohmann::json::object(),
                 nlohmann::json faults = nlohmann::json::object()) {
    nlohmann::json extra = {{"target", target}};
    if (!faults.empty()) extra["faults"] = faults;
    Start(device, false, extra);
  }
  CPic12Operations& Pic12() {
    return static_cast<CPic12Operations&>(OperationsOf(*doc_, Pic12FamilyRow()));
  }
  OperationOutcome RunCommand(Pic12Command command) { return Run(Pic12FamilyRow(), int(command)); }
  OperationOutcome Program(const std::string& hexFile) {
    doc_->hexFileName = hexFile;
    return RunCommand(Pic12Command::kProgram);
  }
  Pic12ChipMemory Chip() const { return Pic12MemoryOf(TargetState()); }
  bool Logged(const std::string& line) const {
    for (const std::string& l : Log()) {
      if (l == line) return true;
    }
    return false;
  }
};

}  // namespace velmora::testing
