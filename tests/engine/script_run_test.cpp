// Script runs through the document on the simulated full programmer: the host sub named by the
// script view, the option variables, the status records on the bar, the algorithm a script
// asks for, and the byte exchange with compiled code.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <future>
#include <mutex>

#include "script/zeql_engine.h"
#include "script/zeql_executor.h"
#include "support/document_fixture.h"

namespace velmora::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::Not;

class ScriptRunTest : public DocumentSimTest {
 protected:
  void SetUp() override {
    DocumentSimTest::SetUp();
    Start("PIC18F4550", false, {{"firmware", "FW 3"}});
  }

  // Reads and compiles a script as the script view does: with the programmer open, the
  // algorithm area known, the code uploaded.
  void Compile(const std::string& text) {
    const std::string path = (dir_ / "algorithm.zeq").string();
    std::ofstream(path) << text;
    CZEQLEngine& engine = *doc_->scriptEngine;
    ASSERT_EQ(doc_->programmer->Open(doc_->usbDescription, 0), 1);
    ASSERT_EQ(doc_->programmer->ReadScriptState(), 1);
    engine.ResetScript();
    engine.ReadScript(path);
    engine.Compile();
    doc_->programmer->Close();
    doc_->zeqAlgorithmFiles[0] = path;
  }

  OperationOutcome RunScript(const std::string& name) {
    ResetRecords();
    MarkTranscript();
    EXPECT_TRUE(doc_->StartScriptFunction(name));
    doc_->WaitForOperation();
    return doc_->lastOutcome;
  }
};

TEST_F(ScriptRunTest, AnEmptyNameHasNothingToDoAndOpensNothing) {
  EXPECT_EQ(RunScript(""), OperationOutcome::kNotStarted);
  EXPECT_THAT(Log(), ElementsAre("Nothing to do.", ""));
  EXPECT_TRUE(Commands().empty());
}

TEST_F(ScriptRunTest, OptionsBecomeVariablesThatReplaceHeaderConstants) {
  Compile(
      "_eraseChip = 7\n"
      "sub #Show\tentry\n"
      " msg _LVP, _fastVerify, _noVerify, _eraseChip, _programFlash\n"
      " msg _programEEPROM, _programID, _programConfig, _ignoreConfigFromHex\n"
      "end\n");
  doc_->zeqOptions.fill(0);
  doc_->zeqOptions[kZeqLvp] = 1;
  doc_->zeqOptions[kZeqNoVerify] = 1;
  doc_->zeqOptions[kZeqProgramMemory] = 1;
  doc_->zeqOptions[kZeqProgramIdLocation] = 1;
  doc_->zeqOptions[kZeqIgnoreConfigFromHex] = 1;
  EXPECT_EQ(RunScript("Show"), OperationOutcome::kSuccess);
  const std::vector<std::string> log = Log();
  EXPECT_THAT(log, Contains("10101"));
  EXPECT_THAT(log, Contains("0101"));
  EXPECT_EQ(log.back().rfind("Execution time ", 0), 0u) << log.back();
  // The cycle around the run; with "_LVP" set no programming voltage is switched on.
  const std::vector<std::vector<uint8_t>> commands = Commands();
  ASSERT_GE(commands.size(), 3u);
  EXPECT_EQ(commands[commands.size() - 3], std::vector<uint8_t>{0x0A});
  EXPECT_EQ(commands[commands.size() - 2], std::vector<uint8_t>{0x06});
  EXPECT_EQ(commands.back(), std::vector<uint8_t>{0x0B});
}

TEST_F(ScriptRunTest, HighVoltageScriptsSwitchTheProgrammingVoltageLine) {
  Compile("sub #Run\tentry\n msg \"run\"\nend\n");
  doc_->zeqOptions[kZeqLvp] = 0;
  EXPECT_EQ(RunScript("Run"), OperationOutcome::kSuccess);
  const std::vector<std::vector<uint8_t>> commands = Commands();
  ASSERT_GE(commands.size(), 4u);
  EXPECT_EQ(commands[commands.size() - 2], std::vector<uint8_t>{0x00});
  EXPECT_EQ(commands.back(), std::vector<uint8_t>{0x0B});
}

TEST_F(ScriptRunTest, AMissingSubFails) {
  Compile("sub #Run\tentry\n msg \"run\"\nend\n");
  EXPECT_EQ(RunScript("Program"), OperationOutcome::kFailed);
  EXPECT_THAT(Log(), Contains("Sub does not exist"));
}

