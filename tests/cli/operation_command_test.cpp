// The operation commands of velmora-cli as a user runs them: the built program in a child
// process on the simulated programmer, whose target memory persists between the runs in a
// state file. The user's stored settings are read from a private configuration directory.
#include <fcntl.h>
#include <gmock/gmock.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
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

// A read on the mini programmer, long enough to be interrupted: started in a child process
// whose output is read as it comes; once it reads the flash, SIGINT (or SIGTERM).
struct Interrupted {
  int status = -1;
  std::string out, err;
};

Interrupted InterruptRead(const fs::path& dir, const std::string& cli, const fs::path& out,
                          int signal) {
  int pipeFds[2];
  if (::pipe(pipeFds) != 0) return {};
  const pid_t child = ::fork();
  if (child == 0) {
    ::dup2(pipeFds[1], STDOUT_FILENO);
    ::close(pipeFds[0]);
    ::close(pipeFds[1]);
    const int err = ::open((dir / "err.txt").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ::dup2(err, STDERR_FILENO);
    ::setenv("XDG_CONFIG_HOME", (dir / "config").c_str(), 1);
    ::setenv("VELMORA_SIM_TRANSCRIPT", (dir / "transcript.json").c_str(), 1);
    for (const char* name : {"VELMORA_D2XX", "VELMORA_SIM_SCENARIO", "VELMORA_SIM_STATE"}) {
      ::unsetenv(name);
    }
    ::execl(cli.c_str(), cli.c_str(), "read", "--out", out.c_str(), "--simulate", "PIC18F8722",
            "--mini", static_cast<char*>(nullptr));
    ::_exit(127);
  }
  ::close(pipeFds[1]);
  Interrupted result;
  bool sent = false;
  char buffer[4096];
  for (ssize_t n; (n = ::read(pipeFds[0], buffer, sizeof buffer)) > 0;) {
    result.out.append(buffer, static_cast<size_t>(n));
    if (!sent && result.out.find("Reading Flash memory...") != std::string::npos) {
      ::kill(child, signal);
      sent = true;
    }
  }
  ::close(pipeFds[0]);
  ::waitpid(child, &result.status, 0);
  result.err = ReadAll(dir / "err.txt");
  return result;
}

TEST_F(OperationCommandTest, SignalStopsTheOperationCleanlyWithStatus130) {
  for (int signal : {SIGINT, SIGTERM}) {
    SCOPED_TRACE(signal == SIGINT ? "SIGINT" : "SIGTERM");
    const fs::path out = dir_ / "old.hex";
    std::ofstream(out) << "the old file\n";
    const Interrupted run = InterruptRead(dir_, cli_, out, signal);
    ASSERT_TRUE(WIFEXITED(run.status)) << run.out << run.err;
    EXPECT_EQ(WEXITSTATUS(run.status), 130) << run.out << run.err;
    EXPECT_THAT(run.err, HasSubstr("interrupted\n"));
    EXPECT_THAT(run.out, HasSubstr("+++ Stopped: programming mode left, programmer closed +++"));
    EXPECT_THAT(run.out, Not(HasSubstr("Data successfully saved")));
    // The old output file as it was, and nothing else beside it but the run's own files.
    EXPECT_EQ(ReadAll(out), "the old file\n");
    for (const auto& entry : fs::directory_iterator(dir_)) {
      EXPECT_THAT(entry.path().filename().string(), Not(HasSubstr(".tmp")));
    }
    // Programming mode left: the mini programmer's last pin state is "released" (0x8C).
    const nlohmann::json events =
        nlohmann::json::parse(ReadAll(dir_ / "transcript.json"))["events"];
    std::string lastWrite;
    for (const auto& e : events) {
      if (e["op"] == "write") lastWrite = e.value("bytes", "");
    }
    EXPECT_EQ(lastWrite, "8C");
    EXPECT_EQ(events.back()["op"], "close");
  }
}

// A directory, a FIFO or a device is never replaced by read data.
TEST_F(OperationCommandTest, ReadNeverReplacesWhatIsNotARegularFile) {
  const fs::path fifo = dir_ / "fifo.hex";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  for (const fs::path& out : {fs::path(dir_), fifo, fs::path("/dev/null")}) {
    SCOPED_TRACE(out.string());
    const ProcessResult run = Cli("read --out " + out.string() + " --simulate PIC18F4550");
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.err, HasSubstr("velmora-cli: error: --out: \"" + out.string() + "\" is "));
    EXPECT_THAT(run.out, Not(HasSubstr("Reading")));
  }
  EXPECT_TRUE(fs::is_fifo(fifo));

  // A symbolic link is written through to its target.
  const fs::path target = dir_ / "target.hex";
  std::ofstream(target) << "old\n";
  fs::create_symlink(target, dir_ / "link.hex");
  ASSERT_EQ(Cli("program --hex " + hex_ + " --simulate PIC18F4550").exitCode, 0);
  const ProcessResult run =
      Cli("read --out " + (dir_ / "link.hex").string() + " --simulate PIC18F4550");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_TRUE(fs::is_symlink(dir_ / "link.hex"));
  EXPECT_THAT(ReadAll(target), HasSubstr(":00000001FF"));
}

// Two programs sharing the simulator's state file take turns (the second starts from what the
// first left), so neither result is lost.
TEST_F(OperationCommandTest, TwoProgramsSharingTheStateFileKeepBothResults) {
  ASSERT_EQ(Cli("program --hex " + hex_ + " --simulate PIC18F4550").exitCode, 0);
  const fs::path small = dir_ / "small.hex";
  std::ofstream(small) << ":040000001122334452\n:00000001FF\n";
  const std::string environment = "env -u VELMORA_D2XX -u VELMORA_SIM_SCENARIO XDG_CONFIG_HOME='" +
                                  (dir_ / "config").string() + "' VELMORA_SIM_STATE='" +
                                  (dir_ / "state.json").string() + "' '" + cli_ + "' ";
  const std::string both = "(" + environment + "erase id --simulate PIC18F4550 >/dev/null 2>&1 & " +
                           environment +
                           "program --no-chip-erase --no-id --no-eeprom --no-config --hex '" +
                           small.string() + "' --simulate PIC18F4550 >/dev/null 2>&1 & wait)";
  ASSERT_EQ(std::system(both.c_str()), 0);
  const nlohmann::json state = nlohmann::json::parse(ReadAll(dir_ / "state.json"))["target"];
  EXPECT_EQ(state["idLocations"], "FFFFFFFFFFFFFFFF");
  EXPECT_EQ(state["program"].get<std::string>().substr(0, 8), "11223344");
}

}  // namespace
