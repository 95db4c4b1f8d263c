// The catalogue rows corrected against the makers' data, end to end: the data that the old rows
// skipped now reaches the chip and reads back, and a configuration bit that used to be masked
// away is programmed, read back and verified.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "families/pic18/config_pic18.h"
#include "families/pic18/pic18_fixture.h"
#include "memory/catalogue.h"

namespace velmora::testing {
namespace {

using ::testing::Contains;

class Pic18CatalogueRowsTest : public Pic18DocumentTest,
                               public ::testing::WithParamInterface<bool> {
 protected:
  bool Mini() const { return GetParam(); }

  // The target's memory `key` ("program", "eeprom") from `address` on, as packed hex pairs.
  std::string TargetBytes(const char* key, uint32_t address, uint32_t count) const {
    const std::string all = TargetState()[key];
    return address * 2 < all.size() ? all.substr(address * 2, count * 2) : "";
  }

  static std::string Packed(const int32_t* cells, uint32_t count) {
    static constexpr char kDigits[] = "0123456789ABCDEF";
    std::string text;
    for (uint32_t i = 0; i < count; ++i) {
      const uint8_t b = static_cast<uint8_t>(cells[i] & 0xFF);
      text += kDigits[b >> 4];
      text += kDigits[b & 0xF];
    }
    return text;
  }

  // Reads the target into a HEX file and loads it.
  std::unique_ptr<CMCUMemoryArchitecture> ReadBack() {
    const std::string path = (dir_ / "read.hex").string();
    prompt_.SetHexSaveChoice(HexSaveChoice{path, false});
    EXPECT_EQ(Run(Pic18Command::kRead), OperationOutcome::kSuccess)
        << ::testing::PrintToString(Log());
    return LoadImage(path);
  }
};

TEST_P(Pic18CatalogueRowsTest, CodeAtTheTopOfThePic18F6621ReachesTheChip) {
  Start("PIC18F6621", Mini());
  CMCUMemoryArchitecture image;
  image.Clear();
  for (uint32_t a = 0; a < 0x40; ++a) image.programMemory[a] = PatternByte(a);
  for (uint32_t a = 0xF000; a < 0xF040; ++a) image.programMemory[a] = PatternByte(a);
  doc_->hexFileName = SaveImage(image, "top.hex", 65536, 1024);

  ASSERT_EQ(Run(Pic18Command::kProgram), OperationOutcome::kSuccess)
      << ::testing::PrintToString(Log());
  EXPECT_EQ(doc_->programmer->fileImage.programSize, 65536);
  EXPECT_EQ(TargetBytes("program", 0xF000, 0x40), Packed(image.programMemory + 0xF000, 0x40));

  const auto read = ReadBack();
  for (uint32_t a = 0xF000; a < 0xF040; ++a) {
    ASSERT_EQ(read->programMemory[a], image.programMemory[a]) << std::hex << a;
  }
  ASSERT_EQ(Run(Pic18Command::kVerify), OperationOutcome::kSuccess);
}

TEST_P(Pic18CatalogueRowsTest, EepromDataOfThePic18F2221IsProgrammedAndReadBack) {
  Start("PIC18F2221", Mini());
  CMCUMemoryArchitecture image;
  image.Clear();
  for (uint32_t a = 0; a < 0x20; ++a) image.programMemory[a] = PatternByte(a);
  for (uint32_t a = 0; a < 256; ++a) image.eeprom[a] = PatternByte(a + 11);
  doc_->hexFileName = SaveImage(image, "eeprom.hex", 4096, 256);

  ASSERT_EQ(Run(Pic18Command::kProgram), OperationOutcome::kSuccess)
      << ::testing::PrintToString(Log());
  EXPECT_THAT(Log(), Contains("EEPROM successfully programmed."));
  EXPECT_EQ(TargetBytes("eeprom", 0, 256), Packed(image.eeprom, 256));

  const auto read = ReadBack();
  for (uint32_t a = 0; a < 256; ++a) ASSERT_EQ(read->eeprom[a], image.eeprom[a]) << a;

  // An EEPROM byte the chip does not hold fails the Verify.
  image.eeprom[0x80] ^= 0x01;
  doc_->hexFileName = SaveImage(image, "eeprom-changed.hex", 4096, 256);
  ASSERT_EQ(Run(Pic18Command::kVerify), OperationOutcome::kFailed);
  EXPECT_THAT(Log(), Contains("Error found in EEPROM at address 0x0080"));
}

TEST_P(Pic18CatalogueRowsTest, BootBlockSizeOfThePic18F2580IsProgrammedReadAndVerified) {
  Start("PIC18F2580", Mini());
  CMCUMemoryArchitecture image;
  image.Clear();
  for (uint32_t a = 0; a < 0x20; ++a) image.programMemory[a] = PatternByte(a);
  doc_->hexFileName = SaveImage(image, "code.hex", 32768, 256);
  doc_->ignoreConfigFromFile = 1;
  constexpr uint8_t kBbsiz = 0x10;  // CONFIG4L bit 4

  for (const int size : {0, 1, 0}) {
    SCOPED_TRACE("BBSIZ " + std::to_string(size));
    doc_->optionSelections[PIC18BBSIZE] = size;
    ASSERT_EQ(Run(Pic18Command::kProgram), OperationOutcome::kSuccess)
        << ::testing::PrintToString(Log());
    const uint8_t config4l = FromHex(TargetState()["configuration"])[kConfig4L];
    EXPECT_EQ((config4l & kBbsiz) != 0, size == 1);

    // Read back into the options.
    doc_->optionSelections[PIC18BBSIZE] = 1 - size;
    ASSERT_EQ(Run(Pic18Command::kReadConfiguration), OperationOutcome::kSuccess);
    EXPECT_EQ(doc_->optionSelections[PIC18BBSIZE], size);
    EXPECT_EQ((doc_->pic18Configuration[kConfig4L] & kBbsiz) != 0, size == 1);
  }

  // The chip holds BBSIZ 0; a file asking for 1 fails at CONFIG4L.
  doc_->optionSelections[PIC18BBSIZE] = 1;
  ASSERT_EQ(Run(Pic18Command::kVerify), OperationOutcome::kFailed);
  EXPECT_THAT(Log(), Contains("Error found in Configuration at address 0x06"));
}

std::string KindName(const ::testing::TestParamInfo<bool>& param) {
  return param.param ? "mini" : "full";
}

INSTANTIATE_TEST_SUITE_P(Kinds, Pic18CatalogueRowsTest, ::testing::Values(false, true), KindName);

}  // namespace
}  // namespace velmora::testing
