// Register and signal operands.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "script/zeql_engine.h"
#include "script_test_support.h"

namespace velmora {
namespace {

using testing::CollectingLog;

class OperandTest : public ::testing::Test {
 protected:
  CollectingLog log;
  ScriptedPrompt prompt;
  CZEQLEngine engine{log, prompt};
};

struct RegisterCase {
  const char* text;
  char letter;
  int first;
  int last;
  bool error;
};

class RegisterOperands : public OperandTest, public ::testing::WithParamInterface<RegisterCase> {};

TEST_P(RegisterOperands, Parse) {
  const RegisterCase& c = GetParam();
  const RegisterOperand operand = engine.ParseRegisterOperand(c.text);
  EXPECT_EQ(operand.letter, c.letter) << c.text;
  EXPECT_EQ(operand.error, c.error) << c.text;
  if (!c.error) {
    EXPECT_EQ(operand.first, c.first) << c.text;
    EXPECT_EQ(operand.last, c.last) << c.text;
  }
  EXPECT_EQ(engine.ErrorCount(), c.error ? 1 : 0) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, RegisterOperands,
    ::testing::Values(
        RegisterCase{"A0", 'A', 32, 32, false}, RegisterCase{"a3", 'A', 35, 35, false},
        RegisterCase{"T0:3", 'T', 36, 39, false}, RegisterCase{"D1:2", 'D', 41, 42, false},
        RegisterCase{"R:2", 'R', 44, 46, false}, RegisterCase{"G31", 'G', 79, 79, false},
        RegisterCase{"g0:31", 'G', 48, 79, false}, RegisterCase{"A3:0", 'A', 35, 32, false},
        RegisterCase{"A4", 'A', 0, 0, true}, RegisterCase{"G32", 'G', 0, 0, true},
        RegisterCase{"A1:", 'A', 0, 0, true}, RegisterCase{"A", 'A', 0, 0, true},
        RegisterCase{"A1x", 'A', 0, 0, true}, RegisterCase{"5", 0, 0, 0, false},
        RegisterCase{"0x20", 0, 0, 0, false}, RegisterCase{"B1", 0, 0, 0, false}));

TEST_F(OperandTest, OffsetOutOfRangeSaysSo) {
  engine.ParseRegisterOperand("A4");
  EXPECT_EQ(log.lines.back(), "\t>> A4 << offset out of range.");
}

TEST_F(OperandTest, VariableMayStandForARange) {
  engine.SetVariableText("count", "R0:1");
  engine.SetVariableText("alias", "count");
  const RegisterOperand count = engine.ParseRegisterOperand("count");
  EXPECT_EQ(count.letter, 'R');
  EXPECT_EQ(count.first, 44);
  EXPECT_EQ(count.last, 45);
  EXPECT_EQ(engine.ParseRegisterOperand("alias").last, 45);
  EXPECT_EQ(engine.ErrorCount(), 0);

  engine.SetVariableNumber("number", 5);
  EXPECT_FALSE(engine.ParseRegisterOperand("number").IsRegister());
  EXPECT_EQ(engine.ErrorCount(), 0);

  EXPECT_TRUE(engine.ParseRegisterOperand("unknown").error);
  EXPECT_EQ(engine.ErrorCount(), 1);
}

TEST_F(OperandTest, RegisterVariableThatNamesItselfIsAnError) {
  engine.SetVariableText("loopy", "loopy");
  const RegisterOperand operand = engine.ParseRegisterOperand("loopy");
  EXPECT_TRUE(operand.error);
  EXPECT_EQ(engine.ErrorCount(), 1);
  EXPECT_EQ(log.lines.back(), "\tVariable \"loopy\" refers to itself.");
}

struct SignalCase {
  const char* text;
  bool inverted;
  int id;
  int bit;
};

class SignalOperands : public OperandTest, public ::testing::WithParamInterface<SignalCase> {};

TEST_P(SignalOperands, Parse) {
  const SignalCase& c = GetParam();
  const SignalOperand operand = engine.ParseSignalOperand(c.text);
  EXPECT_EQ(operand.inverted, c.inverted) << c.text;
  EXPECT_EQ(operand.id, c.id) << c.text;
  EXPECT_EQ(operand.bit, c.bit) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SignalOperands,
    ::testing::Values(SignalCase{"CLK", false, 30, 0}, SignalCase{"c", false, 30, 0},
                      SignalCase{"d", false, 33, 0}, SignalCase{"data2dir", false, 37, 0},
                      SignalCase{"-DATA", true, 33, 0}, SignalCase{"--DATA", false, 33, 0},
                      SignalCase{"_-_RST", true, 47, 0}, SignalCase{"1", false, 48, 0},
                      SignalCase{"0", false, 49, 0}, SignalCase{"in", false, 42, 0},
                      SignalCase{"Vpp", false, 46, 0}, SignalCase{"A0", false, 50, 0},
                      SignalCase{"d31", false, 51, 31}, SignalCase{"R7", false, 52, 7},
                      SignalCase{"-T12", true, 53, 12}, SignalCase{"A32", false, 0, 0},
                      SignalCase{"A07", false, 0, 0}, SignalCase{"G1", false, 0, 0},
                      SignalCase{"PGC", false, 0, 0}, SignalCase{"", false, 0, 0}));

TEST_F(OperandTest, PortAliasesComeFirst) {
  engine.Signals()[0].alias = "pgc";
  engine.Signals()[1].alias = "A0";
  EXPECT_EQ(engine.ParseSignalOperand("PGC").id, signal_id::kClk);
  EXPECT_EQ(engine.ParseSignalOperand("a0").id, signal_id::kData);
}

}  // namespace
}  // namespace velmora
