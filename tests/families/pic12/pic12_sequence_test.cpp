// The PIC12F629-family commands end to end through a document on the simulated programmer, with
// programs that gpasm assembled: the chip's memory afterwards, the calibration it keeps, the
// log, the bar, and what gpsim and srec_cmp make of the file read back.
#include <gmock/gmock.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <regex>

#include "cli/cli_process.h"
#include "pic12_fixture.h"
#include "support/hex_text.h"

namespace velmora::testing {
namespace {

using ::testing::AllOf;
using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

// The start-up code every test program carries (bsf STATUS,RP0; call 0x3FF; movwf OSCCAL; bcf
// STATUS,RP0; movwf 0x20; goto $).
const std::vector<uint16_t> kStartUp = {0x1683, 0x23FF, 0x0090, 0x1283, 0x00A0, 0x2805};

struct PartCase {
  const char* device;
  const char* program;
  uint8_t calibration;
  uint8_t bandGap;
  std::vector<uint16_t> ids;
  std::string eepromText;
};

class Pic12EndToEndTest : public Pic12DocumentTest,
                          public ::testing::WithParamInterface<PartCase> {};

// Program, verify and read back: the file's data on the chip, the factory calibration kept, the
// gpasm configuration word (bits 11..9 set, band-gap bits set) verified against what the chip
// implements.
TEST_P(Pic12EndToEndTest, ProgramVerifyReadKeepTheCalibration) {
  const PartCase& c = GetParam();
  StartChip(c.device, {{"calibration", c.calibration}, {"bandGap", c.bandGap}});
  ASSERT_EQ(Program(Pic12Program(c.program)), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), Contains(std::string("*** Programming ") + c.device + " ***"));
  EXPECT_THAT(Log(), Contains("Flash memory successfully programmed"));
  EXPECT_THAT(Log(), Contains("EEPROM successfully programmed"));
  EXPECT_THAT(Log(), Not(Contains("!!! Error in configuration !!!")));
  EXPECT_EQ(doc_->progressBar.State().caption, "Success");

  const Pic12ChipMemory chip = Chip();
  EXPECT_EQ(std::vector<uint16_t>(chip.program.begin(), chip.program.begin() + 6), kStartUp);
  EXPECT_EQ(chip.program[6], 0x3FFF);
  EXPECT_EQ(chip.CalibrationWord(), 0x3400 | c.calibration);
  // 0x3FC4 in the file: the options kept, bits 11..9 read 0, the factory band gap kept.
  EXPECT_EQ(chip.ConfigurationWord(), 0x01C4 | c.bandGap << 12);
  EXPECT_EQ(std::vector<uint16_t>(chip.configuration.begin(), chip.configuration.begin() + 4),
            c.ids);
  EXPECT_EQ(std::string(chip.eeprom.begin() + 2, chip.eeprom.begin() + 2 + c.eepromText.size()),
            c.eepromText);
  EXPECT_EQ(chip.eeprom[0], 0x11);

  ASSERT_EQ(RunCommand(Pic12Command::kVerify), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), Contains(HasSubstr("*** Finished Successfully *** ")));

  const std::string readPath = (dir_ / "read.hex").string();
  prompt_.SetHexSaveChoice(HexSaveChoice{readPath, false});
  ASSERT_EQ(RunCommand(Pic12Command::kRead), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), Contains("*** Finished Reading ***"));
  // What the file gives, read back cell for cell (srec_cat keeps the file's own ranges of what
  // was read, srec_cmp compares), but the calibration word and the configuration word, which
  // are the chip's.
  const std::string program = Pic12Program(c.program);
  const std::string cropped = (dir_ / "cropped.hex").string();
  const std::string chipOwn = " -exclude 0x07FE 0x0800 -exclude 0x400E 0x4010";
  const std::string command = "srec_cat " + readPath + " -intel -crop -within " + program +
                              " -intel -o " + cropped + " -intel && srec_cmp " + program +
                              " -intel" + chipOwn + " " + cropped + " -intel" + chipOwn +
                              " >/dev/null 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  // The chip's calibration word and configuration word are in the file read back.
  auto image = LoadImage(readPath);
  EXPECT_EQ(image->programMemory[0x7FE], c.calibration);
  EXPECT_EQ(image->programMemory[0x7FF], 0x34);
  EXPECT_EQ(image->programMemory[0x400F], 0x01 | c.bandGap << 4);
}

