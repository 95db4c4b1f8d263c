// Finding a device by its catalogue name across all families, for front ends that let the user
// name a device instead of identifying it.
#include "memory/catalogue.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace velmora {

namespace {

enum class Family { kPic18, kDsPic30, kAvr, kTiny1x, kPic12, kPic10 };

constexpr std::string_view FamilyName(Family family) {
  switch (family) {
    case Family::kPic18:
      return "pic18";
    case Family::kDsPic30:
      return "dspic30";
    case Family::kAvr:
      return "avr";
    case Family::kTiny1x:
      return "tiny1x";
    case Family::kPic12:
      return "pic12";
    case Family::kPic10:
      return "pic10";
  }
  return {};
}

struct DeviceRef {
  Family family;
  int row;  // table row; for PIC10 the type 0..3
};

bool SameName(std::string_view a, std::string_view b) {
  return a == b;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

// Device rows only (from the last down to row 1): row 0 "Unknown Device" names no device.
template <typename Row, size_t kRows, typename Equal>
int FindRowByName(const Row (&table)[kRows], std::string_view name, Equal equal) {
  for (int row = static_cast<int>(kRows) - 1; row >= 1; --row) {
    if (equal(table[row].name, name)) return row;
  }
  return 0;
}

template <typename Equal>
std::optional<DeviceRef> FindDevice(std::string_view name, Equal equal) {
  if (int row = FindRowByName(kPic18Devices, name, equal)) return DeviceRef{Family::kPic18, row};
  if (int row = FindRowByName(kDsPic30Devices, name, equal)) {
    return DeviceRef{Family::kDsPic30, row};
  }
  if (int row = FindRowByName(kAvrDevices, name, equal)) return DeviceRef{Family::kAvr, row};
  if (int row = FindRowByName(kTiny1xDevices, name, equal)) return DeviceRef{Family::kTiny1x, row};
  if (int row = FindRowByName(kPic12Devices, name, equal)) return DeviceRef{Family::kPic12, row};
  for (int type = 0; type < kPic10TypeCount; ++type) {
    if (equal(kPic10Types[type].name, name)) return DeviceRef{Family::kPic10, type};
  }
  return std::nullopt;
}

std::optional<DeviceRef> FindDevice(std::string_view name) {
  if (auto exact = FindDevice(name, SameName)) return exact;
  return FindDevice(name, SameNameIgnoringCase);
}

void StoreId(CMCUMemoryArchitecture& image, int32_t id) {
  image.deviceId[0] = static_cast<uint8_t>(id & 0xFF);
  image.deviceId[1] = static_cast<uint8_t>(id >> 8);
}

void StoreSignature(CMCUMemoryArchitecture& image, const uint8_t signature[3]) {
  std::copy_n(signature, 3, image.deviceId);
}

}  // namespace

bool FillDescriptorByName(CMCUMemoryArchitecture& image, std::string_view name) {
  const std::optional<DeviceRef> device = FindDevice(name);
  if (!device) return false;
  const int row = device->row;
  switch (device->family) {
    case Family::kPic18:
      StoreId(image, kPic18Devices[row].deviceId);
      FillPic18Descriptor(image, row);
      break;
    case Family::kDsPic30:
      StoreId(image, kDsPic30Devices[row].deviceId);
      image.deviceId[2] = 0;  // revision word: none read
      image.deviceId[3] = 0;
      FillDsPic30Descriptor(image, row);
      break;
    case Family::kAvr:
      StoreSignature(image, kAvrDevices[row].signature);
      FillAvrDescriptor(image, row);
      break;
    case Family::kTiny1x:
      StoreSignature(image, kTiny1xDevices[row].signature);
      FillTiny1xDescriptor(image, row);
      break;
    case Family::kPic12:
      StoreId(image, kPic12Devices[row].deviceId);
      FillPic12Descriptor(image, row);
      break;
    case Family::kPic10:
      SelectPic10Type(image, row);
      break;
  }
  return true;
}

std::string_view FamilyOfDevice(std::string_view name) {
  const std::optional<DeviceRef> device = FindDevice(name);
  return device ? FamilyName(device->family) : std::string_view{};
}

}  // namespace velmora
