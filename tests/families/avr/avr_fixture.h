#pragma once
// Fixtures of the ATmega/ATtiny tests: a document on the simulated programmer with a simulated
// AVR chip, the chip's memories from the simulator's state, and the avr-gcc-built programs.
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "families/avr/avr_family.h"
#include "families/avr/avr_operations.h"
#include "support/document_fixture.h"

namespace velmora::testing {

inline std::string AvrData(const std::string& name) {
  return std::string(VELMORA_AVR_DATA) + "/" + name;
}

// The simulated chip's memories.
struct AvrChipState {
  std::vector<uint8_t> flash;
  std::vector<uint8_t> eeprom;
  std::vector<uint8_t> fuses;  // low, high, extended
  uint8_t lock = 0xFF;
};

class AvrDocumentTest : public DocumentSimTest {
 protected:
  void StartAvr(const std::string& device, nlohmann::json target = nlohmann::json::object(),
                nlohmann::json extra = nlohmann::json::object()) {
    extra["target"] = std::move(target);
    Start(device, false, extra);
  }
  CAvrOperations& Ops() {
    return static_cast<CAvrOperations&>(OperationsOf(*doc_, AvrFamilyRow()));
  }
  OperationOutcome RunAvr(AvrCommand command) { return Run(AvrFamilyRow(), int(command)); }
  // Program (or Verify) of an avr-gcc program and its EEPROM file.
  OperationOutcome RunFile(AvrCommand command, const std::string& program, bool eeprom = true) {
    doc_->hexFileName = AvrData(program + ".hex");
    Ops().SetEepromFile(eeprom ? AvrData(program + ".eep") : "");
    return RunAvr(command);
  }
  AvrChipState Chip() const {
    const nlohmann::json state = TargetState();
    return {.flash = FromHex(state["flash"]),
            .eeprom = FromHex(state["eeprom"]),
            .fuses = FromHex(state["fuses"]),
            .lock = FromHex(state["lock"])[0]};
  }
  bool Logged(const std::string& line) const {
    for (const std::string& l : Log()) {
      if (l == line) return true;
    }
    return false;
  }
  bool LoggedStart(const std::string& start) const {
    for (const std::string& l : Log()) {
      if (l.rfind(start, 0) == 0) return true;
    }
    return false;
  }
  // The firmware commands of the last command that write to the chip: page writes, chip erase,
  // EEPROM writes and raw instructions that write (fuses, lock bits, memories).
  std::vector<std::string> ChipWrites() const {
    std::vector<std::string> writes;
    for (const auto& command : Commands()) {
      const uint8_t c = command[0];
      const bool rawWrite =
          c == 0x33 && command.size() >= 3 &&
          ((command[1] == 0xAC && command[2] != 0x53) || command[1] == 0xC0 || command[1] == 0x4C);
      if (c == 0x2F || c == 0x38 || c == 0x3A || c == 0x32 || c == 0x35 || rawWrite) {
        writes.push_back(
            HexText({command.begin(), command.begin() + std::min<size_t>(5, command.size())}));
      }
    }
    return writes;
  }
};

}  // namespace velmora::testing
