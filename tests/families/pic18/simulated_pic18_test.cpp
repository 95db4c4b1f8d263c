// The simulated PIC18 inside the simulated programmer: scenario options, initial memory from a
// HEX file, programming-mode gating and the device time it adds to the link's time account.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>

#include "families/pic18/pic18_fixture.h"

namespace velmora::testing {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

TEST_F(Pic18Test, BadTargetOptionsAreRejected) {
  struct Case {
    const char* target;
    const char* reason;
  };
  const Case cases[] = {
      {R"({"absent": "middle"})", "\"absent\" must be"},
      {R"({"stuck": []})", "unknown key \"stuck\" in target"},
      {R"({"ram": "1"})", "odd number of hex digits"},
  };
  for (const Case& c : cases) {
    const std::string scenario =
        std::string(R"({"device": "PIC18F452", "target": )") + c.target + "}";
    EXPECT_EQ(sim.Configure(scenario), -1) << c.target;
    EXPECT_THAT(sim.LastError(), HasSubstr(c.reason)) << c.target;
  }
}

TEST_F(Pic18Test, InitialMemoryComesFromTheHexFile) {
  const std::string path = (std::filesystem::temp_directory_path() /
                            ("velmora-pic18-" + std::to_string(::getpid()) + ".hex"))
                               .string();
  std::ofstream(path) << ":0400000012345678E8\n"               // program 0x0000
                         ":020000040020DA\n:02000000A1B2AB\n"  // ID locations
                         ":020000040030CA\n:01000100FFFF\n"    // CONFIG1H
                         ":0200000400F00A\n:01001000C32C\n"    // EEPROM 0x10
                         ":00000001FF\n";
  Configure({{"device", "PIC18F452"}, {"memory", path}});
  std::filesystem::remove(path);
  const TargetMemory target = Target();
  EXPECT_THAT(std::vector<uint8_t>(target.program.begin(), target.program.begin() + 5),
              ::testing::ElementsAre(0x12, 0x34, 0x56, 0x78, 0xFF));
  EXPECT_EQ(target.idLocations[0], 0xA1);
  EXPECT_EQ(target.idLocations[1], 0xB2);
  EXPECT_EQ(target.configuration[1], 0x27);  // only the implemented bits
  EXPECT_EQ(target.eeprom[0x10], 0xC3);
}

TEST_F(Pic18Test, FirmwareCommandsReachTheTargetOnlyInProgrammingMode) {
  Configure({{"device", "PIC18F452"}});
  ASSERT_EQ(OpenFull(), 1);
  Link().fileImage.Clear();
  EXPECT_EQ(Device().IdentifyPic18(), 0);  // no entry sequence: the line floats high
  std::vector<std::string> notes;
  const nlohmann::json transcript = nlohmann::json::parse(sim.TranscriptJson());
  for (const auto& event : transcript["events"]) {
    if (event["op"] == "note") notes.push_back(event["text"]);
  }
  EXPECT_THAT(notes, Contains("PIC18 target not in programming mode"));
  Link().EnterProgrammingMode(0);
  EXPECT_EQ(Device().IdentifyPic18(), 7);
}

TEST_F(Pic18Test, DeviceTimeOfTheFullProgrammersWrites) {
  StartIdentified(Kind::kFull, "PIC18F452");
  FillFileImage();
  const auto deviceMicros = [this] {
    return nlohmann::json::parse(sim.TranscriptJson())["deviceMicros"].get<double>();
  };
  const double before = deviceMicros();
  ASSERT_EQ(Device().WriteProgramMemory(), 1);
  EXPECT_DOUBLE_EQ(deviceMicros() - before, 1024 * 1000.0);  // one millisecond per load
  ASSERT_EQ(Device().WriteEeprom(), 1);
  EXPECT_DOUBLE_EQ(deviceMicros() - before, 1024 * 1000.0 + 256 * 4000.0);
}

}  // namespace
}  // namespace velmora::testing
