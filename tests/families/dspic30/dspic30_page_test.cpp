// The dsPIC30 pages: titles, sizes and the ways between them, every caption, the dsPIC30 HEX
// file, the option controls per device, and the commands run from the pages on the simulated
// dsPIC30F: what the chip holds afterwards and what the pages show.
#include <gmock/gmock.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFile>
#include <QLineEdit>
#include <QTest>
#include <future>
#include <mutex>

#include "dspic30_fixture.h"
#include "sim/client/sim_client.h"
#include "ui/control_ids.h"
#include "ui/cqel_app.h"
#include "ui/dspic30/dspic30_options.h"
#include "ui/dspic30/dspic30_views.h"
#include "ui/gui_test_support.h"
#include "ui/main_frame.h"

namespace velmora::testing {
namespace {

using ::testing::Contains;
using ::testing::HasSubstr;

// Control identifiers of the dsPIC30 option controls.
constexpr int kFlashMemory = 1600;
constexpr int kIgnoreConfiguration = 1607;
constexpr int kPrimaryOscillator = 1620;
constexpr int kOscillatorSource = 1621;
constexpr int kClockSwitching = 1622;
constexpr int kEnableWatchdog = 1610;
constexpr int kCodeProtection = 1613;
constexpr int kWriteProtection = 1614;
constexpr int kPwmPin = 1617;
constexpr int kHighPolarity = 1618;
constexpr int kLowPolarity = 1619;

// Answers the file dialogs and records them.
class AnsweringChooser final : public IFileChooser {
 public:
  QString ChooseFileToOpen(QWidget*, const FileSelection& selection, const QString&) override {
    titles.push_back(selection.title);
    return answer;
  }
  void OpenWithAssociatedProgram(const QString& path) override { opened.push_back(path); }
  bool ControlKeyHeld() const override { return control; }

  QString answer;
  bool control = false;
  std::vector<QString> titles;
  std::vector<QString> opened;
};

int RowOf(std::string_view name) {
  for (int row = 1; row <= kDsPic30DeviceRows; ++row) {
    if (name == kDsPic30Devices[row].name) return row;
  }
  return 0;
}

// Code in the first rows, EEPROM words and every configuration register as an ordinary file
// sets them (FGS unprotected, FPR 7).
DsPic30HexFile MakeProgram() {
  DsPic30HexFile hex;
  for (uint32_t w = 0; w < 80; ++w) hex.Instruction(w, (w * 0x031A07 + 0x450123) & 0xFFFFFF);
  for (uint32_t i = 0; i < 8; ++i) hex.EepromWord(1024, i, static_cast<uint16_t>(0x1234 + i));
  const uint16_t config[7] = {0xC307, 0x801F, 0x8733, 0xFFFF, 0xFFFF, 0xFFFF, 0xC002};
  for (int reg = 0; reg < 7; ++reg) hex.Configuration(reg, config[reg]);
  return hex;
}

class DsPic30PageTest : public ::testing::Test {
 protected:
  void Start(const QString& device = QStringLiteral("dsPIC30F4013"),
             IUserPrompt* prompt = nullptr) {
    StartOptions options = env_.Start(device);
    if (prompt) options.prompt = prompt;
    ASSERT_TRUE(app_.InitInstance(options));
    auto chooser = std::make_unique<AnsweringChooser>();
    chooser_ = chooser.get();
    app_.MainFrame().SetFileChooser(std::move(chooser));
  }
  CdsPIC30View& Show(int type) {
    app_.MainFrame().SwitchView(type);
    return Page();
  }
  CdsPIC30View& Page() { return static_cast<CdsPIC30View&>(*app_.MainFrame().ActiveView()); }
  CqelDoc& Doc() { return app_.Document(); }
  void Click(int id) {
    Page().Button(id)->click();
    Doc().WaitForOperation();
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
  }
  bool Logged(const QString& text) {
    for (const QString& line : LogLines(Doc())) {
      if (line.contains(text)) return true;
    }
    return false;
  }
  QString SaveHex(const DsPic30HexFile& hex, const QString& name) {
    const QString path = env_.directory.filePath(name);
    hex.Save(path.toStdString());
    return path;
  }
  // Picks the file with the page's browse button.
  void Browse(const QString& path) {
    chooser_->answer = path;
    Page().Button(ctl::kHexFileBrowse)->click();
  }
  DsPic30Memory Chip() const {
    return DsPic30MemoryOf(nlohmann::json::parse(sim_.StateJson())["target"]);
  }

