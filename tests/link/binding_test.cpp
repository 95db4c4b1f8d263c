// Driver binding, Open, Close, the firmware handshake and the busy test.
#include <gmock/gmock.h>

#include "link/link_fixture.h"

namespace velmora::testing {
namespace {

using ::testing::ElementsAre;
using ::testing::IsEmpty;

constexpr char kInstallationMessage[] =
    "Failed to load FTDI library...\nVelmora cannot be executed without preinstalled drivers "
    "for FT232 USB controller.\n\nYou can download FT232 drivers from www.ftdichip.com website.";

TEST(DriverLibraryCandidates, UserPathThenEnvironmentThenVendorThenOwnLibrary) {
  EXPECT_THAT(DriverLibraryCandidates("/opt/x.so", "/env/y.so", "/app/bin"),
              ElementsAre("/opt/x.so", "/env/y.so", "libftd2xx.so", "/app/bin/libvelmora-d2xx.so",
                          "libvelmora-d2xx.so"));
  EXPECT_THAT(DriverLibraryCandidates("", nullptr, ""),
              ElementsAre("libftd2xx.so", "libvelmora-d2xx.so"));
  EXPECT_THAT(DriverLibraryCandidates("", "", "/app"),
              ElementsAre("libftd2xx.so", "/app/libvelmora-d2xx.so", "libvelmora-d2xx.so"));
}

TEST(Binding, WithoutLibraryEveryOpenFailsWithTheInstallationMessage) {
  ScriptedPrompt prompt;
  VirtualClock clock;
  CPICVortang link(prompt, clock, DriverLookup{{"/nonexistent/libnone.so"}});
  ASSERT_EQ(prompt.Records().size(), 1u);
  EXPECT_EQ(prompt.Records()[0].text, kInstallationMessage);
  EXPECT_EQ(prompt.Records()[0].caption, "Installation error...");
  EXPECT_EQ(prompt.Records()[0].style, mb::kOk);
  EXPECT_FALSE(link.DriverBound());

  for (int mini : {0, 1}) {
    prompt.ClearRecords();
    EXPECT_EQ(link.Open(kProgrammerDescription, mini), 0);
    ASSERT_EQ(prompt.Records().size(), 1u);
    EXPECT_EQ(prompt.Records()[0].text, "Please install FT232 USB driver.");
    EXPECT_EQ(prompt.Records()[0].caption, "Installation error");
    EXPECT_EQ(prompt.Records()[0].style, mb::kErrorAlert);
    EXPECT_EQ(link.statusText, "Firmware: USB driver not installed. Cannot communicate.");
    EXPECT_EQ(link.ftHandle.load(), nullptr);
    EXPECT_EQ(link.Close(), 1);
  }
}

TEST(Binding, MissingEntryPointShowsErrorAndOpenNeverCallsTheDriver) {
  const std::string path = VELMORA_BINARY_DIR "/bin/libvelmora-test-partial-d2xx.so";
  ScriptedPrompt prompt;
  VirtualClock clock;
  CPICVortang link(prompt, clock, DriverLookup{{path}});
  ASSERT_EQ(prompt.Records().size(), 1u);
  EXPECT_EQ(prompt.Records()[0].text, "Error");
  EXPECT_EQ(prompt.Records()[0].caption, "Error...");
  // Resolution stops at the first missing name (FT_Purge).
  EXPECT_NE(link.ft.FT_OpenEx, nullptr);
  EXPECT_EQ(link.ft.FT_Purge, nullptr);
  EXPECT_EQ(link.ft.FT_Write, nullptr);

  EXPECT_EQ(link.Open(kProgrammerDescription, 0), 0);
  EXPECT_EQ(link.statusText, "Firmware: USB driver not installed. Cannot communicate.");
  auto openCalls =
      reinterpret_cast<int (*)()>(link.driverLibrary.Symbol("PartialDriver_OpenCalls"));
  ASSERT_NE(openCalls, nullptr);
  EXPECT_EQ(openCalls(), 0);
}

class OpenTest : public LinkTest {};

TEST_F(OpenTest, FullProgrammerConfiguresThePortAndReadsTheVersion) {
  Configure({{"firmware", "Velmora V1.23 test"}});
  ASSERT_EQ(OpenFull(), 1);
  EXPECT_EQ(Link().firmwareMode, 1);
  EXPECT_EQ(Link().statusText, "Velmora V1.23 test");
  EXPECT_NE(Link().ftHandle.load(), nullptr);
  EXPECT_THAT(Calls(), ElementsAre("FT_ResetDevice()", "FT_SetLatencyTimer(1)",
                                   "FT_SetUSBParameters(65536,0)",
                                   "FT_SetDataCharacteristics(8,2,0)", "FT_SetBaudRate(1250000)",
                                   "FT_SetFlowControl(256,0,0)", "FT_SetRts()", "FT_ResetDevice()",
                                   "FT_SetTimeouts(1000,5000)", "FT_SetTimeouts(5000,5000)"));
  EXPECT_THAT(Bytes("write"), ElementsAre("20", "57"));
  const auto reads = Events("read");
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[0]["requested"], 1);
  EXPECT_EQ(reads[0]["bytes"], "12");  // 18 characters
  EXPECT_EQ(reads[1]["requested"], 18);
  EXPECT_THAT(Captions(), IsEmpty());

