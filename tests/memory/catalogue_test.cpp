#include "memory/catalogue.h"

#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace velmora {
namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

struct CatalogueTest : ::testing::Test {
  void SetUp() override { image->Clear(); }
  std::unique_ptr<CMCUMemoryArchitecture> image = std::make_unique<CMCUMemoryArchitecture>();
};

// ---- Self-check of every row of every table -----------------------------------------------------

TEST(CatalogueTables, RowZeroOfEveryTableIsTheUnknownDevicePlaceholder) {
  const Pic18Device& pic18 = kPic18Devices[0];
  EXPECT_STREQ(pic18.name, "Unknown Device");
  EXPECT_STREQ(pic18.remark, "");
  EXPECT_EQ(pic18.deviceId, 0);
  EXPECT_EQ(pic18.programSize, 0);
  EXPECT_EQ(pic18.panels, 1);
  EXPECT_EQ(pic18.eepromSize + pic18.ramSize, 0);
  EXPECT_EQ(pic18.algorithm, 1);
  EXPECT_EQ(pic18.eraseBlock, 0);
  EXPECT_EQ(pic18.writeBuffer, 0);
  for (uint8_t mask : pic18.configMasks) EXPECT_EQ(mask, 0);

  const DsPic30Device& dspic = kDsPic30Devices[0];
  EXPECT_STREQ(dspic.name, "Unknown Device");
  EXPECT_STREQ(dspic.remark, "");
  EXPECT_EQ(dspic.deviceId + dspic.programSize + dspic.eepromSize + dspic.ramSize, 0);
  EXPECT_EQ(dspic.panels, 1);
  for (uint8_t mask : dspic.configMasks) EXPECT_EQ(mask, 0);

  const AvrDevice& avr = kAvrDevices[0];
  EXPECT_STREQ(avr.name, "Unknown Device");
  EXPECT_STREQ(avr.remark, "");
  EXPECT_EQ(avr.programSize + avr.pageWords + avr.eepromSize + avr.ramSize + avr.algorithm, 0);
  for (const AvrFuseEntry& fuse : avr.fuses) {
    EXPECT_EQ(fuse.factory, 0x00);
    EXPECT_EQ(fuse.mask1, 0x00);
    EXPECT_EQ(fuse.mask2, 0xFF);
  }
  for (int32_t byte : avr.calibrationMap) EXPECT_EQ(byte, -1);

  const Tiny1xDevice& tiny = kTiny1xDevices[0];
  EXPECT_STREQ(tiny.name, "Unknown Device");
  EXPECT_EQ(tiny.programSize + tiny.blockSize + tiny.eepromSize + tiny.ramSize, 0);

  const Pic12Device& pic12 = kPic12Devices[0];
  EXPECT_STREQ(pic12.name, "Unknown Device");
  EXPECT_EQ(pic12.deviceId + pic12.programSize + pic12.eepromSize + pic12.ramSize, 0);
  EXPECT_EQ(pic12.blockSize, 1);
}

// Names must be unique across all families (case-insensitively, because selection by name falls
// back to a case-insensitive match); no table repeats a name.
TEST(CatalogueTables, DeviceNamesAreUniqueAcrossAllFamilies) {
  std::map<std::string, int> seen;
  auto count = [&](const char* name) {
    ASSERT_NE(name, nullptr);
    EXPECT_NE(std::string_view(name), "");
    EXPECT_NE(std::string_view(name), "Unknown Device");
    ++seen[Lower(name)];
  };
  for (int row = 1; row <= kPic18DeviceRows; ++row) count(kPic18Devices[row].name);
  for (int row = 1; row <= kDsPic30DeviceRows; ++row) count(kDsPic30Devices[row].name);
  for (int row = 1; row <= kAvrDeviceRows; ++row) count(kAvrDevices[row].name);
  for (int row = 1; row <= kTiny1xDeviceRows; ++row) count(kTiny1xDevices[row].name);
  for (int row = 1; row <= kPic12DeviceRows; ++row) count(kPic12Devices[row].name);
  for (const Pic10Type& type : kPic10Types) count(type.name);
  EXPECT_EQ(seen.size(), size_t{80 + 28 + 41 + 2 + 4 + 4});
  for (const auto& [name, times] : seen) EXPECT_EQ(times, 1) << name;
}

