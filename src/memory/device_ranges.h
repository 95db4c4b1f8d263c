#pragma once
// Where a device keeps its data in the flat address space of a HEX file, and what a file holds
// elsewhere: data the device cannot hold, which a command must not drop in silence.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "memory/image_summary.h"
#include "memory/memory_image.h"

namespace velmora {

// [first, first + count) of the flat address space.
struct DeviceRange {
  uint32_t first = 0;
  uint32_t count = 0;
};

struct DataOutside {
  uint64_t bytes = 0;
  std::vector<AddressRange> runs;  // maximal runs of such data, ascending (inclusive ends)
};

// The data of `image` that lies in none of `ranges`, the bytes at addresses of no window
// (`image.unplaced`, as one run from its lowest to its highest address) included.
DataOutside FindDataOutside(const CMCUMemoryArchitecture& image,
                            std::span<const DeviceRange> ranges);

// "0x01C000-0x01FFFF (16384 bytes), 0x300008 (1 byte)": the first `maxRuns` runs, then ", ...".
std::string DescribeRuns(const DataOutside& outside, size_t maxRuns = 4);

}  // namespace velmora
