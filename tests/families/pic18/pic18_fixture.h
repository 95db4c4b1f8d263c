#pragma once
// Fixtures of the PIC18 tests: the primitives on a CPICVortang on the simulated programmer with
// a simulated PIC18 (helpers to fill fileImage with a recognisable image and to read the
// target's memories back from the simulator's state), and the commands on a document.
#include <cstdint>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "families/pic18/pic18_device.h"
#include "families/pic18/pic18_family.h"
#include "families/pic18/pic18_operations.h"
#include "link/pic_vortang.h"
#include "link/programmer_identity.h"
#include "memory/catalogue.h"
#include "platform/clock.h"
#include "platform/user_prompt.h"
#include "support/document_fixture.h"
#include "support/sim_fixture.h"

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
class Pic18Test : public SimFixture {
 protected:
  void Configure(const nlohmann::json& scenario) {
    ConfigureSimulator(scenario);
    prompt.ClearRecords();
  }
  CPICVortang& Link() {
    if (!link_) {
      link_ = std::make_unique<CPICVortang>(prompt, clock, DriverLookup{{kSimulatorPath}});
      device_ = std::make_unique<CPic18Device>(*link_);
    }
    return *link_;
  }
  // The PIC18 primitives on the link.
  CPic18Device& Device() {
    Link();
    return *device_;
  }
  int OpenFull() { return Link().Open(kProgrammerDescription, 0); }
  int OpenMini() { return Link().Open(kProgrammerDescription, 1); }
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
    ASSERT_NE(Device().IdentifyPic18(), 0);
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
    const nlohmann::json state = TargetState();
    auto bytes = [&state](const char* key) { return FromHex(state[key].get<std::string>()); };
    return {bytes("program"), bytes("idLocations"), bytes("configuration"), bytes("eeprom"),
            bytes("ram")};
  }

  // Every write on the wire since the timeline's start, as "21 08 ..." texts.
  std::vector<std::string> Writes() const { return Bytes("write"); }

  VirtualClock clock;
  ScriptedPrompt prompt;

 private:
  std::unique_ptr<CPICVortang> link_;
  std::unique_ptr<CPic18Device> device_;
};

// A document on the simulated programmer running the PIC18 commands.
class Pic18DocumentTest : public DocumentSimTest {
 protected:
  OperationOutcome Run(Pic18Command command) {
    return DocumentSimTest::Run(Pic18FamilyRow(), static_cast<int>(command));
  }
  CPic18Operations& Operations() {
    return static_cast<CPic18Operations&>(OperationsOf(*doc_, Pic18FamilyRow()));
  }
};

}  // namespace velmora::testing