// The only repeated key is the PIC18 ID 0x1AE0 of PIC18F2480 (row 24) and PIC18F2580 (row 30).
TEST(CatalogueTables, OnlyPic18F2480AndPic18F2580ShareAnIdentificationKey) {
  std::map<int32_t, std::vector<int>> pic18Rows;
  for (int row = 1; row <= kPic18DeviceRows; ++row) {
    pic18Rows[kPic18Devices[row].deviceId].push_back(row);
  }
  for (const auto& [id, rows] : pic18Rows) {
    if (id == 0x1AE0) {
      EXPECT_EQ(rows, (std::vector<int>{24, 30}));
    } else {
      EXPECT_EQ(rows.size(), 1u) << std::hex << id;
    }
  }
  std::set<int32_t> dspicIds, pic12Ids;
  std::set<std::vector<uint8_t>> avrSignatures, tinySignatures;
  for (int row = 1; row <= kDsPic30DeviceRows; ++row) {
    dspicIds.insert(kDsPic30Devices[row].deviceId);
  }
  for (int row = 1; row <= kPic12DeviceRows; ++row) pic12Ids.insert(kPic12Devices[row].deviceId);
  for (int row = 1; row <= kAvrDeviceRows; ++row) {
    const uint8_t* s = kAvrDevices[row].signature;
    avrSignatures.insert({s[0], s[1], s[2]});
  }
  for (int row = 1; row <= kTiny1xDeviceRows; ++row) {
    const uint8_t* s = kTiny1xDevices[row].signature;
    tinySignatures.insert({s[0], s[1], s[2]});
  }
  EXPECT_EQ(dspicIds.size(), size_t{kDsPic30DeviceRows});
  EXPECT_EQ(pic12Ids.size(), size_t{kPic12DeviceRows});
  EXPECT_EQ(avrSignatures.size(), size_t{kAvrDeviceRows});
  EXPECT_EQ(tinySignatures.size(), size_t{kTiny1xDeviceRows});
}

TEST(CatalogueTables, EveryPic18RowHasConsistentSizesAndParameters) {
  const std::set<int32_t> writeBuffers{8, 16, 32, 64};
  const std::set<int32_t> algorithms{1, 2, 4};
  const std::set<std::string_view> remarks{"", "temporary", "See documentation!"};
  for (int row = 1; row <= kPic18DeviceRows; ++row) {
    const Pic18Device& d = kPic18Devices[row];
    SCOPED_TRACE(d.name);
    EXPECT_EQ(d.deviceId & 0x1F, 0) << "revision bits must be zero";
    EXPECT_GT(d.panels, 0);
    EXPECT_EQ(d.programSize % d.panels, 0);
    EXPECT_EQ(d.eraseBlock, 64);
    EXPECT_TRUE(writeBuffers.contains(d.writeBuffer)) << d.writeBuffer;
    // The panel-interleaved write splits each panel into whole write-buffer loads.
    EXPECT_EQ(d.programSize / d.panels % d.writeBuffer, 0);
    EXPECT_TRUE(algorithms.contains(d.algorithm)) << d.algorithm;
    EXPECT_TRUE(remarks.contains(d.remark)) << d.remark;
  }
}

// Four dsPIC30 parts hold 45056 words in three panels; their blockSize is the integer quotient
// 15018 (the dsPIC30 primitives use blockSize only as the "device identified" mark).
TEST(CatalogueTables, EveryDsPic30RowHasConsistentSizesAndParameters) {
  const std::set<std::string_view> unevenPanels{"dsPIC30F6011", "dsPIC30F6011A", "dsPIC30F6013",
                                                "dsPIC30F6013A"};
  for (int row = 1; row <= kDsPic30DeviceRows; ++row) {
    const DsPic30Device& d = kDsPic30Devices[row];
    SCOPED_TRACE(d.name);
    EXPECT_GE(d.panels, 1);
    EXPECT_LE(d.panels, 3);
    EXPECT_EQ(d.programSize % d.panels != 0, unevenPanels.contains(d.name));
    EXPECT_EQ(d.eraseBlock, 0);
    EXPECT_EQ(d.writeBuffer, 0);
    EXPECT_STREQ(d.remark, "");
  }
}

