// The executor of host subs without a programmer: RunSub's frame, flow statements, buffer
// statements with their address checks, checksums, messages and the abort request.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <future>
#include <thread>

#include "script/zeql_executor.h"
#include "script_test_support.h"
#include "support/scratch_directory.h"

namespace velmora {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::Not;

constexpr const char* kUndefinedCell = "You were accessing a non defined part of a memory array.";
constexpr const char* kNoMap = "No memory map to work with or wrong size value.";

class ExecutorTest : public ::testing::Test {
 protected:
  void SetUp() override { dir = testing::ScratchDirectory("zeql-run-"); }
  void TearDown() override { std::filesystem::remove_all(dir); }

  // Reads a script; the lines the run logs.
  void Read(const std::string& text) {
    const auto path = dir / "script.zeq";
    std::ofstream(path) << text;
    engine.ResetScript();
    engine.ReadScript(path.string());
    log.lines.clear();
  }
  // Runs the body as the sub "#Run"; its log lines without the execution time.
  std::vector<std::string> Run(const std::string& body, const std::string& more = "") {
    Read("sub #Run\n" + body + "\nend\n" + more);
    result = executor.RunSub("#Run");
    std::vector<std::string> lines = log.lines;
    EXPECT_FALSE(lines.empty());
    if (!lines.empty() && lines.back().rfind("Execution time ", 0) == 0) lines.pop_back();
    return lines;
  }
  int64_t Variable(const std::string& name) {
    const ZEQLVariable* variable = engine.FindVariable(name);
    EXPECT_NE(variable, nullptr) << name;
    return variable ? variable->value : 0;
  }
  int32_t Cell(ScriptBuffer buffer, uint32_t address) {
    return engine.Buffer(buffer).GetCell(address);
  }

  std::filesystem::path dir;
  testing::CollectingLog log;
  ScriptedPrompt prompt;
  VirtualClock clock;
  CZEQLEngine engine{log, prompt};
  CZEQLExecutor executor{engine, log, prompt, clock};
  int result = -1;
};

TEST_F(ExecutorTest, AMissingSubStillRunsInitAndCleanUp) {
  Read("sub #Init\n msg \"init\"\nend\nsub #CleanUp\n msg \"clean\"\nend\n");
  EXPECT_EQ(executor.RunSub("#Program"), sub_result::kAborted);
  EXPECT_THAT(log.lines, ElementsAre("init", "Sub does not exist", "clean", "Execution time 0.00"));
}

TEST_F(ExecutorTest, AFailedInitSkipsTheSubButNotCleanUp) {
  Read(
      "sub #Init\n bogus\nend\nsub #Program\n msg \"program\"\nend\n"
      "sub #CleanUp\n msg \"clean\"\nend\n");
  EXPECT_EQ(executor.RunSub("#Program"), sub_result::kAborted);
  EXPECT_THAT(log.lines, Not(Contains("program")));
  EXPECT_THAT(log.lines, Contains("Unknow command or wrong parameters."));
  EXPECT_THAT(log.lines, Contains("clean"));
}

TEST_F(ExecutorTest, SubsThatCallThemselvesAreRefused) {
  for (const char* script : {"sub #Run\n call #Run\nend\n",
                             "sub #Run\n call #Other\nend\nsub #Other\n call #Run\nend\n"}) {
    Read(script);
    EXPECT_EQ(executor.RunSub("#Run"), sub_result::kAborted);
    EXPECT_THAT(log.lines, Contains("ZEQL is not re-entrant")) << script;
    EXPECT_THAT(log.lines, Contains("Execution abort.")) << script;
  }
}

TEST_F(ExecutorTest, ExitEndsTheRunFromACalledSub) {
  EXPECT_THAT(Run(" call #Inner\n msg \"after\"", "sub #Inner\n exit\n msg \"inner\"\nend\n"),
              ElementsAre());
  EXPECT_EQ(result, sub_result::kExited);
}

struct FlowCase {
  const char* body;
  std::vector<std::string> lines;
};

class ExecutorFlow : public ExecutorTest, public ::testing::WithParamInterface<FlowCase> {};

TEST_P(ExecutorFlow, Lines) {
  EXPECT_EQ(Run(GetParam().body), GetParam().lines);
}

INSTANTIATE_TEST_SUITE_P(
    Loops, ExecutorFlow,
    ::testing::Values(FlowCase{" loop 1\n msg \"x\"\n lend", {"x"}},
                      FlowCase{" loop 3\n msg \"x\"\n lend\n msg \"end\"", {"x", "x", "x", "end"}},
                      // Counts below 1 run no body instead of counting down through zero.
                      FlowCase{" loop 0\n msg \"x\"\n lend\n msg \"end\"", {"end"}},
                      FlowCase{" loop -5\n msg \"x\"\n lend\n msg \"end\"", {"end"}},
                      FlowCase{" n = 0\n loop 2\n loop 3\n n = n + 1\n lend\n lend\n msg n",
                               {"6"}}));

TEST_F(ExecutorTest, ALendWithoutItsLoopWarnsAndGoesOn) {
  const std::vector<std::string> lines = Run(" msg \"a\"\n lend\n msg \"b\"");
  EXPECT_EQ(result, sub_result::kEnded);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[1].rfind("Warning: File \"", 0), 0u);
  EXPECT_EQ(lines[2], "\tlend");
  EXPECT_EQ(lines[3], "lend without corresponding loop command");
  EXPECT_EQ(lines[4], "b");
}

