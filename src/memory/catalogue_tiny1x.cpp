// ATtiny11/12 device table (high-voltage serial programming). Rows are found by all three
// signature bytes.
#include "memory/catalogue.h"

namespace velmora {

const Tiny1xDevice kTiny1xDevices[kTiny1xDeviceRows + 1] = {
    // clang-format off
    {.name = "Unknown Device", .signature = {0x00, 0x00, 0x00}, .programSize = 0,     // row 0
     .blockSize = 0, .eepromSize = 0,  .ramSize = 0,  .remark = ""},
    {.name = "ATtiny11",       .signature = {0x1E, 0x90, 0x04}, .programSize = 1024,  // row 1
     .blockSize = 1, .eepromSize = 0,  .ramSize = 32, .remark = ""},
    {.name = "ATtiny12",       .signature = {0x1E, 0x90, 0x05}, .programSize = 1024,  // row 2
     .blockSize = 1, .eepromSize = 64, .ramSize = 32, .remark = ""},
    // clang-format on
};

namespace {

int FindTiny1xRow(const uint8_t signature[3]) {
  for (int row = kTiny1xDeviceRows; row >= 1; --row) {
    const uint8_t* candidate = kTiny1xDevices[row].signature;
    if (candidate[0] == signature[0] && candidate[1] == signature[1] &&
        candidate[2] == signature[2]) {
      return row;
    }
  }
  return 0;
}

}  // namespace

void FillTiny1xDescriptor(CMCUMemoryArchitecture& image, int row) {
  if (row < 0 || row > kTiny1xDeviceRows) row = 0;
  const Tiny1xDevice& device = kTiny1xDevices[row];
  image.deviceIndex = row;
  image.deviceName = device.name;
  image.deviceRemark = device.remark;
  image.programSize = device.programSize;
  image.blockSize = device.blockSize;
  image.eepromSize = device.eepromSize;
  image.ramSize = device.ramSize;
}

int LookupTiny1xDevice(CMCUMemoryArchitecture& image, const uint8_t signature[3]) {
  const int row = FindTiny1xRow(signature);
  FillTiny1xDescriptor(image, row);
  return row;
}

}  // namespace velmora