TEST(CatalogueTables, EveryAvrRowHasConsistentSizesAndParameters) {
  const std::set<int32_t> pageSizes{16, 32, 64, 128};
  const std::set<std::string_view> remarks{"", "PLL always off", "only 128k can be used"};
  for (int row = 1; row <= kAvrDeviceRows; ++row) {
    const AvrDevice& d = kAvrDevices[row];
    SCOPED_TRACE(d.name);
    EXPECT_EQ(d.signature[0], 0x1E) << "Atmel manufacturer code";
    EXPECT_TRUE(pageSizes.contains(d.pageWords));
    EXPECT_EQ(d.programSize % (2 * d.pageWords), 0);
    EXPECT_TRUE(d.algorithm == 5 || d.algorithm == 6);
    EXPECT_TRUE(remarks.contains(d.remark));
    // At least one clock source uses a calibration byte, and only bytes 0..3 exist.
    int used = 0;
    for (int32_t byte : d.calibrationMap) {
      EXPECT_GE(byte, -1);
      EXPECT_LE(byte, 3);
      used += byte >= 0;
    }
    EXPECT_GE(used, 1);
  }
  for (int row = 1; row <= kTiny1xDeviceRows; ++row) {
    EXPECT_EQ(kTiny1xDevices[row].blockSize, 1);
    EXPECT_EQ(kTiny1xDevices[row].ramSize, 32);
  }
  for (int row = 1; row <= kPic12DeviceRows; ++row) {
    EXPECT_EQ(kPic12Devices[row].deviceId & 0x1F, 0);
    EXPECT_EQ(kPic12Devices[row].blockSize, 1);
  }
}

// Exactly the rows marked "none" lack an extended fuse byte.
TEST(CatalogueTables, ExtendedFuseIsAbsentExactlyForTheOlderAtmegasAndTwoTinies) {
  const std::set<std::string_view> withoutExtended{
      "ATmega8", "ATmega8515", "ATmega8535", "ATmega16", "ATmega32", "ATtiny13(V)", "ATtiny26(L)"};
  for (int row = 1; row <= kAvrDeviceRows; ++row) {
    const AvrDevice& d = kAvrDevices[row];
    EXPECT_EQ(AvrHasExtendedFuse(d), !withoutExtended.contains(d.name)) << d.name;
  }
  EXPECT_FALSE(AvrHasExtendedFuse(kAvrDevices[0]));
}

// ---- Identification edge cases ------------------------------------------------------------------

struct IdentifyCase {
  const char* what;
  std::function<int(CMCUMemoryArchitecture&)> identify;
  int row;
  const char* name;
  int32_t blockSize;
};

const IdentifyCase kIdentifyCases[] = {
    {"PIC18 revision bits are masked off",
     [](auto& image) { return LookupPic18Device(image, 0x07, 0x04); }, 3, "PIC18F252", 8192},
    {"PIC18 ID 0x1AE0 is the later row",
     [](auto& image) { return LookupPic18Device(image, 0xE0, 0x1A); }, 30, "PIC18F2580", 32768},
    {"PIC18 ID 0x1AE0 with a revision",
     [](auto& image) { return LookupPic18Device(image, 0xE3, 0x1A); }, 30, "PIC18F2580", 32768},
    {"PIC18 blank ID", [](auto& image) { return LookupPic18Device(image, 0xFF, 0xFF); }, 0,
     "Unknown Device", 0},
    {"PIC18 ID of no row", [](auto& image) { return LookupPic18Device(image, 0x00, 0x00); }, 0,
     "Unknown Device", 0},
    {"dsPIC30F2011 V1", [](auto& image) { return LookupDsPic30Device(image, 0xC0, 0x00, 1, 0); }, 2,
     "dsPIC30F2011 V1", 4096},
    {"dsPIC30F2011 V2", [](auto& image) { return LookupDsPic30Device(image, 0x40, 0x02, 1, 0); }, 3,
     "dsPIC30F2011 V2", 4096},
    {"dsPIC30 IDs are not masked",
     [](auto& image) { return LookupDsPic30Device(image, 0xC1, 0x00, 0, 0); }, 8, "dsPIC30F3012",
     8192},
    {"dsPIC30 ID of no row",
     [](auto& image) { return LookupDsPic30Device(image, 0xC4, 0x00, 0, 0); }, 0, "Unknown Device",
     0},
    {"ATmega8 by signature",
     [](auto& image) {
       const uint8_t signature[3] = {0x1E, 0x93, 0x07};
       return LookupAvrDevice(image, signature);
     },
     2, "ATmega8", 32},
    {"AVR signature must match in all three bytes",
     [](auto& image) {
       const uint8_t signature[3] = {0x1E, 0x93, 0x09};
       return LookupAvrDevice(image, signature);
     },
     0, "Unknown Device", 0},
    {"ATtiny12 by signature",
     [](auto& image) {
       const uint8_t signature[3] = {0x1E, 0x90, 0x05};
       return LookupTiny1xDevice(image, signature);
     },
     2, "ATtiny12", 1},
    {"ATtiny13 is not an ATtiny11/12",
     [](auto& image) {
       const uint8_t signature[3] = {0x1E, 0x90, 0x07};
       return LookupTiny1xDevice(image, signature);
     },
     0, "Unknown Device", 0},
    {"PIC12F675 with revision 3", [](auto& image) { return LookupPic12Device(image, 0xC3, 0x0F); },
     2, "PIC12F675", 1},
    {"PIC12 ID of no row", [](auto& image) { return LookupPic12Device(image, 0xFF, 0x3F); }, 0,
     "Unknown Device", 1},
};

