#include "ui/ui_widgets.h"

#include "ui/controls/cqel_button.h"
#include "ui/controls/cqel_list_box.h"
#include "ui/controls/cqel_progress_ctrl.h"

namespace velmora::ui {

QAbstractButton* MakeIconButton(QWidget* parent, int bitmapResource) {
  auto* button = new CqelButton(parent);
  button->LoadIconBitmap(bitmapResource);
  return button;
}

QWidget* MakeLogList(QWidget* parent) {
  return new CqelListBox(parent);
}

QWidget* MakeStatusControl(QWidget* parent) {
  return new CqelProgressCtrl(parent);
}

void OnStatusControlClicked(QWidget* statusControl, QObject* context,
                            const std::function<void()>& onClick) {
  if (auto* bar = qobject_cast<CqelProgressCtrl*>(statusControl)) {
    QObject::connect(bar, &CqelProgressCtrl::clicked, context, onClick);
  }
}

}  // namespace velmora::ui
