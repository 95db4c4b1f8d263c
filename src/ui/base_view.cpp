#include "ui/base_view.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QPainter>
#include <QVBoxLayout>

#include "engine/cqel_doc.h"
#include "families/family_registry.h"
#include "link/pic_vortang.h"
#include "link/power_modes.h"
#include "ui/artwork.h"
#include "ui/control_ids.h"
#include "ui/controls/cqel_list_box.h"
#include "ui/controls/icon_art.h"
#include "ui/main_frame.h"
#include "ui/ui_widgets.h"

namespace velmora {
namespace {

constexpr int kPageTimerMilliseconds = 500;
constexpr QColor kTitleColour{0x00, 0x00, 0x80};  // navy
constexpr int kTitleHeight = 45;
constexpr int kMakerFontHeight = 11;
constexpr int kStatusHeight = 22;
constexpr int kStatusWidth = 626;  // leaves the lower right corner to the maker lines

const char* const kMakerNotice = "(C) Velmora Systems";
const char* const kBuildDate = "Apr 28 2009";

struct ToolTip {
  int id;
  const char* text;
};

constexpr ToolTip kToolTips[] = {
    {ctl::kHome, "Home"},
    {ctl::kSavePreset, "Save the settings preset"},
    {ctl::kBasicTest, "Go to Basic Test"},
    {ctl::kBasicTestFromCompact, "Go to Basic Test"},
    {ctl::kCompactPage, "Open MiniVortang window."},
    {ctl::kFamilyPic18, "Open PIC18 Programmer"},
    {ctl::kExtendedSettings, "Open PIC18 Extended Settings"},
    {ctl::kFamilyDsPic30, "Open dsPIC30 Programmer"},
    {ctl::kFamilyPic12, "Open PIC12 Programmer"},
    {ctl::kFamilyTiny12, "Open ATTiny12 Programmer"},
    {ctl::kFamilyMega, "Open ATMega Programmer"},
    {ctl::kFamilyPic10, "Open PIC10 Programmer"},
    {ctl::kFamilyZeq, "Open V-ZEQ Script Programmer"},
    {ctl::kClearLog, "Clear Info Window"},
    {ctl::kHexFileBrowse, "Select Flash File Name (.hex)"},
    {ctl::kEepromFileBrowse, "Load a hex file as EEPROM content"},
    {ctl::kTraceFileBrowse, "Select Trace Definition File"},
    {ctl::kNoVerify, "Don't verify after programming."},
    {ctl::kFastVerify, "Verify only non empty areas of the chip. Skip empty areas during verify."},
    {ctl::kUpdateProgramMemory, "Update program memory only."},
    {ctl::kUpdateProgrammer,
     "Set checkmark, if you want to programmer the controller inside the programmer!"},
    {ctl::kReadRamAfterReset, "Reset the target and show its RAM."},
    {ctl::kReadEepromAfterReset, "Reset the target and show its EEPROM."},
    {ctl::kEraseChip, "Erase the whole chip before programming."},
    {ctl::kLowVoltageErase, "Erase row by row instead of the bulk erase (needs no high voltage)."},
    {ctl::kIgnoreHexConfiguration, "Use the configuration of this page instead of the file's."},
    {ctl::kEnableLvp, "Enter programming mode with low voltage (LVP)."},
    {ctl::kTrace, "Show the output of the target."},
    {ctl::kSuppressTrace, "Hold back trace output."},
    {ctl::kEnablePullups, "Enable the pull-up resistors of the trace inputs."},
    {ctl::kPowerSwitching, "How the programmer switches the target's power."},
    {ctl::kStatusBar, "Click to update the program memory when the file has changed."},
};

// Check boxes that stand for one flag of the document, on whichever page carries them.
struct FlagControl {
  int id;
  int32_t CqelDoc::*member;
};
const FlagControl kFlagControls[] = {
    {ctl::kFlashMemory, &CqelDoc::enableFlashUpdate},
    {ctl::kEeprom, &CqelDoc::enableEepromUpdate},
    {ctl::kIdLocation, &CqelDoc::enableIdLocationUpdate},
    {ctl::kConfiguration, &CqelDoc::enableConfigurationUpdate},
    {ctl::kEraseChip, &CqelDoc::enableChipErase},
    {ctl::kFastVerify, &CqelDoc::fastVerify},
    {ctl::kNoVerify, &CqelDoc::noVerify},
    {ctl::kIgnoreHexConfiguration, &CqelDoc::ignoreConfigFromFile},
    {ctl::kEnableLvp, &CqelDoc::lowVoltageProgramming},
    {ctl::kUpdateProgrammer, &CqelDoc::usesMiniProgrammer},
    {ctl::kTrace, &CqelDoc::trace},
    {ctl::kSuppressTrace, &CqelDoc::suppressTrace},
    {ctl::kEnablePullups, &CqelDoc::tracePullUp},
};

// The start page's button of the script pages, after the families' buttons.
constexpr int kScriptButtonId = ctl::kFamilyZeq;
constexpr const char* kScriptButtonText = "V-ZEQ";

}  // namespace

CBaseView::CBaseView(CMainFrame& frame) : frame_(frame) {
  // The background picture covers the whole page: no erasing first.
  setAttribute(Qt::WA_OpaquePaintEvent);
  setFocusPolicy(Qt::StrongFocus);
  QPalette pal = palette();
  pal.setColor(QPalette::WindowText, Qt::black);
  setPalette(pal);
  pageTimer_.setInterval(kPageTimerMilliseconds);
  connect(&pageTimer_, &QTimer::timeout, this, [this] { OnPageTimer(); });
}

CBaseView::~CBaseView() = default;

void CBaseView::Create() {
  BuildControls();
  SetupToolTips();
  ApplyAnchors();
}

// ---- The start page ---------------------------------------------------------------------------

void CBaseView::BuildControls() {
  // One button per registered family, then the script pages'. Families whose page is not part
  // of this build stay visible but cannot be chosen.
  struct StartButton {
    int id;
    const char* text;
    int viewType;  // -1: none
  };
  std::vector<StartButton> buttons;
  for (const FamilyRow* family : Families()) {
    buttons.push_back({family->startButtonId, family->startButtonText,
                       family->pages.empty() ? -1 : family->pages.front()});
  }
  buttons.push_back({kScriptButtonId, kScriptButtonText, kScriptPage});
  // Seven buttons fill the row (7 x 106 + 6 x 5 = 776); more share it.
  const int count = static_cast<int>(buttons.size());
  const int width = count <= 7 ? 106 : (776 - 5 * (count - 1)) / count;
  int x = 12;
  for (const StartButton& entry : buttons) {
    QPushButton* button = AddButton(entry.id, QString::fromUtf8(entry.text));
    button->setGeometry(x, 72, width, 52);
    QFont font = button->font();
    font.setPixelSize(13);
    button->setFont(font);
    button->setEnabled(entry.viewType >= 0 && CMainFrame::HasView(entry.viewType));
    x += width + 5;
  }

  auto* settings = new QGroupBox(tr("Programmer"), this);
  settings->setGeometry(12, 138, 360, 112);
  auto* settingsLayout = new QVBoxLayout(settings);
  settingsLayout->addWidget(AddLabel(0, tr("Power switching:"), settings));
  auto* powerRow = new QHBoxLayout;
  QComboBox* power = AddComboBox(ctl::kPowerSwitching, settings);
  for (const PowerMode& mode : kPowerModes) power->addItem(QString::fromUtf8(mode.caption));
  powerRow->addWidget(power, 1);
  QAbstractButton* save = AddIconButton(ctl::kSavePreset, icon::kSave, settings);
  save->setFixedSize(40, 40);
  powerRow->addWidget(save);
  settingsLayout->addLayout(powerRow);
  settingsLayout->addStretch();

  AddTraceGroup(QRect(384, 138, 404, 112), false);
  AddButton(ctl::kClearLog, tr("Clear"))->setGeometry(708, 258, 80, 26);
  AddLogAndStatus(290);
}

// ---- Building blocks --------------------------------------------------------------------------

void CBaseView::Register(int id, QWidget* control) {
  if (id == 0) return;
  control->setObjectName(ctl::ControlObjectName(id));
  controls_[id] = control;
  if (auto* check = qobject_cast<QCheckBox*>(control)) {
    connect(check, &QCheckBox::clicked, this, [this, id] { OnCommand(id); });
  } else if (auto* button = qobject_cast<QAbstractButton*>(control)) {
    connect(button, &QAbstractButton::clicked, this, [this, id] { OnCommand(id); });
  } else if (auto* combo = qobject_cast<QComboBox*>(control)) {
    connect(combo, &QComboBox::activated, this, [this, id] { OnCommand(id); });
  } else if (auto* edit = qobject_cast<QLineEdit*>(control)) {
    connect(edit, &QLineEdit::textChanged, this, [this, id] { OnCommand(id); });
  } else if (id == ctl::kStatusBar) {
    ui::OnStatusControlClicked(control, this, [this, id] { OnCommand(id); });
  }
}

QPushButton* CBaseView::AddButton(int id, const QString& text, QWidget* parent) {
  auto* button = new QPushButton(text, parent ? parent : this);
  button->setAutoDefault(false);
  Register(id, button);
  return button;
}

QAbstractButton* CBaseView::AddIconButton(int id, int bitmap, QWidget* parent) {
  QAbstractButton* button = ui::MakeIconButton(parent ? parent : this, bitmap);
  Register(id, button);
  return button;
}

QCheckBox* CBaseView::AddCheckBox(int id, const QString& text, QWidget* parent) {
  auto* check = new QCheckBox(text, parent ? parent : this);
  Register(id, check);
  return check;
}

QComboBox* CBaseView::AddComboBox(int id, QWidget* parent) {
  QComboBox* combo = ui::MakeOptionList(parent ? parent : this);
  combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  combo->setMinimumContentsLength(8);
  Register(id, combo);
  return combo;
}

QLineEdit* CBaseView::AddEdit(int id, QWidget* parent) {
  auto* edit = new QLineEdit(parent ? parent : this);
  Register(id, edit);
  return edit;
}

QLabel* CBaseView::AddLabel(int id, const QString& text, QWidget* parent) {
  auto* label = new QLabel(text, parent ? parent : this);
  Register(id, label);
  return label;
}

QWidget* CBaseView::AddLogList(QWidget* parent) {
  QWidget* list = ui::MakeLogList(parent ? parent : this);
  Register(ctl::kLogList, list);
  return list;
}

QWidget* CBaseView::AddStatusControl(QWidget* parent) {
  QWidget* bar = ui::MakeStatusControl(parent ? parent : this);
  Register(ctl::kStatusBar, bar);
  return bar;
}

void CBaseView::AnchorToBottom(QWidget* control, int margin, bool stretch) {
  anchors_.push_back({control, margin, stretch});
}

void CBaseView::AddHexFileRow(int y) {
  AddLabel(0, tr("Hex File:"))->setGeometry(12, y, 70, 24);
  AddEdit(ctl::kHexFileEdit)->setGeometry(84, y, 664, 24);
  AddIconButton(ctl::kHexFileBrowse, icon::kBrowse)->setGeometry(754, y - 2, 32, 28);
}

QWidget* CBaseView::AddTraceGroup(const QRect& geometry, bool withMonitor) {
  auto* group = new QGroupBox(tr("Trace"), this);
  group->setGeometry(geometry);
  auto* layout = new QGridLayout(group);
  int row = 0;
  if (withMonitor) {
    layout->addWidget(AddCheckBox(ctl::kDataMonitor, tr("Aktivate Monitor"), group), row++, 0, 1,
                      3);
  }
  layout->addWidget(AddCheckBox(ctl::kTrace, tr("Trace"), group), row, 0);
  layout->addWidget(AddCheckBox(ctl::kSuppressTrace, tr("Suppress Trace"), group), row, 1);
  layout->addWidget(AddCheckBox(ctl::kEnablePullups, tr("Enable Pullups"), group), row++, 2);
  auto* fileRow = new QHBoxLayout;
  fileRow->addWidget(AddLabel(0, tr("Definition:"), group));
  fileRow->addWidget(AddEdit(ctl::kTraceFileEdit, group), 1);
  QAbstractButton* browse = AddIconButton(ctl::kTraceFileBrowse, icon::kBrowse, group);
  browse->setFixedSize(32, 28);
  fileRow->addWidget(browse);
  layout->addLayout(fileRow, row, 0, 1, 3);
  return group;
}

void CBaseView::AddLogAndStatus(int logTop) {
  QWidget* log = AddLogList();
  log->setGeometry(12, logTop, 776, 100);
  AnchorToBottom(log, kStatusHeight + 10, true);
  QWidget* status = AddStatusControl();
  status->setGeometry(12, 0, kStatusWidth, kStatusHeight);
  AnchorToBottom(status, 4, false);
}

void CBaseView::ApplyAnchors() {
  for (const auto& anchor : anchors_) {
    QRect r = anchor.control->geometry();
    const int bottom = height() - anchor.margin;
    if (anchor.stretch) {
      r.setBottom(bottom - 1);
    } else {
      r.moveBottom(bottom - 1);
    }
    anchor.control->setGeometry(r);
  }
}

void CBaseView::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  ApplyAnchors();
}

