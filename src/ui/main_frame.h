#pragma once
// CMainFrame: the one main window. It shows one page at a time; SwitchView replaces the
// visible page, sizes the window for the new one and keeps the old page, hidden, for the next
// time it is chosen. The window cannot be resized by the user.
#include <QDateTime>
#include <QMainWindow>
#include <QPrinter>
#include <QStackedWidget>
#include <QStringList>
#include <functional>
#include <map>
#include <memory>
#include <string>

#include "families/family_row.h"
#include "ui/file_selection.h"
#include "ui/page_registry.h"

namespace velmora {

class CBaseView;
class CqelDoc;
class CqelListBox;
class LogAttachment;
class StatusBarAttachment;

class CMainFrame : public QMainWindow {
  Q_OBJECT

 public:
  explicit CMainFrame(CqelDoc& doc);
  ~CMainFrame() override;

  CqelDoc& Doc() { return doc_; }

  // Shows the page of `type`, creating it on first use. Types without a page are ignored.
  void SwitchView(int type);
  static bool HasView(int type);

  CBaseView* ActiveView() const;
  // The page of `type` if it was created, else nullptr.
  CBaseView* FindView(int type) const;
  int CurrentViewType() const { return currentViewType; }

  // Main window size and position as a page asks for them.
  void PlaceWindow(int left, int top, int width, int height);
  void SetTopmost(bool topmost);
  bool IsTopmost() const;

  // Runs a framework command (new, open, save, save as, print, print preview, print setup).
  void OnFrameCommand(int command);

  // Settings presets: empty files whose path names the log file.
  bool OpenPreset(const QString& path);
  bool SavePreset(const QString& path);
  QString PresetTitle() const;
  // Shown after the title, e.g. when the programmer is simulated.
  void SetTitleSuffix(const QString& suffix);

  // File dialogs and the desktop's "open" for the browse buttons.
  IFileChooser& FileChooser() { return *fileChooser_; }
  void SetFileChooser(std::unique_ptr<IFileChooser> chooser) { fileChooser_ = std::move(chooser); }

  // The HEX file's last-write time when it was last loaded (or announced as new), so that the
  // pages notice when it changes on disk.
  void NoteHexFileLoaded(const std::string& path);
  void NoteHexFileAnnounced(const std::string& path) { NoteHexFileLoaded(path); }
  bool HexFileChangedSinceLoad(const std::string& path) const;

  // Draws the visible page into a framed area of the printer's page.
  void RenderVisiblePage(QPagedPaintDevice& device);

  // The document's log and status bar are shown in the controls of the page on screen
  // (nullptr: none).
  void AttachLogList(CqelListBox* list);
  void AttachStatusBar(QWidget* bar);

  int currentViewType = 0;
  int currentViewId = 0;

 protected:
  // Closing the window during an operation stops it as SIGINT stops the command line: at its
  // next transfer, leaving programming mode and closing the programmer; the window waits for
  // that end.
  void closeEvent(QCloseEvent* event) override;

 private:
  void CreateMenuAndKeys();
  void PrintVisiblePage(bool preview);
  void UpdateTitle();

  CqelDoc& doc_;
  std::unique_ptr<LogAttachment> log_;
  std::unique_ptr<StatusBarAttachment> statusBar_;
  QStackedWidget* stack_;
  std::map<int, CBaseView*> views_;
  QPrinter printer_;
  QString titleSuffix_;
  std::string hexFilePath_;
  QDateTime hexFileTime_;
  std::unique_ptr<IFileChooser> fileChooser_ = MakeQtFileChooser();
};

}  // namespace velmora
