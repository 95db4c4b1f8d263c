// The PIC10F20x page: the type list and its log line, the configuration boxes, the busy guard
// of the browse button, and its commands on the simulated PIC10F200.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <future>
#include <nlohmann/json.hpp>

#include "families/family_registry.h"
#include "families/pic10/pic10_family.h"
#include "families/pic10/pic10_operations.h"
#include "link/pic_vortang.h"
#include "sim/client/sim_client.h"
#include "ui/control_ids.h"
#include "ui/cqel_app.h"
#include "ui/gui_test_support.h"
#include "ui/main_frame.h"
#include "ui/pic10/pic10_views.h"

namespace velmora {
namespace {

const QString kProgram =
    QStringLiteral(VELMORA_BINARY_DIR "/test-data/pic10/pic10f200_calibrated.hex");

class AnsweringChooser final : public IFileChooser {
 public:
  QString ChooseFileToOpen(QWidget*, const FileSelection&, const QString&) override {
    ++dialogs;
    return kProgram;
  }
  void OpenWithAssociatedProgram(const QString&) override {}
  bool ControlKeyHeld() const override { return false; }
  int dialogs = 0;
};

class Pic10PageTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app_.InitInstance(env_.Start(QStringLiteral("PIC10F200"))));
    auto chooser = std::make_unique<AnsweringChooser>();
    chooser_ = chooser.get();
    app_.MainFrame().SetFileChooser(std::move(chooser));
    app_.MainFrame().SwitchView(kPic10Page);
  }
  CBaseView& Page() { return *app_.MainFrame().ActiveView(); }
  void Finish() {
    app_.Document().WaitForOperation();
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
  }
  void ChooseType(int index) {
    QComboBox* type = Page().ComboBox(pic10ctl::kType);
    type->setCurrentIndex(index);
    emit type->activated(index);
  }
  uint16_t ChipWord(size_t word) {
    const std::string hex = nlohmann::json::parse(sim_.StateJson())["target"]["words"];
    return static_cast<uint16_t>(std::stoul(hex.substr(4 * word, 2), nullptr, 16) |
                                 std::stoul(hex.substr(4 * word + 2, 2), nullptr, 16) << 8);
  }

  GuiTestEnvironment env_;
  CqelApp app_;
  AnsweringChooser* chooser_ = nullptr;
  sim::SimClient sim_{VELMORA_BINARY_DIR "/bin/libvelmora-sim.so"};
};

TEST_F(Pic10PageTest, ChoosingATypeLogsItsNameAndSize) {
  EXPECT_EQ(Page().GetViewTitle(), QStringLiteral("PIC10F20x Programmer"));
  ChooseType(3);
  EXPECT_EQ(app_.Document().pic10TypeSelection, 3);
  const QStringList lines = LogLines(app_.Document());
  ASSERT_GE(lines.size(), 2);
  EXPECT_TRUE(lines.back().endsWith(QStringLiteral(
      "MCU has changed to PIC10F202/206 (DON'T USE FOR PROGRAMMING !!!)   FlashMemory=562 "
      "Instructions")))
      << lines.back().toStdString();
}

TEST_F(Pic10PageTest, ProgramsThroughThePageAndRefusesTheBackupTypes) {
  ChooseType(0);
  Page().Button(ctl::kHexFileBrowse)->click();
  EXPECT_EQ(chooser_->dialogs, 1);
  // The file's word 0xFEB: MCLRE, CP and WDTE all off.
  EXPECT_FALSE(Page().CheckBox(pic10ctl::kMclre)->isChecked());
  EXPECT_FALSE(Page().CheckBox(pic10ctl::kWdte)->isChecked());
  EXPECT_FALSE(Page().CheckBox(pic10ctl::kCp)->isChecked());
  Page().Button(ctl::kProgram)->click();
  Finish();
  EXPECT_EQ(app_.Document().lastOutcome, OperationOutcome::kSuccess);
  EXPECT_EQ(ChipWord(0), 0x025);
  EXPECT_EQ(ChipWord(0x1FF), 0x0FEB);
  const uint16_t calibration = ChipWord(0xFF);
  EXPECT_EQ(calibration & 0xF00, 0xC00);

  ChooseType(2);
  Page().Button(ctl::kEraseChipNow)->click();
  Finish();
  EXPECT_NE(app_.Document().lastOutcome, OperationOutcome::kSuccess);
  EXPECT_EQ(ChipWord(0), 0x025);
  EXPECT_EQ(ChipWord(0xFF), calibration);
}

TEST_F(Pic10PageTest, BrowseDuringARunningOperationChangesNothing) {
  std::promise<void> release;
  std::shared_future<void> released = release.get_future().share();
  ASSERT_TRUE(app_.Document().StartOperation([released] { released.wait(); }));
  Page().Button(ctl::kHexFileBrowse)->click();
  EXPECT_EQ(chooser_->dialogs, 0);
  EXPECT_EQ(app_.Document().programmer->fileImage.programMemory[0], kBlankCell);
  release.set_value();
  Finish();
}

}  // namespace
}  // namespace velmora
