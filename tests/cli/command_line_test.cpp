// How velmora-cli behaves for scripts: global options anywhere, quiet and verbose runs, the
// device list, errors that name their file and line, the closing summary, what goes to stdout
// and what to stderr, manual power without a terminal, the driver library option, and which
// options each subcommand offers. The built program runs in a child process on the simulator.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <string>

#include "cli/cli_process.h"

namespace {

namespace fs = std::filesystem;
using ::testing::ContainsRegex;
using ::testing::HasSubstr;
using ::testing::Not;
using velmora::testing::ProcessResult;

class CommandLineTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = velmora::testing::ScratchDirectory("velmora-cli-line-");
    fs::create_directories(dir_ / "config");
  }
  void TearDown() override { fs::remove_all(dir_); }

  ProcessResult Cli(const std::string& arguments) const {
    return velmora::testing::RunProgram(dir_, cli_, arguments,
                                        "XDG_CONFIG_HOME='" + (dir_ / "config").string() +
                                            "' VELMORA_SIM_STATE='" +
                                            (dir_ / "state.json").string() + "'");
  }

  std::string Write(const std::string& name, const std::string& text) const {
    const fs::path path = dir_ / name;
    std::ofstream(path, std::ios::binary) << text;
    return path.string();
  }

  const std::string cli_ = VELMORA_BINARY_DIR "/bin/velmora-cli";
  const std::string hex_ = VELMORA_BINARY_DIR "/test-data/engine/pic18f4550_blink.hex";
  const std::string sim_ = " --simulate PIC18F4550";
  fs::path dir_;
};

// A record with a wrong checksum: read only when the question is answered yes.
constexpr char kBadChecksum[] = ":0400000001020304F1\r\n:00000001FF\r\n";

TEST_F(CommandLineTest, GlobalOptionsAreAcceptedAnywhere) {
  const std::string bad = Write("bad.hex", kBadChecksum);
  for (const std::string& line : {"--yes hex info " + bad, "hex --yes info " + bad,
                                  "hex info " + bad + " --yes", "hex info --yes " + bad}) {
    SCOPED_TRACE(line);
    EXPECT_EQ(Cli(line).exitCode, 0);
  }
  EXPECT_EQ(Cli("hex info " + bad + " --no").exitCode, 1);
  EXPECT_EQ(Cli("hex info " + bad + " --yes --no").exitCode, 2);
  EXPECT_EQ(Cli("identify" + sim_ + " -q -v").exitCode, 2);
  const ProcessResult quiet = Cli("identify" + sim_ + " -q");
  EXPECT_EQ(quiet.exitCode, 0) << quiet.err;
}

TEST_F(CommandLineTest, QuietKeepsOnlyTheSummaryAndVerboseNamesTheDriver) {
  const ProcessResult quiet = Cli("program -q --hex " + hex_ + sim_);
  ASSERT_EQ(quiet.exitCode, 0) << quiet.err;
  EXPECT_THAT(quiet.out, Not(HasSubstr("***")));
  EXPECT_THAT(quiet.out, ContainsRegex("^summary: program, [^\n]*, success\n$"));
  EXPECT_EQ(quiet.err, "");

  const ProcessResult verbose = Cli("--verbose identify" + sim_);
  ASSERT_EQ(verbose.exitCode, 0) << verbose.err;
  EXPECT_THAT(verbose.err, HasSubstr("velmora-cli: driver library: "));
  EXPECT_THAT(verbose.err, HasSubstr("libvelmora-sim.so"));
  EXPECT_THAT(Cli("identify" + sim_).err, Not(HasSubstr("driver library")));
}

