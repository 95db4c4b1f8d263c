// The dsPIC30 commands end to end through a document on the simulated programmer: HEX files made
// by the generator in the maker's layout are programmed, verified and read back; the chip model
// reports every instruction it does not accept, so each run also checks the wire.
#include <gmock/gmock.h>

#include <filesystem>

#include "dspic30_fixture.h"
#include "families/dspic30/config_dspic30.h"

namespace velmora::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::IsEmpty;
using ::testing::Not;

constexpr int kCommand(DsPic30Command c) {
  return static_cast<int>(c);
}

// A program with code in the first rows, around the TBLPAG change and in the last row, EEPROM
// words at both ends, and every configuration register set (FGS left unprotected, as in an
// ordinary file).
DsPic30HexFile MakeProgram(const DsPic30Device& device) {
  DsPic30HexFile hex;
  const auto words = static_cast<uint32_t>(device.programSize);
  auto put = [&hex](uint32_t w) { hex.Instruction(w, (w * 0x031A07 + 0x450123) & 0xFFFFFF); };
  for (uint32_t w = 0; w < 70; ++w) put(w);
  if (words > 0x8000) {
    for (uint32_t w = 0x7FF0; w < 0x8010; ++w) put(w);
  }
  for (uint32_t w = words - 40; w < words; ++w) put(w);
  const auto eeprom = static_cast<uint32_t>(device.eepromSize);
  for (uint32_t i = 0; eeprom && i < 20; ++i) {
    hex.EepromWord(eeprom, i, static_cast<uint16_t>(0x1234 + i * 0x0101));
    hex.EepromWord(eeprom, eeprom / 2 - 1 - i, static_cast<uint16_t>(0xBEEF - i));
  }
  const uint16_t config[7] = {0xC307, 0x801F, 0x8733, 0xFFFF, 0xFFFF, 0xFFFF, 0xC002};
  for (int reg = 0; reg < 7; ++reg) hex.Configuration(reg, config[reg]);
  return hex;
}

class DsPic30SequenceTest : public DocumentSimTest {
 protected:
  void StartDevice(const std::string& device, nlohmann::json extra = nlohmann::json::object()) {
    Start(device, false, extra);
    SetFlags({});
  }
  struct Flags {
    int erase = 1, flash = 1, eeprom = 1, config = 1, ignoreConfig = 0, fast = 0, noVerify = 0;
  };
  void SetFlags(const Flags& f) {
    int32_t* o = doc_->optionSelections;
    o[DSPIC30ERASEALWAYS] = f.erase;
    o[DSPIC30PROGRAMMEMORY] = f.flash;
    o[DSPIC30PROGRAMEEPROM] = f.eeprom;
    o[DSPIC30PROGRAMCONFIGURATION] = f.config;
    o[DSPIC30IGNORECONFIG] = f.ignoreConfig;
    o[DSPIC30FASTVERIFY] = f.fast;
    o[DSPIC30NOVERIFY] = f.noVerify;
  }
  std::string SaveHex(const DsPic30HexFile& hex, const std::string& name) {
    const std::string path = (dir_ / name).string();
    hex.Save(path);
    doc_->dspic30FlashFileName = path;
    return path;
  }
  OperationOutcome RunCommand(DsPic30Command command) {
    return Run(DsPic30FamilyRow(), kCommand(command));
  }
  DsPic30Memory Chip() const { return DsPic30MemoryOf(TargetState()); }
  const DsPic30Device& Row(const std::string& name) const {
    for (int row = 1; row <= kDsPic30DeviceRows; ++row) {
      if (name == kDsPic30Devices[row].name) return kDsPic30Devices[row];
    }
    return kDsPic30Devices[0];
  }
};

uint16_t MaskOf(const DsPic30Device& device, int reg) {
  return static_cast<uint16_t>(device.configMasks[2 * reg] | device.configMasks[2 * reg + 1] << 8);
}

