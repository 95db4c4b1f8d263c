// PIC12F629 family device table and the PIC10F20x type list. The PIC12/PIC16 ID word (word
// 0x2006) carries the revision in its low five bits; rows hold the ID with those bits zero.
#include "memory/catalogue.h"

namespace velmora {

const Pic12Device kPic12Devices[kPic12DeviceRows + 1] = {
    // clang-format off
    {.name = "Unknown Device", .deviceId = 0,      .programSize = 0,     // row 0
     .blockSize = 1, .eepromSize = 0,   .ramSize = 0,  .remark = ""},
    {.name = "PIC12F629",      .deviceId = 0x0F80, .programSize = 1024,  // row 1
     .blockSize = 1, .eepromSize = 128, .ramSize = 64, .remark = "Not tested."},
    {.name = "PIC12F675",      .deviceId = 0x0FC0, .programSize = 1024,  // row 2
     .blockSize = 1, .eepromSize = 128, .ramSize = 64, .remark = "Tested."},
    {.name = "PIC16F630",      .deviceId = 0x10C0, .programSize = 1024,  // row 3
     .blockSize = 1, .eepromSize = 128, .ramSize = 64, .remark = "Not tested."},
    {.name = "PIC16F676",      .deviceId = 0x10E0, .programSize = 1024,  // row 4
     .blockSize = 1, .eepromSize = 128, .ramSize = 64, .remark = "Not tested."},
    // clang-format on
};

// The parts' sizes split 200/204 (256 words) from 202/206 (512 words), as the makers' data
// sheet and gputils give them. Types 2 and 3 span 50 words more than 0 and 1 (the ID words and
// the backup calibration word beyond program memory); they are for reading and verifying only.
const Pic10Type kPic10Types[kPic10TypeCount] = {
    {.name = "PIC10F200/204", .programSize = 256},
    {.name = "PIC10F202/206", .programSize = 512},
    {.name = "PIC10F200/204 (DON'T USE FOR PROGRAMMING !!!)", .programSize = 306},
    {.name = "PIC10F202/206 (DON'T USE FOR PROGRAMMING !!!)", .programSize = 562},
};

namespace {

constexpr int32_t kRevisionBits = 0x001F;

void DescribePic12(int row, DeviceDescriptor& d) {
  const Pic12Device& device = kPic12Devices[row];
  DescribeCommonColumns(device, d);
  d.blockSize = device.blockSize;
}

}  // namespace

const CatalogueTable kPic12Catalogue{
    .family = Family::kPic12,
    .deviceRows = kPic12DeviceRows,
    .name = [](int row) { return kPic12Devices[row].name; },
    .key = [](int row) { return static_cast<uint32_t>(kPic12Devices[row].deviceId); },
    .storeId =
        [](int row, DeviceDescriptor& d) {
          d.deviceId[0] = static_cast<uint8_t>(kPic12Devices[row].deviceId & 0xFF);
          d.deviceId[1] = static_cast<uint8_t>(kPic12Devices[row].deviceId >> 8);
        },
    .describe = DescribePic12,
};

int LookupPic12Device(CMCUMemoryArchitecture& image, uint8_t idLow, uint8_t idHigh) {
  const int row = FindCatalogueRow(kPic12Catalogue,
                                   static_cast<uint32_t>((idHigh * 256 + idLow) & ~kRevisionBits));
  image.deviceId[0] = idLow;
  image.deviceId[1] = idHigh;
  FillDescriptor(image, kPic12Catalogue, row);
  return row;
}

void SelectPic10Type(CMCUMemoryArchitecture& image, int type) {
  const bool valid = type >= 0 && type < kPic10TypeCount;
  const Pic10Type& chosen = valid ? kPic10Types[type] : kInvalidPic10Type;
  image.deviceName = chosen.name;
  image.programSize = chosen.programSize;
  image.family = valid ? Family::kPic10 : Family::kNone;
}

}  // namespace velmora