TEST_F(CommandLineTest, DevicesListsTheCatalogueAndSuggestsNearNames) {
  const ProcessResult pic18 = Cli("devices --family pic18");
  ASSERT_EQ(pic18.exitCode, 0) << pic18.err;
  EXPECT_THAT(pic18.out, ContainsRegex("\nPIC18F4550 +pic18 +ID 0x1200 +program 32768 bytes, "
                                       "EEPROM 256 bytes, RAM 2048 bytes\n"));
  EXPECT_THAT(pic18.out, Not(HasSubstr("dspic30")));

  const ProcessResult all = Cli("devices");
  ASSERT_EQ(all.exitCode, 0);
  EXPECT_THAT(all.out,
              ContainsRegex("\nATmega1280/V +avr +signature 1E 97 03 +program 131072 bytes"));
  EXPECT_THAT(all.out,
              ContainsRegex("\ndsPIC30F[0-9A]+ +dspic30 +ID 0x[0-9A-F]{4} +program [0-9]+ words"));
  EXPECT_EQ(Cli("devices pic18f4550").out.find("PIC18F4550 "), 0u);

  struct Case {
    std::string arguments;
    std::string subject;
  };
  for (const Case& c :
       {Case{"devices PIC18F4551", "PIC18F4551"},
        Case{"identify --simulate PIC18F455", "--simulate"},
        Case{"hex rewrite " + hex_ + " " + (dir_ / "o.hex").string() + " --device PIC18F45500",
             "--device"}}) {
    SCOPED_TRACE(c.arguments);
    const ProcessResult run = Cli(c.arguments);
    EXPECT_EQ(run.exitCode, 2);
    EXPECT_THAT(run.err, HasSubstr("velmora-cli: error: " + c.subject + ": unknown device \""));
    EXPECT_THAT(run.err, ContainsRegex("nearest: [^\n]*PIC18F4550"));
  }
}

TEST_F(CommandLineTest, ErrorsNameTheFileAndTheLine) {
  struct Case {
    std::string name;
    std::string text;   // "" with no file written: the file is missing
    std::string error;  // the reader's message; %s is the file's path
  };
  const Case cases[] = {
      {"missing.hex", "", "Cannot read \"%s\": No such file or directory"},
      {"notes.txt", "just some text\nno records here\n", "Line 1 of \"%s\" is not a record."},
      {"short.hex", ":0400000001020304F2\r\n\r\n:04001000zz\r\n",
       "Damaged record in line 3 of \"%s\": a character that is not a hexadecimal digit."},
      {"sum.hex", ":020000040000FA\n" + std::string(kBadChecksum),
       "Checksum error found in line 2 of \"%s\"!"},
  };
  for (const Case& c : cases) {
    const std::string path = c.text.empty() ? (dir_ / c.name).string() : Write(c.name, c.text);
    for (const std::string& command : {"hex info " + path, "program --hex " + path + sim_}) {
      SCOPED_TRACE(command);
      const ProcessResult run = Cli(command);
      EXPECT_EQ(run.exitCode, 1);
      std::string error = c.error;
      error.replace(error.find("%s"), 2, path);
      EXPECT_THAT(run.err, HasSubstr(error));
      EXPECT_THAT(run.out, Not(HasSubstr("***")));
    }
  }
}

