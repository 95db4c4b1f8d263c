#include "memory/device_ranges.h"

#include <algorithm>
#include <cstdio>

namespace velmora {

namespace {

bool Inside(uint32_t address, std::span<const DeviceRange> ranges) {
  return std::ranges::any_of(ranges, [address](const DeviceRange& r) {
    return address >= r.first && address - r.first < r.count;
  });
}

void AddRun(DataOutside& outside, uint32_t first, uint32_t last, uint64_t bytes) {
  outside.bytes += bytes;
  if (!outside.runs.empty() && outside.runs.back().last + 1 == first) {
    outside.runs.back().last = last;
  } else {
    outside.runs.push_back({first, last});
  }
}

}  // namespace

DataOutside FindDataOutside(const CMCUMemoryArchitecture& image,
                            std::span<const DeviceRange> ranges) {
  DataOutside outside;
  std::vector<MemoryWindow> windows(std::begin(window::kAll), std::end(window::kAll));
  std::ranges::sort(windows, {}, &MemoryWindow::firstAddress);
  for (const MemoryWindow& w : windows) {
    const int32_t* cells = image.CellPointer(w.firstAddress);
    for (uint32_t i = 0; i < w.cellCount; ++i) {
      const uint32_t address = w.firstAddress + i;
      if (cells[i] != kBlankCell && !Inside(address, ranges)) AddRun(outside, address, address, 1);
    }
  }
  if (image.unplaced.bytes > 0) {
    AddRun(outside, image.unplaced.first, image.unplaced.last, image.unplaced.bytes);
    std::ranges::sort(outside.runs, {}, &AddressRange::first);
  }
  return outside;
}

std::string DescribeRuns(const DataOutside& outside, size_t maxRuns) {
  std::string text;
  for (size_t i = 0; i < outside.runs.size(); ++i) {
    if (i == maxRuns) return text + ", ...";
    const AddressRange& r = outside.runs[i];
    char run[64];
    if (r.first == r.last) {
      std::snprintf(run, sizeof run, "0x%06X", r.first);
    } else {
      std::snprintf(run, sizeof run, "0x%06X-0x%06X", r.first, r.last);
    }
    text += (i == 0 ? "" : ", ") + std::string(run);
  }
  return text;
}

}  // namespace velmora
