#pragma once
// The PIC12F629 page: identify, the erases, the configuration read, the EEPROM dump and
// Program/Verify/Read of the PIC12F629/675 and PIC16F630/676, with the configuration word as
// check boxes and the oscillator list, the "Software"/"EEPROM" flags and the calibration
// choices. Its settings live in the family's object of the document; they are not stored.
#include <span>
#include <string>

#include "ui/base_view.h"

namespace velmora {

struct Pic12PageState;

// The HEX file of the page. The browse button has the busy guard: a file loaded during a
// running Program would change the image being written.
inline constexpr FileSelection kPic12HexFileSelection{
    .busyGuard = true,
    .ctrlClickOpens = false,
    .filter = "Intel Hex File For PIC (*.hex)",
    .defaultSuffix = "hex",
    .title = "Select Hex File",
    .startInCurrentPath = false,
};

// The page's own controls (the shared identifiers mean the shared settings).
namespace pic12ctl {
constexpr int kOscillator = 1093;
constexpr int kBandGap = 1193;
constexpr int kCpd = 1150;
constexpr int kCp = 1151;
constexpr int kBoden = 1152;
constexpr int kMclre = 1153;
constexpr int kPwrte = 1154;
constexpr int kWdte = 1155;
constexpr int kIgnoreHexConfiguration = 1156;
constexpr int kSoftware = 1157;
constexpr int kEeprom = 1158;
constexpr int kCalibrationValue = 1159;
}  // namespace pic12ctl

class CPIC12View : public CBaseView {
  Q_OBJECT

 public:
  using CBaseView::CBaseView;
  QString GetViewTitle() const override;
  void OnCommand(int id) override;
  Family PageFamily() const override { return Family::kPic12; }
  std::span<const PageCommand> PageCommands() const override;
  const FileSelection* HexFileSelection() const override { return &kPic12HexFileSelection; }
  void OnHexFileLoaded(const std::string& path) override;
  void CollectSettings() override;
  void ShowSettings() override;

 protected:
  void BuildControls() override;

 private:
  Pic12PageState& State() const;
};

}  // namespace velmora
