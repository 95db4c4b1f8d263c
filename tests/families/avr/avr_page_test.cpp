// The ATmega pages: the fuse and lock options each device offers, list index = field value, the
// compact page, and on the simulated chip what a configuration read shows and what the page asks
// before writing fuses that would lock the programmer out.
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QRegularExpression>
#include <QTimer>
#include <algorithm>
#include <nlohmann/json.hpp>

#include "engine/cqel_doc.h"
#include "families/avr/config_avr.h"
#include "link/pic_vortang.h"
#include "memory/intel_hex.h"
#include "platform/user_prompt.h"
#include "sim/client/sim_client.h"
#include "ui/avr/avr_views.h"
#include "ui/control_ids.h"
#include "ui/cqel_app.h"
#include "ui/dialogs/atmega_signature_bytes_dialog.h"
#include "ui/gui_test_support.h"
#include "ui/main_frame.h"

namespace velmora {
namespace {

int ControlOf(OptionId option) {
  for (const AvrOptionControl& control : AvrOptionControls()) {
    if (control.option == option) return control.id;
  }
  return 0;
}

// Answers the browse dialogs with one path and records their titles.
class OnePathChooser final : public IFileChooser {
 public:
  explicit OnePathChooser(QString path) : path_(std::move(path)) {}
  QString ChooseFileToOpen(QWidget*, const FileSelection& selection, const QString&) override {
    titles.push_back(selection.title);
    return path_;
  }
  void OpenWithAssociatedProgram(const QString&) override {}
  bool ControlKeyHeld() const override { return false; }
  std::vector<QString> titles;

 private:
  QString path_;
};

class AvrPageTest : public testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(app_.InitInstance(env_.Start(QStringLiteral("ATmega8")))); }
  CAtmelMegaView& Show(std::string_view device, const OptionSelections& options) {
    app_.MainFrame().SwitchView(kMegaPage);
    auto& page = static_cast<CAtmelMegaView&>(*app_.MainFrame().ActiveView());
    page.ShowAvrDevice(device, options);
    return page;
  }
  CBaseView& Page() { return *app_.MainFrame().ActiveView(); }
  void Finish() {
    app_.Document().WaitForOperation();
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
  }

  GuiTestEnvironment env_;
  CqelApp app_;
};

TEST_F(AvrPageTest, ShowsExactlyTheOptionsTheDeviceOffers) {
  OptionSelections options;
  std::fill(std::begin(options), std::end(options), 0);
  for (const char* device :
       {"ATmega8", "ATmega2560/V", "ATtiny13(V)", "ATtiny26(L)", "ATmega162"}) {
    CAtmelMegaView& page = Show(device, options);
    const std::span<const int> offered = AvrDeviceOptions(device);
    for (const AvrOptionControl& control : AvrOptionControls()) {
      const bool expected = std::ranges::find(offered, int(control.option)) != offered.end();
      EXPECT_EQ(!page.Control(control.id)->isHidden(), expected)
          << device << " " << kOptionNames[control.option];
    }
  }
  CAtmelMegaView& page = Show("Unknown Device", options);
  for (const AvrOptionControl& control : AvrOptionControls()) {
    EXPECT_TRUE(page.Control(control.id)->isHidden()) << kOptionNames[control.option];
  }
}

