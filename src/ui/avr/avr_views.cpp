#include "ui/avr/avr_views.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QRegularExpression>
#include <QVBoxLayout>
#include <algorithm>

#include "engine/cqel_doc.h"
#include "families/avr/avr_family.h"
#include "families/avr/avr_operations.h"
#include "families/avr/config_avr.h"
#include "families/family_registry.h"
#include "link/pic_vortang.h"
#include "ui/control_ids.h"
#include "ui/controls/icon_art.h"
#include "ui/main_frame.h"

namespace velmora {
namespace {

constexpr int kLogTop = 470;

constexpr PageCommand kAvrPageCommandTable[] = {
    {ctl::kIdentify, int(AvrCommand::kIdentify)},
    {ctl::kReadConfiguration, int(AvrCommand::kReadConfiguration)},
    {ctl::kEraseChipNow, int(AvrCommand::kFactoryReset)},
    {avr_ctl::kHighVoltageRestore, int(AvrCommand::kReanimateHighVoltage)},
    {avr_ctl::kInstructionScan, int(AvrCommand::kScanInstructions)},
    {ctl::kProgram, int(AvrCommand::kProgram)},
    {ctl::kVerify, int(AvrCommand::kVerify)},
    {ctl::kRead, int(AvrCommand::kRead)},
    {ctl::kReadEepromAfterReset, int(AvrCommand::kDumpEeprom)},
};

constexpr AvrOptionControl kOptionControls[] = {
    {avr_ctl::kFirstOption + 0, MEGACKSEL, "Clock Source", true},
    {avr_ctl::kFirstOption + 1, MEGASUT, "Start-up Time", true},
    {avr_ctl::kFirstOption + 2, MEGABODLEVEL, "Brown-out Level", true},
    {avr_ctl::kFirstOption + 3, MEGABOOTSZ, "Boot Size", true},
    {avr_ctl::kFirstOption + 4, MEGAM103C, "M103C", false},
    {avr_ctl::kFirstOption + 5, MEGAS8515C, "S8515C", false},
    {avr_ctl::kFirstOption + 6, MEGAS8535C, "S8535C", false},
    {avr_ctl::kFirstOption + 7, MEGAM161C, "M161C", false},
    {avr_ctl::kFirstOption + 8, MEGABOOTRST, "BOOTRST", false},
    {avr_ctl::kFirstOption + 9, MEGABODEN, "BODEN", false},
    {avr_ctl::kFirstOption + 10, MEGASELFPRGEN, "SELFPRGEN", false},
    {avr_ctl::kFirstOption + 11, MEGADWEN, "DWEN", false},
    {avr_ctl::kFirstOption + 12, MEGACKOPT, "CKOPT", false},
    {avr_ctl::kFirstOption + 13, MEGAOCDEN, "Enable OCD", false},
    {avr_ctl::kFirstOption + 14, MEGAJTAGEN, "Enable JTAG", false},
    {avr_ctl::kFirstOption + 15, MEGAEESAVE, "EESave", false},
    {avr_ctl::kFirstOption + 16, MEGAWDTON, "Enable Watchdog", false},
    {avr_ctl::kFirstOption + 17, MEGACKDIV8, "CKDIV8", false},
    {avr_ctl::kFirstOption + 18, MEGACKOUT, "CKOUT", false},
    {avr_ctl::kFirstOption + 19, MEGAPLLCK, "PLLCK", false},
    {avr_ctl::kFirstOption + 20, MEGALB1, "LB1", false},
    {avr_ctl::kFirstOption + 21, MEGALB2, "LB2", false},
    {avr_ctl::kFirstOption + 22, MEGABLB01, "BLB01", false},
    {avr_ctl::kFirstOption + 23, MEGABLB02, "BLB02", false},
    {avr_ctl::kFirstOption + 24, MEGABLB11, "BLB11", false},
    {avr_ctl::kFirstOption + 25, MEGABLB12, "BLB12", false},
};

constexpr const char* kSpeedItems[] = {"32kHz Normal (2ms) ", "32kHz Fast (2ms) ",
                                       "1MHz Normal (2µs)",   "1MHz Fast (2µs)",
                                       "6,7MHz Fast (300ns)", "10-12MHz and  >15MHz (200ns)"};
constexpr const char* kCalibrationItems[] = {
    "Don't copy Calibration Byte", "Add Calibration Byte at the end of Flash Memory",
    "Add Calibration Byte at the beginning of EEPROM", "Add Calibration Byte at the end of EEPROM",
    "Preserve Byte at the end of Flash Memory"};

const AvrOptionControl* FindOptionControl(int id) {
  for (const AvrOptionControl& control : kOptionControls) {
    if (control.id == id) return &control;
  }
  return nullptr;
}

// The makers' texts of a field's values, item n for value n, where the data sheets' tables are at
// hand: the ATmega48/88/168 share one data sheet and with it the clock-source and brown-out
// tables; the ATmega8's boot sizes are given by the boot section's start (word address).
struct MakerFieldTexts {
  std::initializer_list<std::string_view> devices;
  OptionId option;
  std::initializer_list<const char*> items;
};
const MakerFieldTexts kMakerFieldTexts[] = {
    {{"ATmega48", "ATmega88", "ATmega168"},
     MEGACKSEL,
     {"External Clock     (0000)", "Reserved     (0001)", "Internal 8MHz     (0010)",
      "Internal 128kHz     (0011)", "Low-Frequency Crystal     (0100)",
      "Low-Frequency Crystal     (0101)", "Full Swing Crystal     0.4-20MHz     (0110)",
      "Full Swing Crystal     0.4-20MHz     (0111)", "Low Power Crystal     0.4-0.9MHz     (1000)",
      "Low Power Crystal     0.4-0.9MHz     (1001)", "Low Power Crystal     0.9-3.0MHz     (1010)",
      "Low Power Crystal     0.9-3.0MHz     (1011)", "Low Power Crystal     3.0-8.0MHz     (1100)",
      "Low Power Crystal     3.0-8.0MHz     (1101)", "Low Power Crystal     8.0-16.0MHz     (1110)",
      "Low Power Crystal     8.0-16.0MHz     (1111)"}},
    {{"ATmega48", "ATmega88", "ATmega168"},
     MEGABODLEVEL,
     {"Reserved     (000)", "Reserved     (001)", "Reserved     (010)", "Reserved     (011)",
      "4.3V     (100)", "2.7V     (101)", "1.8V     (110)", "BOD disabled     (111)"}},
    {{"ATmega8"}, MEGABOOTSZ, {"0x0C00", "0x0E00", "0x0F00", "0x0F80"}},
};

// The field's name as the data sheets write it: "CKSEL", "SUT", "BODLEVEL", "BOOTSZ".
QString FieldName(const std::vector<AvrFuseBit>& bits, OptionId option) {
  if (option == MEGASUT) return QStringLiteral("SUT");
  QString name = QString::fromUtf8(bits.empty() ? "" : bits.front().name);
  name.remove(QRegularExpression(QStringLiteral("[0-9]+$")));
  name.remove(QStringLiteral("SUT_"));
  return name;
}

QString Binary(int value, size_t digits) {
  QString text;
  for (int k = static_cast<int>(digits) - 1; k >= 0; --k) text += (value >> k) & 1 ? '1' : '0';
  return text;
}

// A field's list, the value being the item's index: the makers' texts where we have them; the
// start-up time as "SUT = 10"; otherwise the field and its value in binary, "CKSEL     (0010)".
QStringList FieldItems(std::string_view device, const AvrOptionControl& control) {
  const std::vector<AvrFuseBit> bits = AvrOptionBits(device, control.option);
  const size_t values = size_t{1} << bits.size();
  for (const MakerFieldTexts& texts : kMakerFieldTexts) {
    if (texts.option != control.option || texts.items.size() != values ||
        std::ranges::find(texts.devices, device) == texts.devices.end()) {
      continue;
    }
    QStringList items;
    for (const char* item : texts.items) items << QString::fromUtf8(item);
    return items;
  }
  const QString name = FieldName(bits, control.option);
  QStringList items;
  for (int value = 0; value < static_cast<int>(values); ++value) {
    items << (control.option == MEGASUT ? name + QStringLiteral(" = ") + Binary(value, bits.size())
                                        : name + QStringLiteral("     (") +
                                              Binary(value, bits.size()) + QStringLiteral(")"));
  }
  return items;
}

}  // namespace

std::span<const PageCommand> AvrPageCommands() {
  return kAvrPageCommandTable;
}

std::span<const AvrOptionControl> AvrOptionControls() {
  return kOptionControls;
}

// ---- ATmega page ------------------------------------------------------------------------------

CAtmelMegaView::CAtmelMegaView(CMainFrame& frame) : CBaseView(frame) {
  frameHeight = 692;
}

QString CAtmelMegaView::GetViewTitle() const {
  return QStringLiteral("AVR Programmer");
}

CAvrOperations& CAtmelMegaView::Operations() const {
  return static_cast<CAvrOperations&>(OperationsOf(Frame().Doc(), AvrFamilyRow()));
}

void CAtmelMegaView::BuildControls() {
  AddIconButton(ctl::kHome, icon::kHome)->setGeometry(12, 10, 40, 40);
  AddIconButton(ctl::kCompactPage, icon::kCompactMode)->setGeometry(748, 10, 40, 40);
  AddHexFileRow(64);
  AddLabel(0, tr("EEPROM file:"))->setGeometry(12, 96, 80, 22);
  QLineEdit* eeprom = AddEdit(avr_ctl::kEepromFileText);
  eeprom->setReadOnly(true);
  eeprom->setGeometry(96, 96, 640, 22);
  AddIconButton(ctl::kEepromFileBrowse, icon::kBrowse)->setGeometry(744, 92, 30, 30);

  struct Operation {
    int id;
    const char* text;
    int y;
  };
  constexpr Operation kOperations[] = {
      {ctl::kIdentify, "Identify ATmega", 132},
      {ctl::kReadConfiguration, "Get Config. from AVR", 163},
      {ctl::kEraseChipNow, "Factory Reset", 194},
      {avr_ctl::kHighVoltageRestore, "HV F. Restorer", 225},
      {avr_ctl::kInstructionScan, "SignatureTest", 256},
      {ctl::kProgram, "Program", 298},
      {ctl::kVerify, "Verify", 336},
      {ctl::kRead, "Read", 367},
  };
  for (const auto& operation : kOperations) {
    // "SignatureTest" shares its row with "Meas. Freq.".
    const int width = operation.id == avr_ctl::kInstructionScan ? 84 : 160;
    AddButton(operation.id, QString::fromUtf8(operation.text))
        ->setGeometry(12, operation.y, width, operation.id == ctl::kProgram ? 34 : 28);
  }
  AddButton(ctl::kMeasureFrequency, tr("Meas. Freq."))->setGeometry(100, 256, 72, 28);
  AddIconButton(ctl::kReadEepromAfterReset, icon::kReadEepromAfterReset)
      ->setGeometry(12, 404, 38, 38);
  AddButton(ctl::kClearLog, tr("Clear"))->setGeometry(112, 410, 60, 26);

  auto* programming = new QGroupBox(tr("Programming"), this);
  programming->setGeometry(184, 128, 230, 330);
  auto* flags = new QVBoxLayout(programming);
  flags->setSpacing(2);
  for (const auto& [id, text] :
       {std::pair{ctl::kEraseChip, "Chip Erase"}, std::pair{ctl::kFlashMemory, "Flash Memory"},
        std::pair{ctl::kEeprom, "EEPROM"}, std::pair{ctl::kConfiguration, "Configuration"},
        std::pair{ctl::kFastVerify, "Fast Verify"}, std::pair{ctl::kNoVerify, "No Verify"}}) {
    flags->addWidget(AddCheckBox(id, QString::fromUtf8(text), programming));
  }
  flags->addWidget(AddLabel(0, tr("Programming speed"), programming));
  QComboBox* speed = AddComboBox(avr_ctl::kSpeed, programming);
  for (const char* item : kSpeedItems) speed->addItem(QString::fromUtf8(item));
  flags->addWidget(speed);
  flags->addWidget(AddLabel(0, tr("Calibration byte"), programming));
  QComboBox* calibration = AddComboBox(avr_ctl::kCalibration, programming);
  for (const char* item : kCalibrationItems) calibration->addItem(QString::fromUtf8(item));
  flags->addWidget(calibration);
  flags->addStretch();

  auto* fuses = new QGroupBox(tr("Fuses and Lock Bits"), this);
  fuses->setGeometry(422, 128, 366, 330);
  auto* column = new QVBoxLayout(fuses);
  column->addWidget(AddLabel(ctl::kWhiteText, tr("No device identified"), fuses));
  auto* lists = new QGridLayout;
  auto* checks = new QGridLayout;
  int listRow = 0, checkIndex = 0;
  for (const AvrOptionControl& option : kOptionControls) {
    const QString text = QString::fromUtf8(option.text);
    if (option.list) {
      lists->addWidget(AddLabel(option.id + ctl::kComboLabelOffset, text, fuses), listRow, 0);
      lists->addWidget(AddComboBox(option.id, fuses), listRow++, 1);
    } else {
      checks->addWidget(AddCheckBox(option.id, text, fuses), checkIndex / 3, checkIndex % 3);
      ++checkIndex;
    }
  }
  column->addLayout(lists);
  column->addLayout(checks);
  column->addStretch();
  AddLogAndStatus(kLogTop);
}

void CAtmelMegaView::ActivateView() {
  CBaseView::ActivateView();
  // The page can ask: dangerous fuses are put to the user instead of refused.
  Operations().fuseSafety = FuseSafety::kAsk;
}

void CAtmelMegaView::OnCommand(int id) {
  if (id == ctl::kCompactPage) {
    Frame().SwitchView(kMegaCompactPage);
    return;
  }
  if (id == ctl::kEepromFileBrowse) {
    SelectFile(kAvrEepromFileSelection, avr_ctl::kEepromFileText, [this](const QString& path) {
      Operations().SetEepromFile(path.toStdString());
      CqelDoc& doc = Frame().Doc();
      doc.LogLine("");
      doc.LogLine("EEPROM values loaded from: " + Operations().EepromDisplayName());
    });
    return;
  }
  if (FindOptionControl(id) && !shownDevice_.empty()) {
    // A setting the user made for the device on show: its options may be written to it.
    Operations().ConfirmOptionsFor(shownDevice_);
  }
  CBaseView::OnCommand(id);
}

void CAtmelMegaView::ShowAvrDevice(std::string_view device, const OptionSelections& options) {
  const std::span<const int> offered = AvrDeviceOptions(device);
  shownDevice_ = offered.empty() ? std::string() : std::string(device);
  for (const AvrOptionControl& option : kOptionControls) {
    QWidget* control = Control(option.id);
    if (!control) continue;
    const bool shown = std::ranges::find(offered, int(option.option)) != offered.end() &&
                       !AvrOptionBits(device, option.option).empty();
    control->setHidden(!shown);
    if (QWidget* label = Control(option.id + ctl::kComboLabelOffset)) label->setHidden(!shown);
    if (!shown) continue;
    const int value = options[option.option];
    if (auto* check = qobject_cast<QCheckBox*>(control)) {
      check->setChecked(value != 0);  // ticked = programmed
      continue;
    }
    auto* combo = qobject_cast<QComboBox*>(control);
    combo->clear();
    combo->addItems(FieldItems(device, option));
    combo->setCurrentIndex(value >= 0 && value < combo->count() ? value : -1);
  }
  if (auto* badge = qobject_cast<QLabel*>(Control(ctl::kWhiteText))) {
    badge->setText(shownDevice_.empty() ? tr("No device identified")
                                        : QString::fromStdString(shownDevice_));
  }
}

void CAtmelMegaView::CollectSettings() {
  CBaseView::CollectSettings();
  CqelDoc& doc = Frame().Doc();
  if (const QComboBox* speed = ComboBox(avr_ctl::kSpeed)) doc.atmegaSpeed = speed->currentIndex();
  if (const QComboBox* copy = ComboBox(avr_ctl::kCalibration)) {
    doc.atmegaCopyCalibrationByte = copy->currentIndex();
  }
  for (const AvrOptionControl& option : kOptionControls) {
    QWidget* control = Control(option.id);
    if (!control || control->isHidden() || shownDevice_.empty()) continue;
    if (auto* check = qobject_cast<QCheckBox*>(control)) {
      doc.optionSelections[option.option] = check->isChecked() ? 1 : 0;
    } else if (auto* combo = qobject_cast<QComboBox*>(control); combo->currentIndex() >= 0) {
      doc.optionSelections[option.option] = combo->currentIndex();
    }
  }
}

void CAtmelMegaView::ShowSettings() {
  CBaseView::ShowSettings();
  CqelDoc& doc = Frame().Doc();
  if (QComboBox* speed = ComboBox(avr_ctl::kSpeed)) speed->setCurrentIndex(doc.atmegaSpeed);
  if (QComboBox* copy = ComboBox(avr_ctl::kCalibration)) {
    copy->setCurrentIndex(doc.atmegaCopyCalibrationByte);
  }
}

void CAtmelMegaView::SetupDeviceControls() {
  CqelDoc& doc = Frame().Doc();
  const CMCUMemoryArchitecture& image = doc.programmer->fileImage;
  ShowAvrDevice(image.family == Family::kAvr ? image.deviceName : "", doc.optionSelections);
  if (QLineEdit* eeprom = Edit(avr_ctl::kEepromFileText)) {
    eeprom->setText(QString::fromStdString(Operations().EepromFileName()));
  }
}

// ---- ATmega compact page ----------------------------------------------------------------------

CAtmelMegaMiniVortang::CAtmelMegaMiniVortang(CMainFrame& frame) : CAtmelMegaView(frame) {
  frameWidth = 220;
  frameHeight = 80;
}

QString CAtmelMegaMiniVortang::GetViewTitle() const {
  return QString();
}

void CAtmelMegaMiniVortang::BuildControls() {
  AddIconButton(ctl::kHome, icon::kHome)->setGeometry(2, 2, 34, 34);
  AddButton(ctl::kIdentify, tr("R"))->setGeometry(4, 40, 30, 26);
  QPushButton* program = AddButton(ctl::kProgram, tr("Program"));
  QFont bold = program->font();
  bold.setBold(true);
  bold.setPointSize(bold.pointSize() + 4);
  program->setFont(bold);
  program->setGeometry(40, 2, 176, 46);
  AddStatusControl()->setGeometry(40, 52, 176, 20);
}

void CAtmelMegaMiniVortang::OnCommand(int id) {
  if (id == ctl::kHome) {
    Frame().SwitchView(kMegaPage);
    return;
  }
  CAtmelMegaView::OnCommand(id);
}

void CAtmelMegaMiniVortang::ActivateView() {
  CAtmelMegaView::ActivateView();
  Frame().SetTopmost(true);
}

int CAtmelMegaMiniVortang::DeactivateView() {
  Frame().SetTopmost(false);
  return CAtmelMegaView::DeactivateView();
}

}  // namespace velmora
