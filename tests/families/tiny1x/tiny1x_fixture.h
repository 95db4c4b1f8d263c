#pragma once
// Fixtures of the ATtiny11/12 tests: a document on the simulated programmer with a simulated
// ATtiny11 or ATtiny12, the chip's memories from the simulator's state, and the assembled
// program.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "families/tiny1x/tiny1x_family.h"
#include "families/tiny1x/tiny1x_operations.h"
#include "support/document_fixture.h"

namespace velmora::testing {

inline std::string Tiny1xData(const std::string& name) {
  return std::string(VELMORA_TINY1X_DATA) + "/" + name;
}

// The simulated chip's memories and bytes as it reads them.
struct Tiny1xChipState {
  std::vector<uint8_t> flash;
  std::vector<uint8_t> eeprom;
  uint8_t fuse = 0;
  uint8_t lock = 0;
  uint8_t calibration = 0;
};

class Tiny1xDocumentTest : public DocumentSimTest {
 protected:
  void StartTiny(const std::string& device, nlohmann::json target = nlohmann::json::object(),
                 nlohmann::json extra = nlohmann::json::object()) {
    extra["target"] = std::move(target);
    Start(device, false, extra);
  }
  CTiny1xOperations& Ops() {
    return static_cast<CTiny1xOperations&>(OperationsOf(*doc_, Tiny1xFamilyRow()));
  }
  OperationOutcome RunTiny(Tiny1xCommand command) { return Run(Tiny1xFamilyRow(), int(command)); }
  // Program (or Verify) of the assembled ATtiny12 program and its EEPROM file.
  OperationOutcome RunProgram(Tiny1xCommand command, bool eeprom = true) {
    doc_->hexFileName = Tiny1xData("attiny12.hex");
    Ops().SetEepromFile(eeprom ? Tiny1xData("attiny12.eep") : "");
    return RunTiny(command);
  }
  Tiny1xChipState Chip() const {
    const nlohmann::json state = TargetState();
    return {.flash = FromHex(state["flash"]),
            .eeprom = FromHex(state["eeprom"]),
            .fuse = FromHex(state["fuse"])[0],
            .lock = FromHex(state["lock"])[0],
            .calibration = FromHex(state["calibration"])[0]};
  }
  bool Logged(const std::string& line) const {
    for (const std::string& l : Log()) {
      if (l == line) return true;
    }
    return false;
  }
  // The high-voltage serial instructions of the last command, as "SDI SII" pairs.
  std::vector<std::string> Instructions() const {
    std::vector<std::string> found;
    for (const auto& command : Commands()) {
      if (command.size() == 3 && command[0] == 0x3E) {
        found.push_back(HexText({command[1], command[2]}));
      }
    }
    return found;
  }
};

}  // namespace velmora::testing
