#pragma once
// Intel HEX records written by hand, for files that put data where a test wants it.
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace velmora::testing {

// One record: ":", count, offset, type, data, checksum, CR LF.
inline std::string HexRecord(uint8_t type, uint16_t offset, const std::vector<uint8_t>& data) {
  std::vector<uint8_t> bytes = {static_cast<uint8_t>(data.size()),
                                static_cast<uint8_t>(offset >> 8),
                                static_cast<uint8_t>(offset & 0xFF), type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  uint8_t sum = 0;
  for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  bytes.push_back(static_cast<uint8_t>(-sum));
  std::string text = ":";
  char pair[3];
  for (uint8_t b : bytes) {
    std::snprintf(pair, sizeof pair, "%02X", b);
    text += pair;
  }
  return text + "\r\n";
}

// Records that put `data` at `address` of the flat address space and set the upper address
// back to 0, so that they can go in front of any file.
inline std::string HexBytesAt(uint32_t address, const std::vector<uint8_t>& data) {
  const auto upper = static_cast<uint16_t>(address >> 16);
  return HexRecord(4, 0, {static_cast<uint8_t>(upper >> 8), static_cast<uint8_t>(upper)}) +
         HexRecord(0, static_cast<uint16_t>(address), data) + HexRecord(4, 0, {0, 0});
}

}  // namespace velmora::testing
