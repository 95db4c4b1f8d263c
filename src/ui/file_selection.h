#pragma once
// File selection of the pages: every browse button follows one pattern (busy guard, collect the
// page's settings, Ctrl-click opens the current file in its associated program, otherwise the
// file-open dialog, store the path, load the file, refresh the device controls). The dialogs
// and the shell sit behind IFileChooser, so tests can answer them.
#include <QString>
#include <QStringList>
#include <memory>

class QWidget;

namespace velmora {

// One browse button's dialog and behaviour.
struct FileSelection {
  bool busyGuard;
  bool ctrlClickOpens;  // Ctrl-click opens the named file instead of the dialog
  const char* filter;   // Qt filter string: "label (pattern);;label (pattern)"
  const char* defaultSuffix;
  const char* title;
  bool startInCurrentPath;  // the dialog opens where the current file is
};

// The trace definition file; its dialog carries the same title as the HEX file's.
inline constexpr FileSelection kTraceDefinitionSelection{
    .busyGuard = true,
    .ctrlClickOpens = true,
    .filter = "Trace Definition File (*.tdf);;Text File (*.txt)",
    .defaultSuffix = "tdf",
    .title = "Select Hex File",
    .startInCurrentPath = true,
};

// Paths of 7 characters or fewer name no file worth loading.
inline constexpr int kShortestLoadablePath = 8;

class IFileChooser {
 public:
  virtual ~IFileChooser() = default;
  // The chosen file, or an empty string when the user cancels.
  virtual QString ChooseFileToOpen(QWidget* owner, const FileSelection& selection,
                                   const QString& currentPath) = 0;
  // Asks the desktop to open the file with its associated program.
  virtual void OpenWithAssociatedProgram(const QString& path) = 0;
  virtual bool ControlKeyHeld() const = 0;
};

// QFileDialog, QDesktopServices and the keyboard state.
std::unique_ptr<IFileChooser> MakeQtFileChooser();

}  // namespace velmora