  GuiTestEnvironment env_;
  CqelApp app_;
  AnsweringChooser* chooser_ = nullptr;
  sim::SimClient sim_{VELMORA_BINARY_DIR "/bin/libvelmora-sim.so"};
};

TEST_F(DsPic30PageTest, TitlesSizesAndTheWaysBetweenThePages) {
  Start();
  Page().Button(ctl::kFamilyDsPic30)->click();
  CMainFrame& frame = app_.MainFrame();
  struct Case {
    int type;
    const char* title;
    QSize size;
    int home;
  };
  const Case cases[] = {
      {kDsPic30Page, "dsPIC30 Programmer", {800, 600}, kStartPage},
      {kDsPic30BasicTestPage, "dsPIC30 Programmer", {800, 600}, kDsPic30Page},
      {kDsPic30CompactPage, "", {220, 105}, kDsPic30Page},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.type);
    Show(c.type);
    EXPECT_EQ(Page().GetViewTitle(), QString::fromUtf8(c.title));
    EXPECT_EQ(frame.size(), c.size);
    EXPECT_EQ(frame.IsTopmost(), c.type == kDsPic30CompactPage);
    Page().Button(ctl::kHome)->click();
    EXPECT_EQ(frame.CurrentViewType(), c.home);
    EXPECT_FALSE(frame.IsTopmost());
  }
  Show(kDsPic30Page).Button(ctl::kBasicTest)->click();
  EXPECT_EQ(frame.CurrentViewType(), kDsPic30BasicTestPage);
  Page().Button(ctl::kCompactPage)->click();
  EXPECT_EQ(frame.CurrentViewType(), kDsPic30CompactPage);
  Page().Button(ctl::kBasicTestFromCompact)->click();
  EXPECT_EQ(frame.CurrentViewType(), kDsPic30BasicTestPage);
  Show(kDsPic30Page).Button(ctl::kCompactPage)->click();
  EXPECT_EQ(frame.CurrentViewType(), kDsPic30CompactPage);
}

TEST_F(DsPic30PageTest, EveryCaptionOfTheDsPic30Page) {
  Start();
  CdsPIC30View& page = Show(kDsPic30Page);
  const std::pair<int, const char*> captions[] = {
      {ctl::kIdentify, "Identify PIC"},
      {ctl::kReadConfiguration, "Get Config. from PIC"},
      {ctl::kEraseChipNow, "Erase PIC"},
      {ctl::kEraseEeprom, "Erase EEPROM"},
      {ctl::kEraseIdLocation, "Erase ID"},
      {ctl::kProgram, "Program"},
      {ctl::kVerify, "Verify"},
      {ctl::kRead, "Read"},
      {1600, "Flash Memory"},
      {1601, "EEPROM"},
      {1602, "ID-Location"},
      {1603, "Configuration"},
      {1604, "Erase Chip"},
      {1605, "Fast Verify"},
      {1606, "No Verify"},
      {1607, "Ignore Hex-File Configuration"},
      {1610, "Enable Watchdog"},
      {1611, "Enable BOR"},
      {1612, "Enable MCLR"},
      {1613, "Code Protection"},
      {1614, "Write Protection"},
      {1615, "BKBUG"},
      {1616, "COE"},
  };
  for (const auto& [id, text] : captions) {
    ASSERT_NE(page.Button(id), nullptr) << id;
    EXPECT_EQ(page.Button(id)->text(), QString::fromUtf8(text)) << id;
  }
  for (int id : {ctl::kHexFileBrowse, ctl::kReadRamAfterReset, ctl::kReadEepromAfterReset,
                 ctl::kUpdateProgramMemory, ctl::kBasicTest, ctl::kCompactPage, ctl::kHome}) {
    EXPECT_NE(page.Button(id), nullptr) << id;
  }
  EXPECT_NE(page.Edit(kDsPic30HexFileEdit), nullptr);
  EXPECT_EQ(page.Control(ctl::kHexFileEdit), nullptr);
  EXPECT_EQ(page.Button(ctl::kUpdateProgrammer), nullptr);
}

// The page works with the dsPIC30's own file, which becomes the general HEX file while it shows,
// and always with the full programmer.
TEST_F(DsPic30PageTest, ThePageTakesTheDsPic30FileAndTheFullProgrammer) {
  Start();
  Doc().dspic30FlashFileName = "/work/dspic/motor.hex";
  Doc().hexFileName = "/work/pic18/blink.hex";
  Doc().usesMiniProgrammer = 1;
  CdsPIC30View& page = Show(kDsPic30Page);
  EXPECT_EQ(Doc().hexFileName, "/work/dspic/motor.hex");
  EXPECT_EQ(Doc().usesMiniProgrammer, 0);
  EXPECT_EQ(page.Edit(kDsPic30HexFileEdit)->text(), QStringLiteral("/work/dspic/motor.hex"));
  EXPECT_EQ(page.GetHexFileName(), "/work/dspic/motor.hex");

  page.Edit(kDsPic30HexFileEdit)->setText(QStringLiteral("/work/dspic/pump.hex"));
  EXPECT_EQ(Doc().dspic30FlashFileName, "/work/dspic/pump.hex");
  EXPECT_EQ(Doc().hexFileName, "/work/dspic/pump.hex");

  // Ctrl-click opens the named file instead of the dialog.
  chooser_->control = true;
  page.Button(ctl::kHexFileBrowse)->click();
  EXPECT_TRUE(chooser_->titles.empty());
  EXPECT_THAT(chooser_->opened, Contains(QStringLiteral("/work/dspic/pump.hex")));
}

// Which option controls a device shows, and what its lists offer.
TEST_F(DsPic30PageTest, OptionControlsFollowTheDevice) {
  Start();
  CdsPIC30View& page = Show(kDsPic30Page);
  OptionSelections options;
  std::fill(std::begin(options), std::end(options), 1);
  struct Case {
    const char* device;
    int primaryItems;
    bool pwmPin, highPolarity;
  };
  const Case cases[] = {
      {"dsPIC30F2010", 16, true, true},
      {"dsPIC30F4013", 32, false, false},
      {"dsPIC30F6010", 16, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.device);
    page.ShowDsPic30Device(RowOf(c.device), options);
    EXPECT_EQ(page.ComboBox(kPrimaryOscillator)->count(), c.primaryItems);
    EXPECT_FALSE(page.ComboBox(kPrimaryOscillator)->isHidden());
    EXPECT_FALSE(page.CheckBox(kEnableWatchdog)->isHidden());
    EXPECT_EQ(!page.CheckBox(kPwmPin)->isHidden(), c.pwmPin);
    EXPECT_EQ(!page.CheckBox(kLowPolarity)->isHidden(), c.pwmPin);
    EXPECT_EQ(!page.CheckBox(kHighPolarity)->isHidden(), c.highPolarity);
    EXPECT_EQ(page.Control(ctl::kWhiteText)->property("text").toString(),
              QString::fromUtf8(c.device));
  }
  // The dsPIC30F2010's choices as the maker names them, the unnamed ones by their value.
  page.ShowDsPic30Device(RowOf("dsPIC30F2010"), options);
  QComboBox* primary = page.ComboBox(kPrimaryOscillator);
  EXPECT_EQ(primary->itemText(0), QStringLiteral("XTL (200kHz-4MHz)"));
  EXPECT_EQ(primary->itemText(6), QStringLiteral("ERC - OSC2=I/O"));
  EXPECT_EQ(primary->itemText(7), QStringLiteral("0111"));
  EXPECT_EQ(page.ComboBox(kOscillatorSource)->itemText(3), QStringLiteral("Primary Oscillator"));
  EXPECT_EQ(page.ComboBox(kClockSwitching)->itemText(0),
            QStringLiteral("Clock Switching Enabled/Clock Monitor Enabled"));
  EXPECT_EQ(page.ComboBox(kClockSwitching)->currentIndex(), 1);

  // No dsPIC30 named: no options.
  page.ShowDsPic30Device(0, options);
  EXPECT_TRUE(page.ComboBox(kPrimaryOscillator)->isHidden());
  EXPECT_TRUE(page.CheckBox(kCodeProtection)->isHidden());
}

// A file picked with the browse button, then identify, program, verify and read from the page:
// the chip holds the file, the read-back file holds the chip.
TEST_F(DsPic30PageTest, ProgramVerifyAndReadFromThePage) {
  Start();
  Show(kDsPic30Page);
  const QString path = SaveHex(MakeProgram(), QStringLiteral("motor.hex"));
  Browse(path);
  EXPECT_EQ(chooser_->titles, std::vector<QString>{QStringLiteral("Select Hex File")});
  EXPECT_EQ(Doc().dspic30FlashFileName, path.toStdString());
  EXPECT_EQ(Doc().hexFileName, path.toStdString());

  Click(ctl::kIdentify);
  EXPECT_TRUE(Logged(QStringLiteral("dsPIC30F4013   Flash 48k, EEPROM 1024, RAM 2048")));
  // The file's configuration, as the device found reads it.
  EXPECT_EQ(Page().ComboBox(kPrimaryOscillator)->currentIndex(), 7);
  EXPECT_FALSE(Page().CheckBox(kCodeProtection)->isChecked());

  Click(ctl::kProgram);
  EXPECT_EQ(Doc().lastOutcome, OperationOutcome::kSuccess);
  EXPECT_TRUE(Logged(QStringLiteral("*** Programming dsPIC30F4013 ***")));
  EXPECT_TRUE(Logged(QStringLiteral("*** Finished Successfully ***")));
  const DsPic30Memory chip = Chip();
  EXPECT_EQ(chip.program[1], (1 * 0x031A07 + 0x450123) & 0xFFFFFFu);
  EXPECT_EQ(chip.program[79], (79 * 0x031A07 + 0x450123) & 0xFFFFFFu);
  EXPECT_EQ(chip.eeprom[0], 0x1234);
  EXPECT_EQ(chip.configuration[0], 0xC307 & 0xC71F);
  EXPECT_EQ(chip.configuration[5], 0x0003);

  Click(ctl::kVerify);
  EXPECT_EQ(Doc().lastOutcome, OperationOutcome::kSuccess);
  EXPECT_TRUE(Logged(QStringLiteral("Flash memory OK.")));

  const std::string readPath = env_.directory.filePath(QStringLiteral("read.hex")).toStdString();
  env_.prompt.SetHexSaveChoice(HexSaveChoice{readPath, false});
  Click(ctl::kRead);
  EXPECT_EQ(Doc().lastOutcome, OperationOutcome::kSuccess);
  CMCUMemoryArchitecture read;
  ASSERT_TRUE(ReadHexFile(read, readPath, env_.prompt));
  EXPECT_EQ(read.GetCell(4 * 79), int32_t((79 * 0x031A07 + 0x450123) & 0xFF));
  EXPECT_EQ(read.GetCell(0x1F00000) & 0x1F, 0x07);  // FPR, in the bits FOSC implements
}

// With the page's configuration: the lists and boxes become the chip's configuration words;
// "Code Protection" ticked is GCP programmed to 0. "Get Config. from PIC" brings the chip's
// values back onto the page.
TEST_F(DsPic30PageTest, ThePagesConfigurationIsWhatTheChipGets) {
  Start();
  Show(kDsPic30Page);
  Browse(SaveHex(MakeProgram(), QStringLiteral("motor.hex")));
  Page().CheckBox(kIgnoreConfiguration)->click();
  Click(ctl::kIdentify);
  Page().ComboBox(kPrimaryOscillator)->setCurrentIndex(3);
  Page().CheckBox(kEnableWatchdog)->setChecked(false);
  Page().CheckBox(kCodeProtection)->setChecked(false);
  Page().CheckBox(kWriteProtection)->setChecked(false);
  Click(ctl::kProgram);
  ASSERT_EQ(Doc().lastOutcome, OperationOutcome::kSuccess);
  DsPic30Memory chip = Chip();
  EXPECT_EQ(chip.configuration[0] & 0x1F, 3);
  EXPECT_EQ(chip.configuration[1] & 0x8000, 0);
  EXPECT_EQ(chip.configuration[5], 0x0003);

  Page().ComboBox(kPrimaryOscillator)->setCurrentIndex(9);
  Page().CheckBox(kEnableWatchdog)->setChecked(true);
  Click(ctl::kReadConfiguration);
  EXPECT_TRUE(Logged(QStringLiteral("Configuration setup updated with data from dsPIC30")));
  EXPECT_EQ(Page().ComboBox(kPrimaryOscillator)->currentIndex(), 3);
  EXPECT_FALSE(Page().CheckBox(kEnableWatchdog)->isChecked());

  Page().CheckBox(kCodeProtection)->setChecked(true);
  Click(ctl::kProgram);
  chip = Chip();
  EXPECT_EQ(chip.configuration[5] & 0x0002, 0) << "GCP programmed: code protected";
  EXPECT_EQ(chip.configuration[5] & 0x0001, 1);
}

// Program and Verify load the file again and, with the file's configuration in use, the page
// shows the configuration of the file as it is now on disk.
TEST_F(DsPic30PageTest, VerifyShowsTheConfigurationOfTheFileAsLoaded) {
  Start();
  Show(kDsPic30Page);
  DsPic30HexFile hex = MakeProgram();
  const QString path = SaveHex(hex, QStringLiteral("motor.hex"));
  Browse(path);
  Click(ctl::kProgram);
  ASSERT_EQ(Page().ComboBox(kPrimaryOscillator)->currentIndex(), 7);
  hex.Configuration(0, 0xC303);  // FPR 3
  SaveHex(hex, QStringLiteral("motor.hex"));
  Click(ctl::kVerify);
  EXPECT_TRUE(Logged(QStringLiteral("Error found in Configuration at address 0x00")));
  EXPECT_EQ(Page().ComboBox(kPrimaryOscillator)->currentIndex(), 3);
  EXPECT_EQ(Doc().optionSelections[DSPIC30FPR], 3);
}

// The page timer watches the dsPIC30 file: a change on disk is announced as "New Software".
TEST_F(DsPic30PageTest, AChangedDsPic30FileIsAnnouncedAsNewSoftware) {
  Start();
  Show(kDsPic30Page);
  const QString path = SaveHex(MakeProgram(), QStringLiteral("motor.hex"));
  auto age = [&path](int seconds) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(seconds),
                                 QFileDevice::FileModificationTime));
  };
  age(-60);
  Browse(path);
  Doc().progressBar.SetCaption("Success");
  Page().OnPageTimer();
  EXPECT_EQ(Doc().progressBar.State().caption, "Success");
  age(0);
  Page().OnPageTimer();
  EXPECT_EQ(Doc().progressBar.State().caption, "New Software");
}

