#include "shown_status.h"

#include "ui/controls/cqel_progress_ctrl.h"

namespace velmora {

ShownStatus ShownStatusOf(QWidget* statusControl) {
  const auto* bar = qobject_cast<CqelProgressCtrl*>(statusControl);
  if (!bar) return {};
  const ProgressDrawState state = bar->State();
  return {state.caption, state.position, state.barColour};
}

}  // namespace velmora
