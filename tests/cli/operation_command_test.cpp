// The operation commands of velmora-cli as a user runs them: the built program in a child
// process on the simulated programmer, whose target memory persists between the runs in a
// state file. The user's stored settings are read from a private configuration directory.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "cli/cli_process.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;

using velmora::testing::ProcessResult;
using velmora::testing::ReadAll;

class OperationCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = velmora::testing::ScratchDirectory("velmora-cli-operation-");
    fs::create_directories(dir_ / "config");
  }
  void TearDown() override { fs::remove_all(dir_); }

  ProcessResult Cli(const std::string& arguments) const {
    return velmora::testing::RunProgram(dir_, cli_, arguments,
                                        "XDG_CONFIG_HOME='" + (dir_ / "config").string() +
                                            "' VELMORA_SIM_STATE='" +
                                            (dir_ / "state.json").string() + "'");
  }

  const std::string cli_ = VELMORA_BINARY_DIR "/bin/velmora-cli";
  const std::string hex_ = VELMORA_BINARY_DIR "/test-data/engine/pic18f4550_blink.hex";
  fs::path dir_;
};

TEST_F(OperationCommandTest, ProgramVerifyAndReadBackThroughTheSimulator) {
  for (const char* kind : {"", " --mini"}) {
    SCOPED_TRACE(kind[0] ? "mini programmer" : "full programmer");
    fs::remove(dir_ / "state.json");
    const std::string target = std::string(" --simulate PIC18F4550") + kind;

    ProcessResult run = Cli("program --hex " + hex_ + target);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("   *** Programming PIC18F4550 ***\n"));
    EXPECT_TRUE(std::regex_search(
        run.out,
        std::regex(R"(\n\d\d:\d\d:\d\d:\d\d   \*\*\* Finished Successfully \*\*\* \d+:\d{3}\n)")))
        << run.out;
    // Not a terminal: the bar comes as plain lines.
    EXPECT_THAT(run.err, HasSubstr("progress: Success 100%\n"));
    EXPECT_THAT(run.out, Not(HasSubstr("\033[")));

    run = Cli("verify --fast-verify --hex " + hex_ + target);
    EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("   Fast verifying Flash memory...\n"));

    const fs::path read = dir_ / "read.hex";
    run = Cli("read --out " + read.string() + target);
    ASSERT_EQ(run.exitCode, 0) << run.out << run.err;
    EXPECT_THAT(run.out, HasSubstr("*** Data successfully saved as \"" + read.string() + "\""));
    EXPECT_THAT(ReadAll(read), HasSubstr(":08000000424C494E4B343530EF\r\n"));  // the ID
  }
}

TEST_F(OperationCommandTest, IdentifyAndEraseWithTheirOwnTexts) {
  ASSERT_EQ(Cli("program --hex " + hex_ + " --simulate PIC18F4550").exitCode, 0);
  ProcessResult run = Cli("identify --simulate PIC18F4550");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("   ID: 42 4C 49 4E 4B 34 35 30   \"BLINK450\"\n"));

  run = Cli("erase id --simulate PIC18F4550");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("   ID-Location erased successfully.\n"));
  EXPECT_THAT(Cli("identify --simulate PIC18F4550").out, HasSubstr("   ID-Location: Is Empty\n"));

  run = Cli("dump eeprom --simulate PIC18F4550");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("\n000:\t01\t02\t03\t04\t05\t06\t07\t08\tFF"));
}

TEST_F(OperationCommandTest, ExitCodesTellFailureNoProgrammerAndBadUsageApart) {
  ASSERT_EQ(Cli("program --hex " + hex_ + " --simulate PIC18F4550").exitCode, 0);
  std::ofstream(dir_ / "other.hex") << ":0100000055AA\r\n:00000001FF\r\n";
  ProcessResult run = Cli("verify --no-eeprom --no-id --no-config --hex " +
                          (dir_ / "other.hex").string() + " --simulate PIC18F4550");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.out, HasSubstr("   Error found in Flash memory at address 0x000000\n"));
  EXPECT_THAT(run.out, HasSubstr("   +++ Verification Failed +++\n"));

  std::ofstream(dir_ / "none.json") << R"({"device":"PIC18F4550","faults":{"noProgrammer":true}})";
  run = Cli("identify --scenario " + (dir_ / "none.json").string());
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_THAT(run.err, HasSubstr("[Programmer Error] Cannot open programmer..."));

  std::ofstream(dir_ / "absent.json") << R"({"device":"PIC18F4550","target":{"absent":"low"}})";
  run = Cli("program --hex " + hex_ + " --scenario " + (dir_ / "absent.json").string());
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.out, HasSubstr("   Programming not possible. Cannot find PIC.\n"));

  EXPECT_EQ(Cli("erase flash --simulate PIC18F4550").exitCode, 2);
  EXPECT_EQ(Cli("read --simulate PIC18F4550").exitCode, 2) << "--out is required";
  EXPECT_EQ(Cli("program --power sometimes --hex " + hex_ + " --simulate PIC18F4550").exitCode, 2);
}

