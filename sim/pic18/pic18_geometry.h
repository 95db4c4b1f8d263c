#pragma once
// The shape of one simulated PIC18: the values of its catalogue row that the target model needs.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora::sim {

struct Pic18Geometry {
  const char* name = "";
  uint16_t deviceId = 0;  // revision bits (DEVID1 bits 0..4) zero
  uint32_t programSize = 0;
  uint32_t panels = 1;
  uint32_t eepromSize = 0;
  uint32_t ramSize = 0;
  uint32_t eraseBlock = 64;
  uint32_t writeBuffer = 8;
  std::array<uint8_t, 14> configMasks{};  // 1 = implemented configuration bit

  uint32_t PanelSize() const { return programSize / panels; }
};

// The geometry of a PIC18 catalogue row (1..kPic18DeviceRows).
Pic18Geometry Pic18GeometryOfRow(int row);
// By catalogue name (exact); nullopt when no PIC18 row carries the name.
std::optional<Pic18Geometry> Pic18GeometryByName(std::string_view name);

// Table-pointer addresses of the PIC18 programming model.
namespace pic18addr {
constexpr uint32_t kIdLocations = 0x200000;
constexpr uint32_t kIdLocationCount = 8;
constexpr uint32_t kConfiguration = 0x300000;
constexpr uint32_t kConfigurationCount = 14;
constexpr uint32_t kEraseControl = 0x3C0004;  // bulk-erase option register
constexpr uint32_t kWriteControl = 0x3C0006;  // 0x40 = multi-panel write
constexpr uint32_t kDevId1 = 0x3FFFFE;
constexpr uint32_t kDevId2 = 0x3FFFFF;
// Fault addresses use the Intel HEX address space, where data EEPROM starts here.
constexpr uint32_t kEepromImage = 0xF00000;
}  // namespace pic18addr

}  // namespace velmora::sim
