// The PIC18 pages' option controls per device: which are shown, what the lists offer and how
// the controls map to the option selections.
#include <gtest/gtest.h>

#include <QApplication>
#include <algorithm>

#include "families/pic18/config_pic18.h"
#include "platform/user_prompt.h"
#include "ui/control_ids.h"
#include "ui/cqel_app.h"
#include "ui/gui_test_support.h"
#include "ui/main_frame.h"
#include "ui/pic18/pic18_options.h"
#include "ui/pic18/pic18_views.h"

namespace velmora {
namespace {

constexpr int kOscillatorList = 1210;
constexpr int kBrownOutVoltageList = 1211;
constexpr int kCpuClockList = 1215;
constexpr int kProcessorModeList = 1216;  // PIC18PLLDIV carries the processor mode on 8x parts
constexpr int kSystemClockSwitchCheck = 1206;
constexpr int kWatchdogCheck = 1200;
constexpr int kCodeProtect7Check = 1237;

class Pic18PageTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app_.InitInstance(env_.Start()));
    std::fill(std::begin(options_), std::end(options_), 1);
  }
  CPIC18BaseView& Show(int type, std::string_view device) {
    app_.MainFrame().SwitchView(type);
    auto& page = static_cast<CPIC18BaseView&>(*app_.MainFrame().ActiveView());
    page.ShowPic18Device(device, "", options_);
    return page;
  }
  QStringList Items(const CBaseView& page, int id) {
    QStringList items;
    const QComboBox* combo = page.ComboBox(id);
    for (int i = 0; i < combo->count(); ++i) items << combo->itemText(i);
    return items;
  }

  GuiTestEnvironment env_;
  CqelApp app_;
  OptionSelections options_;
};

TEST_F(Pic18PageTest, ShowsExactlyTheOptionsTheDeviceOffers) {
  for (const char* device : {"PIC18F452", "PIC18F4550", "PIC18F8722", "PIC18F6310"}) {
    const std::vector<OptionId> offered = Pic18OptionsOffered(device);
    for (int type : {kPic18Page, kPic18ExtendedPage}) {
      CPIC18BaseView& page = Show(type, device);
      for (const auto& option : Pic18OptionControls()) {
        QWidget* control = page.Control(option.id);
        if (!control) continue;
        const bool expected =
            std::find(offered.begin(), offered.end(), option.option) != offered.end();
        EXPECT_EQ(!control->isHidden(), expected) << device << " " << kOptionNames[option.option];
      }
    }
  }
}

TEST_F(Pic18PageTest, ListIndexIsTheFieldValue) {
  options_[PIC18FOSC] = 6;
  options_[PIC18BORV] = 2;
  CPIC18BaseView& page = Show(kPic18Page, "PIC18F242");
  EXPECT_EQ(Items(page, kBrownOutVoltageList), QStringList({"4.5V", "4.2V", "2.7V", "2.0V"}));
  EXPECT_EQ(page.ComboBox(kOscillatorList)->count(), 8);
  EXPECT_EQ(page.ComboBox(kOscillatorList)->currentText(), QStringLiteral("HS PLL on"));
  EXPECT_EQ(page.ComboBox(kBrownOutVoltageList)->currentIndex(), 2);

  // The newer parts have a four-bit oscillator field and a CPU clock postscaler.
  CPIC18BaseView& usb = Show(kPic18Page, "PIC18F4550");
  EXPECT_EQ(usb.ComboBox(kOscillatorList)->count(), 16);
  EXPECT_EQ(usb.ComboBox(kCpuClockList)->count(), 4);
  EXPECT_TRUE(usb.Control(kSystemClockSwitchCheck)->isHidden());
}

TEST_F(Pic18PageTest, SharedOptionsAreLabelledAsTheDeviceNamesThem) {
  CPIC18BaseView& page = Show(kPic18Page, "PIC18F8722");
  auto* label = qobject_cast<QLabel*>(page.Control(kProcessorModeList + ctl::kComboLabelOffset));
  ASSERT_NE(label, nullptr);
  EXPECT_FALSE(label->text().contains(QStringLiteral("PLL")));
  EXPECT_EQ(page.ComboBox(kProcessorModeList)->count(), 4);
}

TEST_F(Pic18PageTest, StoringWritesOnlyTheShownControls) {
  CPIC18BaseView& page = Show(kPic18Page, "PIC18F4550");
  page.ComboBox(kOscillatorList)->setCurrentIndex(12);
  page.CheckBox(kWatchdogCheck)->setChecked(false);
  OptionSelections stored;
  std::fill(std::begin(stored), std::end(stored), 7);
  page.StorePic18Options(stored);
  EXPECT_EQ(stored[PIC18FOSC], 12);
  EXPECT_EQ(stored[PIC18WDTEN], 0);
  EXPECT_EQ(stored[PIC18OSCEN], 7);  // not offered by this device: unchanged
  EXPECT_EQ(stored[PIC18CP0], 7);    // lives on the extended page

  CPIC18BaseView& extended = Show(kPic18ExtendedPage, "PIC18F4550");
  EXPECT_TRUE(extended.Control(kCodeProtect7Check)->isHidden());
  extended.CheckBox(1230)->setChecked(false);
  extended.StorePic18Options(stored);
  EXPECT_EQ(stored[PIC18CP0], 0);
  EXPECT_EQ(stored[PIC18CP7], 7);
}

TEST_F(Pic18PageTest, AnUnknownDeviceShowsNoOptions) {
  CPIC18BaseView& page = Show(kPic18Page, "Unknown Device");
  for (const auto& option : Pic18OptionControls()) {
    if (QWidget* control = page.Control(option.id)) {
      EXPECT_TRUE(control->isHidden()) << kOptionNames[option.option];
    }
  }
  EXPECT_EQ(qobject_cast<QLabel*>(page.Control(ctl::kWhiteText))->text(),
            QStringLiteral("No device identified"));
}

}  // namespace
}  // namespace velmora