INSTANTIATE_TEST_SUITE_P(
    Parts, Pic12EndToEndTest,
    ::testing::Values(PartCase{"PIC12F629", "pic12f629", 0x5C, 2, {1, 6, 2, 9}, "12f629"},
                      PartCase{"PIC12F675", "pic12f675", 0x80, 1, {0, 6, 7, 5}, "12f675"},
                      // Its file carries "retlw 0x00" at 0x3FF: the chip's own value wins.
                      PartCase{"PIC16F676", "pic16f676", 0x34, 3, {7, 6, 7, 6}, "16f676"}),
    [](const auto& part) { return std::string(part.param.device); });

// The program read back from a PIC12F675 runs in gpsim and finds the calibration the chip was
// made with.
TEST_F(Pic12DocumentTest, ReadBackProgramRunsInGpsimWithItsCalibration) {
  StartChip("PIC12F675", {{"calibration", "0x6A"}});
  ASSERT_EQ(Program(Pic12Program("pic12f675")), OperationOutcome::kSuccess);
  const std::string readPath = (dir_ / "read.hex").string();
  prompt_.SetHexSaveChoice(HexSaveChoice{readPath, false});
  ASSERT_EQ(RunCommand(Pic12Command::kRead), OperationOutcome::kSuccess);
  const std::string out = (dir_ / "gpsim.txt").string();
  const std::string command = "printf 'step 20\\ndump r\\nquit\\n' | gpsim -i -p p12f675 " +
                              readPath + " >" + out + " 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  const std::string dump = ReadAll(out);
  // The program's copy at 0x20 holds the value of the RETLW at 0x3FF; OSCCAL (0x90) keeps its
  // implemented bits 7..2.
  EXPECT_THAT(dump, HasSubstr("0020:  6a"));
  EXPECT_THAT(dump, HasSubstr("0090:  68"));
}

TEST_F(Pic12DocumentTest, IdentifyShowsTypeRevisionCalibrationAndIdWords) {
  StartChip("PIC12F675", {{"calibration", "0x5C"}, {"bandGap", 2}, {"revision", 3}});
  ASSERT_EQ(RunCommand(Pic12Command::kIdentify), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), ElementsAre("",
                                 "Type: PIC12F675 Rev. 3    Flash 1k, EEPROM 128, RAM 64       "
                                 "Calibration Byte is 92      Band Gap Calibration = 2",
                                 "ID-Location: Is Empty"));
  ASSERT_EQ(Program(Pic12Program("pic12f675")), OperationOutcome::kSuccess);
  ASSERT_EQ(RunCommand(Pic12Command::kIdentify), OperationOutcome::kSuccess);
  EXPECT_EQ(Log().back(), "ID: 0000 0006 0007 0005");

  StartChip("PIC12F629", {{"calibrationMissing", true}});
  ASSERT_EQ(RunCommand(Pic12Command::kIdentify), OperationOutcome::kSuccess);
  EXPECT_THAT(Log()[1], HasSubstr("Calibration Byte is missing"));
}

