#include "ui/ui_widgets.h"

#include <QAbstractItemView>
#include <QHelpEvent>
#include <QScrollBar>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QToolTip>
#include <algorithm>

#include "ui/controls/cqel_button.h"
#include "ui/controls/cqel_list_box.h"
#include "ui/controls/cqel_progress_ctrl.h"

namespace velmora::ui {

QAbstractButton* MakeIconButton(QWidget* parent, int bitmapResource) {
  auto* button = new CqelButton(parent);
  button->LoadIconBitmap(bitmapResource);
  return button;
}

namespace {

// The lists keep the width the page layout gives them; the texts of the gputils headers and the
// fuse tables are often longer.
class OptionList final : public QComboBox {
 public:
  using QComboBox::QComboBox;

  // Qt widens the drop-down to its texts only in some styles; this does in every style, with
  // the room around the text that the closed list has (frame, margins, arrow).
  void showPopup() override {
    QStyleOptionComboBox option;
    initStyleOption(&option);
    const QRect field =
        style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
    QAbstractItemView* items = view();
    int widest = 0;
    for (int i = 0; i < count(); ++i) {
      widest = std::max(widest, items->fontMetrics().horizontalAdvance(itemText(i)));
    }
    const int scrollBar =
        count() > maxVisibleItems() ? items->verticalScrollBar()->sizeHint().width() : 0;
    items->setMinimumWidth(widest + width() - field.width() + scrollBar);
    QComboBox::showPopup();
  }

 protected:
  bool event(QEvent* event) override {
    if (event->type() != QEvent::ToolTip) return QComboBox::event(event);
    const QString text = OptionListToolTip(*this);
    if (text.isEmpty()) {
      QToolTip::hideText();
      event->ignore();
    } else {
      QToolTip::showText(static_cast<QHelpEvent*>(event)->globalPos(), text, this);
    }
    return true;
  }
};

}  // namespace

QComboBox* MakeOptionList(QWidget* parent) {
  return new OptionList(parent);
}

QString OptionListToolTip(const QComboBox& list) {
  const QString current = list.currentText();
  if (current.isEmpty()) return list.toolTip();
  if (list.toolTip().isEmpty()) return current;
  return list.toolTip() + QLatin1Char('\n') + current;
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
