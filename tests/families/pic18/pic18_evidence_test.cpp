// "Success" only on evidence read in this cycle: a board swapped after Program must fail Verify
// (also when the mini programmer's read-back loses samples) and Update; a Verify or Read that
// checked nothing fails; a link lost at identification or while leaving programming mode is
// named as such.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstdio>

#include "families/pic18/pic18_fixture.h"
#include "memory/catalogue.h"

namespace velmora::testing {
namespace {

using ::testing::Contains;
using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

std::string Hex6(const char* format, uint32_t address) {
  char text[96];
  std::snprintf(text, sizeof text, format, address);
  return text;
}

class Pic18EvidenceTest : public Pic18DocumentTest {
 protected:
  // The scenario of a (new) target on the same document: the board swap.
  nlohmann::json Target(const std::string& device, bool mini, const std::string& memory = "",
                        nlohmann::json faults = nlohmann::json::object()) const {
    nlohmann::json scenario = {{"programmer", mini ? "mini" : "full"}, {"device", device}};
    if (!memory.empty()) scenario["memory"] = memory;
    if (!faults.empty()) scenario["faults"] = std::move(faults);
    return scenario;
  }

  // A PIC18F452 program: code at both ends of the flash, EEPROM and ID data.
  std::string Pic18F452File() {
    CMCUMemoryArchitecture image;
    image.Clear();
    for (uint32_t a = 0; a < 0x200; ++a) image.programMemory[a] = PatternByte(a);
    for (uint32_t a = 0x7F00; a < 0x8000; ++a) image.programMemory[a] = PatternByte(a);
    for (uint32_t a = 0; a < 32; ++a) image.eeprom[a] = PatternByte(a + 3);
    for (int i = 0; i < 8; ++i) image.idLocations[i] = 'A' + i;
    return SaveImage(image, "f452.hex", 32768, 256);
  }

  std::string ProgramFileFor(const std::string& device) {
    return device == "PIC18F452" ? Pic18F452File() : HexFile("pic18f4550_blink");
  }

  // The first flash address from `from` on that the file gives a byte for.
  uint32_t FirstGiven(const std::string& file, uint32_t from) {
    auto image = LoadImage(file);
    while (image->programMemory[from] == kBlankCell) ++from;
    return from;
  }

  // The file with one flash byte changed, as the memory of a differently programmed target.
  std::string ChangedCopy(const std::string& file, uint32_t address) {
    auto image = LoadImage(file);
    image->programMemory[address] ^= 0x5A;
    const Pic18Device& device = kPic18Devices[doc_->programmer->fileImage.deviceIndex];
    return SaveImage(*image, "other-board.hex", device.programSize, device.eepromSize);
  }

