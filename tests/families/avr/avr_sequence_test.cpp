// The ATmega commands end to end on the simulated programmer: avr-gcc programs with EEPROM files
// and fuse sections programmed, verified and read back; what is written to a chip and what is
// never written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <thread>

#include "avr_fixture.h"
#include "memory/intel_hex.h"
#include "support/hex_text.h"

namespace velmora::testing {
namespace {

struct RealFile {
  const char* device;
  const char* program;
  uint32_t flashBytes;         // what the catalogue uses
  std::vector<uint8_t> fuses;  // what avr-gcc put in the fuse and lock sections
  uint8_t lock;
  const char* output;  // what simavr shows of the running program
};

const RealFile kRealFiles[] = {
    {"ATmega8", "atmega8", 8192, {0xE4, 0xD9, 0xFF}, 0xFF, "Velmora ATmega8: from EEPROM."},
    {"ATmega2560/V",
     "atmega2560",
     131072,
     {0xE2, 0xD9, 0xFD},
     0xFF,
     "Velmora ATmega2560 above 64K: EEPROM of the 2560."},
    {"ATtiny85", "attiny85", 8192, {0xE2, 0xDF, 0xFF}, 0xFF, "Loaded 2 section of ihex"},
};

class AvrRealFileTest : public AvrDocumentTest, public ::testing::WithParamInterface<RealFile> {};

// srec_cmp on the two files, both filled with 0xFF over the device's flash.
int SrecCompare(const std::string& a, const std::string& b, uint32_t size) {
  const std::string range =
      " -crop 0 " + std::to_string(size) + " -fill 0xFF 0 " + std::to_string(size);
  const std::string command =
      "srec_cmp " + a + " -intel" + range + " " + b + " -intel" + range + " >/dev/null 2>&1";
  return std::system(command.c_str());
}

// Runs flash and EEPROM files in simavr (the EEPROM where simavr's HEX loader expects it, the
// flash as one block) and returns what it printed, the UART output included.
std::string RunInSimavr(const std::filesystem::path& dir, const std::string& mcu,
                        const std::string& flash, const std::string& eeprom, uint32_t size,
                        uint32_t eepromSize) {
  const std::string combined = (dir / "simavr.hex").string();
  const std::string output = (dir / "simavr.txt").string();
  const std::string n = std::to_string(size), e = std::to_string(eepromSize);
  const std::string command = "srec_cat " + flash + " -intel -crop 0 " + n + " -fill 0xFF 0 " + n +
                              " " + eeprom + " -intel -crop 0 " + e + " -fill 0xFF 0 " + e +
                              " -offset 0x810000 -o " + combined +
                              " -intel && timeout 20 simavr -m " + mcu + " -f 8000000 " + combined +
                              " >" + output + " 2>&1";
  EXPECT_EQ(std::system(command.c_str()), 0) << command;
  std::ifstream in(output);
  return std::string((std::istreambuf_iterator<char>(in)), {});
}

TEST_P(AvrRealFileTest, ProgramVerifyAndReadBack) {
  const RealFile& f = GetParam();
  StartAvr(f.device);
  ASSERT_EQ(RunFile(AvrCommand::kProgram, f.program), OperationOutcome::kSuccess)
      << ::testing::PrintToString(Log());
  EXPECT_TRUE(Logged("EEPROM successfully programmed."));
  EXPECT_TRUE(Logged("Configuration successfully programmed."));
  const AvrChipState chip = Chip();
  EXPECT_EQ(chip.fuses[0], f.fuses[0]);
  EXPECT_EQ(chip.fuses[1], f.fuses[1]);
  if (std::string(f.device) != "ATmega8") {
    EXPECT_EQ(chip.fuses[2], f.fuses[2] | 0xF8);  // five unimplemented bits read 1
  }
  EXPECT_EQ(chip.lock | 0xC0, f.lock | 0xC0);

  // The chip's flash and EEPROM equal the files (srec_cmp on the state written as HEX).
  CMCUMemoryArchitecture image;
  image.Clear();
  std::copy(chip.flash.begin(), chip.flash.begin() + f.flashBytes, image.programMemory);
  image.programSize = static_cast<int32_t>(f.flashBytes);
  const std::string chipFile = SaveImage(image, "chip.hex", image.programSize, 0);
  EXPECT_EQ(SrecCompare(AvrData(std::string(f.program) + ".hex"), chipFile, f.flashBytes), 0);
  CMCUMemoryArchitecture eeprom;
  eeprom.Clear();
  std::copy(chip.eeprom.begin(), chip.eeprom.end(), eeprom.programMemory);
  const std::string eepromFile =
      SaveImage(eeprom, "chip.eep", static_cast<int32_t>(chip.eeprom.size()), 0);
  EXPECT_EQ(SrecCompare(AvrData(std::string(f.program) + ".eep"), eepromFile,
                        static_cast<uint32_t>(chip.eeprom.size())),
            0);

  EXPECT_EQ(RunFile(AvrCommand::kVerify, f.program), OperationOutcome::kSuccess)
      << ::testing::PrintToString(Log());
  EXPECT_TRUE(Logged("Configuration OK."));

  const std::string readFile = (dir_ / "read.hex").string();
  const std::string readEeprom = (dir_ / "read.eep").string();
  prompt_.SetHexSaveChoice(HexSaveChoice{readFile, false});
  Ops().eepromOutFile = readEeprom;
  ASSERT_EQ(RunAvr(AvrCommand::kRead), OperationOutcome::kSuccess)
      << ::testing::PrintToString(Log());
  EXPECT_EQ(SrecCompare(AvrData(std::string(f.program) + ".hex"), readFile, f.flashBytes), 0);
  EXPECT_EQ(SrecCompare(AvrData(std::string(f.program) + ".eep"), readEeprom,
                        static_cast<uint32_t>(chip.eeprom.size())),
            0);
  EXPECT_EQ(Chip().fuses, chip.fuses);  // Read and Verify left the fuses as they were

  // The read-back program behaves in simavr as the one avr-gcc built.
  const auto eepromSize = static_cast<uint32_t>(chip.eeprom.size());
  const std::string original =
      RunInSimavr(dir_, f.program, AvrData(std::string(f.program) + ".hex"),
                  AvrData(std::string(f.program) + ".eep"), f.flashBytes, eepromSize);
  const std::string readBack =
      RunInSimavr(dir_, f.program, readFile, readEeprom, f.flashBytes, eepromSize);
  EXPECT_EQ(readBack, original);
  EXPECT_NE(original.find(f.output), std::string::npos) << original;
}

INSTANTIATE_TEST_SUITE_P(Programs, AvrRealFileTest, ::testing::ValuesIn(kRealFiles),
                         [](const ::testing::TestParamInfo<RealFile>& param) {
                           return std::string(param.param.program);
                         });

TEST_F(AvrDocumentTest, UpperPagesOfAn2560LandAbove64K) {
  StartAvr("ATmega2560/V");
  ASSERT_EQ(RunFile(AvrCommand::kProgram, "atmega2560"), OperationOutcome::kSuccess);
  const AvrChipState chip = Chip();
  const std::string text = "Velmora ATmega2560 above 64K: ";
  EXPECT_EQ(std::string(chip.flash.begin() + 0x1E000, chip.flash.begin() + 0x1E000 + text.size()),
            text);
  // With the word address masked to 15 bits the page went to 0xE000 instead.
  EXPECT_TRUE(std::all_of(chip.flash.begin() + 0xE000, chip.flash.begin() + 0xE100,
                          [](uint8_t b) { return b == 0xFF; }));
}

TEST_F(AvrDocumentTest, AnUnknownChipThatAnswersIsNeverWritten) {
  StartAvr("ATmega328P", {{"signature", "1E 95 0F"},
                          {"flashBytes", 32768},
                          {"pageWords", 64},
                          {"eepromBytes", 1024},
                          {"fuses", "62 D9 FF"}});
  const AvrChipState before = Chip();
  MarkTranscript();
  doc_->hexFileName = AvrData("atmega8.hex");
  EXPECT_EQ(RunAvr(AvrCommand::kProgram), OperationOutcome::kFailed);
  EXPECT_TRUE(
      Logged("Unknown device, signature 1E 95 0F: no speed adaptation, nothing is erased "
             "or written"));
  EXPECT_TRUE(LoggedStart("Fuses read: low 62, high D9"));
  EXPECT_TRUE(ChipWrites().empty()) << ::testing::PrintToString(ChipWrites());
  const AvrChipState after = Chip();
  EXPECT_EQ(after.fuses, before.fuses);
  EXPECT_EQ(after.flash, before.flash);
}

TEST_F(AvrDocumentTest, ReadAndVerifyPutTheSpeedFuseBack) {
  // A board on a 32 kHz crystal: the speed adaptation switches the chip to its RC oscillator.
  StartAvr("ATmega8", {{"fuses", "E9 D9 FF"}, {"crystalHz", 32768}});
  doc_->atmegaSpeed = 0;
  const AvrChipState before = Chip();
  // A Verify that fails on the flash still leaves the fuses as they were.
  EXPECT_EQ(RunFile(AvrCommand::kVerify, "atmega8"), OperationOutcome::kFailed);
  EXPECT_TRUE(LoggedStart("Error found in Flash memory"));
  EXPECT_EQ(Chip().fuses, before.fuses);
  prompt_.SetHexSaveChoice(HexSaveChoice{(dir_ / "read.hex").string(), false});
  EXPECT_EQ(RunAvr(AvrCommand::kRead), OperationOutcome::kSuccess)
      << ::testing::PrintToString(Log());
  EXPECT_EQ(Chip().fuses, before.fuses);
}

TEST_F(AvrDocumentTest, FirstStartOptionsAreTakenFromTheChipNotWritten) {
  // A fresh document: every option selection 1, which for AVR means "programmed" (lock bits,
  // WDTON, BOOTRST). The program file has no fuse section, so the options would be written.
  StartAvr("ATmega8");
  const std::string flashOnly = (dir_ / "flash.hex").string();
  {
    CMCUMemoryArchitecture image;
    ASSERT_EQ(ReadHexFile(image, AvrData("atmega8.hex"), prompt_), 1);
    std::fill_n(image.configuration, 4, kBlankCell);
    SaveImage(image, "flash.hex", 8192, 0);
  }
  doc_->hexFileName = flashOnly;
  Ops().SetEepromFile("");
  ASSERT_EQ(RunAvr(AvrCommand::kProgram), OperationOutcome::kSuccess)
      << ::testing::PrintToString(Log());
  EXPECT_TRUE(LoggedStart("Fuse options were not set for the ATmega8: taken from the chip"));
  const AvrChipState chip = Chip();
  EXPECT_EQ(chip.lock, 0xFF);
  EXPECT_EQ(chip.fuses[0], 0xE1);
  EXPECT_EQ(chip.fuses[1], 0xD9);
  EXPECT_EQ(Ops().OptionsDevice(), "ATmega8");
  EXPECT_EQ(doc_->optionSelections[MEGALB1], 0);
  EXPECT_EQ(doc_->optionSelections[MEGACKSEL], 1);
}

TEST_F(AvrDocumentTest, FactoryResetWritesTheFusesAndReadsThemBack) {
  // The chip was set to an external clock the board does not have; the programmer's SCL clock
  // on XTAL1 brings it back.
  StartAvr("ATmega48", {{"fuses", "E0 D7 FF"}, {"programmerClockOnXtal1", true}});
  EXPECT_EQ(RunAvr(AvrCommand::kFactoryReset), OperationOutcome::kSuccess)
      << ::testing::PrintToString(Log());
  EXPECT_TRUE(Logged("*** Factory reset done ***"));
  EXPECT_TRUE(Logged("Type: ATmega48     Flash 4k, EEPROM 256, RAM 512"));
  const AvrChipState chip = Chip();
  EXPECT_EQ(chip.fuses[0], 0x62);
  EXPECT_EQ(chip.fuses[1], 0xDF);
}

TEST_F(AvrDocumentTest, FactoryResetWithoutAClockGivesTheHints) {
  StartAvr("ATmega48", {{"fuses", "60 D7 FF"}});
  EXPECT_EQ(RunAvr(AvrCommand::kFactoryReset), OperationOutcome::kFailed);
  EXPECT_EQ(Log(), (std::vector<std::string>{
                       "", "*** Factory Reset Failed ***",
                       "Hint: Connect the Programmer's SCL pin to XTAL1 and try again !!!",
                       "Hint: If the trace pins are connected to the programming pins, remove the "
                       "trace connection!"}));
}

TEST_F(AvrDocumentTest, FusesThatLockTheProgrammerOutAreRefusedAskedOrForced) {
  StartAvr("ATtiny85");
  CMCUMemoryArchitecture image;
  ASSERT_EQ(ReadHexFile(image, AvrData("attiny85.hex"), prompt_), 1);
  image.configuration[1] = 0x5F;  // RSTDISBL programmed
  image.configuration[2] = kBlankCell;
  image.configuration[3] = kBlankCell;
  SaveImage(image, "rstdisbl.hex", 8192, 0);
  doc_->hexFileName = (dir_ / "rstdisbl.hex").string();
  const AvrChipState before = Chip();

  MarkTranscript();
  Ops().fuseSafety = FuseSafety::kRefuse;
  EXPECT_EQ(RunAvr(AvrCommand::kProgram), OperationOutcome::kFailed);
  EXPECT_TRUE(Logged("+++ Fuses not written: they would lock the programmer out +++"));
  EXPECT_TRUE(Logged("+++ Give --force-fuses to write them all the same +++"));
  EXPECT_TRUE(ChipWrites().empty()) << ::testing::PrintToString(ChipWrites());
  EXPECT_EQ(Chip().flash, before.flash);

  Ops().fuseSafety = FuseSafety::kAsk;
  prompt_.QueueAnswer(Answer::No);
  EXPECT_EQ(RunAvr(AvrCommand::kProgram), OperationOutcome::kFailed);
  ASSERT_EQ(prompt_.Records().size(), 1u);
  EXPECT_EQ(prompt_.Records()[0].caption, "Fuse Safety Check");
  EXPECT_NE(prompt_.Records()[0].text.find("RSTDISBL programmed"), std::string::npos);
  EXPECT_EQ(Chip().fuses, before.fuses);

  Ops().fuseSafety = FuseSafety::kForce;
  EXPECT_EQ(RunAvr(AvrCommand::kProgram), OperationOutcome::kSuccess)
      << ::testing::PrintToString(Log());
  EXPECT_EQ(Chip().fuses[1], 0x5F);
}

TEST_F(AvrDocumentTest, SafeFusesAreWrittenWithoutAQuestion) {
  StartAvr("ATtiny85");
  Ops().fuseSafety = FuseSafety::kAsk;
  EXPECT_EQ(RunFile(AvrCommand::kProgram, "attiny85"), OperationOutcome::kSuccess);
  EXPECT_TRUE(prompt_.Records().empty());
}

TEST_F(AvrDocumentTest, ALockedChipStopsTheSlowSpeeds) {
  StartAvr("ATmega8", {{"lock", "0xFC"}});
  doc_->atmegaSpeed = 1;
  EXPECT_EQ(RunFile(AvrCommand::kVerify, "atmega8"), OperationOutcome::kFailed);
  const std::vector<std::string> log = Log();
  const auto at = std::find(log.begin(), log.end(), "Lock Bit set!");
  ASSERT_NE(at, log.end());
  EXPECT_EQ(std::vector<std::string>(at, at + 5),
            (std::vector<std::string>{"Lock Bit set!", "Cannot operate below 1MHz",
                                      "Solution: Remove Lock Bits/Chip Erase",
                                      "+++ Action Stopped +++", "+++ Verification Failed +++"}));
}

TEST_F(AvrDocumentTest, ALostFuseWriteIsTriedAgain) {
  StartAvr("ATmega8", {{"failFuseWriteOnce", {0}}});  // fuse low: E1 -> E4
  doc_->atmegaSpeed = 2;
  EXPECT_EQ(RunFile(AvrCommand::kProgram, "atmega8"), OperationOutcome::kSuccess);
  EXPECT_TRUE(Logged("Programming Configuration: 2. try "));
  EXPECT_TRUE(Logged("Configuration successfully programmed."));
}

TEST_F(AvrDocumentTest, AnEepromFileThatDoesNotLoadStopsBeforeTheLink) {
  StartAvr("ATmega8");
  MarkTranscript();
  doc_->hexFileName = AvrData("atmega8.hex");
  Ops().SetEepromFile((dir_ / "missing.eep").string());
  EXPECT_EQ(RunAvr(AvrCommand::kProgram), OperationOutcome::kFailed);
  EXPECT_TRUE(Logged("+++ EEPROM file could not be read: missing.eep +++"));
  EXPECT_TRUE(Commands().empty());
}

TEST_F(AvrDocumentTest, AnAbsentChipIsNotFound) {
  StartAvr("ATmega8", {{"absent", true}});
  EXPECT_EQ(RunFile(AvrCommand::kProgram, "atmega8"), OperationOutcome::kDeviceNotFound);
  EXPECT_EQ(Log(), (std::vector<std::string>{"", "Programming not possible. Cannot find AVR."}));
  EXPECT_EQ(captions_.back(), "No AVR !!!");
}

TEST_F(AvrDocumentTest, ConfigurationReadShowsFusesLockAndCalibration) {
  StartAvr("ATmega8", {{"calibration", "A1 A2 A3 A4"}});
  EXPECT_EQ(RunAvr(AvrCommand::kReadConfiguration), OperationOutcome::kSuccess);
  EXPECT_TRUE(Logged("Configuration setup updated with data from ATmega8"));
  EXPECT_EQ(Ops().ResultText(int(AvrCommand::kReadConfiguration)),
            "Fuses: low=E1 high=D9 extended=-- lock=FF calibration=A1 A2 A3 A4");
  EXPECT_EQ(doc_->optionSelections[MEGACKSEL], 1);
  EXPECT_EQ(doc_->optionSelections[MEGASUT], 2);
}

TEST_F(AvrDocumentTest, AnUnplugSweepOverAProgramNeverEndsInSuccess) {
  StartAvr("ATmega2560/V");
  ASSERT_EQ(RunFile(AvrCommand::kProgram, "atmega2560"), OperationOutcome::kSuccess);
  uint64_t total = 0;
  const nlohmann::json transcript = Transcript();
  for (const auto& event : transcript["events"]) {
    if (event["op"] == "write") total += event.value("written", 0);
    if (event["op"] == "read") {
      total += event.contains("bytes") ? (event["bytes"].get<std::string>().size() + 1) / 3
                                       : event.value("count", 0);
    }
  }
  ASSERT_GT(total, 1000u);
  for (uint64_t cut = 1; cut < total; cut += total / 23 + 1) {
    StartAvr("ATmega2560/V", nlohmann::json::object(), {{"faults", {{"unplugAfterBytes", cut}}}});
    const OperationOutcome outcome = RunFile(AvrCommand::kProgram, "atmega2560");
    EXPECT_NE(outcome, OperationOutcome::kSuccess) << "cut after " << cut;
    EXPECT_FALSE(Logged("*** Finished Successfully ***")) << cut;
  }
}

}  // namespace
}  // namespace velmora::testing

