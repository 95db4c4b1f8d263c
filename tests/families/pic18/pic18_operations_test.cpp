// The PIC18 edge cases that matter: settings that skip parts, fast verify, the configuration
// retry, identification texts, the update writing only changed blocks, erases and dumps, and
// the sound ends of a lost link and of a Read that reads nothing.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <fstream>
#include <future>

#include "families/pic18/config_pic18.h"
#include "families/pic18/pic18_fixture.h"
#include "memory/catalogue.h"

namespace velmora::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::IsEmpty;
using ::testing::MatchesRegex;
using ::testing::Not;

class Pic18OperationsTest : public Pic18DocumentTest {
 protected:
  void StartProgrammed4550(nlohmann::json extra = nlohmann::json::object()) {
    Start("PIC18F4550", false, std::move(extra));
    doc_->hexFileName = HexFile("pic18f4550_blink");
    ASSERT_EQ(Run(Pic18Command::kProgram), OperationOutcome::kSuccess);
  }
  // How often the simulator received the firmware command since it was configured.
  size_t CountCommands(uint8_t command) const {
    size_t count = 0;
    for (const auto& bytes : Commands()) count += !bytes.empty() && bytes[0] == command;
    return count;
  }
};

TEST_F(Pic18OperationsTest, ProgramWithEveryPartDisabledTouchesNothing) {
  Start("PIC18F4550");
  doc_->hexFileName = HexFile("pic18f4550_blink");
  doc_->enableChipErase = doc_->enableFlashUpdate = doc_->enableEepromUpdate =
      doc_->enableIdLocationUpdate = doc_->enableConfigurationUpdate = 0;
  ASSERT_EQ(Run(Pic18Command::kProgram), OperationOutcome::kSuccess);
  const auto log = Log();
  ASSERT_EQ(log.size(), 8u);
  EXPECT_THAT(std::vector<std::string>(log.begin(), log.end() - 1),
              ElementsAre("", "*** Programming PIC18F4550 ***", "Bulk Erase skipped",
                          "Programming Flash memory skipped", "Programming EEPROM skipped",
                          "Programming ID-Location skipped", "Programming Configuration skipped"));
  EXPECT_THAT(log.back(), MatchesRegex(R"(\*\*\* Finished Successfully \*\*\* [0-9]+:[0-9]{3})"));
  for (uint8_t command : {0x25, 0x28, 0x29, 0x2A, 0x2B, 0x2C}) {
    EXPECT_EQ(CountCommands(command), 0u) << int(command);
  }
}

TEST_F(Pic18OperationsTest, NoVerifyProgramsEverythingAndReadsNothingBack) {
  Start("PIC18F4550");
  doc_->hexFileName = HexFile("pic18f4550_blink");
  doc_->noVerify = 1;
  ASSERT_EQ(Run(Pic18Command::kProgram), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), Contains("Flash memory successfully programmed."));
  EXPECT_THAT(Log(), Contains("Configuration successfully programmed."));
  // The only read is the device ID of identification.
  EXPECT_EQ(CountCommands(0x22), 1u);
  EXPECT_EQ(CountCommands(0x23), 0u);
}

TEST_F(Pic18OperationsTest, ConfigurationRetrySucceedsOnTheSecondAttempt) {
  Start("PIC18F4550", false, {{"target", {{"failConfigWriteOnce", {1}}}}});
  doc_->hexFileName = HexFile("pic18f4550_blink");
  ASSERT_EQ(Run(Pic18Command::kProgram), OperationOutcome::kSuccess);
  const auto log = Log();
  ASSERT_GE(log.size(), 3u);
  EXPECT_THAT(
      std::vector<std::string>(log.end() - 3, log.end() - 1),
      ElementsAre("Programming Configuration: 2. try ", "Configuration successfully programmed."));
  EXPECT_EQ(CountCommands(0x2C), 2u);
}

