#include "memory/memory_image.h"

#include <algorithm>
#include <cstdlib>
#include <new>
#include <utility>

#ifdef __linux__
#include <sys/mman.h>
#endif

namespace velmora {
namespace {

// The cell block (about 9 MB) is first touched by Clear. In 4 KB pages that is over two
// thousand page faults, most of the time `hex info` takes; in huge pages, where the system
// gives them on request, a handful.
constexpr size_t kHugePage = size_t{2} << 20;

int32_t* AllocateCells() {
  const size_t bytes =
      (size_t{CMCUMemoryArchitecture::TotalCells()} * sizeof(int32_t) + kHugePage - 1) / kHugePage *
      kHugePage;
  void* cells = std::aligned_alloc(kHugePage, bytes);
  if (!cells) throw std::bad_alloc();
#ifdef MADV_HUGEPAGE
  ::madvise(cells, bytes, MADV_HUGEPAGE);  // only advice: without it the pages are small
#endif
  return static_cast<int32_t*>(cells);
}

}  // namespace

void CMCUMemoryArchitecture::FreeCells::operator()(int32_t* cells) const {
  std::free(cells);
}

CMCUMemoryArchitecture::CMCUMemoryArchitecture() : cells_(AllocateCells()) {
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
