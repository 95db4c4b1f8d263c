#pragma once
// The HEX file an operation starts from, loaded in its preparation.
#include <string>

#include "engine/cqel_doc.h"
#include "memory/memory_image.h"

namespace velmora {

// Loads the file into `image`. When it does not read, the operation fails before it starts:
// the log says why, naming the file (and the line of a HEX error), and the bar shows "Fail" at
// once, so no earlier "Success" stays on it.
bool LoadOperationHexFile(CqelDoc& doc, CMCUMemoryArchitecture& image, const std::string& fileName);

}  // namespace velmora