TEST_F(Pic18OperationsTest, FastVerifyIgnoresBytesTheFileDoesNotGive) {
  StartProgrammed4550();
  // The chip holds the text table; a file without it still fast-verifies.
  auto image = LoadImage(HexFile("pic18f4550_blink"));
  std::fill(image->programMemory + 0x4000, image->programMemory + 0x4040, kBlankCell);
  doc_->hexFileName = SaveImage(*image, "without-table.hex", 32768, 256);

  doc_->fastVerify = 1;
  ASSERT_EQ(Run(Pic18Command::kVerify), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), Contains("Flash memory OK."));
  EXPECT_THAT(Log(), Not(Contains("Verifying Flash memory...")));

  doc_->fastVerify = 0;
  ASSERT_EQ(Run(Pic18Command::kVerify), OperationOutcome::kFailed);
  EXPECT_THAT(Log(), Contains("Error found in Flash memory at address 0x004000"));
}

TEST_F(Pic18OperationsTest, IdentifyShowsTheDeviceAndThePrintableId) {
  StartProgrammed4550();
  ASSERT_EQ(Run(Pic18Command::kIdentify), OperationOutcome::kSuccess);
  const auto log = Log();
  ASSERT_EQ(log.size(), 3u);
  EXPECT_THAT(log[1], MatchesRegex(R"(PIC18F4550 Rev\. [0-9]+   Flash 32k, EEPROM 256, RAM 2048)"));
  EXPECT_EQ(log[2], "ID: 42 4C 49 4E 4B 34 35 30   \"BLINK450\"");
}

TEST_F(Pic18OperationsTest, IdentifyWithNoVerifyShowsNoIdItDidNotRead) {
  StartProgrammed4550();
  doc_->noVerify = 1;
  ASSERT_EQ(Run(Pic18Command::kIdentify), OperationOutcome::kSuccess);
  ASSERT_EQ(Log().size(), 2u);
  EXPECT_THAT(Log()[1],
              MatchesRegex(R"(PIC18F4550 Rev\. [0-9]+   Flash 32k, EEPROM 256, RAM 2048)"));
}

TEST_F(Pic18OperationsTest, ConfigurationFromOptionsIsEncodedForTheIdentifiedDevice) {
  // A fresh document knows no device when the file is prepared; the options must still become
  // the PIC18F4550's configuration, not all-zero bytes (code protection on).
  Start("PIC18F4550");
  ASSERT_EQ(doc_->programmer->fileImage.blockSize, 0);
  doc_->hexFileName = HexFile("pic18f4550_blink");
  doc_->ignoreConfigFromFile = 1;
  doc_->optionSelections[PIC18WDTPS] = 5;
  ASSERT_EQ(Run(Pic18Command::kProgram), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), Contains("Configuration successfully programmed."));

  const Pic18ConfigCells expected =
      EncodePic18ConfigurationCells("PIC18F4550", doc_->optionSelections);
  const Pic18Device& device = kPic18Devices[doc_->programmer->fileImage.deviceIndex];
  int nonZero = 0;
  for (int i = 0; i < 14; ++i) {
    const int read = doc_->programmer->chipImage.configuration[i] & device.configMasks[i];
    EXPECT_EQ(read, expected[i] & device.configMasks[i]) << "configuration byte " << i;
    nonZero += read != 0;
  }
  EXPECT_GT(nonZero, 0);
}

