// A family added through the registries alone, in the test, reaches the start page: its button
// there, enabled because its page is registered, opening its page; the page's buttons start the
// family's commands through the document.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>

#include "engine/cqel_doc.h"
#include "families/family_registry.h"
#include "gui_test_support.h"
#include "ui/base_view.h"
#include "ui/cqel_app.h"
#include "ui/main_frame.h"
#include "ui/page_registry.h"

namespace velmora {
namespace {

constexpr int kStubPage = 100;
constexpr int kStubButton = 9001;
constexpr int kStubCommandButton = 9002;
int stubRuns = 0;

class StubOperations final : public IFamilyOperations {
 public:
  explicit StubOperations(CqelDoc& doc) : doc_(doc) {}
  bool Prepare(int) override { return true; }
  void Run(int) override {
    ++stubRuns;
    doc_.lastOutcome = OperationOutcome::kSuccess;
  }

 private:
  CqelDoc& doc_;
};

constexpr FamilyCommand kStubCommands[] = {
    {.id = 3, .name = "probe", .help = "probe the stub", .onWorker = false, .inputs = 0}};
constexpr int kStubPages[] = {kStubPage};
const FamilyRow kStubRow{
    .family = static_cast<Family>(42),
    .name = "stub",
    .title = "Stub family",
    .catalogue = nullptr,
    .commands = kStubCommands,
    .makeOperations = [](CqelDoc& doc) -> std::unique_ptr<IFamilyOperations> {
      return std::make_unique<StubOperations>(doc);
    },
    .pages = kStubPages,
    .startButtonId = kStubButton,
    .startButtonText = "Stub",
    .hexExtents = nullptr,
};

class StubPage final : public CBaseView {
 public:
  using CBaseView::CBaseView;
  Family PageFamily() const override { return kStubRow.family; }
  std::span<const PageCommand> PageCommands() const override { return kCommands; }

 protected:
  void BuildControls() override { AddButton(kStubCommandButton, QStringLiteral("Probe")); }

 private:
  static constexpr PageCommand kCommands[] = {{kStubCommandButton, 3}};
};

TEST(FamilyPageTest, AFamilyAddedThroughTheRegistriesGetsItsStartButtonAndItsPage) {
  AddFamily(kStubRow);
  const PageRow pages[] = {{kStubPage, MakePage<StubPage>}};
  AddPages(pages);
  stubRuns = 0;
  {
    GuiTestEnvironment env;
    CqelApp app;
    ASSERT_TRUE(app.InitInstance(env.Start()));
    CBaseView& start = *app.MainFrame().ActiveView();
    QAbstractButton* button = start.Button(kStubButton);
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QStringLiteral("Stub"));
    EXPECT_TRUE(button->isEnabled());

    button->click();
    EXPECT_EQ(app.MainFrame().CurrentViewType(), kStubPage);
    app.MainFrame().ActiveView()->Button(kStubCommandButton)->click();
    EXPECT_EQ(stubRuns, 1);
    EXPECT_EQ(app.Document().lastOutcome, OperationOutcome::kSuccess);
  }
  ResetFamilies();
  ResetPages();
}

}  // namespace
}  // namespace velmora