// The erase is the firmware's: program memory, ID words and configuration go, the calibration
// word and the band-gap bits come back.
TEST_F(Pic12DocumentTest, EraseFlashKeepsCalibrationWordAndBandGapBits) {
  StartChip("PIC12F629", {{"calibration", "0x47"}, {"bandGap", 1}});
  ASSERT_EQ(Program(Pic12Program("pic12f629")), OperationOutcome::kSuccess);
  MarkTranscript();
  ASSERT_EQ(RunCommand(Pic12Command::kEraseFlash), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), ElementsAre("", "*** Flash Erased ***", "Calibration Values updated"));
  const Pic12ChipMemory chip = Chip();
  EXPECT_EQ(chip.CalibrationWord(), 0x3447);
  EXPECT_EQ(chip.ConfigurationWord(), 0x11FF);
  for (size_t w = 0; w < 0x3FF; ++w) ASSERT_EQ(chip.program[w], 0x3FFF) << w;
  EXPECT_THAT(std::vector<uint16_t>(chip.configuration.begin(), chip.configuration.begin() + 4),
              ElementsAre(0x3FFF, 0x3FFF, 0x3FFF, 0x3FFF));
  // The erase command, then the calibration restore: 2046 bytes 0xFF before the word.
  const auto commands = Commands();
  ASSERT_GE(commands.size(), 3u);
  bool erased = false;
  for (const auto& command : commands) {
    if (command == std::vector<uint8_t>{0x45}) erased = true;
    if (command.size() == 3 + 2048 && command[0] == 0x44) {
      EXPECT_TRUE(erased);
      EXPECT_EQ(std::count(command.begin() + 3, command.end() - 2, 0xFF), 2046);
      EXPECT_EQ(command[2049], 0x47);
      EXPECT_EQ(command[2050], 0x34);
    }
  }
  EXPECT_TRUE(erased);
}

TEST_F(Pic12DocumentTest, EraseEepromLeavesProgramAndCalibration) {
  StartChip("PIC12F675");
  ASSERT_EQ(Program(Pic12Program("pic12f675")), OperationOutcome::kSuccess);
  ASSERT_EQ(RunCommand(Pic12Command::kEraseEeprom), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), ElementsAre("", "EEPROM erased"));
  const Pic12ChipMemory chip = Chip();
  EXPECT_EQ(chip.eeprom, std::vector<uint8_t>(128, 0xFF));
  EXPECT_EQ(chip.program[0], kStartUp[0]);
  EXPECT_EQ(chip.CalibrationWord(), 0x345C);
}

// "Software" off: only the EEPROM is written and compared; the program memory and the
// calibration stay as they were.
TEST_F(Pic12DocumentTest, ProgramWithSoftwareOffWritesOnlyTheEeprom) {
  StartChip("PIC12F675");
  Pic12().state.software = 0;
  ASSERT_EQ(Program(Pic12Program("pic12f675")), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), Contains("EEPROM successfully programmed"));
  EXPECT_THAT(Log(), Not(Contains("Flash memory successfully programmed")));
  for (const auto& command : Commands()) EXPECT_NE(command[0], 0x45);
  const Pic12ChipMemory chip = Chip();
  EXPECT_EQ(chip.program[0], 0x3FFF);
  EXPECT_EQ(chip.CalibrationWord(), 0x345C);
  EXPECT_EQ(chip.eeprom[0], 0x11);
}

// A chip whose calibration word was lost earlier: without a value nothing is invented; with the
// page's value the RETLW is written. A calibration word present is never replaced.
TEST_F(Pic12DocumentTest, CalibrationValueIsWrittenOnlyWhereTheChipLostItsOwn) {
  StartChip("PIC12F675", {{"calibrationMissing", true}});
  ASSERT_EQ(Program(Pic12Program("pic12f675")), OperationOutcome::kSuccess);
  EXPECT_EQ(Chip().CalibrationWord(), 0x3FFF);

  Pic12().state.calibrationValue = 0x40;
  ASSERT_EQ(Program(Pic12Program("pic12f675")), OperationOutcome::kSuccess);
  EXPECT_EQ(Chip().CalibrationWord(), 0x3440);

  StartChip("PIC12F675", {{"calibration", "0x5C"}});
  Pic12().state.calibrationValue = 0x40;
  ASSERT_EQ(Program(Pic12Program("pic12f675")), OperationOutcome::kSuccess);
  EXPECT_EQ(Chip().CalibrationWord(), 0x345C);
}

