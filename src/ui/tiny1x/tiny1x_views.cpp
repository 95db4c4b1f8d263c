#include "ui/tiny1x/tiny1x_views.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QVBoxLayout>
#include <iterator>
#include <string_view>

#include "engine/cqel_doc.h"
#include "families/family_registry.h"
#include "families/tiny1x/tiny1x_family.h"
#include "families/tiny1x/tiny1x_operations.h"
#include "link/pic_vortang.h"
#include "memory/intel_hex.h"
#include "ui/control_ids.h"
#include "ui/controls/icon_art.h"
#include "ui/main_frame.h"

namespace velmora {
namespace {

using namespace tiny1x_ctl;

constexpr PageCommand kTiny1xPageCommands[] = {
    {ctl::kIdentify, int(Tiny1xCommand::kIdentify)},
    {ctl::kReadConfiguration, int(Tiny1xCommand::kReadFuses)},
    {ctl::kReadEepromAfterReset, int(Tiny1xCommand::kDumpEeprom)},
    {ctl::kProgram, int(Tiny1xCommand::kProgram)},
    {ctl::kVerify, int(Tiny1xCommand::kVerify)},
    {ctl::kRead, int(Tiny1xCommand::kRead)},
};

// A fuse or lock bit as a check box: ticked means programmed (the bit is 0).
struct FuseBit {
  int id;
  uint8_t bit;
};
// iotn11.h: FSTRT bit 4, RSTDISBL bit 3, CKSEL2..0.
constexpr FuseBit kTiny11Bits[] = {{kFstrt, 0x10}, {kRstdisbl, 0x08}};
constexpr uint8_t kTiny11ClockBits = 0x07;
// iotn12.h: BODLEVEL bit 7, BODEN 6, SPIEN 5, RSTDISBL 4, CKSEL3..0.
constexpr FuseBit kTiny12Bits[] = {{kBoden, 0x40}, {kSpien, 0x20}, {kRstdisbl, 0x10}};
constexpr uint8_t kTiny12ClockBits = 0x0F;
constexpr uint8_t kBodLevelBit = 0x80;
// LB1 and LB2 where the high-voltage serial instructions carry them.
constexpr FuseBit kLockBits[] = {{kLb1, 0x02}, {kLb2, 0x04}};

// List index = CKSEL value, shown in binary.
constexpr const char* kTiny12Clocks[] = {
    "External Clock     (0000)   3.6/4.2 ms + 6 CK",
    "CKSEL     (0001)",
    "Internal RC     (0010)     57/67 ms + 6 CK",
    "CKSEL     (0011)",
    "CKSEL     (0100)",
    "CKSEL     (0101)",
    "CKSEL     (0110)",
    "CKSEL     (0111)",
    "CKSEL     (1000)",
    "CKSEL     (1001)",
    "CKSEL     (1010)",
    "CKSEL     (1011)",
    "CKSEL     (1100)",
    "CKSEL     (1101)",
    "CKSEL     (1110)",
    "CKSEL     (1111)",
};
constexpr const char* kTiny11Clocks[] = {
    "External Clock     (000)",         "CKSEL     (001)", "CKSEL     (010)", "CKSEL     (011)",
    "Internal RC Oscillator     (100)", "CKSEL     (101)", "CKSEL     (110)", "CKSEL     (111)",
};
constexpr const char* kBodLevels[] = {"2.7V     (BODLEVEL=0)", "1.8V     (BODLEVEL=1)"};
constexpr const char* kCalibrationCopies[] = {
    "Don't copy Calibration Byte",
    "Add Calibration Byte at the end of Flash Memory",
    "Add Calibration Byte at the beginning of EEPROM",
    "Add Calibration Byte at the end of EEPROM",
};

bool IsTiny11Control(int id) {
  return id == kFstrt || id == kRstdisbl || id == kTiny11Clock;
}
bool IsTiny12Control(int id) {
  return id == kBoden || id == kSpien || id == kRstdisbl || id == kTiny12Clock || id == kBodLevel;
}

}  // namespace

std::span<const PageCommand> CAtmelTiny12View::PageCommands() const {
  return kTiny1xPageCommands;
}

QString CAtmelTiny12View::GetViewTitle() const {
  return QStringLiteral("AT-Tiny 11/12 Programmer");
}

CTiny1xOperations& CAtmelTiny12View::Operations() const {
  return static_cast<CTiny1xOperations&>(OperationsOf(Frame().Doc(), Tiny1xFamilyRow()));
}

void CAtmelTiny12View::BuildControls() {
  AddIconButton(ctl::kHome, icon::kHome)->setGeometry(12, 10, 40, 40);
  AddHexFileRow(64);
  AddLabel(0, tr("EEPROM file:"))->setGeometry(12, 96, 80, 22);
  QLineEdit* eeprom = AddEdit(kEepromFileText);
  eeprom->setReadOnly(true);
  eeprom->setGeometry(96, 96, 640, 22);
  AddIconButton(ctl::kEepromFileBrowse, icon::kBrowse)->setGeometry(744, 92, 30, 30);

  struct Operation {
    int id;
    const char* text;
    int y;
  };
  constexpr Operation kOperations[] = {
      {ctl::kIdentify, "Identify Tiny", 132},
      {ctl::kReadConfiguration, "Get Config. from µC", 163},
      {ctl::kProgram, "Program", 220},
      {ctl::kVerify, "Verify", 258},
      {ctl::kRead, "Read", 289},
  };
  for (const auto& operation : kOperations) {
    AddButton(operation.id, QString::fromUtf8(operation.text))
        ->setGeometry(12, operation.y, 160, operation.id == ctl::kProgram ? 34 : 28);
  }
  QFont bold = Button(ctl::kProgram)->font();
  bold.setBold(true);
  Button(ctl::kProgram)->setFont(bold);
  AddIconButton(ctl::kReadEepromAfterReset, icon::kReadEepromAfterReset)
      ->setGeometry(12, 330, 38, 38);

  auto* programming = new QGroupBox(tr("Programming"), this);
  programming->setGeometry(184, 128, 260, 290);
  auto* flags = new QVBoxLayout(programming);
  flags->setSpacing(2);
  for (const auto& [id, text] :
       {std::pair{ctl::kEraseChip, "Erase Chip"}, std::pair{ctl::kFlashMemory, "Flash Memory"},
        std::pair{ctl::kEeprom, "EEPROM"}, std::pair{ctl::kConfiguration, "Configuration"},
        std::pair{ctl::kFastVerify, "Fast Verify"}, std::pair{ctl::kNoVerify, "No Verify"}}) {
    flags->addWidget(AddCheckBox(id, QString::fromUtf8(text), programming));
  }
  flags->addWidget(AddLabel(0, tr("Calibration byte"), programming));
  QComboBox* copy = AddComboBox(kCalibration, programming);
  for (const char* item : kCalibrationCopies) copy->addItem(QString::fromUtf8(item));
  flags->addWidget(copy);
  flags->addStretch();

  auto* fuses = new QGroupBox(tr("Fuses and Lock Bits"), this);
  fuses->setGeometry(452, 128, 336, 290);
  auto* column = new QVBoxLayout(fuses);
  column->addWidget(AddLabel(ctl::kWhiteText, QString(), fuses));
  QComboBox* tiny12Clock = AddComboBox(kTiny12Clock, fuses);
  for (const char* item : kTiny12Clocks) tiny12Clock->addItem(QString::fromUtf8(item));
  column->addWidget(tiny12Clock);
  QComboBox* tiny11Clock = AddComboBox(kTiny11Clock, fuses);
  for (const char* item : kTiny11Clocks) tiny11Clock->addItem(QString::fromUtf8(item));
  column->addWidget(tiny11Clock);
  QComboBox* bodLevel = AddComboBox(kBodLevel, fuses);
  for (const char* item : kBodLevels) bodLevel->addItem(QString::fromUtf8(item));
  column->addWidget(bodLevel);
  auto* checks = new QGridLayout;
  int index = 0;
  for (const auto& [id, text] :
       {std::pair{kLb1, "LB1"}, std::pair{kLb2, "LB2"}, std::pair{kFstrt, "FSTRT"},
        std::pair{kRstdisbl, "RSTDISBL"}, std::pair{kSpien, "SPIEN"}, std::pair{kBoden, "BODEN"}}) {
    checks->addWidget(AddCheckBox(id, QString::fromUtf8(text), fuses), index / 2, index % 2);
    ++index;
  }
  column->addLayout(checks);
  column->addStretch();
  AddLogAndStatus(430);
}

void CAtmelTiny12View::OnCommand(int id) {
  if (id == ctl::kEepromFileBrowse) {
    SelectFile(kTiny1xEepromFileSelection, kEepromFileText, [this](const QString& path) {
      Operations().SetEepromFile(path.toStdString());
      CqelDoc& doc = Frame().Doc();
      doc.LogLine("");
      doc.LogLine("EEPROM values loaded from: " + Operations().EepromDisplayName());
    });
    return;
  }
  // A fuse bit the user set for the device on show may be written to it.
  if (showsTiny11_ ? IsTiny11Control(id) : IsTiny12Control(id)) {
    CollectSettings();
    Tiny1xPageState& state = Operations().state;
    const int device = showsTiny11_ ? 0 : 1;
    state.SetFuse(device, state.optionBytes[device]);
  }
  CBaseView::OnCommand(id);
}

void CAtmelTiny12View::OnHexFileLoaded(const std::string& path) {
  CqelDoc& doc = Frame().Doc();
  ReadHexFile(doc.programmer->fileImage, path, doc.Prompt());
}

void CAtmelTiny12View::CollectSettings() {
  CBaseView::CollectSettings();
  Tiny1xPageState& state = Operations().state;
  auto programmed = [this](int id) {
    const QCheckBox* check = CheckBox(id);
    return check && check->isChecked();
  };
  auto encode = [&](std::span<const FuseBit> bits, uint8_t value) {
    for (const FuseBit& bit : bits) {
      value = static_cast<uint8_t>(programmed(bit.id) ? value & ~bit.bit : value | bit.bit);
    }
    return value;
  };
  // Only the device on show takes its boxes: the other's fuse byte stays as it was.
  if (showsTiny11_) {
    const int clock = std::max(0, ComboBox(kTiny11Clock)->currentIndex());
    state.optionBytes[0] =
        encode(kTiny11Bits, static_cast<uint8_t>((state.optionBytes[0] & ~kTiny11ClockBits) |
                                                 (clock & kTiny11ClockBits)));
  } else {
    const int clock = std::max(0, ComboBox(kTiny12Clock)->currentIndex());
    const int level = std::max(0, ComboBox(kBodLevel)->currentIndex());
    state.optionBytes[1] = encode(
        kTiny12Bits, static_cast<uint8_t>((level ? kBodLevelBit : 0) | (clock & kTiny12ClockBits)));
  }
  state.optionBytes[2] = encode(kLockBits, state.optionBytes[2]);
  state.copyCalibration = std::max(0, ComboBox(kCalibration)->currentIndex());
}

void CAtmelTiny12View::ShowSettings() {
  CBaseView::ShowSettings();
  ShowDevice();
}

void CAtmelTiny12View::SetupDeviceControls() {
  ShowDevice();
  if (QLineEdit* eeprom = Edit(kEepromFileText)) {
    eeprom->setText(QString::fromStdString(Operations().EepromFileName()));
  }
}

// The identified ATtiny11 shows its own bits; anything else the ATtiny12's.
void CAtmelTiny12View::ShowDevice() {
  const CMCUMemoryArchitecture& image = Frame().Doc().programmer->fileImage;
  const bool identified = image.family == Family::kTiny1x && image.blockSize != 0;
  showsTiny11_ = identified && std::string_view(image.deviceName) == "ATtiny11";
  const Tiny1xPageState& state = Operations().state;
  for (int id : {kFstrt, kTiny11Clock}) Control(id)->setHidden(!showsTiny11_);
  for (int id : {kBoden, kSpien, kTiny12Clock, kBodLevel}) Control(id)->setHidden(showsTiny11_);
  auto show = [this](std::span<const FuseBit> bits, uint8_t value) {
    for (const FuseBit& bit : bits) CheckBox(bit.id)->setChecked((value & bit.bit) == 0);
  };
  if (showsTiny11_) {
    show(kTiny11Bits, state.optionBytes[0]);
    ComboBox(kTiny11Clock)->setCurrentIndex(state.optionBytes[0] & kTiny11ClockBits);
  } else {
    show(kTiny12Bits, state.optionBytes[1]);
    ComboBox(kTiny12Clock)->setCurrentIndex(state.optionBytes[1] & kTiny12ClockBits);
    ComboBox(kBodLevel)->setCurrentIndex((state.optionBytes[1] & kBodLevelBit) ? 1 : 0);
  }
  show(kLockBits, state.optionBytes[2]);
  ComboBox(kCalibration)->setCurrentIndex(state.copyCalibration);
  if (auto* badge = qobject_cast<QLabel*>(Control(ctl::kWhiteText))) {
    badge->setText(QString::fromUtf8(identified ? image.deviceName : "ATtiny12 (not identified)"));
  }
}

}  // namespace velmora
