#include "hex_image.h"

#include <fstream>
#include <stdexcept>
#include <vector>

#include "scenario.h"

namespace velmora::sim {

namespace {

enum RecordType : uint8_t {
  kData = 0x00,
  kEndOfFile = 0x01,
  kExtendedSegmentAddress = 0x02,
  kExtendedLinearAddress = 0x04,
};

}  // namespace

HexImage ReadHexFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read HEX file " + path);
  HexImage image;
  uint32_t base = 0;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    while (!line.empty() && (line.back() == '\r' || line.back() == ' ')) line.pop_back();
    if (line.empty()) continue;
    const std::string where = path + ":" + std::to_string(number);
    if (line[0] != ':') throw std::runtime_error(where + ": record does not start with ':'");
    std::vector<uint8_t> record;
    try {
      record = ParseHexBytes(line.substr(1));
    } catch (const std::exception&) {
      throw std::runtime_error(where + ": malformed record");
    }
    if (record.size() < 5 || record.size() != 5u + record[0]) {
      throw std::runtime_error(where + ": wrong record length");
    }
    uint8_t sum = 0;
    for (uint8_t b : record) sum = static_cast<uint8_t>(sum + b);
    if (sum != 0) throw std::runtime_error(where + ": checksum error");
    const uint32_t offset = (record[1] << 8) | record[2];
    const uint8_t* data = record.data() + 4;
    switch (record[3]) {
      case kData:
        for (uint32_t i = 0; i < record[0]; ++i) image[base + offset + i] = data[i];
        break;
      case kEndOfFile:
        return image;
      case kExtendedSegmentAddress:
        base = ((data[0] << 8) | data[1]) << 4;
        break;
      case kExtendedLinearAddress:
        base = ((data[0] << 8) | data[1]) << 16;
        break;
      default:
        break;  // start addresses: nothing to load
    }
  }
  return image;
}

}  // namespace velmora::sim
