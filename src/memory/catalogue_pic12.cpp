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

// Types 2 and 3 span 50 words more than 0 and 1 (the backup area beyond program memory); their
// names say they are not for programming.
const Pic10Type kPic10Types[kPic10TypeCount] = {
    {.name = "PIC10F200/202", .programSize = 256},
    {.name = "PIC10F204/206", .programSize = 512},
    {.name = "PIC10F200/202 (DON'T USE FOR PROGRAMMING !!!)", .programSize = 306},
    {.name = "PIC10F204/206 (DON'T USE FOR PROGRAMMING !!!)", .programSize = 562},
};

namespace {

constexpr int32_t kRevisionBits = 0x001F;

int FindPic12Row(int32_t key) {
  for (int row = kPic12DeviceRows; row >= 1; --row) {
    if (kPic12Devices[row].deviceId == key) return row;
  }
  return 0;
}

}  // namespace

void FillPic12Descriptor(CMCUMemoryArchitecture& image, int row) {
  if (row < 0 || row > kPic12DeviceRows) row = 0;
  const Pic12Device& device = kPic12Devices[row];
  image.deviceIndex = row;
  image.deviceName = device.name;
  image.deviceRemark = device.remark;
  image.programSize = device.programSize;
  image.blockSize = device.blockSize;
  image.eepromSize = device.eepromSize;
  image.ramSize = device.ramSize;
}

int LookupPic12Device(CMCUMemoryArchitecture& image, uint8_t idLow, uint8_t idHigh) {
  const int row = FindPic12Row((idHigh * 256 + idLow) & ~kRevisionBits);
  image.deviceId[0] = idLow;
  image.deviceId[1] = idHigh;
  FillPic12Descriptor(image, row);
  return row;
}

void SelectPic10Type(CMCUMemoryArchitecture& image, int type) {
  const Pic10Type& chosen =
      (type >= 0 && type < kPic10TypeCount) ? kPic10Types[type] : kInvalidPic10Type;
  image.deviceName = chosen.name;
  image.programSize = chosen.programSize;
}

}  // namespace velmora
