// Reading and compiling scripts: header variables, ports, includes, subs by prefix, the pass
// loop, specialised copies, statement messages and the compiler's log.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "script/programmer_cpu/zeql_pic18.h"
#include "script/script_text.h"
#include "script/zeql_engine.h"
#include "script_test_support.h"
#include "support/scratch_directory.h"

namespace velmora {
namespace {

constexpr int kStart = 0x1000;
constexpr int kEnd = 0x2000;

class CompilerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = testing::ScratchDirectory("zeql-compile-");
    auto generator = std::make_unique<CZEQLPIC18>(engine);
    generator->SetFirmwareAddresses(0x0F00, 0x0E80, 0x0E00);
    engine.SetGenerator(std::move(generator));
    ASSERT_TRUE(engine.SetCodeArea(kStart, kEnd));
  }

  std::string Write(const std::string& name, const std::string& text) {
    const auto path = dir / name;
    std::ofstream(path) << text;
    return path.string();
  }

  // Reads and compiles a script; the log lines from the compiler's banner on.
  std::vector<std::string> Compile(const std::string& text) {
    engine.ResetScript();
    engine.ReadScript(Write("script.zeq", text));
    log.lines.clear();
    engine.Compile();
    return log.lines;
  }

  bool LogHas(const std::string& line) const {
    return std::find(log.lines.begin(), log.lines.end(), line) != log.lines.end();
  }

  uint16_t WordAt(int offset) {
    return static_cast<uint16_t>(engine.CodeImage()[static_cast<size_t>(offset)] |
                                 (engine.CodeImage()[static_cast<size_t>(offset) + 1] << 8));
  }

  std::filesystem::path dir;
  testing::CollectingLog log;
  ScriptedPrompt prompt;
  CZEQLEngine engine{log, prompt};
};

TEST_F(CompilerTest, ReadsHeaderVariablesPortsAndSubsByPrefix) {
  engine.ReadScript(Write("a.zeq",
                          "_name = \"PIC12X\" ; device\n"
                          "count = R0:1\n"
                          "port DATA pgd invert\n"
                          "port c pgc clean\n"
                          "sub #Program\tentry\n  msg \"hi\"\nend\n"
                          "sub *Main entry\n  A0 = 1\nEND\n"
                          "sub @Clock\n  CLK = 1\n  CLK = 0\nend\n"
                          "sub !Other\n  nop\nend\n"
                          "sub @Clock\n  CLK = 1\nend\n"));
  EXPECT_EQ(engine.FindVariable("_name")->text, "\"PIC12X\"");
  EXPECT_TRUE(engine.FindVariable("count")->constant);
  EXPECT_EQ(engine.Signals()[1].alias, "pgd");
  EXPECT_TRUE(engine.Signals()[1].invert);
  EXPECT_TRUE(engine.Signals()[0].clean);
  ASSERT_EQ(engine.HostSubs().size(), 1u);
  EXPECT_TRUE(engine.HostSubs()[0]->entry);
  ASSERT_EQ(engine.RegisterSubs().size(), 1u);
  // Blanks after "sub" do not separate: the name holds " entry" and the flag stays clear.
  EXPECT_EQ(engine.RegisterSubs()[0]->name, "*Main entry");
  EXPECT_FALSE(engine.RegisterSubs()[0]->entry);
  ASSERT_EQ(engine.PinSubs().size(), 1u);
  ASSERT_EQ(engine.PinSubs()[0]->lines->size(), 1u);  // the later definition wins
  EXPECT_EQ(engine.PinSubs()[0]->lines->front().lineNumber, 19);
  EXPECT_EQ(engine.ErrorCount(), 0);
}

TEST_F(CompilerTest, PortOfUnknownSignalIsAnError) {
  engine.ReadScript(Write("p.zeq", "port NOPE alias\n"));
  EXPECT_EQ(engine.ErrorCount(), 1);
  EXPECT_EQ(log.lines.back(), "Error in port definition");
}

TEST_F(CompilerTest, IncludesReadFromTheIncludingFilesDirectory) {
  std::filesystem::create_directories(dir / "lib");
  Write("lib/common.zeq", "shared = 7\nsub @Pulse\n CLK = 1\nend\n");
  engine.ReadScript(Write("main.zeq", "libname = \"lib/common.zeq\"\n#include libname\n"));
  EXPECT_EQ(engine.VariableValue("shared"), 7);
  EXPECT_EQ(engine.PinSubs().size(), 1u);
}

TEST_F(CompilerTest, IncludeCyclesAndNonStringsAreIncludeErrors) {
  Write("b.zeq", "#include \"a.zeq\"\nb = 2\n");
  engine.ReadScript(Write("a.zeq", "#include \"b.zeq\"\na = 1\n#include 5\n"));
  EXPECT_EQ(std::count(log.lines.begin(), log.lines.end(), "Include error"), 2);
  EXPECT_EQ(engine.VariableValue("a"), 1);
  EXPECT_EQ(engine.VariableValue("b"), 2);
}

