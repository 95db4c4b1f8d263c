#include "hex_image.h"

#include <memory>
#include <stdexcept>

#include "memory/intel_hex.h"
#include "memory/memory_image.h"
#include "platform/user_prompt.h"

namespace velmora::sim {

// Loads through the programmer's own reader; a file it would question (checksum error, unknown
// record) is refused rather than loaded in part.
HexImage ReadHexFile(const std::string& path) {
  auto image = std::make_unique<CMCUMemoryArchitecture>();
  ScriptedPrompt refuse;
  refuse.SetDefaultAnswer(Answer::No);
  if (velmora::ReadHexFile(*image, path, refuse) != 1) {
    const auto asked = refuse.Records();
    throw std::runtime_error("cannot read HEX file " + path +
                             (asked.empty() ? "" : ": " + asked.front().text));
  }
  HexImage cells;
  for (const MemoryWindow& w : window::kAll) {
    const int32_t* cell = image->CellPointer(w.firstAddress);
    for (uint32_t i = 0; i < w.cellCount; ++i) {
      if (cell[i] >= 0) cells[w.firstAddress + i] = static_cast<uint8_t>(cell[i]);
    }
  }
  return cells;
}

}  // namespace velmora::sim
