// `velmora-cli --family tiny1x` as a user runs it: the built program in a child process on the
// simulated programmer, the chip's memory kept between the runs in a state file.
#include <gmock/gmock.h>

#include <filesystem>

#include "cli/cli_process.h"
#include "tiny1x_fixture.h"

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class Tiny1xCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ScratchDirectory("velmora-cli-tiny1x-");
    fs::create_directories(dir_ / "config");
  }
  void TearDown() override { fs::remove_all(dir_); }

  ProcessResult Cli(const std::string& arguments) const {
    return RunProgram(dir_, cli_, arguments + " --family tiny1x --simulate ATtiny12",
                      "XDG_CONFIG_HOME='" + (dir_ / "config").string() + "' VELMORA_SIM_STATE='" +
                          (dir_ / "state.json").string() + "'");
  }

  const std::string cli_ = VELMORA_BINARY_DIR "/bin/velmora-cli";
  fs::path dir_;
};

TEST_F(Tiny1xCliTest, ProgramVerifyReadAndFusesThroughTheSimulator) {
  const std::string hex = Tiny1xData("attiny12.hex");
  const std::string eep = Tiny1xData("attiny12.eep");
  ProcessResult run = Cli("program --fuse 0x72 --lock 0x06 --copy-calibration 1 --hex " + hex +
                          " --eeprom-file " + eep);
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("   *** Programming ATtiny12 ***\n"));
  EXPECT_THAT(run.out, HasSubstr("   Calibration Byte 107 copied to the end of Flash Memory.\n"));
  EXPECT_THAT(run.out, HasSubstr("   Configuration successfully programmed.\n"));

  run = Cli("fuses read");
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("ATtiny12 fuse=72 lock=FF\n"));

  run = Cli("identify");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("   Type: ATtiny12     Flash 1k, EEPROM 64, RAM 32\n"));

  // Without --fuse the chip keeps its own fuse.
  run = Cli("verify --hex " + hex + " --eeprom-file " + eep + " --copy-calibration 1");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out,
              HasSubstr("   Fuse options were not set for the ATtiny12: taken from the chip (fuse "
                        "72)\n"));

  const fs::path read = dir_ / "read.hex";
  run = Cli("read --out " + read.string());
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  // The calibration byte at 0x3FF, the EEPROM at 0xF00000.
  EXPECT_THAT(ReadAll(read), HasSubstr(":1003F000FFFFFFFFFFFFFFFFFFFFFFFFFFFFFF6BA1\r\n"));
  EXPECT_THAT(ReadAll(read),
              HasSubstr(":0200000400F00A\r\n:1000000000112233415474696E79313220454550D4\r\n"));

  run = Cli("program --copy-calibration 4 --hex " + hex);
  EXPECT_EQ(run.exitCode, 2) << run.out << run.err;
  EXPECT_THAT(run.err, HasSubstr("takes 0..3"));
}

}  // namespace
}  // namespace velmora::testing
