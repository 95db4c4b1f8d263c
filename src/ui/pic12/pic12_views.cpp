#include "ui/pic12/pic12_views.h"

#include <QGridLayout>
#include <QGroupBox>
#include <QVBoxLayout>
#include <algorithm>
#include <iterator>

#include "engine/cqel_doc.h"
#include "families/family_registry.h"
#include "families/pic12/pic12_family.h"
#include "families/pic12/pic12_operations.h"
#include "link/pic_vortang.h"
#include "memory/intel_hex.h"
#include "ui/control_ids.h"
#include "ui/controls/icon_art.h"
#include "ui/main_frame.h"

namespace velmora {
namespace {

constexpr PageCommand kPic12PageCommands[] = {
    {ctl::kIdentify, int(Pic12Command::kIdentify)},
    {ctl::kEraseChipNow, int(Pic12Command::kEraseFlash)},
    {ctl::kEraseEeprom, int(Pic12Command::kEraseEeprom)},
    {ctl::kReadConfiguration, int(Pic12Command::kReadConfiguration)},
    {ctl::kReadEepromAfterReset, int(Pic12Command::kDumpEeprom)},
    {ctl::kProgram, int(Pic12Command::kProgram)},
    {ctl::kVerify, int(Pic12Command::kVerify)},
    {ctl::kRead, int(Pic12Command::kRead)},
};

// The configuration word's option bits as check boxes: ticked means the named feature is on.
struct ConfigBit {
  int id;
  const char* text;
  uint16_t bit;
  bool activeLow;  // the feature is on while the bit is 0
};
constexpr ConfigBit kConfigBits[] = {
    {pic12ctl::kCpd, "CPD", 0x0100, true},      {pic12ctl::kCp, "CP", 0x0080, true},
    {pic12ctl::kBoden, "BODEN", 0x0040, false}, {pic12ctl::kMclre, "MCLRE", 0x0020, false},
    {pic12ctl::kPwrte, "PWRTE", 0x0010, true},  {pic12ctl::kWdte, "WDTE", 0x0008, false},
};
constexpr uint16_t kOscillatorBits = 0x0007;

// FOSC2:0 = the list index.
constexpr const char* kOscillators[] = {
    "LP low power crystal",
    "XT crystal/resonator",
    "HS high speed crystal/resonator",
    "EC GP4/RA4 = I/O   GP5/RA5 = CLKIN",
    "INTOSC GP4/RA4 & GP5/RA5 = I/O",
    "INTOSC GP4/RA4=CLKOUT   GP5/RA5=I/O",
    "RC GP4/RA4=I/O   GP5/RA5=RC",
};

constexpr const char* kBandGaps[] = {"retain", "0", "1", "2", "3"};

bool IsConfigControl(int id) {
  if (id == pic12ctl::kOscillator) return true;
  for (const ConfigBit& bit : kConfigBits) {
    if (bit.id == id) return true;
  }
  return false;
}

}  // namespace

std::span<const PageCommand> CPIC12View::PageCommands() const {
  return kPic12PageCommands;
}

QString CPIC12View::GetViewTitle() const {
  return QStringLiteral("PIC12F629 Programmer");
}

Pic12PageState& CPIC12View::State() const {
  return static_cast<CPic12Operations&>(OperationsOf(Frame().Doc(), Pic12FamilyRow())).state;
}

void CPIC12View::BuildControls() {
  AddIconButton(ctl::kHome, icon::kHome)->setGeometry(12, 10, 40, 40);
  AddHexFileRow(64);
  struct Operation {
    int id;
    const char* text;
    int y;
    int height;
  };
  constexpr Operation kOperations[] = {
      {ctl::kIdentify, "Identify PIC", 100, 28},
      {ctl::kReadConfiguration, "Get Config. from PIC", 131, 28},
      {ctl::kEraseChipNow, "Erase Flash", 162, 28},
      {ctl::kEraseEeprom, "Erase EEPROM", 193, 28},
      {ctl::kProgram, "Program PIC", 262, 34},
      {ctl::kVerify, "Verify", 300, 28},
      {ctl::kRead, "Read", 331, 28},
  };
  for (const auto& operation : kOperations) {
    AddButton(operation.id, QString::fromUtf8(operation.text))
        ->setGeometry(12, operation.y, 160, operation.height);
  }
  QFont bold = Button(ctl::kProgram)->font();
  bold.setBold(true);
  Button(ctl::kProgram)->setFont(bold);
  AddIconButton(ctl::kReadEepromAfterReset, icon::kReadEepromAfterReset)
      ->setGeometry(12, 368, 38, 38);

  auto* programming = new QGroupBox(tr("Programming"), this);
  programming->setGeometry(184, 96, 218, 318);
  auto* flags = new QVBoxLayout(programming);
  flags->addWidget(AddCheckBox(pic12ctl::kSoftware, tr("Software"), programming));
  flags->addWidget(AddCheckBox(pic12ctl::kEeprom, tr("EEPROM"), programming));
  flags->addWidget(AddCheckBox(pic12ctl::kIgnoreHexConfiguration,
                               tr("Ignore Hex-File Configuration"), programming));
  flags->addWidget(AddLabel(0, tr("Band Gap Calibration"), programming));
  QComboBox* bandGap = AddComboBox(pic12ctl::kBandGap, programming);
  for (const char* text : kBandGaps) bandGap->addItem(QString::fromUtf8(text));
  flags->addWidget(bandGap);
  flags->addWidget(AddLabel(0, tr("Oscillator Calibration (if missing)"), programming));
  flags->addWidget(AddEdit(pic12ctl::kCalibrationValue, programming));
  flags->addStretch();

  auto* configuration = new QGroupBox(tr("Configuration"), this);
  configuration->setGeometry(410, 96, 378, 318);
  auto* grid = new QGridLayout(configuration);
  QComboBox* oscillator = AddComboBox(pic12ctl::kOscillator, configuration);
  for (const char* text : kOscillators) oscillator->addItem(QString::fromUtf8(text));
  grid->addWidget(oscillator, 0, 0, 1, 2);
  int index = 0;
  for (const ConfigBit& bit : kConfigBits) {
    grid->addWidget(AddCheckBox(bit.id, QString::fromUtf8(bit.text), configuration), 1 + index / 2,
                    index % 2);
    ++index;
  }
  grid->setRowStretch(1 + (index + 1) / 2, 1);
  AddLogAndStatus(424);
}

void CPIC12View::OnCommand(int id) {
  // Changing an option means the page's word is the one to write.
  if (IsConfigControl(id)) {
    if (QCheckBox* ignore = CheckBox(pic12ctl::kIgnoreHexConfiguration)) ignore->setChecked(true);
  }
  CBaseView::OnCommand(id);
}

void CPIC12View::OnHexFileLoaded(const std::string& path) {
  CqelDoc& doc = Frame().Doc();
  if (!ReadHexFile(doc.programmer->fileImage, path, doc.Prompt())) return;
  static_cast<CPic12Operations&>(OperationsOf(doc, Pic12FamilyRow())).TakeConfigurationFromFile();
  ShowSettings();
}

void CPIC12View::CollectSettings() {
  CBaseView::CollectSettings();
  Pic12PageState& state = State();
  auto checked = [this](int id) {
    const QCheckBox* check = CheckBox(id);
    return check && check->isChecked();
  };
  state.software = checked(pic12ctl::kSoftware) ? 1 : 0;
  state.eeprom = checked(pic12ctl::kEeprom) ? 1 : 0;
  state.ignoreHexConfig = checked(pic12ctl::kIgnoreHexConfiguration) ? 1 : 0;
  uint16_t word = state.configurationWord;
  for (const ConfigBit& bit : kConfigBits) {
    const bool on = checked(bit.id) != bit.activeLow;
    word = static_cast<uint16_t>(on ? (word | bit.bit) : (word & ~bit.bit));
  }
  if (const QComboBox* oscillator = ComboBox(pic12ctl::kOscillator);
      oscillator && oscillator->currentIndex() >= 0) {
    word = static_cast<uint16_t>((word & ~kOscillatorBits) | oscillator->currentIndex());
  }
  state.configurationWord = word;
  if (const QComboBox* bandGap = ComboBox(pic12ctl::kBandGap)) {
    state.bandGapSelection = std::max(0, bandGap->currentIndex());
  }
  const QString calibration = Edit(pic12ctl::kCalibrationValue)->text().trimmed();
  bool number = false;
  const int value = calibration.toInt(&number);
  if (calibration.isEmpty()) {
    state.calibrationValue = -1;
  } else if (!number || value < 0 || value > 255) {
    Frame().Doc().Prompt().MessageBox(
        "Calibration Value must be between 0 and 255.\nOscillator and Band Gap Calibration "
        "rejected!",
        "Parameter Error", mb::kOk | mb::kErrorAlert);
    state.calibrationValue = -1;
    state.bandGapSelection = 0;
    Edit(pic12ctl::kCalibrationValue)->clear();
    ComboBox(pic12ctl::kBandGap)->setCurrentIndex(0);
  } else {
    state.calibrationValue = value;
  }
}

void CPIC12View::ShowSettings() {
  CBaseView::ShowSettings();
  const Pic12PageState& state = State();
  auto check = [this](int id, bool on) {
    if (QCheckBox* box = CheckBox(id)) box->setChecked(on);
  };
  check(pic12ctl::kSoftware, state.software != 0);
  check(pic12ctl::kEeprom, state.eeprom != 0);
  check(pic12ctl::kIgnoreHexConfiguration, state.ignoreHexConfig != 0);
  for (const ConfigBit& bit : kConfigBits) {
    check(bit.id, ((state.configurationWord & bit.bit) != 0) != bit.activeLow);
  }
  const int oscillator = state.configurationWord & kOscillatorBits;
  ComboBox(pic12ctl::kOscillator)
      ->setCurrentIndex(oscillator < int(std::size(kOscillators)) ? oscillator : -1);
  ComboBox(pic12ctl::kBandGap)->setCurrentIndex(state.bandGapSelection);
  Edit(pic12ctl::kCalibrationValue)
      ->setText(state.calibrationValue < 0 ? QString() : QString::number(state.calibrationValue));
}

}  // namespace velmora
