#pragma once
// The dsPIC30 pages: the programmer page, the basic test and the compact always-on-top page with
// one large button. All three work with the dsPIC30's own HEX file and programming flags and
// always use the full programmer.
#include <span>
#include <string>

#include "engine/option_ids.h"
#include "ui/base_view.h"

namespace velmora {

class CqelDoc;

// The dsPIC30 pages' HEX file.
inline constexpr FileSelection kDsPic30HexFileSelection{
    .busyGuard = false,
    .ctrlClickOpens = true,
    .filter = "Intel Hex File For PIC (*.hex)",
    .defaultSuffix = "hex",
    .title = "Select Hex File",
    .startInCurrentPath = false,
};

// The buttons of the dsPIC30 pages and the dsPIC30 commands they start.
std::span<const PageCommand> DsPic30PageCommands();
// Loads a HEX file into the document's file image; its configuration words become the
// document's dsPIC30 configuration values and, unless the page's configuration is to be
// programmed, the option selections.
void LoadDsPic30HexFile(CqelDoc& doc, const std::string& path);

class CdsPIC30View : public CBaseView {
  Q_OBJECT

 public:
  using CBaseView::CBaseView;
  QString GetViewTitle() const override;
  void SetupToolTips() override;
  // The dsPIC30 file becomes the general HEX file, and the full programmer is used.
  void ActivateView() override;
  void OnCommand(int id) override;
  Family PageFamily() const override { return Family::kDsPic30; }
  std::span<const PageCommand> PageCommands() const override { return DsPic30PageCommands(); }
  const FileSelection* HexFileSelection() const override { return &kDsPic30HexFileSelection; }
  void OnHexFileLoaded(const std::string& path) override;
  int HexFileEditId() const override;
  void CollectSettings() override;
  void ShowSettings() override;
  // The options of the device in the document's file image.
  void SetupDeviceControls() override;

  // Shows the options that the device of dsPIC30 catalogue row `row` offers and hides the
  // others, fills the lists with its choices (item index = field value), selects the values of
  // `options` and names the device.
  void ShowDsPic30Device(int row, const OptionSelections& options);
  // Writes the states of the page's flags and shown option controls into `options`; options
  // the device does not offer keep their values.
  void StoreDsPic30Options(OptionSelections& options) const;

 protected:
  void BuildControls() override;
  void AddDsPic30HexFileRow(int y);
  void AddOperationButtons();
  void AddProgrammingGroup(const QRect& geometry);
  void AddConfigurationGroup(const QRect& geometry);
  // The page the home button leads to.
  virtual int HomePage() const;
};

class CDSPIC30BasicTest : public CdsPIC30View {
  Q_OBJECT

 public:
  using CdsPIC30View::CdsPIC30View;

 protected:
  void BuildControls() override;
  int HomePage() const override;
};

class CDSPIC30MINIVORTANG : public CdsPIC30View {
  Q_OBJECT

 public:
  explicit CDSPIC30MINIVORTANG(CMainFrame& frame);
  QString GetViewTitle() const override;
  void ActivateView() override;
  int DeactivateView() override;

 protected:
  void BuildControls() override;
  int HomePage() const override;
};

}  // namespace velmora