TEST_F(ScriptRunTest, AScriptTellsItsFailureThroughError) {
  Compile(
      "sub #Check\tentry\n msg \"verify error\"\n _error = 1\n exit\nend\n"
      "sub #Fine\tentry\n msg \"fine\"\nend\n");
  EXPECT_EQ(RunScript("Check"), OperationOutcome::kFailed);
  // The next run starts without the earlier failure.
  EXPECT_EQ(RunScript("Fine"), OperationOutcome::kSuccess);
}

TEST_F(ScriptRunTest, StatusRecordsDriveTheBar) {
  Compile(
      "sub #Run\tentry\n"
      " status \"Programming\", 1500, 0x00FF00, 0x000000, 0xFFFFFF\n"
      "end\n"
      "sub #Full\tentry\n"
      " label = \"Reading\"\n"
      " status label, -1, 0x0000FF\n"
      "end\n");
  EXPECT_EQ(RunScript("Run"), OperationOutcome::kSuccess);
  ProgressBarState bar = doc_->progressBar.State();
  EXPECT_EQ(bar.caption, "Programming");
  EXPECT_EQ(bar.position, 1000);  // limited to 1000
  EXPECT_EQ(bar.barColour, 0x00FF00);
  EXPECT_EQ(bar.filledTextColour, 0x000000);
  EXPECT_EQ(bar.emptyTextColour, 0xFFFFFF);
  EXPECT_EQ(RunScript("Full"), OperationOutcome::kSuccess);
  bar = doc_->progressBar.State();
  EXPECT_EQ(bar.caption, "Reading");
  EXPECT_EQ(bar.position, bar.maximum);
  EXPECT_EQ(bar.barColour, 0x0000FF);
  EXPECT_EQ(bar.filledTextColour, 0xFFFFFF);  // the defaults
  EXPECT_EQ(bar.emptyTextColour, 0);
}

TEST_F(ScriptRunTest, AnotherStatusKindLeavesTheBarAlone) {
  const ProgressBarState before = doc_->progressBar.State();
  ScriptStatus status;
  status.kind = 0x35;
  status.text = "Other";
  doc_->OnScriptStatus(status);
  EXPECT_EQ(doc_->progressBar.State(), before);
}

TEST_F(ScriptRunTest, AScriptAskingForAnotherAlgorithmNamesItInTheSameFolder) {
  Compile(
      "sub #Run\tentry\n _algorithm = \"pic18f2550.zeq\"\nend\n"
      "sub #Quiet\tentry\n _algorithm = \"\"\nend\n");
  const std::string folder = dir_.string();
  EXPECT_EQ(RunScript("Quiet"), OperationOutcome::kSuccess);
  EXPECT_TRUE(prompt_.Records().empty());
  EXPECT_EQ(RunScript("Run"), OperationOutcome::kSuccess);
  ASSERT_EQ(prompt_.Records().size(), 1u);
  EXPECT_EQ(prompt_.Records()[0].text,
            "Wrong algorithm detected. Loading new algorithm.\n\"pic18f2550.zeq\"");
  EXPECT_EQ(prompt_.Records()[0].caption, "Wrong algorithm");
  EXPECT_EQ(doc_->zeqAlgorithmFiles[0], (dir_ / "pic18f2550.zeq").string());
}

TEST_F(ScriptRunTest, HostAndCompiledCodeExchangeBytes) {
  Compile(
      "sub *Echo\n get A0\n add A0, 1\n send A0\nend\n"
      "sub #Run\tentry\n call *Echo\n send 0x41\n get answer, 1\n msg \"answer \", $answer\nend\n");
  ASSERT_TRUE(doc_->scriptEngine->CodeUploaded());
  EXPECT_EQ(RunScript("Run"), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), Contains("answer 0x42"));
  const CZEQLSub* echo = doc_->scriptEngine->FindSub(doc_->scriptEngine->RegisterSubs(), "*Echo");
  ASSERT_NE(echo, nullptr);
  const std::string call =
      HexText({0x19, uint8_t(echo->codeAddress >> 8), uint8_t(echo->codeAddress), 0x41});
  EXPECT_THAT(Bytes("write"), Contains(call));
}

// Eight bytes to compiled code and back, each one more.
constexpr const char* kEchoScript =
    "sub *Echo\n loop R0, 8\n get A0\n add A0, 1\n send A0\n lend\nend\n"
    "sub #Run\tentry\n call *Echo\n n = 1\n loop 8\n send n\n n = n + 1\n lend\n"
    " chip = 0x10\n get [chip], 8\n msg \"done \", $chip\nend\n";

