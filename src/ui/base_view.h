#pragma once
// CBaseView: the form from which every page of the main window derives. It is the start page
// itself and the shared implementation of the family pages: the controls of every page (found
// by their shared identifiers), the painting of background, title and maker lines, tooltips,
// the page timer and the default command handlers. A family page differs only in the controls
// it builds, its title, its window size, its family and command table, its HEX file and the
// handlers it overrides.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <span>
#include <string>
#include <vector>

#include "memory/family.h"
#include "ui/file_selection.h"

namespace velmora {

class CMainFrame;

// A button of a family page and the family command it starts.
struct PageCommand {
  int controlId;
  int command;  // the FamilyCommand id
};

class CBaseView : public QWidget {
  Q_OBJECT

 public:
  explicit CBaseView(CMainFrame& frame);
  ~CBaseView() override;

  // Builds the page's controls and attaches their tooltips; the frame calls it once, right
  // after construction (the page's "initial update").
  void Create();

  virtual void SetupToolTips();
  // Called by SwitchView once the page is visible: sizes the main window, attaches the log and
  // the status bar, logs the banner on the first activation and starts the page timer.
  virtual void ActivateView();
  // Called before another page replaces this one; non-zero would keep this page. Returns 0.
  virtual int DeactivateView();
  virtual QString GetViewTitle() const;
  virtual std::string GetHexFileName() const;
  // Hooks for derived pages; the last two are the Enter and Escape keys, which do nothing.
  virtual void OnFirstHook() {}
  virtual void OnSecondHook() {}
  virtual void OnOK() {}
  virtual void OnCancel() {}

  // Every control reports here with its identifier.
  virtual void OnCommand(int id);

  // The family whose commands the page's buttons start (kNone for the start page), and which
  // button starts which command.
  virtual Family PageFamily() const { return Family::kNone; }
  virtual std::span<const PageCommand> PageCommands() const { return {}; }
  // The HEX file row's browse dialog; nullptr when the page loads no HEX file.
  virtual const FileSelection* HexFileSelection() const { return nullptr; }
  // Called after the user picked a HEX file with the browse button (the path is in the edit
  // field and noted as loaded): the page loads it where its family needs it.
  virtual void OnHexFileLoaded(const std::string& /*path*/) {}
  // The edit field that names the page's HEX file.
  virtual int HexFileEditId() const;

  // The busy guard of every command that reaches the programmer: true (after telling the
  // user) while an operation runs.
  virtual bool IsBusy();
  // Stores the page's option controls into the document's settings; ShowSettings is the
  // reverse.
  virtual void CollectSettings();
  virtual void ShowSettings();
  // Shows the controls of the current device with the current settings.
  virtual void SetupDeviceControls();

  // The control with this identifier, or nullptr when the page does not carry it.
  QWidget* Control(int id) const;
  QAbstractButton* Button(int id) const;
  QCheckBox* CheckBox(int id) const;
  QComboBox* ComboBox(int id) const;
  QLineEdit* Edit(int id) const;
  std::vector<int> ControlIds() const;

  bool PageTimerRunning() const { return pageTimer_.isActive(); }
  // Runs every 500 ms while the page is visible: reads the trace definition file again when it
  // changed, and announces a changed HEX file as "New Software" on the status bar, whose click
  // then updates the program memory.
  virtual void OnPageTimer();

  // Size of the main window while this page is shown, and its position when last left.
  int frameWidth = 800;
  int frameHeight = 600;
  int frameLeft = -1;
  int frameTop = -1;

 protected:
  // The page's controls. CBaseView builds the start page.
  virtual void BuildControls();

  CMainFrame& Frame() const { return frame_; }
  bool IsCompactPage() const { return frameHeight <= 105; }

  // --- Building blocks of the page layouts ---------------------------------------------------
  // Each creates the control as a child of `parent` (the page by default); the caller places
  // it, with setGeometry or in a layout. Identifier 0 makes a control without a function.
  QPushButton* AddButton(int id, const QString& text, QWidget* parent = nullptr);
  // `bitmap` is an icon resource number of controls/icon_art.h.
  QAbstractButton* AddIconButton(int id, int bitmap, QWidget* parent = nullptr);
  QCheckBox* AddCheckBox(int id, const QString& text, QWidget* parent = nullptr);
  QComboBox* AddComboBox(int id, QWidget* parent = nullptr);
  QLineEdit* AddEdit(int id, QWidget* parent = nullptr);
  QLabel* AddLabel(int id, const QString& text, QWidget* parent = nullptr);
  QWidget* AddLogList(QWidget* parent = nullptr);
  QWidget* AddStatusControl(QWidget* parent = nullptr);
  // Registers a control under its identifier and routes its signal to OnCommand.
  void Register(int id, QWidget* control);

  // Keeps a control `margin` pixels above the page's bottom edge; with `stretch` its top stays
  // and its height follows the page.
  void AnchorToBottom(QWidget* control, int margin, bool stretch);

  // A browse button: asks for a file (or, with Ctrl held, opens the current one), puts the
  // path into the edit field `editId` and hands it to `load`. Cancelling keeps the old path.
  // With a `load`, the busy guard applies whatever the selection says.
  void SelectFile(const FileSelection& selection, int editId,
                  const std::function<void(const QString&)>& load);

  // Busy guard, settings, then the command of the page's family (on a worker where it takes
  // long).
  void RunFamilyCommand(int command);

  // The common pattern of the commands that reach the target: busy guard, settings collected,
  // then `start`; false when the click was dropped.
  bool RunGuarded(const std::function<void()>& start);

  // Shared sections.
  void AddHexFileRow(int y);
  // "Trace", "Suppress Trace", "Enable Pullups" and the trace definition file, in a group box.
  QWidget* AddTraceGroup(const QRect& geometry, bool withMonitor);
  // The log list from `logTop` down to the status bar, which sits on the bottom edge.
  void AddLogAndStatus(int logTop);

  void paintEvent(QPaintEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  struct BottomAnchor {
    QWidget* control;
    int margin;
    bool stretch;
  };
  void ApplyAnchors();
  void PaintMakerLines(QPainter& painter);

  CMainFrame& frame_;
  std::map<int, QWidget*> controls_;
  std::vector<BottomAnchor> anchors_;
  QTimer pageTimer_;
};

}  // namespace velmora
