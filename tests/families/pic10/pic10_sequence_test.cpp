// The PIC10F20x commands end to end through a document on the simulated programmer, with
// programs gpasm assembled: the chip afterwards, its calibration word and backup, the log, and
// the read-back program in gpsim.
#include <gmock/gmock.h>

#include <cstdlib>
#include <fstream>
#include <iterator>

#include "cli/cli_process.h"
#include "families/family_registry.h"
#include "families/pic10/pic10_family.h"
#include "families/pic10/pic10_operations.h"
#include "support/document_fixture.h"
#include "support/hex_text.h"

namespace velmora::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

const std::string kPic10HexDir = VELMORA_BINARY_DIR "/test-data/pic10/";

std::string Pic10Program(const std::string& part) {
  return kPic10HexDir + part + "_calibrated.hex";
}

// movwf OSCCAL; movwf 0x10; goto $
const std::vector<uint16_t> kStartUp = {0x025, 0x030, 0xA02};

class Pic10DocumentTest : public DocumentSimTest {
 protected:
  void StartChip(const std::string& device, int type, nlohmann::json target = {},
                 nlohmann::json faults = nlohmann::json::object()) {
    nlohmann::json extra = {{"target", target.is_null() ? nlohmann::json::object() : target}};
    if (!faults.empty()) extra["faults"] = faults;
    Start(device, false, extra);
    doc_->pic10TypeSelection = type;
  }
  CPic10Operations& Pic10() {
    return static_cast<CPic10Operations&>(OperationsOf(*doc_, Pic10FamilyRow()));
  }
  OperationOutcome RunCommand(Pic10Command command) { return Run(Pic10FamilyRow(), int(command)); }
  OperationOutcome Program(const std::string& hexFile) {
    doc_->hexFileName = hexFile;
    return RunCommand(Pic10Command::kProgram);
  }
  // Words 0..2N-1 of the chip's Program/Verify space.
  std::vector<uint16_t> Words() const {
    const std::vector<uint8_t> bytes = FromHex(TargetState()["words"].get<std::string>());
    std::vector<uint16_t> words(bytes.size() / 2);
    for (size_t i = 0; i < words.size(); ++i)
      words[i] = uint16_t(bytes[2 * i] | bytes[2 * i + 1] << 8);
    return words;
  }
};

struct Pic10Case {
  const char* device;
  const char* program;
  int type;
  uint16_t words;
  uint8_t calibration;
  const char* gpsimProcessor;  // "" where gpsim has no model of the part
};

class Pic10EndToEndTest : public Pic10DocumentTest,
                          public ::testing::WithParamInterface<Pic10Case> {};

TEST_P(Pic10EndToEndTest, ProgramVerifyReadKeepCalibrationAndBackup) {
  const Pic10Case& c = GetParam();
  StartChip(c.device, c.type, {{"calibration", c.calibration}});
  ASSERT_EQ(Program(Pic10Program(c.program)), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), Contains(std::string("*** Programming ") +
                              (c.type == 0 ? "PIC10F200/204" : "PIC10F202/206") + " ***"));
  EXPECT_THAT(Log(), Contains(HasSubstr("*** Finished Successfully *** ")));
  std::vector<uint16_t> words = Words();
  EXPECT_EQ(std::vector<uint16_t>(words.begin(), words.begin() + 3), kStartUp);
  EXPECT_EQ(words[c.words - 1], 0x0C00 | c.calibration);
  EXPECT_EQ(words[c.words + 4], 0x0C00 | c.calibration);
  EXPECT_EQ(words[2 * c.words - 1], 0x0FEB);

  ASSERT_EQ(RunCommand(Pic10Command::kVerify), OperationOutcome::kSuccess);
  const std::string readPath = (dir_ / "read.hex").string();
  prompt_.SetHexSaveChoice(HexSaveChoice{readPath, false});
  ASSERT_EQ(RunCommand(Pic10Command::kRead), OperationOutcome::kSuccess);
  auto image = LoadImage(readPath);
  EXPECT_EQ(image->programMemory[0], 0x25);
  EXPECT_EQ(image->programMemory[2 * (c.words - 1)], c.calibration);
  EXPECT_EQ(image->programMemory[0x1FFE], 0xEB);
  EXPECT_EQ(image->programMemory[0x1FFF], 0x0F);
  EXPECT_EQ(image->programMemory[2 * c.words], kBlankCell);  // nothing past the device

  // The read-back program finds the calibration it expects: W holds it at 0 after the reset
  // vector's MOVLW; the program stores it at 0x10.
  if (*c.gpsimProcessor == 0) return;
  const std::string out = (dir_ / "gpsim.txt").string();
  const std::string command = "printf 'step 6\\ndump r\\nquit\\n' | gpsim -i -p " +
                              std::string(c.gpsimProcessor) + " " + readPath + " >" + out + " 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  char expected[16];
  std::snprintf(expected, sizeof expected, "0010:  %02x", c.calibration);
  EXPECT_THAT(ReadAll(out), HasSubstr(expected));
}