INSTANTIATE_TEST_SUITE_P(
    Branches, ExecutorFlow,
    ::testing::Values(
        FlowCase{" if 1\n msg \"then\"\n else\n msg \"else\"\n endif", {"then"}},
        FlowCase{" if 0\n msg \"then\"\n else\n msg \"else\"\n endif", {"else"}},
        FlowCase{" if 0\n msg \"then\"\n endif\n msg \"after\"", {"after"}},
        FlowCase{" if 0\n if 1\n msg \"inner\"\n else\n msg \"x\"\n endif\n else\n msg \"outer\"\n "
                 "endif",
                 {"outer"}},
        FlowCase{" n = 3\nagain:\n msg n\n n = n - 1\n if n goto again", {"3", "2", "1"}},
        FlowCase{" if 0 goto nowhere\n msg \"on\"", {"on"}}));

struct ErrorCase {
  const char* body;
  const char* message;
};

class ExecutorErrors : public ExecutorTest, public ::testing::WithParamInterface<ErrorCase> {};

// Each error is told after the location lines and aborts the sub.
TEST_P(ExecutorErrors, LocationMessageAbort) {
  const std::vector<std::string> lines = Run(std::string(GetParam().body) + "\n msg \"not here\"");
  EXPECT_EQ(result, sub_result::kAborted);
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(lines[lines.size() - 4].rfind("Error in File \"", 0), 0u) << lines[0];
  EXPECT_EQ(lines[lines.size() - 2], GetParam().message);
  EXPECT_EQ(lines.back(), "Execution abort.");
}

INSTANTIATE_TEST_SUITE_P(
    Statements, ExecutorErrors,
    ::testing::Values(ErrorCase{" if 1 goto nowhere", "Label not found"},
                      ErrorCase{" if 1\n msg \"x\"", "Label not found"},
                      ErrorCase{" loop 2\n msg \"x\"", "Label not found"},
                      ErrorCase{" call #Nothing", "Sub not found."},
                      ErrorCase{" frobnicate 1", "Unknow command or wrong parameters."},
                      ErrorCase{" x = 1 @", "The right expression is neither numeric nor text."},
                      ErrorCase{" send 0x12345678, 5", "Variables are max 32bit = 4 bytes"},
                      ErrorCase{" send 1, 0", "Variables are max 32bit = 4 bytes"},
                      ErrorCase{" load 5", "Please choose between file 1 to 4."},
                      ErrorCase{" save 0", "Please choose between file 1 to 4."},
                      ErrorCase{" clear file, -1", "Size is negativ"},
                      ErrorCase{" add flash, 2", "Unknown memory variable."},
                      ErrorCase{" compare rom, temp, 4", "Unknown left memory variable."},
                      ErrorCase{" compare file, rom, 4", "Unknown right memory variable."},
                      ErrorCase{" copy temp, file, 1\n copy 1, x, 5", kNoMap},
                      ErrorCase{" copy file, x, 0", kNoMap}));

