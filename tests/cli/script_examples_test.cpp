// The example scripts shipped with the program, end to end through `velmora-cli script run` on
// the simulated full programmer: the compiled pin subs drive the simulated chip, whose memory
// afterwards holds the file.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>
#include <vector>

#include "cli/cli_process.h"

namespace {

namespace fs = std::filesystem;
using ::testing::Contains;
using ::testing::HasSubstr;
using ::testing::Not;
using velmora::testing::ProcessResult;
using velmora::testing::ReadAll;

const std::string kPic18Script = VELMORA_SOURCE_DIR "/scripts/zeql/pic18f4550_icsp.zeq";
constexpr size_t kPic18F4550Flash = 0x8000;

// An Intel HEX record of type 00 (addresses below 64 KB).
std::string Record(uint16_t address, const std::vector<uint8_t>& data) {
  char text[16];
  std::string line = ":";
  uint8_t sum = static_cast<uint8_t>(data.size() + (address >> 8) + (address & 0xFF));
  std::snprintf(text, sizeof text, "%02X%04X00", unsigned(data.size()), unsigned(address));
  line += text;
  for (uint8_t byte : data) {
    std::snprintf(text, sizeof text, "%02X", byte);
    line += text;
    sum = static_cast<uint8_t>(sum + byte);
  }
  std::snprintf(text, sizeof text, "%02X", unsigned(uint8_t(-sum)));
  return line + text + "\n";
}

// The flash bytes of an Intel HEX text (type 00 records below 64 KB; erased where none).
std::vector<uint8_t> FlashOf(const std::string& hex) {
  std::vector<uint8_t> flash(kPic18F4550Flash, 0xFF);
  std::istringstream lines(hex);
  for (std::string line; std::getline(lines, line);) {
    if (line.size() < 11 || line[0] != ':' || line.substr(7, 2) != "00") continue;
    const size_t count = std::stoul(line.substr(1, 2), nullptr, 16);
    const size_t address = std::stoul(line.substr(3, 4), nullptr, 16);
    for (size_t i = 0; i < count && address + i < flash.size(); ++i) {
      flash[address + i] = static_cast<uint8_t>(std::stoul(line.substr(9 + 2 * i, 2), nullptr, 16));
    }
  }
  return flash;
}

class ScriptExamplesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = velmora::testing::ScratchDirectory("velmora-cli-examples-");
    fs::create_directories(dir_ / "config");
  }
  void TearDown() override { fs::remove_all(dir_); }

  ProcessResult Cli(const std::string& arguments) const {
    return velmora::testing::RunProgram(
        dir_, cli_, arguments,
        "XDG_CONFIG_HOME='" + (dir_ / "config").string() + "' VELMORA_SIM_STATE='" +
            (dir_ / "state.json").string() + "' VELMORA_SIM_TRANSCRIPT='" +
            (dir_ / "transcript.json").string() + "'");
  }
  std::vector<std::string> CommandNames() const {
    const nlohmann::json transcript = nlohmann::json::parse(ReadAll(dir_ / "transcript.json"));
    std::vector<std::string> names;
    for (const auto& event : transcript["events"]) {
      if (event["op"] == "command") names.push_back(event["name"]);
    }
    return names;
  }
  std::vector<uint8_t> ChipFlash() const {
    const nlohmann::json state = nlohmann::json::parse(ReadAll(dir_ / "state.json"));
    const std::string text = state["target"]["program"];
    std::vector<uint8_t> bytes(text.size() / 2);
    for (size_t i = 0; i < bytes.size(); ++i) {
      bytes[i] = static_cast<uint8_t>(std::stoul(text.substr(2 * i, 2), nullptr, 16));
    }
    return bytes;
  }

  const std::string cli_ = VELMORA_BINARY_DIR "/bin/velmora-cli";
  fs::path dir_;
};

TEST_F(ScriptExamplesTest, Pic18IcspScriptProgramsVerifiesAndReadsAPic18F4550) {
  // Rows at the start, in the middle, across a row boundary and at the end of the flash.
  std::vector<uint8_t> expected(kPic18F4550Flash, 0xFF);
  std::string hex;
  uint8_t value = 0x3C;
  for (uint16_t address : {0x0000, 0x0010, 0x0130, 0x1FF8, 0x2000, 0x7FF0}) {
    std::vector<uint8_t> data(16);
    for (uint8_t& byte : data) byte = value = static_cast<uint8_t>(value * 7 + 1);
    std::copy(data.begin(), data.end(), expected.begin() + address);
    hex += Record(address, data);
  }
  hex += ":00000001FF\n";
  const std::string file = (dir_ / "data.hex").string();
  std::ofstream(file) << hex;

  // A blank chip does not verify.
  ProcessResult run =
      Cli("script run '" + kPic18Script + "' Verify --file '" + file + "' --simulate PIC18F4550");
  EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("   +++ Verification Failed +++\n"));

  run =
      Cli("script run '" + kPic18Script + "' Program --file '" + file + "' --simulate PIC18F4550");
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("   Device ID: 0x1200\n"));
  EXPECT_THAT(run.out, HasSubstr("   Chip erased.\n"));
  EXPECT_THAT(run.out, HasSubstr("   *** Finished Successfully ***\n"));
  const std::vector<std::string> commands = CommandNames();
  // The run is one cycle of compiled-code calls, and nothing but them touches the chip.
  ASSERT_THAT(commands, Contains("cycle start"));
  auto command = std::find(commands.begin(), commands.end(), "cycle start");
  EXPECT_EQ(*++command, "line 0x06");
  for (++command; command != commands.end() && *command != "cycle end"; ++command) {
    EXPECT_EQ(command->rfind("script call 0x", 0), 0u) << *command;
  }
  EXPECT_EQ(command, commands.end() - 1);
  EXPECT_EQ(ChipFlash(), expected);

  run = Cli("script run '" + kPic18Script + "' Verify --file '" + file + "' --simulate PIC18F4550");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, Not(HasSubstr("Failed")));

  const std::string read = (dir_ / "read.hex").string();
  run = Cli("script run '" + kPic18Script + "' Read --file '" + file + "' --file '" + read +
            "' --simulate PIC18F4550");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("   *** Data successfully saved as " + read + " ***\n"));
  // The saved file holds the chip's flash.
  EXPECT_EQ(FlashOf(ReadAll(read)), expected);
}

}  // namespace