namespace velmora::testing {
namespace {

TEST_F(AvrDocumentTest, TheFullProgrammerIsUsedWhateverThePic18PageLeftOn) {
  StartAvr("ATmega8");
  doc_->usesMiniProgrammer = 1;  // "Update Programmer" left on for PIC18
  EXPECT_EQ(RunAvr(AvrCommand::kIdentify), OperationOutcome::kSuccess);
  EXPECT_TRUE(Logged("Type: ATmega8     Flash 8k, EEPROM 512, RAM 1024"));
  EXPECT_EQ(doc_->usesMiniProgrammer, 1);
}

TEST_F(AvrDocumentTest, TheCalibrationByteTheClockSourceNeedsGoesToTheEndOfFlash) {
  StartAvr("ATmega8", {{"calibration", "A1 A2 A3 A4"}});
  doc_->atmegaSpeed = 2;
  doc_->atmegaCopyCalibrationByte = 1;
  ASSERT_EQ(RunFile(AvrCommand::kProgram, "atmega8"), OperationOutcome::kSuccess);
  // The file's fuses select CKSEL 0100 (RC 8 MHz): the fourth calibration byte.
  EXPECT_TRUE(Logged("4. Calibration Byte (161, 162, 163, 164) copied to the end of Flash Memory."))
      << ::testing::PrintToString(Log());
  EXPECT_EQ(Chip().flash[8191], 0xA4);
}

TEST_F(AvrDocumentTest, AClockSourceWithoutCalibrationCopiesNothing) {
  StartAvr("ATmega8", {{"fuses", "EF D9 FF"}, {"crystalHz", 8e6}});
  doc_->atmegaSpeed = 2;
  doc_->atmegaCopyCalibrationByte = 1;
  doc_->ignoreConfigFromFile = 1;  // the options: taken from the chip, CKSEL 1111
  ASSERT_EQ(RunFile(AvrCommand::kProgram, "atmega8"), OperationOutcome::kSuccess);
  EXPECT_TRUE(
      Logged("No calibration byte copied, because current clock source does not require it."));
  EXPECT_EQ(Chip().flash[8191], 0xFF);
}

TEST_F(AvrDocumentTest, ASpeedAdaptationWithoutConfigurationUpdateRestoresTheFuses) {
  StartAvr("ATmega8", {{"fuses", "E9 D9 FF"}, {"crystalHz", 32768}});
  doc_->atmegaSpeed = 0;
  doc_->enableConfigurationUpdate = 0;
  ASSERT_EQ(RunFile(AvrCommand::kProgram, "atmega8"), OperationOutcome::kSuccess)
      << ::testing::PrintToString(Log());
  EXPECT_TRUE(Logged("Configuration successfully programmed."));
  EXPECT_EQ(Chip().fuses[0], 0xE9);
}

// The instruction scan, narrowed to 2 x 2 x 3 instructions: it runs on the worker, enters
// programming mode once per first and second byte, sends every third byte with 0xBF through the
// raw instruction command, logs "x  -  i" and changes nothing on the chip.
TEST_F(AvrDocumentTest, TheInstructionScanSendsEveryInstructionOfItsRangeOnTheWorker) {
  StartAvr("ATmega8");
  const AvrChipState before = Chip();
  Ops().scanRange = {.highestFirst = 1, .secondBytes = 2, .thirdBytes = 3};
  doc_->atmegaSpeed = 0;
  std::set<std::thread::id> loggedOn;
  doc_->operationLog.AddObserver(
      [&loggedOn](const LogEvent&) { loggedOn.insert(std::this_thread::get_id()); });
  MarkTranscript();
  ASSERT_EQ(RunAvr(AvrCommand::kScanInstructions), OperationOutcome::kSuccess);
  EXPECT_EQ(Log(), (std::vector<std::string>{"1  -  0", "1  -  1", "0  -  0", "0  -  1"}));
  ASSERT_EQ(loggedOn.size(), 1u);
  EXPECT_NE(*loggedOn.begin(), std::this_thread::get_id());

  std::vector<std::vector<uint8_t>> sent, expected;
  size_t clockSelections = 0;
  for (const auto& command : Commands()) {
    if (command.size() == 5 && command[0] == 0x33) sent.push_back(command);
    if (command.size() == 2 && command[0] == 0x39 && command[1] == 1) ++clockSelections;
  }
  for (int x = 1; x >= 0; --x) {
    for (int i = 0; i < 2; ++i) {
      for (int j = 0; j < 3; ++j) {
        expected.push_back({0x33, uint8_t(x), uint8_t(i), uint8_t(j), 0xBF});
      }
    }
  }
  EXPECT_EQ(sent, expected);
  EXPECT_EQ(clockSelections, 4u);  // the slow clock before each entry
  const AvrChipState after = Chip();
  EXPECT_EQ(after.flash, before.flash);
  EXPECT_EQ(after.eeprom, before.eeprom);
  EXPECT_EQ(after.fuses, before.fuses);
  EXPECT_EQ(after.lock, before.lock);
}

// Data the ATmega8 cannot hold: flash past 8 KB, an extended fuse byte (it has none), a
// calibration byte, EEPROM past 512 bytes (from the EEPROM file). Program and Verify report it
// and stop before the chip is touched, unless the user confirms; the program's own files
// (flash, low and high fuse, lock byte, EEPROM) pass without a question.
TEST_F(AvrDocumentTest, DataOutsideTheDeviceIsReportedAndRefusedUnlessConfirmed) {
  StartAvr("ATmega8");
  const auto text = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  };
  const auto withBytes = [&](const std::string& name, const std::string& original, uint32_t at) {
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << HexBytesAt(at, {0x5A}) << text(original);
    return path;
  };
  const std::string hex = AvrData("atmega8.hex"), eep = AvrData("atmega8.eep");
  struct Case {
    std::string hex, eep, line;
  };
  const std::vector<Case> cases = {
      {withBytes("flash.hex", hex, 0x2000), eep, "0x002000"},
      {withBytes("extended.hex", hex, 0x300002), eep, "0x300002"},
      {withBytes("calibration.hex", hex, 0x300004), eep, "0x300004"},
      {hex, withBytes("eeprom.eep", eep, 0x200), "0xF00200"},
  };
  const AvrChipState before = Chip();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    for (AvrCommand command : {AvrCommand::kProgram, AvrCommand::kVerify}) {
      doc_->hexFileName = c.hex;
      Ops().SetEepromFile(c.eep);
      EXPECT_EQ(RunAvr(command), OperationOutcome::kFailed);
      EXPECT_TRUE(
          Logged("+++ 1 bytes of the HEX file lie outside the ATmega8: " + c.line + " +++"));
      ASSERT_EQ(prompt_.Records().size(), 1u);
      EXPECT_EQ(prompt_.Records()[0].caption, "Data Outside Device");
      EXPECT_FALSE(LoggedStart("*** Programming") || LoggedStart("*** Verifying"));
    }
  }
  const AvrChipState untouched = Chip();
  EXPECT_EQ(untouched.flash, before.flash);
  EXPECT_EQ(untouched.eeprom, before.eeprom);
  EXPECT_EQ(untouched.fuses, before.fuses);
  EXPECT_EQ(untouched.lock, before.lock);

  // The program's own files hold nothing outside: no question.
  EXPECT_EQ(RunFile(AvrCommand::kProgram, "atmega8"), OperationOutcome::kSuccess);
  EXPECT_TRUE(prompt_.Records().empty());

  // Confirmed, the rest is programmed.
  doc_->hexFileName = cases[0].hex;
  Ops().SetEepromFile(eep);
  prompt_.QueueAnswer(Answer::Yes);
  EXPECT_EQ(RunAvr(AvrCommand::kProgram), OperationOutcome::kSuccess);
  EXPECT_TRUE(Logged("Data outside the device left out, as confirmed"));
}

}  // namespace
}  // namespace velmora::testing