// Every buffer statement checks its cells against the address map, with the address as the
// 64-bit value the script computed: an address beyond 32 bits never wraps onto cell 0, and a
// count beyond what an image holds is refused before any cell is touched.
INSTANTIATE_TEST_SUITE_P(
    AddressMap, ExecutorErrors,
    ::testing::Values(ErrorCase{" file = 0x400000\n [file] = 1", kUndefinedCell},
                      ErrorCase{" file = 0x100000000\n [file] = 1", kUndefinedCell},
                      ErrorCase{" file = -1\n [file] = 1", kUndefinedCell},
                      ErrorCase{" file = 0x300000 + 13\n clear file, 2", kUndefinedCell},
                      ErrorCase{" temp = 0xFFFFFFFF\n copy file, temp, 2", kUndefinedCell},
                      ErrorCase{" file = 0x200007\n copy 0x1234, file, 2", kUndefinedCell},
                      ErrorCase{" file = 0x7FFFFFFFFFFFFFFF\n clear file, 2", kUndefinedCell},
                      ErrorCase{" file = 0x1FFFFF\n send [file], 2", kUndefinedCell},
                      ErrorCase{" chip = 0xF0FFFF\n get [chip], 2", kUndefinedCell},
                      ErrorCase{" send [file], 0x7FFFFFFFFFFFFFFF", kNoMap},
                      ErrorCase{" get [chip], 0x100000000", kNoMap},
                      ErrorCase{" copy file, temp, 0x100000000", kNoMap},
                      ErrorCase{" clear file, 0x7FFFFFFFFFFFFFFF", kNoMap},
                      ErrorCase{" compare file, temp, 0x10000000", kNoMap},
                      ErrorCase{" isFF file, 0x10000000", kNoMap},
                      ErrorCase{" isEmpty file, -1", kNoMap},
                      ErrorCase{" checksum file, 0x10000000, 4", kNoMap}));

TEST_F(ExecutorTest, AWriteBeyondTheMapLeavesTheImageAlone) {
  Run(" [file] = 0x11\n file = 0x100000000\n [file] = 0x22");
  EXPECT_EQ(Cell(ScriptBuffer::kFile, 0), 0x11);
  Run(" temp = 0x200006\n copy 0xAABBCCDD, temp, 4");
  EXPECT_EQ(Cell(ScriptBuffer::kTemp, 0x200006), kBlankCell);  // nothing of the copy is stored
}

TEST_F(ExecutorTest, CompareGivesTheFirstDifferenceInTheFirstRange) {
  const std::string fill =
      " file = 0x100\n copy 0x030201, file, 3\n temp = 0x200\n copy 0x030201, temp, 3\n";
  EXPECT_THAT(Run(fill + " compare file, temp, 3\n msg _result"), ElementsAre("-1"));
  EXPECT_THAT(Run(fill + " temp = 0x202\n [temp] = 9\n temp = 0x200\n"
                         " compare file, temp, 3\n msg _result"),
              ElementsAre(std::to_string(0x102)));
}

TEST_F(ExecutorTest, ChecksumKinds) {
  const std::string fill = " copy 0x030201, file, 3\n";
  EXPECT_THAT(Run(fill + " checksum file, 3, 4\n msg _result"), ElementsAre("6"));
  // Blank cells count as the mask byte, so a word of 1, 2, 3 and a blank is 0xFF030201.
  EXPECT_THAT(Run(fill + " checksum file, 4, 32\n msg $_result"), ElementsAre("0xFF030201"));
  // The CRC-16/CCITT-FALSE check value of "123456789".
  EXPECT_THAT(Run(" copy 0x34333231, file, 4\n file = 4\n copy 0x38373635, file, 4\n file = 8\n"
                  " copy 0x39, file, 1\n file = 0\n checksum file, 9, 63\n msg $_result"),
              ElementsAre("0x29B1"));
  EXPECT_THAT(Run(" _result = 5\n checksum file, 9, 7\n msg _result"), ElementsAre("5"));
  // Past the 32-bit address space cells read as 0, without wrapping around.
  EXPECT_THAT(Run(fill + " file = 0xFFFFFFFF\n checksum file, 3, 4\n msg _result"),
              ElementsAre("0"));
  // The masks stay with the buffers.
  EXPECT_THAT(Run(fill + " mask 0xFF, 0xFF, 0xFF, 0x0F\n checksum file, 4, 32\n msg $_result"),
              ElementsAre("0xF030201"));
}