// A band-gap choice other than "retain" is written, and verifies.
TEST_F(Pic12DocumentTest, ChosenBandGapBitsAreWrittenAndVerified) {
  StartChip("PIC12F629", {{"bandGap", 2}});
  Pic12().state.bandGapSelection = 1 + 1;  // bits 01
  ASSERT_EQ(Program(Pic12Program("pic12f629")), OperationOutcome::kSuccess);
  EXPECT_EQ(Chip().ConfigurationWord(), 0x11C4);
  ASSERT_EQ(RunCommand(Pic12Command::kVerify), OperationOutcome::kSuccess);
  Pic12().state.bandGapSelection = 0;
  ASSERT_EQ(RunCommand(Pic12Command::kVerify), OperationOutcome::kSuccess);
}

// The page's word replaces the file's when the file's configuration is ignored.
TEST_F(Pic12DocumentTest, IgnoredFileConfigurationTakesThePageWord) {
  StartChip("PIC12F629", {{"bandGap", 3}});
  Pic12().state.ignoreHexConfig = 1;
  Pic12().state.configurationWord = 0x01E4;
  ASSERT_EQ(Program(Pic12Program("pic12f629")), OperationOutcome::kSuccess);
  EXPECT_EQ(Chip().ConfigurationWord(), 0x31E4);
}

TEST_F(Pic12DocumentTest, VerifyReportsTheFirstDifferingWordAndEepromByte) {
  StartChip("PIC12F675", {{"stuckBits", {{{"word", "0x3"}, {"bit", 0}, {"level", 0}}}}});
  EXPECT_EQ(Program(Pic12Program("pic12f675")), OperationOutcome::kFailed);
  EXPECT_THAT(Log(), Contains("!!! Error found in Flash memory at address 0x0003 !!!"));
  EXPECT_THAT(Log(), Contains("+++ Programming Failed +++"));
  EXPECT_EQ(doc_->progressBar.State().caption, "Fail");

  StartChip("PIC12F675");
  doc_->hexFileName = Pic12Program("pic12f675");
  EXPECT_EQ(RunCommand(Pic12Command::kVerify), OperationOutcome::kFailed);
  EXPECT_THAT(Log(), Contains("!!! Error found in Flash memory at address 0x0000 !!!"));
  EXPECT_THAT(Log(), Contains("!!! Error found in EEPROM at address 0x00 !!!"));
  EXPECT_THAT(Log(), Contains("!!! Error found in ID-Location !!!"));
  EXPECT_THAT(Log(), Contains("+++ Verification Failed +++"));
}

// A calibration word that does not come back after the erase (a stuck bit) fails the Program
// with its own line.
TEST_F(Pic12DocumentTest, CalibrationThatCannotBeWrittenBackFailsTheProgram) {
  StartChip("PIC12F675", {{"calibration", "0x5C"},
                          {"stuckBits", {{{"word", "0x3FF"}, {"bit", 0}, {"level", 1}}}}});
  EXPECT_EQ(Program(Pic12Program("pic12f675")), OperationOutcome::kFailed);
  EXPECT_THAT(Log(), Contains("!!! Calibration Values not restored !!!"));
  EXPECT_THAT(Log(), Contains("+++ Programming Failed +++"));
}

TEST_F(Pic12DocumentTest, AbsentChipIsNotFound) {
  StartChip("PIC12F629", {{"absent", true}});
  EXPECT_EQ(Program(Pic12Program("pic12f629")), OperationOutcome::kDeviceNotFound);
  EXPECT_THAT(Log(), ElementsAre("", "Programming not possible. Cannot find PIC."));
  EXPECT_EQ(doc_->progressBar.State().caption, "No PIC !!!");
  for (const auto& command : Commands()) EXPECT_NE(command[0], 0x45);
}

