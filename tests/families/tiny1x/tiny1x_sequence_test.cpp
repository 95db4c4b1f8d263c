// The ATtiny11/12 commands end to end on the simulated programmer: an assembled ATtiny12 program
// with EEPROM data programmed, verified and read back; the fuse and lock step; the calibration
// byte; what an absent chip and a lost link give.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "memory/intel_hex.h"
#include "tiny1x_fixture.h"

namespace velmora::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

constexpr uint8_t kFactoryCalibration = 0x6B;

// srec_cmp on the two files, both filled with 0xFF over `size` bytes.
int SrecCompare(const std::string& a, const std::string& b, uint32_t size) {
  const std::string range =
      " -crop 0 " + std::to_string(size) + " -fill 0xFF 0 " + std::to_string(size);
  const std::string command =
      "srec_cmp " + a + " -intel" + range + " " + b + " -intel" + range + " >/dev/null 2>&1";
  return std::system(command.c_str());
}

bool EndsWithElapsedSeconds(const std::string& line, const std::string& heading) {
  if (!line.starts_with(heading + " ")) return false;
  const std::string rest = line.substr(heading.size() + 1);
  const size_t colon = rest.find(':');
  return colon != std::string::npos && colon > 0 && rest.size() == colon + 5 && rest.back() == 's';
}

TEST_F(Tiny1xDocumentTest, ProgramVerifyAndReadBackAnAssembledAttiny12) {
  StartTiny("ATtiny12", {{"calibration", "0x6B"}});
  Ops().state.copyCalibration = 1;
  Ops().state.SetFuse(1, 0x72);  // BODEN unprogrammed, internal RC
  ASSERT_EQ(RunProgram(Tiny1xCommand::kProgram), OperationOutcome::kSuccess)
      << ::testing::PrintToString(Log());
  EXPECT_TRUE(Logged("*** Programming ATtiny12 ***"));
  EXPECT_TRUE(Logged("Calibration Byte 107 copied to the end of Flash Memory."));
  EXPECT_TRUE(Logged("Chip erased"));
  EXPECT_TRUE(Logged("Flash memory successfully programmed."));
  EXPECT_TRUE(Logged("EEPROM successfully programmed."));
  EXPECT_TRUE(Logged("Configuration successfully programmed."));
  EXPECT_TRUE(EndsWithElapsedSeconds(Log().back(), "*** Programmed Successfully ***"))
      << Log().back();
  EXPECT_EQ(doc_->progressBar.State().caption, "Success");

  const Tiny1xChipState chip = Chip();
  EXPECT_EQ(chip.fuse, 0x72);
  EXPECT_EQ(chip.lock, 0xFF);
  EXPECT_EQ(chip.calibration, kFactoryCalibration);   // erase and program keep it
  EXPECT_EQ(chip.flash[0x3FF], kFactoryCalibration);  // where the program reads it
  EXPECT_EQ(chip.eeprom[4], 'A');

  // The chip's flash holds the file with the calibration byte in its place; its EEPROM the file.
  CMCUMemoryArchitecture image;
  image.Clear();
  std::copy(chip.flash.begin(), chip.flash.end(), image.programMemory);
  image.programMemory[0x3FF] = 0xFF;
  const std::string chipFile = SaveImage(image, "chip.hex", 1024, 0);
  EXPECT_EQ(SrecCompare(Tiny1xData("attiny12.hex"), chipFile, 1024), 0);

  ASSERT_EQ(RunProgram(Tiny1xCommand::kVerify), OperationOutcome::kSuccess)
      << ::testing::PrintToString(Log());
  EXPECT_TRUE(Logged("Flash memory OK."));
  EXPECT_TRUE(Logged("EEPROM OK."));
  EXPECT_TRUE(Logged("Configuration OK."));
  EXPECT_TRUE(EndsWithElapsedSeconds(Log().back(), "*** Verified Successfully ***"));

  const std::string readFile = (dir_ / "read.hex").string();
  const std::string readEeprom = (dir_ / "read.eep").string();
  prompt_.SetHexSaveChoice(HexSaveChoice{readFile, false});
  Ops().eepromOutFile = readEeprom;
  ASSERT_EQ(RunTiny(Tiny1xCommand::kRead), OperationOutcome::kSuccess)
      << ::testing::PrintToString(Log());
  EXPECT_TRUE(Logged("*** Data successfully saved as \"" + readFile + "\" ***"));
  // Read back: the program (with the chip's calibration byte at 0x3FF) and the EEPROM file.
  const std::string expected = (dir_ / "expected.hex").string();
  const std::string command = "srec_cat " + Tiny1xData("attiny12.hex") +
                              " -intel -exclude 0x3FF 0x400 -generate 0x3FF 0x400 -constant 0x6B"
                              " -o " +
                              expected + " -intel";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  EXPECT_EQ(SrecCompare(expected, readFile, 1024), 0);
  EXPECT_EQ(SrecCompare(Tiny1xData("attiny12.eep"), readEeprom, 64), 0);
  EXPECT_EQ(Chip().calibration, kFactoryCalibration);
  EXPECT_EQ(Chip().fuse, 0x72);
}

