#pragma once
// Helpers for the tests of the programmer's PIC18 core: HEX files of the coverage programs
// (tests/data/pic18core) loaded into program memory, and small programs given as words.
#include <cstdint>
#include <fstream>
#include <initializer_list>
#include <stdexcept>
#include <string>

#include "sim/mcu/pic18_core.h"

namespace velmora::sim::testing {

inline std::string CoreProgramPath(const std::string& name) {
  return std::string(VELMORA_TEST_DATA_DIR) + "/pic18core/" + name;
}

// Loads the data records of an Intel HEX file below the end of program memory (the
// configuration bytes lie beyond it).
inline void LoadHex(Pic18Core& core, const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read " + path);
  uint32_t upper = 0;
  std::string line;
  while (std::getline(in, line)) {
    if (line.empty() || line[0] != ':') continue;
    auto byte = [&](size_t i) { return std::stoul(line.substr(1 + 2 * i, 2), nullptr, 16); };
    const uint32_t count = byte(0);
    const uint32_t offset = byte(1) << 8 | byte(2);
    const uint32_t type = byte(3);
    if (type == 4) upper = (byte(4) << 8 | byte(5)) << 16;
    if (type != 0) continue;
    for (uint32_t i = 0; i < count; ++i) {
      const uint32_t address = upper + offset + i;
      if (address < core.program().size()) core.program()[address] = uint8_t(byte(4 + i));
    }
  }
}

// Places instruction words from `address` on.
inline void PlaceWords(Pic18Core& core, uint32_t address, std::initializer_list<uint16_t> words) {
  for (uint16_t word : words) {
    core.program()[address++] = static_cast<uint8_t>(word);
    core.program()[address++] = static_cast<uint8_t>(word >> 8);
  }
}

}  // namespace velmora::sim::testing
