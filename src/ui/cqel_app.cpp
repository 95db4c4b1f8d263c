#include "ui/cqel_app.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QMessageBox>
#include <nlohmann/json.hpp>

#include "engine/cqel_doc.h"
#include "engine/settings_store_qt.h"
#include "families/family_registry.h"
#include "link/dynamic_library.h"
#include "memory/catalogue.h"
#include "platform/clock.h"
#include "sim/client/sim_client.h"
#include "ui/base_view.h"
#include "ui/dialogs/qt_user_prompt.h"
#include "ui/main_frame.h"

namespace velmora {

StartOptions ParseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Velmora USB-Programmer"));
  parser.addHelpOption();
  parser.addVersionOption();
  const QCommandLineOption simulate(
      QStringLiteral("simulate"),
      QStringLiteral("demo mode: use the simulated programmer with this target device"),
      QStringLiteral("device"));
  parser.addOption(simulate);
  parser.addPositionalArgument(QStringLiteral("preset"),
                               QStringLiteral("settings preset (*.upr) to open"),
                               QStringLiteral("[preset]"));
  parser.process(arguments);
  StartOptions options;
  if (!parser.positionalArguments().isEmpty()) {
    options.presetPath = parser.positionalArguments().join(QLatin1Char(' '));
  }
  options.simulatedDevice = parser.value(simulate);
  options.openDevicePage = !options.simulatedDevice.isEmpty();
  return options;
}

CqelApp::CqelApp() = default;

CqelApp::~CqelApp() {
  // The active page's controls go into the settings; the document saves them as it goes.
  if (frame_ && frame_->ActiveView() && !doc_->OperationRunning()) {
    frame_->ActiveView()->CollectSettings();
  }
  frame_.reset();  // pages first: they refer to the document
  doc_.reset();
}

bool CqelApp::PrepareSimulator(const QString& device, std::string& driverPath) {
  driverPath = sim::SimulatorLibrary();
  try {
    // VELMORA_SIM_SCENARIO may describe more of the demo (trace output, faults).
    simulator_ = sim::StartSimulator(
        driverPath, sim::FrontEndScenario("", device.toStdString(), /*mini=*/false));
    return true;
  } catch (const std::exception& e) {
    QMessageBox::critical(nullptr, QStringLiteral("Programmer Error"),
                          QStringLiteral("Demo mode: ") + QString::fromStdString(e.what()));
    return false;
  }
}

void CqelApp::OpenFamilyPageOf(const QString& device) {
  const FamilyRow* family = FindFamily(FamilyOfDevice(device.toStdString()));
  if (family && !family->pages.empty()) frame_->SwitchView(family->pages.front());
}

bool CqelApp::InitInstance(const StartOptions& options) {
  QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
  QCoreApplication::setApplicationName(QStringLiteral("Velmora USB-Programmer"));

  if (options.prompt) {
    prompt_ = options.prompt;
  } else {
    dialogs_ = std::make_unique<QtUserPrompt>();
    prompt_ = dialogs_.get();
  }
  std::string driverPath;
  if (!options.simulatedDevice.isEmpty() &&
      !PrepareSimulator(options.simulatedDevice, driverPath)) {
    return false;
  }
  ISettingsStore* store = options.settingsStore;
  if (!store) {
    userSettings_ = std::make_unique<QtSettingsStore>();
    store = userSettings_.get();
  }
  doc_ = std::make_unique<CqelDoc>(CqelDocServices{
      .clock = options.clock ? *options.clock : DefaultClock(),
      .prompt = *prompt_,
      .settingsStore = store,
      .driverLibraryPath = driverPath,
  });

  frame_ = std::make_unique<CMainFrame>(*doc_);
  if (simulator_) {
    frame_->SetTitleSuffix(
        QStringLiteral("[simulated programmer, %1]").arg(options.simulatedDevice));
  }
  if (!options.presetPath.isEmpty()) frame_->OpenPreset(options.presetPath);
  frame_->show();
  frame_->ActiveView()->ActivateView();
  if (simulator_ && options.openDevicePage) OpenFamilyPageOf(options.simulatedDevice);
  return true;
}

}  // namespace velmora
