// The main frame and its pages: page switching, window sizes, keys and the PIC18 page's
// exclusive erase options.
#include <gtest/gtest.h>

#include <QAbstractItemModel>
#include <QApplication>
#include <QBuffer>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPdfWriter>
#include <QTest>
#include <set>

#include "gui_test_support.h"
#include "platform/user_prompt.h"
#include "ui/base_view.h"
#include "ui/control_ids.h"
#include "ui/cqel_app.h"
#include "ui/main_frame.h"

namespace velmora {
namespace {

class FrameTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app_.InitInstance(env_.Start()));
    QApplication::processEvents();
  }
  CMainFrame& Frame() { return app_.MainFrame(); }
  CBaseView& Page() { return *Frame().ActiveView(); }
  int LogCount() { return int(LogLines(app_.Document()).size()); }

  GuiTestEnvironment env_;
  CqelApp app_;
};

TEST_F(FrameTest, ReturningToAPageShowsTheSameObjectWithItsControlStates) {
  Frame().SwitchView(kPic18Page);
  CBaseView* pic18 = &Page();
  pic18->CheckBox(ctl::kFastVerify)->setChecked(true);
  pic18->Edit(ctl::kHexFileEdit)->setText(QStringLiteral("blink.hex"));

  Frame().SwitchView(kStartPage);
  EXPECT_NE(&Page(), pic18);
  EXPECT_TRUE(pic18->isHidden());
  Frame().SwitchView(kPic18Page);

  EXPECT_EQ(&Page(), pic18);
  EXPECT_EQ(Frame().FindView(kPic18Page), pic18);
  EXPECT_TRUE(pic18->CheckBox(ctl::kFastVerify)->isChecked());
  EXPECT_EQ(pic18->Edit(ctl::kHexFileEdit)->text(), QStringLiteral("blink.hex"));
}

TEST_F(FrameTest, ChoosingTheShownPageAgainChangesNothing) {
  Frame().SwitchView(kPic18Page);
  CBaseView* pic18 = &Page();
  Frame().SwitchView(kPic18Page);
  EXPECT_EQ(&Page(), pic18);
  // A deactivation would have recorded the window position.
  EXPECT_EQ(pic18->frameLeft, -1);
  EXPECT_TRUE(pic18->PageTimerRunning());
}

TEST_F(FrameTest, PagesAreCreatedOnFirstUseOnly) {
  EXPECT_EQ(Frame().FindView(kPic18ExtendedPage), nullptr);
  Frame().SwitchView(kPic18Page);
  Page().Button(ctl::kExtendedSettings)->click();
  CBaseView* extended = Frame().FindView(kPic18ExtendedPage);
  ASSERT_NE(extended, nullptr);
  EXPECT_EQ(&Page(), extended);
  // "Basic Settings" carries the identifier of the start page's "PIC 18" button.
  extended->Button(ctl::kFamilyPic18)->click();
  EXPECT_EQ(Frame().CurrentViewType(), kPic18Page);
}

TEST_F(FrameTest, EachPageSizesTheWindowAndOnlyTheTimerOfTheShownPageRuns) {
  struct Case {
    int type;
    QSize size;
  };
  const Case cases[] = {
      {kPic18Page, {800, 600}},          {kPic18CompactPage, {220, 105}},
      {kPic18BasicTestPage, {800, 600}}, {kPic18ExtendedPage, {800, 600}},
      {kStartPage, {800, 600}},
  };
  for (const auto& c : cases) {
    Frame().SwitchView(c.type);
    EXPECT_EQ(Frame().size(), c.size) << "type " << c.type;
    EXPECT_EQ(Frame().minimumSize(), Frame().maximumSize()) << "type " << c.type;
    for (int type : {kStartPage, kPic18Page, kPic18CompactPage, kPic18BasicTestPage}) {
      if (CBaseView* view = Frame().FindView(type)) {
        EXPECT_EQ(view->PageTimerRunning(), type == c.type) << "type " << type;
      }
    }
  }
}

