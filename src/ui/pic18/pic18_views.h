#pragma once
// The PIC18 pages: the programmer page, its extended settings, the basic test and the compact
// always-on-top page with one large button.
#include <span>
#include <string>
#include <string_view>

#include "engine/option_ids.h"
#include "ui/base_view.h"
#include "ui/pic18/pic18_options.h"

namespace velmora {

class CqelDoc;

// The PIC18 pages' HEX file.
inline constexpr FileSelection kPic18HexFileSelection{
    .busyGuard = true,
    .ctrlClickOpens = false,
    .filter = "Intel Hex File For PIC (*.hex)",
    .defaultSuffix = "hex",
    .title = "Select Hex File",
    .startInCurrentPath = false,
};

// The buttons of the PIC18 pages and the PIC18 commands they start.
std::span<const PageCommand> Pic18PageCommands();
// The buttons that lead from one PIC18 page to another; true when `id` was one of them.
bool SwitchPic18Page(CMainFrame& frame, int id);
// Loads a HEX file into the document's file image and, unless the page's configuration is to
// be used, takes over the file's configuration.
void LoadPic18HexFile(CqelDoc& doc, const std::string& path);

class CPIC18BaseView : public CBaseView {
  Q_OBJECT

 public:
  using CBaseView::CBaseView;
  QString GetViewTitle() const override;
  void SetupToolTips() override;
  void OnCommand(int id) override;
  Family PageFamily() const override { return Family::kPic18; }
  std::span<const PageCommand> PageCommands() const override { return Pic18PageCommands(); }
  const FileSelection* HexFileSelection() const override { return &kPic18HexFileSelection; }
  void OnHexFileLoaded(const std::string& path) override;
  void CollectSettings() override;
  void ShowSettings() override;
  // The options of the device in the document's file image.
  void SetupDeviceControls() override;

  // Shows the options that `device` offers and hides the others, fills the option lists with
  // the device's choices (item index = field value), selects the values of `options` and shows
  // the catalogue remark.
  void ShowPic18Device(std::string_view device, std::string_view remark,
                       const OptionSelections& options);
  // Writes the states of the shown option controls into `options`; options the device does
  // not offer keep their values.
  void StorePic18Options(OptionSelections& options) const;

 protected:
  void BuildControls() override;
  // The settings part of the page, right of the operation buttons.
  virtual void BuildSettings();
  void AddOperationButtons();
  void AddProgrammingGroup(const QRect& geometry);
  void AddOptionControls(QWidget* group, Pic18Page page, int checkColumns);
};

class CPIC18Base2View : public CPIC18BaseView {
  Q_OBJECT

 public:
  using CPIC18BaseView::CPIC18BaseView;
  QString GetViewTitle() const override;

 protected:
  void BuildSettings() override;
};

class CBasicTestView : public CBaseView {
  Q_OBJECT

 public:
  using CBaseView::CBaseView;
  QString GetViewTitle() const override;
  void OnCommand(int id) override;
  Family PageFamily() const override { return Family::kPic18; }
  std::span<const PageCommand> PageCommands() const override { return Pic18PageCommands(); }
  const FileSelection* HexFileSelection() const override { return &kPic18HexFileSelection; }
  void OnHexFileLoaded(const std::string& path) override;

 protected:
  void BuildControls() override;

 private:
  void OnDataMonitorBox();
};

class CMiniVortangView : public CBaseView {
  Q_OBJECT

 public:
  explicit CMiniVortangView(CMainFrame& frame);
  QString GetViewTitle() const override;
  void OnCommand(int id) override;
  Family PageFamily() const override { return Family::kPic18; }
  std::span<const PageCommand> PageCommands() const override { return Pic18PageCommands(); }
  void ActivateView() override;
  int DeactivateView() override;

 protected:
  void BuildControls() override;
};

}  // namespace velmora
