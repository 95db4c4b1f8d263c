#pragma once
// Intel HEX reading for the simulator's initial target memory, as the programmer reads it.
#include <string>

#include "target.h"

namespace velmora::sim {

// Throws std::runtime_error when the file cannot be read or does not read cleanly.
HexImage ReadHexFile(const std::string& path);

}  // namespace velmora::sim
