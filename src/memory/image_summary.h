#pragma once
// What a memory image holds, window by window: the runs of programmed addresses, the byte count
// and two checksums, for showing a HEX file's contents and comparing it with other tools.
#include <cstdint>
#include <span>
#include <vector>

#include "memory/memory_image.h"

namespace velmora {

struct AddressRange {
  uint32_t first = 0;
  uint32_t last = 0;  // inclusive
};

struct WindowSummary {
  const char* name = "";
  MemoryWindow window{};
  std::vector<AddressRange> ranges;  // maximal runs of non-blank cells, ascending
  uint32_t byteCount = 0;
  uint32_t byteSum = 0;  // sum of the bytes, modulo 2^32
  uint16_t crc = 0;      // CRC-16/CCITT-FALSE over the bytes in address order
};

// The windows in address order, with their display names.
struct NamedWindow {
  const char* name;
  MemoryWindow window;
};
inline constexpr NamedWindow kNamedWindows[] = {
    {"program memory", window::kProgramMemory},
    {"ID locations", window::kIdLocations},
    {"configuration", window::kConfiguration},
    {"EEPROM", window::kEeprom},
    {"dsPIC30 EEPROM", window::kDsPicEeprom},
    {"dsPIC30 configuration", window::kDsPicConfiguration},
    {"program flash", window::kProgramFlash},
    {"boot flash", window::kBootFlash},
};

// CRC-16/CCITT-FALSE (polynomial 0x1021, initial value 0xFFFF, no reflection, no final XOR),
// continued from `crc`.
uint16_t Crc16CcittFalse(std::span<const uint8_t> bytes, uint16_t crc = 0xFFFF);

// One summary per window that holds at least one non-blank cell, in address order.
std::vector<WindowSummary> SummarizeImage(const CMCUMemoryArchitecture& image);

}  // namespace velmora