INSTANTIATE_TEST_SUITE_P(Parts, Pic10EndToEndTest,
                         ::testing::Values(Pic10Case{"PIC10F200", "pic10f200", 0, 256, 0x24,
                                                     "p10f200"},
                                           Pic10Case{"PIC10F206", "pic10f206", 1, 512, 0x3A, ""}),
                         [](const auto& part) { return std::string(part.param.device); });

// The page's default word is 16 bits wide (0xFFFB); the chip keeps 12, and verifies.
TEST_F(Pic10DocumentTest, PageConfigurationWordVerifiesOnTheChipsBits) {
  StartChip("PIC10F200", 0);
  Pic10().state.ignoreHexConfig = 1;
  ASSERT_EQ(Program(Pic10Program("pic10f200")), OperationOutcome::kSuccess);
  EXPECT_EQ(Words()[0x1FF], 0x0FFB);
  EXPECT_EQ(RunCommand(Pic10Command::kVerify), OperationOutcome::kSuccess);
}

// The backup types reach past program memory: writing them would put the file's words over the
// calibration word and its backup. They are read and verified only.
TEST_F(Pic10DocumentTest, BackupTypesAreNeverWrittenOrErased) {
  StartChip("PIC10F200", 2, {{"calibration", 0x24}});
  EXPECT_NE(Program(Pic10Program("pic10f200")), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), ElementsAre("",
                                 "+++ Programming refused: PIC10F200/204 (DON'T USE FOR "
                                 "PROGRAMMING !!!) +++"));
  EXPECT_NE(RunCommand(Pic10Command::kEraseFlash), OperationOutcome::kSuccess);
  EXPECT_TRUE(Commands().empty());
  EXPECT_EQ(Words()[0xFF], 0x0C24);
  EXPECT_EQ(Words()[0x104], 0x0C24);

  // Verify and Read of a backup type look at the words past program memory.
  doc_->hexFileName = Pic10Program("pic10f200");
  EXPECT_EQ(RunCommand(Pic10Command::kVerify), OperationOutcome::kFailed);
  EXPECT_THAT(Log(), Contains("!!! Error found in Flash memory at address 0x0000 !!!"));
}

TEST_F(Pic10DocumentTest, EraseFlashPutsTheCalibrationWordBack) {
  StartChip("PIC10F206", 1, {{"calibration", 0x3A}});
  ASSERT_EQ(Program(Pic10Program("pic10f206")), OperationOutcome::kSuccess);
  ASSERT_EQ(RunCommand(Pic10Command::kEraseFlash), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), ElementsAre("", "*** Flash Erased ***"));
  const std::vector<uint16_t> words = Words();
  EXPECT_EQ(words[0], 0x0FFF);
  EXPECT_EQ(words[0x1FF], 0x0C3A);
  EXPECT_EQ(words[0x204], 0x0C3A);
  EXPECT_EQ(words[0x3FF], 0x0FFF);
}

// A chip that lost the word at N-1 gets it back from the backup.
TEST_F(Pic10DocumentTest, ProgramRestoresALostCalibrationWordFromTheBackup) {
  StartChip("PIC10F200", 0, {{"calibration", 0x24}, {"calibrationMissing", true}});
  ASSERT_EQ(Program(Pic10Program("pic10f200")), OperationOutcome::kSuccess);
  EXPECT_EQ(Words()[0xFF], 0x0C24);
}

TEST_F(Pic10DocumentTest, AbsentChipIsNotFound) {
  StartChip("PIC10F200", 0, {{"absent", true}});
  EXPECT_EQ(Program(Pic10Program("pic10f200")), OperationOutcome::kDeviceNotFound);
  EXPECT_THAT(Log(), ElementsAre("", "Programming not possible. Cannot find PIC."));
  EXPECT_EQ(doc_->progressBar.State().caption, "No PIC !!!");
}