TEST_F(Pic18OperationsTest, IdLineVariants) {
  struct Case {
    std::vector<int32_t> id;
    std::string line;
  };
  for (const Case& c :
       {Case{{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, "ID-Location: Is Empty"},
        Case{{-1, -1, -1, -1, -1, -1, -1, -1}, "ID-Location: Is Empty"},
        Case{{0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48},
             "ID: 41 42 43 44 45 46 47 48   \"ABCDEFGH\""},
        Case{{0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x1F}, "ID: 41 42 43 44 45 46 47 1F"},
        Case{{0x87, 0x22, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x01}, "ID: 87 22 FF FF FF FF FF 01"}}) {
    EXPECT_EQ(CPic18Operations::IdLocationLine(c.id.data()), c.line);
  }
}

TEST_F(Pic18OperationsTest, UnknownDeviceShowsItsIdAndNoProgrammingHappens) {
  Start("PIC18F4550", false, {{"target", {{"absent", "low"}}}});
  ASSERT_EQ(Run(Pic18Command::kIdentify), OperationOutcome::kDeviceNotFound);
  EXPECT_THAT(Log(), ElementsAre("", "Device ID: 0x0000", "Unknown Device"));

  doc_->hexFileName = HexFile("pic18f4550_blink");
  ASSERT_EQ(Run(Pic18Command::kProgram), OperationOutcome::kDeviceNotFound);
  EXPECT_THAT(Log(), ElementsAre("", "Programming not possible. Cannot find PIC."));
  EXPECT_EQ(doc_->progressBar.State().caption, "No PIC !!!");
  EXPECT_EQ(doc_->progressBar.State().position, 1000);
  EXPECT_EQ(doc_->lastOperationFailed, 0);
  EXPECT_EQ(doc_->programmer->ftHandle.load(), nullptr);
}

TEST_F(Pic18OperationsTest, UpdateWritesOnlyTheChangedBlocks) {
  StartProgrammed4550();
  auto image = LoadImage(HexFile("pic18f4550_blink"));
  image->programMemory[0x4001] = 'E';   // block 0x4000
  image->programMemory[0x7FF3] = 0x00;  // block 0x7FC0
  doc_->hexFileName = SaveImage(*image, "changed.hex", 32768, 256);

  ASSERT_EQ(Run(Pic18Command::kUpdate), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), ElementsAre("", "*** Update Program Memory ***",
                                 "Flash memory successfully updated."));
  EXPECT_THAT(captions_, ElementsAre("Success", "Flashing", "Verifying", "Success"));
  // A block write is the parameter block 21 04 <address LE24> 00, then 2D with the block.
  std::vector<uint32_t> written;
  uint32_t blockAddress = 0;
  for (const auto& command : Commands()) {
    if (command.size() >= 5 && command[0] == 0x21 && command[1] == 0x04) {
      blockAddress = command[2] | command[3] << 8 | command[4] << 16;
    } else if (!command.empty() && command[0] == 0x2D) {
      written.push_back(blockAddress);
    }
  }
  EXPECT_THAT(written, ElementsAre(0x4000u, 0x7FC0u));
  EXPECT_EQ(CountCommands(0x25), 1u) << "only the bulk erase of the Program before";

  doc_->hexFileName = (dir_ / "changed.hex").string();
  EXPECT_EQ(Run(Pic18Command::kVerify), OperationOutcome::kSuccess);
}

TEST_F(Pic18OperationsTest, ReadWithNoVerifyReadsNothingAndSavesNothing) {
  StartProgrammed4550();
  doc_->noVerify = 1;
  prompt_.QueueAnswer(Answer::No);  // keep "no verify" when asked
  prompt_.SetHexSaveChoice(HexSaveChoice{(dir_ / "read.hex").string(), false});
  ASSERT_EQ(Run(Pic18Command::kRead), OperationOutcome::kFailed);
  ASSERT_EQ(prompt_.Records().size(), 1u);
  EXPECT_EQ(prompt_.Records()[0].caption, "Fast Reading?");
  EXPECT_THAT(Log(), ElementsAre("", "*** Reading PIC18F4550 ***", "Reading Flash memory skipped",
                                 "Reading EEPROM skipped", "Reading ID-Location skipped",
                                 "Reading Configuration skipped", "+++ Reading Failed +++",
                                 "+++ No data saved: nothing was read +++"));
  EXPECT_EQ(doc_->progressBar.State().caption, "Fail");
  EXPECT_THAT(prompt_.SuggestedSavePaths(), IsEmpty());
  EXPECT_FALSE(std::filesystem::exists(dir_ / "read.hex"));
}