// ---- Controls by identifier ------------------------------------------------------------------

QWidget* CBaseView::Control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

QAbstractButton* CBaseView::Button(int id) const {
  return qobject_cast<QAbstractButton*>(Control(id));
}
QCheckBox* CBaseView::CheckBox(int id) const {
  return qobject_cast<QCheckBox*>(Control(id));
}
QComboBox* CBaseView::ComboBox(int id) const {
  return qobject_cast<QComboBox*>(Control(id));
}
QLineEdit* CBaseView::Edit(int id) const {
  return qobject_cast<QLineEdit*>(Control(id));
}

std::vector<int> CBaseView::ControlIds() const {
  std::vector<int> ids;
  for (const auto& [id, control] : controls_) ids.push_back(id);
  return ids;
}

// ---- Page behaviour ---------------------------------------------------------------------------

void CBaseView::SetupToolTips() {
  for (const auto& tip : kToolTips) {
    if (QWidget* control = Control(tip.id)) control->setToolTip(QString::fromUtf8(tip.text));
  }
}

QString CBaseView::GetViewTitle() const {
  return QStringLiteral("USB-Programmer Velmora ZEQL");
}

int CBaseView::HexFileEditId() const {
  return ctl::kHexFileEdit;
}

std::string CBaseView::GetHexFileName() const {
  const QLineEdit* edit = Edit(HexFileEditId());
  return edit ? edit->text().toStdString() : std::string();
}

