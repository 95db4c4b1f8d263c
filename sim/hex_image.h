#pragma once
// Intel HEX reading for the simulator's initial target memory (data, extended segment and
// extended linear address records).
#include <string>

#include "target.h"

namespace velmora::sim {

// Throws std::runtime_error when the file cannot be read or a record is malformed.
HexImage ReadHexFile(const std::string& path);

}  // namespace velmora::sim
