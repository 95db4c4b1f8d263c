// Both programmer kinds write whole images into simulated PIC18s, read them back and compare.
#include <gtest/gtest.h>

#include "devices/pic18_fixture.h"

namespace velmora::testing {
namespace {

struct RoundTripCase {
  Kind kind;
  const char* device;
};

std::string CaseName(const ::testing::TestParamInfo<RoundTripCase>& info) {
  std::string name = std::string(KindName(info.param.kind)) + "_" + info.param.device;
  return name;
}

class Pic18RoundTrip : public Pic18Test, public ::testing::WithParamInterface<RoundTripCase> {};

TEST_P(Pic18RoundTrip, WritesReadsBackAndComparesEqual) {
  const RoundTripCase& c = GetParam();
  Start(c.kind, c.device);
  CPICVortang& link = Link();
  ASSERT_NE(link.IdentifyPic18(), 0);
  ASSERT_STREQ(link.fileImage.deviceName, c.device);
  FillFileImage();

  EXPECT_EQ(link.BulkErase(), 1);
  EXPECT_EQ(link.WriteProgramMemory(), 1);
  EXPECT_EQ(link.WriteEeprom(), 1);
  EXPECT_EQ(link.WriteIdLocations(), 1);
  EXPECT_EQ(link.WriteConfiguration(), 1);
  link.chipImage.Clear();
  EXPECT_EQ(link.ReadProgramRange(-1, -1), 1);
  EXPECT_EQ(link.ReadEeprom(), 1);
  EXPECT_EQ(link.ReadIdLocations(), 1);
  EXPECT_EQ(link.ReadConfiguration(), 1);
  Finish();

  EXPECT_EQ(link.FindProgramMismatch(), -1);
  EXPECT_EQ(link.FindEepromMismatch(), -1);
  EXPECT_EQ(link.FindConfigMismatch(), -1);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(link.chipImage.idLocations[i], 0xA0 + i);

  // The target itself holds the image, not only the read-back.
  const TargetMemory target = Target();
  const CMCUMemoryArchitecture& file = link.fileImage;
  ASSERT_EQ(target.program.size(), size_t(file.programSize));
  for (int32_t a = 0; a < file.programSize; ++a) {
    ASSERT_EQ(target.program[a], file.programMemory[a] & 0xFF) << "address " << a;
  }
  for (int32_t a = 0; a < file.eepromSize; ++a) {
    ASSERT_EQ(target.eeprom[a], file.eeprom[a]) << "EEPROM " << a;
  }
}

INSTANTIATE_TEST_SUITE_P(Devices, Pic18RoundTrip,
                         ::testing::Values(RoundTripCase{Kind::kFull, "PIC18F452"},
                                           RoundTripCase{Kind::kFull, "PIC18F8720"},
                                           RoundTripCase{Kind::kFull, "PIC18F4550"},
                                           RoundTripCase{Kind::kFull, "PIC18F8722"},
                                           RoundTripCase{Kind::kMini, "PIC18F452"},
                                           RoundTripCase{Kind::kMini, "PIC18F8720"},
                                           RoundTripCase{Kind::kMini, "PIC18F4550"},
                                           RoundTripCase{Kind::kMini, "PIC18F8722"}),
                         CaseName);

}  // namespace
}  // namespace velmora::testing