void CBaseView::ActivateView() {
  frame_.PlaceWindow(frameLeft, frameTop, frameWidth, frameHeight);
  CqelDoc& doc = frame_.Doc();
  if (auto* list = qobject_cast<CqelListBox*>(Control(ctl::kLogList))) {
    frame_.AttachLogList(list);
  }
  if (doc.bannerPending) {
    doc.bannerPending = false;
    const std::string indent(17, ' ');
    doc.LogLine("");
    doc.LogLine(indent + "Velmora USB-Programmer");
    doc.LogLine(indent + kMakerNotice);
    doc.LogLine(indent + "User Interface SW Version: " + kBuildDate);
    doc.LogLine(indent + doc.ProgrammerStatusLine());
  }
  if (QWidget* bar = Control(ctl::kStatusBar)) frame_.AttachStatusBar(bar);
  pageTimer_.start();
  ShowSettings();
  SetupDeviceControls();
  if (doc.trace) doc.StartTracing();
}

int CBaseView::DeactivateView() {
  pageTimer_.stop();
  // The next page shows the same settings; an operation still running keeps them as they are.
  if (!frame_.Doc().OperationRunning()) CollectSettings();
  frame_.AttachLogList(nullptr);
  frame_.AttachStatusBar(nullptr);
  const QPoint position = frame_.pos();
  frameLeft = position.x();
  frameTop = position.y();
  return 0;
}

