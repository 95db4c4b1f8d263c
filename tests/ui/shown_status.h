#pragma once
// What the status bar control of a page shows. Kept apart from the tests' other includes:
// the control and the document's bar model each name their state struct ProgressBarState.
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