TEST_F(CatalogueTest, IdentificationFindsTheExpectedRow) {
  for (const IdentifyCase& c : kIdentifyCases) {
    SCOPED_TRACE(c.what);
    // Start from some other identified device so that every field must be rewritten.
    ASSERT_TRUE(FillDescriptorByName(*image, "ATmega2561/V"));
    EXPECT_EQ(c.identify(*image), c.row);
    EXPECT_EQ(image->deviceIndex, c.row);
    EXPECT_STREQ(image->deviceName, c.name);
    EXPECT_EQ(image->blockSize, c.blockSize);
  }
}

TEST_F(CatalogueTest, Pic10TypesOutsideTheListAreInvalid) {
  const struct {
    int type;
    const char* name;
    int32_t programSize;
  } cases[] = {
      {0, "PIC10F200/204", 256},
      {1, "PIC10F202/206", 512},
      {2, "PIC10F200/204 (DON'T USE FOR PROGRAMMING !!!)", 306},
      {3, "PIC10F202/206 (DON'T USE FOR PROGRAMMING !!!)", 562},
      {4, "Invalid MCU", 0},
      {5, "Invalid MCU", 0},
      {-1, "Invalid MCU", 0},
  };
  for (const auto& c : cases) {
    SelectPic10Type(*image, c.type);
    EXPECT_STREQ(image->deviceName, c.name) << c.type;
    EXPECT_EQ(image->programSize, c.programSize) << c.type;
  }
}

// ---- What identification copies into the descriptor
// ----------------------------------------------

TEST_F(CatalogueTest, Pic18IdentificationFillsTheDescriptorAndKeepsTheRawId) {
  image->programMemory[0] = 0x12;
  image->configuration[0] = 0x34;
  EXPECT_EQ(LookupPic18Device(*image, 0x25, 0x06), 61);  // PIC18F6720, revision 5
  EXPECT_EQ(image->deviceId[0], 0x25);
  EXPECT_EQ(image->deviceId[1], 0x06);
  EXPECT_STREQ(image->deviceName, "PIC18F6720");
  EXPECT_STREQ(image->deviceRemark, "");
  EXPECT_EQ(image->programSize, 131072);
  EXPECT_EQ(image->blockSize, 131072 / 8);
  EXPECT_EQ(image->eepromSize, 1024);
  EXPECT_EQ(image->ramSize, 3840);
  EXPECT_EQ(image->eraseBlockSize, 64);
  EXPECT_EQ(image->writeBufferSize, 8);
  EXPECT_EQ(image->programMemory[0], 0x12) << "cells are never touched";
  EXPECT_EQ(image->configuration[0], 0x34);

  EXPECT_EQ(LookupPic18Device(*image, 0xE0, 0x0B), 51);  // PIC18F6310
  EXPECT_STREQ(image->deviceRemark, "See documentation!");
  EXPECT_EQ(image->writeBufferSize, 16);

  // No match puts the descriptor back to the placeholder, write buffer and erase block included.
  EXPECT_EQ(image->family, Family::kPic18);
  EXPECT_EQ(LookupPic18Device(*image, 0x00, 0xFF), 0);
  EXPECT_EQ(image->family, Family::kNone) << "no row filled it";
  EXPECT_STREQ(image->deviceName, "Unknown Device");
  EXPECT_STREQ(image->deviceRemark, "");
  EXPECT_EQ(image->programSize, 0);
  EXPECT_EQ(image->blockSize, 0);
  EXPECT_EQ(image->eepromSize, 0);
  EXPECT_EQ(image->ramSize, 0);
  EXPECT_EQ(image->eraseBlockSize, 0);
  EXPECT_EQ(image->writeBufferSize, 0);
  EXPECT_EQ(image->deviceId[0], 0x00);
  EXPECT_EQ(image->deviceId[1], 0xFF);
}