void CBaseView::OnPageTimer() {
  CqelDoc& doc = frame_.Doc();
  // A changed trace definition file applies to the next record, also while tracing.
  doc.ReloadTraceDefinitionsIfChanged();
  // Not while the programmer is busy; the trace reader's open link does not count.
  const bool linkHeld =
      doc.programmer->ftHandle.load() != nullptr && doc.traceState != trace_state::kActive;
  if (doc.OperationRunning() || linkHeld) return;
  if (!frame_.HexFileChangedSinceLoad(doc.hexFileName)) return;
  frame_.NoteHexFileAnnounced(doc.hexFileName);
  doc.progressBar.Update([](ProgressBarState& state) {
    state.caption = "New Software";
    state.position = state.minimum;
    state.enabled = true;
  });
}

void CBaseView::OnCommand(int id) {
  for (const FamilyRow* family : Families()) {
    if (family->startButtonId == id && !family->pages.empty()) {
      frame_.SwitchView(family->pages.front());
      return;
    }
  }
  for (const PageCommand& command : PageCommands()) {
    if (command.controlId == id) {
      RunFamilyCommand(command.command);
      return;
    }
  }
  switch (id) {
    case ctl::kHome:
      frame_.SwitchView(kStartPage);
      break;
    case kScriptButtonId:
      frame_.SwitchView(kScriptPage);
      break;
    case ctl::kSavePreset:
      frame_.OnFrameCommand(ctl::kFileSave);
      break;
    case ctl::kHexFileEdit:
      frame_.Doc().hexFileName = Edit(id)->text().toStdString();
      break;
    case ctl::kHexFileBrowse:
      if (const FileSelection* selection = HexFileSelection()) {
        SelectFile(*selection, HexFileEditId(), [this](const QString& path) {
          if (path.size() < kShortestLoadablePath) return;
          frame_.NoteHexFileLoaded(path.toStdString());
          OnHexFileLoaded(path.toStdString());
        });
      }
      break;
    case ctl::kTrace: {
      CqelDoc& doc = frame_.Doc();
      doc.trace = CheckBox(id)->isChecked() ? 1 : 0;
      if (doc.trace) {
        doc.StartTracing();
      } else {
        doc.StopTracing();
      }
      break;
    }
    case ctl::kSuppressTrace:
      frame_.Doc().suppressTrace = CheckBox(id)->isChecked() ? 1 : 0;
      frame_.Doc().ToggleTraceSuppression();
      break;
    case ctl::kTraceFileEdit:
      frame_.Doc().traceDefinitionFile = Edit(id)->text().toStdString();
      break;
    case ctl::kTraceFileBrowse:
      SelectFile(kTraceDefinitionSelection, ctl::kTraceFileEdit,
                 [this](const QString&) { frame_.Doc().LoadTraceDefinitions(); });
      break;
    case ctl::kMeasureFrequency: {
      CqelDoc& doc = frame_.Doc();
      RunGuarded([&doc] { doc.StartOperation([&doc] { doc.RunMeasureFrequency(); }); });
      break;
    }
    case ctl::kClearLog:
      frame_.Doc().ClearLog();
      break;
    default:
      break;
  }
}