TEST_F(AvrPageTest, ListIndexIsTheFieldValueAndTickedIsProgrammed) {
  OptionSelections options;
  std::fill(std::begin(options), std::end(options), 0);
  options[MEGACKSEL] = 4;
  options[MEGABODLEVEL] = 5;
  options[MEGAEESAVE] = 1;
  CAtmelMegaView& page = Show("ATmega2560/V", options);
  QComboBox* clock = page.ComboBox(ControlOf(MEGACKSEL));
  EXPECT_EQ(clock->count(), 16);
  EXPECT_EQ(clock->currentText(), QStringLiteral("CKSEL     (0100)"));
  EXPECT_EQ(page.ComboBox(ControlOf(MEGABODLEVEL))->count(), 8);
  EXPECT_EQ(page.ComboBox(ControlOf(MEGABODLEVEL))->currentIndex(), 5);
  EXPECT_TRUE(page.CheckBox(ControlOf(MEGAEESAVE))->isChecked());
  EXPECT_FALSE(page.CheckBox(ControlOf(MEGALB1))->isChecked());

  page.ComboBox(ControlOf(MEGACKSEL))->setCurrentIndex(2);
  page.CheckBox(ControlOf(MEGALB1))->setChecked(true);
  page.CollectSettings();
  EXPECT_EQ(app_.Document().optionSelections[MEGACKSEL], 2);
  EXPECT_EQ(app_.Document().optionSelections[MEGALB1], 1);
  EXPECT_EQ(EncodeAvrFuses("ATmega2560/V", app_.Document().optionSelections)[3] & 0x01, 0);
}

TEST_F(AvrPageTest, TheCompactPageStaysOnTopAndLeadsBack) {
  app_.MainFrame().SwitchView(kMegaPage);
  EXPECT_EQ(app_.MainFrame().size(), QSize(800, 692));
  Page().Button(ctl::kCompactPage)->click();
  EXPECT_EQ(app_.MainFrame().CurrentViewType(), kMegaCompactPage);
  EXPECT_TRUE(app_.MainFrame().windowFlags() & Qt::WindowStaysOnTopHint);
  EXPECT_NE(Page().Button(ctl::kProgram), nullptr);
  EXPECT_EQ(Page().Button(ctl::kIdentify)->text(), QStringLiteral("R"));
  Page().Button(ctl::kHome)->click();
  EXPECT_EQ(app_.MainFrame().CurrentViewType(), kMegaPage);
  EXPECT_FALSE(app_.MainFrame().windowFlags() & Qt::WindowStaysOnTopHint);
}

TEST_F(AvrPageTest, ConfigurationReadShowsTheChipsFusesAndDangerousOnesAreAsked) {
  app_.MainFrame().SwitchView(kMegaPage);
  Page().Button(ctl::kReadConfiguration)->click();
  Finish();
  EXPECT_EQ(app_.Document().lastOutcome, OperationOutcome::kSuccess);
  // The simulated ATmega8 leaves the factory with fuse low E1: CKSEL 0001, SUT 10.
  EXPECT_FALSE(Page().Control(ControlOf(MEGACKSEL))->isHidden());
  EXPECT_EQ(Page().ComboBox(ControlOf(MEGACKSEL))->currentIndex(), 1);
  EXPECT_EQ(Page().ComboBox(ControlOf(MEGASUT))->currentIndex(), 2);
  EXPECT_FALSE(Page().CheckBox(ControlOf(MEGALB1))->isChecked());

  // Ticking LB1 and programming from the options asks first; "No" writes nothing.
  Page().Edit(ctl::kHexFileEdit)->setText(QStringLiteral(VELMORA_AVR_DATA "/atmega8.hex"));
  app_.Document().ignoreConfigFromFile = 1;
  Page().CheckBox(ControlOf(MEGALB1))->setChecked(true);
  env_.prompt.ClearRecords();
  env_.prompt.QueueAnswer(Answer::No);
  Page().Button(ctl::kProgram)->click();
  Finish();
  ASSERT_FALSE(env_.prompt.Records().empty());
  EXPECT_EQ(env_.prompt.Records().back().caption, "Fuse Safety Check");
  EXPECT_NE(app_.Document().lastOutcome, OperationOutcome::kSuccess);
}

