// `velmora-cli --family pic10` as a user runs it, with the parts' real names.
#include <gmock/gmock.h>

#include <filesystem>

#include "cli/cli_process.h"

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class Pic10CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ScratchDirectory("velmora-cli-pic10-");
    fs::create_directories(dir_ / "config");
  }
  void TearDown() override { fs::remove_all(dir_); }

  ProcessResult Cli(const std::string& arguments) const {
    return RunProgram(dir_, cli_, arguments + " --family pic10 --simulate PIC10F206",
                      "XDG_CONFIG_HOME='" + (dir_ / "config").string() + "' VELMORA_SIM_STATE='" +
                          (dir_ / "state.json").string() + "'");
  }

  const std::string cli_ = VELMORA_BINARY_DIR "/bin/velmora-cli";
  const std::string hex_ = VELMORA_BINARY_DIR "/test-data/pic10/pic10f206_calibrated.hex";
  fs::path dir_;
};

TEST_F(Pic10CliTest, ProgramVerifyReadAPic10F206ByItsName) {
  ProcessResult run = Cli("program --device PIC10F206 --hex " + hex_);
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("   *** Programming PIC10F202/206 ***\n"));
  run = Cli("verify --device PIC10F206 --hex " + hex_);
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  const fs::path read = dir_ / "read.hex";
  run = Cli("read --device PIC10F206 --out " + read.string());
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  // The factory MOVLW at word 0x1FF (cells 0x3FE, 0x3FF) and the configuration word.
  EXPECT_THAT(ReadAll(read), HasSubstr(":1003F000FF0FFF0FFF0FFF0FFF0FFF0FFF0F180C"));
  EXPECT_THAT(ReadAll(read), HasSubstr(":101FF000FFFFFFFFFFFFFFFFFFFFFFFFFFFFEB0F"));
  run = Cli("erase flash --device PIC10F206");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("   *** Flash Erased ***\n"));
}

TEST_F(Pic10CliTest, UnknownPartIsRefused) {
  const ProcessResult run = Cli("program --device PIC10F222 --hex " + hex_);
  EXPECT_EQ(run.exitCode, 2) << run.out << run.err;
  EXPECT_THAT(run.err, HasSubstr("--device: PIC10F200, PIC10F202, PIC10F204 or PIC10F206"));
}

}  // namespace
}  // namespace velmora::testing
