#include "dspic30_geometry.h"

#include <algorithm>

#include "memory/catalogue.h"

namespace velmora::sim {

DsPic30Geometry DsPic30GeometryOfRow(int row) {
  const DsPic30Device& device = kDsPic30Devices[std::clamp(row, 0, kDsPic30DeviceRows)];
  DsPic30Geometry geometry{
      .name = device.name,
      .deviceId = static_cast<uint16_t>(device.deviceId),
      .programWords = static_cast<uint32_t>(device.programSize),
      .panels = static_cast<uint32_t>(std::max(device.panels, 1)),
      .eepromBytes = static_cast<uint32_t>(device.eepromSize),
      .ramBytes = static_cast<uint32_t>(device.ramSize),
  };
  for (size_t i = 0; i < geometry.configMasks.size(); ++i) {
    geometry.configMasks[i] =
        static_cast<uint16_t>(device.configMasks[2 * i] | device.configMasks[2 * i + 1] << 8);
  }
  return geometry;
}

std::optional<DsPic30Geometry> DsPic30GeometryByName(std::string_view name) {
  for (int row = 1; row <= kDsPic30DeviceRows; ++row) {
    if (name == kDsPic30Devices[row].name) return DsPic30GeometryOfRow(row);
  }
  return std::nullopt;
}

}  // namespace velmora::sim
