#pragma once
// The ATtiny11/12 page: identify, the fuse read, the EEPROM dump and Program/Verify/Read, with
// the fuse and lock bits of the device on show (the ATtiny11's or the ATtiny12's), the
// calibration byte list and the EEPROM file. Its settings live in the family's object of the
// document; they are not stored.
#include <span>
#include <string>

#include "ui/base_view.h"

namespace velmora {

class CTiny1xOperations;

// Both browse buttons have the busy guard: a file chosen during a running Program would change
// the image being written.
inline constexpr FileSelection kTiny1xHexFileSelection{
    .busyGuard = true,
    .ctrlClickOpens = false,
    .filter = "Intel Hex File For PIC (*.hex)",
    .defaultSuffix = "hex",
    .title = "Select Hex File",
    .startInCurrentPath = false,
};
inline constexpr FileSelection kTiny1xEepromFileSelection{
    .busyGuard = true,
    .ctrlClickOpens = false,
    .filter = "Intel Hex File For PIC (*.hex)",
    .defaultSuffix = "hex",
    .title = "Select Hex File for EEPROM",
    .startInCurrentPath = false,
};

// The page's own controls.
namespace tiny1x_ctl {
constexpr int kLb1 = 1164;
constexpr int kLb2 = 1165;
constexpr int kFstrt = 1166;
constexpr int kRstdisbl = 1167;
constexpr int kSpien = 1168;
constexpr int kBoden = 1169;
constexpr int kTiny12Clock = 1179;
constexpr int kTiny11Clock = 1181;
constexpr int kBodLevel = 1186;
constexpr int kCalibration = 1187;
constexpr int kEepromFileText = 1500;  // the EEPROM file's name
}  // namespace tiny1x_ctl

class CAtmelTiny12View : public CBaseView {
  Q_OBJECT

 public:
  using CBaseView::CBaseView;
  QString GetViewTitle() const override;
  void OnCommand(int id) override;
  Family PageFamily() const override { return Family::kTiny1x; }
  std::span<const PageCommand> PageCommands() const override;
  const FileSelection* HexFileSelection() const override { return &kTiny1xHexFileSelection; }
  void OnHexFileLoaded(const std::string& path) override;
  void CollectSettings() override;
  void ShowSettings() override;
  void SetupDeviceControls() override;

  // True while the ATtiny11's fuse bits are on show (else the ATtiny12's).
  bool ShowsTiny11() const { return showsTiny11_; }

 protected:
  void BuildControls() override;

 private:
  CTiny1xOperations& Operations() const;
  void ShowDevice();
  bool showsTiny11_ = false;
};

}  // namespace velmora