// The instructions on the wire: the fuse read, and the fuse and lock writes of the ATtiny12.
TEST_F(Tiny1xDocumentTest, FuseStepSendsTheHighVoltageSerialInstructions) {
  StartTiny("ATtiny12");
  doc_->enableFlashUpdate = 0;
  doc_->enableEepromUpdate = 0;
  doc_->enableChipErase = 0;
  Ops().state.SetFuse(1, 0x52);
  Ops().state.optionBytes[2] = 0x04;  // LB1
  ASSERT_EQ(RunProgram(Tiny1xCommand::kProgram, false), OperationOutcome::kSuccess)
      << ::testing::PrintToString(Log());
  EXPECT_THAT(Instructions(),
              ElementsAre("08 4C", "00 0C", "00 78", "00 7C",                      // calibration
                          "40 4C", "52 2C", "00 64", "00 6C",                      // fuse
                          "20 4C", "04 2C", "00 64", "00 6C",                      // lock
                          "04 4C", "00 68", "00 6C", "04 4C", "00 78", "00 7C"));  // read back
  EXPECT_EQ(Chip().lock, 0xFD);
  EXPECT_TRUE(Logged("Configuration successfully programmed."));
}

// As the ATtiny11's compare was written (its fuse against the ATtiny12's option byte), every
// Program failed three times; the ATtiny11 fuse compares on its five bits.
TEST_F(Tiny1xDocumentTest, Attiny11FuseComparesOnItsImplementedBits) {
  StartTiny("ATtiny11");
  doc_->enableEepromUpdate = 0;
  Ops().state.SetFuse(0, 0x1A);  // FSTRT, RSTDISBL unprogrammed, CKSEL 010
  ASSERT_EQ(RunProgram(Tiny1xCommand::kProgram, false), OperationOutcome::kSuccess)
      << ::testing::PrintToString(Log());
  EXPECT_TRUE(Logged("Configuration successfully programmed."));
  EXPECT_THAT(Log(), Not(Contains(HasSubstr("try"))));
  EXPECT_EQ(Chip().fuse, 0xFA);  // the three bits the part does not have read 1
  ASSERT_EQ(RunProgram(Tiny1xCommand::kVerify, false), OperationOutcome::kSuccess);
  EXPECT_TRUE(Logged("Configuration OK."));
}

// The ATtiny12 fuse compares on all its bits, the lock byte on LB1 and LB2.
TEST_F(Tiny1xDocumentTest, ConfigurationMismatchesAreFoundAtTheirAddress) {
  struct Case {
    const char* device;
    int fuseCell;
    uint8_t optionFuse;
    uint8_t chipFuse;
    uint8_t optionLock;
    uint8_t chipLock;
    const char* line;
  };
  const Case cases[] = {
      {"ATtiny12", 1, 0x52, 0x53, 0x06, 0xFF, "Error found in Configuration at address 0x01"},
      {"ATtiny11", 0, 0x1C, 0xFD, 0x06, 0xFF, "Error found in Configuration at address 0x00"},
      {"ATtiny11", 0, 0x1C, 0xFC, 0x02, 0xFF, "Error found in Configuration at address 0x02"},
      {"ATtiny12", 1, 0x52, 0x52, 0xFF, 0xF9, "Error found in Configuration at address 0x02"},
      {"ATtiny12", 1, 0x52, 0x52, 0x06, 0xFF, "Configuration OK."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.device) + " " + c.line);
    StartTiny(c.device, {{"fuse", c.chipFuse}, {"lock", c.chipLock}});
    doc_->enableFlashUpdate = 0;
    doc_->enableEepromUpdate = 0;
    Ops().state.SetFuse(c.fuseCell, c.optionFuse);
    Ops().state.optionBytes[2] = c.optionLock;
    RunProgram(Tiny1xCommand::kVerify, false);
    EXPECT_TRUE(Logged(c.line)) << ::testing::PrintToString(Log());
  }
}

