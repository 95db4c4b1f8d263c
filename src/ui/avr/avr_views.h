#pragma once
// The ATmega/ATtiny pages: the programmer page with the fuse and lock options of the identified
// device, the link speed and calibration byte lists and the EEPROM file; and the compact
// always-on-top page with "Program" and the small "R" (identify) button.
#include <span>
#include <string>
#include <string_view>

#include "engine/option_ids.h"
#include "ui/base_view.h"

namespace velmora {

class CAvrOperations;

// Controls of the ATmega pages that no other page carries.
namespace avr_ctl {
constexpr int kSpeed = 1176;        // programming speed list
constexpr int kCalibration = 1178;  // calibration byte list
constexpr int kHighVoltageRestore = 1309;
constexpr int kInstructionScan = 1382;  // "SignatureTest"
constexpr int kEepromFileText = 1500;   // the EEPROM file's name
constexpr int kFirstOption = 1510;      // fuse and lock options from here on
}  // namespace avr_ctl

// The page's fuse and lock option controls: the option selection each stands for.
struct AvrOptionControl {
  int id;
  OptionId option;
  const char* text;
  bool list;  // a field (list index = value) or a check box (ticked = programmed)
};
std::span<const AvrOptionControl> AvrOptionControls();

// The EEPROM file's browse dialog.
inline constexpr FileSelection kAvrEepromFileSelection{
    .busyGuard = false,
    .ctrlClickOpens = false,
    .filter = "Intel Hex File For PIC (*.hex)",
    .defaultSuffix = "hex",
    .title = "Select Hex File for EEPROM",
    .startInCurrentPath = false,
};
inline constexpr FileSelection kAvrHexFileSelection{
    .busyGuard = true,
    .ctrlClickOpens = false,
    .filter = "Intel Hex File For PIC (*.hex)",
    .defaultSuffix = "hex",
    .title = "Select Hex File",
    .startInCurrentPath = false,
};

std::span<const PageCommand> AvrPageCommands();

class CAtmelMegaView : public CBaseView {
  Q_OBJECT

 public:
  explicit CAtmelMegaView(CMainFrame& frame);
  QString GetViewTitle() const override;
  void OnCommand(int id) override;
  void ActivateView() override;
  Family PageFamily() const override { return Family::kAvr; }
  std::span<const PageCommand> PageCommands() const override { return AvrPageCommands(); }
  const FileSelection* HexFileSelection() const override { return &kAvrHexFileSelection; }
  void CollectSettings() override;
  void ShowSettings() override;
  void SetupDeviceControls() override;

  // Shows the options `device` offers with the values of `options`, hides the others.
  void ShowAvrDevice(std::string_view device, const OptionSelections& options);

 protected:
  void BuildControls() override;
  CAvrOperations& Operations() const;
  // The device whose options the page shows; "" when none.
  std::string shownDevice_;
};

class CAtmelMegaMiniVortang : public CAtmelMegaView {
  Q_OBJECT

 public:
  explicit CAtmelMegaMiniVortang(CMainFrame& frame);
  QString GetViewTitle() const override;
  void OnCommand(int id) override;
  void ActivateView() override;
  int DeactivateView() override;

 protected:
  void BuildControls() override;
};

}  // namespace velmora
