#pragma once
// CqelApp: start-up of the desktop program. It creates the user prompt, the document (settings
// loaded, programmer link bound, to the simulated programmer in demo mode) and the main frame
// with the start page, opens a settings preset named on the command line and activates the
// start page, which sizes the window and logs the banner with the programmer's status line.
#include <QString>
#include <QStringList>
#include <memory>

namespace velmora {

class CMainFrame;
class CqelDoc;
class IClock;
class ISettingsStore;
class QtUserPrompt;
namespace sim {
class SimClient;
}

class IUserPrompt;

struct StartOptions {
  QString presetPath;       // empty: no preset
  QString simulatedDevice;  // not empty: demo mode on the simulated programmer with this target
  // Demo mode opens on the page of the simulated device's family (the start page when the
  // device is not in the catalogue).
  bool openDevicePage = false;
  IUserPrompt* prompt = nullptr;  // answers instead of message boxes (tests); nullptr: dialogs
  IClock* clock = nullptr;        // nullptr: the system clock
  // Where the settings are loaded from and saved to; nullptr: the user's settings.
  ISettingsStore* settingsStore = nullptr;
};

// Reads the command line: an optional preset file and --simulate DEVICE (which also opens the
// device's family page); --help and --version print and exit.
StartOptions ParseCommandLine(const QStringList& arguments);

class CqelApp {
 public:
  CqelApp();
  ~CqelApp();

  // Runs the start-up steps in order; the window is shown at the end. False (after telling the
  // user) when the simulated programmer cannot be set up.
  bool InitInstance(const StartOptions& options);
  CMainFrame& MainFrame() { return *frame_; }
  CqelDoc& Document() { return *doc_; }

 private:
  bool PrepareSimulator(const QString& device, std::string& driverPath);
  void OpenFamilyPageOf(const QString& device);

  std::unique_ptr<QtUserPrompt> dialogs_;
  IUserPrompt* prompt_ = nullptr;
  std::unique_ptr<sim::SimClient> simulator_;  // keeps the simulator loaded
  std::unique_ptr<ISettingsStore> userSettings_;
  std::unique_ptr<CqelDoc> doc_;
  std::unique_ptr<CMainFrame> frame_;
};

}  // namespace velmora
