#include "memory/memory_image.h"

#include <gtest/gtest.h>

#include <memory>

namespace velmora {
namespace {

struct MemoryImageTest : ::testing::Test {
  void SetUp() override { image->Clear(); }
  std::unique_ptr<CMCUMemoryArchitecture> image = std::make_unique<CMCUMemoryArchitecture>();
};

TEST_F(MemoryImageTest, FreshImageDescribesUnknownDevice) {
  CMCUMemoryArchitecture fresh;
  EXPECT_STREQ(fresh.deviceName, "Unknown Device");
  EXPECT_STREQ(fresh.deviceRemark, "");
  EXPECT_EQ(fresh.deviceIndex, 0);
  EXPECT_EQ(fresh.blockSize, 0);
  EXPECT_EQ(fresh.writeBufferSize, 8);
  EXPECT_EQ(fresh.eraseBlockSize, 64);
  EXPECT_EQ(fresh.deviceId[0], 0xFF);
  EXPECT_EQ(fresh.deviceId[1], 0xFF);
  for (uint8_t m : fresh.readMask) EXPECT_EQ(m, 0xFF);
}

TEST_F(MemoryImageTest, EveryWindowMapsItsFirstAndLastAddressAndNothingAround) {
  for (const MemoryWindow& w : window::kAll) {
    const uint32_t last = w.firstAddress + w.cellCount - 1;
    EXPECT_EQ(image->SetCell(w.firstAddress, 0x11), 0) << std::hex << w.firstAddress;
    EXPECT_EQ(image->SetCell(last, 0x22), 0) << std::hex << last;
    EXPECT_EQ(image->GetCell(w.firstAddress), 0x11);
    EXPECT_EQ(image->GetCell(last), 0x22);
    EXPECT_EQ(image->GetCell(last + 1), kNoCell) << std::hex << last + 1;
    if (w.firstAddress > 0) {
      EXPECT_EQ(image->GetCell(w.firstAddress - 1), kNoCell);
    }
  }
  // Windows hand out distinct cells.
  EXPECT_EQ(image->programMemory[0], 0x11);
  EXPECT_EQ(image->configuration[13], 0x22);
  EXPECT_EQ(image->programFlash[1048575], 0x22);
  EXPECT_EQ(image->GetCell(0x30000E), kNoCell);
  EXPECT_EQ(image->SetCell(0x30000E, 5), kNoCell);
  EXPECT_EQ(image->GetCell(0xFFFFFFFF), kNoCell);
}

TEST_F(MemoryImageTest, SetCellKeepsLowByteAndBlankValue) {
  EXPECT_EQ(image->GetCell(0x1234), kBlankCell);
  image->SetCell(0x1234, 0x1A5);
  EXPECT_EQ(image->GetCell(0x1234), 0xA5);
  image->SetCell(0x1234, -1);
  EXPECT_EQ(image->GetCell(0x1234), kBlankCell);
  image->SetCell(0x1234, -3);  // any other negative value is taken as a byte
  EXPECT_EQ(image->GetCell(0x1234), 0xFD);
}

TEST_F(MemoryImageTest, MaskedReadsFollowLaneMasks) {
  EXPECT_EQ(image->ReadMaskedByte(0x11), 0xFF);
  const uint8_t masks[4] = {0xFF, 0x3F, 0xFF, 0x3F};
  std::copy(std::begin(masks), std::end(masks), image->readMask);
  EXPECT_EQ(image->ReadMaskedByte(0x11), 0x3F);  // blank, odd address
  EXPECT_EQ(image->ReadMaskedByteOrZero(0x11), 0x3F);
  image->SetCell(0x13, 0xC5);
  EXPECT_EQ(image->ReadMaskedByte(0x13), 0x05);
  EXPECT_EQ(image->ReadMaskedByteOrZero(0x13), 0x05);
  // 0x400001: no window.
  EXPECT_EQ(image->ReadMaskedByteOrZero(0x400001), 0);
  EXPECT_EQ(image->ReadMaskedByte(0x400001), 0x3F);
}

TEST_F(MemoryImageTest, ClearKeepsDescriptorAndCopyFromTakesEverything) {
  image->SetCell(0xF00010, 7);
  image->dataMemory[100] = 9;
  image->deviceName = "PIC18F4550";
  image->blockSize = 32768;
  image->deviceId[2] = 0x42;
  image->readMask[1] = 0x3F;

  auto copy = std::make_unique<CMCUMemoryArchitecture>();
  copy->Clear();
  copy->CopyFrom(*image);
  EXPECT_EQ(copy->GetCell(0xF00010), 7);
  EXPECT_EQ(copy->dataMemory[100], 9);
  EXPECT_STREQ(copy->deviceName, "PIC18F4550");
  EXPECT_EQ(copy->blockSize, 32768);
  EXPECT_EQ(copy->deviceId[2], 0x42);
  EXPECT_EQ(copy->readMask[1], 0x3F);

  image->Clear();
  EXPECT_EQ(image->GetCell(0xF00010), kBlankCell);
  EXPECT_EQ(image->dataMemory[100], kBlankCell);
  EXPECT_STREQ(image->deviceName, "PIC18F4550");
  EXPECT_EQ(image->blockSize, 32768);
}

}  // namespace
}  // namespace velmora
