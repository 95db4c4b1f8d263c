#include "sim/mcu/pic18_core.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <sstream>

#include "pic18_core_support.h"

namespace velmora::sim {
namespace {

using namespace pic18reg;
using namespace pic18flag;
using testing::PlaceWords;

// The decode table names every word of the instruction listing as gpdasm does.
TEST(Pic18CoreDecode, NamesEveryInstructionAsGpdasm) {
  const std::string hex = testing::CoreProgramPath("instructions.hex");
  const std::string command = std::string(VELMORA_GPDASM) + " -p p18f4550 " + hex;
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  ASSERT_TRUE(pipe);
  char buffer[256];
  int compared = 0;
  while (fgets(buffer, sizeof buffer, pipe.get())) {
    // "00001a:  2c1a  decfsz  0x1a, 0x1, 0x0"; a second word has no mnemonic.
    std::istringstream line(buffer);
    std::string address, word, mnemonic;
    if (!(line >> address >> word >> mnemonic)) continue;
    const auto opcode = static_cast<uint16_t>(std::stoul(word, nullptr, 16));
    std::string ours = Pic18Core::Mnemonic(opcode);
    for (char& c : ours) c = static_cast<char>(std::tolower(c));
    const std::string expected = mnemonic == "dw" ? "" : mnemonic;
    EXPECT_EQ(ours, expected) << address << " " << word;
    ++compared;
  }
  EXPECT_EQ(compared, 86);
}

// One instruction on prepared registers: result, STATUS and the product registers afterwards.
struct ArithmeticCase {
  const char* name;
  uint16_t opcode;  // operates on file register 0x20 (access bank) or W
  uint8_t f;
  uint8_t w;
  uint8_t statusBefore;
  uint8_t fAfter;
  uint8_t wAfter;
  uint8_t statusAfter;
};

class Pic18CoreArithmetic : public ::testing::TestWithParam<ArithmeticCase> {};

TEST_P(Pic18CoreArithmetic, ResultAndFlags) {
  const ArithmeticCase& c = GetParam();
  Pic18Core core;
  PlaceWords(core, 0, {c.opcode});
  core.Poke(0x20, c.f);
  core.Poke(kWreg, c.w);
  core.Poke(kStatus, c.statusBefore);
  core.Step();
  EXPECT_EQ(int(core.Peek(0x20)), int(c.fAfter));
  EXPECT_EQ(int(core.W()), int(c.wAfter));
  EXPECT_EQ(int(core.Peek(kStatus)), int(c.statusAfter));
}

// OV is the signed overflow: operands of different signs never overflow.
INSTANTIATE_TEST_SUITE_P(
    Table, Pic18CoreArithmetic,
    ::testing::Values(
        ArithmeticCase{"addwf_mixed_signs", 0x2620, 0x09, 0x91, 0, 0x9A, 0x91, kN},
        ArithmeticCase{"addwf_overflow", 0x2620, 0x40, 0x40, 0, 0x80, 0x40, kN | kOv},
        ArithmeticCase{"addwfc_carry_in", 0x2220, 0xFF, 0x00, kC, 0x00, 0x00, kC | kDc | kZ},
        ArithmeticCase{"addlw_minus_one_plus_one", 0x0F01, 0, 0xFF, 0, 0, 0x00, kC | kDc | kZ},
        ArithmeticCase{"incf_0x80", 0x2A20, 0x80, 0, 0, 0x81, 0, kN},
        ArithmeticCase{"incf_0x7f", 0x2A20, 0x7F, 0, 0, 0x80, 0, kN | kOv | kDc},
        ArithmeticCase{"decf_zero_borrows", 0x0620, 0x00, 0, kC, 0xFF, 0, kN},
        ArithmeticCase{"subwf_to_w_borrow", 0x5C20, 0x05, 0x07, 0, 0x05, 0xFE, kN},
        ArithmeticCase{"subwfb_borrow_in", 0x5A20, 0x05, 0x01, 0, 0x03, 0x01, kC | kDc},
        ArithmeticCase{"subfwb", 0x5620, 0x01, 0x10, kC, 0x0F, 0x10, kC},
        ArithmeticCase{"sublw", 0x0810, 0, 0x10, 0, 0, 0x00, kC | kDc | kZ},
        ArithmeticCase{"negf_0x80", 0x6C20, 0x80, 0, 0, 0x80, 0, kN | kOv | kDc},
        ArithmeticCase{"negf_one", 0x6C20, 0x01, 0, 0, 0xFF, 0, kN},
        ArithmeticCase{"daw_keeps_decimal_carry", 0x0007, 0, 0x20, kC, 0, 0x80, kC},
        ArithmeticCase{"daw_both_nibbles", 0x0007, 0, 0x9A, 0, 0, 0x00, kC},
        ArithmeticCase{"rlcf_through_carry", 0x3620, 0x80, 0, kC, 0x01, 0, kC},
        ArithmeticCase{"rrncf_to_w", 0x4020, 0x01, 0, 0, 0x01, 0x80, kN},
        ArithmeticCase{"comf_zero", 0x1E20, 0xFF, 0, 0, 0x00, 0, kZ},
        ArithmeticCase{"clrf_sets_z_keeps_c", 0x6A20, 0x55, 0, kC, 0x00, 0, kC | kZ},
        ArithmeticCase{"swapf_no_flags", 0x3A20, 0x12, 0, kZ, 0x21, 0, kZ},
        ArithmeticCase{"addwf_onto_status_flags_win", 0x26D8, 0, 0x01, 0, 0, 0x01, 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Pic18Core, MultipliesIntoProd) {
  Pic18Core core;
  PlaceWords(core, 0, {0x0EC8, 0x0DC8, 0x0220});  // MOVLW 200, MULLW 200, MULWF 0x20
  core.Poke(0x20, 3);
  core.Step();
  core.Step();
  EXPECT_EQ(core.Peek(kProdh) << 8 | core.Peek(kProdl), 40000);
  core.Step();
  EXPECT_EQ(core.Peek(kProdh) << 8 | core.Peek(kProdl), 600);
}

// Cycle counts of the instruction kinds: skips over one- and two-word instructions, branches
// taken and not, and the two-cycle instructions.
struct CycleCase {
  const char* name;
  std::vector<uint16_t> words;
  uint64_t cycles;
  uint32_t pcAfter;
};

class Pic18CoreCycles : public ::testing::TestWithParam<CycleCase> {};

TEST_P(Pic18CoreCycles, CountsAndNextAddress) {
  const CycleCase& c = GetParam();
  Pic18Core core;
  for (size_t i = 0; i < c.words.size(); ++i) {
    PlaceWords(core, static_cast<uint32_t>(2 * i), {c.words[i]});
  }
  core.Push(0x0100);  // for the returns
  core.Step();
  EXPECT_EQ(core.cycles(), c.cycles);
  EXPECT_EQ(core.pc(), c.pcAfter);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Pic18CoreCycles,
    ::testing::Values(
        CycleCase{"nop", {0x0000}, 1, 2},
        CycleCase{"skip_one_word", {0xB0E8 /* BTFSC WREG,0 */, 0x0000}, 2, 4},
        CycleCase{"skip_two_words", {0xB0E8, 0xEF00, 0xF000, 0x0000}, 3, 6},
        CycleCase{"no_skip", {0xA0E8 /* BTFSS WREG,0 */, 0x0000}, 1, 2},
        CycleCase{"bz_not_taken", {0xE005}, 1, 2}, CycleCase{"bnz_taken", {0xE105}, 2, 12},
        CycleCase{"bra_back", {0xD7FF}, 2, 0}, CycleCase{"goto", {0xEF40, 0xF001}, 2, 0x280},
        CycleCase{"call", {0xEC40, 0xF001}, 2, 0x280}, CycleCase{"return", {0x0012}, 2, 0x100},
        CycleCase{"retlw", {0x0C33}, 2, 0x100}, CycleCase{"movff", {0xC020, 0xF021}, 2, 4},
        CycleCase{"lfsr", {0xEE01, 0xF023}, 2, 4}, CycleCase{"tblrd", {0x0009}, 2, 2},
        CycleCase{"write_pcl", {0x6EF9 /* MOVWF PCL */}, 2, 0}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Pic18Core, StackFullLosesPushesAndEmptyPopReturnsZero) {
  Pic18Core core;
  for (uint32_t i = 1; i <= 32; ++i) core.Push(i * 2);
  EXPECT_EQ(core.StackDepth(), 31u);
  EXPECT_TRUE(core.Peek(kStkptr) & kStkful);
  EXPECT_EQ(core.Peek(kTosl), 62);  // the 31st push; the 32nd is lost
  // 31 POPs empty the stack; a RETURN then underflows.
  for (uint32_t i = 0; i < 31; ++i) PlaceWords(core, 0x1000 + 2 * i, {0x0006});
  PlaceWords(core, 0x1000 + 62, {0x0012});
  core.SetPc(0x1000);
  for (int i = 0; i < 31; ++i) core.Step();
  EXPECT_EQ(core.StackDepth(), 0u);
  EXPECT_FALSE(core.Peek(kStkptr) & kStkunf);
  core.Step();
  EXPECT_TRUE(core.Peek(kStkptr) & kStkunf);
  EXPECT_EQ(core.pc(), 0u);
}

TEST(Pic18Core, ReadingPclLatchesTheUpperProgramCounter) {
  Pic18Core core(0x20000);
  PlaceWords(core, 0x11234, {0x50F9});  // MOVF PCL, W
  core.SetPc(0x11234);
  core.Step();
  EXPECT_EQ(core.W(), 0x36);
  EXPECT_EQ(core.Peek(kPclath), 0x12);
  EXPECT_EQ(core.Peek(kPclatu), 0x01);
}

TEST(Pic18Core, UnimplementedRegisterBitsReadZero) {
  Pic18Core core;
  PlaceWords(core, 0, {0x68FB, 0x68E0, 0x68EA, 0x68F8});  // SETF PCLATU, BSR, FSR0H, TBLPTRU
  for (int i = 0; i < 4; ++i) core.Step();
  EXPECT_EQ(core.Peek(kPclatu), 0x1F);
  EXPECT_EQ(core.Peek(kBsr), 0x0F);
  EXPECT_EQ(core.Peek(kFsr0h), 0x0F);
  EXPECT_EQ(core.Peek(kTblptru), 0x3F);
}

TEST(Pic18Core, ReadModifyWriteThroughPostincMovesTheFsrOnce) {
  Pic18Core core;
  PlaceWords(core, 0, {0xEE00, 0xF050, 0x2AEE});  // LFSR 0,0x050; INCF POSTINC0,F
  core.Poke(0x50, 7);
  core.Poke(0x51, 9);
  core.Step();
  core.Step();
  EXPECT_EQ(core.Peek(0x50), 8);
  EXPECT_EQ(core.Peek(0x51), 9);
  EXPECT_EQ(core.Peek(kFsr0l), 0x51);
}

TEST(Pic18Core, PluswTakesWSignedAndIndirectRegistersReadZero) {
  Pic18Core core;
  // LFSR 2,0x105; MOVLW 0xFE; MOVF PLUSW2,W; LFSR 1,0xFEF (INDF0); MOVF INDF1,W
  PlaceWords(core, 0, {0xEE21, 0xF005, 0x0EFE, 0x50DB, 0xEE1F, 0xF0EF, 0x50E7});
  core.Poke(0x103, 0x5A);
  for (int i = 0; i < 4; ++i) core.Step();
  EXPECT_EQ(core.W(), 0x5A);
  core.Step();
  EXPECT_EQ(core.W(), 0);
  EXPECT_TRUE(core.Peek(kStatus) & kZ);
}

TEST(Pic18Core, FastCallAndReturnRestoreWStatusAndBsr) {
  Pic18Core core;
  // CALL 0x40,FAST; then at 0x40: MOVLB 5; MOVLW 0; IORLW 0 (Z); RETURN FAST
  PlaceWords(core, 0, {0xED20, 0xF000});
  PlaceWords(core, 0x40, {0x0105, 0x0E00, 0x0900, 0x0013});
  core.Poke(kWreg, 0x42);
  core.Poke(kBsr, 2);
  core.Poke(kStatus, kC);
  for (int i = 0; i < 5; ++i) core.Step();
  EXPECT_EQ(core.pc(), 4u);
  EXPECT_EQ(core.W(), 0x42);
  EXPECT_EQ(core.Peek(kBsr), 2);
  EXPECT_EQ(core.Peek(kStatus), kC);
}

// Timer0: a write of TMR0L holds the timer for its own cycle and the next, in both modes; a
// timer switched on counts from the next cycle; the prescaler divides and TMR0IF marks the
// overflow.
struct TimerCase {
  const char* name;
  uint8_t t0con;
  uint8_t start;  // written to TMR0L (TMR0H 0xFF in 16-bit mode)
  uint32_t nops;
  uint8_t low;
  bool overflow;
};

class Pic18CoreTimer0 : public ::testing::TestWithParam<TimerCase> {};

TEST_P(Pic18CoreTimer0, CountsAfterAWrite) {
  const TimerCase& c = GetParam();
  Pic18Core core;
  core.Poke(kT0con, c.t0con);
  PlaceWords(core, 0, {0x68D7, static_cast<uint16_t>(0x0E00 | c.start), 0x6ED6});
  for (uint32_t i = 0; i < c.nops; ++i) PlaceWords(core, 6 + 2 * i, {0x0000});
  for (uint32_t i = 0; i < 3 + c.nops; ++i) core.Step();
  EXPECT_EQ(int(core.Peek(kTmr0l)), int(c.low));
  EXPECT_EQ(bool(core.Peek(kIntcon) & kTmr0if), c.overflow);
}

INSTANTIATE_TEST_SUITE_P(
    Table, Pic18CoreTimer0,
    ::testing::Values(TimerCase{"held_one_nop", 0xC8, 0x00, 1, 0x00, false},
                      TimerCase{"counts_after_two", 0xC8, 0x00, 2, 0x01, false},
                      TimerCase{"sixteen_bit_held_too", 0x88, 0x00, 2, 0x01, false},
                      TimerCase{"prescaler_four", 0xC1, 0x00, 9, 0x02, false},
                      TimerCase{"eight_bit_overflow", 0xC8, 0xFE, 3, 0x00, true},
                      TimerCase{"sixteen_bit_overflow", 0x88, 0xFE, 3, 0x00, true},
                      TimerCase{"stopped", 0x48, 0x10, 5, 0x10, false}),
    [](const auto& row) { return std::string(row.param.name); });

TEST(Pic18Core, TimerSwitchedOnCountsFromTheNextCycle) {
  Pic18Core core;
  core.Poke(kT0con, 0x48);
  PlaceWords(core, 0, {0x8ED5, 0x0000, 0x0000});  // BSF T0CON,TMR0ON; NOP; NOP
  core.Step();
  EXPECT_EQ(core.Peek(kTmr0l), 0);
  core.Step();
  core.Step();
  EXPECT_EQ(core.Peek(kTmr0l), 2);
}

TEST(Pic18Core, TransmitterTakesOneByteWhileTheShiftRegisterIsBusy) {
  Pic18Core core;
  core.SetTransmitCycles(10);
  PlaceWords(core, 0, {0x0E41, 0x6EAD, 0x0E42, 0x6EAD});  // 'A', then 'B' to TXREG
  for (uint32_t i = 0; i < 8; ++i) PlaceWords(core, 8 + 2 * i, {0x0000});
  core.Step();
  core.Step();
  EXPECT_EQ(core.TakeSent(), std::vector<uint8_t>{'A'});  // straight into the shift register
  EXPECT_TRUE(core.Peek(kPir1) & kTxif);
  core.Step();
  core.Step();
  EXPECT_FALSE(core.Peek(kPir1) & kTxif);  // 'B' waits in TXREG
  EXPECT_TRUE(core.TakeSent().empty());
  for (int i = 0; i < 8; ++i) core.Step();
  EXPECT_EQ(core.TakeSent(), std::vector<uint8_t>{'B'});
}

TEST(Pic18Core, ReceivedBytesWaitInRcreg) {
  Pic18Core core;
  PlaceWords(core, 0, {0x50AE, 0x50AE});  // MOVF RCREG,W twice
  EXPECT_FALSE(core.Peek(kPir1) & kRcif);
  core.Receive(0x11);
  core.Receive(0x22);
  EXPECT_TRUE(core.Peek(kPir1) & kRcif);
  core.Step();
  EXPECT_EQ(core.W(), 0x11);
  core.Step();
  EXPECT_EQ(core.W(), 0x22);
  EXPECT_FALSE(core.Peek(kPir1) & kRcif);
}

class RecordingPins final : public IPic18Pins {
 public:
  uint8_t ReadPins(int port, uint8_t latch, uint8_t tris) override {
    return port == 1 ? static_cast<uint8_t>((latch & ~tris) | (inputs & tris)) : 0;
  }
  void PinsChanged(int port, uint8_t latch, uint8_t tris, uint64_t cycles) override {
    changes.push_back({port, latch, tris, cycles});
  }
  struct Change {
    int port;
    uint8_t latch, tris;
    uint64_t cycles;
    bool operator==(const Change&) const = default;
  };
  uint8_t inputs = 0;
  std::vector<Change> changes;
};

TEST(Pic18Core, PortsDriveAndReadThePins) {
  Pic18Core core;
  RecordingPins pins;
  pins.inputs = 0x81;
  core.SetPins(&pins);
  // BCF TRISB,1; BSF LATB,1; MOVF PORTB,W; BSF PORTB,2 (reads the pins, writes the latch)
  PlaceWords(core, 0, {0x9293, 0x828A, 0x5081, 0x8481});
  for (int i = 0; i < 4; ++i) core.Step();
  using C = RecordingPins::Change;
  EXPECT_EQ(pins.changes,
            (std::vector<C>{{1, 0x00, 0xFD, 0}, {1, 0x02, 0xFD, 1}, {1, 0x87, 0xFD, 3}}));
  EXPECT_EQ(core.W(), 0x83);  // pin 1 driven high, pins 0 and 7 from outside
  EXPECT_EQ(core.Peek(kLatB), 0x87);
}

TEST(Pic18Core, ResetInstructionKeepsTheGeneralPurposeRegisters) {
  Pic18Core core;
  PlaceWords(core, 0x40, {0x00FF});  // RESET
  core.SetPc(0x40);
  core.Push(0x1234);
  core.Poke(0x123, 0x77);
  core.Poke(kTrisB, 0x00);
  core.Step();
  EXPECT_EQ(core.pc(), 0u);
  EXPECT_EQ(core.StackDepth(), 0u);
  EXPECT_EQ(core.Peek(0x123), 0x77);
  EXPECT_EQ(core.Peek(kTrisB), 0xFF);
  EXPECT_EQ(core.cycles(), 1u);
}

TEST(Pic18Core, InvalidWordsExecuteAsNop) {
  Pic18Core core;
  PlaceWords(core, 0, {0x0002, 0xE800});
  core.Step();
  core.Step();
  EXPECT_EQ(core.invalidInstructions(), 2u);
  EXPECT_EQ(core.pc(), 4u);
  EXPECT_EQ(core.cycles(), 2u);
}

}  // namespace
}  // namespace velmora::sim
