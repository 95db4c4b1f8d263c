// ATmega and newer ATtiny device table (serial programming). Rows are found by all three
// signature bytes.
//
// Rows corrected against avr-libc's io headers:
//
// | Row                 | Column | Was -> now        | Why                                       |
// |---------------------|--------|-------------------|-------------------------------------------|
// | ATtiny13, ATtiny26  | fuses  | 3 -> 2 fuse bytes | no extended fuse byte on these parts      |
//
// Kept although avr-libc differs: ATmega2560/2561 at 128 KB (the remark says only 128k can be
// used), the ATmega164P signature 1E 94 0A (avr-libc's own headers disagree on it).
#include <algorithm>
#include <initializer_list>

#include "memory/catalogue.h"

namespace velmora {

namespace {

// A fuse or lock byte the device has. Only the first mask byte is ever looked at (0xFF would
// mean "absent"), so present bytes carry 0x00, 0xFF like the placeholder row.
constexpr AvrFuseEntry Fuse(uint8_t factory) {
  return {.factory = factory, .mask1 = 0x00, .mask2 = 0xFF};
}
constexpr AvrFuseEntry kNoExtendedFuse{.factory = 0x00, .mask1 = 0xFF, .mask2 = 0xFF};

// Clock-source option -> number of the calibration byte it needs.
struct CalibrationUse {
  int option;
  int32_t byte;
};

// The full 16-entry map: the listed options, every other option -1 (needs no calibration byte).
constexpr std::array<int32_t, 16> CalibrationMap(std::initializer_list<CalibrationUse> uses) {
  std::array<int32_t, 16> map{};
  map.fill(-1);
  for (const CalibrationUse& use : uses) map.at(static_cast<size_t>(use.option)) = use.byte;
  return map;
}

}  // namespace

const AvrDevice kAvrDevices[kAvrDeviceRows + 1] = {
    // clang-format off
    {.name = "Unknown Device", .signature = {0x00, 0x00, 0x00}, .programSize = 0,       // row 0
     .pageWords = 0,   .eepromSize = 0,    .ramSize = 0,    .speedLowFuses = {0x00, 0x00},
     .algorithm = 0, .fuses = {Fuse(0x00), Fuse(0x00), Fuse(0x00), Fuse(0x00)},
     .calibrationMap = CalibrationMap({}), .remark = ""},
    {.name = "ATmega48",       .signature = {0x1E, 0x92, 0x05}, .programSize = 4096,    // row 1
     .pageWords = 32,  .eepromSize = 256,  .ramSize = 512,  .speedLowFuses = {0x62, 0xE2},
     .algorithm = 5, .fuses = {Fuse(0x62), Fuse(0xDF), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATmega8",        .signature = {0x1E, 0x93, 0x07}, .programSize = 8192,    // row 2
     .pageWords = 32,  .eepromSize = 512,  .ramSize = 1024, .speedLowFuses = {0xE1, 0xE4},
     .algorithm = 5, .fuses = {Fuse(0xE1), Fuse(0xD9), kNoExtendedFuse, Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{1, 0}, {2, 1}, {3, 2}, {4, 3}}), .remark = ""},
    {.name = "ATmega88",       .signature = {0x1E, 0x93, 0x0A}, .programSize = 8192,    // row 3
     .pageWords = 32,  .eepromSize = 512,  .ramSize = 1024, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 5, .fuses = {Fuse(0x62), Fuse(0xDF), Fuse(0xF9), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATmega8515",     .signature = {0x1E, 0x93, 0x06}, .programSize = 8192,    // row 4
     .pageWords = 32,  .eepromSize = 512,  .ramSize = 512,  .speedLowFuses = {0xE1, 0xE4},
     .algorithm = 5, .fuses = {Fuse(0xE1), Fuse(0xD9), kNoExtendedFuse, Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{1, 0}, {2, 1}, {3, 2}, {4, 3}}), .remark = ""},
    {.name = "ATmega8535",     .signature = {0x1E, 0x93, 0x08}, .programSize = 8192,    // row 5
     .pageWords = 32,  .eepromSize = 512,  .ramSize = 512,  .speedLowFuses = {0xE1, 0xE4},
     .algorithm = 5, .fuses = {Fuse(0xE1), Fuse(0xD9), kNoExtendedFuse, Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{1, 0}, {2, 1}, {3, 2}, {4, 3}}), .remark = ""},
    {.name = "ATmega16",       .signature = {0x1E, 0x94, 0x03}, .programSize = 16384,   // row 6
     .pageWords = 64,  .eepromSize = 512,  .ramSize = 1024, .speedLowFuses = {0xE1, 0xE4},
     .algorithm = 5, .fuses = {Fuse(0xE1), Fuse(0x99), kNoExtendedFuse, Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{1, 0}, {2, 1}, {3, 2}, {4, 3}}), .remark = ""},
    {.name = "ATmega162",      .signature = {0x1E, 0x94, 0x04}, .programSize = 16384,   // row 7
     .pageWords = 64,  .eepromSize = 512,  .ramSize = 1024, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 5, .fuses = {Fuse(0x62), Fuse(0x99), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATmega168",      .signature = {0x1E, 0x94, 0x06}, .programSize = 16384,   // row 8
     .pageWords = 64,  .eepromSize = 512,  .ramSize = 1024, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 5, .fuses = {Fuse(0x62), Fuse(0xDF), Fuse(0xF9), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATmega169",      .signature = {0x1E, 0x94, 0x05}, .programSize = 16384,   // row 9
     .pageWords = 64,  .eepromSize = 512,  .ramSize = 1024, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 5, .fuses = {Fuse(0x62), Fuse(0x99), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATmega32",       .signature = {0x1E, 0x95, 0x02}, .programSize = 32768,   // row 10
     .pageWords = 64,  .eepromSize = 1024, .ramSize = 2048, .speedLowFuses = {0xE1, 0xE4},
     .algorithm = 5, .fuses = {Fuse(0xE1), Fuse(0x99), kNoExtendedFuse, Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{1, 0}, {2, 1}, {3, 2}, {4, 3}}), .remark = ""},
    {.name = "ATmega325",      .signature = {0x1E, 0x95, 0x05}, .programSize = 32768,   // row 11
     .pageWords = 64,  .eepromSize = 1024, .ramSize = 2048, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 5, .fuses = {Fuse(0x62), Fuse(0x99), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATmega3250",     .signature = {0x1E, 0x95, 0x06}, .programSize = 32768,   // row 12
     .pageWords = 64,  .eepromSize = 1024, .ramSize = 2048, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 5, .fuses = {Fuse(0x62), Fuse(0x99), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATmega329",      .signature = {0x1E, 0x95, 0x03}, .programSize = 32768,   // row 13
     .pageWords = 64,  .eepromSize = 1024, .ramSize = 2048, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 5, .fuses = {Fuse(0x62), Fuse(0x99), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATmega3290",     .signature = {0x1E, 0x95, 0x04}, .programSize = 32768,   // row 14
     .pageWords = 64,  .eepromSize = 1024, .ramSize = 2048, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 5, .fuses = {Fuse(0x62), Fuse(0x99), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATmega64",       .signature = {0x1E, 0x96, 0x02}, .programSize = 65536,   // row 15
     .pageWords = 128, .eepromSize = 2048, .ramSize = 4096, .speedLowFuses = {0xE1, 0xE4},
     .algorithm = 5, .fuses = {Fuse(0xE1), Fuse(0x99), Fuse(0xFD), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{1, 0}, {2, 1}, {3, 2}, {4, 3}}), .remark = ""},
    {.name = "ATmega645",      .signature = {0x1E, 0x96, 0x05}, .programSize = 65536,   // row 16
     .pageWords = 128, .eepromSize = 2048, .ramSize = 4096, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 5, .fuses = {Fuse(0x62), Fuse(0x99), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATmega6450",     .signature = {0x1E, 0x96, 0x06}, .programSize = 65536,   // row 17
     .pageWords = 128, .eepromSize = 2048, .ramSize = 4096, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 5, .fuses = {Fuse(0x62), Fuse(0x99), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATmega649",      .signature = {0x1E, 0x96, 0x03}, .programSize = 65536,   // row 18
     .pageWords = 128, .eepromSize = 2048, .ramSize = 4096, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 5, .fuses = {Fuse(0x62), Fuse(0x99), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATmega6490",     .signature = {0x1E, 0x96, 0x04}, .programSize = 65536,   // row 19
     .pageWords = 128, .eepromSize = 2048, .ramSize = 4096, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 5, .fuses = {Fuse(0x62), Fuse(0x99), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATmega128",      .signature = {0x1E, 0x97, 0x02}, .programSize = 131072,  // row 20
     .pageWords = 128, .eepromSize = 4096, .ramSize = 4096, .speedLowFuses = {0xE1, 0xE4},
     .algorithm = 5, .fuses = {Fuse(0xE1), Fuse(0x99), Fuse(0xFD), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{1, 0}, {2, 1}, {3, 2}, {4, 3}}), .remark = ""},
    {.name = "ATtiny2313",     .signature = {0x1E, 0x91, 0x0A}, .programSize = 2048,    // row 21
     .pageWords = 16,  .eepromSize = 128,  .ramSize = 128,  .speedLowFuses = {0x64, 0xE4},
     .algorithm = 5, .fuses = {Fuse(0x64), Fuse(0xDF), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}, {4, 1}}), .remark = ""},
    {.name = "ATtiny13(V)",    .signature = {0x1E, 0x90, 0x07}, .programSize = 1024,    // row 22
     .pageWords = 16,  .eepromSize = 64,   .ramSize = 64,   .speedLowFuses = {0x6A, 0x6A},
     .algorithm = 6, .fuses = {Fuse(0x6A), Fuse(0xFF), kNoExtendedFuse, Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATtiny26(L)",    .signature = {0x1E, 0x91, 0x09}, .programSize = 2048,    // row 23
     .pageWords = 16,  .eepromSize = 128,  .ramSize = 128,  .speedLowFuses = {0xE1, 0xE4},
     .algorithm = 5, .fuses = {Fuse(0xE1), Fuse(0xF7), kNoExtendedFuse, Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{1, 0}, {2, 1}, {3, 2}, {4, 3}}),
     .remark = "PLL always off"},
    {.name = "Atmega644(V)",   .signature = {0x1E, 0x96, 0x09}, .programSize = 65536,   // row 24
     .pageWords = 128, .eepromSize = 2048, .ramSize = 4096, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 6, .fuses = {Fuse(0x62), Fuse(0x99), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATmega164P(V)",  .signature = {0x1E, 0x94, 0x0A}, .programSize = 16384,   // row 25
     .pageWords = 64,  .eepromSize = 512,  .ramSize = 1024, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 6, .fuses = {Fuse(0x62), Fuse(0x99), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATmega324P(V)",  .signature = {0x1E, 0x95, 0x08}, .programSize = 32768,   // row 26
     .pageWords = 64,  .eepromSize = 1024, .ramSize = 2048, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 6, .fuses = {Fuse(0x62), Fuse(0x99), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATmega644P(V)",  .signature = {0x1E, 0x96, 0x0A}, .programSize = 65536,   // row 27
     .pageWords = 128, .eepromSize = 2048, .ramSize = 4096, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 6, .fuses = {Fuse(0x62), Fuse(0x99), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATtiny24",       .signature = {0x1E, 0x91, 0x0B}, .programSize = 2048,    // row 28
     .pageWords = 16,  .eepromSize = 128,  .ramSize = 128,  .speedLowFuses = {0x62, 0xE2},
     .algorithm = 6, .fuses = {Fuse(0x62), Fuse(0xDF), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATtiny44",       .signature = {0x1E, 0x92, 0x07}, .programSize = 4096,    // row 29
     .pageWords = 32,  .eepromSize = 256,  .ramSize = 256,  .speedLowFuses = {0x62, 0xE2},
     .algorithm = 6, .fuses = {Fuse(0x62), Fuse(0xDF), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATtiny84",       .signature = {0x1E, 0x93, 0x0C}, .programSize = 8192,    // row 30
     .pageWords = 32,  .eepromSize = 512,  .ramSize = 512,  .speedLowFuses = {0x62, 0xE2},
     .algorithm = 6, .fuses = {Fuse(0x62), Fuse(0xDF), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATtiny25",       .signature = {0x1E, 0x91, 0x08}, .programSize = 2048,    // row 31
     .pageWords = 16,  .eepromSize = 128,  .ramSize = 128,  .speedLowFuses = {0x62, 0xE2},
     .algorithm = 6, .fuses = {Fuse(0x62), Fuse(0xDF), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATtiny45",       .signature = {0x1E, 0x92, 0x06}, .programSize = 4096,    // row 32
     .pageWords = 32,  .eepromSize = 256,  .ramSize = 256,  .speedLowFuses = {0x62, 0xE2},
     .algorithm = 6, .fuses = {Fuse(0x62), Fuse(0xDF), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATtiny85",       .signature = {0x1E, 0x93, 0x0B}, .programSize = 8192,    // row 33
     .pageWords = 32,  .eepromSize = 512,  .ramSize = 512,  .speedLowFuses = {0x62, 0xE2},
     .algorithm = 6, .fuses = {Fuse(0x62), Fuse(0xDF), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATtiny261",      .signature = {0x1E, 0x91, 0x0C}, .programSize = 2048,    // row 34
     .pageWords = 16,  .eepromSize = 128,  .ramSize = 128,  .speedLowFuses = {0x62, 0xE2},
     .algorithm = 6, .fuses = {Fuse(0x62), Fuse(0xDF), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATtiny461",      .signature = {0x1E, 0x92, 0x08}, .programSize = 4096,    // row 35
     .pageWords = 32,  .eepromSize = 256,  .ramSize = 256,  .speedLowFuses = {0x62, 0xE2},
     .algorithm = 6, .fuses = {Fuse(0x62), Fuse(0xDF), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATtiny861",      .signature = {0x1E, 0x93, 0x0D}, .programSize = 8192,    // row 36
     .pageWords = 32,  .eepromSize = 512,  .ramSize = 512,  .speedLowFuses = {0x62, 0xE2},
     .algorithm = 6, .fuses = {Fuse(0x62), Fuse(0xDF), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATmega640/V",    .signature = {0x1E, 0x96, 0x08}, .programSize = 65536,   // row 37
     .pageWords = 128, .eepromSize = 4096, .ramSize = 8192, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 6, .fuses = {Fuse(0x62), Fuse(0x99), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATmega1280/V",   .signature = {0x1E, 0x97, 0x03}, .programSize = 131072,  // row 38
     .pageWords = 128, .eepromSize = 4096, .ramSize = 8192, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 6, .fuses = {Fuse(0x62), Fuse(0x99), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATmega1281/V",   .signature = {0x1E, 0x97, 0x04}, .programSize = 131072,  // row 39
     .pageWords = 128, .eepromSize = 4096, .ramSize = 8192, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 6, .fuses = {Fuse(0x62), Fuse(0x99), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = ""},
    {.name = "ATmega2560/V",   .signature = {0x1E, 0x98, 0x01}, .programSize = 131072,  // row 40
     .pageWords = 128, .eepromSize = 4096, .ramSize = 8192, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 6, .fuses = {Fuse(0x62), Fuse(0x99), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = "only 128k can be used"},
    {.name = "ATmega2561/V",   .signature = {0x1E, 0x98, 0x02}, .programSize = 131072,  // row 41
     .pageWords = 128, .eepromSize = 4096, .ramSize = 8192, .speedLowFuses = {0x62, 0xE2},
     .algorithm = 6, .fuses = {Fuse(0x62), Fuse(0x99), Fuse(0xFF), Fuse(0xFF)},
     .calibrationMap = CalibrationMap({{2, 0}}), .remark = "only 128k can be used"},
    // clang-format on
};

namespace {

uint32_t SignatureKey(const uint8_t signature[3]) {
  return static_cast<uint32_t>(signature[0] << 16 | signature[1] << 8 | signature[2]);
}

void DescribeAvr(int row, DeviceDescriptor& d) {
  const AvrDevice& device = kAvrDevices[row];
  DescribeCommonColumns(device, d);
  d.blockSize = device.pageWords;
}

}  // namespace

const CatalogueTable kAvrCatalogue{
    .family = Family::kAvr,
    .deviceRows = kAvrDeviceRows,
    .name = [](int row) { return kAvrDevices[row].name; },
    .key = [](int row) { return SignatureKey(kAvrDevices[row].signature); },
    .storeId = [](int row,
                  DeviceDescriptor& d) { std::copy_n(kAvrDevices[row].signature, 3, d.deviceId); },
    .describe = DescribeAvr,
};

bool AvrHasExtendedFuse(const AvrDevice& device) {
  const AvrFuseEntry& extended = device.fuses[kAvrExtendedFuse];
  return extended.factory != 0x00 && extended.mask1 != 0xFF;
}

int LookupAvrDevice(CMCUMemoryArchitecture& image, const uint8_t signature[3]) {
  const int row = FindCatalogueRow(kAvrCatalogue, SignatureKey(signature));
  FillDescriptor(image, kAvrCatalogue, row);
  return row;
}

}  // namespace velmora