TEST_F(CommandLineTest, EachOperationEndsWithASummaryLine) {
  const std::string out = (dir_ / "read.hex").string();
  struct Case {
    std::string arguments;
    int exitCode;
    std::string summary;  // a regular expression for the last line of stdout
  };
  const Case cases[] = {
      {"program --hex " + hex_, 0,
       "summary: program, device PIC18F4550, file " + hex_ +
           ", (\\d+) bytes written, \\1 bytes verified, \\d+\\.\\d\\d s, success"},
      {"program --no-verify --hex " + hex_, 0, ", (\\d+) bytes written, 0 bytes verified, "},
      {"verify --hex " + hex_, 0,
       ", file " + hex_ +
           ", \\d+ bytes verified, \\d+\\.\\d\\d s, "
           "success"},
      {"read --out " + out, 0,
       "summary: read, device PIC18F4550, file " + out +
           ", \\d+ bytes read, \\d+\\.\\d\\d s, success"},
      {"identify", 0, "summary: identify, device PIC18F4550, \\d+\\.\\d\\d s, success"},
      {"erase chip", 0, "summary: erase chip, device PIC18F4550, \\d+\\.\\d\\d s, success"},
      {"verify --hex " + hex_, 1, ", file " + hex_ + ", \\d+\\.\\d\\d s, failed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const ProcessResult run = Cli(c.arguments + sim_);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    const size_t last = run.out.rfind('\n', run.out.size() - 2);
    const std::string lastLine = run.out.substr(last == std::string::npos ? 0 : last + 1);
    EXPECT_TRUE(std::regex_search(lastLine, std::regex(c.summary))) << lastLine;
    EXPECT_EQ(lastLine.rfind("summary: ", 0), 0u) << lastLine;
  }
}

// Four dsPIC30 instructions at the start of program memory.
constexpr char kDsPic30Program[] = ":1000000000000400010004000200040003000400DA\r\n:00000001FF\r\n";

// In every family that offers --no-verify, a run without verification logs no "Verifying ..."
// progress line (the same run with verification does); a Verify that compares nothing says so
// and fails.
TEST_F(CommandLineTest, NoVerifyRunsLogOnlyWhatWasDone) {
  const std::string dsPic30 = Write("dspic30.hex", kDsPic30Program);
  struct Case {
    std::string family;
    std::string device;
    std::string arguments;
    bool verifies;
    int exitCode;
  };
  const Case cases[] = {
      {"pic18", "PIC18F4550", "program --hex " + hex_, true, 0},
      {"pic18", "PIC18F4550", "program --no-verify --hex " + hex_, false, 0},
      {"pic18", "PIC18F4550", "program --no-verify --fast-verify --hex " + hex_, false, 0},
      {"pic18", "PIC18F4550", "verify --no-verify --hex " + hex_, false, 1},
      {"dspic30", "dsPIC30F4013", "program --hex " + dsPic30, true, 0},
      {"dspic30", "dsPIC30F4013", "program --no-verify --hex " + dsPic30, false, 0},
      {"dspic30", "dsPIC30F4013", "program --no-verify --fast-verify --hex " + dsPic30, false, 0},
      {"dspic30", "dsPIC30F4013", "verify --no-verify --hex " + dsPic30, false, 1},
  };
  const std::regex verifyingLine(R"((Fast v|V)erifying [A-Za-z ]+\.\.\.)");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.family + " " + c.arguments);
    const ProcessResult run = velmora::testing::RunProgram(
        dir_, cli_, "--yes " + c.arguments + " --family " + c.family + " --simulate " + c.device,
        "XDG_CONFIG_HOME='" + (dir_ / "config").string() + "' VELMORA_SIM_STATE='" +
            (dir_ / (c.family + ".json")).string() + "'");
    EXPECT_EQ(run.exitCode, c.exitCode) << run.err;
    EXPECT_EQ(std::regex_search(run.out, verifyingLine), c.verifies) << run.out;
    if (c.arguments.starts_with("program")) {
      EXPECT_THAT(run.out, HasSubstr("   Programming Flash memory...\n"));
      EXPECT_THAT(run.out, HasSubstr("   Flash memory successfully programmed.\n"));
    } else {
      EXPECT_THAT(run.out, HasSubstr("   Verifying Flash memory skipped\n"));
      EXPECT_THAT(run.out, HasSubstr("   +++ Nothing was verified +++\n"));
    }
  }
}

TEST_F(CommandLineTest, LogGoesToStdoutAndProgressToStderr) {
  const ProcessResult run = Cli("program --hex " + hex_ + sim_);
  ASSERT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("   *** Programming PIC18F4550 ***\n"));
  EXPECT_THAT(run.out, Not(HasSubstr("progress:")));
  EXPECT_THAT(run.err, HasSubstr("progress: Success 100%\n"));
  EXPECT_THAT(run.err, Not(HasSubstr("***")));
}

TEST_F(CommandLineTest, ManualPowerWithoutATerminalNeedsYes) {
  const ProcessResult refused = Cli("identify --power manual" + sim_);
  EXPECT_EQ(refused.exitCode, 2);
  EXPECT_THAT(refused.err, HasSubstr("velmora-cli: error: --power manual: waits for Enter"));
  EXPECT_EQ(refused.out, "");

  const ProcessResult accepted = Cli("identify --power manual --yes" + sim_);
  EXPECT_EQ(accepted.exitCode, 0) << accepted.err;
  EXPECT_THAT(accepted.err, HasSubstr("[User Action Requiered: ON] Switch power on and click OK"));
}

