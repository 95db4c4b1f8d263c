// The PIC12F629 page: its controls, the configuration word its boxes make, the calibration
// choices it checks, and its commands on the simulated PIC12F675.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <future>
#include <nlohmann/json.hpp>

#include "families/family_registry.h"
#include "families/pic12/pic12_family.h"
#include "families/pic12/pic12_operations.h"
#include "link/pic_vortang.h"
#include "sim/client/sim_client.h"
#include "ui/control_ids.h"
#include "ui/cqel_app.h"
#include "ui/gui_test_support.h"
#include "ui/main_frame.h"
#include "ui/pic12/pic12_views.h"

namespace velmora {
namespace {

const QString kProgram =
    QStringLiteral(VELMORA_BINARY_DIR "/test-data/pic12/pic12f675_calibrated.hex");

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

class Pic12PageTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app_.InitInstance(env_.Start(QStringLiteral("PIC12F675"))));
    auto chooser = std::make_unique<CountingChooser>();
    chooser_ = chooser.get();
    app_.MainFrame().SetFileChooser(std::move(chooser));
    app_.MainFrame().SwitchView(kPic12Page);
  }
  CBaseView& Page() { return *app_.MainFrame().ActiveView(); }
  Pic12PageState& State() {
    return static_cast<CPic12Operations&>(OperationsOf(app_.Document(), Pic12FamilyRow())).state;
  }
  void Finish() {
    app_.Document().WaitForOperation();
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
  }
  nlohmann::json Chip() { return nlohmann::json::parse(sim_.StateJson())["target"]; }
  uint16_t ChipWord(const char* memory, size_t word) {
    const std::string hex = Chip()[memory];
    return static_cast<uint16_t>(std::stoul(hex.substr(4 * word, 2), nullptr, 16) |
                                 std::stoul(hex.substr(4 * word + 2, 2), nullptr, 16) << 8);
  }

  GuiTestEnvironment env_;
  CqelApp app_;
  CountingChooser* chooser_ = nullptr;
  sim::SimClient sim_{VELMORA_BINARY_DIR "/bin/libvelmora-sim.so"};
};

TEST_F(Pic12PageTest, CarriesTheFamilysButtonsAndLists) {
  EXPECT_EQ(Page().GetViewTitle(), QStringLiteral("PIC12F629 Programmer"));
  EXPECT_EQ(Page().Button(ctl::kEraseChipNow)->text(), QStringLiteral("Erase Flash"));
  EXPECT_EQ(Page().Button(ctl::kProgram)->text(), QStringLiteral("Program PIC"));
  EXPECT_EQ(Page().ComboBox(pic12ctl::kOscillator)->count(), 7);
  EXPECT_EQ(Page().ComboBox(pic12ctl::kOscillator)->itemText(4),
            QStringLiteral("INTOSC GP4/RA4 & GP5/RA5 = I/O"));
  EXPECT_EQ(Page().ComboBox(pic12ctl::kBandGap)->itemText(0), QStringLiteral("retain"));
  EXPECT_EQ(Page().Button(ctl::kEraseIdLocation), nullptr);
}

// The default word 0x01E4 on the boxes; ticking CP takes the page's word instead of the file's
// and programs it, the chip's band-gap bits kept.
TEST_F(Pic12PageTest, OptionBoxesMakeTheConfigurationWordThatIsProgrammed) {
  EXPECT_TRUE(Page().CheckBox(pic12ctl::kBoden)->isChecked());
  EXPECT_TRUE(Page().CheckBox(pic12ctl::kPwrte)->isChecked());
  EXPECT_FALSE(Page().CheckBox(pic12ctl::kCp)->isChecked());
  EXPECT_EQ(Page().ComboBox(pic12ctl::kOscillator)->currentIndex(), 4);
  EXPECT_FALSE(Page().CheckBox(pic12ctl::kIgnoreHexConfiguration)->isChecked());
  Page().CheckBox(pic12ctl::kCp)->click();
  EXPECT_TRUE(Page().CheckBox(pic12ctl::kIgnoreHexConfiguration)->isChecked());

  Page().Edit(ctl::kHexFileEdit)->setText(kProgram);
  Page().Button(ctl::kProgram)->click();
  Finish();
  EXPECT_EQ(app_.Document().lastOutcome, OperationOutcome::kSuccess);
  EXPECT_EQ(State().configurationWord, 0x0164);
  EXPECT_EQ(ChipWord("configuration", 7), 0x2164);
  EXPECT_EQ(ChipWord("program", 0x3FF), 0x345C);
}

TEST_F(Pic12PageTest, CalibrationValueOutsideAByteIsRejected) {
  Page().Edit(pic12ctl::kCalibrationValue)->setText(QStringLiteral("300"));
  Page().ComboBox(pic12ctl::kBandGap)->setCurrentIndex(2);
  Page().Button(ctl::kIdentify)->click();
  Finish();
  const auto records = env_.prompt.Records();
  ASSERT_FALSE(records.empty());
  EXPECT_EQ(records.front().caption, "Parameter Error");
  EXPECT_EQ(records.front().text,
            "Calibration Value must be between 0 and 255.\nOscillator and Band Gap Calibration "
            "rejected!");
  EXPECT_EQ(State().calibrationValue, -1);
  EXPECT_EQ(State().bandGapSelection, 0);
}

// A file chosen while a Program runs would change the image being written: the browse button
// asks nothing and loads nothing then.
TEST_F(Pic12PageTest, BrowseDuringARunningOperationChangesNothing) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  ASSERT_TRUE(app_.Document().StartOperation([released] { released.wait(); }));
  const int32_t before = app_.Document().programmer->fileImage.programMemory[0];
  chooser_->answer = kProgram;
  Page().Button(ctl::kHexFileBrowse)->click();
  EXPECT_EQ(chooser_->dialogs, 0);
  EXPECT_EQ(app_.Document().programmer->fileImage.programMemory[0], before);
  release.set_value();
  Finish();

  // Once nothing runs, the file loads and its configuration word becomes the page's.
  Page().Button(ctl::kHexFileBrowse)->click();
  EXPECT_EQ(chooser_->dialogs, 1);
  EXPECT_EQ(app_.Document().programmer->fileImage.programMemory[0], 0x83);
  EXPECT_EQ(State().configurationWord, 0x3FC4);
  EXPECT_FALSE(Page().CheckBox(pic12ctl::kCpd)->isChecked());
}

}  // namespace
}  // namespace velmora