TEST_F(OperationCommandTest, StoredSettingsAreDefaultsAndAreNeverWritten) {
  // The stored settings turn every part but the flash off; the CLI follows them.
  const fs::path settings = dir_ / "config" / "Velmora USB-Programmer.conf";
  std::ofstream(settings) << "[General]\nEnable%20EEPROM%20Update=0\n"
                             "Enable%20IDLocation%20Update=0\n"
                             "Enable%20Configuration%20Update=0\n";
  const std::string before = ReadAll(settings);
  ProcessResult run = Cli("program --hex " + hex_ + " --simulate PIC18F4550");
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("   Programming EEPROM skipped\n"));
  EXPECT_THAT(run.out, HasSubstr("   Programming Configuration skipped\n"));

  // A flag overrides the stored value for this run only.
  run = Cli("program --eeprom --hex " + hex_ + " --simulate PIC18F4550");
  EXPECT_THAT(run.out, HasSubstr("   EEPROM successfully programmed.\n"));
  EXPECT_EQ(ReadAll(settings), before);
}

// A file that is not entirely right is refused before the programmer is opened, with the
// reason, the file and the line; a question the reader asks is answered No unless --yes.
TEST_F(OperationCommandTest, DamagedFileIsRefusedWithWhatAndWhere) {
  const fs::path damaged = dir_ / "damaged.hex";
  std::ofstream(damaged) << ":020000040000FA\n:0400000001020G04F2\n:00000001FF\n";
  for (const char* command : {"program", "verify", "update"}) {
    SCOPED_TRACE(command);
    const ProcessResult run =
        Cli(std::string(command) + " --hex " + damaged.string() + " --simulate PIC18F4550");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_THAT(run.err,
                HasSubstr("[Programmer Error!] Damaged record in line 2 of \"" + damaged.string() +
                          "\": a character that is not a hexadecimal digit.\n"));
    EXPECT_THAT(run.out, Not(HasSubstr("Programming")));
  }

  const fs::path cut = dir_ / "cut.hex";
  std::ofstream(cut) << ":020000040000FA\n:0400000001020304F2\n";
  ProcessResult run = Cli("program --hex " + cut.string() + " --simulate PIC18F4550");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.err, HasSubstr("[Incomplete Hex-File] No end-of-file record in \"" +
                                 cut.string() + "\" after line 2"));
  EXPECT_THAT(run.err, HasSubstr("-> no\n"));
  run = Cli("--yes program --hex " + cut.string() + " --simulate PIC18F4550");
  EXPECT_THAT(run.err, HasSubstr("-> yes\n"));
  EXPECT_THAT(run.out, HasSubstr("*** Programming PIC18F4550 ***"));
}

// Data the device cannot hold fails Program unless --yes confirms it.
TEST_F(OperationCommandTest, DataOutsideTheDeviceNeedsYes) {
  const std::string other = VELMORA_BINARY_DIR "/test-data/engine/pic18f8722_tables.hex";
  ProcessResult run = Cli("program --hex " + other + " --simulate PIC18F4550");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.out, HasSubstr("+++ 66 bytes of the HEX file lie outside the PIC18F4550: "));
  EXPECT_THAT(run.err, HasSubstr("[Data Outside Device] "));
  EXPECT_THAT(run.err, HasSubstr("Program the rest anyway? -> no\n"));
  EXPECT_THAT(run.out, Not(HasSubstr("Chip erased")));

  run = Cli("--yes program --hex " + other + " --simulate PIC18F4550");
  EXPECT_THAT(run.err, HasSubstr("Program the rest anyway? -> yes\n"));
  EXPECT_THAT(run.out, HasSubstr("Data outside the device left out, as confirmed"));
}

}  // namespace
