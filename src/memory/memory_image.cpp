#include "memory/memory_image.h"

#include <algorithm>
#include <utility>

namespace velmora {

CMCUMemoryArchitecture::CMCUMemoryArchitecture()
    : cells_(std::make_unique_for_overwrite<int32_t[]>(TotalCells())) {
  int32_t* next = cells_.get();
  int32_t** windows[] = {&programMemory, &idLocations,        &configuration, &eeprom,
                         &dsPICEeprom,   &dsPICConfiguration, &bootFlash,     &programFlash};
  for (size_t i = 0; i < std::size(window::kAll); ++i) {
    *windows[i] = next;
    next += window::kAll[i].cellCount;
  }
  dataMemory = next;
}

CMCUMemoryArchitecture::~CMCUMemoryArchitecture() = default;

void CMCUMemoryArchitecture::Clear() {
  std::fill_n(cells_.get(), TotalCells(), kBlankCell);
  unplaced = {};
}

void CMCUMemoryArchitecture::CopyFrom(const CMCUMemoryArchitecture& source) {
  if (&source == this) return;
  std::copy_n(source.cells_.get(), TotalCells(), cells_.get());
  Descriptor() = source.Descriptor();
  unplaced = source.unplaced;
}

int32_t* CMCUMemoryArchitecture::CellPointer(uint32_t address) {
  return const_cast<int32_t*>(std::as_const(*this).CellPointer(address));
}

const int32_t* CMCUMemoryArchitecture::CellPointer(uint32_t address) const {
  const int32_t* base = cells_.get();
  for (const auto& w : window::kAll) {
    if (address >= w.firstAddress && address - w.firstAddress < w.cellCount) {
      return base + (address - w.firstAddress);
    }
    base += w.cellCount;
  }
  return nullptr;
}

int32_t CMCUMemoryArchitecture::GetCell(uint32_t address) const {
  const int32_t* cell = CellPointer(address);
  return cell ? *cell : kNoCell;
}

int32_t CMCUMemoryArchitecture::SetCell(uint32_t address, int32_t value) {
  int32_t* cell = CellPointer(address);
  if (!cell) return kNoCell;
  *cell = value == kBlankCell ? kBlankCell : (value & 0xFF);
  return 0;
}

int32_t CMCUMemoryArchitecture::ReadMaskedByte(uint32_t address) const {
  int32_t value = GetCell(address);
  if (value < 0) value = 0xFF;
  return value & readMask[address % 4];
}

int32_t CMCUMemoryArchitecture::ReadMaskedByteOrZero(uint32_t address) const {
  const int32_t value = GetCell(address);
  if (value == kNoCell) return 0;
  if (value == kBlankCell) return readMask[address % 4];
  return value & readMask[address % 4];
}

}  // namespace velmora
