#include "ui/cqel_app.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include "ui/base_view.h"
#include "ui/main_frame.h"

namespace velmora {

StartOptions ParseCommandLine(const QStringList& arguments) {
  QCommandLineParser parser;
  parser.setApplicationDescription(QStringLiteral("Velmora USB-Programmer"));
  parser.addHelpOption();
  parser.addPositionalArgument(QStringLiteral("preset"),
                               QStringLiteral("settings preset (*.upr) to open"), "[preset]");
  parser.process(arguments);
  StartOptions options;
  if (!parser.positionalArguments().isEmpty()) {
    options.presetPath = parser.positionalArguments().join(QLatin1Char(' '));
  }
  return options;
}

CqelApp::CqelApp() = default;
CqelApp::~CqelApp() = default;

bool CqelApp::InitInstance(const StartOptions& options) {
  QCoreApplication::setOrganizationName(QStringLiteral("Velmora"));
  QCoreApplication::setApplicationName(QStringLiteral("Velmora USB-Programmer"));

  frame_ = std::make_unique<CMainFrame>();
  if (!options.presetPath.isEmpty()) frame_->OpenPreset(options.presetPath);
  frame_->show();
  frame_->ActiveView()->ActivateView();
  return true;
}

}  // namespace velmora
