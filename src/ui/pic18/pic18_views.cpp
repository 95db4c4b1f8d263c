#include "ui/pic18/pic18_views.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/cqel_doc.h"
#include "families/family_registry.h"
#include "families/pic18/config_pic18.h"
#include "families/pic18/pic18_family.h"
#include "families/pic18/pic18_operations.h"
#include "link/pic_vortang.h"
#include "memory/intel_hex.h"
#include "ui/control_ids.h"
#include "ui/controls/icon_art.h"
#include "ui/main_frame.h"
#include "ui/pic18/pic18_option_texts.h"

namespace velmora {
namespace {

constexpr int kSettingsTop = 96;
constexpr int kSettingsHeight = 318;
constexpr int kLogTop = 424;

// A group box whose contents scroll when a device shows more options than fit.
QWidget* ScrollingContents(QGroupBox* group) {
  auto* outer = new QVBoxLayout(group);
  outer->setContentsMargins(0, 0, 0, 0);
  auto* scroll = new QScrollArea(group);
  scroll->setFrameShape(QFrame::NoFrame);
  scroll->setWidgetResizable(true);
  scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  scroll->viewport()->setAutoFillBackground(false);
  auto* contents = new QWidget(scroll);
  contents->setAutoFillBackground(false);
  scroll->setWidget(contents);
  outer->addWidget(scroll);
  return contents;
}

constexpr PageCommand kPic18PageCommandTable[] = {
    {ctl::kIdentify, int(Pic18Command::kIdentify)},
    {ctl::kReadConfiguration, int(Pic18Command::kReadConfiguration)},
    {ctl::kEraseChipNow, int(Pic18Command::kEraseChip)},
    {ctl::kEraseEeprom, int(Pic18Command::kEraseEeprom)},
    {ctl::kEraseIdLocation, int(Pic18Command::kEraseIdLocation)},
    {ctl::kProgram, int(Pic18Command::kProgram)},
    {ctl::kVerify, int(Pic18Command::kVerify)},
    {ctl::kRead, int(Pic18Command::kRead)},
    {ctl::kUpdateProgramMemory, int(Pic18Command::kUpdate)},
    {ctl::kStatusBar, int(Pic18Command::kUpdate)},
    {ctl::kReadRamAfterReset, int(Pic18Command::kDumpRam)},
    {ctl::kReadEepromAfterReset, int(Pic18Command::kDumpEeprom)},
};

CPic18Operations& Pic18OperationsOf(CqelDoc& doc) {
  return static_cast<CPic18Operations&>(OperationsOf(doc, Pic18FamilyRow()));
}

}  // namespace

std::span<const PageCommand> Pic18PageCommands() {
  return kPic18PageCommandTable;
}

bool SwitchPic18Page(CMainFrame& frame, int id) {
  switch (id) {
    case ctl::kBasicTest:
    case ctl::kBasicTestFromCompact:
      frame.SwitchView(kPic18BasicTestPage);
      return true;
    case ctl::kCompactPage:
      frame.SwitchView(kPic18CompactPage);
      return true;
    case ctl::kExtendedSettings:
      frame.SwitchView(kPic18ExtendedPage);
      return true;
    default:
      return false;
  }
}

void LoadPic18HexFile(CqelDoc& doc, const std::string& path) {
  CMCUMemoryArchitecture& image = doc.programmer->fileImage;
  if (!ReadHexFile(image, path, doc.Prompt())) return;
  Pic18OperationsOf(doc).NoteHexFileLoaded();
  if (doc.ignoreConfigFromFile) return;
  // The file's configuration becomes the page's: bytes and option selections.
  for (size_t i = 0; i < doc.pic18Configuration.size(); ++i) {
    if (image.configuration[i] >= 0) {
      doc.pic18Configuration[i] = static_cast<uint8_t>(image.configuration[i]);
    }
  }
  DecodePic18Configuration(image, doc.optionSelections);
}

// ---- PIC18 page -------------------------------------------------------------------------------

QString CPIC18BaseView::GetViewTitle() const {
  return QStringLiteral("PIC18-Programmer");
}

void CPIC18BaseView::BuildControls() {
  AddIconButton(ctl::kHome, icon::kHome)->setGeometry(12, 10, 40, 40);
  AddIconButton(ctl::kBasicTest, icon::kBasicTest)->setGeometry(700, 10, 40, 40);
  AddIconButton(ctl::kCompactPage, icon::kCompactMode)->setGeometry(748, 10, 40, 40);
  AddHexFileRow(64);
  AddOperationButtons();
  BuildSettings();
  AddLogAndStatus(kLogTop);
}

void CPIC18BaseView::AddOperationButtons() {
  struct Operation {
    int id;
    const char* text;
    int y;
    int height;
  };
  constexpr Operation kOperations[] = {
      {ctl::kIdentify, "Identify PIC", 100, 28},
      {ctl::kReadConfiguration, "Get Config. from PIC", 131, 28},
      {ctl::kEraseChipNow, "Erase PIC", 162, 28},
      {ctl::kEraseEeprom, "Erase EEPROM", 193, 28},
      {ctl::kEraseIdLocation, "Erase ID", 224, 28},
      {ctl::kProgram, "Program PIC", 262, 34},
      {ctl::kVerify, "Verify", 300, 28},
      {ctl::kRead, "Read", 331, 28},
  };
  for (const auto& operation : kOperations) {
    QPushButton* button = AddButton(operation.id, QString::fromUtf8(operation.text));
    button->setGeometry(12, operation.y, 160, operation.height);
  }
  QFont bold = Button(ctl::kProgram)->font();
  bold.setBold(true);
  Button(ctl::kProgram)->setFont(bold);
  AddIconButton(ctl::kReadRamAfterReset, icon::kReadRamAfterReset)->setGeometry(12, 368, 38, 38);
  AddIconButton(ctl::kReadEepromAfterReset, icon::kReadEepromAfterReset)
      ->setGeometry(52, 368, 38, 38);
  AddIconButton(ctl::kUpdateProgramMemory, icon::kUpdateProgramMemory)
      ->setGeometry(96, 362, 76, 52);
}

void CPIC18BaseView::BuildSettings() {
  AddProgrammingGroup(QRect(184, kSettingsTop, 218, kSettingsHeight));

  auto* group = new QGroupBox(tr("Configuration"), this);
  group->setGeometry(410, kSettingsTop, 378, kSettingsHeight);
  auto* layout = new QVBoxLayout(group);
  layout->setContentsMargins(8, 6, 4, 4);
  layout->setSpacing(4);
  // The device with its remark, and the way to the extended settings, in one row.
  auto* top = new QHBoxLayout;
  QLabel* device = AddLabel(ctl::kWhiteText, tr("No device identified"), group);
  device->setStyleSheet(
      QStringLiteral("color: white; background: #1E3A6E; border-radius: 4px; padding: 3px 6px;"));
  top->addWidget(device, 1);
  top->addWidget(AddButton(ctl::kExtendedSettings, tr("Extended Settings"), group));
  layout->addLayout(top);

  auto* optionsBox = new QGroupBox(group);
  optionsBox->setFlat(true);
  optionsBox->setStyleSheet(QStringLiteral("QGroupBox { border: none; margin: 0; }"));
  QWidget* options = ScrollingContents(optionsBox);
  AddOptionControls(options, Pic18Page::kBasic, 2);
  layout->addWidget(optionsBox, 1);
}

void CPIC18BaseView::AddProgrammingGroup(const QRect& geometry) {
  struct Flag {
    int id;
    const char* text;
  };
  constexpr Flag kFlags[] = {
      {ctl::kFlashMemory, "Flash Memory"},
      {ctl::kEeprom, "EEPROM"},
      {ctl::kIdLocation, "ID-Location"},
      {ctl::kConfiguration, "Configuration"},
      {ctl::kEraseChip, "Erase Chip"},
      {ctl::kLowVoltageErase, "Low Voltage Erase"},
      {ctl::kFastVerify, "Fast Verify"},
      {ctl::kNoVerify, "No Verify"},
      {ctl::kIgnoreHexConfiguration, "Ignore Hex-File Configuration"},
      {ctl::kEnableLvp, "Enable LVP"},
      {ctl::kUpdateProgrammer, "Update Programmer"},
      {ctl::kTrace, "Trace"},
      {ctl::kSuppressTrace, "Suppress Trace"},
  };
  auto* group = new QGroupBox(tr("Programming"), this);
  group->setGeometry(geometry);
  auto* layout = new QVBoxLayout(group);
  layout->setSpacing(2);
  layout->setContentsMargins(8, 4, 4, 4);
  for (const auto& flag : kFlags) {
    layout->addWidget(AddCheckBox(flag.id, QString::fromUtf8(flag.text), group));
  }
  layout->addStretch();
}

void CPIC18BaseView::AddOptionControls(QWidget* group, Pic18Page page, int checkColumns) {
  // Lists as label and box rows, then the check boxes in columns.
  auto* column = new QVBoxLayout(group);
  column->setContentsMargins(0, 0, 0, 0);
  auto* lists = new QGridLayout;
  lists->setHorizontalSpacing(8);
  lists->setVerticalSpacing(2);
  lists->setColumnStretch(1, 1);
  auto* checks = new QGridLayout;
  checks->setVerticalSpacing(0);
  int listRow = 0;
  int checkIndex = 0;
  for (const auto& option : Pic18OptionControls()) {
    if (option.page != page) continue;
    const QString text = QString::fromUtf8(option.text);
    if (option.kind == OptionKind::kList) {
      lists->addWidget(AddLabel(option.id + ctl::kComboLabelOffset, text, group), listRow, 0);
      QComboBox* combo = AddComboBox(option.id, group);
      combo->setMinimumContentsLength(4);
      combo->setFixedHeight(22);
      lists->addWidget(combo, listRow++, 1);
      continue;
    }
    // Long texts take a row of their own.
    const int span = text.size() > 18 ? checkColumns : 1;
    if (span > 1 && checkIndex % checkColumns != 0) {
      checkIndex += checkColumns - checkIndex % checkColumns;
    }
    checks->addWidget(AddCheckBox(option.id, text, group), checkIndex / checkColumns,
                      checkIndex % checkColumns, 1, span);
    checkIndex += span;
  }
  column->addLayout(lists);
  column->addLayout(checks);
  column->addStretch();
}

void CPIC18BaseView::SetupToolTips() {
  CBaseView::SetupToolTips();
  for (const auto& option : Pic18OptionControls()) {
    if (QWidget* control = Control(option.id)) {
      control->setToolTip(QString::fromUtf8(option.toolTip));
    }
  }
}

void CPIC18BaseView::OnHexFileLoaded(const std::string& path) {
  LoadPic18HexFile(Frame().Doc(), path);
}

void CPIC18BaseView::OnCommand(int id) {
  if (SwitchPic18Page(Frame(), id)) return;
  // Chip erase and the low-voltage row erase are two ways of the same step.
  if (id == ctl::kEraseChip && CheckBox(ctl::kEraseChip)->isChecked()) {
    if (QCheckBox* other = CheckBox(ctl::kLowVoltageErase)) other->setChecked(false);
  } else if (id == ctl::kLowVoltageErase && CheckBox(ctl::kLowVoltageErase)->isChecked()) {
    if (QCheckBox* other = CheckBox(ctl::kEraseChip)) other->setChecked(false);
  }
  CBaseView::OnCommand(id);
}

void CPIC18BaseView::ShowPic18Device(std::string_view device, std::string_view remark,
                                     const OptionSelections& options) {
  const std::vector<OptionId> offered = Pic18OptionsOffered(device);
  for (const auto& option : Pic18OptionControls()) {
    QWidget* control = Control(option.id);
    if (!control) continue;
    const bool shown = std::find(offered.begin(), offered.end(), option.option) != offered.end();
    control->setHidden(!shown);
    QWidget* label = Control(option.id + ctl::kComboLabelOffset);
    if (label) label->setHidden(!shown);
    if (!shown) continue;
    const int value = options[option.option];
    if (auto* check = qobject_cast<QCheckBox*>(control)) {
      // Ticked means the named feature is on, also where its bit is 0 when on.
      check->setChecked(Pic18OptionActiveLow(option.option) ? value == 0 : value != 0);
      continue;
    }
    auto* combo = qobject_cast<QComboBox*>(control);
    combo->clear();
    if (const Pic18ListTexts* texts = FindPic18ListTexts(device, option.option)) {
      for (int i = 0; i < texts->count; ++i) combo->addItem(QString::fromUtf8(texts->items[i]));
      combo->setToolTip(QString::fromUtf8(texts->label));
      // The shared options mean something else on each device: name them as the maker does.
      const bool shared = option.option == PIC18COMMON1 || option.option == PIC18COMMON2 ||
                          option.option == PIC18COMMON3 ||
                          (option.option == PIC18PLLDIV &&
                           !QString::fromUtf8(texts->label).contains(QStringLiteral("PLL")));
      auto* caption = qobject_cast<QLabel*>(label);
      if (caption) {
        caption->setText(shared ? QString::fromUtf8(texts->label) : QString::fromUtf8(option.text));
      }
    }
    combo->setCurrentIndex(value >= 0 && value < combo->count() ? value : -1);
  }
  if (auto* badge = qobject_cast<QLabel*>(Control(ctl::kWhiteText))) {
    QString text = QString::fromUtf8(device.data(), int(device.size()));
    if (!remark.empty()) {
      text += QStringLiteral("   ") + QString::fromUtf8(remark.data(), int(remark.size()));
    }
    badge->setText(offered.empty() ? tr("No device identified") : text);
  }
}

void CPIC18BaseView::CollectSettings() {
  CBaseView::CollectSettings();
  CqelDoc& doc = Frame().Doc();
  if (const QCheckBox* check = CheckBox(ctl::kLowVoltageErase)) {
    doc.optionSelections[PIC18LOWVOLTAGEERASE] = check->isChecked() ? 1 : 0;
  }
  StorePic18Options(doc.optionSelections);
}

void CPIC18BaseView::ShowSettings() {
  CBaseView::ShowSettings();
  if (QCheckBox* check = CheckBox(ctl::kLowVoltageErase)) {
    // The two erase boxes exclude each other; stored settings may have both on (every option
    // defaults to 1), and then the chip erase wins as it does in the sequence.
    const QCheckBox* chipErase = CheckBox(ctl::kEraseChip);
    check->setChecked(Frame().Doc().optionSelections[PIC18LOWVOLTAGEERASE] != 0 &&
                      !(chipErase && chipErase->isChecked()));
  }
}

void CPIC18BaseView::SetupDeviceControls() {
  CqelDoc& doc = Frame().Doc();
  const CMCUMemoryArchitecture& image = doc.programmer->fileImage;
  // Unless the page's own configuration is to be programmed, the options show the file's, as
  // the device now named in the image reads it; after "Get Config. from PIC" they show the
  // chip's until a HEX file is loaded again.
  if (!doc.ignoreConfigFromFile && !doc.OperationRunning() &&
      Pic18OperationsOf(doc).ShowsFileConfiguration()) {
    DecodePic18Configuration(image, doc.optionSelections);
  }
  ShowPic18Device(image.deviceName, image.deviceRemark, doc.optionSelections);
}

void CPIC18BaseView::StorePic18Options(OptionSelections& options) const {
  for (const auto& option : Pic18OptionControls()) {
    QWidget* control = Control(option.id);
    if (!control || control->isHidden()) continue;
    if (auto* check = qobject_cast<QCheckBox*>(control)) {
      options[option.option] = check->isChecked() != Pic18OptionActiveLow(option.option) ? 1 : 0;
    } else if (auto* combo = qobject_cast<QComboBox*>(control); combo->currentIndex() >= 0) {
      options[option.option] = combo->currentIndex();
    }
  }
}

// ---- PIC18 extended page ----------------------------------------------------------------------

QString CPIC18Base2View::GetViewTitle() const {
  return QStringLiteral("PIC18 - Extended UI");
}

void CPIC18Base2View::BuildSettings() {
  auto* protection = new QGroupBox(tr("Code, Write and Table Read Protection"), this);
  protection->setGeometry(184, kSettingsTop, 604, 150);
  auto* grid = new QGridLayout(protection);
  grid->setVerticalSpacing(4);
  int index = 0;
  auto* further = new QGroupBox(tr("Further Options"), this);
  further->setGeometry(184, kSettingsTop + 158, 604, 112);
  auto* furtherGrid = new QGridLayout(further);
  int furtherIndex = 0;
  for (const auto& option : Pic18OptionControls()) {
    if (option.page != Pic18Page::kExtended) continue;
    const QString text = QString::fromUtf8(option.text);
    // Blocks 0..7 go in rows of eight; the boot block, configuration and data EEPROM bits
    // make the fourth row.
    if (option.id < 1270) {
      grid->addWidget(AddCheckBox(option.id, text, protection), index / 8, index % 8);
      ++index;
    } else {
      furtherGrid->addWidget(AddCheckBox(option.id, text, further), furtherIndex / 4,
                             furtherIndex % 4);
      ++furtherIndex;
    }
  }
  QPushButton* basic = AddButton(ctl::kFamilyPic18, tr("Basic Settings"));
  basic->setGeometry(648, kSettingsTop + 280, 140, 30);
}

// ---- PIC18 basic test -------------------------------------------------------------------------

QString CBasicTestView::GetViewTitle() const {
  return QStringLiteral("PIC18 Basic Test");
}

void CBasicTestView::BuildControls() {
  AddIconButton(ctl::kHome, icon::kHome)->setGeometry(12, 10, 40, 40);
  AddHexFileRow(64);
  struct Operation {
    int id;
    const char* text;
    int y;
  };
  constexpr Operation kOperations[] = {
      {ctl::kIdentify, "Identify PIC", 100},
      {ctl::kProgram, "Program PIC", 134},
      {ctl::kTest, "Test", 168},
  };
  for (const auto& operation : kOperations) {
    AddButton(operation.id, QString::fromUtf8(operation.text))
        ->setGeometry(12, operation.y, 160, 30);
  }
  AddTraceGroup(QRect(184, 96, 604, 104), true);
  AddLogAndStatus(212);
}

void CBasicTestView::OnCommand(int id) {
  if (id == ctl::kHome) {
    Frame().SwitchView(kPic18Page);
    return;
  }
  if (id == ctl::kDataMonitor) {
    OnDataMonitorBox();
    return;
  }
  CBaseView::OnCommand(id);
}

// A tick starts the monitor on the worker; taking the tick away lets the next tick start it
// again.
void CBasicTestView::OnDataMonitorBox() {
  CqelDoc& doc = Frame().Doc();
  if (!CheckBox(ctl::kDataMonitor)->isChecked()) {
    doc.dataMonitorRunning = 0;
    return;
  }
  CPic18Operations& operations = Pic18OperationsOf(doc);
  RunGuarded([&doc, &operations] {
    doc.StartOperation([&operations] { operations.RunPic18DataMonitor(); });
  });
}

void CBasicTestView::OnHexFileLoaded(const std::string& path) {
  LoadPic18HexFile(Frame().Doc(), path);
}

// ---- PIC18 compact page -----------------------------------------------------------------------

CMiniVortangView::CMiniVortangView(CMainFrame& frame) : CBaseView(frame) {
  frameWidth = 220;
  frameHeight = 105;
}

QString CMiniVortangView::GetViewTitle() const {
  return QString();
}

void CMiniVortangView::BuildControls() {
  AddIconButton(ctl::kHome, icon::kHome)->setGeometry(2, 2, 34, 34);
  AddIconButton(ctl::kBasicTestFromCompact, icon::kBasicTestCompact)->setGeometry(4, 40, 30, 28);
  AddIconButton(ctl::kUpdateProgramMemory, icon::kUpdateProgramMemory)->setGeometry(40, 2, 176, 52);
  AddStatusControl()->setGeometry(40, 58, 176, 20);
}

void CMiniVortangView::OnCommand(int id) {
  if (SwitchPic18Page(Frame(), id)) return;
  CBaseView::OnCommand(id);
}

void CMiniVortangView::ActivateView() {
  CBaseView::ActivateView();
  Frame().SetTopmost(true);
}

int CMiniVortangView::DeactivateView() {
  Frame().SetTopmost(false);
  return CBaseView::DeactivateView();
}

}  // namespace velmora
