// `velmora-cli trace` and `velmora-cli freq` as a user runs them, on the simulated programmer.
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "cli/cli_process.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;
using ::testing::Not;
using velmora::testing::ProcessResult;

class TraceCliTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = velmora::testing::ScratchDirectory("velmora-cli-trace-"); }
  void TearDown() override { fs::remove_all(dir_); }

  // Runs the CLI on a simulated PIC18F4550 with the scenario's further keys.
  ProcessResult Run(const std::string& arguments, const std::string& scenarioKeys) const {
    const fs::path scenario = dir_ / "scenario.json";
    std::ofstream(scenario) << R"({"device": "PIC18F4550")"
                            << (scenarioKeys.empty() ? "" : ", " + scenarioKeys) << "}";
    return velmora::testing::RunProgram(dir_, cli_,
                                        arguments + " --scenario '" + scenario.string() + "'",
                                        "XDG_CONFIG_HOME='" + (dir_ / "config").string() + "'");
  }

  const std::string cli_ = VELMORA_BINARY_DIR "/bin/velmora-cli";
  fs::path dir_;
};

TEST_F(TraceCliTest, TracePrintsTheRecordsForTheGivenTime) {
  const fs::path tdf = dir_ / "target.tdf";
  std::ofstream(tdf) << "L=02:C=10:S=20:M=Temp \\2\\d\n";
  const ProcessResult run =
      Run("trace --duration 0.3 --definition '" + tdf.string() + "'",
          R"("trace": [{"at": 0, "record": "10 20 34 12"}, {"at": 20, "record": "05 06"},
                      {"at": 40, "value": 7}])");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("   Tracing activated\n"));
  EXPECT_THAT(run.out, HasSubstr("   Temp 4660\n"));
  EXPECT_THAT(run.out, HasSubstr("   Trace 05 - 06\t\t\t\t(2)\n"));
  EXPECT_THAT(run.out, HasSubstr("   Trace 07\n"));
  EXPECT_THAT(run.out, HasSubstr("   Tracing deactivated\n"));
  EXPECT_LT(run.out.find("Temp 4660"), run.out.find("Trace 07"));
}

TEST_F(TraceCliTest, TraceWithoutAProgrammerExitsWithNoProgrammer) {
  const ProcessResult run = Run("trace --duration 1", R"("faults": {"noProgrammer": true})");
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_THAT(run.out, Not(HasSubstr("Tracing activated")));
  EXPECT_THAT(run.err, HasSubstr("Cannot open programmer"));
}

TEST_F(TraceCliTest, FreqMeasuresTheTargetsClock) {
  const ProcessResult run = Run("freq", R"("frequency": {"mhz": 0.03277})");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_THAT(run.out, HasSubstr("   Frequency: 32.770kHz\n"));
  EXPECT_THAT(run.out, HasSubstr("   Failure: 61ppm of 0.033 MHz\n"));

  const ProcessResult none = Run("freq", R"("frequency": {"count": 0})");
  EXPECT_EQ(none.exitCode, 1);
  EXPECT_THAT(none.out, HasSubstr("   Frequency: 0.000kHz\n"));
  EXPECT_THAT(none.out, Not(HasSubstr("Failure")));
}

}  // namespace
