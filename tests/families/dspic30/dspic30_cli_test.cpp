// `velmora-cli --family dspic30` as a user runs it: the built program in a child process on the
// simulated programmer, the target's memory kept between the runs in a state file.
#include <gmock/gmock.h>

#include <filesystem>

#include "cli/cli_process.h"
#include "dspic30_fixture.h"

namespace velmora::testing {
namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

class DsPic30CliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = ScratchDirectory("velmora-cli-dspic30-");
    fs::create_directories(dir_ / "config");
  }
  void TearDown() override { fs::remove_all(dir_); }

  ProcessResult Cli(const std::string& arguments) const {
    return RunProgram(dir_, cli_, arguments + " --family dspic30 --simulate dsPIC30F4013",
                      "XDG_CONFIG_HOME='" + (dir_ / "config").string() + "' VELMORA_SIM_STATE='" +
                          (dir_ / "state.json").string() + "'");
  }
  std::string Save(const DsPic30HexFile& hex, const std::string& name) const {
    const std::string path = (dir_ / name).string();
    hex.Save(path);
    return path;
  }

  const std::string cli_ = VELMORA_BINARY_DIR "/bin/velmora-cli";
  fs::path dir_;
};

TEST_F(DsPic30CliTest, ProgramVerifyConfigAndReadThroughTheSimulator) {
  DsPic30HexFile hex;
  for (uint32_t w = 0; w < 40; ++w) hex.Instruction(w, 0x040000 + w);
  hex.EepromWord(1024, 0, 0xCAFE);
  const uint16_t config[7] = {0xC307, 0x801F, 0x8733, 0xFFFF, 0xFFFF, 0xFFFF, 0xC002};
  for (int reg = 0; reg < 7; ++reg) hex.Configuration(reg, config[reg]);
  const std::string file = Save(hex, "program.hex");

  ProcessResult run = Cli("program --hex " + file);
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("   *** Programming dsPIC30F4013 ***\n"));
  EXPECT_THAT(run.out, HasSubstr("   Configuration successfully programmed.\n"));

  run = Cli("verify --hex " + file);
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  run = Cli("verify --no-flash --no-eeprom --no-config --hex " + file);
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("   Verifying Flash memory skipped\n"));

  run = Cli("config read");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("dsPIC30 Configuration: FOSC=FBE7 FWDT=FFDF FBORPOR=FF7F FBS=FFFF "
                                 "FSS=FFFF FGS=FFFF FICD=FFFE\n"));

  hex.Configuration(5, 0x0001);  // GCP programmed: the file differs in FGS
  run = Cli("verify --hex " + Save(hex, "protected.hex"));
  EXPECT_EQ(run.exitCode, 1) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("   Error found in Configuration at address 0x14\n"));

  const fs::path read = dir_ / "read.hex";
  run = Cli("read --out " + read.string());
  ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
  // EEPROM word 0 (0xCAFE) at 0xFFF800, FOSC at 0x1F00000, as the maker's tools place them.
  EXPECT_THAT(ReadAll(read), HasSubstr(":0200000400FFFB\r\n:10F80000FECA0000"));
  EXPECT_THAT(ReadAll(read), HasSubstr(":0200000401F0"));
}

}  // namespace
}  // namespace velmora::testing