TEST_F(CatalogueTest, DsPic30IdentificationKeepsIdAndRevisionWords) {
  EXPECT_EQ(LookupDsPic30Device(*image, 0x92, 0x01, 0x43, 0x10), 20);  // dsPIC30F6011
  const uint8_t raw[] = {0x92, 0x01, 0x43, 0x10};
  for (int i = 0; i < 4; ++i) EXPECT_EQ(image->deviceId[i], raw[i]) << i;
  EXPECT_STREQ(image->deviceName, "dsPIC30F6011");
  EXPECT_EQ(image->programSize, 45056);
  EXPECT_EQ(image->blockSize, 15018);
  EXPECT_EQ(image->eepromSize, 2048);
  EXPECT_EQ(image->ramSize, 6144);
  EXPECT_EQ(image->eraseBlockSize, 0);
  EXPECT_EQ(image->writeBufferSize, 0);
}

TEST_F(CatalogueTest, AvrIdentificationCopiesSizesButNotTheSignature) {
  image->deviceId[0] = 0xAB;
  const uint8_t signature[3] = {0x1E, 0x98, 0x01};
  EXPECT_EQ(LookupAvrDevice(*image, signature), 40);
  EXPECT_STREQ(image->deviceName, "ATmega2560/V");
  EXPECT_STREQ(image->deviceRemark, "only 128k can be used");
  EXPECT_EQ(image->programSize, 131072);
  EXPECT_EQ(image->blockSize, 128);
  EXPECT_EQ(image->eepromSize, 4096);
  EXPECT_EQ(image->ramSize, 8192);
  EXPECT_EQ(image->deviceId[0], 0xAB);
  // PIC18/dsPIC30-only fields stay as they were.
  EXPECT_EQ(image->writeBufferSize, 8);
  EXPECT_EQ(image->eraseBlockSize, 64);
}

// ---- Spot checks against the published tables
// ----------------------------------------------------

void ExpectRow(const Pic18Device& actual, const Pic18Device& expected) {
  SCOPED_TRACE(expected.name);
  EXPECT_STREQ(actual.name, expected.name);
  EXPECT_EQ(actual.deviceId, expected.deviceId);
  EXPECT_EQ(actual.programSize, expected.programSize);
  EXPECT_EQ(actual.panels, expected.panels);
  EXPECT_EQ(actual.eepromSize, expected.eepromSize);
  EXPECT_EQ(actual.ramSize, expected.ramSize);
  EXPECT_EQ(actual.algorithm, expected.algorithm);
  EXPECT_EQ(actual.eraseBlock, expected.eraseBlock);
  EXPECT_EQ(actual.writeBuffer, expected.writeBuffer);
  EXPECT_STREQ(actual.remark, expected.remark);
  for (int i = 0; i < 14; ++i) EXPECT_EQ(actual.configMasks[i], expected.configMasks[i]) << i;
}

