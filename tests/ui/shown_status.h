#pragma once
// What the status bar control of a page shows, read back from the control.
#include <cstdint>
#include <string>

class QWidget;

namespace velmora {

struct ShownStatus {
  std::string caption;
  int position = 0;
  uint32_t barColour = 0;
};

ShownStatus ShownStatusOf(QWidget* statusControl);

}  // namespace velmora
