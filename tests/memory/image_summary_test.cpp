#include "memory/image_summary.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <string_view>
#include <vector>

namespace velmora {
namespace {

// Bit by bit, as the polynomial is defined.
uint16_t BitwiseCrc(const std::vector<uint8_t>& bytes) {
  uint16_t crc = 0xFFFF;
  for (uint8_t byte : bytes) {
    crc ^= static_cast<uint16_t>(byte << 8);
    for (int bit = 0; bit < 8; ++bit) {
      crc = static_cast<uint16_t>(crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1);
    }
  }
  return crc;
}

TEST(Crc16CcittFalse, MatchesTheCheckValueAndTheBitwiseDefinition) {
  constexpr std::string_view check = "123456789";
  const std::vector<uint8_t> checkBytes(check.begin(), check.end());
  EXPECT_EQ(Crc16CcittFalse(checkBytes), 0x29B1);
  EXPECT_EQ(Crc16CcittFalse({}), 0xFFFF);

  std::mt19937 random(7);
  for (size_t length = 1; length < 40; ++length) {
    std::vector<uint8_t> bytes(length);
    for (auto& b : bytes) b = static_cast<uint8_t>(random());
    EXPECT_EQ(Crc16CcittFalse(bytes), BitwiseCrc(bytes)) << "length " << length;
    // Continuing from a split gives the same result.
    const size_t half = length / 2;
    const uint16_t first = Crc16CcittFalse({bytes.data(), half});
    EXPECT_EQ(Crc16CcittFalse({bytes.data() + half, length - half}, first), BitwiseCrc(bytes));
  }
}

TEST(SummarizeImage, ListsRunsCountsAndChecksumsPerWindowInAddressOrder) {
  auto image = std::make_unique<CMCUMemoryArchitecture>();
  image->Clear();
  // "123456789" split over two runs of program memory, with a gap and a run reaching a
  // multiple of eight so that the fast blank skipping meets both ends.
  const std::string_view digits = "123456789";
  for (uint32_t i = 0; i < 4; ++i) image->SetCell(0x0E + i, digits[i]);
  for (uint32_t i = 4; i < 9; ++i) image->SetCell(0x100 + i, digits[i]);
  image->SetCell(0x1FC02FFF, 0x00);  // last cell of the boot flash
  image->SetCell(0x1D000000, 0xFF);  // first cell of the program flash
  image->SetCell(0x30000D, 0x7F);

  const auto summaries = SummarizeImage(*image);
  ASSERT_EQ(summaries.size(), 4u);
  EXPECT_STREQ(summaries[0].name, "program memory");
  ASSERT_EQ(summaries[0].ranges.size(), 2u);
  EXPECT_EQ(summaries[0].ranges[0].first, 0x0Eu);
  EXPECT_EQ(summaries[0].ranges[0].last, 0x11u);
  EXPECT_EQ(summaries[0].ranges[1].first, 0x104u);
  EXPECT_EQ(summaries[0].ranges[1].last, 0x108u);
  EXPECT_EQ(summaries[0].byteCount, 9u);
  EXPECT_EQ(summaries[0].byteSum, 477u);  // '1' + ... + '9'
  EXPECT_EQ(summaries[0].crc, 0x29B1);

  EXPECT_STREQ(summaries[1].name, "configuration");
  EXPECT_EQ(summaries[1].byteCount, 1u);
  EXPECT_EQ(summaries[1].ranges[0].first, 0x30000Du);
  EXPECT_STREQ(summaries[2].name, "program flash");
  EXPECT_EQ(summaries[2].byteSum, 0xFFu);
  EXPECT_STREQ(summaries[3].name, "boot flash");
  EXPECT_EQ(summaries[3].ranges[0].last, 0x1FC02FFFu);
}

TEST(SummarizeImage, FullWindowIsOneRange) {
  auto image = std::make_unique<CMCUMemoryArchitecture>();
  image->Clear();
  std::vector<uint8_t> bytes(window::kEeprom.cellCount);
  for (uint32_t i = 0; i < bytes.size(); ++i) {
    bytes[i] = static_cast<uint8_t>(i * 7);
    image->eeprom[i] = bytes[i];
  }
  const auto summaries = SummarizeImage(*image);
  ASSERT_EQ(summaries.size(), 1u);
  ASSERT_EQ(summaries[0].ranges.size(), 1u);
  EXPECT_EQ(summaries[0].ranges[0].first, 0xF00000u);
  EXPECT_EQ(summaries[0].ranges[0].last, 0xF0FFFFu);
  EXPECT_EQ(summaries[0].crc, BitwiseCrc(bytes));
}

}  // namespace
}  // namespace velmora