TEST_F(CommandLineTest, DriverThatDoesNotLoadIsAnErrorNamingIt) {
  for (const char* command : {"programmer", "identify"}) {
    SCOPED_TRACE(command);
    const ProcessResult run = Cli(std::string(command) + " --driver /nonexistent/libftd2xx.so");
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_THAT(run.err, HasSubstr("velmora-cli: error: --driver /nonexistent/libftd2xx.so: the "
                                   "driver library does not load"));
    EXPECT_THAT(run.err, Not(HasSubstr("Installation error")));
  }
  const std::string scenario = Write("scenario.json", "{}");
  EXPECT_EQ(Cli("programmer --driver /x.so --scenario " + scenario).exitCode, 2);
  EXPECT_EQ(Cli("identify --driver /x.so --simulate PIC18F4550").exitCode, 2);
}

TEST_F(CommandLineTest, SubcommandsOfferOnlyTheOptionsThatMeanSomething) {
  struct Case {
    std::string arguments;
    bool accepted;
  };
  const std::string out = " --out " + (dir_ / "r.hex").string();
  const Case cases[] = {
      {"program --chip-erase --hex " + hex_, true},
      {"verify --chip-erase --hex " + hex_, false},
      {"read --no-chip-erase" + out, false},
      {"read --fast-verify --no-eeprom" + out, true},
      {"identify --no-verify", true},
      {"identify --fast-verify", false},
      {"identify --no-flash", false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const ProcessResult run = Cli("--yes " + c.arguments + sim_);
    if (c.accepted) {
      EXPECT_EQ(run.exitCode, 0) << run.err;
    } else {
      EXPECT_EQ(run.exitCode, 2);
    }
  }
  const ProcessResult help = Cli("program --help");
  EXPECT_THAT(help.out, ContainsRegex("--no-flash +leave out flash memory"));
  EXPECT_THAT(help.out, ContainsRegex("--flash +include flash memory"));
  EXPECT_THAT(help.out, ContainsRegex("--no-chip-erase +do not erase the chip first"));
}

// Only the commands that read the stored settings load the settings library and, with it, Qt;
// the loader's own trace (LD_DEBUG=files) lists every library a run opens.
TEST_F(CommandLineTest, OnlyCommandsThatReadStoredSettingsLoadQt) {
  const std::string trace = " LD_DEBUG=files";
  for (const std::string& arguments :
       {std::string("--version"), "hex info " + hex_, std::string("devices --family pic18")}) {
    SCOPED_TRACE(arguments);
    const ProcessResult run = velmora::testing::RunProgram(dir_, cli_, arguments, trace);
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_THAT(run.err, Not(HasSubstr("libQt6Core")));
    EXPECT_THAT(run.err, Not(HasSubstr("libvelmora-settings")));
  }
  const ProcessResult identify =
      velmora::testing::RunProgram(dir_, cli_, "identify" + sim_,
                                   "XDG_CONFIG_HOME='" + (dir_ / "config").string() + "'" + trace);
  EXPECT_EQ(identify.exitCode, 0) << identify.err;
  EXPECT_THAT(identify.err, HasSubstr("libvelmora-settings.so"));
  EXPECT_THAT(identify.err, HasSubstr("libQt6Core"));
}

// A program without its settings library still reads HEX files, and a command that needs the
// stored settings stops with an error naming the library instead of running on other settings.
TEST_F(CommandLineTest, MissingSettingsLibraryIsAnErrorNamingIt) {
  const fs::path alone = dir_ / "alone" / "velmora-cli";
  fs::create_directories(alone.parent_path());
  fs::copy_file(cli_, alone);
  EXPECT_EQ(velmora::testing::RunProgram(dir_, alone.string(), "hex info " + hex_).exitCode, 0);
  const ProcessResult run = velmora::testing::RunProgram(
      dir_, alone.string(), "identify", "XDG_CONFIG_HOME='" + (dir_ / "config").string() + "'");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.err, HasSubstr("velmora-cli: error: libvelmora-settings.so: the settings "
                                 "library does not load"));
  EXPECT_THAT(run.out, Not(HasSubstr("Identify")));
}

}  // namespace