// A cable pulled anywhere in a Program: never a success, and the calibration is intact (the
// firmware's erase puts it back before it answers).
TEST_F(Pic12DocumentTest, UnplugSweepOverAProgramKeepsTheCalibration) {
  StartChip("PIC12F675", {{"calibration", "0x5C"}, {"bandGap", 2}});
  ASSERT_EQ(Program(Pic12Program("pic12f675")), OperationOutcome::kSuccess);
  uint64_t total = 0;  // bytes on the wire, both directions
  const nlohmann::json transcript = Transcript();
  for (const auto& event : transcript["events"]) {
    if (event["op"] == "write") total += event.value("written", 0u);
    if (event["op"] == "read") total += event.value("bytes", std::string()).size() / 3 + 1;
  }
  ASSERT_GT(total, 8000u);
  std::vector<uint64_t> budgets = {0, 1, 5, 20, 100};
  for (int i = 1; i < 20; ++i) budgets.push_back(total * i / 20);
  for (uint64_t budget : budgets) {
    SCOPED_TRACE(budget);
    StartChip("PIC12F675", {{"calibration", "0x5C"}, {"bandGap", 2}},
              {{"unplugAfterBytes", budget}});
    EXPECT_NE(Program(Pic12Program("pic12f675")), OperationOutcome::kSuccess);
    EXPECT_THAT(Log(), Not(Contains(HasSubstr("Finished Successfully"))));
    EXPECT_NE(doc_->progressBar.State().caption, "Success");
    const Pic12ChipMemory chip = Chip();
    EXPECT_EQ(chip.CalibrationWord(), 0x345C);
    EXPECT_EQ(chip.ConfigurationWord() & 0x3000, 0x2000);
  }
}

// Data the PIC12F629 cannot hold: a word past its 1024 program words, a word past the
// configuration memory (0x2008), an EEPROM byte past its 128. Program and Verify report it and
// stop before the chip is touched unless the user confirms; the program's own IDs, configuration
// word and EEPROM pass without a question.
TEST_F(Pic12DocumentTest, DataOutsideTheDeviceIsReportedAndRefusedUnlessConfirmed) {
  StartChip("PIC12F629", {{"calibration", "0x5C"}});
  const std::string program = Pic12Program("pic12f629");
  const auto withBytes = [this](const std::string& name, const std::string& original, uint32_t at) {
    std::ifstream in(original, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << HexBytesAt(at, {0x5A, 0x00}) << text;
    return path;
  };
  const std::pair<std::string, std::string> cases[] = {
      {withBytes("flash.hex", program, 0x800), ": 0x000800-0x000801 +++"},
      {withBytes("config.hex", program, 0x4010), ": 0x004010-0x004011 +++"},
      {withBytes("eeprom.hex", program, 0x4300), ": 0x004300-0x004301 +++"},
  };
  const nlohmann::json before = TargetState();
  for (const auto& [path, run] : cases) {
    SCOPED_TRACE(run);
    doc_->hexFileName = path;
    for (Pic12Command command : {Pic12Command::kProgram, Pic12Command::kVerify}) {
      EXPECT_EQ(RunCommand(command), OperationOutcome::kFailed);
      EXPECT_THAT(Log(), Contains(AllOf(HasSubstr("+++ 2 bytes of the HEX file lie outside the "),
                                        HasSubstr(run))));
      ASSERT_EQ(prompt_.Records().size(), 1u);
      EXPECT_EQ(prompt_.Records()[0].caption, "Data Outside Device");
    }
  }
  EXPECT_EQ(TargetState(), before);

  EXPECT_EQ(Program(program), OperationOutcome::kSuccess);
  EXPECT_TRUE(prompt_.Records().empty());

  prompt_.QueueAnswer(Answer::Yes);
  EXPECT_EQ(Program(std::get<0>(cases[0])), OperationOutcome::kSuccess);
  EXPECT_TRUE(Logged("Data outside the device left out, as confirmed"));
}

}  // namespace
}  // namespace velmora::testing
