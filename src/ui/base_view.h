#pragma once
// CBaseView: the form from which every page of the main window derives. It is the start page
// itself and the shared implementation of the family pages: the controls of every page (found
// by their shared identifiers), the painting of background, title and maker lines, tooltips,
// the page timer and the default command handlers. A family page differs only in the controls
// it builds, its title, its window size and the handlers it overrides.
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>
#include <QWidget>
#include <functional>
#include <map>
#include <string>
#include <vector>

#include "ui/file_selection.h"

namespace velmora {
enum class Pic18Command;
}

namespace velmora {

class CMainFrame;

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
  // Runs every 500 ms while the page is visible: announces a changed HEX file as
  // "New Software" on the status bar, whose click then updates the program memory.
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
  void SelectFile(const FileSelection& selection, int editId,
                  const std::function<void(const QString&)>& load);

  // Loads a HEX file into the document's file image and, unless the page's configuration is
  // to be used, takes over the file's configuration.
  void LoadPic18HexFile(const std::string& path);

  // Busy guard, settings, then the PIC18 operation (on a worker where it takes long).
  void RunPic18Command(Pic18Command command);

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
