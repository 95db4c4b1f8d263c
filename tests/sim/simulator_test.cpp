// The simulated programmer itself: scenarios, persistence of the target's state between
// processes, the time account, and what the FT232 does with wrongly configured bytes.
#include <gmock/gmock.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "link/link_fixture.h"

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class SimulatorTest : public LinkTest {
 protected:
  void SetUp() override {
    LinkTest::SetUp();
    dir_ = fs::temp_directory_path() /
           ("velmora-sim-test-" + std::to_string(::getpid()) + "-" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  std::string PathOf(const std::string& name) const { return (dir_ / name).string(); }
  std::string WriteFile(const std::string& name, const std::string& text) const {
    std::ofstream(PathOf(name)) << text;
    return PathOf(name);
  }
  nlohmann::json State() const { return nlohmann::json::parse(sim.StateJson()); }

 private:
  fs::path dir_;
};

TEST_F(SimulatorTest, BadScenariosAreRejectedWithTheReason) {
  struct Case {
    const char* json;
    const char* reason;
  };
  const Case cases[] = {
      {R"({"programer": "full"})", "unknown key \"programer\""},
      {R"({"programmer": "tiny"})", "programmer must be"},
      {R"({"faults": {"unplugAfter": 3}})", "unknown key \"unplugAfter\" in faults"},
      {R"({"faults": {"replyNeverComes": ["0x123"]}})", "not a byte"},
      {R"({"memory": "/nonexistent/x.hex"})", "cannot read HEX file"},
      {R"({"target": {"replies": {"0x30": "1G"}}})", "not hexadecimal"},
      {R"({"device": "PIC18F9999"})", "unknown device \"PIC18F9999\""},
      {R"({"device": )", "parse"},
      {R"({"trace": {"at": 0}})", "trace must be a list"},
      {R"({"trace": [{"at": 0}]})", "trace entry without record"},
      {R"({"trace": [{"record": ""}]})", "trace record of 0 bytes"},
      {R"({"trace": [{"value": 127}]})", "trace value above 126"},
      {R"({"trace": [{"record": "01 02", "sequence": true}]})", "sequence needs"},
      {R"({"frequency": {"mhz": 0}})", "mhz must be above 0"},
      {R"({"frequency": {"hz": 1}})", "unknown key \"hz\" in frequency"},
      {R"({"device": "PIC18F4550", "target": {"stuckBits": [{"address": 0, "bit": 99}]}})",
       "\"stuckBits.bit\": 99 is out of range (0..7)"},
      {R"({"device": "PIC18F4550", "target": {"failConfigWriteOnce": [14]}})",
       "\"failConfigWriteOnce\": 14 is out of range (0..13)"},
      {R"({"device": "dsPIC30F4013", "target": {"revision": "-1"}})",
       "\"revision\": \"-1\" is out of range"},
      {R"({"faults": {"unplugAfterBytes": -5}})", "\"unplugAfterBytes\": -5 is out of range"},
      {R"({"faults": {"lossyReadBack": {"dropEvery": 2.5}}})",
       "\"dropEvery\": 2.5 is out of range"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(sim.Configure(c.json), -1) << c.json;
    EXPECT_THAT(sim.LastError(), HasSubstr(c.reason)) << c.json;
  }
  EXPECT_EQ(sim.Configure("{}"), 0);
  EXPECT_EQ(sim.LastError(), "");
}

TEST_F(SimulatorTest, TargetStatePersistsInTheStateFile) {
  const std::string hex = WriteFile("start.hex", ":0400000001020304F2\n:00000001FF\n");
  const std::string state = PathOf("chip.json");
  const nlohmann::json scenario = {{"device", "PIC18F4550"}, {"memory", hex}, {"stateFile", state}};
  auto programStart = [this] {
    return State()["target"]["program"].get<std::string>().substr(0, 10);
  };

  Configure(scenario);
  EXPECT_EQ(programStart(), "01020304FF");
  EXPECT_EQ(State()["target"]["idLocations"], "FFFFFFFFFFFFFFFF");
  ASSERT_EQ(OpenFull(), 1);
  Link().EnterProgrammingMode(0);
  // The ID locations through the firmware: 0x2B, eight bytes, one acknowledge byte back.
  Link().WriteCommandBytes({0x2B, 1, 2, 3, 4, 5, 6, 7, 8});
  ASSERT_NE(Link().ReadReply(1), nullptr);
  Link().LeaveProgrammingMode();
  Link().Close();
  // Written at close, read back by the next process (here: the next configuration).
  ASSERT_TRUE(fs::exists(state));
  EXPECT_EQ(nlohmann::json::parse(std::ifstream(state))["target"]["idLocations"],
            "0102030405060708");

  Configure(scenario);
  EXPECT_EQ(State()["target"]["idLocations"], "0102030405060708");
  EXPECT_EQ(programStart(), "01020304FF");

  // A state file of another device is not taken for this one.
  nlohmann::json other = scenario;
  other["device"] = "PIC18F2550";
  Configure(other);
  EXPECT_EQ(State()["target"]["idLocations"], "FFFFFFFFFFFFFFFF");
}

TEST_F(SimulatorTest, TimeAccountFollowsTheWireAndTheLatencyTimer) {
  Configure({{"firmware", "ABCDEFGHIJKL"}});
  ASSERT_EQ(OpenFull(), 1);
  const auto t = Transcript();
  // 0x20, "W" out and 1 + 12 bytes back, 11 bits each (8N2) at 1,250,000 baud; two replies
  // with the 1 ms latency timer.
  EXPECT_DOUBLE_EQ(t["wireMicros"].get<double>(), 15 * 11 / 1.25);
  EXPECT_DOUBLE_EQ(t["latencyMicros"].get<double>(), 2 * 1000.0);
  EXPECT_DOUBLE_EQ(t["waitMicros"].get<double>(), 0.0);
  EXPECT_DOUBLE_EQ(sim.LinkMicros(), 15 * 11 / 1.25 + 2000.0);
}

TEST_F(SimulatorTest, BitBangSamplesTakeOneSixteenthOfABaudPeriod) {
  Configure({{"programmer", "mini"}});
  ASSERT_EQ(OpenMini(), 1);
  Link().EnterProgrammingMode(0);  // 2 samples at 62,500 baud: 1 us each
  Link().ResetCursors();
  Link().QueueCommand(0, 0, 0);  // 40 samples at 20,833 baud
  ASSERT_EQ(Link().SendSamplesAndDecode(), 1);
  const auto t = Transcript();
  EXPECT_DOUBLE_EQ(t["wireMicros"].get<double>(), 2 * 1.0 + 40 * 1e6 / (16.0 * 20833));
  EXPECT_DOUBLE_EQ(t["latencyMicros"].get<double>(), 1000.0);  // one read returned samples
}

TEST_F(SimulatorTest, FirmwareCannotReadBytesSentAtAnotherBaudRate) {
  Configure(nlohmann::json::object());
  ASSERT_EQ(OpenFull(), 1);
  timeline.Clear();
  Link().ft.FT_SetBaudRate(Link().ftHandle.load(), 9600);
  ASSERT_TRUE(Link().WriteCommandByte(0x20));
  EXPECT_EQ(Link().ReadReply(1), nullptr);
  EXPECT_TRUE(Events("command").empty());
  const auto notes = Events("note");
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_THAT(notes[0]["text"].get<std::string>(), HasSubstr("garbled"));
  Link().Close();
}

TEST_F(SimulatorTest, DecodedCommandsNameWhatTheFirmwareDid) {
  Configure({{"target", {{"operands", {{"0x33", 4}}}}}});
  ASSERT_EQ(OpenFull(), 1);
  Link().powerSwitchingMode = 3;
  Link().EnterProgrammingMode(0);
  // Operands may come in later writes: the command is complete with its last byte.
  Link().WriteCommandBytes({0x33, 0x01});
  Link().WriteCommandBytes({0x02, 0x03, 0x04, 0x48});
  Link().Close();
  std::vector<std::string> commands;
  for (const auto& c : Events("command")) {
    commands.push_back(c["bytes"].get<std::string>() + " " + c["name"].get<std::string>());
  }
  EXPECT_THAT(commands, ::testing::ElementsAre(
                            "20 presence probe", "57 version text", "09 power off", "15 line 0x15",
                            "0A cycle start", "05 line 0x05", "02 line 0x02", "00 line 0x00",
                            "06 line 0x06", "0F line 0x0F", "11 line 0x11", "13 line 0x13",
                            "14 line 0x14", "08 power on", "16 high-voltage programming mode",
                            "33 01 02 03 04 command 0x33", "48 command 0x48"));
}

// The dsPIC30 model behind the firmware: the identification stream of the programmer, the
// transcript's decoded instructions and errors, the HEX layout of its initial memory.
TEST_F(SimulatorTest, DsPic30ExecutesTheInstructionsTheFirmwareHandsOn) {
  // Word 0 = 0x030201 (the fourth cell is the phantom byte); FOSC from 0x1F00000.
  const std::string hex = WriteFile("ds.hex",
                                    ":0400000001020304F2\n:0200000401F009\n"
                                    ":040000000F000000ED\n:00000001FF\n");
  Configure({{"device", "dsPIC30F4013"}, {"memory", hex}, {"target", {{"revision", "0x1040"}}}});
  EXPECT_EQ(State()["target"]["program"].get<std::string>().substr(0, 8), "010203FF");
  EXPECT_EQ(State()["target"]["configuration"], "0F003F80B38700000000030003C0");
  ASSERT_EQ(OpenFull(), 1);
  Link().EnterProgrammingMode(0);
  auto six = [](uint32_t instruction) {
    return std::vector<uint8_t>{0x4A, static_cast<uint8_t>(instruction),
                                static_cast<uint8_t>(instruction >> 8),
                                static_cast<uint8_t>(instruction >> 16)};
  };
  std::vector<uint8_t> stream{0x4C, 0x4C};
  for (uint32_t instruction : {0x040100u, 0x000000u}) {
    const auto bytes = six(instruction);
    stream.insert(stream.end(), bytes.begin(), bytes.end());
  }
  stream.push_back(0x4C);
  for (uint32_t instruction : {0x200FF0u, 0x880190u, 0x200006u, 0x207847u, 0xBA0BB6u}) {
    const auto bytes = six(instruction);
    stream.insert(stream.end(), bytes.begin(), bytes.end());
  }
  stream.insert(stream.end(), {0x4C, 0x4C, 0x4B});
  const auto again = six(0xBA0BB6);
  stream.insert(stream.end(), again.begin(), again.end());
  stream.insert(stream.end(), {0x4C, 0x4C, 0x4B});
  ASSERT_TRUE(Link().WriteCommandBytes(stream));
  const uint8_t* id = Link().ReadReply(4);
  ASSERT_NE(id, nullptr);
  EXPECT_EQ(std::vector<uint8_t>(id, id + 4), (std::vector<uint8_t>{0x41, 0x01, 0x40, 0x10}));
  EXPECT_TRUE(Events("note").empty());

  ASSERT_TRUE(Link().WriteCommandBytes(six(0xFFFFFF)));
  const auto notes = Events("note");
  ASSERT_EQ(notes.size(), 1u);
  EXPECT_EQ(notes[0]["text"], "dsPIC30 error: unknown instruction 0xFFFFFF");
  std::vector<std::string> names;
  for (const auto& c : Events("command")) names.push_back(c["name"].get<std::string>());
  EXPECT_THAT(names, ::testing::Contains("dsPIC30 SIX 880190 MOV W0, TBLPAG"));
  EXPECT_THAT(names, ::testing::Contains("dsPIC30 REGOUT (read VISI)"));

  // Out of programming mode the chip does not answer.
  Link().LeaveProgrammingMode();
  ASSERT_TRUE(Link().WriteCommandBytes({0x4B}));
  const uint8_t* floating = Link().ReadReply(2);
  ASSERT_NE(floating, nullptr);
  EXPECT_EQ(floating[0] & floating[1], 0xFF);
  EXPECT_EQ(Events("note").back()["text"], "dsPIC30 target not in programming mode");
  Link().Close();
  EXPECT_EQ(Transcript()["family"], "dspic30");
}

TEST_F(SimulatorTest, ScenarioAndTranscriptFilesComeFromTheEnvironment) {
  const std::string scenario = WriteFile("scenario.json", R"({"firmware": "FROM ENV"})");
  const std::string transcript = PathOf("transcript.json");
  ::setenv("VELMORA_SIM_SCENARIO", scenario.c_str(), 1);
  ::setenv("VELMORA_SIM_TRANSCRIPT", transcript.c_str(), 1);
  sim.Reset();
  const int opened = OpenFull();
  Link().Close();
  ::unsetenv("VELMORA_SIM_SCENARIO");
  ::unsetenv("VELMORA_SIM_TRANSCRIPT");
  sim.Reset();

  EXPECT_EQ(opened, 1);
  EXPECT_EQ(Link().statusText, "FROM ENV");
  ASSERT_TRUE(fs::exists(transcript));
  const auto written = nlohmann::json::parse(std::ifstream(transcript));
  EXPECT_EQ(written["events"].front()["op"], "open");
  EXPECT_EQ(written["events"].back()["op"], "close");
}

}  // namespace
}  // namespace velmora::testing
