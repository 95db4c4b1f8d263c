#pragma once
// Fixture of the PIC18 primitive tests: a CPICVortang on the simulated programmer with a
// simulated PIC18, helpers to fill fileImage with a recognisable image and to read the target's
// memories back from the simulator's state.
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "link/link_fixture.h"
#include "memory/catalogue.h"

namespace velmora::testing {

enum class Kind { kFull, kMini };
inline const char* KindName(Kind kind) {
  return kind == Kind::kFull ? "full" : "mini";
}

// A byte for every address that is neither 0x00 nor 0xFF too often.
inline uint8_t PatternByte(uint32_t address) {
  return static_cast<uint8_t>((address * 37 + (address >> 8) * 11 + 5) & 0xFF);
}

// The target's memories as the simulator keeps them.
struct TargetMemory {
  std::vector<uint8_t> program, idLocations, configuration, eeprom, ram;
};

// Not the link tests' fixture: its clock reads the whole transcript at every sleep, which the
// multi-megabyte sample streams of the mini programmer make slow.
class Pic18Test : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(sim.Loaded()) << "cannot load " << kSimulatorPath; }

  void Configure(const nlohmann::json& scenario) {
    ASSERT_EQ(sim.Configure(scenario.dump()), 0) << sim.LastError();
    prompt.ClearRecords();
    mark_ = 0;
  }
  CPICVortang& Link() {
    if (!link_) {
      link_ = std::make_unique<CPICVortang>(prompt, clock, DriverLookup{{kSimulatorPath}});
    }
    return *link_;
  }
  int OpenFull() { return Link().Open(kProgrammerDescription, 0); }
  int OpenMini() { return Link().Open(kProgrammerDescription, 1); }
  // Later transcript queries look only at events from here on.
  void MarkTranscript() { mark_ = nlohmann::json::parse(sim.TranscriptJson())["events"].size(); }
  // The "bytes" of every event with the given op since the mark.
  std::vector<std::string> Bytes(const std::string& op) const {
    std::vector<std::string> found;
    const nlohmann::json events = nlohmann::json::parse(sim.TranscriptJson())["events"];
    for (size_t i = mark_; i < events.size(); ++i) {
      if (events[i]["op"] == op) found.push_back(events[i].value("bytes", ""));
    }
    return found;
  }
  std::vector<std::string> Captions() const {
    std::vector<std::string> captions;
    for (const auto& record : prompt.Records()) captions.push_back(record.caption);
    return captions;
  }

  // Opens the given programmer kind on a simulated `device` and enters programming mode.
  void Start(Kind kind, const std::string& device,
             const nlohmann::json& target = nlohmann::json::object()) {
    Configure({{"programmer", KindName(kind)}, {"device", device}, {"target", target}});
    ASSERT_EQ(kind == Kind::kFull ? OpenFull() : OpenMini(), 1);
    Link().EnterProgrammingMode(0);
    Link().fileImage.Clear();
    Link().chipImage.Clear();
  }
  // Start, identify, and begin the timeline after the identification.
  void StartIdentified(Kind kind, const std::string& device,
                       const nlohmann::json& target = nlohmann::json::object()) {
    Start(kind, device, target);
    ASSERT_NE(Link().IdentifyPic18(), 0);
    MarkTranscript();
  }
  void Finish() {
    Link().LeaveProgrammingMode();
    Link().Close();
  }

  // Program memory, EEPROM, ID locations and configuration of fileImage, for the identified
  // device. Loads whose bytes are all 0xFF or blank appear in every panel.
  void FillFileImage() {
    CMCUMemoryArchitecture& file = Link().fileImage;
    for (int32_t a = 0; a < file.programSize; ++a) {
      const int32_t inBlock = a % 4096;
      if (inBlock >= 1024 && inBlock < 1152) continue;  // blank
      file.programMemory[a] = inBlock >= 1152 && inBlock < 1280 ? 0xFF : PatternByte(a);
    }
    for (int32_t a = 0; a < file.eepromSize; ++a) file.eeprom[a] = PatternByte(a + 7);
    for (int i = 0; i < 8; ++i) file.idLocations[i] = 0xA0 + i;
    for (int i = 0; i < 14; ++i) file.configuration[i] = PatternByte(0x300000 + i);
  }

  TargetMemory Target() const {
    const nlohmann::json state = nlohmann::json::parse(sim.StateJson())["target"];
    auto bytes = [&state](const char* key) { return FromHex(state[key].get<std::string>()); };
    return {bytes("program"), bytes("idLocations"), bytes("configuration"), bytes("eeprom"),
            bytes("ram")};
  }

  // Every write on the wire since the timeline's start, as "21 08 ..." texts.
  std::vector<std::string> Writes() const { return Bytes("write"); }

  sim::SimClient sim{kSimulatorPath};
  VirtualClock clock;
  ScriptedPrompt prompt;

  static std::vector<uint8_t> FromHex(const std::string& text) {
    std::vector<uint8_t> bytes(text.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
      bytes[i] = static_cast<uint8_t>(std::stoul(text.substr(2 * i, 2), nullptr, 16));
    }
    return bytes;
  }

 private:
  std::unique_ptr<CPICVortang> link_;
  size_t mark_ = 0;
};

}  // namespace velmora::testing
