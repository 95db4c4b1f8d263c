#pragma once
// CqelApp: start-up of the desktop program. It creates the main frame with the start page,
// opens a settings preset named on the command line and activates the start page, which sizes
// the window and logs the banner.
#include <QStringList>
#include <memory>

namespace velmora {

class CMainFrame;

struct StartOptions {
  QString presetPath;  // empty: no preset
};

// Reads the command line: one optional preset file.
StartOptions ParseCommandLine(const QStringList& arguments);

class CqelApp {
 public:
  CqelApp();
  ~CqelApp();

  // Runs the start-up steps in order; the window is shown at the end.
  bool InitInstance(const StartOptions& options);
  CMainFrame& MainFrame() { return *frame_; }

 private:
  std::unique_ptr<CMainFrame> frame_;
};

}  // namespace velmora