  void ExpectFailedDisplay() {
    // The first caption is what the bar kept from the command before.
    ASSERT_FALSE(captions_.empty());
    EXPECT_THAT(std::vector<std::string>(captions_.begin() + 1, captions_.end()),
                Not(Contains("Success")));
    EXPECT_EQ(doc_->progressBar.State().caption, "Fail");
    EXPECT_EQ(doc_->lastOperationFailed, 1);
    EXPECT_EQ(doc_->programmer->ftHandle.load(), nullptr);
  }
};

struct SwapCase {
  const char* device;
  bool mini;
};

std::string SwapCaseName(const ::testing::TestParamInfo<SwapCase>& param) {
  return std::string(param.param.device) + (param.param.mini ? "_mini" : "_full");
}

class Pic18BoardSwapTest : public Pic18EvidenceTest,
                           public ::testing::WithParamInterface<SwapCase> {};

TEST_P(Pic18BoardSwapTest, VerifyAndUpdateAfterASwapFailAtTheByteTheTargetLacks) {
  const SwapCase& c = GetParam();
  Start(c.device, c.mini);
  const std::string file = ProgramFileFor(c.device);
  doc_->hexFileName = file;
  ASSERT_EQ(Run(Pic18Command::kProgram), OperationOutcome::kSuccess)
      << ::testing::PrintToString(Log());

  // A board programmed with one byte else, in a block the file does not change: the chip
  // image of the Program says nothing changed, so Update writes nothing, yet must fail.
  const uint32_t changed = FirstGiven(file, 0x4000);
  ConfigureSimulator(Target(c.device, c.mini, ChangedCopy(file, changed)));
  ASSERT_EQ(Run(Pic18Command::kUpdate), OperationOutcome::kFailed);
  EXPECT_THAT(Log(), ElementsAre("", "*** Update Program Memory ***",
                                 Hex6("!!! Error occured during Flash programming at address "
                                      "0x%06X !!!",
                                      changed)));
  ExpectFailedDisplay();

  // Programmed again, then a blank board.
  ASSERT_EQ(Run(Pic18Command::kProgram), OperationOutcome::kSuccess);
  ConfigureSimulator(Target(c.device, c.mini));
  const std::string blankProgram = TargetState()["program"];
  ASSERT_EQ(Run(Pic18Command::kUpdate), OperationOutcome::kFailed);
  const uint32_t first = FirstGiven(file, 0);
  EXPECT_THAT(Log(), ElementsAre("", "*** Update Program Memory ***",
                                 Hex6("!!! Error occured during Flash programming at address "
                                      "0x%06X !!!",
                                      first)));
  EXPECT_EQ(TargetState()["program"], blankProgram) << "the fast path wrote nothing";
  ExpectFailedDisplay();

  ConfigureSimulator(Target(c.device, c.mini));
  ASSERT_EQ(Run(Pic18Command::kVerify), OperationOutcome::kFailed);
  EXPECT_THAT(Log(), Contains(Hex6("Error found in Flash memory at address 0x%06X", first)));
  EXPECT_EQ(Log().back(), "+++ Verification Failed +++");
  ExpectFailedDisplay();
}

TEST_P(Pic18BoardSwapTest, VerifyWithALossyReadBackNeverComparesWhatAnEarlierReadLeft) {
  const SwapCase& c = GetParam();
  Start(c.device, c.mini);
  doc_->hexFileName = ProgramFileFor(c.device);
  ASSERT_EQ(Run(Pic18Command::kProgram), OperationOutcome::kSuccess);

  // The read-back loses one sample in 500 once identification is done; on the full
  // programmer the same board is read without loss.
  ConfigureSimulator(Target(c.device, c.mini, "",
                            {{"lossyReadBack", {{"afterSamples", 4000}, {"dropEvery", 500}}}}));
  ASSERT_EQ(Run(Pic18Command::kVerify), OperationOutcome::kFailed);
  if (c.mini) {
    EXPECT_THAT(Log(), Contains("+++ Connection to the programmer lost +++"));
  } else {
    EXPECT_THAT(Log(), Contains(Hex6("Error found in Flash memory at address 0x%06X",
                                     FirstGiven(doc_->hexFileName, 0))));
  }
  EXPECT_THAT(Log(), Not(Contains("Flash memory OK.")));
  EXPECT_EQ(Log().back(), "+++ Verification Failed +++");
  ExpectFailedDisplay();
}

INSTANTIATE_TEST_SUITE_P(Targets, Pic18BoardSwapTest,
                         ::testing::Values(SwapCase{"PIC18F452", false},
                                           SwapCase{"PIC18F452", true},
                                           SwapCase{"PIC18F4550", false},
                                           SwapCase{"PIC18F4550", true}),
                         SwapCaseName);

TEST_F(Pic18EvidenceTest, UpdateWithNoVerifySaysNothingWasChecked) {
  Start("PIC18F4550");
  doc_->hexFileName = HexFile("pic18f4550_blink");
  ASSERT_EQ(Run(Pic18Command::kProgram), OperationOutcome::kSuccess);
  auto image = LoadImage(HexFile("pic18f4550_blink"));
  image->programMemory[0x4001] = 'E';
  doc_->hexFileName = SaveImage(*image, "changed.hex", 32768, 256);

  doc_->noVerify = 1;
  MarkTranscript();
  ASSERT_EQ(Run(Pic18Command::kUpdate), OperationOutcome::kSuccess);
  EXPECT_THAT(Log(), ElementsAre("", "*** Update Program Memory ***",
                                 "Flash memory updated; nothing verified (No Verify is on)."));
  size_t reads = 0;
  for (const auto& command : Commands()) reads += !command.empty() && command[0] == 0x22;
  EXPECT_EQ(reads, 1u) << "only the device ID";
  EXPECT_EQ(TargetState()["program"].get<std::string>().substr(0x4001 * 2, 2), "45");
}

TEST_F(Pic18EvidenceTest, VerifyOrReadThatChecksNothingFails) {
  Start("PIC18F4550");
  doc_->hexFileName = HexFile("pic18f4550_blink");
  ASSERT_EQ(Run(Pic18Command::kProgram), OperationOutcome::kSuccess);

  doc_->noVerify = 1;
  ASSERT_EQ(Run(Pic18Command::kVerify), OperationOutcome::kFailed);
  EXPECT_THAT(Log(), ElementsAre("", "*** Verifying PIC18F4550 ***",
                                 "Verifying Flash memory skipped", "Verifying EEPROM skipped",
                                 "Verifying ID-Location skipped", "Verifying Configuration skipped",
                                 "+++ Nothing was verified +++", "+++ Verification Failed +++"));
  ExpectFailedDisplay();

  // Every part off: nothing verified either.
  doc_->noVerify = 0;
  doc_->enableFlashUpdate = doc_->enableEepromUpdate = doc_->enableIdLocationUpdate =
      doc_->enableConfigurationUpdate = 0;
  ASSERT_EQ(Run(Pic18Command::kVerify), OperationOutcome::kFailed);
  EXPECT_THAT(Log(), Contains("+++ Nothing was verified +++"));
  ExpectFailedDisplay();

  prompt_.SetHexSaveChoice(HexSaveChoice{(dir_ / "read.hex").string(), false});
  ASSERT_EQ(Run(Pic18Command::kRead), OperationOutcome::kFailed);
  EXPECT_THAT(Log(), ElementsAre("", "*** Reading PIC18F4550 ***", "Reading Flash memory skipped",
                                 "Reading EEPROM skipped", "Reading ID-Location skipped",
                                 "Reading Configuration skipped", "+++ Reading Failed +++",
                                 "+++ No data saved: nothing was read +++"));
  ExpectFailedDisplay();
  EXPECT_FALSE(std::filesystem::exists(dir_ / "read.hex"));
}

// Wire bytes (both directions) of a clean run: to the end of the handshake, to the reply of the
// device ID read, to the last reply (the first offset at which pulling the cable spares every
// read), and in all.
struct RunBytes {
  uint64_t handshake = 0;
  uint64_t identified = 0;
  uint64_t lastRead = 0;
  uint64_t total = 0;
};

class Pic18LostLinkTest : public Pic18EvidenceTest, public ::testing::WithParamInterface<bool> {
 protected:
  bool Mini() const { return GetParam(); }
  // A PIC18F4550 board holding the blink program.
  nlohmann::json Board() const { return Target("PIC18F4550", Mini(), HexFile("pic18f4550_blink")); }

