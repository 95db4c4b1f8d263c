// The simulated dsPIC30F core against the maker's ICSP tables: instruction words as printed
// there, the packed read of the four-instruction table, the unlock, and the NVMCON operations.
#include "sim/dspic30/dspic30_core.h"

#include <gmock/gmock.h>

#include <algorithm>

#include "dspic30_test_support.h"
#include "memory/catalogue.h"

namespace velmora::sim {
namespace {

using namespace testing;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;

class DsPic30CoreTest : public ::testing::Test {
 protected:
  explicit DsPic30CoreTest(const DsPic30Geometry& geometry = kDsPic30F4013)
      : memory(geometry), core(memory) {}

  std::vector<std::string> Errors() {
    std::vector<std::string> errors;
    for (std::string& note : core.TakeNotes()) {
      if (note.find("error") != std::string::npos) errors.push_back(std::move(note));
    }
    return errors;
  }
  // Loads the write latches of the row at program-space address `address` with `words`.
  void LoadRow(uint32_t address, const std::vector<uint32_t>& words) {
    Exec(core, {op::MovLit(address >> 16, 0), op::kMovW0Tblpag, op::MovLit(address, 7)});
    for (uint32_t word : words) {
      Exec(core, {op::MovLit(word, 0), op::MovLit(word >> 16, 1),
                  0xBB0B80,    // TBLWTL W0, [W7]
                  0xBB9B81});  // TBLWTH W1, [W7++]
    }
  }
  void SetNvmcon(uint16_t value) { Exec(core, {op::MovLit(value, 10), op::kMovW10Nvmcon}); }
  // Reads one word of program space through VISI as the programmer does.
  uint16_t ReadWord(uint32_t address, bool high = false) {
    Exec(core, {op::MovLit(address >> 16, 0), op::kMovW0Tblpag, op::MovLit(address, 6),
                op::MovLit(0x784, 7), high ? 0xBA8B96u : 0xBA0B96u, op::kNop, op::kNop});
    return core.ReadVisi();
  }

