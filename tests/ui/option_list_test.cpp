// The option lists of the pages show their whole texts: the drop-down of a list is as wide as
// its longest item, and the tooltip of a list adds the whole text of its current item.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>

#include "families/family_row.h"
#include "gui_test_support.h"
#include "option_list_check.h"
#include "ui/base_view.h"
#include "ui/main_frame.h"
#include "ui/page_registry.h"

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

TEST_F(OptionListTest, EveryPagesListsShowTheirWholeTexts) {
  for (const auto& [viewType, make] : ViewFactories()) {
    SCOPED_TRACE(viewType);
    CheckListsOf(Show(viewType));
  }
}

}  // namespace
}  // namespace velmora
