// dsPIC30 device table. The device ID is compared with the full 16-bit ID word: several parts
// differ only in bits that PIC18 identification would treat as revision bits.
#include "memory/catalogue.h"

namespace velmora {

namespace {

// The configuration masks as the 16-bit words FOSC, FWDT, FBORPOR, FBS, FSS, FGS, FICD, laid out
// low byte first like the configuration cells they mask.
constexpr std::array<uint8_t, 14> WordMasks(uint16_t fosc, uint16_t fwdt, uint16_t fborpor,
                                            uint16_t fbs, uint16_t fss, uint16_t fgs,
                                            uint16_t ficd) {
  const uint16_t words[] = {fosc, fwdt, fborpor, fbs, fss, fgs, ficd};
  std::array<uint8_t, 14> bytes{};
  for (size_t i = 0; i < std::size(words); ++i) {
    bytes[2 * i] = static_cast<uint8_t>(words[i] & 0xFF);
    bytes[2 * i + 1] = static_cast<uint8_t>(words[i] >> 8);
  }
  return bytes;
}

}  // namespace

const DsPic30Device kDsPic30Devices[kDsPic30DeviceRows + 1] = {
    // clang-format off
    {.name = "Unknown Device",  .deviceId = 0,      .programSize = 0,     .panels = 1,  // row 0
     .eepromSize = 0,    .ramSize = 0,    .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = {}},
    {.name = "dsPIC30F2010",    .deviceId = 0x0040, .programSize = 4096,  .panels = 1,  // row 1
     .eepromSize = 1024, .ramSize = 512,  .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC30F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F2011 V1", .deviceId = 0x00C0, .programSize = 4096,  .panels = 1,  // row 2
     .eepromSize = 0,    .ramSize = 1024, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC71F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F2011 V2", .deviceId = 0x0240, .programSize = 4096,  .panels = 1,  // row 3
     .eepromSize = 0,    .ramSize = 1024, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC71F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F2012 V1", .deviceId = 0x00C2, .programSize = 4096,  .panels = 1,  // row 4
     .eepromSize = 0,    .ramSize = 1024, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC71F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F2012 V2", .deviceId = 0x0241, .programSize = 4096,  .panels = 1,  // row 5
     .eepromSize = 0,    .ramSize = 1024, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC71F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F3010",    .deviceId = 0x01C0, .programSize = 8192,  .panels = 1,  // row 6
     .eepromSize = 1024, .ramSize = 1024, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC71F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F3011",    .deviceId = 0x01C1, .programSize = 8192,  .panels = 1,  // row 7
     .eepromSize = 1024, .ramSize = 1024, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC71F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F3012",    .deviceId = 0x00C1, .programSize = 8192,  .panels = 1,  // row 8
     .eepromSize = 1024, .ramSize = 2048, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC71F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F3013",    .deviceId = 0x00C3, .programSize = 8192,  .panels = 1,  // row 9
     .eepromSize = 1024, .ramSize = 2048, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC71F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F3014",    .deviceId = 0x0140, .programSize = 8192,  .panels = 1,  // row 10
     .eepromSize = 1024, .ramSize = 2048, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC71F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F4011",    .deviceId = 0x0101, .programSize = 16384, .panels = 1,  // row 11
     .eepromSize = 1024, .ramSize = 2048, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC30F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F4012",    .deviceId = 0x0100, .programSize = 16384, .panels = 1,  // row 12
     .eepromSize = 1024, .ramSize = 2048, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC30F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F4013",    .deviceId = 0x0141, .programSize = 16384, .panels = 1,  // row 13
     .eepromSize = 1024, .ramSize = 2048, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC71F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F5011",    .deviceId = 0x0080, .programSize = 22528, .panels = 2,  // row 14
     .eepromSize = 1024, .ramSize = 4096, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC30F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F5013",    .deviceId = 0x0081, .programSize = 22528, .panels = 2,  // row 15
     .eepromSize = 1024, .ramSize = 4096, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC30F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F5015",    .deviceId = 0x0200, .programSize = 22528, .panels = 2,  // row 16
     .eepromSize = 1024, .ramSize = 2048, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC71F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F5016",    .deviceId = 0x0201, .programSize = 22528, .panels = 2,  // row 17
     .eepromSize = 1024, .ramSize = 2048, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC71F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F6010",    .deviceId = 0x0188, .programSize = 49152, .panels = 3,  // row 18
     .eepromSize = 4096, .ramSize = 8192, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC30F, 0x803F, 0x82B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F6010A",   .deviceId = 0x0281, .programSize = 49152, .panels = 3,  // row 19
     .eepromSize = 4096, .ramSize = 8192, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC71F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F6011",    .deviceId = 0x0192, .programSize = 45056, .panels = 3,  // row 20
     .eepromSize = 2048, .ramSize = 6144, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC30F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F6011A",   .deviceId = 0x02C0, .programSize = 45056, .panels = 3,  // row 21
     .eepromSize = 2048, .ramSize = 6144, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC71F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F6012",    .deviceId = 0x0193, .programSize = 49152, .panels = 3,  // row 22
     .eepromSize = 4096, .ramSize = 8192, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC30F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F6012A",   .deviceId = 0x02C1, .programSize = 49152, .panels = 3,  // row 23
     .eepromSize = 4096, .ramSize = 8192, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC71F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F6013",    .deviceId = 0x0197, .programSize = 45056, .panels = 3,  // row 24
     .eepromSize = 2048, .ramSize = 6144, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC30F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F6013A",   .deviceId = 0x02C2, .programSize = 45056, .panels = 3,  // row 25
     .eepromSize = 2048, .ramSize = 6144, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC71F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F6014",    .deviceId = 0x0198, .programSize = 49152, .panels = 3,  // row 26
     .eepromSize = 4096, .ramSize = 8192, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC30F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F6014A",   .deviceId = 0x02C3, .programSize = 49152, .panels = 3,  // row 27
     .eepromSize = 4096, .ramSize = 8192, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC71F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    {.name = "dsPIC30F6015",    .deviceId = 0x0280, .programSize = 49152, .panels = 3,  // row 28
     .eepromSize = 4096, .ramSize = 8192, .eraseBlock = 0, .writeBuffer = 0, .remark = "",
     .configMasks = WordMasks(0xC71F, 0x803F, 0x87B3, 0x0000, 0x0000, 0x0003, 0xC003)},
    // clang-format on
};

namespace {

void DescribeDsPic30(int row, DeviceDescriptor& d) {
  const DsPic30Device& device = kDsPic30Devices[row];
  DescribeCommonColumns(device, d);
  d.blockSize = device.programSize / device.panels;
  d.eraseBlockSize = device.eraseBlock;
  d.writeBufferSize = device.writeBuffer;
}

void StoreDsPic30Id(int row, DeviceDescriptor& d) {
  d.deviceId[0] = static_cast<uint8_t>(kDsPic30Devices[row].deviceId & 0xFF);
  d.deviceId[1] = static_cast<uint8_t>(kDsPic30Devices[row].deviceId >> 8);
  d.deviceId[2] = 0;  // revision word: none read
  d.deviceId[3] = 0;
}

}  // namespace

const CatalogueTable kDsPic30Catalogue{
    .family = Family::kDsPic30,
    .deviceRows = kDsPic30DeviceRows,
    .name = [](int row) { return kDsPic30Devices[row].name; },
    .key = [](int row) { return static_cast<uint32_t>(kDsPic30Devices[row].deviceId); },
    .storeId = StoreDsPic30Id,
    .describe = DescribeDsPic30,
};

int LookupDsPic30Device(CMCUMemoryArchitecture& image, uint8_t idLow, uint8_t idHigh,
                        uint8_t revLow, uint8_t revHigh) {
  const int row = FindCatalogueRow(kDsPic30Catalogue, static_cast<uint32_t>(idHigh * 256 + idLow));
  image.deviceId[0] = idLow;
  image.deviceId[1] = idHigh;
  image.deviceId[2] = revLow;
  image.deviceId[3] = revHigh;
  FillDescriptor(image, kDsPic30Catalogue, row);
  return row;
}

}  // namespace velmora