TEST_F(FrameTest, CompactPageStaysOnTopUntilLeftAndTheWindowGetsItsPlaceBack) {
  Frame().move(120, 90);
  QApplication::processEvents();
  const QPoint startPosition = Frame().pos();
  Frame().SwitchView(kPic18Page);

  Page().Button(ctl::kCompactPage)->click();
  EXPECT_EQ(Frame().CurrentViewType(), kPic18CompactPage);
  EXPECT_TRUE(Frame().IsTopmost());
  EXPECT_EQ(Frame().size(), QSize(220, 105));
  Frame().move(400, 300);
  QApplication::processEvents();

  Page().Button(ctl::kHome)->click();
  EXPECT_EQ(Frame().CurrentViewType(), kStartPage);
  EXPECT_FALSE(Frame().IsTopmost());
  EXPECT_EQ(Frame().size(), QSize(800, 600));
  EXPECT_EQ(Frame().pos(), startPosition);
}

TEST_F(FrameTest, EraseChipAndLowVoltageEraseExcludeEachOther) {
  Frame().SwitchView(kPic18Page);
  QCheckBox* chip = Page().CheckBox(ctl::kEraseChip);
  QCheckBox* lowVoltage = Page().CheckBox(ctl::kLowVoltageErase);
  // First-start settings have both on; the page shows the chip erase, which the sequence uses.
  EXPECT_TRUE(chip->isChecked());
  EXPECT_FALSE(lowVoltage->isChecked());

  lowVoltage->click();
  EXPECT_TRUE(lowVoltage->isChecked());
  EXPECT_FALSE(chip->isChecked());

  chip->click();
  EXPECT_TRUE(chip->isChecked());
  EXPECT_FALSE(lowVoltage->isChecked());

  // Unchecking one leaves the other alone.
  chip->click();
  EXPECT_FALSE(chip->isChecked());
  EXPECT_FALSE(lowVoltage->isChecked());
}

TEST_F(FrameTest, EnterAndEscapeDoNothingOnAPage) {
  Frame().SwitchView(kPic18Page);
  CBaseView* pic18 = &Page();
  pic18->CheckBox(ctl::kNoVerify)->setChecked(true);
  const int lines = LogCount();
  QWidget* targets[] = {pic18, pic18->Edit(ctl::kHexFileEdit), pic18->CheckBox(ctl::kNoVerify),
                        pic18->Button(ctl::kProgram)};
  for (QWidget* target : targets) {
    target->setFocus();
    for (Qt::Key key : {Qt::Key_Return, Qt::Key_Enter, Qt::Key_Escape}) {
      QTest::keyClick(target, key);
    }
  }
  EXPECT_TRUE(Frame().isVisible());
  EXPECT_EQ(&Page(), pic18);
  EXPECT_TRUE(pic18->CheckBox(ctl::kNoVerify)->isChecked());
  EXPECT_EQ(LogCount(), lines);
}

TEST_F(FrameTest, BannerEndsWithTheProgrammersStatusLine) {
  // Each line after its time stamp and three spaces; the empty line has no stamp.
  const QStringList lines = LogLines(app_.Document());
  const QString indent = QStringLiteral("   ") + QString(17, QLatin1Char(' '));
  ASSERT_GE(lines.size(), 5);
  EXPECT_EQ(lines[0], QStringLiteral("   "));
  EXPECT_TRUE(lines[1].endsWith(indent + QStringLiteral("Velmora USB-Programmer")))
      << lines[1].toStdString();
  EXPECT_TRUE(lines[3].endsWith(indent + QStringLiteral("User Interface SW Version: Apr 28 2009")));
  EXPECT_TRUE(lines[4].endsWith(indent + QStringLiteral("Velmora FW V3.05 (simulated)")))
      << lines[4].toStdString();
  EXPECT_TRUE(env_.prompt.Records().empty());
  EXPECT_TRUE(Frame().windowTitle().contains(QStringLiteral("simulated")));
}