TEST_F(Pic18OperationsTest, ReadQuestionCancelsOrClearsTheFastFlags) {
  Start("PIC18F4550");
  doc_->fastVerify = 1;
  prompt_.QueueAnswer(Answer::Cancel);
  EXPECT_EQ(Run(Pic18Command::kRead), OperationOutcome::kNotStarted);
  EXPECT_THAT(Log(), IsEmpty());

  prompt_.QueueAnswer(Answer::Yes);
  prompt_.SetHexSaveChoice(std::nullopt);
  EXPECT_EQ(Run(Pic18Command::kRead), OperationOutcome::kFailed);  // saving cancelled
  EXPECT_EQ(doc_->fastVerify, 0);
  EXPECT_THAT(Log(), Contains("Flash memory read."));
  EXPECT_THAT(Log(), Not(Contains("Fast reading Flash memory... (not recommended)")));
  EXPECT_EQ(Log().back(), "+++ Data saving canceled +++");
}

TEST_F(Pic18OperationsTest, LinkLostMidProgramEndsInFailureNeverSuccess) {
  for (const bool noVerify : {false, true}) {
    SCOPED_TRACE(noVerify ? "no verify" : "verify");
    Start("PIC18F4550", false, {{"faults", {{"unplugAfterBytes", 20000}}}});
    doc_->hexFileName = HexFile("pic18f4550_blink");
    doc_->noVerify = noVerify;
    EXPECT_EQ(Run(Pic18Command::kProgram), OperationOutcome::kFailed);
    EXPECT_THAT(Log(), Contains("+++ Connection to the programmer lost +++"));
    EXPECT_EQ(Log().back(), "+++ Programming Failed +++");
    EXPECT_THAT(captions_, Not(Contains("Success")));
    EXPECT_EQ(doc_->progressBar.State().caption, "Fail");
    EXPECT_EQ(doc_->lastOperationFailed, 1);
    EXPECT_EQ(doc_->programmer->ftHandle.load(), nullptr);
    EXPECT_FALSE(doc_->IsBusy());
  }
}

TEST_F(Pic18OperationsTest, LinkLostDuringReadSavesNothing) {
  StartProgrammed4550();
  Start("PIC18F4550", false, {{"faults", {{"unplugAfterBytes", 3000}}}});
  prompt_.SetHexSaveChoice(HexSaveChoice{(dir_ / "read.hex").string(), false});
  EXPECT_EQ(Run(Pic18Command::kRead), OperationOutcome::kFailed);
  EXPECT_THAT(Log(), Contains("+++ Reading Failed +++"));
  EXPECT_EQ(Log().back(), "+++ No data saved: reading failed +++");
  EXPECT_FALSE(std::filesystem::exists(dir_ / "read.hex"));
}

TEST_F(Pic18OperationsTest, NoProgrammerEndsBeforeAnyLineButTheBlankOne) {
  Start("PIC18F4550", false, {{"faults", {{"noProgrammer", true}}}});
  doc_->hexFileName = HexFile("pic18f4550_blink");
  EXPECT_EQ(Run(Pic18Command::kProgram), OperationOutcome::kNoProgrammer);
  EXPECT_THAT(Log(), ElementsAre(""));
  ASSERT_EQ(prompt_.Records().size(), 1u);
  EXPECT_EQ(prompt_.Records()[0].caption, "Programmer Error");
}

TEST_F(Pic18OperationsTest, ErasesReportWhatTheyFind) {
  StartProgrammed4550();
  ASSERT_EQ(Run(Pic18Command::kEraseIdLocation), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), ElementsAre("", "ID-Location erased successfully."));

  ASSERT_EQ(Run(Pic18Command::kEraseEeprom), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), ElementsAre("", "EEPROM successfully erased."));

  // The default low-voltage erase goes row by row and rewrites the EEPROM with 0xFF.
  ASSERT_EQ(doc_->optionSelections[PIC18LOWVOLTAGEERASE], 1);
  ASSERT_EQ(Run(Pic18Command::kEraseChip), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(),
              ElementsAre("", "Erasing Flash Memory! Please wait...", "Chip Erase performed."));
  EXPECT_EQ(CountCommands(0x25), 1u) << "only the Program's bulk erase";

  doc_->optionSelections[PIC18LOWVOLTAGEERASE] = 0;
  ASSERT_EQ(Run(Pic18Command::kEraseChip), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), ElementsAre("", "Chip Erase performed."));
  EXPECT_EQ(CountCommands(0x25), 2u);

  doc_->hexFileName = HexFile("pic18f4550_blink");
  ASSERT_EQ(Run(Pic18Command::kVerify), OperationOutcome::kFailed);
  EXPECT_THAT(Log(), Contains("Error found in Flash memory at address 0x000000"));
}