// Program, verify and read on a single-panel part, the multi-panel part and a part without
// EEPROM: the chip holds the file, and the file read back equals the original cell for cell
// where the chip implements bits.
TEST_F(DsPic30SequenceTest, ProgramVerifyReadRoundTrip) {
  for (const char* name : {"dsPIC30F4013", "dsPIC30F6014", "dsPIC30F2011 V1"}) {
    SCOPED_TRACE(name);
    StartDevice(name);
    const DsPic30Device& device = Row(name);
    const DsPic30HexFile hex = MakeProgram(device);
    SaveHex(hex, "program.hex");

    ASSERT_EQ(RunCommand(DsPic30Command::kProgram), OperationOutcome::kSuccess);
    const std::vector<std::string> log = Log();
    EXPECT_THAT(log, Contains("Flash memory successfully programmed."));
    EXPECT_THAT(log, Contains(device.eepromSize ? "EEPROM successfully programmed."
                                                : "Programming EEPROM skipped"));
    EXPECT_THAT(log, Contains("Configuration successfully programmed."));
    const DsPic30Memory chip = Chip();
    for (const auto& [address, byte] : hex.bytes()) {
      if (address < 4 * uint32_t(device.programSize) && address % 4 < 3) {
        ASSERT_EQ((chip.program[address / 4] >> (8 * (address % 4))) & 0xFF, byte) << address;
      }
    }
    if (device.eepromSize) {
      EXPECT_EQ(chip.eeprom[0], 0x1234);
      EXPECT_EQ(chip.eeprom.back(), 0xBEEF);
    }
    const uint16_t expected[7] = {0xC307, 0x801F, 0x8733, 0xFFFF, 0xFFFF, 0xFFFF, 0xC002};
    for (int reg = 0; reg < 7; ++reg) {
      EXPECT_EQ(chip.configuration[reg], expected[reg] & MaskOf(device, reg)) << reg;
    }
    // An ordinary file leaves the general segment unprotected (FGS implemented bits all 1).
    EXPECT_EQ(chip.configuration[5], MaskOf(device, 5));

    ASSERT_EQ(RunCommand(DsPic30Command::kVerify), OperationOutcome::kSuccess);
    EXPECT_THAT(Log(), Contains("Flash memory OK."));
    EXPECT_THAT(Log(), Contains("Configuration OK."));

    const std::string readPath = (dir_ / "read.hex").string();
    prompt_.SetHexSaveChoice(HexSaveChoice{readPath, false});
    ASSERT_EQ(RunCommand(DsPic30Command::kRead), OperationOutcome::kSuccess);
    const auto read = LoadImage(readPath);
    for (const auto& [address, byte] : hex.bytes()) {
      const int32_t cell = read->GetCell(address);
      if (address >= 0x1F00000) {
        const int reg = static_cast<int>((address - 0x1F00000) / 4);
        const uint32_t k = address % 4;
        const int mask = k < 2 ? (MaskOf(device, reg) >> (8 * k)) & 0xFF : 0;
        EXPECT_EQ(cell & mask, byte & mask) << std::hex << address;
        if (k >= 2) {
          EXPECT_EQ(cell, 0) << std::hex << address;
        }
      } else if (address >= 0xFF0000 && !device.eepromSize) {
        continue;
      } else {
        ASSERT_EQ(cell, byte) << std::hex << address;
      }
    }
    // Nothing the file did not hold comes back as data: erased rows are left out.
    EXPECT_EQ(read->GetCell(4 * 200), kBlankCell);
    EXPECT_THAT(ChipErrors(Events("note")), IsEmpty());
  }
}

// The configuration words in a file are compared register by register: a changed FBORPOR fails
// Verify at its cell in the HEX layout (register 2: cells 8 and 9).
TEST_F(DsPic30SequenceTest, ChangedConfigurationRegisterFailsVerifyAtItsAddress) {
  StartDevice("dsPIC30F4013");
  DsPic30HexFile hex = MakeProgram(Row("dsPIC30F4013"));
  SaveHex(hex, "program.hex");
  ASSERT_EQ(RunCommand(DsPic30Command::kProgram), OperationOutcome::kSuccess);
  hex.Configuration(2, 0x8713);  // BORV changed
  SaveHex(hex, "changed.hex");
  EXPECT_EQ(RunCommand(DsPic30Command::kVerify), OperationOutcome::kFailed);
  EXPECT_THAT(Log(), Contains("Error found in Configuration at address 0x08"));
  EXPECT_THAT(Log(), Contains("+++ Verification Failed +++"));
}

// A Verify with "no verify" compares nothing: against a chip that differs from the file it
// reports every part skipped and fails, never "OK".
TEST_F(DsPic30SequenceTest, VerifyWithNoVerifyChecksNothingAndFails) {
  StartDevice("dsPIC30F4013");
  DsPic30HexFile hex = MakeProgram(Row("dsPIC30F4013"));
  SaveHex(hex, "program.hex");
  ASSERT_EQ(RunCommand(DsPic30Command::kProgram), OperationOutcome::kSuccess);
  hex.Instruction(0, 0x123456);
  SaveHex(hex, "changed.hex");
  SetFlags({.noVerify = 1});
  EXPECT_EQ(RunCommand(DsPic30Command::kVerify), OperationOutcome::kFailed);
  EXPECT_THAT(Log(),
              ElementsAre("", "*** Verifying dsPIC30F4013 ***", "Verifying Flash memory skipped",
                          "Verifying EEPROM skipped", "Verifying Configuration skipped",
                          "+++ Nothing was verified +++", "+++ Verification Failed +++"));
  SetFlags({});
  EXPECT_EQ(RunCommand(DsPic30Command::kVerify), OperationOutcome::kFailed);
  EXPECT_THAT(Log(), Contains("Error found in Flash memory at address 0x000000"));
}

