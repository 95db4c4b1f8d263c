// PIC18 Program, Verify and Read end to end on the simulated programmer, for both programmer
// kinds and three device geometries, with the log lines and bar phases of each mode.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "families/pic18/config_pic18.h"
#include "families/pic18/pic18_fixture.h"
#include "memory/catalogue.h"

namespace velmora::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::ElementsAreArray;
using ::testing::MatchesRegex;

struct DeviceCase {
  const char* device;
  const char* program;  // gpasm source name
  bool mini;
  uint32_t changedAddress;  // a flash byte the file gives, changed for the failing verify
};

std::string CaseName(const ::testing::TestParamInfo<DeviceCase>& info) {
  return std::string(info.param.device) + (info.param.mini ? "_mini" : "_full");
}

class Pic18SequenceTest : public Pic18DocumentTest,
                          public ::testing::WithParamInterface<DeviceCase> {};

// Low bytes of two images over every part of the device (blank counts as 0xFF), the
// configuration under the device's masks.
void ExpectSameContent(const CMCUMemoryArchitecture& expected, const CMCUMemoryArchitecture& read,
                       const Pic18Device& device) {
  auto low = [](int32_t cell) { return cell & 0xFF; };
  for (int32_t a = 0; a < device.programSize; ++a) {
    ASSERT_EQ(low(expected.programMemory[a]), low(read.programMemory[a])) << "flash " << a;
  }
  for (int32_t a = 0; a < device.eepromSize; ++a) {
    ASSERT_EQ(low(expected.eeprom[a]), low(read.eeprom[a])) << "EEPROM " << a;
  }
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(low(expected.idLocations[i]), low(read.idLocations[i])) << "ID " << i;
  }
  for (int i = 0; i < 14; ++i) {
    const int mask = device.configMasks[i];
    EXPECT_EQ(low(expected.configuration[i]) & mask, low(read.configuration[i]) & mask)
        << "configuration " << i;
  }
}

TEST_P(Pic18SequenceTest, ProgramVerifyReadAndAChangedFile) {
  const DeviceCase& c = GetParam();
  Start(c.device, c.mini);
  const std::string hex = HexFile(c.program);
  doc_->hexFileName = hex;
  const std::string heading = std::string(c.device) + " ***";

  // Program.
  ASSERT_EQ(Run(Pic18Command::kProgram), OperationOutcome::kSuccess)
      << ::testing::PrintToString(Log());
  const std::vector<std::string> programLog = Log();
  ASSERT_EQ(programLog.size(), 8u) << ::testing::PrintToString(programLog);
  EXPECT_THAT(std::vector<std::string>(programLog.begin(), programLog.end() - 1),
              ElementsAre("", "*** Programming " + heading, "Chip erased",
                          "Flash memory successfully programmed.",
                          "EEPROM successfully programmed.", "ID-Location successfully programmed.",
                          "Configuration successfully programmed."));
  EXPECT_THAT(programLog.back(),
              MatchesRegex(R"(\*\*\* Finished Successfully \*\*\* [0-9]+:[0-9]{3})"));
  EXPECT_THAT(captions_,
              ElementsAre("", "Programming", "Verifying", "EEPROM", "ID && Config", "Success"));
  EXPECT_THAT(phases_, ElementsAre(std::pair{0, 0}, std::pair{0, 400}, std::pair{400, 500},
                                   std::pair{900, 90}, std::pair{990, 0}, std::pair{1000, 0}));
  EXPECT_EQ(doc_->progressBar.State().barColour, 0x00FF00);
  EXPECT_EQ(doc_->lastOperationFailed, 0);

  // Verify.
  ASSERT_EQ(Run(Pic18Command::kVerify), OperationOutcome::kSuccess);
  const std::vector<std::string> verifyLog = Log();
  ASSERT_EQ(verifyLog.size(), 7u) << ::testing::PrintToString(verifyLog);
  EXPECT_THAT(std::vector<std::string>(verifyLog.begin(), verifyLog.end() - 1),
              ElementsAre("", "*** Verifying " + heading, "Flash memory OK.", "EEPROM OK.",
                          "ID-Location OK.", "Configuration OK."));
  // The bar keeps the last result until the first caption and phase of the next command.
  EXPECT_THAT(captions_, ElementsAre("Success", "Verifying", "EEPROM", "ID && Config", "Success"));
  EXPECT_THAT(phases_, ElementsAre(std::pair{1000, 0}, std::pair{0, 0}, std::pair{0, 800},
                                   std::pair{950, 0}, std::pair{1000, 0}));

  // Read, saved as HEX, holds what the file holds.
  const std::string readPath = (dir_ / "read.hex").string();
  prompt_.SetHexSaveChoice(HexSaveChoice{readPath, false});
  ASSERT_EQ(Run(Pic18Command::kRead), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(),
              ElementsAre("", "*** Reading " + heading, "Flash memory read.", "EEPROM read.",
                          "ID-Location read.", "Configuration read.", "*** Finished Reading ***",
                          "*** Data successfully saved as \"" + readPath + "\" ***"));
  EXPECT_THAT(captions_, ElementsAre("Success", "Reading", "EEPROM", "ID && Config", "Success"));
  EXPECT_THAT(phases_, ElementsAre(std::pair{1000, 0}, std::pair{0, 0}, std::pair{0, 800},
                                   std::pair{950, 0}, std::pair{1000, 0}));
  const Pic18Device& device = kPic18Devices[doc_->programmer->fileImage.deviceIndex];
  ASSERT_STREQ(device.name, c.device);
  ExpectSameContent(*LoadImage(hex), *LoadImage(readPath), device);

  // A file that differs in one flash byte fails verification at that byte.
  auto changed = LoadImage(hex);
  ASSERT_NE(changed->programMemory[c.changedAddress], kBlankCell);
  changed->programMemory[c.changedAddress] ^= 0x20;
  doc_->hexFileName = SaveImage(*changed, "changed.hex", device.programSize, device.eepromSize);
  ASSERT_EQ(Run(Pic18Command::kVerify), OperationOutcome::kFailed);
  char expected[64];
  std::snprintf(expected, sizeof expected, "Error found in Flash memory at address 0x%06X",
                c.changedAddress);
  EXPECT_THAT(Log(),
              ElementsAre("", "*** Verifying " + heading, expected, "EEPROM OK.", "ID-Location OK.",
                          "Configuration OK.", "+++ Verification Failed +++"));
  EXPECT_EQ(doc_->progressBar.State().caption, "Fail");
  EXPECT_EQ(doc_->progressBar.State().barColour, 0x0000FF);
  EXPECT_EQ(doc_->lastOperationFailed, 1);
}

INSTANTIATE_TEST_SUITE_P(
    Devices, Pic18SequenceTest,
    ::testing::Values(DeviceCase{"PIC18F4550", "pic18f4550_blink", false, 0x4005},
                      DeviceCase{"PIC18F4550", "pic18f4550_blink", true, 0x7FF2},
                      DeviceCase{"PIC18F8722", "pic18f8722_tables", false, 0x1FFC3},
                      DeviceCase{"PIC18F8722", "pic18f8722_tables", true, 0x10044},
                      DeviceCase{"PIC18F8720", "pic18f8720_panels", false, 0xC013},
                      DeviceCase{"PIC18F8720", "pic18f8720_panels", true, 0x1FFFA}),
    CaseName);

}  // namespace
}  // namespace velmora::testing