TEST_F(Pic18OperationsTest, EepromDumpShowsSixteenBytesALine) {
  StartProgrammed4550();
  ASSERT_EQ(Run(Pic18Command::kDumpEeprom), OperationOutcome::kSuccess);
  const auto log = Log();
  ASSERT_EQ(log.size(), 2u + 16u + 1u);
  EXPECT_EQ(log[0], "");
  EXPECT_EQ(log[1], "*** Perform Read EEPROM Reset ***");
  EXPECT_EQ(log[2],
            "000:\t01\t02\t03\t04\t05\t06\t07\t08\tFF\tFF\tFF\tFF\tFF\tFF\tFF\tFF"
            "\t.\t.\t.\t.\t.\t.\t.\t.\t.\t.\t.\t.\t.\t.\t.\t.");
  EXPECT_EQ(log[17],
            "0F0:\tFF\tFF\tFF\tFF\tFF\tFF\tFF\tFF\t65\t65\t70\t72\t6F\t6D\t21\t00"
            "\t.\t.\t.\t.\t.\t.\t.\t.\te\te\tp\tr\to\tm\t!\t.");
  EXPECT_EQ(log[18], "*** End of EEPROM Read Reset ***");
  // Dump rows carry no time stamp in the list.
  EXPECT_EQ(doc_->operationLog.Lines()[firstLine_ + 2].substr(0, 4), "000:");
}

TEST_F(Pic18OperationsTest, ReadConfigurationUpdatesTheStoredConfiguration) {
  StartProgrammed4550();
  doc_->pic18Configuration.fill(0);
  ASSERT_EQ(Run(Pic18Command::kReadConfiguration), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), ElementsAre("", "Configuration setup updated with data from PIC"));
  // The file's CONFIG1L is 0x24 (PLLDIV = 5, CPUDIV = OSC1_PLL2, USBDIV = 2).
  EXPECT_EQ(doc_->pic18Configuration[0] &
                kPic18Devices[doc_->programmer->fileImage.deviceIndex].configMasks[0],
            0x24);
  EXPECT_EQ(doc_->optionSelections[PIC18PLLDIV], 4);
}

// Holds the operation in the manual power prompt until the test lets it go.
class HeldPrompt final : public IUserPrompt {
 public:
  Answer MessageBox(const std::string& text, const std::string& caption, uint32_t style) override {
    if (caption == "User Action Requiered: ON" && !released_) {
      entered_.set_value();
      release_.get_future().wait();
      released_ = true;
    }
    return recorded.MessageBox(text, caption, style);
  }
  std::optional<HexSaveChoice> AskHexSavePath(const std::string& path) override {
    return recorded.AskHexSavePath(path);
  }
  std::promise<void> entered_;
  std::promise<void> release_;
  bool released_ = false;
  ScriptedPrompt recorded;
};

TEST_F(Pic18OperationsTest, BusyGuardRefusesASecondCommandWhileOneRuns) {
  ASSERT_EQ(sim.Configure(R"({"programmer":"full","device":"PIC18F4550"})"), 0);
  HeldPrompt held;
  CqelDoc doc({.clock = clock_, .prompt = held, .driverLibraryPath = kSimulatorPath});
  doc.hexFileName = HexFile("pic18f4550_blink");
  doc.powerSwitching = 1;  // manual: the user is asked to switch power on
  ASSERT_TRUE(StartFamilyCommand(doc, Pic18FamilyRow(), int(Pic18Command::kProgram)));
  held.entered_.get_future().wait();

  EXPECT_TRUE(doc.IsBusy());
  EXPECT_FALSE(StartFamilyCommand(doc, Pic18FamilyRow(), int(Pic18Command::kVerify)));
  EXPECT_FALSE(StartFamilyCommand(doc, Pic18FamilyRow(), int(Pic18Command::kIdentify)));
  size_t busyBoxes = 0;
  for (const auto& r : held.recorded.Records()) busyBoxes += r.caption == "Programmer Info";
  EXPECT_EQ(busyBoxes, 3u);

  held.release_.set_value();
  doc.WaitForOperation();
  EXPECT_EQ(doc.lastOutcome, OperationOutcome::kSuccess);
  EXPECT_FALSE(doc.IsBusy());
}

