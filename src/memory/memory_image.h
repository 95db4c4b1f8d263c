#pragma once
// In-memory picture of one target: every cell of the Intel HEX address space that a device can
// use, one byte per cell held as int32_t (-1 = no data), plus the descriptor of the device the
// data belongs to. The cell block is allocated once with the image and never per access.
#include <algorithm>
#include <cstdint>
#include <memory>

#include "memory/family.h"

namespace velmora {

// One window of the flat address space.
struct MemoryWindow {
  uint32_t firstAddress;
  uint32_t cellCount;
};

namespace window {
// In lookup order: the first window that holds an address wins.
constexpr MemoryWindow kProgramMemory{0x000000, 1048576};
constexpr MemoryWindow kIdLocations{0x200000, 8};
constexpr MemoryWindow kConfiguration{0x300000, 14};
constexpr MemoryWindow kEeprom{0xF00000, 65536};
constexpr MemoryWindow kDsPicEeprom{0xFF0000, 65536};
constexpr MemoryWindow kDsPicConfiguration{0x1F00000, 65536};
constexpr MemoryWindow kBootFlash{0x1FC00000, 12288};
constexpr MemoryWindow kProgramFlash{0x1D000000, 1048576};
constexpr MemoryWindow kAll[] = {kProgramMemory, kIdLocations, kConfiguration,
                                 kEeprom,        kDsPicEeprom, kDsPicConfiguration,
                                 kBootFlash,     kProgramFlash};
}  // namespace window

constexpr int32_t kBlankCell = -1;
constexpr int32_t kNoCell = -2;
constexpr uint32_t kDataMemoryCells = 65536;

// What the catalogue says about the device an image belongs to; copied by value.
struct DeviceDescriptor {
  uint8_t deviceId[16] = {0xFF, 0xFF};
  const char* deviceName = "Unknown Device";
  int32_t deviceIndex = 0;  // the catalogue row
  const char* deviceRemark = "";
  int32_t programSize = 0;
  int32_t blockSize = 0;  // 0 = no identified device
  int32_t writeBufferSize = 8;
  int32_t eraseBlockSize = 64;
  int32_t eepromSize = 0;
  int32_t ramSize = 0;
  uint8_t readMask[4] = {0xFF, 0xFF, 0xFF, 0xFF};
  Family family = Family::kNone;  // the family whose catalogue row filled it

  bool operator==(const DeviceDescriptor&) const = default;
};

class CMCUMemoryArchitecture : public DeviceDescriptor {
 public:
  CMCUMemoryArchitecture();
  virtual ~CMCUMemoryArchitecture();
  CMCUMemoryArchitecture(const CMCUMemoryArchitecture&) = delete;
  CMCUMemoryArchitecture& operator=(const CMCUMemoryArchitecture&) = delete;

  // Sets every cell of every window and of dataMemory to -1 and forgets unplaced data; the
  // descriptor stays.
  void Clear();
  // Copies every cell and the whole descriptor.
  void CopyFrom(const CMCUMemoryArchitecture& source);

  // 0..255, -1 for a blank cell, -2 when the address lies in no window.
  int32_t GetCell(uint32_t address) const;
  // Stores value & 0xFF (or -1); returns 0, or -2 when the address lies in no window.
  int32_t SetCell(uint32_t address, int32_t value);
  // Blank and unmapped cells read 0xFF; the result is ANDed with the lane mask.
  int32_t ReadMaskedByte(uint32_t address) const;
  // Blank cells read as the lane mask, unmapped addresses as 0, data ANDed with the lane mask.
  int32_t ReadMaskedByteOrZero(uint32_t address) const;

  // Data the HEX reader found at addresses of no window: kept out of the cells, but counted, so
  // that a command can tell the user instead of dropping it in silence.
  struct Unplaced {
    uint64_t bytes = 0;
    uint32_t first = 0;  // lowest and highest such address
    uint32_t last = 0;
    void Add(uint32_t address) {
      first = bytes == 0 ? address : std::min(first, address);
      last = bytes == 0 ? address : std::max(last, address);
      ++bytes;
    }
  } unplaced;

  // The cell for an address, or nullptr when it lies in no window.
  int32_t* CellPointer(uint32_t address);
  const int32_t* CellPointer(uint32_t address) const;

 private:
  struct FreeCells {
    void operator()(int32_t* cells) const;
  };
  std::unique_ptr<int32_t[], FreeCells> cells_;  // all windows and dataMemory in one block

 public:
  // Windows, indexed directly by the device primitives (program memory cell n is address n).
  int32_t* programMemory;
  int32_t* idLocations;
  int32_t* configuration;
  int32_t* eeprom;
  int32_t* dsPICEeprom;
  int32_t* dsPICConfiguration;
  int32_t* bootFlash;
  int32_t* programFlash;
  int32_t* dataMemory;  // target RAM as read by the RAM dump; index = RAM address

  // The descriptor part of the image, for copying it alone.
  DeviceDescriptor& Descriptor() { return *this; }
  const DeviceDescriptor& Descriptor() const { return *this; }

  static constexpr uint32_t TotalCells() {
    uint32_t total = kDataMemoryCells;
    for (const auto& w : window::kAll) total += w.cellCount;
    return total;
  }
};

}  // namespace velmora
