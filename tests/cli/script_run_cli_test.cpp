// `velmora-cli script run` as a user runs it, on the simulated full programmer: compile, upload,
// the host sub with its variables, the log lines and the exit code.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>

#include "cli/cli_process.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using velmora::testing::ProcessResult;
using velmora::testing::ReadAll;

constexpr const char* kEcho =
    "_name = \"Echo test\"\n"
    "sub *Echo\n get A0\n add A0, 1\n send A0\nend\n"
    "sub #Run\tentry\n call *Echo\n send value\n get answer, 1\n msg \"answer \", $answer\nend\n"
    "sub #Fail\tentry\n nonsense here\nend\n"
    "sub #Options\tentry\n msg \"lvp \", _LVP, \" erase \", _eraseChip\nend\n";

class ScriptRunCliTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = velmora::testing::ScratchDirectory("velmora-cli-script-");
    fs::create_directories(dir_ / "config");
    script_ = (dir_ / "echo.zeq").string();
    std::ofstream(script_) << kEcho;
  }
  void TearDown() override { fs::remove_all(dir_); }

  ProcessResult Cli(const std::string& arguments) const {
    return velmora::testing::RunProgram(
        dir_, cli_, arguments,
        "XDG_CONFIG_HOME='" + (dir_ / "config").string() + "' VELMORA_SIM_STATE='" +
            (dir_ / "state.json").string() + "' VELMORA_SIM_TRANSCRIPT='" +
            (dir_ / "transcript.json").string() + "'");
  }
  nlohmann::json Transcript() const {
    return nlohmann::json::parse(ReadAll(dir_ / "transcript.json"));
  }

  const std::string cli_ = VELMORA_BINARY_DIR "/bin/velmora-cli";
  fs::path dir_;
  std::string script_;
};

TEST_F(ScriptRunCliTest, CompilesUploadsAndRunsTheSubWithItsVariables) {
  const ProcessResult run = Cli("script run '" + script_ +
                                "' Run --var value=0x41 --simulate "
                                "PIC18F4550");
  EXPECT_EQ(run.exitCode, 0) << run.out << run.err;
  EXPECT_THAT(run.out, HasSubstr("   Compiling for Echo test ...\n"));
  EXPECT_THAT(run.out, HasSubstr("   Compiled successfully. (2)\n"));
  EXPECT_THAT(run.out, HasSubstr("   answer 0x42\n"));
  EXPECT_THAT(run.out, HasSubstr("   Execution time "));
  // On the wire: the call of the compiled sub (the first code after the area's end word).
  std::vector<std::string> commands;
  const nlohmann::json transcript = Transcript();
  for (const auto& event : transcript["events"]) {
    if (event["op"] == "command") commands.push_back(event["name"]);
  }
  EXPECT_THAT(commands, ::testing::Contains("script call 0x4002"));
}

TEST_F(ScriptRunCliTest, OptionVariablesComeFromTheCommandLine) {
  const ProcessResult run = Cli("script run '" + script_ +
                                "' '#Options' --var _LVP=0 --var _eraseChip=1 --simulate "
                                "PIC18F4550");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("   lvp 0 erase 1\n"));
}

TEST_F(ScriptRunCliTest, ExitCodesTellFailureFromSuccess) {
  struct Case {
    std::string arguments;
    int exitCode;
    const char* outputHas;
  };
  const Case cases[] = {
      {"'" + script_ + "' Fail --simulate PIC18F4550", 1, "Execution abort."},
      {"'" + script_ + "' Missing --simulate PIC18F4550", 1, "Sub does not exist"},
      {"'" + (dir_ / "none.zeq").string() + "' Run --simulate PIC18F4550", 1, "no such script"},
      {"'" + script_ + "' Run --var novalue --simulate PIC18F4550", 2, "expected NAME=VALUE"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.arguments);
    const ProcessResult run = Cli("script run " + c.arguments);
    EXPECT_EQ(run.exitCode, c.exitCode) << run.out << run.err;
    EXPECT_THAT(run.out + run.err, HasSubstr(c.outputHas));
  }
}

TEST_F(ScriptRunCliTest, AScriptThatDoesNotCompileRunsNothing) {
  std::ofstream(script_) << "sub *Bad\n frobnicate\nend\nsub #Run\n msg \"ran\"\nend\n";
  const ProcessResult run = Cli("script run '" + script_ + "' Run --simulate PIC18F4550");
  EXPECT_EQ(run.exitCode, 1);
  EXPECT_THAT(run.out, HasSubstr("Compilation failed!"));
  EXPECT_THAT(run.out, Not(HasSubstr("ran")));
  EXPECT_THAT(run.err, HasSubstr("the script does not compile"));
}

TEST_F(ScriptRunCliTest, ALostProgrammerFailsTheRun) {
  const fs::path scenario = dir_ / "scenario.json";
  std::ofstream(scenario) << R"({"device": "PIC18F4550", "faults": {"noProgrammer": true}})";
  const ProcessResult run =
      Cli("script run '" + script_ + "' Run --scenario '" + scenario.string() + "'");
  EXPECT_EQ(run.exitCode, 3);
}

}  // namespace