// A Program that cannot load its file fails before it starts: the bar no longer shows the
// previous "Success", and the log names the file (and the line of a HEX error).
TEST_F(Pic18OperationsTest, ProgramWhoseFileDoesNotLoadShowsFailureAndNamesTheFile) {
  StartProgrammed4550();
  ASSERT_EQ(doc_->progressBar.State().caption, "Success");
  const std::string broken = (dir_ / "broken.hex").string();
  std::ofstream(broken) << ":0400000001020304F2\n:04001000zz\n";
  struct Case {
    std::string file;
    std::string logged;
  };
  const Case cases[] = {
      {(dir_ / "missing.hex").string(), "+++ HEX file not loaded: Cannot read \"" +
                                            (dir_ / "missing.hex").string() +
                                            "\": No such file or directory +++"},
      {broken, "+++ HEX file not loaded: Damaged record in line 2 of \"" + broken + "\""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.file);
    doc_->hexFileName = c.file;
    EXPECT_EQ(Run(Pic18Command::kProgram), OperationOutcome::kNotStarted);
    EXPECT_THAT(Log(), ::testing::Contains(::testing::StartsWith(c.logged)));
    const ProgressBarState bar = doc_->progressBar.State();
    EXPECT_EQ(bar.caption, "Fail");
    EXPECT_EQ(bar.barColour, colour::kRed);
    EXPECT_EQ(doc_->lastOperationFailed, 1);
    doc_->ShowSuccess();
  }
}

// The basic test page's monitor: a cycle of its own in which only MCLR is driven around the RAM
// read (80, the RAM read, 8C); it runs once per tick of its box.
TEST_F(Pic18OperationsTest, DataMonitorReadsTheRamWithTheTargetHeldOncePerTick) {
  std::vector<uint8_t> ram(1536);
  for (size_t i = 0; i < ram.size(); ++i) ram[i] = PatternByte(static_cast<uint32_t>(i) + 3);
  Start("PIC18F452", false, {{"target", {{"ram", HexText(ram)}}}});
  ASSERT_EQ(Run(Pic18Command::kIdentify), OperationOutcome::kSuccess);
  const auto monitor = [this] {
    ResetRecords();
    doc_->programmer->chipImage.Clear();
    MarkTranscript();
    doc_->StartOperation([this] { Operations().RunPic18DataMonitor(); });
    doc_->WaitForOperation();
  };
  const auto targetCommands = [this] {
    std::vector<std::vector<uint8_t>> found;
    for (const auto& command : Commands()) {
      // Past the control bytes and the handshake (0x20, "W").
      if (command[0] > 0x20 && command[0] != 'W') found.push_back(command);
    }
    return found;
  };

  monitor();
  EXPECT_THAT(Log(), ElementsAre("Data Monitor activated...", "Data Monitor stop!"));
  const std::vector<std::vector<uint8_t>> held = {
      {0x80}, {0x21, 0x08, 0, 0, 0, 0, 0x00, 0x06, 0x00, 0x00}, {0x24}, {0x8C}};
  EXPECT_EQ(targetCommands(), held);
  for (size_t i = 0; i < ram.size(); ++i) {
    ASSERT_EQ(doc_->programmer->chipImage.dataMemory[i], ram[i]) << i;
  }
  EXPECT_EQ(doc_->programmer->ftHandle.load(), nullptr);

  monitor();  // still ticked: nothing happens
  EXPECT_THAT(Log(), IsEmpty());
  EXPECT_THAT(targetCommands(), IsEmpty());

  doc_->dataMonitorRunning = 0;  // the tick was taken away
  monitor();
  EXPECT_THAT(Log(), ElementsAre("Data Monitor activated...", "Data Monitor stop!"));
  EXPECT_EQ(targetCommands(), held);
}

}  // namespace
}  // namespace velmora::testing