bool CBaseView::IsBusy() {
  return frame_.Doc().IsBusy();
}

void CBaseView::CollectSettings() {
  CqelDoc& doc = frame_.Doc();
  for (const auto& flag : kFlagControls) {
    if (const QCheckBox* check = CheckBox(flag.id)) doc.*flag.member = check->isChecked() ? 1 : 0;
  }
  if (const QComboBox* power = ComboBox(ctl::kPowerSwitching);
      power && power->currentIndex() >= 0) {
    doc.powerSwitching = power->currentIndex();
  }
  doc.programmer->powerSwitchingMode = doc.powerSwitching;
  if (const QLineEdit* edit = Edit(ctl::kHexFileEdit)) doc.hexFileName = edit->text().toStdString();
  if (const QLineEdit* edit = Edit(ctl::kTraceFileEdit)) {
    doc.traceDefinitionFile = edit->text().toStdString();
  }
}

void CBaseView::ShowSettings() {
  const CqelDoc& doc = frame_.Doc();
  for (const auto& flag : kFlagControls) {
    if (QCheckBox* check = CheckBox(flag.id)) check->setChecked(doc.*flag.member != 0);
  }
  if (QComboBox* power = ComboBox(ctl::kPowerSwitching)) power->setCurrentIndex(doc.powerSwitching);
  if (QLineEdit* edit = Edit(ctl::kHexFileEdit)) {
    edit->setText(QString::fromStdString(doc.hexFileName));
  }
  if (QLineEdit* edit = Edit(ctl::kTraceFileEdit)) {
    edit->setText(QString::fromStdString(doc.traceDefinitionFile));
  }
}