// The option-encoded configuration is built for the device found, never all-zero: with the
// default selections the general segment stays unprotected.
TEST_F(DsPic30SequenceTest, ConfigurationFromTheOptionsLeavesTheCodeReadable) {
  StartDevice("dsPIC30F6014");
  SetFlags({.ignoreConfig = 1});
  SaveHex(MakeProgram(Row("dsPIC30F6014")), "program.hex");
  ASSERT_EQ(RunCommand(DsPic30Command::kProgram), OperationOutcome::kSuccess);
  EXPECT_EQ(Chip().configuration[5], 0x0003);
  ASSERT_EQ(RunCommand(DsPic30Command::kVerify), OperationOutcome::kSuccess);
}

// Without the bulk erase the rows are erased before they are written: the old content of the
// EEPROM (all 0x0000) does not survive.
TEST_F(DsPic30SequenceTest, WithoutBulkEraseRowsAreErasedBeforeWriting) {
  DsPic30HexFile old;
  for (uint32_t i = 0; i < 512; ++i) old.EepromWord(1024, i, 0x0000);
  for (uint32_t w = 0; w < 64; ++w) old.Instruction(w, 0);
  const std::string oldPath = (dir_ / "old.hex").string();
  old.Save(oldPath);
  StartDevice("dsPIC30F4013", {{"memory", oldPath}});
  SetFlags({.erase = 0});
  SaveHex(MakeProgram(Row("dsPIC30F4013")), "program.hex");
  ASSERT_EQ(RunCommand(DsPic30Command::kProgram), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), Contains("Bulk Erase skipped"));
  EXPECT_EQ(Chip().eeprom[0], 0x1234);
  EXPECT_EQ(Chip().program[1], (1 * 0x031A07 + 0x450123) & 0xFFFFFFu);
  EXPECT_THAT(ChipErrors(Events("note")), IsEmpty());
}

// A Read has no file to take the runs from: even with fast reading it reads the whole program
// memory, so code anywhere on the chip is saved.
TEST_F(DsPic30SequenceTest, ReadReadsTheWholeProgramMemory) {
  DsPic30HexFile chipContent;
  chipContent.Instruction(16383, 0x0ABCDE);
  const std::string chipPath = (dir_ / "chip.hex").string();
  chipContent.Save(chipPath);
  StartDevice("dsPIC30F4013", {{"memory", chipPath}});
  SetFlags({.fast = 1});
  const std::string readPath = (dir_ / "read.hex").string();
  prompt_.SetHexSaveChoice(HexSaveChoice{readPath, false});
  ASSERT_EQ(RunCommand(DsPic30Command::kRead), OperationOutcome::kSuccess);  // "Fast Reading?" No
  const auto read = LoadImage(readPath);
  EXPECT_EQ(read->GetCell(4 * 16383), 0xDE);
  EXPECT_EQ(read->GetCell(4 * 16383 + 2), 0x0A);
}

// After a board swap the rows the update thinks unchanged are not on the chip: the read-back
// finds them, and the update fails.
TEST_F(DsPic30SequenceTest, UpdateOnAnotherChipFails) {
  StartDevice("dsPIC30F4013");
  SaveHex(MakeProgram(Row("dsPIC30F4013")), "program.hex");
  ASSERT_EQ(RunCommand(DsPic30Command::kProgram), OperationOutcome::kSuccess);
  ASSERT_EQ(RunCommand(DsPic30Command::kUpdate), OperationOutcome::kSuccess);
  EXPECT_THAT(Log().back(), HasSubstr("Flash memory successfully updated.   ("));
  ConfigureSimulator({{"device", "dsPIC30F4013"}});  // a blank chip of the same type
  EXPECT_EQ(RunCommand(DsPic30Command::kUpdate), OperationOutcome::kFailed);
  EXPECT_THAT(Log(),
              Contains("!!! Error occured during Flash programming at address 0x000000 !!!"));
}