TEST_F(CompilerTest, MissingFileIsReported) {
  engine.ReadScript((dir / "none.zeq").string());
  ASSERT_EQ(prompt.Records().size(), 1u);
  EXPECT_EQ(prompt.Records()[0].caption, "Programmer Error!");
  EXPECT_EQ(log.lines.back(), "File not found :\"" + (dir / "none.zeq").string() + "\"");
}

TEST_F(CompilerTest, SuccessfulCompileLogsPassesAndTheCodeImageHoldsTheEndOffset) {
  const auto lines = Compile("_name = \"PIC12X\"\nsub *Main\n A0 = 5\nend\n");
  EXPECT_EQ(lines, (std::vector<std::string>{"", "ZEQL compiler for the programmer's PIC18",
                                             "Compiling for PIC12X ...",
                                             "Compiled successfully. (2)", "Uploading Algorithm",
                                             "System Error: No programmer defined."}));
  EXPECT_EQ(WordAt(kStart), kEnd);
  EXPECT_EQ(WordAt(kStart + 2), 0x0E05);  // movlw 5
  EXPECT_EQ(WordAt(kStart + 4), 0x6E20);  // movwf A0
  EXPECT_EQ(WordAt(kStart + 6), 0x0012);  // return
  EXPECT_EQ(engine.CodeImage()[kStart + 8], 0xFF);
}

TEST_F(CompilerTest, ForwardLabelResolvesFromTheSecondPass) {
  Compile("sub *Main\n be A0, 1, done\n A1 = 2\ndone:\n A2 = 3\nend\n");
  EXPECT_TRUE(LogHas("Compiled successfully. (3)")) << log.Joined();
  // movf A0,W; sublw 1; bz done; movlw 2; movwf A1; done: movlw 3 ...
  EXPECT_EQ(WordAt(kStart + 6), 0xE002);
}

TEST_F(CompilerTest, UnknownLabelFailsInTheSecondPass) {
  Compile("sub *Main\n bne A0, 1, nowhere\nend\n");
  EXPECT_TRUE(LogHas("\tLabel >> nowhere << not found."));
  EXPECT_EQ(log.lines.back(), "1 error(s), 0 warning(s). Compilation failed!");
}

TEST_F(CompilerTest, WarningsCompileButUploadNothing) {
  const auto lines = Compile("sub *Main\n A0 = 1 + undefined\nend\n");
  // Every pass evaluates the line again: the warning is counted in both passes.
  EXPECT_EQ(lines[lines.size() - 2], "Compiled successfully. (2 warings)");
  EXPECT_EQ(lines.back(),
            "Nothing uploaded: compiled subs cannot run until the warnings are fixed.");
  EXPECT_FALSE(engine.CodeUploaded());
}

TEST_F(CompilerTest, PinSubCalledWithAConstantGetsASpecialisedCopy) {
  Compile("sub @Bit\n DATA = T0\n CLK = 1\nend\nsub *Main\n call @Bit, 1\n call @Bit\nend\n");
  ASSERT_TRUE(LogHas("Compiled successfully. (2)")) << log.Joined();
  // @Bit: pad, 4-word transfer from T0, pad, bsf, return. The copy drives DATA high instead.
  const int generic = kStart + 2;
  const int mainAt = generic + 2 * (2 + 4 + 2 + 1 + 1);
  const uint16_t copyCall = WordAt(mainAt);
  const uint16_t genericCall = WordAt(mainAt + 4);
  EXPECT_EQ(genericCall & 0xFF, generic / 2 & 0xFF);
  const int copyAt = 2 * ((copyCall & 0xFF) | ((WordAt(mainAt + 2) & 0xFFF) << 8));
  EXPECT_EQ(copyAt, mainAt + 10);         // after main's two calls and its return
  EXPECT_EQ(WordAt(copyAt + 4), 0x808A);  // bsf LATB,0: DATA high from the constant
}

TEST_F(CompilerTest, CodeAreaTooSmallDropsTheLeastUsedCopyFirst) {
  const std::string script =
      "sub @Bit\n DATA = T0\n DATA = T1\n DATA = T2\n DATA = T3\nend\n"
      "sub *Main\n loop R0, 3\n call @Bit, 5\n lend\n call @Bit, 6\nend\n";
  Compile(script);
  ASSERT_TRUE(LogHas("Compiled successfully. (2)")) << log.Joined();
  const int fullSize = engine.Generator()->CodePointer() - kStart;
  // Room for everything but one copy: the copy called once (weight 1) goes, the one called
  // inside the loop (weight 100) stays.
  ASSERT_TRUE(engine.SetCodeArea(kStart, kStart + fullSize - 20));
  Compile(script);
  ASSERT_TRUE(LogHas("Compiled successfully. (3)")) << log.Joined();
  EXPECT_TRUE(engine.Generator()->CodePointer() <= kStart + fullSize - 20);
  // The call outside the loop now loads its parameter into T0 and calls the generic sub.
  bool loadsSix = false;
  for (int at = kStart; at + 2 < kEnd; at += 2) {
    loadsSix = loadsSix || (WordAt(at) == 0x0E06 && WordAt(at + 2) == 0x6E24);
  }
  EXPECT_TRUE(loadsSix);

  ASSERT_TRUE(engine.SetCodeArea(kStart, kStart + 30));
  Compile(script);
  const std::string& message = log.lines[log.lines.size() - 2];
  EXPECT_TRUE(message.starts_with("Velmora out of memory error. ")) << message;
  EXPECT_TRUE(message.ends_with(" Words missing.")) << message;
}