TEST(CatalogueSpotCheck, Pic18Rows) {
  const struct {
    int row;
    Pic18Device expected;
  } rows[] = {
      {1,
       {.name = "PIC18F242",
        .deviceId = 0x0480,
        .programSize = 16384,
        .panels = 2,
        .eepromSize = 256,
        .ramSize = 768,
        .algorithm = 1,
        .eraseBlock = 64,
        .writeBuffer = 8,
        .remark = "",
        .configMasks = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85, 0x00, 0x03, 0xC0, 0x03, 0xE0,
                        0x03, 0x40}}},
      {18,
       {.name = "PIC18F4431",
        .deviceId = 0x0880,
        .programSize = 16384,
        .panels = 2,
        .eepromSize = 256,
        .ramSize = 768,
        .algorithm = 1,
        .eraseBlock = 64,
        .writeBuffer = 8,
        .remark = "",
        .configMasks = {0x00, 0xCF, 0x0F, 0x3F, 0x3C, 0x9D, 0x85, 0x00, 0x0F, 0xC0, 0x0F, 0xE0,
                        0x0F, 0x40}}},
      {23,
       {.name = "PIC18F2455",
        .deviceId = 0x1260,
        .programSize = 24576,
        .panels = 1,
        .eepromSize = 256,
        .ramSize = 2048,
        .algorithm = 2,
        .eraseBlock = 64,
        .writeBuffer = 32,
        .remark = "",
        .configMasks = {0x3F, 0xCF, 0x3F, 0x1F, 0x00, 0x87, 0xC5, 0x00, 0x07, 0xC0, 0x07, 0xE0,
                        0x07, 0x40}}},
      {51,
       {.name = "PIC18F6310",
        .deviceId = 0x0BE0,
        .programSize = 8192,
        .panels = 1,
        .eepromSize = 0,
        .ramSize = 768,
        .algorithm = 4,
        .eraseBlock = 64,
        .writeBuffer = 16,
        .remark = "See documentation!",
        .configMasks = {0x00, 0xCF, 0x1F, 0x1F, 0x00, 0x85, 0xC1, 0x00, 0x01, 0x00, 0x00, 0x00,
                        0x00, 0x00}}},
      {61,
       {.name = "PIC18F6720",
        .deviceId = 0x0620,
        .programSize = 131072,
        .panels = 8,
        .eepromSize = 1024,
        .ramSize = 3840,
        .algorithm = 1,
        .eraseBlock = 64,
        .writeBuffer = 8,
        .remark = "",
        .configMasks = {0x00, 0x27, 0x0F, 0x0F, 0x00, 0x01, 0x85, 0x00, 0xFF, 0xC0, 0xFF, 0xE0,
                        0xFF, 0x40}}},
      {80,
       {.name = "PIC18F8680",
        .deviceId = 0x0A00,
        .programSize = 65536,
        .panels = 8,
        .eepromSize = 1024,
        .ramSize = 3328,
        .algorithm = 1,
        .eraseBlock = 64,
        .writeBuffer = 8,
        .remark = "",
        .configMasks = {0x00, 0x2F, 0x0F, 0x1F, 0x83, 0x83, 0x85, 0x00, 0x0F, 0xC0, 0x0F, 0xE0,
                        0x0F, 0x40}}},
  };
  for (const auto& r : rows) ExpectRow(kPic18Devices[r.row], r.expected);
  EXPECT_STREQ(kPic18Devices[19].remark, "temporary");
  EXPECT_STREQ(kPic18Devices[24].name, "PIC18F2480");
}

TEST(CatalogueSpotCheck, DsPic30Rows) {
  const struct {
    int row;
    const char* name;
    int32_t deviceId, programSize, panels, eepromSize, ramSize;
    std::array<uint8_t, 14> masks;  // FOSC, FWDT, FBORPOR, FBS, FSS, FGS, FICD, low byte first
  } rows[] = {
      {1,
       "dsPIC30F2010",
       0x0040,
       4096,
       1,
       1024,
       512,
       {0x0F, 0xC3, 0x3F, 0x80, 0xB3, 0x87, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x03, 0xC0}},
      {3,
       "dsPIC30F2011 V2",
       0x0240,
       4096,
       1,
       0,
       1024,
       {0x1F, 0xC7, 0x3F, 0x80, 0xB3, 0x87, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x03, 0xC0}},
      {18,
       "dsPIC30F6010",
       0x0188,
       49152,
       3,
       4096,
       8192,
       {0x0F, 0xC3, 0x3F, 0x80, 0xB3, 0x82, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x03, 0xC0}},
      {28,
       "dsPIC30F6015",
       0x0280,
       49152,
       3,
       4096,
       8192,
       {0x1F, 0xC7, 0x3F, 0x80, 0xB3, 0x87, 0x00, 0x00, 0x00, 0x00, 0x03, 0x00, 0x03, 0xC0}},
  };
  for (const auto& r : rows) {
    const DsPic30Device& d = kDsPic30Devices[r.row];
    SCOPED_TRACE(r.name);
    EXPECT_STREQ(d.name, r.name);
    EXPECT_EQ(d.deviceId, r.deviceId);
    EXPECT_EQ(d.programSize, r.programSize);
    EXPECT_EQ(d.panels, r.panels);
    EXPECT_EQ(d.eepromSize, r.eepromSize);
    EXPECT_EQ(d.ramSize, r.ramSize);
    EXPECT_EQ(d.configMasks, r.masks);
  }
}

std::array<int32_t, 16> NoCalibrationExcept(std::initializer_list<std::pair<int, int32_t>> uses) {
  std::array<int32_t, 16> map;
  map.fill(-1);
  for (const auto& [option, byte] : uses) map[option] = byte;
  return map;
}

