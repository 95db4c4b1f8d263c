#include "ui/ui_widgets.h"

#include <QListView>
#include <QPixmap>
#include <QProgressBar>
#include <QToolButton>

namespace velmora::ui {

QAbstractButton* MakeIconButton(QWidget* parent, art::Bitmap bitmap) {
  auto* button = new QToolButton(parent);
  const QImage icon = art::IconWithAlpha(bitmap);
  button->setIcon(QPixmap::fromImage(icon));
  button->setIconSize(icon.size());
  button->setAutoRaise(true);
  return button;
}

QWidget* MakeLogList(QWidget* parent) {
  auto* list = new QListView(parent);
  list->setUniformItemSizes(true);  // keeps long logs cheap to lay out
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setSelectionMode(QAbstractItemView::ExtendedSelection);
  return list;
}

QWidget* MakeStatusControl(QWidget* parent) {
  auto* bar = new QProgressBar(parent);
  bar->setRange(0, 999);
  bar->setValue(0);
  bar->setTextVisible(true);
  bar->setAlignment(Qt::AlignCenter);
  bar->setFormat(QString());
  return bar;
}

}  // namespace velmora::ui
