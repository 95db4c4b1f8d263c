#pragma once
// The shape of one simulated dsPIC30F: the values of its catalogue row that the chip model needs,
// and the chip's address map as the maker documents it.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora::sim {

struct DsPic30Geometry {
  const char* name = "";
  uint16_t deviceId = 0;      // DEVID
  uint32_t programWords = 0;  // 24-bit instruction words
  uint32_t panels = 1;
  uint32_t eepromBytes = 0;
  uint32_t ramBytes = 0;
  // Implemented bits of FOSC, FWDT, FBORPOR, FBS, FSS, FGS, FICD.
  std::array<uint16_t, 7> configMasks{};

  uint32_t EepromWords() const { return eepromBytes / 2; }
};

// The geometry of a dsPIC30 catalogue row (1..kDsPic30DeviceRows).
DsPic30Geometry DsPic30GeometryOfRow(int row);
// By catalogue name (exact); nullopt when no dsPIC30 row carries the name.
std::optional<DsPic30Geometry> DsPic30GeometryByName(std::string_view name);

// Program-space addresses (two address units per 24-bit instruction word), data-space addresses
// of the registers that ICSP streams use, and the NVMCON operations, all from the maker's flash
// programming document, code examples and linker scripts.
namespace dspic30addr {
constexpr uint32_t kEepromEnd = 0x800000;  // data EEPROM ends at 0x7FFFFE
constexpr uint32_t kConfiguration = 0xF80000;
constexpr uint32_t kConfigurationCount = 7;  // FOSC, FWDT, FBORPOR, FBS, FSS, FGS, FICD
constexpr uint32_t kDevId = 0xFF0000;
constexpr uint32_t kDevRev = 0xFF0002;
constexpr uint32_t kRowWords = 32;        // code-memory row: program and erase unit
constexpr uint32_t kEepromRowWords = 16;  // data-EEPROM row
constexpr uint32_t kRamStart = 0x0800;    // data memory below is SFR space
constexpr uint32_t kSfrEnd = 0x0800;

enum ConfigRegister : uint32_t { kFosc, kFwdt, kFborpor, kFbs, kFss, kFgs, kFicd };

// Data-space addresses.
constexpr uint16_t kTblpag = 0x0032;
constexpr uint16_t kNvmcon = 0x0760;
constexpr uint16_t kNvmadr = 0x0762;
constexpr uint16_t kNvmadru = 0x0764;
constexpr uint16_t kNvmkey = 0x0766;
constexpr uint16_t kVisi = 0x0784;

// NVMCON: bit 15 WR starts the cycle, bit 14 WREN enables it.
constexpr uint16_t kWr = 0x8000;
constexpr uint16_t kWren = 0x4000;
}  // namespace dspic30addr

// The NVMCON values of the operations the chip performs (with WREN, without WR).
namespace nvmop {
constexpr uint16_t kProgramRow = 0x4001;
constexpr uint16_t kEraseRow = 0x4041;
constexpr uint16_t kWriteEepromWord = 0x4004;
constexpr uint16_t kWriteEepromRow = 0x4005;
constexpr uint16_t kEraseEepromWord = 0x4044;
constexpr uint16_t kEraseEepromRow = 0x4045;
constexpr uint16_t kEraseEepromAll = 0x4046;
// Not found in the retrieved pages of the maker's ICSP tables (the RTSP example declares 0x4006
// for configuration writes but never uses it); the model accepts these two ICSP codes only.
constexpr uint16_t kWriteConfiguration = 0x4008;
constexpr uint16_t kBulkErase = 0x407F;
}  // namespace nvmop

}  // namespace velmora::sim
