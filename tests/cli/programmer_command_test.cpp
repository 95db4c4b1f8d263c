// `velmora-cli programmer` as a user runs it: the built program in a child process.
#include <dlfcn.h>
#include <gmock/gmock.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "cli/cli_process.h"

namespace {

namespace fs = std::filesystem;
using ::testing::HasSubstr;

using velmora::testing::ProcessResult;

class ProgrammerCommandTest : public ::testing::Test {
 protected:
  void SetUp() override { dir_ = velmora::testing::ScratchDirectory("velmora-cli-test-"); }
  void TearDown() override { fs::remove_all(dir_); }

  ProcessResult Execute(const std::string& program, const std::string& arguments) const {
    return velmora::testing::RunProgram(dir_, program, arguments);
  }

  const std::string cli_ = VELMORA_BINARY_DIR "/bin/velmora-cli";
  fs::path dir_;
};

TEST_F(ProgrammerCommandTest, SimulatedProgrammerPrintsItsFirmwareVersion) {
  const ProcessResult run = Execute(cli_, "programmer --simulate PIC18F4550");
  EXPECT_EQ(run.exitCode, 0) << run.err;
  EXPECT_EQ(run.out, "Velmora FW V3.05 (simulated)\n");
  EXPECT_EQ(run.err, "");
}

TEST_F(ProgrammerCommandTest, ProgrammerWithoutFirmwareExitsWithNoProgrammer) {
  const fs::path scenario = dir_ / "scenario.json";
  std::ofstream(scenario) << R"({"faults": {"noFirmware": true}})";
  const ProcessResult run = Execute(cli_, "programmer --scenario '" + scenario.string() + "'");
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_EQ(run.out, "Firmware is missing.\n");
  EXPECT_THAT(run.err, HasSubstr("[Programmer Error] Processor doesn't answer..."));
}

TEST_F(ProgrammerCommandTest, WithoutAnyDriverItPrintsTheInstallationMessage) {
  // The fallbacks must be missing too: run a copy of the program from a directory without the
  // project's driver library, on a machine without the vendor's.
  for (const char* name : {"libftd2xx.so", "libvelmora-d2xx.so"}) {
    if (void* library = dlopen(name, RTLD_LAZY)) {
      dlclose(library);
      GTEST_SKIP() << name << " is installed on this machine";
    }
  }
  const fs::path copy = dir_ / "velmora-cli";
  fs::copy_file(cli_, copy);
  const ProcessResult run = Execute(copy.string(), "programmer");
  EXPECT_EQ(run.exitCode, 3);
  EXPECT_EQ(run.out, "Firmware: USB driver not installed. Cannot communicate.\n");
  EXPECT_THAT(run.err, HasSubstr("[Installation error...] Failed to load FTDI library...\n"
                                 "Velmora cannot be executed without preinstalled drivers"));
  EXPECT_THAT(run.err, HasSubstr("[Installation error] Please install FT232 USB driver."));
}

}  // namespace
