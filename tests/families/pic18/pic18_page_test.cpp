// The PIC18 pages' option controls per device: which are shown, what the lists offer and how
// the controls map to the option selections; on the simulated target, what a ticked box
// programs and what a configuration read leaves on the page.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <algorithm>
#include <nlohmann/json.hpp>

#include "families/pic18/config_pic18.h"
#include "platform/user_prompt.h"
#include "sim/client/sim_client.h"
#include "ui/control_ids.h"
#include "ui/cqel_app.h"
#include "ui/gui_test_support.h"
#include "ui/main_frame.h"
#include "ui/option_list_check.h"
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
constexpr int kCodeProtect0Check = 1230;
constexpr int kCodeProtect1Check = 1231;
constexpr int kCodeProtect3Check = 1233;
constexpr int kTableReadProtect7Check = 1257;
constexpr int kPowerUpTimerCheck = 1201;
constexpr int kBackgroundDebuggerCheck = 1270;
constexpr int kIcspPortCheck = 1274;
constexpr int kBrownOutResetList = 1212;
constexpr int kCcp2PinList = 1214;

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
  extended.CheckBox(kCodeProtect0Check)->setChecked(true);  // protect block 0: CP0 = 0
  extended.StorePic18Options(stored);
  EXPECT_EQ(stored[PIC18CP0], 0);
  EXPECT_EQ(stored[PIC18CP7], 7);
}

// A box named after a feature is ticked when the feature is on, also where the bit is 0 then
// (the stored selection stays the bit value).
TEST_F(Pic18PageTest, TickedMeansTheNamedFeatureIsOn) {
  options_[PIC18PWRTEN] = 0;  // power-up timer on
  options_[PIC18WDTEN] = 1;   // watchdog on
  options_[PIC18CP0] = 0;     // block 0 protected
  options_[PIC18CP1] = 1;     // block 1 not protected
  options_[PIC18BKBUG] = 1;   // background debugger off
  CPIC18BaseView& basic = Show(kPic18Page, "PIC18F4550");
  EXPECT_TRUE(basic.CheckBox(kPowerUpTimerCheck)->isChecked());
  EXPECT_TRUE(basic.CheckBox(kWatchdogCheck)->isChecked());
  CPIC18BaseView& extended = Show(kPic18ExtendedPage, "PIC18F4550");
  EXPECT_TRUE(extended.CheckBox(kCodeProtect0Check)->isChecked());
  EXPECT_FALSE(extended.CheckBox(kCodeProtect1Check)->isChecked());
  EXPECT_FALSE(extended.CheckBox(kBackgroundDebuggerCheck)->isChecked());

  // Stored back unchanged, and each box turned stores the other bit value.
  OptionSelections stored;
  std::copy(std::begin(options_), std::end(options_), std::begin(stored));
  basic.StorePic18Options(stored);
  extended.StorePic18Options(stored);
  EXPECT_TRUE(std::equal(std::begin(stored), std::end(stored), std::begin(options_)));
  extended.CheckBox(kCodeProtect0Check)->setChecked(false);
  extended.CheckBox(kCodeProtect1Check)->setChecked(true);
  extended.CheckBox(kBackgroundDebuggerCheck)->setChecked(true);
  extended.StorePic18Options(stored);
  EXPECT_EQ(stored[PIC18CP0], 1);
  EXPECT_EQ(stored[PIC18CP1], 0);
  EXPECT_EQ(stored[PIC18BKBUG], 0);
}

// The options a device has beyond the first tables, each shown for it.
TEST_F(Pic18PageTest, OffersTheOptionsTheDevicesHave) {
  const struct {
    const char* device;
    int control;
  } cases[] = {{"PIC18F2431", kCodeProtect3Check},     {"PIC18F4431", kBrownOutResetList},
               {"PIC18F2221", kCcp2PinList},           {"PIC18F6310", kCcp2PinList},
               {"PIC18F6585", kCcp2PinList},           {"PIC18F4550", kIcspPortCheck},
               {"PIC18F8722", kTableReadProtect7Check}};
  for (const auto& c : cases) {
    for (int type : {kPic18Page, kPic18ExtendedPage}) {
      CPIC18BaseView& page = Show(type, c.device);
      if (QWidget* control = page.Control(c.control)) {
        EXPECT_FALSE(control->isHidden()) << c.device << " " << c.control;
      }
    }
  }
  CPIC18BaseView& page = Show(kPic18Page, "PIC18F2221");
  EXPECT_EQ(Items(page, kCcp2PinList).size(), 2);
}

