#pragma once
// Checks that the option lists of a page show their whole texts: the drop-down is as wide as the
// longest item, and the tooltip adds the whole text of the current item.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <QToolTip>
#include <algorithm>

#include "ui/base_view.h"
#include "ui/ui_widgets.h"

namespace velmora {

// Checks the shown lists of `page` that hold items; returns how many have an item wider than
// the closed list, whose text the list itself cannot show whole.
inline int CheckListsOf(CBaseView& page) {
  int longer = 0;
  for (QComboBox* list : page.findChildren<QComboBox*>()) {
    if (list->count() == 0 || !list->isVisibleTo(&page)) continue;
    SCOPED_TRACE(list->objectName().toStdString());
    QAbstractItemView* items = list->view();
    int widest = 0;
    for (int i = 0; i < list->count(); ++i) {
      widest = std::max(widest, items->fontMetrics().horizontalAdvance(list->itemText(i)));
    }
    if (widest > list->width()) ++longer;
    list->showPopup();
    EXPECT_TRUE(items->isVisible());
    EXPECT_GE(items->viewport()->width(), widest);
    list->hidePopup();

    if (list->currentIndex() < 0) continue;
    const QString tip = ui::OptionListToolTip(*list);
    EXPECT_TRUE(tip.endsWith(list->currentText())) << tip.toStdString();
    if (!list->toolTip().isEmpty()) {
      EXPECT_TRUE(tip.startsWith(list->toolTip()));
    }
    const QPoint inside = list->rect().center();
    QHelpEvent help(QEvent::ToolTip, inside, list->mapToGlobal(inside));
    QApplication::sendEvent(list, &help);
    EXPECT_EQ(QToolTip::text(), tip);
    QToolTip::hideText();
  }
  return longer;
}

}  // namespace velmora
