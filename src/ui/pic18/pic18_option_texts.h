#pragma once
// Item texts of the PIC18 option lists, per device: the text of item i describes field value i.
// The table is generated at build time from the gputils device headers (tools/), so the names
// of the choices are the maker's.
#include <cstddef>
#include <string_view>

#include "engine/option_ids.h"

namespace velmora {

struct Pic18ListTexts {
  const char* device;
  OptionId option;
  const char* label;  // the maker's description of the field, e.g. "Oscillator Selection"
  const char* const* items;
  int count;  // 2 to the field width
};

// nullptr when the device has no such list.
const Pic18ListTexts* FindPic18ListTexts(std::string_view device, OptionId option);

}  // namespace velmora
