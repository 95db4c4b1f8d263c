// The ATmega primitives on the simulated programmer: the bytes each one puts on the wire.
#include <gtest/gtest.h>

#include <memory>

#include "families/avr/avr_device.h"
#include "link/pic_vortang.h"
#include "link/programmer_identity.h"
#include "memory/catalogue.h"
#include "support/sim_fixture.h"

namespace velmora::testing {
namespace {

class AvrPrimitivesTest : public SimFixture {
 protected:
  // Opens the full programmer on a simulated chip and enables serial programming.
  void Open(const std::string& device, nlohmann::json target = nlohmann::json::object()) {
    ConfigureSimulator({{"device", device}, {"target", target}});
    link_ = std::make_unique<CPICVortang>(prompt_, clock_, DriverLookup{{kSimulatorPath}});
    device_ = std::make_unique<CAvrDevice>(*link_);
    ASSERT_EQ(link_->Open(kProgrammerDescription, 0), 1);
    ASSERT_EQ(device_->EnterAtmega(false), 1);
    MarkTranscript();
  }
  std::vector<std::string> Writes() { return Bytes("write"); }

  VirtualClock clock_;
  ScriptedPrompt prompt_;
  std::unique_ptr<CPICVortang> link_;
  std::unique_ptr<CAvrDevice> device_;
};

TEST_F(AvrPrimitivesTest, IdentifyReadsTheSignatureAndHandsTheFirmwareTheAlgorithm) {
  Open("ATmega2560/V");
  EXPECT_EQ(device_->IdentifyAtmega(), 40);
  EXPECT_EQ(Writes(), (std::vector<std::string>{"30", "1F 06"}));
  EXPECT_STREQ(link_->fileImage.deviceName, "ATmega2560/V");
  EXPECT_EQ(link_->chipImage.configuration[0], 0x62);  // the row's factory fuses
}

TEST_F(AvrPrimitivesTest, ABlankSignatureTakesTheDefaultSignature) {
  struct Case {
    std::string text;
    const char* name;
  };
  for (const Case& c : {Case{"1E9502", "ATmega32"}, Case{"1E950", "Unknown Device"}}) {
    Open("ATmega8", {{"signature", "FF FF FF"}});
    device_->askForSignature = 1;
    prompt_.SetSignatureBytesEntry(SignatureBytesEntry{c.text, false});
    device_->IdentifyAtmega();
    EXPECT_STREQ(link_->fileImage.deviceName, c.name) << c.text;
    EXPECT_EQ(prompt_.SignatureRequests().size(), 1u);
    prompt_.ClearRecords();
  }
}

TEST_F(AvrPrimitivesTest, APageStartingAtAnOddByteIsPolledWithTheHighByteRead) {
  Open("ATmega8");
  device_->IdentifyAtmega();
  link_->fileImage.programMemory[1] = 0x55;
  MarkTranscript();
  ASSERT_EQ(device_->WriteFlashPages(), 1);
  ASSERT_EQ(Writes().size(), 1u);
  std::string expected = "2F 20 FF 55";
  for (int i = 2; i < 64; ++i) expected += " FF";
  EXPECT_EQ(Writes()[0], expected + " 00 00 28");
}

TEST_F(AvrPrimitivesTest, PagesAbove64KCarryTheWholeWordAddress) {
  Open("ATmega1280/V");
  device_->IdentifyAtmega();
  link_->fileImage.programMemory[0x1E000] = 0x12;
  MarkTranscript();
  ASSERT_EQ(device_->WriteFlashPages(), 1);
  const std::string page = Writes().at(0);
  EXPECT_EQ(page.substr(page.size() - 8), "F0 00 20");  // word 0xF000, not 0x7000
  EXPECT_EQ(FromHex(TargetState()["flash"])[0x1E000], 0x12);
}

TEST_F(AvrPrimitivesTest, ReadFlashRangeRoundsToWords) {
  Open("ATmega8");
  device_->IdentifyAtmega();
  MarkTranscript();
  ASSERT_EQ(device_->ReadFlashRange(1, 6), 1);
  EXPECT_EQ(Writes(), (std::vector<std::string>{"31 00 00 00 03 00 00"}));
  EXPECT_EQ(Events("read").at(0)["requested"], 6);
}

TEST_F(AvrPrimitivesTest, EepromCellsAreCodedBlankOrData) {
  Open("ATmega8");
  device_->IdentifyAtmega();
  link_->fileImage.eepromSize = 4;
  link_->fileImage.eeprom[0] = 0x12;
  link_->fileImage.eeprom[3] = 0x34;
  MarkTranscript();
  ASSERT_EQ(device_->WriteEepromAtmega(), 1);
  EXPECT_EQ(Writes(), (std::vector<std::string>{"35 00 00 04 00", "00 12 01 01 00 34"}));
  const std::vector<uint8_t> eeprom = FromHex(TargetState()["eeprom"]);
  EXPECT_EQ(eeprom[0], 0x12);
  EXPECT_EQ(eeprom[3], 0x34);
}

TEST_F(AvrPrimitivesTest, TwoFuseBytePartsKeepTheFilesExtendedValue) {
  Open("ATtiny13(V)");
  device_->IdentifyAtmega();
  link_->fileImage.configuration[2] = 0xAB;
  MarkTranscript();
  ASSERT_EQ(device_->ReadFuses(), 1);
  EXPECT_EQ(Writes(),
            (std::vector<std::string>{"33 50 00 00 00 33 58 08 00 00", "33 58 00 00 FF"}));
  EXPECT_EQ(link_->chipImage.configuration[0], 0x6A);
  EXPECT_EQ(link_->chipImage.configuration[2], 0xAB);
}

}  // namespace
}  // namespace velmora::testing