  // Runs `command` with the cable pulled after `offset` bytes.
  OperationOutcome RunUnplugged(Pic18Command command, uint64_t offset) {
    nlohmann::json scenario = Board();
    scenario["faults"] = {{"unplugAfterBytes", offset}};
    ConfigureSimulator(scenario);
    return Run(command);
  }

  RunBytes Measure(Pic18Command command) {
    ConfigureSimulator(Board());
    EXPECT_EQ(Run(command), OperationOutcome::kSuccess) << ::testing::PrintToString(Log());
    RunBytes bytes;
    bool bitBang = false;
    bool handshakeDone = false;
    bool idRequested = false;
    bool readSeen = false;
    uint64_t sum = 0;
    const nlohmann::json transcript = Transcript();
    for (const auto& event : transcript["events"]) {
      const std::string op = event.value("op", "");
      const std::string call = event.value("call", "");
      if (op == "call" && call == "FT_SetBitMode" && event["args"][1] == 1) {
        bitBang = handshakeDone = true;  // the mini programmer has no handshake
        bytes.handshake = sum;
      }
      // Mini: identification ends where its read-back restores the bit-bang rate.
      if (op == "call" && call == "FT_SetBaudRate" && bitBang && readSeen &&
          bytes.identified == 0) {
        bytes.identified = sum;
      }
      if (op != "write" && op != "read") continue;
      const std::string text = event.value("bytes", "");
      const uint64_t count =
          event.contains("bytes") ? (text.size() + 1) / 3 : event.value("count", uint64_t{0});
      sum += count;
      if (op == "read") {
        readSeen = true;
        // A read that gets less than it asks for fails once the cable is pulled, even when
        // nothing more was on its way (the mini programmer's last read of a read-back).
        bytes.lastRead = sum + (count < event.value("requested", uint64_t{0}) ? 1 : 0);
      }
      if (bitBang) continue;
      // Full: the version text ends the handshake; the reply to the ID read identification.
      if (op == "read" && !handshakeDone && count >= 3) {
        handshakeDone = true;
        bytes.handshake = sum;
      }
      if (op == "write" && text.find("FE FF 3F") != std::string::npos) idRequested = true;
      if (op == "read" && idRequested && bytes.identified == 0) bytes.identified = sum;
    }
    bytes.total = sum;
    return bytes;
  }
};

TEST_P(Pic18LostLinkTest, LostDuringHandshakeOrIdentificationIsNamedAsALostConnection) {
  Start("PIC18F4550", Mini());
  doc_->hexFileName = HexFile("pic18f4550_blink");
  const RunBytes clean = Measure(Pic18Command::kVerify);
  ASSERT_GT(clean.identified, clean.handshake);

  // The mini programmer's stream is long; every seventh offset keeps the run short.
  const uint64_t step = Mini() ? 7 : 1;
  for (uint64_t offset = 0; offset < clean.identified; offset += step) {
    SCOPED_TRACE("unplugged after " + std::to_string(offset) + " bytes");
    const OperationOutcome outcome = RunUnplugged(Pic18Command::kVerify, offset);
    EXPECT_THAT(Log(), Not(Contains(HasSubstr("Cannot find PIC"))));
    for (const auto& record : prompt_.Records()) {
      EXPECT_THAT(record.text, Not(HasSubstr("check firmware")));
    }
    if (outcome == OperationOutcome::kNoProgrammer) {
      ASSERT_LT(offset, std::max<uint64_t>(clean.handshake, 1));
      continue;
    }
    ASSERT_EQ(outcome, OperationOutcome::kFailed);
    EXPECT_THAT(Log(), ElementsAre("", "+++ Connection to the programmer lost +++"));
    EXPECT_EQ(doc_->progressBar.State().caption, "Fail");
  }
  if (!Mini()) {
    // The handshake itself: the open fails with a message that says the connection went.
    EXPECT_EQ(RunUnplugged(Pic18Command::kVerify, clean.handshake - 1),
              OperationOutcome::kNoProgrammer);
    ASSERT_EQ(prompt_.Records().size(), 1u);
    EXPECT_EQ(prompt_.Records()[0].text,
              "Connection to the programmer lost...\nPlease check the USB connection and try "
              "again!");
  }
}

TEST_P(Pic18LostLinkTest, LostWhileLeavingAfterVerificationFailsAndSaysWhy) {
  Start("PIC18F4550", Mini());
  doc_->hexFileName = HexFile("pic18f4550_blink");
  const RunBytes clean = Measure(Pic18Command::kVerify);

  // After the last reply come only the bytes that leave programming mode.
  ASSERT_LT(clean.lastRead, clean.total);
  for (uint64_t offset = clean.lastRead; offset < clean.total; ++offset) {
    SCOPED_TRACE("unplugged after " + std::to_string(offset) + " of " +
                 std::to_string(clean.total) + " bytes");
    ASSERT_EQ(RunUnplugged(Pic18Command::kVerify, offset), OperationOutcome::kFailed);
    const auto log = Log();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3], "Configuration OK.");
    EXPECT_EQ(log[log.size() - 2],
              "+++ Connection lost while leaving programming mode: the data was verified, but "
              "the target may still be held in programming mode +++");
    EXPECT_EQ(log.back(), "+++ Verification Failed +++");
    ExpectFailedDisplay();
  }
  EXPECT_EQ(RunUnplugged(Pic18Command::kVerify, clean.total), OperationOutcome::kSuccess);

  // Update after its read-back, the same.
  const RunBytes update = Measure(Pic18Command::kUpdate);
  ASSERT_EQ(RunUnplugged(Pic18Command::kUpdate, update.total - 1), OperationOutcome::kFailed);
  EXPECT_THAT(Log(),
              ElementsAre("", "*** Update Program Memory ***", "Flash memory successfully updated.",
                          "+++ Connection lost while leaving programming mode: the data "
                          "was verified, but the target may still be held in "
                          "programming mode +++"));
  ExpectFailedDisplay();
}

std::string KindName(const ::testing::TestParamInfo<bool>& param) {
  return param.param ? "mini" : "full";
}

INSTANTIATE_TEST_SUITE_P(Kinds, Pic18LostLinkTest, ::testing::Values(false, true), KindName);

}  // namespace
}  // namespace velmora::testing
