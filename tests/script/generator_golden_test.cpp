// Golden code of the generator slots: the bytes each slot emits equal what gpasm assembles
// from the same instruction sequence for the PIC18F4550.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "gputils_support.h"
#include "script/programmer_cpu/zeql_pic18.h"
#include "script/zeql_engine.h"
#include "script_test_support.h"
#include "support/scratch_directory.h"

namespace velmora {
namespace {

constexpr int kOrigin = 0x1000;
constexpr int kDelayBase = 0x0F00;
constexpr int kNopChainEnd = 0x0E80;
constexpr int kReceive = 0x0E00;

struct GoldenCase {
  const char* name;
  std::function<void(CZEQLPIC18&, CZEQLEngine&)> emit;
  const char* expected;     // PIC18 source
  int64_t hundredths = -1;  // the time account afterwards, when checked
};

class GeneratorGolden : public ::testing::TestWithParam<GoldenCase> {
 protected:
  void SetUp() override {
    auto generator = std::make_unique<CZEQLPIC18>(engine);
    pic18 = generator.get();
    engine.SetGenerator(std::move(generator));
    ASSERT_TRUE(engine.SetCodeArea(0x0FF0, 0x4000));
    pic18->SetFirmwareAddresses(kDelayBase, kNopChainEnd, kReceive);
    pic18->SetCodePointer(kOrigin);
  }
  testing::CollectingLog log;
  ScriptedPrompt prompt;
  CZEQLEngine engine{log, prompt};
  CZEQLPIC18* pic18 = nullptr;
};

TEST_P(GeneratorGolden, BytesEqualWhatGpasmAssembles) {
  const GoldenCase& c = GetParam();
  c.emit(*pic18, engine);
  const std::vector<uint8_t> emitted(engine.CodeImage().begin() + kOrigin,
                                     engine.CodeImage().begin() + pic18->CodePointer());
  const auto dir = testing::ScratchDirectory("zeql-golden-");
  EXPECT_EQ(emitted, testing::Assemble(dir, c.expected, kOrigin)) << c.expected;
  if (c.hundredths >= 0) {
    EXPECT_EQ(engine.elapsedTime, c.hundredths);
  }
  EXPECT_TRUE(log.lines.empty()) << log.Joined();
}

std::string CaseName(const ::testing::TestParamInfo<GoldenCase>& info) {
  return info.param.name;
}

INSTANTIATE_TEST_SUITE_P(
    Slots, GeneratorGolden,
    ::testing::Values(
        GoldenCase{"EndOfSub", [](auto& g, auto&) { g.EndOfSub(); }, "return 0", 200},
        GoldenCase{"SendByte", [](auto& g, auto&) { g.SendByte(0x22); },
                   "btfsc 0x81,7,0\n bra $-2\n btfss 0x9E,4,0\n bra $-2\n movff 0x22,TXREG"},
        GoldenCase{"Call", [](auto& g, auto&) { g.Call(0x2000); }, "call 0x2000,0", 400},
        GoldenCase{"JumpForwardIsGoto", [](auto& g, auto&) { g.Jump(0x1010); }, "goto 0x1010"},
        GoldenCase{"JumpBackIsBra", [](auto& g, auto&) { g.Nop(); g.Jump(0x1000); },
                   "nop\n bra 0x1000"},
        GoldenCase{"JumpFarBackIsGoto", [](auto& g, auto&) { g.Jump(0x0FF0 - 2048); },
                   "goto 0x07F0"},
        GoldenCase{"MoveByte", [](auto& g, auto&) { g.MoveByte(0x20, 0x4F); },
                   "movff 0x20,0x4F"},
        GoldenCase{"AddLiteral", [](auto& g, auto&) { g.AddLiteral(32, 34, 0x030201); },
                   "movlw 1\n addwf 0x20,1,0\n movlw 2\n addwfc 0x21,1,0\n movlw 3\n"
                   " addwfc 0x22,1,0"},
        GoldenCase{"AddRegister", [](auto& g, auto&) { g.AddRegister(32, 33, 36); },
                   "movf 0x24,0,0\n addwf 0x20,1,0\n movf 0x25,0,0\n addwfc 0x21,1,0"},
        GoldenCase{"SubLiteral", [](auto& g, auto&) { g.SubLiteral(40, 41, 0x1234); },
                   "movlw 0x34\n subwf 0x28,1,0\n movlw 0x12\n subwfb 0x29,1,0"},
        GoldenCase{"SubRegister", [](auto& g, auto&) { g.SubRegister(44, 45, 48); },
                   "movf 0x30,0,0\n subwf 0x2C,1,0\n movf 0x31,0,0\n subwfb 0x2D,1,0"},
        GoldenCase{"AndLiteral", [](auto& g, auto&) { g.AndLiteral(32, 35, 0x12FF0034); },
                   "movlw 0x34\n andwf 0x20,1,0\n clrf 0x21,0\n movlw 0x12\n andwf 0x23,1,0"},
        GoldenCase{"AndLiteralZero", [](auto& g, auto&) { g.AndLiteral(32, 33, 0); },
                   "clrf 0x20,0\n clrf 0x21,0"},
        GoldenCase{"SetLiteralFFand00", [](auto& g, auto&) { g.SetLiteral(32, 35, 0x00FF00FF); },
                   "setf 0x20,0\n clrf 0x21,0\n setf 0x22,0\n clrf 0x23,0"},
        GoldenCase{"SetLiteralLoadsWOnce",
                   [](auto& g, auto&) { g.SetLiteral(32, 35, 0x12121212); },
                   "movlw 0x12\n movwf 0x20,0\n movwf 0x21,0\n movwf 0x22,0\n movwf 0x23,0"},
        GoldenCase{"DecrementJNZOneByte",
                   [](auto& g, auto&) { g.Nop(); g.DecrementJNZ(44, 44, 0x1000); },
                   "nop\n decfsz 0x2C,1,0\n bra 0x1000"},
        GoldenCase{"DecrementJNZTwoBytes",
                   [](auto& g, auto&) { g.DecrementJNZ(44, 46, 0x1000); },
                   "decf 0x2C,1,0\n movlw 0\n subwfb 0x2D,1,0\n subwfb 0x2E,1,0\n"
                   " movf 0x2C,0,0\n iorwf 0x2D,0,0\n iorwf 0x2E,0,0\n btfss STATUS,2,0\n"
                   " bra 0x1000"},
        GoldenCase{"LongWaitTimer0", [](auto& g, auto&) { g.LongWait(100000); },
                   "movlw 0x88\n movwf T0CON,0\n movlw 0xFC\n movwf TMR0H,0\n movlw 0x23\n"
                   " movwf TMR0L,0\n bcf INTCON,2,0\n btfss INTCON,2,0\n bra $-2",
                   100000},
        GoldenCase{"LongWaitPrescaled", [](auto& g, auto&) { g.LongWait(20000000); },
                   "movlw 0x81\n movwf T0CON,0\n movlw 0x3C\n movwf TMR0H,0\n movlw 0xB2\n"
                   " movwf TMR0L,0\n bcf INTCON,2,0\n btfss INTCON,2,0\n bra $-2",
                   100 * (11 + 4 * 49998)},
        GoldenCase{"LongWaitShortIsNops", [](auto& g, auto&) { g.LongWait(250); },
                   "nop\n nop\n nop", 300},
        GoldenCase{"WaitWhileBitClear", [](auto& g, auto&) { g.WaitWhileBitClear(0x81, 1); },
                   "btfss 0x81,1,0\n bra $-2"},
        GoldenCase{"WaitWhileBitSet", [](auto& g, auto&) { g.WaitWhileBitSet(0x82, 5); },
                   "btfsc 0x82,5,0\n bra $-2"},
        GoldenCase{"Nop", [](auto& g, auto&) { g.Nop(); }, "nop", 100},
        GoldenCase{"CompareRanges",
                   [](auto& g, auto&) { g.Compare({true, 32, 33, 0}, {true, 36, 37, 0}); },
                   "movf 0x21,0,0\n subwf 0x25,0,0\n bnz $+6\n movf 0x20,0,0\n subwf 0x24,0,0"},
        GoldenCase{"CompareRangeLiteral",
                   [](auto& g, auto&) { g.Compare({true, 40, 42, 0}, {false, 0, 0, 0x030201}); },
                   "movf 0x2A,0,0\n sublw 3\n bnz $+12\n movf 0x29,0,0\n sublw 2\n bnz $+6\n"
                   " movf 0x28,0,0\n sublw 1"},
        GoldenCase{"CompareLiteralRange",
                   [](auto& g, auto&) { g.Compare({false, 0, 0, 0x55}, {true, 48, 48, 0}); },
                   "movlw 0x55\n subwf 0x30,0,0"},
        GoldenCase{"BranchIfEqualNear", [](auto& g, auto&) { g.BranchIfEqual(0x1010); },
                   "bz 0x1010"},
        GoldenCase{"BranchIfEqualFar", [](auto& g, auto&) { g.BranchIfEqual(0x3000); },
                   "btfsc STATUS,2,0\n goto 0x3000"},
        GoldenCase{"BranchIfNotEqualNear", [](auto& g, auto&) { g.BranchIfNotEqual(0x0FF2); },
                   "bnz 0x0FF2"},
        GoldenCase{"BranchIfNotEqualFar", [](auto& g, auto&) { g.BranchIfNotEqual(0x0100); },
                   "btfss STATUS,2,0\n goto 0x0100"},
        // Padding: a line time of 300 pauses with two NOPs, 1000 with a call into the NOP
        // chain, 100000 with the 100100 delay routine.
        GoldenCase{"PadTwoNops", [](auto& g, auto& e) { e.targetTime = 200; g.PadToTarget(); },
                   "nop\n nop", 200},
        GoldenCase{"PadNopChain", [](auto& g, auto& e) { e.targetTime = 900; g.PadToTarget(); },
                   "call 0x0E80-10,0", 900},
        GoldenCase{"PadShortestRoutine",
                   [](auto& g, auto& e) { e.targetTime = 2000; g.PadToTarget(); },
                   "call 0x0F00-36,0", 2600},
        GoldenCase{"PadRoutine100100",
                   [](auto& g, auto& e) { e.targetTime = 99900; g.PadToTarget(); },
                   "call 0x0F00-60,0", 100100},
        GoldenCase{"PadLongWait",
                   [](auto& g, auto& e) { e.targetTime = 2000000; g.PadToTarget(); },
                   "movlw 0x88\n movwf T0CON,0\n movlw 0xB1\n movwf TMR0H,0\n movlw 0xEB\n"
                   " movwf TMR0L,0\n bcf INTCON,2,0\n btfss INTCON,2,0\n bra $-2",
                   2000000}),
    CaseName);

TEST(GeneratorRanges, RefuseBackwardAndWideRangesWithTheirMessages) {
  testing::CollectingLog log;
  ScriptedPrompt prompt;
  CZEQLEngine engine{log, prompt};
  CZEQLPIC18 pic18(engine);
  pic18.SetCodePointer(0x100);
  pic18.AddLiteral(33, 32, 1);
  pic18.AddRegister(32, 36, 40);
  pic18.SubLiteral(35, 32, 1);
  pic18.SubRegister(48, 52, 40);
  pic18.AndLiteral(40, 45, 1);
  pic18.SetLiteral(48, 79, 1);
  pic18.DecrementJNZ(45, 44, 0x100);
  EXPECT_EQ(pic18.CodePointer(), 0x100);  // nothing emitted
  EXPECT_EQ(engine.ErrorCount(), 7);
  std::vector<std::string> messages;
  for (size_t i = 2; i < log.lines.size(); i += 3) messages.push_back(log.lines[i]);
  EXPECT_EQ(
      messages,
      (std::vector<std::string>{
          "AddLiteral: cannot handle more then 32bit", "AddRegister: cannot handle more then 32bit",
          "SubLiteral: cannot handle more then 32bit", "SubRegister: cannot handle more then 32bit",
          "AndLiteral: cannot handle more then 32bit", "SetLiteral: cannot handle more then 32bit",
          "DecrementJNZ: cannot handle more then 32bit"}));
}

}  // namespace
}  // namespace velmora