TEST(CatalogueSpotCheck, AvrRows) {
  const struct {
    int row;
    const char* name;
    uint8_t signature[3];
    int32_t programSize, pageWords, eepromSize, ramSize, algorithm;
    uint8_t speedLowFuses[2];
    uint8_t factoryFuses[4];  // low, high, extended, lock
    std::array<int32_t, 16> calibrationMap;
    const char* remark;
  } rows[] = {
      {2,
       "ATmega8",
       {0x1E, 0x93, 0x07},
       8192,
       32,
       512,
       1024,
       5,
       {0xE1, 0xE4},
       {0xE1, 0xD9, 0x00, 0xFF},
       NoCalibrationExcept({{1, 0}, {2, 1}, {3, 2}, {4, 3}}),
       ""},
      {15,
       "ATmega64",
       {0x1E, 0x96, 0x02},
       65536,
       128,
       2048,
       4096,
       5,
       {0xE1, 0xE4},
       {0xE1, 0x99, 0xFD, 0xFF},
       NoCalibrationExcept({{1, 0}, {2, 1}, {3, 2}, {4, 3}}),
       ""},
      {21,
       "ATtiny2313",
       {0x1E, 0x91, 0x0A},
       2048,
       16,
       128,
       128,
       5,
       {0x64, 0xE4},
       {0x64, 0xDF, 0xFF, 0xFF},
       NoCalibrationExcept({{2, 0}, {4, 1}}),
       ""},
      {22,
       "ATtiny13(V)",
       {0x1E, 0x90, 0x07},
       1024,
       16,
       64,
       64,
       6,
       {0x6A, 0x6A},
       {0x6A, 0xFF, 0x00, 0xFF},
       NoCalibrationExcept({{2, 0}}),
       ""},
      {23,
       "ATtiny26(L)",
       {0x1E, 0x91, 0x09},
       2048,
       16,
       128,
       128,
       5,
       {0xE1, 0xE4},
       {0xE1, 0xF7, 0x00, 0xFF},
       NoCalibrationExcept({{1, 0}, {2, 1}, {3, 2}, {4, 3}}),
       "PLL always off"},
      {24,
       "Atmega644(V)",
       {0x1E, 0x96, 0x09},
       65536,
       128,
       2048,
       4096,
       6,
       {0x62, 0xE2},
       {0x62, 0x99, 0xFF, 0xFF},
       NoCalibrationExcept({{2, 0}}),
       ""},
      {41,
       "ATmega2561/V",
       {0x1E, 0x98, 0x02},
       131072,
       128,
       4096,
       8192,
       6,
       {0x62, 0xE2},
       {0x62, 0x99, 0xFF, 0xFF},
       NoCalibrationExcept({{2, 0}}),
       "only 128k can be used"},
  };
  for (const auto& r : rows) {
    const AvrDevice& d = kAvrDevices[r.row];
    SCOPED_TRACE(r.name);
    EXPECT_STREQ(d.name, r.name);
    for (int i = 0; i < 3; ++i) EXPECT_EQ(d.signature[i], r.signature[i]);
    EXPECT_EQ(d.programSize, r.programSize);
    EXPECT_EQ(d.pageWords, r.pageWords);
    EXPECT_EQ(d.eepromSize, r.eepromSize);
    EXPECT_EQ(d.ramSize, r.ramSize);
    EXPECT_EQ(d.algorithm, r.algorithm);
    EXPECT_EQ(d.speedLowFuses[0], r.speedLowFuses[0]);
    EXPECT_EQ(d.speedLowFuses[1], r.speedLowFuses[1]);
    for (int i = 0; i < 4; ++i) EXPECT_EQ(d.fuses[i].factory, r.factoryFuses[i]) << i;
    EXPECT_EQ(d.calibrationMap, r.calibrationMap);
    EXPECT_STREQ(d.remark, r.remark);
  }
  // The table's "none": factory 0x00 and first mask byte 0xFF.
  EXPECT_EQ(kAvrDevices[2].fuses[kAvrExtendedFuse].mask1, 0xFF);
  EXPECT_EQ(kAvrDevices[2].fuses[kAvrExtendedFuse].mask2, 0xFF);
}

