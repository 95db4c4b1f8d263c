#include "ui/pic10/pic10_views.h"

#include <QGroupBox>
#include <QVBoxLayout>

#include "engine/cqel_doc.h"
#include "engine/text_format.h"
#include "families/family_registry.h"
#include "families/pic10/pic10_family.h"
#include "families/pic10/pic10_operations.h"
#include "link/pic_vortang.h"
#include "link/power_modes.h"
#include "memory/catalogue.h"
#include "memory/intel_hex.h"
#include "ui/control_ids.h"
#include "ui/controls/icon_art.h"
#include "ui/main_frame.h"

namespace velmora {
namespace {

constexpr PageCommand kPic10PageCommands[] = {
    {ctl::kEraseChipNow, int(Pic10Command::kEraseFlash)},
    {ctl::kProgram, int(Pic10Command::kProgram)},
    {ctl::kVerify, int(Pic10Command::kVerify)},
    {ctl::kRead, int(Pic10Command::kRead)},
};

// The types in list order; the parts of one size share a type.
constexpr const char* kTypes[] = {"PIC10F200/204", "PIC10F202/206", "BackUp 200/204",
                                  "BackUp 202/206"};

struct ConfigBit {
  int id;
  const char* text;
  uint16_t bit;
  bool activeLow;
};
constexpr ConfigBit kConfigBits[] = {
    {pic10ctl::kMclre, "MCLRE", 0x0010, false},
    {pic10ctl::kCp, "CP", 0x0008, true},
    {pic10ctl::kWdte, "WDTE", 0x0004, false},
};

}  // namespace

std::span<const PageCommand> CPIC10View::PageCommands() const {
  return kPic10PageCommands;
}

QString CPIC10View::GetViewTitle() const {
  return QStringLiteral("PIC10F20x Programmer");
}

Pic10PageState& CPIC10View::State() const {
  return static_cast<CPic10Operations&>(OperationsOf(Frame().Doc(), Pic10FamilyRow())).state;
}

void CPIC10View::BuildControls() {
  AddIconButton(ctl::kHome, icon::kHome)->setGeometry(12, 10, 40, 40);
  AddHexFileRow(64);
  QComboBox* type = AddComboBox(pic10ctl::kType);
  for (const char* text : kTypes) type->addItem(QString::fromUtf8(text));
  type->setGeometry(12, 100, 160, 26);
  struct Operation {
    int id;
    const char* text;
    int y;
    int height;
  };
  constexpr Operation kOperations[] = {
      {ctl::kEraseChipNow, "Erase Flash", 162, 28},
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

  auto* configuration = new QGroupBox(tr("Configuration"), this);
  configuration->setGeometry(184, 96, 604, 318);
  auto* layout = new QVBoxLayout(configuration);
  for (const ConfigBit& bit : kConfigBits) {
    layout->addWidget(AddCheckBox(bit.id, QString::fromUtf8(bit.text), configuration));
  }
  layout->addWidget(
      AddCheckBox(pic10ctl::kIgnoreHexConfiguration, tr("Ignore Hex-File Config"), configuration));
  QComboBox* power = AddComboBox(ctl::kPowerSwitching, configuration);
  for (const PowerMode& mode : kPowerModes) power->addItem(QString::fromUtf8(mode.caption));
  layout->addWidget(power);
  layout->addStretch();
  AddLogAndStatus(424);
}

void CPIC10View::OnCommand(int id) {
  if (id == pic10ctl::kType) {
    OnTypeChosen();
    return;
  }
  CBaseView::OnCommand(id);
}

// The busy guard, the settings, the type into the file image and a log line that names it.
void CPIC10View::OnTypeChosen() {
  if (IsBusy()) return;
  CollectSettings();
  CqelDoc& doc = Frame().Doc();
  SelectPic10Type(doc.programmer->fileImage, doc.pic10TypeSelection);
  const CMCUMemoryArchitecture& file = doc.programmer->fileImage;
  doc.LogLine("");
  doc.LogLine(Printf("MCU has changed to %s   FlashMemory=%i Instructions", file.deviceName,
                     file.programSize));
}

void CPIC10View::OnHexFileLoaded(const std::string& path) {
  CqelDoc& doc = Frame().Doc();
  if (!ReadHexFile(doc.programmer->fileImage, path, doc.Prompt())) return;
  static_cast<CPic10Operations&>(OperationsOf(doc, Pic10FamilyRow())).TakeConfigurationFromFile();
  ShowSettings();
}

void CPIC10View::CollectSettings() {
  CBaseView::CollectSettings();
  CqelDoc& doc = Frame().Doc();
  if (const QComboBox* type = ComboBox(pic10ctl::kType); type && type->currentIndex() >= 0) {
    doc.pic10TypeSelection = type->currentIndex();
  }
  Pic10PageState& state = State();
  uint16_t word = state.configurationWord;
  for (const ConfigBit& bit : kConfigBits) {
    const QCheckBox* check = CheckBox(bit.id);
    const bool on = (check && check->isChecked()) != bit.activeLow;
    word = static_cast<uint16_t>(on ? (word | bit.bit) : (word & ~bit.bit));
  }
  state.configurationWord = word;
  const QCheckBox* ignore = CheckBox(pic10ctl::kIgnoreHexConfiguration);
  state.ignoreHexConfig = ignore && ignore->isChecked() ? 1 : 0;
}

void CPIC10View::ShowSettings() {
  CBaseView::ShowSettings();
  const CqelDoc& doc = Frame().Doc();
  if (QComboBox* type = ComboBox(pic10ctl::kType)) {
    const QSignalBlocker quiet(type);
    type->setCurrentIndex(doc.pic10TypeSelection);
  }
  const Pic10PageState& state = State();
  for (const ConfigBit& bit : kConfigBits) {
    CheckBox(bit.id)->setChecked(((state.configurationWord & bit.bit) != 0) != bit.activeLow);
  }
  CheckBox(pic10ctl::kIgnoreHexConfiguration)->setChecked(state.ignoreHexConfig != 0);
}

}  // namespace velmora