TEST_F(ExecutorTest, ErasedAndEmptyChecksGiveTheHighestDifference) {
  EXPECT_THAT(Run(" isFF file, 16\n msg _result\n isEmpty file, 16\n msg _result"),
              ElementsAre("-1", "-1"));
  EXPECT_THAT(Run(" file = 3\n [file] = 0xFF\n file = 5\n [file] = 0x7F\n file = 0\n"
                  " isFF file, 16\n msg _result\n isEmpty file, 16\n msg _result"),
              ElementsAre("5", "5"));
  // With a mask, a cell is erased when every bit of its lane is set.
  EXPECT_THAT(Run(" mask 0xFF, 0x3F, 0xFF, 0xFF\n file = 1\n [file] = 0x3F\n file = 0\n"
                  " isFF file, 4\n msg _result"),
              ElementsAre("-1"));
}

TEST_F(ExecutorTest, CopyMovesCellsBetweenBuffersAndVariables) {
  Run(" copy 0x1234, file, 2\n copy file, temp, 2\n copy temp, v, 2\n msg $v\n"
      " chip = 1\n copy file, chip, 3");
  EXPECT_THAT(log.lines, Contains("0x1234"));
  EXPECT_EQ(Cell(ScriptBuffer::kTemp, 1), 0x12);
  EXPECT_EQ(Cell(ScriptBuffer::kChip, 1), 0x34);
  EXPECT_EQ(Cell(ScriptBuffer::kChip, 3), kBlankCell);
}

TEST_F(ExecutorTest, CompiledSubsRunOnlyOnceUploaded) {
  Run(" call *Code", "sub *Code\n A0 = 1\nend\n");
  EXPECT_EQ(result, sub_result::kAborted);
  EXPECT_THAT(log.lines,
              Contains("The algorithm is not in the programmer. Compile it without errors or "
                       "warnings."));
}

TEST_F(ExecutorTest, AddressValuesAndCells) {
  EXPECT_THAT(Run(" file = 0x10\n add file, 6\n sub file, 2\n msg $file\n [file] = 0x1AB\n"
                  " msg $[file]\n clear file, 1\n msg $[file]\n msg $temp, \" \", $chip"),
              ElementsAre("0x14", "0xAB", "0xFF", "0x0 0x0"));
  // Every run starts its address values and `_result` at 0.
  EXPECT_THAT(Run(" msg file, _result"), ElementsAre("00"));
}

TEST_F(ExecutorTest, MessagesJoinTheirItems) {
  EXPECT_THAT(Run(" name = \"PIC\"\n msg \"Device \", name, \": \", 6 * 7, \" \", $255"),
              ElementsAre("Device PIC: 42 0xFF"));
  EXPECT_THAT(Run(" msg"), ElementsAre(""));
}

TEST_F(ExecutorTest, DumpShowsSixteenBytesALine) {
  Run(" copy 0x4241, file, 2\n file = 16\n [file] = 0x1F\n file = 0\n dump file, 17, 0x100");
  ASSERT_EQ(log.lines.size(), 3u);  // two rows and the time
  EXPECT_EQ(log.lines[0],
            "00000100:\t41\t42\t--\t--\t--\t--\t--\t--\t--\t--\t--\t--\t--\t--\t--\t--"
            "\tA\tB\t.\t.\t.\t.\t.\t.\t.\t.\t.\t.\t.\t.\t.\t.");
  EXPECT_EQ(log.lines[1], "00000110:\t1F\t.");
  Run(" dump file, 0x10001, 0\n dump file, -1, 0");
  EXPECT_EQ(log.lines.size(), 1u);  // only the time
}