TEST_F(Tiny1xDocumentTest, AFuseThatDoesNotHoldFailsAfterThreeAttempts) {
  // LB1 programmed: the chip refuses the fuse write.
  StartTiny("ATtiny12", {{"lock", "0xFD"}});
  doc_->enableFlashUpdate = 0;
  doc_->enableEepromUpdate = 0;
  doc_->enableChipErase = 0;
  Ops().state.SetFuse(1, 0x72);
  Ops().state.optionBytes[2] = 0x04;
  EXPECT_EQ(RunProgram(Tiny1xCommand::kProgram, false), OperationOutcome::kFailed);
  EXPECT_TRUE(Logged("Programming Configuration: 2. try "));
  EXPECT_TRUE(Logged("Programming Configuration: 3. try "));
  EXPECT_TRUE(Logged("Error occured during Configuration programming at address 0x01"));
  EXPECT_EQ(Log().back(), "+++ Programming Failed +++");
  EXPECT_EQ(Chip().fuse, 0x52);
}

// The page's default 0x22 would program RSTDISBL and BODEN and unprogram SPIEN: until the fuse
// was read or set, the chip keeps its own.
TEST_F(Tiny1xDocumentTest, Attiny12DefaultFuseIsNeverWrittenUnread) {
  StartTiny("ATtiny12", {{"fuse", "0x52"}});
  ASSERT_EQ(RunProgram(Tiny1xCommand::kProgram), OperationOutcome::kSuccess)
      << ::testing::PrintToString(Log());
  EXPECT_TRUE(Logged("Fuse options were not set for the ATtiny12: taken from the chip (fuse 52)"));
  const std::vector<std::string> sent = Instructions();
  const auto fuseWrite = std::find(sent.begin(), sent.end(), "40 4C");
  ASSERT_NE(fuseWrite, sent.end());
  EXPECT_EQ(*(fuseWrite + 1), "52 2C");
  EXPECT_EQ(Chip().fuse, 0x52);

  // Read from a chip, the option byte is the chip's; set, it is written.
  StartTiny("ATtiny12", {{"fuse", "0x5E"}});
  ASSERT_EQ(RunTiny(Tiny1xCommand::kReadFuses), OperationOutcome::kSuccess);
  EXPECT_EQ(Ops().state.optionBytes[1], 0x5E);
  EXPECT_EQ(Ops().state.optionBytes[2], 0xFF);
  Ops().state.SetFuse(1, 0x50);
  ASSERT_EQ(RunProgram(Tiny1xCommand::kProgram), OperationOutcome::kSuccess);
  EXPECT_EQ(Chip().fuse, 0x50);
}

TEST_F(Tiny1xDocumentTest, CalibrationByteGoesOnlyWhereThereIsOne) {
  struct Case {
    const char* device;
    nlohmann::json target;
    int copy;
    const char* line;
  };
  const Case cases[] = {
      {"ATtiny11", nlohmann::json::object(), 3,
       "No calibration byte copied, because the ATtiny11 has none."},
      {"ATtiny11", nlohmann::json::object(), 2,
       "No calibration byte copied, because the ATtiny11 has none."},
      {"ATtiny12",
       {{"calibrationLost", true}},
       1,
       "No calibration byte copied, because the chip's calibration byte is missing."},
      {"ATtiny12",
       {{"calibration", "0x5A"}},
       3,
       "Calibration Byte 90 copied to the end of EEPROM."},
      {"ATtiny12",
       {{"calibration", "0x5A"}},
       2,
       "Calibration Byte 90 copied to the beginning of EEPROM."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.line);
    StartTiny(c.device, c.target);
    Ops().state.copyCalibration = c.copy;
    Ops().state.SetFuse(0, 0x1C);
    Ops().state.SetFuse(1, 0x52);
    EXPECT_EQ(RunProgram(Tiny1xCommand::kProgram, std::string(c.device) == "ATtiny12"),
              OperationOutcome::kSuccess)
        << ::testing::PrintToString(Log());
    EXPECT_TRUE(Logged(c.line)) << ::testing::PrintToString(Log());
  }
  EXPECT_EQ(Chip().eeprom[0], 0x5A);
  EXPECT_EQ(Chip().flash[0x3FF], 0xFF);
}

