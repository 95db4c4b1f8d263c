#pragma once
// Fixtures of the dsPIC30 tests: a small generator of HEX files in the layout of the maker's
// tools (no dsPIC30 toolchain exists here), readers of the simulated chip's memories from the
// simulator's state, and the primitives on a CPICVortang on the simulated programmer.
#include <cstdint>
#include <fstream>
#include <map>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "families/dspic30/dspic30_device.h"
#include "families/dspic30/dspic30_family.h"
#include "families/dspic30/dspic30_operations.h"
#include "link/pic_vortang.h"
#include "link/programmer_identity.h"
#include "memory/catalogue.h"
#include "platform/clock.h"
#include "platform/user_prompt.h"
#include "support/document_fixture.h"
#include "support/sim_fixture.h"

namespace velmora::testing {

// The record text without the spaces HexText puts between bytes.
inline std::string Packed(std::string text) {
  std::erase(text, ' ');
  return text;
}

// A dsPIC30 program as the maker's tools save it: every program-space word (24-bit instruction,
// 16-bit EEPROM or configuration word) in four bytes at twice its program-space address, low
// byte first, the fourth byte (the phantom byte, or the high half of a 16-bit word) 0.
class DsPic30HexFile {
 public:
  void Instruction(uint32_t word, uint32_t value) { Word(2 * word, value & 0xFFFFFF); }
  void EepromWord(uint32_t eepromBytes, uint32_t index, uint16_t value) {
    Word(0x800000 - eepromBytes + 2 * index, value);
  }
  // Register 0..6: FOSC, FWDT, FBORPOR, FBS, FSS, FGS, FICD.
  void Configuration(int reg, uint16_t value) { Word(0xF80000 + 2 * uint32_t(reg), value); }

  const std::map<uint32_t, uint8_t>& bytes() const { return bytes_; }

  // Intel HEX: extended linear address records, 16-byte data records, end record.
  std::string Text() const {
    std::string text;
    uint32_t upper = 0xFFFFFFFF;
    for (auto it = bytes_.begin(); it != bytes_.end();) {
      const uint32_t start = it->first;
      if (start >> 16 != upper) {
        upper = start >> 16;
        text += Record(0, 4, {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)});
      }
      std::vector<uint8_t> data;
      uint32_t next = start;
      while (it != bytes_.end() && it->first == next && data.size() < 16 && (next >> 16) == upper) {
        data.push_back(it->second);
        ++it;
        ++next;
      }
      text += Record(static_cast<uint16_t>(start & 0xFFFF), 0, data);
    }
    return text + ":00000001FF\n";
  }
  void Save(const std::string& path) const { std::ofstream(path) << Text(); }

 private:
  void Word(uint32_t programSpaceAddress, uint32_t value) {
    for (uint32_t k = 0; k < 4; ++k) {
      bytes_[2 * programSpaceAddress + k] = static_cast<uint8_t>(value >> (8 * k));
    }
  }
  static std::string Record(uint16_t address, uint8_t type, const std::vector<uint8_t>& data) {
    std::vector<uint8_t> all{static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                             static_cast<uint8_t>(address), type};
    all.insert(all.end(), data.begin(), data.end());
    uint8_t sum = 0;
    for (uint8_t b : all) sum = static_cast<uint8_t>(sum + b);
    all.push_back(static_cast<uint8_t>(-sum));
    return ":" + Packed(HexText(all)) + "\n";
  }

  std::map<uint32_t, uint8_t> bytes_;
};

// The simulated chip's memories, from the simulator's state.
struct DsPic30Memory {
  std::vector<uint32_t> program;
  std::vector<uint16_t> eeprom;
  std::vector<uint16_t> configuration;
  std::vector<uint8_t> ram;
};

inline DsPic30Memory DsPic30MemoryOf(const nlohmann::json& target) {
  auto words = [&](const char* key, int bytesPerWord) {
    const std::vector<uint8_t> bytes = FromHex(target[key].get<std::string>());
    std::vector<uint32_t> result(bytes.size() / bytesPerWord);
    for (size_t i = 0; i < result.size(); ++i) {
      for (int k = 0; k < bytesPerWord; ++k)
        result[i] |= uint32_t{bytes[i * bytesPerWord + k]} << (8 * k);
    }
    return result;
  };
  DsPic30Memory memory;
  memory.program = words("program", 3);
  for (uint32_t w : words("eeprom", 2)) memory.eeprom.push_back(static_cast<uint16_t>(w));
  for (uint32_t w : words("configuration", 2)) {
    memory.configuration.push_back(static_cast<uint16_t>(w));
  }
  memory.ram = FromHex(target["ram"].get<std::string>());
  return memory;
}

// The simulator's notes that report an error of the chip model.
inline std::vector<std::string> ChipErrors(const std::vector<nlohmann::json>& notes) {
  std::vector<std::string> errors;
  for (const auto& note : notes) {
    const std::string text = note["text"];
    if (text.find("dsPIC30 error") != std::string::npos) errors.push_back(text);
  }
  return errors;
}

// The primitives on a link to the simulated programmer.
class DsPic30DeviceTest : public SimFixture {
 protected:
  void Configure(const std::string& device, nlohmann::json target = nlohmann::json::object()) {
    ConfigureSimulator({{"device", device}, {"target", target}});
    prompt.ClearRecords();
  }
  CPICVortang& Link() {
    if (!link_) {
      link_ = std::make_unique<CPICVortang>(prompt, clock, DriverLookup{{kSimulatorPath}});
      device_ = std::make_unique<CDsPic30Device>(*link_);
    }
    return *link_;
  }
  CDsPic30Device& Device() {
    Link();
    return *device_;
  }
  // Opens the full programmer, enters programming mode and identifies the chip.
  int OpenAndIdentify() {
    if (Link().Open(kProgrammerDescription, 0) != 1) return 0;
    Link().EnterProgrammingMode(0);
    return Device().IdentifyDsPic();
  }
  void CloseLink() {
    Link().LeaveProgrammingMode();
    Link().Close();
  }
  DsPic30Memory Chip() const { return DsPic30MemoryOf(TargetState()); }

  VirtualClock clock;
  ScriptedPrompt prompt;

 private:
  std::unique_ptr<CPICVortang> link_;
  std::unique_ptr<CDsPic30Device> device_;
};

}  // namespace velmora::testing
