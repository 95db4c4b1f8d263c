// Complete scripts: their code image disassembles with gpdasm into the listing of the expected
// PIC18 source as gpasm assembles it.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "gputils_support.h"
#include "script/programmer_cpu/zeql_pic18.h"
#include "script/zeql_engine.h"
#include "script_test_support.h"
#include "support/scratch_directory.h"

namespace velmora {
namespace {

constexpr int kStart = 0x1000;

class ScriptListing : public ::testing::Test {
 protected:
  void SetUp() override {
    auto generator = std::make_unique<CZEQLPIC18>(engine);
    generator->SetFirmwareAddresses(0x0F00, 0x0E80, 0x0E00);
    engine.SetGenerator(std::move(generator));
    ASSERT_TRUE(engine.SetCodeArea(kStart, 0x2000));
  }

  void ExpectListing(const std::string& script, const std::string& expectedSource) {
    std::ofstream(dir / "s.zeq") << script;
    engine.ReadScript((dir / "s.zeq").string());
    engine.Compile();
    ASSERT_EQ(engine.ErrorCount(), 0) << log.Joined();
    const std::vector<uint8_t> code(engine.CodeImage().begin() + kStart,
                                    engine.CodeImage().begin() + engine.CompiledCodeEnd());
    const std::vector<uint8_t> expected = testing::Assemble(dir, expectedSource, kStart);
    const std::string listing = testing::Disassemble(dir, code, kStart);
    EXPECT_EQ(listing, testing::Disassemble(dir, expected, kStart)) << listing;
    EXPECT_EQ(code, expected);
  }

  std::filesystem::path dir = testing::ScratchDirectory("zeql-listing-");
  testing::CollectingLog log;
  ScriptedPrompt prompt;
  CZEQLEngine engine{log, prompt};
};

TEST_F(ScriptListing, LoopCallBranchAndSend) {
  ExpectListing(
      "sub @Pulse\n CLK = 1\n CLK = 0\nend\n"
      "sub *Main\n loop R0, 3\n call @Pulse\n lend\n be A0, 0x12, skip\n A1 = A0\n"
      "skip:\n send A1\nend\n",
      " dw 0x2000\n"
      " call 0x0E76,0\n bsf LATB,1,0\n call 0x0E76,0\n bcf LATB,1,0\n return 0\n"
      " movlw 3\n movwf 0x2C,0\n"
      "body:\n call 0x1002,0\n decfsz 0x2C,1,0\n bra body\n"
      " movf 0x20,0,0\n sublw 0x12\n bz skip\n movff 0x20,0x21\n"
      "skip:\n btfsc 0x81,7,0\n bra $-2\n btfss 0x9E,4,0\n bra $-2\n movff 0x21,TXREG\n"
      " return 0\n");
}

TEST_F(ScriptListing, PinReadsResetAndGet) {
  // Line 1: VPP on the target's reset, DATA an input. Line 2: DATA read into A0 bit 0 with a
  // line time of 300 (two NOPs). Line 3: CLK driven from T0 bit 1, inverted.
  ExpectListing(
      "port DATA pgd\n"
      "sub @Read\n timing = 100\n RESET = VPP DATADIR = INPUT\n timing = 300\n A0 = pgd\n"
      " timing = 100\n -CLK = T1\nend\n"
      "sub *Get\n get G2\nend\n",
      " dw 0x2000\n"
      " bsf TRISB,0,0\n bsf LATB,2,0\n bsf LATB,4,0\n bcf LATB,2,0\n"
      " nop\n nop\n bcf 0x20,0,0\n btfsc PORTB,0,0\n bsf 0x20,0,0\n"
      " btfsc 0x24,1,0\n bcf LATB,1,0\n btfss 0x24,1,0\n bsf LATB,1,0\n"
      " return 0\n"
      " call 0x0E00,0\n movff 0x07,0x32\n return 0\n");
}

}  // namespace
}  // namespace velmora