TEST_F(DsPic30PageTest, EraseIdDoesNothing) {
  Start();
  Show(kDsPic30Page);
  const int lines = int(LogLines(Doc()).size());
  Click(ctl::kEraseIdLocation);
  EXPECT_EQ(int(LogLines(Doc()).size()), lines);
  EXPECT_EQ(Doc().lastOutcome, OperationOutcome::kNotStarted);
}

// The compact page's large button and a click on its status bar update the program memory; the
// basic test page identifies and programs.
TEST_F(DsPic30PageTest, CompactAndBasicTestPagesRunTheirCommands) {
  Start();
  Show(kDsPic30Page);
  Browse(SaveHex(MakeProgram(), QStringLiteral("motor.hex")));
  Show(kDsPic30BasicTestPage);
  Click(ctl::kIdentify);
  EXPECT_EQ(Doc().lastOutcome, OperationOutcome::kSuccess);
  Click(ctl::kProgram);
  EXPECT_EQ(Doc().lastOutcome, OperationOutcome::kSuccess);
  EXPECT_TRUE(Logged(QStringLiteral("*** Finished Successfully ***")));

  Show(kDsPic30CompactPage);
  Click(ctl::kUpdateProgramMemory);
  EXPECT_EQ(Doc().lastOutcome, OperationOutcome::kSuccess);
  EXPECT_TRUE(Logged(QStringLiteral("Flash memory successfully updated.   (")));
  Doc().lastOutcome = OperationOutcome::kNotStarted;
  QTest::mouseClick(Page().Control(ctl::kStatusBar), Qt::LeftButton);
  Doc().WaitForOperation();
  EXPECT_EQ(Doc().lastOutcome, OperationOutcome::kSuccess);
}

