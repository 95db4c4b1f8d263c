// Both programmer kinds write whole images into simulated PIC18s, read them back and compare.
#include <gtest/gtest.h>

#include "families/pic18/pic18_fixture.h"

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
  CPic18Device& device = Device();
  ASSERT_NE(device.IdentifyPic18(), 0);
  ASSERT_STREQ(link.fileImage.deviceName, c.device);
  FillFileImage();

  EXPECT_EQ(device.BulkErase(), 1);
  EXPECT_EQ(device.WriteProgramMemory(), 1);
  EXPECT_EQ(device.WriteEeprom(), 1);
  EXPECT_EQ(device.WriteIdLocations(), 1);
  EXPECT_EQ(device.WriteConfiguration(), 1);
  link.chipImage.Clear();
  EXPECT_EQ(device.ReadProgramRange(-1, -1), 1);
  EXPECT_EQ(device.ReadEeprom(), 1);
  EXPECT_EQ(device.ReadIdLocations(), 1);
  EXPECT_EQ(device.ReadConfiguration(), 1);
  Finish();

  EXPECT_EQ(device.FindProgramMismatch(), -1);
  EXPECT_EQ(device.FindEepromMismatch(), -1);
  EXPECT_EQ(device.FindConfigMismatch(), -1);
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
