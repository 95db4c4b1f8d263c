#include "ui/dspic30/dspic30_views.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QScrollArea>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/cqel_doc.h"
#include "families/dspic30/config_dspic30.h"
#include "families/dspic30/dspic30_family.h"
#include "families/dspic30/dspic30_operations.h"
#include "families/family_registry.h"
#include "link/pic_vortang.h"
#include "memory/intel_hex.h"
#include "ui/control_ids.h"
#include "ui/controls/icon_art.h"
#include "ui/dspic30/dspic30_options.h"
#include "ui/main_frame.h"

namespace velmora {
namespace {

constexpr int kSettingsTop = 96;
constexpr int kSettingsHeight = 318;
constexpr int kLogTop = 424;

constexpr PageCommand kDsPic30PageCommandTable[] = {
    {ctl::kIdentify, int(DsPic30Command::kIdentify)},
    {ctl::kReadConfiguration, int(DsPic30Command::kReadConfiguration)},
    {ctl::kEraseChipNow, int(DsPic30Command::kEraseChip)},
    {ctl::kEraseEeprom, int(DsPic30Command::kEraseEeprom)},
    {ctl::kProgram, int(DsPic30Command::kProgram)},
    {ctl::kVerify, int(DsPic30Command::kVerify)},
    {ctl::kRead, int(DsPic30Command::kRead)},
    {ctl::kUpdateProgramMemory, int(DsPic30Command::kUpdate)},
    {ctl::kStatusBar, int(DsPic30Command::kUpdate)},
    {ctl::kReadRamAfterReset, int(DsPic30Command::kDumpRam)},
    {ctl::kReadEepromAfterReset, int(DsPic30Command::kDumpEeprom)},
};

CDsPic30Operations& DsPic30OperationsOf(CqelDoc& doc) {
  return static_cast<CDsPic30Operations&>(OperationsOf(doc, DsPic30FamilyRow()));
}

// The dsPIC30 catalogue row of the device in the file image; 0 when none is named.
int DsPic30RowOf(const CMCUMemoryArchitecture& image) {
  return image.family == Family::kDsPic30 ? image.deviceIndex : 0;
}

const DsPic30Field* FindField(const std::vector<DsPic30Field>& fields, OptionId option) {
  const auto it = std::ranges::find(fields, int(option), &DsPic30Field::option);
  return it == fields.end() ? nullptr : &*it;
}

// A group box whose contents scroll when a device shows more options than fit.
QWidget* ScrollingContents(QGroupBox* group) {
  auto* outer = new QVBoxLayout(group);
  outer->setContentsMargins(8, 6, 4, 4);
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

}  // namespace

std::span<const PageCommand> DsPic30PageCommands() {
  return kDsPic30PageCommandTable;
}

void LoadDsPic30HexFile(CqelDoc& doc, const std::string& path) {
  doc.dspic30FlashFileName = path;
  doc.hexFileName = path;
  if (!ReadHexFile(doc.programmer->fileImage, path, doc.Prompt())) return;
  DsPic30OperationsOf(doc).TakeConfigurationFromFile();
}

// ---- dsPIC30 page -----------------------------------------------------------------------------

QString CdsPIC30View::GetViewTitle() const {
  return QStringLiteral("dsPIC30 Programmer");
}

int CdsPIC30View::HexFileEditId() const {
  return kDsPic30HexFileEdit;
}

int CdsPIC30View::HomePage() const {
  return kStartPage;
}

void CdsPIC30View::BuildControls() {
  AddIconButton(ctl::kHome, icon::kHome)->setGeometry(12, 10, 40, 40);
  AddIconButton(ctl::kBasicTest, icon::kBasicTest)->setGeometry(700, 10, 40, 40);
  AddIconButton(ctl::kCompactPage, icon::kCompactMode)->setGeometry(748, 10, 40, 40);
  AddDsPic30HexFileRow(64);
  AddOperationButtons();
  AddProgrammingGroup(QRect(184, kSettingsTop, 218, kSettingsHeight));
  AddConfigurationGroup(QRect(410, kSettingsTop, 378, kSettingsHeight));
  AddLogAndStatus(kLogTop);
}

void CdsPIC30View::AddDsPic30HexFileRow(int y) {
  AddLabel(0, tr("Hex File:"))->setGeometry(12, y, 70, 24);
  AddEdit(kDsPic30HexFileEdit)->setGeometry(84, y, 664, 24);
  AddIconButton(ctl::kHexFileBrowse, icon::kBrowse)->setGeometry(754, y - 2, 32, 28);
}

void CdsPIC30View::AddOperationButtons() {
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
      {ctl::kProgram, "Program", 262, 34},
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

void CdsPIC30View::AddProgrammingGroup(const QRect& geometry) {
  auto* group = new QGroupBox(tr("Programming"), this);
  group->setGeometry(geometry);
  auto* layout = new QVBoxLayout(group);
  layout->setSpacing(2);
  layout->setContentsMargins(8, 4, 4, 4);
  for (const auto& control : DsPic30OptionControls()) {
    if (control.kind != DsPic30ControlKind::kFlag) continue;
    QCheckBox* check = AddCheckBox(control.id, QString::fromUtf8(control.text), group);
    // The dsPIC30 has no ID locations: the box is there, but there is nothing to choose.
    if (control.option == DSPIC30PROGRAMIDLOCATION) check->setEnabled(false);
    layout->addWidget(check);
  }
  layout->addStretch();
}

void CdsPIC30View::AddConfigurationGroup(const QRect& geometry) {
  auto* group = new QGroupBox(tr("Configuration"), this);
  group->setGeometry(geometry);
  QWidget* contents = ScrollingContents(group);
  auto* column = new QVBoxLayout(contents);
  column->setContentsMargins(0, 0, 0, 0);
  column->setSpacing(4);
  QLabel* device = AddLabel(ctl::kWhiteText, tr("No device identified"), contents);
  device->setStyleSheet(
      QStringLiteral("color: white; background: #1E3A6E; border-radius: 4px; padding: 3px 6px;"));
  column->addWidget(device);

  auto* lists = new QGridLayout;
  lists->setHorizontalSpacing(8);
  lists->setVerticalSpacing(2);
  lists->setColumnStretch(1, 1);
  auto* checks = new QGridLayout;
  checks->setVerticalSpacing(0);
  int listRow = 0;
  int checkIndex = 0;
  for (const auto& control : DsPic30OptionControls()) {
    const QString text = QString::fromUtf8(control.text);
    if (control.kind == DsPic30ControlKind::kList) {
      lists->addWidget(AddLabel(control.id + ctl::kComboLabelOffset, text, contents), listRow, 0);
      QComboBox* combo = AddComboBox(control.id, contents);
      combo->setMinimumContentsLength(4);
      combo->setFixedHeight(22);
      lists->addWidget(combo, listRow++, 1);
    } else if (control.kind == DsPic30ControlKind::kCheck) {
      checks->addWidget(AddCheckBox(control.id, text, contents), checkIndex / 2, checkIndex % 2);
      ++checkIndex;
    }
  }
  column->addLayout(lists);
  column->addLayout(checks);
  column->addStretch();
}

void CdsPIC30View::SetupToolTips() {
  CBaseView::SetupToolTips();
  for (const auto& control : DsPic30OptionControls()) {
    if (QWidget* widget = Control(control.id)) {
      widget->setToolTip(QString::fromUtf8(control.toolTip));
    }
  }
  if (QWidget* edit = Control(kDsPic30HexFileEdit)) {
    edit->setToolTip(tr("Flash File Name (.hex); Ctrl-click the browse button to open it."));
  }
}

void CdsPIC30View::ActivateView() {
  CqelDoc& doc = Frame().Doc();
  doc.hexFileName = doc.dspic30FlashFileName;
  doc.usesMiniProgrammer = 0;
  CBaseView::ActivateView();
}

void CdsPIC30View::OnHexFileLoaded(const std::string& path) {
  LoadDsPic30HexFile(Frame().Doc(), path);
}

void CdsPIC30View::OnCommand(int id) {
  CqelDoc& doc = Frame().Doc();
  switch (id) {
    case ctl::kHome:
      Frame().SwitchView(HomePage());
      return;
    case ctl::kBasicTest:
    case ctl::kBasicTestFromCompact:
      Frame().SwitchView(kDsPic30BasicTestPage);
      return;
    case ctl::kCompactPage:
      Frame().SwitchView(kDsPic30CompactPage);
      return;
    case kDsPic30HexFileEdit:
      doc.dspic30FlashFileName = Edit(id)->text().toStdString();
      doc.hexFileName = doc.dspic30FlashFileName;
      return;
    default:
      break;
  }
  if (const DsPic30OptionControl* control = FindDsPic30OptionControl(id)) {
    // A running operation reads the selections; it keeps them until the next command.
    if (doc.OperationRunning()) return;
    StoreDsPic30Options(doc.optionSelections);
    // Without the page's configuration the options show the file's again.
    if (control->option == DSPIC30IGNORECONFIG) SetupDeviceControls();
    return;
  }
  CBaseView::OnCommand(id);
}

void CdsPIC30View::CollectSettings() {
  CBaseView::CollectSettings();
  CqelDoc& doc = Frame().Doc();
  if (const QLineEdit* edit = Edit(kDsPic30HexFileEdit)) {
    doc.dspic30FlashFileName = edit->text().toStdString();
    doc.hexFileName = doc.dspic30FlashFileName;
  }
  StoreDsPic30Options(doc.optionSelections);
}

void CdsPIC30View::ShowSettings() {
  CBaseView::ShowSettings();
  const CqelDoc& doc = Frame().Doc();
  if (QLineEdit* edit = Edit(kDsPic30HexFileEdit)) {
    edit->setText(QString::fromStdString(doc.dspic30FlashFileName));
  }
  for (const auto& control : DsPic30OptionControls()) {
    if (control.kind != DsPic30ControlKind::kFlag) continue;
    if (QCheckBox* check = CheckBox(control.id)) {
      check->setChecked(doc.optionSelections[control.option] != 0);
    }
  }
}

void CdsPIC30View::SetupDeviceControls() {
  CqelDoc& doc = Frame().Doc();
  const int row = DsPic30RowOf(doc.programmer->fileImage);
  const CDsPic30Operations& operations = DsPic30OperationsOf(doc);
  // Unless the page's own configuration is to be programmed, the options show the values last
  // taken from a file or read from the chip, as the device now named reads them.
  if (!doc.optionSelections[DSPIC30IGNORECONFIG] && !doc.OperationRunning() &&
      operations.ConfigurationWordsKnown()) {
    DecodeDspic30Words(row, operations.ConfigurationWords(), doc.optionSelections);
  }
  ShowDsPic30Device(row, doc.optionSelections);
}

void CdsPIC30View::ShowDsPic30Device(int row, const OptionSelections& options) {
  const std::vector<DsPic30Field> fields = DsPic30Fields(row);
  for (const auto& control : DsPic30OptionControls()) {
    QWidget* widget = Control(control.id);
    if (!widget || control.kind == DsPic30ControlKind::kFlag) continue;
    const DsPic30Field* field = FindField(fields, control.option);
    widget->setHidden(field == nullptr);
    if (QWidget* label = Control(control.id + ctl::kComboLabelOffset)) {
      label->setHidden(field == nullptr);
    }
    if (!field) continue;
    const int value = options[control.option];
    if (auto* check = qobject_cast<QCheckBox*>(widget)) {
      check->setChecked(control.activeLow ? value == 0 : value != 0);
      continue;
    }
    auto* combo = qobject_cast<QComboBox*>(widget);
    combo->clear();
    combo->addItems(DsPic30ListItems(row, *field));
    combo->setCurrentIndex(value >= 0 && value < combo->count() ? value : -1);
  }
  if (auto* badge = qobject_cast<QLabel*>(Control(ctl::kWhiteText))) {
    badge->setText(fields.empty() ? tr("No device identified")
                                  : QString::fromUtf8(kDsPic30Devices[row].name));
  }
}

void CdsPIC30View::StoreDsPic30Options(OptionSelections& options) const {
  for (const auto& control : DsPic30OptionControls()) {
    QWidget* widget = Control(control.id);
    if (!widget || widget->isHidden()) continue;
    if (auto* check = qobject_cast<QCheckBox*>(widget)) {
      options[control.option] = check->isChecked() != control.activeLow ? 1 : 0;
    } else if (auto* combo = qobject_cast<QComboBox*>(widget); combo->currentIndex() >= 0) {
      options[control.option] = combo->currentIndex();
    }
  }
}

// ---- dsPIC30 basic test -----------------------------------------------------------------------

int CDSPIC30BasicTest::HomePage() const {
  return kDsPic30Page;
}

void CDSPIC30BasicTest::BuildControls() {
  AddIconButton(ctl::kHome, icon::kHome)->setGeometry(12, 10, 40, 40);
  AddIconButton(ctl::kCompactPage, icon::kCompactMode)->setGeometry(748, 10, 40, 40);
  AddDsPic30HexFileRow(64);
  AddButton(ctl::kIdentify, tr("Identify PIC"))->setGeometry(12, 100, 160, 30);
  QPushButton* program = AddButton(ctl::kProgram, tr("Program"));
  program->setGeometry(12, 134, 160, 34);
  QFont bold = program->font();
  bold.setBold(true);
  program->setFont(bold);
  AddTraceGroup(QRect(184, 96, 604, 104), false);
  AddLogAndStatus(212);
}

// ---- dsPIC30 compact page ---------------------------------------------------------------------

CDSPIC30MINIVORTANG::CDSPIC30MINIVORTANG(CMainFrame& frame) : CdsPIC30View(frame) {
  frameWidth = 220;
  frameHeight = 105;
}

QString CDSPIC30MINIVORTANG::GetViewTitle() const {
  return QString();
}

int CDSPIC30MINIVORTANG::HomePage() const {
  return kDsPic30Page;
}

void CDSPIC30MINIVORTANG::BuildControls() {
  AddIconButton(ctl::kHome, icon::kHome)->setGeometry(2, 2, 34, 34);
  AddIconButton(ctl::kBasicTestFromCompact, icon::kBasicTestCompact)->setGeometry(4, 40, 30, 28);
  AddIconButton(ctl::kUpdateProgramMemory, icon::kUpdateProgramMemory)->setGeometry(40, 2, 176, 52);
  AddStatusControl()->setGeometry(40, 58, 176, 20);
}

void CDSPIC30MINIVORTANG::ActivateView() {
  CdsPIC30View::ActivateView();
  Frame().SetTopmost(true);
}

int CDSPIC30MINIVORTANG::DeactivateView() {
  Frame().SetTopmost(false);
  return CdsPIC30View::DeactivateView();
}

}  // namespace velmora