TEST_F(DsPic30SequenceTest, EepromEraseLeavesEveryWordErased) {
  DsPic30HexFile old;
  for (uint32_t i = 0; i < 512; ++i) old.EepromWord(1024, i, static_cast<uint16_t>(i));
  const std::string oldPath = (dir_ / "old.hex").string();
  old.Save(oldPath);
  StartDevice("dsPIC30F4013", {{"memory", oldPath}});
  ASSERT_EQ(RunCommand(DsPic30Command::kEraseEeprom), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), Contains("EEPROM successfully erased."));
  EXPECT_THAT(Chip().eeprom, ::testing::Each(0xFFFF));
}

TEST_F(DsPic30SequenceTest, IdentifyAndConfigurationRead) {
  DsPic30HexFile chipContent = MakeProgram(Row("dsPIC30F6014"));
  const std::string chipPath = (dir_ / "chip.hex").string();
  chipContent.Save(chipPath);
  StartDevice("dsPIC30F6014", {{"memory", chipPath}});
  ASSERT_EQ(RunCommand(DsPic30Command::kIdentify), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), Contains("dsPIC30F6014   Flash 144k, EEPROM 4096, RAM 8192"));
  ASSERT_EQ(RunCommand(DsPic30Command::kReadConfiguration), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), Contains("Configuration setup updated with data from dsPIC30"));
  // FOSC 0xC307 under the 6014's mask 0xC30F, unimplemented bits read as 1.
  EXPECT_EQ(doc_->optionSelections[DSPIC30FPR], 7);
  EXPECT_EQ(doc_->optionSelections[DSPIC30GCP], 1);
  EXPECT_EQ(doc_->optionSelections[DSPIC30FWDTEN], 1);
  EXPECT_EQ(doc_->optionSelections[DSPIC30BORV], 3);
  IFamilyOperations& operations = OperationsOf(*doc_, DsPic30FamilyRow());
  EXPECT_EQ(operations.ResultText(kCommand(DsPic30Command::kReadConfiguration)),
            "dsPIC30 Configuration: FOSC=FFF7 FWDT=FFDF FBORPOR=FF7F FBS=FFFF FSS=FFFF "
            "FGS=FFFF FICD=FFFE");

  Start("dsPIC30F6014", false, {{"target", {{"absent", "high"}}}});
  EXPECT_EQ(RunCommand(DsPic30Command::kIdentify), OperationOutcome::kDeviceNotFound);
  EXPECT_THAT(Log(), Contains("Unknown Device"));
}

TEST_F(DsPic30SequenceTest, DumpsShowWordsOfEepromAndRam) {
  StartDevice("dsPIC30F2011 V1", {{"target", {{"ram", "34 12 78 56"}}}});
  ASSERT_EQ(RunCommand(DsPic30Command::kDumpRam), OperationOutcome::kSuccess);
  const std::vector<std::string> log = Log();
  EXPECT_THAT(log, Contains("*** Read RAM Reset ***"));
  EXPECT_THAT(log, Contains("0800:\t1234\t5678\t0000\t0000\t0000\t0000\t0000\t0000"));
  EXPECT_THAT(log, Contains("*** End of EEPROM Read Reset ***"));
}

// The cable is pulled at points spread over a whole Program of a dsPIC30F6014: the command ends
// every time, and never with success.
TEST_F(DsPic30SequenceTest, UnplugSweepOverAProgramNeverEndsInSuccess) {
  StartDevice("dsPIC30F6014");
  const DsPic30HexFile hex = MakeProgram(Row("dsPIC30F6014"));
  SaveHex(hex, "program.hex");
  ASSERT_EQ(RunCommand(DsPic30Command::kProgram), OperationOutcome::kSuccess);
  uint64_t total = 0;  // bytes on the wire, both directions
  const nlohmann::json transcript = Transcript();
  for (const auto& event : transcript["events"]) {
    if (event["op"] == "write") total += event.value("written", 0u);
    if (event["op"] == "read") total += event.value("bytes", std::string()).size() / 3 + 1;
  }
  ASSERT_GT(total, 100000u);
  std::vector<uint64_t> budgets = {0, 1, 2, 5, 10, 40, 100, 400};
  for (int i = 1; i < 24; ++i) budgets.push_back(total * i / 24);
  for (uint64_t budget : budgets) {
    SCOPED_TRACE(budget);
    Start("dsPIC30F6014", false, {{"faults", {{"unplugAfterBytes", budget}}}});
    SetFlags({});
    SaveHex(hex, "program.hex");
    EXPECT_NE(RunCommand(DsPic30Command::kProgram), OperationOutcome::kSuccess);
    for (const std::string& line : Log()) {
      EXPECT_THAT(line, Not(HasSubstr("Finished Successfully")));
    }
    EXPECT_NE(doc_->progressBar.State().caption, "Success");
  }
}

}  // namespace
}  // namespace velmora::testing