  DsPic30Memory memory;
  DsPic30Core core;
};

TEST(DsPic30Memory, ModelsEveryCatalogueRow) {
  for (int row = 1; row <= kDsPic30DeviceRows; ++row) {
    const DsPic30Device& device = kDsPic30Devices[row];
    SCOPED_TRACE(device.name);
    const DsPic30Memory memory(DsPic30GeometryOfRow(row), 0x1040);
    EXPECT_EQ(memory.ReadProgramSpace(0xFF0000), uint32_t(device.deviceId));
    EXPECT_EQ(memory.ReadProgramSpace(0xFF0002), 0x1040u);
    EXPECT_EQ(memory.program().size(), size_t(device.programSize));
    EXPECT_EQ(memory.eeprom().size() * 2, size_t(device.eepromSize));
    EXPECT_EQ(memory.ram().size(), size_t(device.ramSize));
    for (uint32_t i = 0; i < 7; ++i) {
      EXPECT_EQ(memory.configuration()[i],
                device.configMasks[2 * i] | device.configMasks[2 * i + 1] << 8);
    }
    EXPECT_FALSE(memory.CodeProtected());
  }
  EXPECT_FALSE(DsPic30GeometryByName("PIC18F452"));
}

TEST(DsPic30Assembler, FirmwareWordsMatchTheMakersTables) {
  using namespace dspic30asm;
  const std::pair<uint32_t, uint32_t> cases[] = {
      {MovLiteral(0x80, 0), 0x200800},
      {MovLiteral(0x784, 1), 0x207841},
      {MovLiteral(0x404F, 10), 0x2404FA},
      {MovToFile(0, 0x0032), 0x880190},
      {MovToFile(10, 0x0760), 0x883B0A},
      {MovToFile(2, 0x0784), 0x883C22},
      {MovFromFile(0x0760, 2), 0x803B02},
      {BitOp(true, 0x0760, 15), 0xA8E761},
      {Table(false, false, false, kIndirect, 6, kPostInc, 7), 0xBA1B96},
      {Table(false, false, false, kPostInc, 6, kIndirect, 7), 0xBA0BB6},
      {Table(false, false, false, kIndirect, 0, kIndirect, 1), 0xBA0890},
      {Table(false, true, true, kPostInc, 6, kPostInc, 7), 0xBADBB6},
      {Table(false, true, true, kPreInc, 6, kPostInc, 7), 0xBADBD6},
      {Table(true, false, false, kDirect, 0, kIndirect, 0), 0xBB0800},
      {Table(true, false, false, kDirect, 1, kIndirect, 1), 0xBB0881},
      {ClearW(7), 0xEB0380},
  };
  for (const auto& [assembled, printed] : cases)
    EXPECT_EQ(assembled, printed) << std::hex << printed;
}

TEST_F(DsPic30CoreTest, ExecutesTheMakersMovesOnTheRegisterFile) {
  Exec(core, {0x200800, 0x205BE0, 0x207841, 0x2404FA});
  EXPECT_EQ(core.W(0), 0x05BE);
  EXPECT_EQ(core.W(1), 0x0784);
  EXPECT_EQ(core.W(10), 0x404F);
  Exec(core, {op::MovLit(0x12, 0), op::kMovW0Tblpag, op::kMovW10Nvmcon, op::kMovNvmconW2,
              op::kMovW2Visi, op::MovLit(0x55, 7), op::kClrW7, op::MovLit(0x1234, 6), op::kClrW6});
  EXPECT_EQ(core.Sfr(0x0032), 0x12);
  EXPECT_EQ(core.Sfr(0x0760), 0x404F);
  EXPECT_EQ(core.W(2), 0x404F);
  EXPECT_EQ(core.ReadVisi(), 0x404F);
  EXPECT_EQ(core.W(7), 0);
  EXPECT_EQ(core.W(6), 0);
  // GOTO 0x100 takes two words; the NOP printed after it is its second word.
  Exec(core, {op::kNop, op::kNop, op::kGoto100, op::kNop});
  EXPECT_EQ(core.programCounter(), 0x100u);
  EXPECT_THAT(Errors(), IsEmpty());
  EXPECT_EQ(DsPic30Core::Disassemble(0xBADBD6), "TBLRDH.B [++W6], [W7++]");
  EXPECT_EQ(DsPic30Core::Disassemble(0xA9E761), "BCLR NVMCON, #15");
  EXPECT_EQ(DsPic30Core::Disassemble(0x883B39), "MOV W9, NVMKEY");
}

TEST_F(DsPic30CoreTest, ReadsDeviceIdAndRevisionThroughVisi) {
  Exec(core, {op::MovLit(0xFF, 0), op::kMovW0Tblpag, op::MovLit(0, 6), op::MovLit(0x784, 7),
              op::kTblrdlPostIncW6IndW7, op::kNop, op::kNop});
  EXPECT_EQ(core.ReadVisi(), 0x0141);
  Exec(core, {op::kTblrdlPostIncW6IndW7, op::kNop, op::kNop});
  EXPECT_EQ(core.ReadVisi(), DsPic30Memory::kDefaultRevision);
}

// The four-instruction read of the maker's table: W7 walks W0..W5 in bytes for .B and in words
// otherwise, W6 walks the program words (and the phantom byte), giving the packed format.
TEST_F(DsPic30CoreTest, PackedReadOfFourInstructionsFillsW0ToW5) {
  const uint32_t words[] = {0xA1B2C3, 0x142536, 0x0F1E2D, 0x778899};
  for (uint32_t i = 0; i < 4; ++i) memory.program()[0x180 + i] = words[i];
  Exec(core, {op::MovLit(0, 0), op::kMovW0Tblpag, op::MovLit(0x300, 6), op::kClrW7});
  for (int half = 0; half < 2; ++half) {
    Exec(core, {op::kTblrdlIndW6PostIncW7, op::kTblrdhbPostIncW6PostIncW7,
                op::kTblrdhbPreIncW6PostIncW7, op::kTblrdlPostIncW6PostIncW7});
  }
  EXPECT_EQ(core.W(0), 0xB2C3);  // LSW0
  EXPECT_EQ(core.W(1), 0x14A1);  // MSB1:MSB0
  EXPECT_EQ(core.W(2), 0x2536);  // LSW1
  EXPECT_EQ(core.W(3), 0x1E2D);  // LSW2
  EXPECT_EQ(core.W(4), 0x770F);  // MSB3:MSB2
  EXPECT_EQ(core.W(5), 0x8899);  // LSW3
  EXPECT_EQ(core.W(6), 0x308);
  EXPECT_EQ(core.W(7), 12);
  EXPECT_THAT(Errors(), IsEmpty());
}

TEST_F(DsPic30CoreTest, TableWritesWaitInTheLatchesForTheUnlockedWrite) {
  std::vector<uint32_t> row(32);
  for (uint32_t i = 0; i < 32; ++i) row[i] = 0x0F0000 | i * 0x111;
  LoadRow(0x0040, row);
  EXPECT_EQ(memory.program()[0x20], DsPic30Memory::kErasedWord);  // latches only
  SetNvmcon(nvmop::kProgramRow);
  EXPECT_EQ(memory.program()[0x20], DsPic30Memory::kErasedWord);
  UnlockAndWrite(core);
  EXPECT_EQ(memory.program()[0x20], row[0]);
  EXPECT_EQ(memory.program()[0x3F], row[31]);
  EXPECT_EQ(memory.program()[0x1F], DsPic30Memory::kErasedWord);
  EXPECT_EQ(memory.program()[0x40], DsPic30Memory::kErasedWord);
  EXPECT_EQ(core.Sfr(0x0760), nvmop::kProgramRow);  // WR cleared at the end of the cycle
  EXPECT_EQ(core.TakeBusyMicros(), dspic30busy::kRowProgramMicros);
  EXPECT_THAT(Errors(), IsEmpty());

  // A second write only clears bits; the row erase sets them again.
  LoadRow(0x0040, std::vector<uint32_t>(32, 0xF0F0F0));
  SetNvmcon(nvmop::kProgramRow);
  UnlockAndWrite(core);
  EXPECT_EQ(memory.program()[0x21], 0x000010u);
  EXPECT_EQ(ReadWord(0x42), 0x0010 & 0xF0F0);
  Exec(core, {op::MovLit(0x44, 7), 0xBB0B80});  // dummy TBLWTL W0, [W7] selects the row
  SetNvmcon(nvmop::kEraseRow);
  UnlockAndWrite(core);
  EXPECT_EQ(memory.program()[0x21], DsPic30Memory::kErasedWord);
  EXPECT_THAT(Errors(), IsEmpty());
}

// What the maker's unlock demands: 0x55, then 0xAA to NVMKEY, and WR set by the next instruction,
// with WREN set. Anything else leaves the memory alone and is an error.
TEST_F(DsPic30CoreTest, WriteStartsOnlyAfterTheExactUnlock) {
  struct Case {
    const char* name;
    std::vector<uint32_t> stream;
    const char* error;  // nullptr: the write happens
  };
  const uint32_t key55 = op::MovLit(0x55, 8);
  const uint32_t keyAA = op::MovLit(0xAA, 9);
  const Case cases[] = {
      {"exact", {key55, op::kMovW8Nvmkey, keyAA, op::kMovW9Nvmkey, op::kBsetWr}, nullptr},
      {"keys loaded first",
       {key55, keyAA, op::kMovW8Nvmkey, op::kMovW9Nvmkey, op::kBsetWr},
       nullptr},
      {"no unlock", {op::kBsetWr}, "without the unlock"},
      {"keys swapped",
       {key55, keyAA, op::kMovW9Nvmkey, op::kMovW8Nvmkey, op::kBsetWr},
       "wrong unlock"},
      {"wrong key", {op::MovLit(0x56, 8), op::kMovW8Nvmkey}, "wrong unlock: 0x56"},
      {"late WR",
       {key55, op::kMovW8Nvmkey, keyAA, op::kMovW9Nvmkey, op::kNop, op::kBsetWr},
       "without the unlock"},
      {"WR by MOV without unlock",
       {op::MovLit(0xC001, 10), op::kMovW10Nvmcon},
       "without the unlock"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    DsPic30Memory fresh(kDsPic30F4013);
    DsPic30Core chip(fresh);
    Exec(chip, {op::MovLit(0, 0), op::kMovW0Tblpag, op::MovLit(0x100, 7), op::MovLit(0x1234, 0),
                0xBB0B80, op::MovLit(nvmop::kProgramRow, 10), op::kMovW10Nvmcon});
    for (uint32_t instruction : c.stream) chip.Execute(instruction);
    std::vector<std::string> notes = chip.TakeNotes();
    if (c.error) {
      EXPECT_EQ(fresh.program()[0x80], DsPic30Memory::kErasedWord);
      EXPECT_THAT(notes, ::testing::Contains(HasSubstr(c.error)));
      EXPECT_GE(chip.errorCount(), 1u);
    } else {
      EXPECT_EQ(fresh.program()[0x80], 0xFF1234u);
      EXPECT_EQ(chip.errorCount(), 0u);
    }
  }
  // Without WREN the unlocked WR does nothing.
  LoadRow(0x100, {0x000000});
  SetNvmcon(0x0001);
  UnlockAndWrite(core);
  EXPECT_EQ(memory.program()[0x80], DsPic30Memory::kErasedWord);
  EXPECT_THAT(Errors(), ElementsAre(HasSubstr("without WREN")));
}

TEST_F(DsPic30CoreTest, UnknownInstructionsAndAddressingAreErrors) {
  const std::pair<uint32_t, const char*> cases[] = {
      {0xFFFFFF, "unknown instruction 0xFFFFFF"},
      {0x780000, "unknown instruction 0x780000"},    // MOV Ws, Wd: not an ICSP instruction here
      {0xBA0806, "unknown addressing in 0xBA0806"},  // TBLRDL W6, [W0]: source must be indirect
      {0xBB0006, "unknown addressing in 0xBB0006"},  // TBLWTL W6, W0: destination must be indirect
      {0xBA3B96, "unknown addressing"},              // destination mode 7
      {0xEB8000, "unknown instruction 0xEB8000"},
  };
  for (const auto& [instruction, error] : cases) {
    core.Execute(instruction);
    EXPECT_THAT(Errors(), ElementsAre(HasSubstr(error))) << std::hex << instruction;
  }
  Exec(core, {op::kGoto100, op::MovLit(1, 0)});
  EXPECT_THAT(Errors(), ElementsAre(HasSubstr("second word of GOTO expected")));
  Exec(core, {op::MovLit(0x801, 1), 0x884001, 0x804003});  // MOV W1, 0x0800; MOV 0x0800, W3
  EXPECT_EQ(core.W(3), 0x801);
  EXPECT_EQ(memory.ram()[1], 0x08);
  EXPECT_THAT(Errors(), IsEmpty());
  Exec(core, {op::MovLit(0x4000, 1), 0x8FFFF1});  // MOV W1, 0xFFFE: nothing there
  EXPECT_THAT(Errors(), ElementsAre(HasSubstr("unimplemented data address 0xFFFE")));
  EXPECT_EQ(core.errorCount(), 8u);
}

TEST_F(DsPic30CoreTest, BulkEraseSparesTheSystemConfiguration) {
  memory.program()[5] = 0;
  memory.eeprom()[3] = 0;
  for (uint16_t& word : memory.configuration()) word = 0;
  SetNvmcon(nvmop::kBulkErase);
  UnlockAndWrite(core);
  EXPECT_EQ(memory.program()[5], DsPic30Memory::kErasedWord);
  EXPECT_EQ(memory.eeprom()[3], 0xFFFF);
  const std::array<uint16_t, 7> expected = {0, 0, 0, 0x0000, 0x0000, 0x0003, 0};
  EXPECT_TRUE(std::ranges::equal(memory.configuration(), expected));
  EXPECT_EQ(core.TakeBusyMicros(), dspic30busy::kBulkEraseMicros);
}

TEST_F(DsPic30CoreTest, ConfigurationWritesKeepImplementedBits) {
  // FOSC of the 4013: mask 0xC71F. The register is rewritten, not just cleared.
  memory.configuration()[0] = 0x0000;
  Exec(core,
       {op::MovLit(0xF8, 0), op::kMovW0Tblpag, op::MovLit(0, 7), op::MovLit(0xFFF5, 0), 0xBB0B80});
  SetNvmcon(nvmop::kWriteConfiguration);
  UnlockAndWrite(core);
  EXPECT_EQ(memory.configuration()[0], 0xC715);
  // FGS, the last register, read back through VISI; FICD beyond it is the last one.
  Exec(core, {op::MovLit(0x0A, 7), op::MovLit(0x0001, 0), 0xBB0B80});
  SetNvmcon(nvmop::kWriteConfiguration);
  UnlockAndWrite(core);
  EXPECT_EQ(ReadWord(0xF8000A), 0x0001);
  EXPECT_TRUE(memory.CodeProtected());
  Exec(core, {op::MovLit(0x0E, 7), 0xBB0B80});
  SetNvmcon(nvmop::kWriteConfiguration);
  UnlockAndWrite(core);
  EXPECT_THAT(Errors(), ElementsAre(HasSubstr("outside the configuration registers at 0xF8000E")));
}

TEST_F(DsPic30CoreTest, EepromWordsAndRowsFollowTheirOperations) {
  const uint32_t start = 0x800000 - 1024;  // 0x7FFC00
  auto writeEeprom = [&](uint16_t operation, uint32_t address, std::vector<uint16_t> words) {
    Exec(core, {op::MovLit(address >> 16, 0), op::kMovW0Tblpag, op::MovLit(address, 7)});
    for (uint16_t word : words) Exec(core, {op::MovLit(word, 0), 0xBB1B80});  // TBLWTL W0,[W7++]
    if (words.empty()) {
      Exec(core, {op::MovLit(address, 1), 0x883B11, op::MovLit(address >> 16, 1), 0x883B21});
    }
    SetNvmcon(operation);
    UnlockAndWrite(core);
  };
  writeEeprom(nvmop::kWriteEepromWord, start + 2, {0x1234});
  EXPECT_EQ(memory.eeprom()[1], 0x1234);
  writeEeprom(nvmop::kWriteEepromWord, start + 2, {0xFF00});  // only clears bits
  EXPECT_EQ(memory.eeprom()[1], 0x1200);
  std::vector<uint16_t> row(16);
  for (uint16_t i = 0; i < 16; ++i) row[i] = static_cast<uint16_t>(0xA000 + i);
  writeEeprom(nvmop::kWriteEepromRow, start + 32, row);
  EXPECT_EQ(memory.eeprom()[16], 0xA000);
  EXPECT_EQ(memory.eeprom()[31], 0xA00F);
  EXPECT_EQ(memory.eeprom()[32], 0xFFFF);
  // Erases by NVMADRU:NVMADR alone (no table write), as the maker's EEPROM example does.
  writeEeprom(nvmop::kEraseEepromWord, start + 2, {});
  EXPECT_EQ(memory.eeprom()[1], 0xFFFF);
  writeEeprom(nvmop::kEraseEepromRow, start + 40, {});
  EXPECT_EQ(memory.eeprom()[16], 0xFFFF);
  memory.eeprom()[500] = 0;
  writeEeprom(nvmop::kEraseEepromAll, start, {});
  EXPECT_EQ(memory.eeprom()[500], 0xFFFF);
  EXPECT_EQ(ReadWord(start + 34), 0xFFFF);
  EXPECT_THAT(Errors(), IsEmpty());
  EXPECT_EQ(core.TakeBusyMicros(), 6 * dspic30busy::kEepromMicros);

  writeEeprom(nvmop::kWriteEepromWord, 0x1000, {0});
  EXPECT_THAT(Errors(), ElementsAre(HasSubstr("outside EEPROM at 0x001000")));
  writeEeprom(nvmop::kWriteEepromWord, start, {0});
  writeEeprom(0x4002, start, {0});
  EXPECT_THAT(Errors(), ElementsAre(HasSubstr("unknown NVMCON operation 0x4002")));
}

TEST(DsPic30CoreWithoutEeprom, EepromOperationsAreErrors) {
  DsPic30Memory memory(kDsPic30F2011);
  DsPic30Core core(memory);
  Exec(core, {op::MovLit(0x7F, 0), op::kMovW0Tblpag, op::MovLit(0xFC00, 7), 0xBB0B80,
              op::MovLit(nvmop::kWriteEepromWord, 10), op::kMovW10Nvmcon});
  UnlockAndWrite(core);
  Exec(core, {op::MovLit(nvmop::kEraseEepromAll, 10), op::kMovW10Nvmcon});
  UnlockAndWrite(core);
  EXPECT_EQ(core.errorCount(), 2u);
  EXPECT_THAT(core.TakeNotes(), ElementsAre(HasSubstr("outside EEPROM"), HasSubstr("no EEPROM")));
}

TEST_F(DsPic30CoreTest, CodeProtectionHidesAndLocksCodeUntilBulkErase) {
  memory.program()[0x80] = 0x123456;
  memory.configuration()[5] = 0x0002;  // one FGS bit programmed
  EXPECT_EQ(ReadWord(0x100), 0x0000);
  EXPECT_EQ(ReadWord(0x100, true), 0x0000);
  EXPECT_EQ(ReadWord(0xF80000), 0xC71F);  // configuration stays readable
  LoadRow(0x140, std::vector<uint32_t>(32, 0));
  SetNvmcon(nvmop::kProgramRow);
  UnlockAndWrite(core);
  EXPECT_EQ(memory.program()[0xA0], DsPic30Memory::kErasedWord);
  EXPECT_THAT(core.TakeNotes(), ::testing::Contains(HasSubstr("refused: code protected")));
  SetNvmcon(nvmop::kBulkErase);
  UnlockAndWrite(core);
  EXPECT_FALSE(memory.CodeProtected());
  EXPECT_EQ(ReadWord(0x100), 0xFFFF);
}

TEST_F(DsPic30CoreTest, StuckBitsAndAnAbsentChipShowInReads) {
  memory.program()[0x10] = 0x000000;
  memory.AddStuckBit({.address = 0x42, .bit = 1, .level = true});        // word 0x10, upper byte
  memory.AddStuckBit({.address = 0x1F00000, .bit = 0, .level = false});  // FOSC bit 0
  EXPECT_EQ(ReadWord(0x20, true), 0x0002);
  EXPECT_EQ(ReadWord(0x20), 0x0000);
  EXPECT_EQ(ReadWord(0xF80000), 0xC71E);
  memory.SetAbsent(DsPic30Absent::kReadsHigh);
  EXPECT_EQ(ReadWord(0xFF0000), 0xFFFF);
  memory.SetAbsent(DsPic30Absent::kReadsLow);
  EXPECT_EQ(ReadWord(0xFF0000), 0x0000);
}

}  // namespace
}  // namespace velmora::sim
