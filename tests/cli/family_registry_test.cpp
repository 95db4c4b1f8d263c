// A family added through the registry alone, in the test, reaches the command line: its name in
// the --family choices, its commands as subcommands (alone or sharing a word with other
// families'), its own options, and its result text; and it is refused what it does not offer.
#include "families/family_registry.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <sstream>
#include <vector>

#include "cli/cli_common.h"
#include "cli/cli_process.h"
#include "engine/cqel_doc.h"

namespace velmora {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;

// What the stub family's commands did, for the test to see.
struct StubRecord {
  std::vector<int> commandsRun;
  std::string knob;
};
StubRecord record;

class StubOperations final : public IFamilyOperations {
 public:
  explicit StubOperations(CqelDoc& doc) : doc_(doc) {}
  bool Prepare(int) override { return true; }
  void Run(int command) override {
    record.commandsRun.push_back(command);
    doc_.LogLine("stub command ran");
    doc_.lastOutcome = OperationOutcome::kSuccess;
  }
  std::string ResultText(int command) const override {
    return "stub result of command " + std::to_string(command);
  }

 private:
  CqelDoc& doc_;
};

constexpr FamilyCommand kStubCommands[] = {
    {.id = 0, .name = "probe", .help = "probe the stub", .onWorker = true, .inputs = 0},
    {.id = 1, .name = "erase chip", .help = "erase the stub", .onWorker = false, .inputs = 0},
};

const FamilyCliOption kStubOptions[] = {
    {.name = "--knob",
     .help = "turn the stub's knob",
     .takesValue = true,
     .commands = 1u << 0,
     .apply =
         [](CqelDoc&, const std::string& value, std::string& error) {
           if (value.empty()) {
             error = "needs a value";
             return false;
           }
           record.knob = value;
           return true;
         }},
};

constexpr int kStubPages[] = {100};

const FamilyRow kStubRow{
    .family = static_cast<Family>(42),
    .name = "stub",
    .title = "Stub family",
    .catalogue = nullptr,
    .commands = kStubCommands,
    .cliOptions = kStubOptions,
    .makeOperations = [](CqelDoc& doc) -> std::unique_ptr<IFamilyOperations> {
      return std::make_unique<StubOperations>(doc);
    },
    .pages = kStubPages,
    .startButtonId = 9001,
    .startButtonText = "Stub",
    .hexExtents = nullptr,
};

class FamilyRegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    record = {};
    dir_ = testing::ScratchDirectory("velmora-family-registry-");
    // The command line reads the stored settings; keep the user's out of the test.
    setenv("XDG_CONFIG_HOME", dir_.c_str(), 1);
    AddFamily(kStubRow);
  }
  void TearDown() override {
    ResetFamilies();
    std::filesystem::remove_all(dir_);
  }

  struct Result {
    int exitCode;
    std::string out;
  };
  // Builds the command line afresh from the registry and runs it on `arguments`.
  Result Run(std::vector<std::string> arguments) {
    CLI::App app{"test", "velmora-cli"};
    cli::CommandContext context;
    cli::BuildCommandLine(app, context);
    std::reverse(arguments.begin(), arguments.end());  // CLI11 takes them last first
    std::ostringstream out;
    std::streambuf* saved = std::cout.rdbuf(out.rdbuf());
    int exitCode = 0;
    try {
      app.parse(arguments);
      exitCode = context.exitCode;
    } catch (const CLI::ParseError& e) {
      exitCode = cli::kExitUsage;
    }
    std::cout.rdbuf(saved);
    return {exitCode, out.str()};
  }

  std::filesystem::path dir_;
};

TEST_F(FamilyRegistryTest, TheFamilyListAndItsCommandsComeFromTheRegistry) {
  CLI::App app{"test", "velmora-cli"};
  cli::CommandContext context;
  cli::BuildCommandLine(app, context);
  CLI::App* probe = app.get_subcommand("probe");
  ASSERT_NE(probe, nullptr);
  // The program's families first (PIC18 the default), the stub added after them.
  EXPECT_THAT(probe->help(), HasSubstr("device family: pic18 "));
  EXPECT_THAT(probe->help(), HasSubstr(" stub (default pic18)"));
  EXPECT_THAT(probe->help(), HasSubstr("--knob"));
  // A word the stub shares with PIC18 gets both families' choices; the option stays the stub's.
  EXPECT_THAT(app.get_subcommand("erase")->help(), HasSubstr("erase the stub"));
  EXPECT_THAT(app.get_subcommand("erase")->help(), Not(HasSubstr("--knob")));
}

TEST_F(FamilyRegistryTest, TheFamilysCommandsRunOnTheDocumentWithTheirOptions) {
  const Result probe = Run({"probe", "--family", "stub", "--knob", "7"});
  EXPECT_EQ(probe.exitCode, cli::kExitSuccess);
  EXPECT_THAT(probe.out, HasSubstr("stub command ran"));
  EXPECT_THAT(probe.out, HasSubstr("stub result of command 0"));
  EXPECT_EQ(record.knob, "7");

  const Result erase = Run({"erase", "chip", "--family", "stub"});
  EXPECT_EQ(erase.exitCode, cli::kExitSuccess);
  EXPECT_EQ(record.commandsRun, (std::vector<int>{0, 1}));
}

TEST_F(FamilyRegistryTest, WhatAFamilyDoesNotOfferIsBadUsage) {
  struct Case {
    std::vector<std::string> arguments;
  };
  for (const Case& c : {
           Case{{"program", "--family", "stub", "--hex", "x.hex"}},     // no such command
           Case{{"erase", "chip", "--family", "stub", "--knob", "1"}},  // option of probe only
           Case{{"probe", "--family", "pic18"}},                        // PIC18 has no probe
           Case{{"probe", "--family", "stub", "--knob", ""}},           // refused value
       }) {
    EXPECT_EQ(Run(c.arguments).exitCode, cli::kExitUsage) << c.arguments[0];
  }
  EXPECT_TRUE(record.commandsRun.empty());
}

}  // namespace
}  // namespace velmora