TEST(CatalogueSpotCheck, Tiny1xAndPic12Rows) {
  EXPECT_STREQ(kTiny1xDevices[1].name, "ATtiny11");
  EXPECT_EQ(kTiny1xDevices[1].signature[2], 0x04);
  EXPECT_EQ(kTiny1xDevices[1].eepromSize, 0);
  EXPECT_STREQ(kTiny1xDevices[2].name, "ATtiny12");
  EXPECT_EQ(kTiny1xDevices[2].signature[2], 0x05);
  EXPECT_EQ(kTiny1xDevices[2].eepromSize, 64);
  for (const Tiny1xDevice& d : kTiny1xDevices) EXPECT_STREQ(d.remark, "");
  for (int row = 1; row <= kTiny1xDeviceRows; ++row) {
    EXPECT_EQ(kTiny1xDevices[row].programSize, 1024);
    EXPECT_EQ(kTiny1xDevices[row].signature[0], 0x1E);
    EXPECT_EQ(kTiny1xDevices[row].signature[1], 0x90);
  }

  const struct {
    const char* name;
    int32_t deviceId;
    const char* remark;
  } pic12[] = {
      {"PIC12F629", 0x0F80, "Not tested."},
      {"PIC12F675", 0x0FC0, "Tested."},
      {"PIC16F630", 0x10C0, "Not tested."},
      {"PIC16F676", 0x10E0, "Not tested."},
  };
  for (int row = 1; row <= kPic12DeviceRows; ++row) {
    const Pic12Device& d = kPic12Devices[row];
    EXPECT_STREQ(d.name, pic12[row - 1].name);
    EXPECT_EQ(d.deviceId, pic12[row - 1].deviceId);
    EXPECT_STREQ(d.remark, pic12[row - 1].remark);
    EXPECT_EQ(d.programSize, 1024);
    EXPECT_EQ(d.eepromSize, 128);
    EXPECT_EQ(d.ramSize, 64);
  }
}

// ---- Selection by name
// ---------------------------------------------------------------------------

TEST_F(CatalogueTest, FillDescriptorByNameActsLikeIdentificationInEveryFamily) {
  const struct {
    const char* name;
    Family family;
    int row;
    int32_t programSize, blockSize;
    std::vector<uint8_t> id;
  } cases[] = {
      {"PIC18F4550", Family::kPic18, 45, 32768, 32768, {0x00, 0x12}},
      {"dsPIC30F5013", Family::kDsPic30, 15, 22528, 11264, {0x81, 0x00, 0x00, 0x00}},
      {"ATmega168", Family::kAvr, 8, 16384, 64, {0x1E, 0x94, 0x06}},
      {"ATtiny11", Family::kTiny1x, 1, 1024, 1, {0x1E, 0x90, 0x04}},
      {"PIC16F676", Family::kPic12, 4, 1024, 1, {0xE0, 0x10}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(FillDescriptorByName(*image, c.name));
    EXPECT_EQ(FamilyOfDevice(c.name), c.family);
    EXPECT_EQ(image->family, c.family) << "the row records its family in the image";
    EXPECT_STREQ(image->deviceName, c.name);
    EXPECT_EQ(image->deviceIndex, c.row);
    EXPECT_EQ(image->programSize, c.programSize);
    EXPECT_EQ(image->blockSize, c.blockSize);
    for (size_t i = 0; i < c.id.size(); ++i) EXPECT_EQ(image->deviceId[i], c.id[i]) << i;
  }

  ASSERT_TRUE(FillDescriptorByName(*image, "PIC10F202/206"));
  EXPECT_EQ(FamilyOfDevice("PIC10F202/206"), Family::kPic10);
  EXPECT_EQ(image->family, Family::kPic10);
  EXPECT_STREQ(image->deviceName, "PIC10F202/206");
  EXPECT_EQ(image->programSize, 512);
}

TEST_F(CatalogueTest, FillDescriptorByNameFallsBackToCaseInsensitiveAndRejectsUnknownNames) {
  ASSERT_TRUE(FillDescriptorByName(*image, "atmega644(v)"));
  EXPECT_STREQ(image->deviceName, "Atmega644(V)");
  EXPECT_EQ(image->deviceIndex, 24);
  ASSERT_TRUE(FillDescriptorByName(*image, "PIC18F2480"));
  EXPECT_EQ(image->deviceIndex, 24) << "selection by name reaches the row identification hides";

  for (const char* unknown : {"", "Unknown Device", "Invalid MCU", "PIC18F", "ATmega8 "}) {
    SCOPED_TRACE(unknown);
    EXPECT_FALSE(FillDescriptorByName(*image, unknown));
    EXPECT_EQ(FamilyOfDevice(unknown), Family::kNone);
  }
  EXPECT_STREQ(image->deviceName, "PIC18F2480") << "a rejected name leaves the descriptor alone";
}

}  // namespace
}  // namespace velmora
