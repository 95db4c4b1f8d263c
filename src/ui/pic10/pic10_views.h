#pragma once
// The PIC10F20x page: the type list, the erase and Program/Verify/Read, with the configuration
// word's options as check boxes. Its configuration word lives in the family's object of the
// document; the type is the stored setting "PIC10 Type Selection".
#include <span>
#include <string>

#include "ui/base_view.h"

namespace velmora {

struct Pic10PageState;

// The browse button has the busy guard: a file loaded during a running Program would change the
// image being written.
inline constexpr FileSelection kPic10HexFileSelection{
    .busyGuard = true,
    .ctrlClickOpens = false,
    .filter = "Intel Hex File For PIC (*.hex)",
    .defaultSuffix = "hex",
    .title = "Select Hex File",
    .startInCurrentPath = false,
};

namespace pic10ctl {
constexpr int kType = 1324;
constexpr int kMclre = 1160;
constexpr int kCp = 1161;
constexpr int kWdte = 1162;
constexpr int kIgnoreHexConfiguration = 1163;
}  // namespace pic10ctl

class CPIC10View : public CBaseView {
  Q_OBJECT

 public:
  using CBaseView::CBaseView;
  QString GetViewTitle() const override;
  void OnCommand(int id) override;
  Family PageFamily() const override { return Family::kPic10; }
  std::span<const PageCommand> PageCommands() const override;
  const FileSelection* HexFileSelection() const override { return &kPic10HexFileSelection; }
  void OnHexFileLoaded(const std::string& path) override;
  void CollectSettings() override;
  void ShowSettings() override;

 protected:
  void BuildControls() override;

 private:
  Pic10PageState& State() const;
  void OnTypeChosen();
};

}  // namespace velmora
