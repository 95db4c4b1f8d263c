// ATtiny11/12 device table (high-voltage serial programming). Rows are found by all three
// signature bytes.
#include <algorithm>

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

uint32_t SignatureKey(const uint8_t signature[3]) {
  return static_cast<uint32_t>(signature[0] << 16 | signature[1] << 8 | signature[2]);
}

void DescribeTiny1x(int row, DeviceDescriptor& d) {
  const Tiny1xDevice& device = kTiny1xDevices[row];
  DescribeCommonColumns(device, d);
  d.blockSize = device.blockSize;
}

}  // namespace

const CatalogueTable kTiny1xCatalogue{
    .family = Family::kTiny1x,
    .deviceRows = kTiny1xDeviceRows,
    .name = [](int row) { return kTiny1xDevices[row].name; },
    .key = [](int row) { return SignatureKey(kTiny1xDevices[row].signature); },
    .storeId =
        [](int row, DeviceDescriptor& d) {
          std::copy_n(kTiny1xDevices[row].signature, 3, d.deviceId);
        },
    .describe = DescribeTiny1x,
};

int LookupTiny1xDevice(CMCUMemoryArchitecture& image, const uint8_t signature[3]) {
  const int row = FindCatalogueRow(kTiny1xCatalogue, SignatureKey(signature));
  FillDescriptor(image, kTiny1xCatalogue, row);
  return row;
}

}  // namespace velmora