void CBaseView::SetupDeviceControls() {}

void CBaseView::RunFamilyCommand(int command) {
  CqelDoc& doc = frame_.Doc();
  const FamilyRow* family = FindFamily(PageFamily());
  const FamilyCommand* found = family ? FindCommand(family->commands, command) : nullptr;
  if (!found || !family->makeOperations) return;
  RunGuarded([&] {
    // Commands that load the HEX file again: what is on disk now is no longer new.
    if (found->Takes(command_input::kHexFile)) frame_.NoteHexFileLoaded(doc.hexFileName);
    doc.StartCommand(OperationsOf(doc, *family), *found);
  });
}

bool CBaseView::RunGuarded(const std::function<void()>& start) {
  if (IsBusy()) return false;
  CollectSettings();
  start();
  return true;
}

void CBaseView::SelectFile(const FileSelection& selection, int editId,
                           const std::function<void(const QString&)>& load) {
  QLineEdit* edit = Edit(editId);
  // A button that loads its file replaces data a running operation works on (the file image,
  // the file names it reads): it waits for the operation like every command does.
  const bool guarded = selection.busyGuard || load != nullptr;
  if (!edit || (guarded && IsBusy())) return;
  CollectSettings();
  IFileChooser& chooser = frame_.FileChooser();
  const QString current = edit->text();
  if (selection.ctrlClickOpens && chooser.ControlKeyHeld() && current.size() > 1) {
    chooser.OpenWithAssociatedProgram(current);
    return;
  }
  const QString path = chooser.ChooseFileToOpen(this, selection, current);
  // A cancelled dialog leaves the file as it was.
  if (path.isEmpty()) return;
  edit->setText(path);
  if (load) load(path);
  SetupDeviceControls();
}

// ---- Painting and keys ------------------------------------------------------------------------

void CBaseView::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  painter.setRenderHint(QPainter::SmoothPixmapTransform);
  painter.drawImage(rect(), art::Background());

  QFont title;
  title.setStyleHint(QFont::Serif);
  title.setFamily(QStringLiteral("Serif"));
  title.setPixelSize(kTitleHeight);
  title.setWeight(QFont::Black);
  title.setItalic(true);
  // Narrow letters keep the longest titles clear of the corner buttons.
  title.setStretch(QFont::SemiCondensed);
  painter.setFont(title);
  painter.setPen(kTitleColour);
  painter.drawText(QRect(0, 0, width(), kTitleHeight + 12), Qt::AlignHCenter | Qt::AlignTop,
                   GetViewTitle());

  // Compact pages are too low for the maker lines.
  if (height() > 100) PaintMakerLines(painter);
}

void CBaseView::PaintMakerLines(QPainter& painter) {
  QFont font;
  font.setStyleHint(QFont::SansSerif);
  font.setFamily(QStringLiteral("Sans Serif"));
  font.setPixelSize(kMakerFontHeight);
  font.setWeight(QFont::Thin);
  painter.setFont(font);
  painter.setPen(QColor(0x40, 0x48, 0x58));
  const int left = width() - 150;
  painter.drawText(QRect(left, height() - 23, 150, 12), Qt::AlignLeft | Qt::AlignVCenter,
                   QStringLiteral("Velmora USB-Vortang SW"));
  painter.drawText(QRect(left, height() - 12, 150, 12), Qt::AlignLeft | Qt::AlignVCenter,
                   QString::fromUtf8(kMakerNotice));
}

void CBaseView::keyPressEvent(QKeyEvent* event) {
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      OnOK();
      event->accept();
      return;
    case Qt::Key_Escape:
      OnCancel();
      event->accept();
      return;
    default:
      QWidget::keyPressEvent(event);
  }
}

}  // namespace velmora