  EXPECT_EQ(Link().Close(), 1);
  EXPECT_EQ(Link().ftHandle.load(), nullptr);
  EXPECT_EQ(Calls().back(), "FT_SetBitMode(0,0)");
  EXPECT_EQ(Events("close").size(), 1u);
  EXPECT_FALSE(Transcript()["open"].get<bool>());
}

TEST_F(OpenTest, VersionLengthTwelveReadsExactlyTwelveBytes) {
  Configure({{"firmware", "ABCDEFGHIJKL"}});
  ASSERT_EQ(OpenFull(), 1);
  const auto reads = Events("read");
  ASSERT_EQ(reads.size(), 2u);
  EXPECT_EQ(reads[0]["bytes"], "0C");
  EXPECT_EQ(reads[1]["requested"], 12);
  EXPECT_EQ(reads[1]["bytes"], "41 42 43 44 45 46 47 48 49 4A 4B 4C");
  EXPECT_EQ(Link().statusText, "ABCDEFGHIJKL");
}

TEST_F(OpenTest, MiniProgrammerSetsBitBangAndWritesNothing) {
  Configure({{"programmer", "mini"}});
  Link().microsecondsPerSample = 0;
  ASSERT_EQ(OpenMini(), 1);
  EXPECT_EQ(Link().firmwareMode, 0);
  EXPECT_EQ(Link().microsecondsPerSample, 1);
  EXPECT_THAT(Calls(), ElementsAre("FT_ResetDevice()", "FT_SetLatencyTimer(1)",
                                   "FT_SetUSBParameters(65536,0)", "FT_SetBaudRate(62500)",
                                   "FT_SetBitMode(252,1)"));
  EXPECT_THAT(Events("write"), IsEmpty());
  EXPECT_THAT(Events("read"), IsEmpty());
}

TEST_F(OpenTest, FasterBitBangRateKeepsOneMicrosecondPerSample) {
  // 1,000,000 / (125000 x 16) would be 0 and divide the hold time by zero.
  Configure({{"programmer", "mini"}});
  Link().bitBangBaud = 125000;
  ASSERT_EQ(OpenMini(), 1);
  EXPECT_EQ(Link().microsecondsPerSample, 1);
  Link().ResetCursors();
  Link().QueueProgramHold();
  EXPECT_EQ(Link().sampleWriteCursor, 6u + 1001u + 11u + 32u);
}

TEST_F(OpenTest, NoProgrammerFailsWithoutAnyTransfer) {
  Configure({{"faults", {{"noProgrammer", true}}}});
  EXPECT_EQ(OpenFull(), 0);
  EXPECT_EQ(Link().statusText, "Firmware: No programmer found!");
  ASSERT_EQ(prompts().Records().size(), 1u);
  EXPECT_EQ(prompts().Records()[0].text,
            "Cannot open programmer...\nPlease check if programming device is connected "
            "properly!");
  EXPECT_EQ(prompts().Records()[0].caption, "Programmer Error");
  EXPECT_EQ(prompts().Records()[0].style, mb::kErrorAlert);
  EXPECT_EQ(Link().ftHandle.load(), nullptr);
  EXPECT_EQ(Link().Close(), 1);
  EXPECT_EQ(Link().ftHandle.load(), nullptr);
  EXPECT_THAT(Events("write"), IsEmpty());
  EXPECT_THAT(Calls(), IsEmpty());
}

TEST_F(OpenTest, WrongDescriptionFindsNoProgrammer) {
  Configure(nlohmann::json::object());
  EXPECT_EQ(Link().Open("Some Other FT232 Device", 0), 0);
  EXPECT_EQ(Link().statusText, "Firmware: No programmer found!");
}

TEST_F(OpenTest, FirmwareAnsweringZeroTwiceIsMissingAndClosesTheLink) {
  Configure({{"faults", {{"noFirmware", true}}}});
  EXPECT_EQ(OpenFull(), 0);
  EXPECT_EQ(Link().statusText, "Firmware is missing.");
  ASSERT_EQ(prompts().Records().size(), 1u);
  EXPECT_EQ(prompts().Records()[0].text, "Processor doesn't answer...\nPlease check firmware!");
  EXPECT_EQ(prompts().Records()[0].caption, "Programmer Error");
  EXPECT_EQ(prompts().Records()[0].style, mb::kErrorAlert);
  EXPECT_THAT(Bytes("write"), ElementsAre("20", "20"));
  EXPECT_THAT(Bytes("read"), ElementsAre("00", "00"));
  EXPECT_EQ(Link().ftHandle.load(), nullptr);
  EXPECT_FALSE(Transcript()["open"].get<bool>());
}

TEST_F(OpenTest, ProbeWithoutAnswerWaitsOneSecondPerAttempt) {
  Configure({{"faults", {{"replyNeverComes", {"0x20"}}}}});
  EXPECT_EQ(OpenFull(), 0);
  EXPECT_EQ(Link().statusText, "Firmware is missing.");
  EXPECT_THAT(Bytes("write"), ElementsAre("20", "20"));
  const auto transcript = Transcript();
  EXPECT_EQ(transcript["waitMicros"].get<double>(), 2 * 1000 * 1000.0);
  EXPECT_EQ(transcript["foreverWaits"], 0);
  EXPECT_FALSE(transcript["open"].get<bool>());
}

TEST_F(OpenTest, VersionTextThatNeverComesFailsTheOpen) {
  // Without the bounded wait this read would never return; with it the link counts as lost.
  Configure({{"faults", {{"replyNeverComes", {"0x57"}}}}});
  EXPECT_EQ(OpenFull(), 0);
  EXPECT_TRUE(Link().linkLost);
  EXPECT_EQ(Link().statusText, "Firmware: Connection to the programmer lost!");
  ASSERT_EQ(prompts().Records().size(), 1u);
  EXPECT_EQ(prompts().Records()[0].text,
            "Connection to the programmer lost...\nPlease check the USB connection and try again!");
  EXPECT_EQ(Link().ftHandle.load(), nullptr);
  EXPECT_EQ(Transcript()["waitMicros"].get<double>(), 5000 * 1000.0);
}

TEST_F(OpenTest, IsBusyOnlyWhileTheLinkIsOpen) {
  Configure(nlohmann::json::object());
  EXPECT_EQ(Link().IsBusy(), 0);
  EXPECT_THAT(Captions(), IsEmpty());
  ASSERT_EQ(OpenFull(), 1);
  EXPECT_EQ(Link().IsBusy(), 1);
  ASSERT_EQ(prompts().Records().size(), 1u);
  EXPECT_EQ(prompts().Records()[0].text, "Programmer is busy...\nCannot continue!");
  EXPECT_EQ(prompts().Records()[0].caption, "Programmer Info");
  EXPECT_EQ(prompts().Records()[0].style, mb::kInfoAlert);
  EXPECT_FALSE(Link().busyMessageShowing.load());
  Link().Close();
  EXPECT_EQ(Link().IsBusy(), 0);
}

TEST_F(OpenTest, ConstructorBlanksFileAndChipImages) {
  Configure(nlohmann::json::object());
  EXPECT_EQ(Link().fileImage.GetCell(0), kBlankCell);
  EXPECT_EQ(Link().chipImage.GetCell(0x300000), kBlankCell);
  EXPECT_EQ(Link().programHoldMicroseconds, 1000);
  EXPECT_EQ(Link().readBackBaud, 20833);
  EXPECT_EQ(Link().bitBangBaud, 62500);
  EXPECT_EQ(Link().pinsReleased, 0x8C);
  EXPECT_EQ(Link().powerSwitchingMode, 0);
  EXPECT_EQ(Link().driverLibraryName, kSimulatorPath);
}

}  // namespace
}  // namespace velmora::testing
