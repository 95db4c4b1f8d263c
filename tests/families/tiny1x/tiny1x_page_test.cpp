// The ATtiny11/12 page: its controls, the fuse bytes its boxes and lists make, its commands on
// the simulated ATtiny12, and its browse buttons while an operation runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <future>
#include <nlohmann/json.hpp>

#include "families/family_registry.h"
#include "families/tiny1x/tiny1x_family.h"
#include "families/tiny1x/tiny1x_operations.h"
#include "link/pic_vortang.h"
#include "sim/client/sim_client.h"
#include "ui/control_ids.h"
#include "ui/cqel_app.h"
#include "ui/gui_test_support.h"
#include "ui/main_frame.h"
#include "ui/tiny1x/tiny1x_views.h"

namespace velmora {
namespace {

using namespace tiny1x_ctl;

const QString kProgram = QStringLiteral(VELMORA_TINY1X_DATA "/attiny12.hex");
const QString kEeprom = QStringLiteral(VELMORA_TINY1X_DATA "/attiny12.eep");

class CountingChooser final : public IFileChooser {
 public:
  QString ChooseFileToOpen(QWidget*, const FileSelection&, const QString&) override {
    ++dialogs;
    return answer;
  }
  void OpenWithAssociatedProgram(const QString&) override {}
  bool ControlKeyHeld() const override { return false; }
  QString answer;
  int dialogs = 0;
};

class Tiny1xPageTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app_.InitInstance(env_.Start(QStringLiteral("ATtiny12"))));
    auto chooser = std::make_unique<CountingChooser>();
    chooser_ = chooser.get();
    app_.MainFrame().SetFileChooser(std::move(chooser));
    Page().Button(ctl::kFamilyTiny12)->click();
  }
  CBaseView& Page() { return *app_.MainFrame().ActiveView(); }
  Tiny1xPageState& State() {
    return static_cast<CTiny1xOperations&>(OperationsOf(app_.Document(), Tiny1xFamilyRow())).state;
  }
  void Finish() {
    app_.Document().WaitForOperation();
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
  }
  uint8_t ChipFuse() {
    const std::string hex = nlohmann::json::parse(sim_.StateJson())["target"]["fuse"];
    return static_cast<uint8_t>(std::stoul(hex, nullptr, 16));
  }

  GuiTestEnvironment env_;
  CqelApp app_;
  CountingChooser* chooser_ = nullptr;
  sim::SimClient sim_{VELMORA_BINARY_DIR "/bin/libvelmora-sim.so"};
};

TEST_F(Tiny1xPageTest, TheStartPageOpensItWithItsButtonsAndLists) {
  EXPECT_EQ(app_.MainFrame().CurrentViewType(), kTiny12Page);
  EXPECT_EQ(Page().GetViewTitle(), QStringLiteral("AT-Tiny 11/12 Programmer"));
  EXPECT_EQ(Page().Button(ctl::kIdentify)->text(), QStringLiteral("Identify Tiny"));
  EXPECT_EQ(Page().Button(ctl::kReadConfiguration)->text(),
            QString::fromUtf8("Get Config. from µC"));
  EXPECT_EQ(Page().ComboBox(kTiny12Clock)->count(), 16);
  EXPECT_EQ(Page().ComboBox(kTiny11Clock)->count(), 8);
  EXPECT_EQ(Page().ComboBox(kCalibration)->itemText(1),
            QStringLiteral("Add Calibration Byte at the end of Flash Memory"));
  // Before identification the ATtiny12's bits are on show.
  EXPECT_FALSE(Page().Control(kSpien)->isHidden());
  EXPECT_TRUE(Page().Control(kFstrt)->isHidden());
}

// "Get Config. from µC" puts the chip's fuse on the page; a box the user ticks is what Program
// writes.
TEST_F(Tiny1xPageTest, FuseBoxesShowTheChipAndMakeTheByteThatIsProgrammed) {
  Page().Button(ctl::kReadConfiguration)->click();
  Finish();
  ASSERT_EQ(app_.Document().lastOutcome, OperationOutcome::kSuccess);
  // 0x52: BODLEVEL 0, BODEN 1, SPIEN 0, RSTDISBL 1, CKSEL 0010.
  EXPECT_FALSE(Page().CheckBox(kBoden)->isChecked());
  EXPECT_TRUE(Page().CheckBox(kSpien)->isChecked());
  EXPECT_FALSE(Page().CheckBox(kRstdisbl)->isChecked());
  EXPECT_EQ(Page().ComboBox(kTiny12Clock)->currentIndex(), 2);
  EXPECT_EQ(Page().ComboBox(kBodLevel)->currentIndex(), 0);
  EXPECT_FALSE(Page().CheckBox(kLb1)->isChecked());

  Page().CheckBox(kBoden)->click();  // BODEN programmed
  EXPECT_EQ(State().optionBytes[1], 0x12);
  Page().Edit(ctl::kHexFileEdit)->setText(kProgram);
  Page().Button(ctl::kProgram)->click();
  Finish();
  EXPECT_EQ(app_.Document().lastOutcome, OperationOutcome::kSuccess)
      << LogLines(app_.Document()).join('\n').toStdString();
  EXPECT_EQ(ChipFuse(), 0x12);
}

// A file chosen while a Program runs would change the image being written: neither browse button
// asks or loads anything then.
TEST_F(Tiny1xPageTest, BrowseDuringARunningOperationChangesNothing) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  ASSERT_TRUE(app_.Document().StartOperation([released] { released.wait(); }));
  const int32_t before = app_.Document().programmer->fileImage.programMemory[0];
  chooser_->answer = kProgram;
  Page().Button(ctl::kHexFileBrowse)->click();
  chooser_->answer = kEeprom;
  Page().Button(ctl::kEepromFileBrowse)->click();
  EXPECT_EQ(chooser_->dialogs, 0);
  EXPECT_EQ(app_.Document().programmer->fileImage.programMemory[0], before);
  CTiny1xOperations& ops =
      static_cast<CTiny1xOperations&>(OperationsOf(app_.Document(), Tiny1xFamilyRow()));
  EXPECT_EQ(ops.EepromFileName(), "");
  release.set_value();
  Finish();

  Page().Button(ctl::kEepromFileBrowse)->click();
  EXPECT_EQ(chooser_->dialogs, 1);
  EXPECT_EQ(ops.EepromFileName(), kEeprom.toStdString());
  EXPECT_EQ(Page().Edit(kEepromFileText)->text(), kEeprom);
  chooser_->answer = kProgram;
  Page().Button(ctl::kHexFileBrowse)->click();
  EXPECT_EQ(chooser_->dialogs, 2);
  EXPECT_EQ(app_.Document().programmer->fileImage.programMemory[0], 0xEF);
}

}  // namespace
}  // namespace velmora
