// The control half of StatusBarAttachment (sees the owner-drawn bar's state only).
#include <QMetaObject>

#include "ui/controls/cqel_progress_ctrl.h"
#include "ui/status_bar_attachment.h"

namespace velmora {

void StatusBarAttachment::Attach(QWidget* widget) {
  auto* control = qobject_cast<CqelProgressCtrl*>(widget);
  {
    std::lock_guard lock(mutex_);
    control_ = control;
  }
  if (control) Show(Current());
}

void StatusBarAttachment::Show(const StatusPicture& picture) {
  std::lock_guard lock(mutex_);
  CqelProgressCtrl* control = control_;
  if (!control) return;
  ProgressDrawState state;  // the control's
  state.caption = picture.caption;
  state.position = picture.position;
  state.minimum = picture.minimum;
  state.maximum = picture.maximum;
  state.barColour = static_cast<ColorRef>(picture.barColour);
  state.filledTextColour = static_cast<ColorRef>(picture.filledTextColour);
  state.emptyTextColour = static_cast<ColorRef>(picture.emptyTextColour);
  control->SetState(state);
  const bool enabled = picture.enabled;
  QMetaObject::invokeMethod(
      control, [control, enabled] { control->setEnabled(enabled); }, Qt::AutoConnection);
}

}  // namespace velmora