TEST_F(Pic10DocumentTest, StuckBitFailsTheCompare) {
  StartChip("PIC10F200", 0, {{"stuckBits", {{{"word", "0x1"}, {"bit", 4}, {"level", 0}}}}});
  EXPECT_EQ(Program(Pic10Program("pic10f200")), OperationOutcome::kFailed);
  EXPECT_THAT(Log(), Contains("!!! Error found in Flash memory at address 0x0001 !!!"));
  EXPECT_THAT(Log(), Not(Contains("!!! Error in configuration !!!")));
  EXPECT_THAT(Log(), Contains("+++ Programming Failed +++"));
}

// A cable pulled anywhere in a Program: never a success; the backup word always stays, and the
// calibration word too unless the erase had started.
TEST_F(Pic10DocumentTest, UnplugSweepOverAProgram) {
  StartChip("PIC10F206", 1, {{"calibration", 0x3A}});
  ASSERT_EQ(Program(Pic10Program("pic10f206")), OperationOutcome::kSuccess);
  uint64_t total = 0;
  const nlohmann::json transcript = Transcript();
  for (const auto& event : transcript["events"]) {
    if (event["op"] == "write") total += event.value("written", 0u);
    if (event["op"] == "read") total += event.value("bytes", std::string()).size() / 3 + 1;
  }
  ASSERT_GT(total, 3000u);
  std::vector<uint64_t> budgets = {0, 1, 5, 20, 100};
  for (int i = 1; i < 20; ++i) budgets.push_back(total * i / 20);
  for (uint64_t budget : budgets) {
    SCOPED_TRACE(budget);
    StartChip("PIC10F206", 1, {{"calibration", 0x3A}}, {{"unplugAfterBytes", budget}});
    EXPECT_NE(Program(Pic10Program("pic10f206")), OperationOutcome::kSuccess);
    EXPECT_THAT(Log(), Not(Contains(HasSubstr("Finished Successfully"))));
    EXPECT_NE(doc_->progressBar.State().caption, "Success");
    bool erased = false;
    for (const auto& command : Commands()) erased = erased || command[0] == 0x49;
    const std::vector<uint16_t> words = Words();
    EXPECT_EQ(words[0x204], 0x0C3A);
    if (!erased) {
      EXPECT_EQ(words[0x1FF], 0x0C3A);
    }
  }
}

// Data the PIC10F200 cannot hold: a word past its 256 program words and 4 ID words, a word past
// the configuration word at 0xFFF. Program and Verify report it and stop before the chip is
// touched unless the user confirms; the program's own IDs and configuration word pass.
TEST_F(Pic10DocumentTest, DataOutsideTheDeviceIsReportedAndRefusedUnlessConfirmed) {
  StartChip("PIC10F200", 0, {{"calibration", 0x24}});
  const std::string program = Pic10Program("pic10f200");
  const auto withBytes = [this](const std::string& name, const std::string& original, uint32_t at) {
    std::ifstream in(original, std::ios::binary);
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    const std::string path = (dir_ / name).string();
    std::ofstream(path, std::ios::binary) << HexBytesAt(at, {0x5A, 0x00}) << text;
    return path;
  };
  const std::pair<std::string, std::string> cases[] = {
      {withBytes("flash.hex", program, 0x208), ": 0x000208-0x000209 +++"},
      {withBytes("config.hex", program, 0x2000), ": 0x002000-0x002001 +++"},
  };
  const std::vector<uint16_t> before = Words();
  for (const auto& [path, run] : cases) {
    SCOPED_TRACE(run);
    doc_->hexFileName = path;
    for (Pic10Command command : {Pic10Command::kProgram, Pic10Command::kVerify}) {
      EXPECT_EQ(RunCommand(command), OperationOutcome::kFailed);
      EXPECT_THAT(Log(), ::testing::Contains(::testing::AllOf(
                             ::testing::HasSubstr("+++ 2 bytes of the HEX file lie outside the "),
                             ::testing::HasSubstr(run))));
      ASSERT_EQ(prompt_.Records().size(), 1u);
      EXPECT_EQ(prompt_.Records()[0].caption, "Data Outside Device");
    }
  }
  EXPECT_EQ(Words(), before);

  EXPECT_EQ(Program(program), OperationOutcome::kSuccess);
  EXPECT_TRUE(prompt_.Records().empty());

  prompt_.QueueAnswer(Answer::Yes);
  EXPECT_EQ(Program(cases[0].first), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), ::testing::Contains("Data outside the device left out, as confirmed"));
}

}  // namespace
}  // namespace velmora::testing