TEST_F(FrameTest, BannerIsLoggedOnceOnTheFirstActivation) {
  for (int type : {kPic18Page, kStartPage, kPic18BasicTestPage, kStartPage}) {
    Frame().SwitchView(type);
  }
  int banners = 0;
  for (const QString& line : LogLines(app_.Document())) {
    if (line.endsWith(QStringLiteral("   ") + QString(17, QLatin1Char(' ')) +
                      QStringLiteral("Velmora USB-Programmer"))) {
      ++banners;
    }
  }
  EXPECT_EQ(banners, 1);
}

TEST_F(FrameTest, OneIdentifierNamesOneKindOfControlOnEveryPage) {
  std::map<int, QString> classes;
  for (int type :
       {kStartPage, kPic18Page, kPic18ExtendedPage, kPic18BasicTestPage, kPic18CompactPage}) {
    Frame().SwitchView(type);
    for (int id : Page().ControlIds()) {
      QWidget* control = Page().Control(id);
      EXPECT_EQ(control->objectName(), ctl::ControlObjectName(id));
      const QString kind = QString::fromLatin1(control->metaObject()->className());
      const auto [it, inserted] = classes.emplace(id, kind);
      EXPECT_EQ(it->second, kind) << "control " << id << " on page " << type;
    }
  }
}

TEST_F(FrameTest, FamiliesWithoutAPageCannotBeChosen) {
  const std::pair<int, int> families[] = {
      {ctl::kFamilyPic18, kPic18Page},   {ctl::kFamilyDsPic30, kDsPic30Page},
      {ctl::kFamilyPic12, kPic12Page},   {ctl::kFamilyPic10, kPic10Page},
      {ctl::kFamilyTiny12, kTiny12Page}, {ctl::kFamilyMega, kMegaPage},
      {ctl::kFamilyZeq, kScriptPage},
  };
  for (const auto& [id, type] : families) {
    EXPECT_EQ(Page().Button(id)->isEnabled(), CMainFrame::HasView(type)) << "control " << id;
  }
  // A type without a page leaves the shown page in place.
  Frame().SwitchView(99);
  EXPECT_EQ(Frame().CurrentViewType(), kStartPage);
  EXPECT_TRUE(Page().isVisible());
}

TEST_F(FrameTest, ControlsGoIntoTheDocumentWhenThePageIsLeftAndComeBackFromIt) {
  CqelDoc& doc = app_.Document();
  Frame().SwitchView(kPic18Page);
  Page().CheckBox(ctl::kFastVerify)->setChecked(true);
  Page().CheckBox(ctl::kEnableLvp)->setChecked(true);
  Page().Edit(ctl::kHexFileEdit)->setText(QStringLiteral("/work/blink.hex"));
  EXPECT_EQ(doc.hexFileName, "/work/blink.hex");  // the file name follows every change

  Frame().SwitchView(kPic18BasicTestPage);
  EXPECT_EQ(doc.fastVerify, 1);
  EXPECT_EQ(doc.lowVoltageProgramming, 1);
  // Settings changed elsewhere show when the page comes back.
  doc.lowVoltageProgramming = 0;
  doc.powerSwitching = 3;

  Frame().SwitchView(kPic18Page);
  EXPECT_TRUE(Page().CheckBox(ctl::kFastVerify)->isChecked());
  EXPECT_FALSE(Page().CheckBox(ctl::kEnableLvp)->isChecked());
  Frame().SwitchView(kStartPage);
  EXPECT_EQ(Page().ComboBox(ctl::kPowerSwitching)->currentIndex(), 3);
}