// "Meas. Freq." counts the chip's clock on the worker: the simulated ATmega8 runs on its internal
// RC oscillator at 1 MHz (factory fuse low E1); the compact page has no such button.
TEST_F(AvrPageTest, MeasureFrequencyLogsTheClockAndItsJudgement) {
  app_.MainFrame().SwitchView(kMegaPage);
  ASSERT_NE(Page().Button(ctl::kMeasureFrequency), nullptr);
  EXPECT_EQ(Page().Button(ctl::kMeasureFrequency)->text(), QStringLiteral("Meas. Freq."));
  Page().Button(ctl::kMeasureFrequency)->click();
  Finish();
  EXPECT_EQ(app_.Document().lastOutcome, OperationOutcome::kSuccess);
  const QStringList lines = LogLines(app_.Document());
  const auto logged = [&lines](const char* text) {
    return std::ranges::count_if(lines, [text](const QString& line) {
      return line.endsWith(QStringLiteral("   ") + QString::fromUtf8(text));
    });
  };
  EXPECT_EQ(logged("Frequency: 1.000000MHz"), 1);
  EXPECT_EQ(logged("Failure: 0ppm of 1.000 MHz"), 1);
  EXPECT_EQ(app_.Document().progressBar.State().caption, "Frequency: 1.000000MHz");
  EXPECT_EQ(app_.Document().programmer->ftHandle.load(), nullptr);

  app_.MainFrame().SwitchView(kMegaCompactPage);
  EXPECT_EQ(Page().Button(ctl::kMeasureFrequency), nullptr);
}

// The lists show the makers' texts where the data sheets' tables are at hand, the value in
// binary otherwise; the index is always the field's value.
TEST_F(AvrPageTest, OptionListsShowTheMakersTexts) {
  OptionSelections options;
  std::fill(std::begin(options), std::end(options), 0);
  options[MEGACKSEL] = 2;
  options[MEGABODLEVEL] = 5;
  options[MEGASUT] = 2;
  const auto items = [](const QComboBox* combo) {
    QStringList texts;
    for (int i = 0; i < combo->count(); ++i) texts << combo->itemText(i);
    return texts;
  };
  for (const char* device : {"ATmega48", "ATmega88", "ATmega168"}) {
    CAtmelMegaView& page = Show(device, options);
    const QStringList clock = items(page.ComboBox(ControlOf(MEGACKSEL)));
    ASSERT_EQ(clock.size(), 16) << device;
    EXPECT_EQ(clock[0], QStringLiteral("External Clock     (0000)"));
    EXPECT_EQ(clock[2], QStringLiteral("Internal 8MHz     (0010)"));
    EXPECT_EQ(clock[6], QStringLiteral("Full Swing Crystal     0.4-20MHz     (0110)"));
    EXPECT_EQ(clock[15], QStringLiteral("Low Power Crystal     8.0-16.0MHz     (1111)"));
    EXPECT_EQ(page.ComboBox(ControlOf(MEGACKSEL))->currentIndex(), 2);
    EXPECT_EQ(items(page.ComboBox(ControlOf(MEGABODLEVEL))),
              QStringList({"Reserved     (000)", "Reserved     (001)", "Reserved     (010)",
                           "Reserved     (011)", "4.3V     (100)", "2.7V     (101)",
                           "1.8V     (110)", "BOD disabled     (111)"}))
        << device;
    EXPECT_EQ(page.ComboBox(ControlOf(MEGABODLEVEL))->currentText(),
              QStringLiteral("2.7V     (101)"));
    EXPECT_EQ(items(page.ComboBox(ControlOf(MEGASUT))),
              QStringList({"SUT = 00", "SUT = 01", "SUT = 10", "SUT = 11"}));
  }
  CAtmelMegaView& mega8 = Show("ATmega8", options);
  EXPECT_EQ(items(mega8.ComboBox(ControlOf(MEGABOOTSZ))),
            QStringList({"0x0C00", "0x0E00", "0x0F00", "0x0F80"}));
  EXPECT_EQ(items(mega8.ComboBox(ControlOf(MEGABODLEVEL))),
            QStringList({"BODLEVEL     (0)", "BODLEVEL     (1)"}));
  EXPECT_EQ(mega8.ComboBox(ControlOf(MEGACKSEL))->itemText(1), QStringLiteral("CKSEL     (0001)"));
}