// On the simulated PIC18F4550 with the page's configuration programmed: a ticked code
// protection box protects block 0, an unticked one leaves it open; "Get Config. from PIC"
// leaves the chip's values on the pages until a HEX file is loaded again.
class Pic18PageOnTargetTest : public Pic18PageTest {
 protected:
  void Finish() {
    app_.Document().WaitForOperation();
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
  }
  CBaseView& Page() { return *app_.MainFrame().ActiveView(); }
  uint8_t TargetConfig5L() {
    const auto state = nlohmann::json::parse(sim_.StateJson())["target"];
    const std::string bytes = state["configuration"];
    return static_cast<uint8_t>(std::stoul(bytes.substr(2 * kConfig5L, 2), nullptr, 16));
  }

  sim::SimClient sim_{VELMORA_BINARY_DIR "/bin/libvelmora-sim.so"};
};

TEST_F(Pic18PageOnTargetTest, CodeProtectionBoxAndConfigurationReadFromTheChip) {
  const QString hex = QStringLiteral(VELMORA_TEST_DATA_DIR "/../../examples/pic18f4550-blink.hex");
  app_.MainFrame().SwitchView(kPic18Page);
  Page().Edit(ctl::kHexFileEdit)->setText(hex);
  Page().CheckBox(ctl::kIgnoreHexConfiguration)->setChecked(true);
  Page().Button(ctl::kIdentify)->click();
  Finish();
  app_.MainFrame().SwitchView(kPic18ExtendedPage);
  QCheckBox* cp0 = Page().CheckBox(kCodeProtect0Check);
  ASSERT_FALSE(cp0->isHidden());

  for (const bool protect : {true, false}) {
    SCOPED_TRACE(protect ? "ticked" : "unticked");
    cp0->setChecked(protect);
    Page().Button(ctl::kProgram)->click();
    Finish();
    EXPECT_EQ(app_.Document().lastOutcome, OperationOutcome::kSuccess);
    EXPECT_EQ((TargetConfig5L() & 0x01) == 0, protect);
    EXPECT_EQ(cp0->isChecked(), protect);
  }

  // Protect the chip again; with the file's configuration in use a Verify loads the file,
  // whose block 0 is open, and the pages show that.
  cp0->setChecked(true);
  Page().Button(ctl::kProgram)->click();
  Finish();
  app_.MainFrame().SwitchView(kPic18Page);
  Page().CheckBox(ctl::kIgnoreHexConfiguration)->setChecked(false);
  Page().Button(ctl::kVerify)->click();
  Finish();
  EXPECT_EQ(app_.Document().optionSelections[PIC18CP0], 1);

  // The chip's configuration stays on the pages, though the file image still holds the file's.
  Page().Button(ctl::kReadConfiguration)->click();
  Finish();
  EXPECT_EQ(app_.Document().optionSelections[PIC18CP0], 0);
  app_.MainFrame().SwitchView(kPic18ExtendedPage);
  EXPECT_TRUE(Page().CheckBox(kCodeProtect0Check)->isChecked()) << "the chip's, not the file's";
  EXPECT_EQ(app_.Document().optionSelections[PIC18CP0], 0);

  // Loading the file again shows its configuration.
  Page().Button(ctl::kVerify)->click();
  Finish();
  EXPECT_FALSE(Page().CheckBox(kCodeProtect0Check)->isChecked());
}

// The PIC18F4550's oscillator and clock texts are longer than their lists: the drop-downs and
// the tooltips show them whole.
TEST_F(Pic18PageTest, OptionListsShowTheirWholeTexts) {
  CPIC18BaseView& page = Show(kPic18Page, "PIC18F4550");
  QApplication::processEvents();
  EXPECT_GT(CheckListsOf(page), 0);
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