TEST_F(FrameTest, APresetNamesTheWindowAndTheLogFileBesideIt) {
  EXPECT_TRUE(
      Frame().windowTitle().startsWith(QStringLiteral("Untitled Preset - Velmora USB-Programmer")));
  const QString preset = env_.directory.filePath(QStringLiteral("board.upr"));
  ASSERT_TRUE(Frame().SavePreset(preset));
  EXPECT_TRUE(
      Frame().windowTitle().startsWith(QStringLiteral("board.upr - Velmora USB-Programmer")));
  Page().Button(ctl::kClearLog)->click();
  EXPECT_EQ(LogCount(), 0);
  app_.Document().LogLine("after the preset");
  QFile log(env_.directory.filePath(QStringLiteral("board.log")));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  EXPECT_TRUE(log.readAll().contains("after the preset"));
}

TEST_F(FrameTest, APresetOnTheCommandLineIsOpenedAtStart) {
  const QString preset = env_.directory.filePath(QStringLiteral("bench.upr"));
  QFile(preset).open(QIODevice::WriteOnly);
  CqelApp second;
  StartOptions options = env_.Start();
  options.presetPath = preset;
  ASSERT_TRUE(second.InitInstance(options));
  EXPECT_TRUE(second.MainFrame().windowTitle().startsWith(QStringLiteral("bench.upr - ")));
}

TEST_F(FrameTest, PrintingDrawsTheVisiblePageOnAPage) {
  Frame().SwitchView(kPic18Page);
  QBuffer pdf;
  pdf.open(QIODevice::WriteOnly);
  {
    QPdfWriter writer(&pdf);
    Frame().RenderVisiblePage(writer);
  }
  EXPECT_TRUE(pdf.data().startsWith("%PDF"));
  EXPECT_GT(pdf.data().size(), 10000);  // the page's picture, not an empty sheet
}

TEST_F(FrameTest, PowerSwitchingOffersManualAndSevenRelayPairs) {
  const QComboBox* power = Page().ComboBox(ctl::kPowerSwitching);
  ASSERT_EQ(power->count(), 16);
  EXPECT_EQ(power->itemText(0), QStringLiteral("no power switching"));
  EXPECT_EQ(power->itemText(1), QStringLiteral("manual"));
  EXPECT_EQ(power->itemText(2), QStringLiteral("relay - 1ms - off after programming"));
  EXPECT_EQ(power->itemText(3), QStringLiteral("relay - 1ms - on after programming"));
  EXPECT_EQ(power->itemText(15), QStringLiteral("relay - 5s - on after programming"));
}

// Demo mode opens on the simulated device's family page, after the banner; a device the
// catalogue does not know leaves the start page open.
TEST_F(FrameTest, DemoModeOpensOnTheSimulatedDevicesFamilyPage) {
  const StartOptions parsed = ParseCommandLine(
      {QStringLiteral("velmora"), QStringLiteral("--simulate"), QStringLiteral("ATmega8")});
  EXPECT_EQ(parsed.simulatedDevice, QStringLiteral("ATmega8"));
  EXPECT_TRUE(parsed.openDevicePage);
  EXPECT_FALSE(ParseCommandLine({QStringLiteral("velmora")}).openDevicePage);

  const std::pair<const char*, int> cases[] = {
      {"ATmega8", kMegaPage},
      {"PIC18F4550", kPic18Page},
      {"dsPIC30F4013", kDsPic30Page},
      {"ATmega328P", kStartPage},
  };
  for (const auto& [device, page] : cases) {
    CqelApp demo;
    StartOptions options = env_.Start(QString::fromUtf8(device));
    options.openDevicePage = true;
    ASSERT_TRUE(demo.InitInstance(options)) << device;
    EXPECT_EQ(demo.MainFrame().CurrentViewType(), page) << device;
    EXPECT_TRUE(demo.MainFrame().ActiveView()->PageTimerRunning()) << device;
  }
  // Without the request (as every test starts) the start page opens.
  EXPECT_EQ(Frame().CurrentViewType(), kStartPage);
}

}  // namespace
}  // namespace velmora