TEST_F(CompilerTest, PinSubReportsTheLineLimitAtItsLine999) {
  std::string script = "sub @Long\n";
  for (int i = 0; i < 1005; ++i) script += i % 2 ? " CLK = 0\n" : " CLK = 1\n";
  script += "end\n";
  Compile(script);
  EXPECT_TRUE(
      LogHas("You reached the limit of 1000 sub level 3 lines. Please contact the "
             "Velmora developer."));
  const auto at = std::find(log.lines.begin(), log.lines.end(), "\tCLK = 1");
  ASSERT_NE(at, log.lines.end());
  EXPECT_EQ(*(at - 1), "Error in File \"" + ShortenSourcePath((dir / "script.zeq").string()) +
                           "\" line 1000.");
}

struct StatementCase {
  const char* line;
  const char* message;
};

class RegisterStatementMessages : public CompilerTest,
                                  public ::testing::WithParamInterface<StatementCase> {};

TEST_P(RegisterStatementMessages, ErrorLocationThenMessage) {
  Compile(std::string("sub @P\n CLK = 1\nend\nsub *Main\n") + GetParam().line + "\nend\n");
  EXPECT_TRUE(LogHas("\t" + std::string(GetParam().line).substr(1))) << log.Joined();
  if (*GetParam().message != '\0') {
    EXPECT_TRUE(LogHas(GetParam().message)) << log.Joined();
  }
  EXPECT_TRUE(log.lines.back().ends_with("warning(s). Compilation failed!")) << log.Joined();
}

INSTANTIATE_TEST_SUITE_P(
    Table, RegisterStatementMessages,
    ::testing::Values(
        StatementCase{" loop A3:0, 2",
                      "\t>> A3:0 << is an illegal expression or address range is "
                      "in wrong order."},
        StatementCase{" loop A0, 257", "Value is to large for variable."},
        StatementCase{" loop A0", "End of loop not found"},
        StatementCase{" call @Q", "Sub not found"},
        StatementCase{" call @P, 1, 2", "\tWrong number of parameters"},
        StatementCase{" be 1, 2, x", "Cannot handle to constants."},
        StatementCase{" be A0:1, T0, x", "Both variables are of different size"},
        StatementCase{" be A1:0, T0:1, x", "Cannot handle variables in reverse order."},
        StatementCase{" A0:1 = T0", "A0:1 and T0 are of different size."},
        StatementCase{" A0:1 = A1:2", "\t>> A0:1 = A1:2 <<   Overlapping ranges are not allowed."},
        StatementCase{" 5 = A0", "\t>> 5 <<"}, StatementCase{" A0 = 1, A1", "\t>> A1 << ignored."},
        StatementCase{" add A0", "Wrong number of arguments"},
        StatementCase{" add G0:5, 1", "Cannot handle more then 32bit"},
        StatementCase{" and 7, 1", "\t>> 7 << is an illegal expression."},
        StatementCase{" wait", "\t'wait' takes one parameter"},
        StatementCase{" size 5", "\tparameter must be in the range of 1 to 4"},
        StatementCase{" size", "\t'size' takes one parameter"},
        StatementCase{" jump", "Unknown command"},
        StatementCase{" A4 = 1", "\t>> A4 << offset out of range."}));

class PinStatementMessages : public CompilerTest,
                             public ::testing::WithParamInterface<StatementCase> {};

TEST_P(PinStatementMessages, ErrorLocationThenMessage) {
  Compile(std::string("sub @P\n") + GetParam().line + "\nend\n");
  EXPECT_TRUE(LogHas("\t" + std::string(GetParam().line).substr(1))) << log.Joined();
  if (*GetParam().message != '\0') {
    EXPECT_TRUE(LogHas(GetParam().message)) << log.Joined();
  }
  EXPECT_EQ(log.lines.back(), "1 error(s), 0 warning(s). Compilation failed!");
}

INSTANTIATE_TEST_SUITE_P(
    Table, PinStatementMessages,
    ::testing::Values(StatementCase{" A0 = T1", "Sorry, registers on both sides are not allowed."},
                      StatementCase{" CLK = DATA", "Sorry, port on both sides are not allowed."},
                      StatementCase{" CLK = RESET", "Sorry, RESET can never be a data source."},
                      StatementCase{" NOPE = 1", "Here is something wrong"},
                      StatementCase{" RESET = HIGH", ""}, StatementCase{" wait RESET = 1", ""},
                      StatementCase{" CLK 1 DATA", ""}));

}  // namespace
}  // namespace velmora
