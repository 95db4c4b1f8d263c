#include "pic18_geometry.h"

#include <algorithm>

#include "memory/catalogue.h"

namespace velmora::sim {

Pic18Geometry Pic18GeometryOfRow(int row) {
  const Pic18Device& device = kPic18Devices[std::clamp(row, 0, kPic18DeviceRows)];
  Pic18Geometry geometry{
      .name = device.name,
      .deviceId = static_cast<uint16_t>(device.deviceId),
      .programSize = static_cast<uint32_t>(device.programSize),
      .panels = static_cast<uint32_t>(std::max(device.panels, 1)),
      .eepromSize = static_cast<uint32_t>(device.eepromSize),
      .ramSize = static_cast<uint32_t>(device.ramSize),
      .eraseBlock = static_cast<uint32_t>(device.eraseBlock),
      .writeBuffer = static_cast<uint32_t>(device.writeBuffer),
  };
  std::copy_n(device.configMasks, geometry.configMasks.size(), geometry.configMasks.begin());
  return geometry;
}

std::optional<Pic18Geometry> Pic18GeometryByName(std::string_view name) {
  for (int row = 1; row <= kPic18DeviceRows; ++row) {
    if (name == kPic18Devices[row].name) return Pic18GeometryOfRow(row);
  }
  return std::nullopt;
}

}  // namespace velmora::sim