TEST_F(ExecutorTest, ConstantsCannotBeOverwritten) {
  Read("_limit = 5\nsub #Run\n _limit = 6\n msg \"not here\"\nend\n");
  EXPECT_EQ(executor.RunSub("#Run"), sub_result::kAborted);
  EXPECT_THAT(log.lines, Contains("You cannot overwrite constant variables."));
  EXPECT_THAT(log.lines, Not(Contains("not here")));
}

TEST_F(ExecutorTest, HexFilesInAndOut) {
  Read(
      "sub #Run\n copy 0x0201, file, 2\n save 2, file\n msg _error\n clear file\n load 2\n"
      " msg _error\n msg $[file], \" \", _filename\n load 3\n msg _error\nend\n");
  engine.SetFileName(1, (dir / "out.hex").string());
  engine.SetFileName(2, (dir / "missing.hex").string());
  EXPECT_EQ(executor.RunSub("#Run"), sub_result::kEnded);
  EXPECT_EQ(log.lines[0], "0");
  EXPECT_EQ(log.lines[1], "0");
  EXPECT_EQ(log.lines[2], "0x1 " + (dir / "out.hex").string());
  EXPECT_THAT(log.lines,
              Contains("Unable to read .hex file \"" + (dir / "missing.hex").string() + "\"."));
  EXPECT_THAT(log.lines, Contains("1"));
  // `save` alone asks where; a cancelled dialog saves nothing.
  prompt.SetHexSaveChoice(std::nullopt);
  EXPECT_THAT(Run(" save"), ElementsAre("+++ Data saving canceled +++"));
  prompt.SetHexSaveChoice(HexSaveChoice{(dir / "asked.hex").string(), false});
  EXPECT_THAT(Run(" [chip] = 1\n save"), ElementsAre("*** Data successfully saved as \"" +
                                                     (dir / "asked.hex").string() + "\" ***"));
}

TEST_F(ExecutorTest, StatusRecordsGoToTheReceiver) {
  std::vector<ScriptStatus> records;
  executor.SetStatusReceiver([&](const ScriptStatus& s) { records.push_back(s); });
  Run(" status \"Erasing\", 2000, 1, 2, 3\n text = \"Reading\"\n status text, 10, 4\n"
      " status missing, 5, 6\n n = 1\n status n, 1, 1");
  ASSERT_EQ(records.size(), 3u);
  EXPECT_EQ(records[0].text, "Erasing");
  EXPECT_EQ(records[0].position, 1000);
  EXPECT_EQ(records[0].barColour, 1);
  EXPECT_EQ(records[0].filledTextColour, 2);
  EXPECT_EQ(records[0].emptyTextColour, 3);
  EXPECT_EQ(records[1].text, "Reading");
  EXPECT_EQ(records[1].filledTextColour, 0xFFFFFF);
  EXPECT_EQ(records[1].emptyTextColour, 0);
  EXPECT_EQ(records[2].text, "");
  EXPECT_THAT(log.lines, Contains("Variable not found"));
  EXPECT_THAT(log.lines, Contains("Status does not contain any status information..."));
}

TEST_F(ExecutorTest, AnAbortRequestEndsAnEndlessSub) {
  Read("sub #Run\nagain:\n status \"tick\", 0, 0\n goto_flag = 1\n if 1 goto again\nend\n");
  std::promise<void> running;
  bool told = false;
  executor.SetStatusReceiver([&](const ScriptStatus&) {
    if (!told) running.set_value();
    told = true;
  });
  std::future<int> run = std::async(std::launch::async, [this] { return executor.RunSub("#Run"); });
  running.get_future().wait();
  executor.RequestAbort();
  EXPECT_EQ(run.get(), sub_result::kAborted);
  EXPECT_THAT(log.lines, Contains("Execution abort."));
  // Later runs end the same way, at their first line.
  Read("sub #Run\n msg \"x\"\nend\n");
  EXPECT_EQ(executor.RunSub("#Run"), sub_result::kAborted);
  EXPECT_THAT(log.lines, Not(Contains("x")));
}

}  // namespace
}  // namespace velmora
