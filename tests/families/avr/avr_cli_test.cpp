// `velmora-cli --family avr` as a user runs it: the built program in a child process on the
// simulated programmer, the chip's memory kept between the runs in a state file.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>

#include "cli/cli_process.h"
#include "memory/intel_hex.h"
#include "platform/user_prompt.h"

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

std::string AvrData(const std::string& name) {
  return std::string(VELMORA_AVR_DATA) + "/" + name;
}

class AvrCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ScratchDirectory("velmora-cli-avr-");
    fs::create_directories(dir_ / "config");
  }
  void TearDown() override { fs::remove_all(dir_); }

  ProcessResult Cli(const std::string& arguments, const std::string& device = "ATmega8") const {
    return RunProgram(dir_, cli_, arguments + " --family avr --simulate " + device,
                      "XDG_CONFIG_HOME='" + (dir_ / "config").string() + "' VELMORA_SIM_STATE='" +
                          (dir_ / "state.json").string() + "'");
  }

  const std::string cli_ = VELMORA_BINARY_DIR "/bin/velmora-cli";
  fs::path dir_;
};

TEST_F(AvrCliTest, ProgramVerifyFusesAndReadWithTheEepromFile) {
  const std::string hex = AvrData("atmega8.hex"), eep = AvrData("atmega8.eep");
  ProcessResult run = Cli("program --speed 2 --hex " + hex + " --eeprom-file " + eep);
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("   *** Programming ATmega8 ***\n"));
  EXPECT_THAT(run.out, HasSubstr("   Reading EEPROM values from atmega8.eep\n"));
  EXPECT_THAT(run.out, HasSubstr("   Configuration successfully programmed.\n"));

  run = Cli("verify --hex " + hex + " --eeprom-file " + eep);
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;

  run = Cli("fuses read");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("Fuses: low=E4 high=D9 extended=-- lock=FF calibration="));

  const fs::path read = dir_ / "read.hex", readEeprom = dir_ / "read.eep";
  run = Cli("read --out " + read.string() + " --eeprom-out " + readEeprom.string());
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  ScriptedPrompt prompt;
  CMCUMemoryArchitecture original, back;
  ASSERT_EQ(ReadHexFile(original, eep, prompt), 1);
  ASSERT_EQ(ReadHexFile(back, readEeprom.string(), prompt), 1);
  for (int i = 0; i < 12; ++i) EXPECT_EQ(back.programMemory[i], original.programMemory[i]) << i;
}

TEST_F(AvrCliTest, DangerousFusesAreRefusedWithoutForceFuses) {
  ScriptedPrompt prompt;
  CMCUMemoryArchitecture image;
  ASSERT_EQ(ReadHexFile(image, AvrData("attiny85.hex"), prompt), 1);
  image.configuration[1] = 0x5F;  // RSTDISBL programmed
  image.programSize = 8192;
  const std::string file = (dir_ / "rstdisbl.hex").string();
  ASSERT_EQ(WriteHexFile(file, image, 0, prompt), 1);

  // Even a "yes" to every question does not write them.
  ProcessResult run = Cli("--yes program --hex " + file, "ATtiny85");
  EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("+++ RSTDISBL programmed: "));
  EXPECT_THAT(run.out, HasSubstr("+++ Give --force-fuses to write them all the same +++"));
  EXPECT_THAT(run.out, Not(HasSubstr("Chip erased")));

  run = Cli("program --force-fuses --hex " + file, "ATtiny85");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  // As the warning said: RESET is an I/O pin now and serial programming cannot start.
  run = Cli("fuses read", "ATtiny85");
  EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("Unknown Device   Setup not updated!"));
  // The high-voltage fuse restorer brings it back.
  run = Cli("reanimate hv", "ATtiny85");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("Parallel HV reanimation done!"));
  run = Cli("fuses read", "ATtiny85");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("Fuses: low=62 high=DF extended=FF lock=FF"));
}

TEST_F(AvrCliTest, SpeedTakesOnlyTheSixSettings) {
  const ProcessResult run = Cli("identify --speed 6");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_THAT(run.err, HasSubstr("--speed: takes 0..5, not \"6\""));
}

// `freq` counts the clock the simulated chip runs on: its low fuse chooses the source, the board
// gives the crystal or the external clock.
TEST_F(AvrCliTest, FreqMeasuresTheClockTheFusesAndTheBoardGive) {
  struct Case {
    const char* target;
    int exitCode;
    const char* frequency;
    const char* judgement;  // "" when no line
  };
  const Case cases[] = {
      // CKSEL 1111: the crystal.
      {R"("fuses": "FF D9", "crystalHz": 4000000)", 0, "Frequency: 4.000000MHz",
       "Failure: 0ppm of 4.000 MHz"},
      // The factory's CKSEL 0001: the internal RC oscillator at 1 MHz; the crystal is not used.
      {R"("crystalHz": 4000000)", 0, "Frequency: 1.000000MHz", "Failure: 0ppm of 1.000 MHz"},
      // CKSEL 0100: the internal RC oscillator at 8 MHz.
      // (the firmware's counter comes within a few ppm)
      {R"("fuses": "E4 D9")", 0, "Frequency: 8.0000", "Failure: 0ppm of 8.000 MHz"},
      // CKSEL 0000: an external clock, but nothing drives XTAL1.
      {R"("fuses": "E0 D9", "crystalHz": 4000000)", 1, "Frequency: 0.000kHz", ""},
      {R"("fuses": "E0 D9", "externalClockHz": 32768)", 0, "Frequency: 32.768kHz",
       "Failure: 0ppm of 0.033 MHz"},
  };
  for (const Case& c : cases) {
    const fs::path scenario = dir_ / "scenario.json";
    std::ofstream(scenario) << R"({"device": "ATmega8", "target": {)" << c.target << "}}";
    const ProcessResult run = RunProgram(dir_, cli_, "freq --scenario '" + scenario.string() + "'",
                                         "XDG_CONFIG_HOME='" + (dir_ / "config").string() + "'");
    EXPECT_EQ(run.exitCode, c.exitCode) << c.target << run.err;
    EXPECT_THAT(run.out, HasSubstr(std::string("   ") + c.frequency)) << c.target;
    if (*c.judgement) {
      EXPECT_THAT(run.out, HasSubstr(std::string("   ") + c.judgement + "\n")) << c.target;
    } else {
      EXPECT_THAT(run.out, Not(HasSubstr("Failure"))) << c.target;
    }
  }
}

}  // namespace
}  // namespace velmora::testing