// Holds an operation at the manual power-on question until the test lets it go.
class GatedPrompt final : public IUserPrompt {
 public:
  Answer MessageBox(const std::string&, const std::string& caption, uint32_t) override {
    if (caption == "User Action Requiered: ON") {
      reached.set_value();
      gate.wait();
    }
    std::lock_guard lock(mutex_);
    captions_.push_back(caption);
    return Answer::Ok;
  }
  std::optional<HexSaveChoice> AskHexSavePath(const std::string&) override { return {}; }
  int Count(const std::string& caption) {
    std::lock_guard lock(mutex_);
    return int(std::count(captions_.begin(), captions_.end(), caption));
  }

  std::promise<void> reached;
  std::shared_future<void> gate;

 private:
  std::mutex mutex_;
  std::vector<std::string> captions_;
};

// Picking a file while a Program runs would load it into the image the worker is programming
// from: the browse button says the programmer is busy and changes nothing.
TEST_F(DsPic30PageTest, BrowseWhileAnOperationRunsLoadsNothing) {
  GatedPrompt prompt;
  std::promise<void> release;
  prompt.gate = release.get_future().share();
  Start(QStringLiteral("dsPIC30F4013"), &prompt);
  Show(kDsPic30Page);
  const QString first = SaveHex(MakeProgram(), QStringLiteral("motor.hex"));
  Browse(first);
  DsPic30HexFile other;
  other.Instruction(0, 0x000000);
  const QString second = SaveHex(other, QStringLiteral("other.hex"));
  Doc().powerSwitching = 1;  // "manual": the Program waits for the user to switch power on

  Page().Button(ctl::kProgram)->click();
  ASSERT_EQ(prompt.reached.get_future().wait_for(std::chrono::seconds(30)),
            std::future_status::ready);
  const int32_t cell = Doc().programmer->fileImage.GetCell(4);
  Browse(second);
  EXPECT_EQ(chooser_->titles.size(), 1u) << "no dialog while busy";
  EXPECT_EQ(prompt.Count("Programmer Info"), 1);
  EXPECT_EQ(Doc().dspic30FlashFileName, first.toStdString());
  EXPECT_EQ(Page().Edit(kDsPic30HexFileEdit)->text().toStdString(), first.toStdString());
  EXPECT_EQ(Doc().programmer->fileImage.GetCell(4), cell);

  release.set_value();
  Doc().WaitForOperation();
  EXPECT_EQ(Doc().lastOutcome, OperationOutcome::kSuccess);
  EXPECT_EQ(Chip().program[1], (1 * 0x031A07 + 0x450123) & 0xFFFFFFu);
}

}  // namespace
}  // namespace velmora::testing
