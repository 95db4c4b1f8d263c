// ZEQL expressions: the grammar, 64-bit wrap-around arithmetic, names and variables.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>
#include <vector>

#include "script/zeql_engine.h"
#include "script_test_support.h"

namespace velmora {
namespace {

using testing::CollectingLog;

class ExpressionTest : public ::testing::Test {
 protected:
  CollectingLog log;
  ScriptedPrompt prompt;
  CZEQLEngine engine{log, prompt};
};

struct ValueCase {
  const char* text;
  int64_t value;
};

class ExpressionValues : public ExpressionTest, public ::testing::WithParamInterface<ValueCase> {};

TEST_P(ExpressionValues, Evaluate) {
  EXPECT_EQ(engine.Evaluate(GetParam().text), GetParam().value) << GetParam().text;
  EXPECT_TRUE(log.lines.empty()) << log.Joined();
}

constexpr int64_t kMin = std::numeric_limits<int64_t>::min();
constexpr int64_t kMax = std::numeric_limits<int64_t>::max();

INSTANTIATE_TEST_SUITE_P(
    Grammar, ExpressionValues,
    ::testing::Values(
        ValueCase{"0x1F+3*2", 37}, ValueCase{"1<<40", 1099511627776}, ValueCase{"-8>>1", -4},
        ValueCase{"7/0+5", 5}, ValueCase{"2*7/0*3+1", 1}, ValueCase{"7%0", 0},
        ValueCase{"0XfF", 255}, ValueCase{"10-3-2", 5}, ValueCase{"2*(3+4)", 14},
        ValueCase{"1=1", 1}, ValueCase{"1==2", 0}, ValueCase{"3!=2", 1}, ValueCase{"-1<0", 1},
        ValueCase{"2<=2", 1}, ValueCase{"2>3", 0}, ValueCase{"3>=3", 1}, ValueCase{"6&3", 2},
        ValueCase{"6|3", 7}, ValueCase{"6^3", 5}, ValueCase{"~0", -1}, ValueCase{"!5", 0},
        ValueCase{"!0", 1}, ValueCase{"+4", 4}, ValueCase{"- -4", 4}, ValueCase{"2 && 3", 1},
        ValueCase{"0 && 3", 0}, ValueCase{"0 || 0", 0}, ValueCase{"0 || 7", 1},
        ValueCase{"1 | 2 ^ 3 & 4", 3}, ValueCase{"1 + 2 << 1", 6}, ValueCase{"1 < 2 == 1", 1},
        ValueCase{"1<<64", 0}, ValueCase{"-5>>64", -1}, ValueCase{"5>>200", 0},
        ValueCase{"1<<257", 2}, ValueCase{"-7/2", -3}, ValueCase{"-7%2", -1},
        ValueCase{" 12 ; comment", 12}, ValueCase{"5 )", 5},
        // Wrap-around instead of undefined overflow; INT64_MIN / -1 is INT64_MIN, % -1 is 0.
        ValueCase{"0x7FFFFFFFFFFFFFFF+1", kMin}, ValueCase{"0xFFFFFFFFFFFFFFFF", -1},
        ValueCase{"18446744073709551617", 1}, ValueCase{"(0-0x7FFFFFFFFFFFFFFF-1)/-1", kMin},
        ValueCase{"(0-0x7FFFFFFFFFFFFFFF-1)%-1", 0}, ValueCase{"0x4000000000000000*4", 0},
        ValueCase{"-(0-0x7FFFFFFFFFFFFFFF-1)", kMin}, ValueCase{"0x7FFFFFFFFFFFFFFF", kMax}));

struct FaultCase {
  const char* text;
  int64_t value;
  const char* message;
};

class ExpressionFaults : public ExpressionTest, public ::testing::WithParamInterface<FaultCase> {};

TEST_P(ExpressionFaults, LogAPlainLineAndGiveZeroForTheFaultyPart) {
  EXPECT_EQ(engine.Evaluate(GetParam().text), GetParam().value);
  EXPECT_EQ(log.lines, std::vector<std::string>{GetParam().message});
  EXPECT_EQ(engine.ErrorCount(), 0);
  EXPECT_EQ(engine.WarningCount(), 0);
}

INSTANTIATE_TEST_SUITE_P(Messages, ExpressionFaults,
                         ::testing::Values(FaultCase{"", 0, "Expression missing!"},
                                           FaultCase{"(1+2", 0, "Missing closing paranthasis ')'"},
                                           FaultCase{"12 34", 12, "Missing Operator!!!"},
                                           FaultCase{"1+(2 3)*4", 3, "Missing Operator!!!"},
                                           FaultCase{"3 + 4 5", 7, "Missing Operator!!!"},
                                           FaultCase{"0x10 5", 16, "Missing Operator!!!"}));

TEST_F(ExpressionTest, NestingDeeperThanTheLimitGivesZeroWithoutExhaustingTheStack) {
  EXPECT_EQ(engine.Evaluate(std::string(100000, '(') + "1"), 0);
  EXPECT_EQ(engine.Evaluate(std::string(100000, '-') + "1"), 0);
  EXPECT_EQ(log.lines.front(), "Expression nested too deeply");
  EXPECT_EQ(engine.Evaluate(std::string(150, '(') + "1" + std::string(150, ')')), 1);
}

TEST_F(ExpressionTest, UndefinedNameWarnsAndCountsAsZero) {
  engine.SetCurrentLine(nullptr);
  EXPECT_EQ(engine.Evaluate("missing + 2"), 2);
  EXPECT_EQ(engine.WarningCount(), 1);
  EXPECT_EQ(log.lines,
            (std::vector<std::string>{"Warning: File \"\" line 0.", "\t",
                                      "Variable \"missing\" is not defined. Set to 0."}));
}

TEST_F(ExpressionTest, VariablesHoldNumbersOrWholeExpressions) {
  engine.SetVariableNumber("n", 40);
  engine.SetVariableText("twice", "n * 2");
  EXPECT_EQ(engine.Evaluate("twice + 1"), 81);
  engine.SetVariableNumber("n", 1);
  EXPECT_EQ(engine.Evaluate("twice"), 2);
}

TEST_F(ExpressionTest, NamesThatLeadBufferWordsStandForThem) {
  engine.SetBufferAddress(ScriptBuffer::kFile, 0x10);
  engine.SetBufferAddress(ScriptBuffer::kTemp, 0x20);
  engine.SetBufferAddress(ScriptBuffer::kChip, 0x30);
  engine.resultValue = 9;
  engine.Buffer(ScriptBuffer::kFile).SetCell(0x10, 0xA5);
  engine.SetVariableNumber("fil", 1000);  // shadowed by "file"
  EXPECT_EQ(engine.Evaluate("f"), 0x10);
  EXPECT_EQ(engine.Evaluate("fil"), 0x10);
  EXPECT_EQ(engine.Evaluate("te + c"), 0x50);
  EXPECT_EQ(engine.Evaluate("[file]"), 0xA5);
  EXPECT_EQ(engine.Evaluate("[temp]"), 0xFF);  // unprogrammed
  engine.SetBufferAddress(ScriptBuffer::kChip, 0x7FFFFFFF);
  EXPECT_EQ(engine.Evaluate("[c"), 0xFF);  // unmapped
  EXPECT_EQ(engine.Evaluate("_r * 2"), 18);
  EXPECT_TRUE(log.lines.empty()) << log.Joined();
}

TEST_F(ExpressionTest, VariableThatRefersToItselfIsAnErrorAndZero) {
  engine.SetVariableText("a", "b + 1");
  engine.SetVariableText("b", "a + 1");
  engine.SetVariableText("self", "self");
  EXPECT_EQ(engine.Evaluate("self"), 0);
  EXPECT_EQ(engine.ErrorCount(), 1);
  EXPECT_EQ(log.lines.back(), "\tVariable \"self\" refers to itself.");
  EXPECT_EQ(engine.Evaluate("a"), 2);  // a -> b + 1 -> (a: 0) + 1 + 1
  EXPECT_EQ(engine.ErrorCount(), 2);
  EXPECT_EQ(log.lines.back(), "\tVariable \"a\" refers to itself.");
}

TEST_F(ExpressionTest, EvaluateValueTellsNumbersFromStrings) {
  engine.SetVariableText("greeting", "\"hello\"");
  engine.SetVariableText("plain", "abc");
  const ZEQLValue number = engine.EvaluateValue("2+3");
  EXPECT_EQ(number.kind, ZEQLValueKind::kNumber);
  EXPECT_EQ(number.number, 5);
  const ZEQLValue literal = engine.EvaluateValue("\"a;b\" tail");
  EXPECT_EQ(literal.kind, ZEQLValueKind::kString);
  EXPECT_EQ(literal.string, "a;b");
  const ZEQLValue variable = engine.EvaluateValue("greeting");
  EXPECT_EQ(variable.kind, ZEQLValueKind::kStringVariable);
  EXPECT_EQ(variable.string, "hello");
  EXPECT_EQ(engine.EvaluateValue("$x").kind, ZEQLValueKind::kOther);
}

TEST_F(ExpressionTest, ConstantsCannotBeOverwrittenOutsideCompiling) {
  engine.compileFlag = true;
  engine.SetVariableText("x", "5");  // a header line: constant
  engine.SetVariableNumber("used", 1);
  engine.compileFlag = false;
  engine.SetVariableNumber("free", 1);
  engine.SetVariableNumber("free", 2);
  EXPECT_EQ(engine.VariableValue("free"), 2);
  engine.SetVariableNumber("x", 6);
  EXPECT_EQ(engine.statusCode, 7);
  EXPECT_EQ(engine.ErrorCount(), 1);
  EXPECT_EQ(log.lines.back(), "You cannot overwrite constant variables.");
  EXPECT_EQ(engine.VariableValue("x"), 5);

  // A variable the compiled code read becomes constant too.
  engine.compileFlag = true;
  EXPECT_EQ(engine.Evaluate("free"), 2);
  engine.compileFlag = false;
  EXPECT_TRUE(engine.FindVariable("free")->constant);
}

}  // namespace
}  // namespace velmora
