#include "memory/image_summary.h"

#include <algorithm>
#include <array>

namespace velmora {
namespace {

// Slice-by-8 tables: kCrcTables[k][b] is the CRC register change of byte b followed by k zero
// bytes, so eight bytes fold into the register with eight independent lookups.
using CrcTables = std::array<std::array<uint16_t, 256>, 8>;
constexpr CrcTables kCrcTables = [] {
  CrcTables t{};
  for (unsigned b = 0; b < 256; ++b) {
    unsigned crc = b << 8;
    for (int bit = 0; bit < 8; ++bit) crc = crc & 0x8000 ? (crc << 1) ^ 0x1021 : crc << 1;
    t[0][b] = static_cast<uint16_t>(crc);
  }
  for (size_t k = 1; k < t.size(); ++k) {
    for (unsigned b = 0; b < 256; ++b) {
      const uint16_t prev = t[k - 1][b];
      t[k][b] = static_cast<uint16_t>(prev << 8 ^ t[0][prev >> 8]);
    }
  }
  return t;
}();

uint16_t CrcByte(uint16_t crc, uint8_t byte) {
  return static_cast<uint16_t>(crc << 8 ^ kCrcTables[0][(crc >> 8 ^ byte) & 0xFF]);
}

// Blank cells (-1) have the sign bit set. Eight cells are tested at once (an AND keeps the sign
// bit only when all are blank, an OR only when one is), which the compiler vectorises.
uint32_t SkipBlank(const int32_t* cells, uint32_t i, uint32_t count) {
  for (; i + 8 <= count; i += 8) {
    const int32_t* c = cells + i;
    if ((c[0] & c[1] & c[2] & c[3] & c[4] & c[5] & c[6] & c[7]) >= 0) break;
  }
  while (i < count && cells[i] < 0) ++i;
  return i;
}

uint32_t SkipData(const int32_t* cells, uint32_t i, uint32_t count) {
  for (; i + 8 <= count; i += 8) {
    const int32_t* c = cells + i;
    if ((c[0] | c[1] | c[2] | c[3] | c[4] | c[5] | c[6] | c[7]) < 0) break;
  }
  while (i < count && cells[i] >= 0) ++i;
  return i;
}

// Adds the bytes of a run of data cells to the sum and the CRC, a buffer at a time.
void AddRun(WindowSummary& summary, const int32_t* cells, uint32_t count) {
  uint8_t buffer[4096];
  while (count > 0) {
    const uint32_t n = std::min<uint32_t>(count, sizeof buffer);
    uint32_t sum = 0;
    for (uint32_t i = 0; i < n; ++i) {
      buffer[i] = static_cast<uint8_t>(cells[i]);
      sum += buffer[i];
    }
    summary.byteSum += sum;
    summary.crc = Crc16CcittFalse({buffer, n}, summary.crc);
    cells += n;
    count -= n;
  }
}

WindowSummary SummarizeWindow(const CMCUMemoryArchitecture& image, const NamedWindow& named) {
  WindowSummary summary;
  summary.name = named.name;
  summary.window = named.window;
  summary.crc = 0xFFFF;
  const int32_t* cells = image.CellPointer(named.window.firstAddress);
  const uint32_t count = named.window.cellCount;
  for (uint32_t i = SkipBlank(cells, 0, count); i < count; i = SkipBlank(cells, i, count)) {
    const uint32_t runEnd = SkipData(cells, i, count);
    AddRun(summary, cells + i, runEnd - i);
    summary.ranges.push_back(
        {named.window.firstAddress + i, named.window.firstAddress + runEnd - 1});
    summary.byteCount += runEnd - i;
    i = runEnd;
  }
  return summary;
}

}  // namespace

uint16_t Crc16CcittFalse(std::span<const uint8_t> bytes, uint16_t crc) {
  const uint8_t* p = bytes.data();
  size_t n = bytes.size();
  const auto& t = kCrcTables;
  for (; n >= 8; n -= 8, p += 8) {
    const unsigned head = (crc ^ (p[0] << 8 | p[1])) & 0xFFFF;
    crc = static_cast<uint16_t>(t[7][head >> 8] ^ t[6][head & 0xFF] ^ t[5][p[2]] ^ t[4][p[3]] ^
                                t[3][p[4]] ^ t[2][p[5]] ^ t[1][p[6]] ^ t[0][p[7]]);
  }
  for (; n > 0; --n, ++p) crc = CrcByte(crc, *p);
  return crc;
}

std::vector<WindowSummary> SummarizeImage(const CMCUMemoryArchitecture& image) {
  std::vector<WindowSummary> summaries;
  for (const NamedWindow& named : kNamedWindows) {
    WindowSummary summary = SummarizeWindow(image, named);
    if (summary.byteCount > 0) summaries.push_back(std::move(summary));
  }
  return summaries;
}

}  // namespace velmora