// The EEPROM browse button: the file named is shown and logged, and the next Program writes it
// into the chip's EEPROM.
TEST_F(AvrPageTest, TheEepromFileChosenIsProgrammedIntoTheChip) {
  const QString eep = QStringLiteral(VELMORA_AVR_DATA "/atmega8.eep");
  auto chooser = std::make_unique<OnePathChooser>(eep);
  OnePathChooser& asked = *chooser;
  app_.MainFrame().SetFileChooser(std::move(chooser));
  app_.MainFrame().SwitchView(kMegaPage);
  Page().Button(ctl::kEepromFileBrowse)->click();
  ASSERT_EQ(asked.titles, std::vector<QString>{QStringLiteral("Select Hex File for EEPROM")});
  EXPECT_EQ(Page().Edit(avr_ctl::kEepromFileText)->text(), eep);
  EXPECT_TRUE(LogLines(app_.Document()).last().endsWith("EEPROM values loaded from: atmega8.eep"));

  Page().Edit(ctl::kHexFileEdit)->setText(QStringLiteral(VELMORA_AVR_DATA "/atmega8.hex"));
  Page().ComboBox(avr_ctl::kSpeed)->setCurrentIndex(2);
  Page().Button(ctl::kProgram)->click();
  Finish();
  ASSERT_EQ(app_.Document().lastOutcome, OperationOutcome::kSuccess);
  EXPECT_TRUE(LogLines(app_.Document())
                  .contains(QRegularExpression(
                      QStringLiteral(".*   Reading EEPROM values from atmega8.eep$"))));

  ScriptedPrompt prompt;
  CMCUMemoryArchitecture file;
  ASSERT_EQ(ReadHexFile(file, eep.toStdString(), prompt), 1);
  sim::SimClient sim(VELMORA_BINARY_DIR "/bin/libvelmora-sim.so");
  const std::string chip =
      nlohmann::json::parse(sim.StateJson())["target"]["eeprom"].get<std::string>();
  int compared = 0;
  for (int i = 0; i < 512 && file.programMemory[i] >= 0; ++i, ++compared) {
    EXPECT_EQ(std::stoi(chip.substr(2 * i, 2), nullptr, 16), file.programMemory[i]) << i;
  }
  EXPECT_GT(compared, 0);
}

// A chip whose signature reads blank: "Identify ATmega" shows the signature dialog, and the
// signature typed there identifies it.
TEST(AvrSignatureDialogTest, IdentifyAsksForTheSignatureOfABlankOne) {
  GuiTestEnvironment env;
  StartOptions options = env.Start(QStringLiteral("ATmega8"));
  options.prompt = nullptr;  // the program's own dialogs
  CqelApp app;
  ASSERT_TRUE(app.InitInstance(options));
  sim::SimClient sim(VELMORA_BINARY_DIR "/bin/libvelmora-sim.so");
  ASSERT_EQ(sim.Configure(R"({"device": "ATmega8", "target": {"signature": "FF FF FF"}})"), 0)
      << sim.LastError();
  app.MainFrame().SwitchView(kMegaPage);

  int dialogsShown = 0, othersClosed = 0;
  QTimer answer;
  QObject::connect(&answer, &QTimer::timeout, [&] {
    QWidget* modal = QApplication::activeModalWidget();
    if (auto* dialog = qobject_cast<ATMegaSignatureBytesDialog*>(modal)) {
      ++dialogsShown;
      dialog->signatureEdit()->setText(QStringLiteral("1E9307"));
      dialog->accept();
    } else if (auto* other = qobject_cast<QDialog*>(modal)) {
      ++othersClosed;
      other->reject();
    }
  });
  answer.start(10);
  app.MainFrame().ActiveView()->Button(ctl::kIdentify)->click();
  answer.stop();

  EXPECT_EQ(dialogsShown, 1);
  EXPECT_EQ(othersClosed, 0);
  EXPECT_EQ(app.Document().programmer->fileImage.deviceName, "ATmega8");
  const QStringList log = LogLines(app.Document());
  EXPECT_EQ(
      log.filter(QStringLiteral("   Type: ATmega8     Flash 8k, EEPROM 512, RAM 1024")).size(), 1)
      << log.join(QStringLiteral("|")).toStdString();
}

}  // namespace
}  // namespace velmora
