// `velmora-cli --family pic12` as a user runs it: the built program in a child process on the
// simulated programmer, the chip's memory kept between the runs in a state file.
#include <gmock/gmock.h>

#include <filesystem>

#include "cli/cli_process.h"
#include "pic12_fixture.h"

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class Pic12CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ScratchDirectory("velmora-cli-pic12-");
    fs::create_directories(dir_ / "config");
  }
  void TearDown() override { fs::remove_all(dir_); }

  ProcessResult Cli(const std::string& arguments) const {
    return RunProgram(dir_, cli_, arguments + " --family pic12 --simulate PIC12F675",
                      "XDG_CONFIG_HOME='" + (dir_ / "config").string() + "' VELMORA_SIM_STATE='" +
                          (dir_ / "state.json").string() + "'");
  }

  const std::string cli_ = VELMORA_BINARY_DIR "/bin/velmora-cli";
  fs::path dir_;
};

TEST_F(Pic12CliTest, ProgramVerifyReadAndEraseThroughTheSimulator) {
  const std::string file = Pic12Program("pic12f675");
  ProcessResult run = Cli("program --hex " + file);
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("   *** Programming PIC12F675 ***\n"));
  EXPECT_THAT(run.out, HasSubstr("   Flash memory successfully programmed\n"));

  run = Cli("verify --hex " + file);
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;

  run = Cli("identify");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("Calibration Byte is 92      Band Gap Calibration = 2\n"));
  EXPECT_THAT(run.out, HasSubstr("   ID: 0000 0006 0007 0005\n"));

  run = Cli("config read");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("PIC12 Configuration: 21C4\n"));

  const fs::path read = dir_ / "read.hex";
  run = Cli("read --out " + read.string());
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  // The start-up code and the calibration RETLW at word 0x3FF (cell 0x7FE).
  EXPECT_THAT(ReadAll(read), HasSubstr(":100000008316FF2390008312A0000528FF3FFF3F"));
  EXPECT_THAT(ReadAll(read), HasSubstr(":1007F000FF3FFF3FFF3FFF3FFF3FFF3FFF3F5C34"));

  run = Cli("erase flash");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("   Calibration Values updated\n"));
  run = Cli("verify --hex " + file);
  EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("!!! Error found in Flash memory at address 0x0000 !!!\n"));
}

TEST_F(Pic12CliTest, FamilyOptionsAreCheckedAndApplied) {
  ProcessResult run = Cli("program --band-gap 7 --hex " + Pic12Program("pic12f675"));
  EXPECT_EQ(run.exitCode, 2) << run.out << run.err;
  EXPECT_THAT(run.err, HasSubstr("--band-gap: retain (the chip's own bits), or 0..3"));
  run =
      Cli("program --config-from-options --config-word 0x01E4 --hex " + Pic12Program("pic12f675"));
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  run = Cli("config read");
  EXPECT_THAT(run.out, HasSubstr("PIC12 Configuration: 21E4\n"));
}

}  // namespace
}  // namespace velmora::testing