// A flash bit that does not take its value fails the flash part, and a device with bad program
// code is given no fuse or lock bits.
TEST_F(Tiny1xDocumentTest, StuckFlashBitFailsAndKeepsTheFuses) {
  StartTiny("ATtiny12", {{"stuckBits", {{{"address", "0x4"}, {"bit", 0}, {"level", 1}}}}});
  Ops().state.SetFuse(1, 0x72);
  EXPECT_EQ(RunProgram(Tiny1xCommand::kProgram), OperationOutcome::kFailed);
  EXPECT_TRUE(Logged("Error occured during Flash programming at address 0x000004"));
  EXPECT_TRUE(Logged("Programming Configuration skipped"));
  EXPECT_EQ(Log().back(), "+++ Programming Failed +++");
  EXPECT_NE(doc_->progressBar.State().caption, "Success");
  EXPECT_EQ(Chip().fuse, 0x52);
}

TEST_F(Tiny1xDocumentTest, AbsentChipIsNotFound) {
  StartTiny("ATtiny12", {{"absent", true}});
  EXPECT_EQ(RunProgram(Tiny1xCommand::kProgram), OperationOutcome::kDeviceNotFound);
  EXPECT_THAT(Log(), ElementsAre("", "Programming not possible. Cannot find AVR."));
  EXPECT_EQ(doc_->progressBar.State().caption, "No AVR !!!");
  EXPECT_EQ(RunTiny(Tiny1xCommand::kIdentify), OperationOutcome::kDeviceNotFound);
  EXPECT_THAT(Log(), ElementsAre("", "Unknown Device"));
}

// Every command opens the full programmer, whatever another page left on, and gives it back.
TEST_F(Tiny1xDocumentTest, IdentifyOpensTheFullProgrammerWhenTheMiniWasLeftOn) {
  StartTiny("ATtiny12");
  doc_->usesMiniProgrammer = 1;
  EXPECT_EQ(RunTiny(Tiny1xCommand::kIdentify), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), ElementsAre("", "Type: ATtiny12     Flash 1k, EEPROM 64, RAM 32"));
  EXPECT_EQ(doc_->usesMiniProgrammer, 1);
}

TEST_F(Tiny1xDocumentTest, EepromDumpShowsTheChipsEeprom) {
  StartTiny("ATtiny12");
  Ops().state.SetFuse(1, 0x52);
  ASSERT_EQ(RunProgram(Tiny1xCommand::kProgram), OperationOutcome::kSuccess);
  ASSERT_EQ(RunTiny(Tiny1xCommand::kDumpEeprom), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), Contains(HasSubstr("000:\t00\t11\t22\t33\t41\t54")));
  EXPECT_EQ(Log().back(), "*** End of EEPROM Read Reset ***");
}

TEST_F(Tiny1xDocumentTest, UnplugSweepOverAProgramKeepsTheCalibration) {
  const nlohmann::json target = {{"calibration", "0x6B"}};
  StartTiny("ATtiny12", target);
  Ops().state.copyCalibration = 1;
  Ops().state.SetFuse(1, 0x72);
  ASSERT_EQ(RunProgram(Tiny1xCommand::kProgram), OperationOutcome::kSuccess);
  uint64_t total = 0;  // bytes on the wire, both directions
  const nlohmann::json transcript = Transcript();
  for (const auto& event : transcript["events"]) {
    if (event["op"] == "write") total += event.value("written", 0u);
    if (event["op"] == "read") total += event.value("bytes", std::string()).size() / 3 + 1;
  }
  ASSERT_GT(total, 5000u);
  std::vector<uint64_t> budgets = {0, 1, 5, 20, 100};
  for (int i = 1; i < 20; ++i) budgets.push_back(total * i / 20);
  for (uint64_t budget : budgets) {
    SCOPED_TRACE(budget);
    StartTiny("ATtiny12", target, {{"faults", {{"unplugAfterBytes", budget}}}});
    Ops().state.copyCalibration = 1;
    Ops().state.SetFuse(1, 0x72);
    EXPECT_NE(RunProgram(Tiny1xCommand::kProgram), OperationOutcome::kSuccess);
    EXPECT_THAT(Log(), Not(Contains(HasSubstr("Successfully"))));
    EXPECT_NE(doc_->progressBar.State().caption, "Success");
    EXPECT_EQ(Chip().calibration, kFactoryCalibration);
  }
}

}  // namespace
}  // namespace velmora::testing