// Bytes through the cable since the simulator started: the budget its unplug fault counts.
size_t TrafficBytes(const nlohmann::json& transcript) {
  size_t bytes = 0;
  for (const auto& event : transcript["events"]) {
    if (event["op"] == "write") bytes += event["written"].get<size_t>();
    if (event["op"] == "read") bytes += (event.value("bytes", std::string()).size() + 1) / 3;
  }
  return bytes;
}

TEST_F(ScriptRunTest, CompiledCodeAnswersIntoTheChipBuffer) {
  Compile(kEchoScript);
  EXPECT_EQ(RunScript("Run"), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), Contains("done 0x18"));
  for (uint32_t i = 0; i < 8; ++i) {
    EXPECT_EQ(doc_->scriptEngine->Buffer(ScriptBuffer::kChip).GetCell(0x10 + i), int32_t(i + 2));
  }
}

// Pulling the cable at any byte of a script run: the run ends, fails, never shows "Success",
// and no byte read after the loss reaches the buffer.
TEST_F(ScriptRunTest, AnUnplugSweepNeverEndsInSuccess) {
  Compile(kEchoScript);
  const size_t compiled = TrafficBytes(Transcript());
  ASSERT_EQ(RunScript("Run"), OperationOutcome::kSuccess);
  const size_t total = TrafficBytes(Transcript());
  ASSERT_GT(total, compiled);
  for (size_t unplug = compiled; unplug < total; ++unplug) {
    SCOPED_TRACE("unplugged after " + std::to_string(unplug) + " bytes");
    Start("PIC18F4550", false, {{"firmware", "FW 3"}, {"faults", {{"unplugAfterBytes", unplug}}}});
    Compile(kEchoScript);
    const OperationOutcome outcome = RunScript("Run");
    EXPECT_NE(outcome, OperationOutcome::kSuccess);
    EXPECT_THAT(captions_, Not(Contains("Success")));
    if (outcome == OperationOutcome::kFailed) {
      EXPECT_THAT(Log(), Contains("+++ Connection to the programmer lost +++"));
    }
    // Only the cycle's last byte may be lost after the sub got all its bytes.
    const bool done = ::testing::Matches(Contains("done 0x18"))(Log());
    EXPECT_TRUE(!done || unplug == total - 1);
    const CMCUMemoryArchitecture& chip = doc_->scriptEngine->Buffer(ScriptBuffer::kChip);
    for (uint32_t i = 0; i < 8; ++i) {
      const int32_t cell = chip.GetCell(0x10 + i);
      EXPECT_TRUE(cell == kBlankCell || cell == int32_t(i + 2)) << i;
    }
    EXPECT_EQ(doc_->programmer->ftHandle.load(), nullptr);
    EXPECT_FALSE(doc_->OperationRunning());
  }
}

TEST_F(ScriptRunTest, ClosingTheDocumentStopsAnEndlessScript) {
  Compile("sub #Run\tentry\nagain:\n status \"tick\", 0, 0\n if 1 goto again\nend\n");
  std::promise<void> running;
  std::once_flag once;
  doc_->progressBar.AddObserver([&](const ProgressBarState& s) {
    if (s.caption == "tick") std::call_once(once, [&] { running.set_value(); });
  });
  ASSERT_TRUE(doc_->StartScriptFunction("Run"));
  running.get_future().wait();
  doc_.reset();  // returns once the script has ended
  SUCCEED();
}

TEST_F(ScriptRunTest, AStopRequestEndsAnEndlessScriptInFailure) {
  Compile("sub #Run\tentry\nagain:\n status \"tick\", 0, 0\n if 1 goto again\nend\n");
  std::promise<void> running;
  std::once_flag once;
  doc_->progressBar.AddObserver([&](const ProgressBarState& s) {
    if (s.caption == "tick") std::call_once(once, [&] { running.set_value(); });
  });
  ResetRecords();
  ASSERT_TRUE(doc_->StartScriptFunction("Run"));
  running.get_future().wait();
  doc_->RequestStop();
  doc_->WaitForOperation();
  EXPECT_EQ(doc_->lastOutcome, OperationOutcome::kFailed);
  EXPECT_THAT(Log(), Contains("Execution abort."));
}

TEST_F(ScriptRunTest, ABusyDocumentRefusesTheRun) {
  Compile("sub #Run\tentry\n msg \"run\"\nend\n");
  std::promise<void> release;
  ASSERT_TRUE(doc_->StartOperation([done = release.get_future().share()] { done.wait(); }));
  EXPECT_FALSE(doc_->StartScriptFunction("Run"));
  EXPECT_EQ(doc_->lastOutcome, OperationOutcome::kNotStarted);
  release.set_value();
  doc_->WaitForOperation();
}

}  // namespace
}  // namespace velmora::testing
