// The option lists of the pages show their whole texts: the drop-down of a list is as wide as
// its longest item, and the tooltip of a list adds the whole text of its current item.
#include <gtest/gtest.h>

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QHelpEvent>
#include <QToolTip>
#include <algorithm>

#include "engine/option_ids.h"
#include "families/family_row.h"
#include "gui_test_support.h"
#include "ui/base_view.h"
#include "ui/main_frame.h"
#include "ui/page_registry.h"
#include "ui/pic18/pic18_views.h"
#include "ui/ui_widgets.h"

namespace velmora {
namespace {

class OptionListTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(app_.InitInstance(env_.Start())); }
  CBaseView& Show(int viewType) {
    app_.MainFrame().SwitchView(viewType);
    QApplication::processEvents();
    return *app_.MainFrame().ActiveView();
  }

  GuiTestEnvironment env_;
  CqelApp app_;
};

// Checks the shown lists of `page` that hold items; returns how many have an item wider than
// the closed list, whose text the list itself cannot show whole.
int CheckListsOf(CBaseView& page) {
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

TEST_F(OptionListTest, Pic18ListsShowTheirWholeTexts) {
  auto& page = static_cast<CPIC18BaseView&>(Show(kPic18Page));
  OptionSelections options{};
  page.ShowPic18Device("PIC18F4550", "", options);
  QApplication::processEvents();
  // The PIC18F4550's oscillator and clock texts are longer than their lists.
  EXPECT_GT(CheckListsOf(page), 0);
}

TEST_F(OptionListTest, EveryPagesListsShowTheirWholeTexts) {
  for (const auto& [viewType, make] : ViewFactories()) {
    SCOPED_TRACE(viewType);
    CheckListsOf(Show(viewType));
  }
}

}  // namespace
}  // namespace velmora
