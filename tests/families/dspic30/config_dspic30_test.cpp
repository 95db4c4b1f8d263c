// The dsPIC30 configuration options in both directions, for every offered option of every
// catalogued dsPIC30 device, and their bits against the catalogue's implemented-bit masks.
#include "families/dspic30/config_dspic30.h"

#include <gmock/gmock.h>

#include <algorithm>

#include "engine/document_settings.h"
#include "memory/catalogue.h"

namespace velmora {
namespace {

std::array<int32_t, kOptionCount> AllOnes() {
  std::array<int32_t, kOptionCount> selections;
  selections.fill(1);
  return selections;
}

TEST(DsPic30Configuration, EveryOfferedOptionDecodesToWhatWasEncoded) {
  for (int row = 1; row <= kDsPic30DeviceRows; ++row) {
    SCOPED_TRACE(kDsPic30Devices[row].name);
    const std::vector<DsPic30Field> fields = DsPic30Fields(row);
    ASSERT_GE(fields.size(), 15u);
    for (const DsPic30Field& field : fields) {
      for (int32_t value = 0; value < (1 << field.width); ++value) {
        std::array<int32_t, kOptionCount> selections = AllOnes();
        selections[field.option] = value;
        const DsPic30ConfigWords words = EncodeDspic30Words(row, selections);
        std::array<int32_t, kOptionCount> decoded;
        decoded.fill(-1);
        DecodeDspic30Words(row, words, decoded);
        ASSERT_EQ(decoded[field.option], value) << kOptionNames[field.option];
        for (const DsPic30Field& other : fields) {
          if (other.option != field.option) {
            ASSERT_EQ(decoded[other.option], 1);
          }
        }
      }
    }
  }
}

// Every field lies inside its register's implemented bits, no two fields share a bit, and the
// encoding never sets a bit the device does not implement.
TEST(DsPic30Configuration, FieldsStayInsideTheImplementedBits) {
  for (int row = 1; row <= kDsPic30DeviceRows; ++row) {
    SCOPED_TRACE(kDsPic30Devices[row].name);
    const DsPic30ConfigWords masks = DsPic30ConfigMasks(row);
    DsPic30ConfigWords used{};
    for (const DsPic30Field& field : DsPic30Fields(row)) {
      const auto bits = static_cast<uint16_t>(((1u << field.width) - 1) << field.shift);
      EXPECT_EQ(bits & ~masks[field.reg], 0) << kOptionNames[field.option];
      EXPECT_EQ(bits & used[field.reg], 0) << kOptionNames[field.option];
      used[field.reg] |= bits;
    }
    std::array<int32_t, kOptionCount> zeros{};
    const DsPic30ConfigWords words = EncodeDspic30Words(row, zeros);
    for (size_t reg = 0; reg < words.size(); ++reg) {
      EXPECT_EQ(words[reg] & ~masks[reg], 0) << reg;
      // Implemented bits no option offers stay unprogrammed (1).
      EXPECT_EQ(words[reg] & (masks[reg] & ~used[reg]), masks[reg] & ~used[reg]) << reg;
    }
  }
}

// Settings against the register layouts: FPR in FOSC bits 3..0 (4..0 where implemented), FOS in
// bits 9..8 (10..8), FCKSM in 15..14; FWDTEN FWDT bit 15; BORV FBORPOR bits 5..4, MCLREN bit 15;
// GCP FGS bit 1, GWRP bit 0; BKBUG FICD bit 15, ICS bits 1..0. The motor-control polarity bits
// exist only where the catalogue implements them (the dsPIC30F6010 has HPOL but neither PWMPIN
// nor LPOL).
TEST(DsPic30Configuration, BitsOfSomeSettings) {
  const int f4013 = 13;
  const int f6010 = 18;
  ASSERT_STREQ(kDsPic30Devices[f4013].name, "dsPIC30F4013");
  ASSERT_STREQ(kDsPic30Devices[f6010].name, "dsPIC30F6010");
  std::array<int32_t, kOptionCount> s{};
  s[DSPIC30FPR] = 0x15;
  s[DSPIC30FOS] = 5;
  s[DSPIC30FCKSM] = 2;
  s[DSPIC30FWDTEN] = 1;
  s[DSPIC30BORV] = 2;
  s[DSPIC30MCLREN] = 1;
  s[DSPIC30GCP] = 1;
  s[DSPIC30GWRP] = 0;
  s[DSPIC30BKBUG] = 1;
  s[DSPIC30ICS] = 3;
  const DsPic30ConfigWords w = EncodeDspic30Words(f4013, s);
  EXPECT_EQ(w[0], 0x8515);
  EXPECT_EQ(w[1] & 0x8000, 0x8000);
  EXPECT_EQ(w[2] & 0x80B0, 0x8020);
  EXPECT_EQ(w[5], 0x0002);
  EXPECT_EQ(w[6], 0x8003);
  const DsPic30ConfigWords w6010 = EncodeDspic30Words(f6010, s);
  EXPECT_EQ(w6010[0], 0x8105);  // FPR and FOS cut to the 6010's 4 and 2 bits
  std::vector<int> options;
  for (const DsPic30Field& field : DsPic30Fields(f6010)) options.push_back(field.option);
  EXPECT_THAT(options, ::testing::Contains(DSPIC30HPOL));
  EXPECT_THAT(options, ::testing::Not(::testing::Contains(DSPIC30PWMPIN)));
  EXPECT_THAT(options, ::testing::Not(::testing::Contains(DSPIC30LPOL)));
}

TEST(DsPic30Configuration, DefaultSelectionsLeaveTheCodeUnprotected) {
  for (int row = 1; row <= kDsPic30DeviceRows; ++row) {
    const DsPic30ConfigWords words = EncodeDspic30Words(row, AllOnes());
    EXPECT_EQ(words[5], DsPic30ConfigMasks(row)[5]) << kDsPic30Devices[row].name;
  }
  EXPECT_EQ(EncodeDspic30Words(0, AllOnes()), DsPic30ConfigWords{});
}

// A first start verifies and takes the configuration from the file; the other dsPIC30 flags keep
// their default 1.
TEST(DsPic30Configuration, FirstStartVerifiesAndProgramsTheFilesConfiguration) {
  const DocumentSettings settings;
  EXPECT_EQ(settings.optionSelections[DSPIC30NOVERIFY], 0);
  EXPECT_EQ(settings.optionSelections[DSPIC30FASTVERIFY], 0);
  EXPECT_EQ(settings.optionSelections[DSPIC30IGNORECONFIG], 0);
  EXPECT_EQ(settings.optionSelections[DSPIC30ERASEALWAYS], 1);
  EXPECT_EQ(settings.optionSelections[DSPIC30PROGRAMCONFIGURATION], 1);
}

}  // namespace
}  // namespace velmora
