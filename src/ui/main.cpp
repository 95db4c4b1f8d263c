// velmora: the desktop program.
#include <QApplication>
#include <QCoreApplication>
#include <QStyleFactory>
#include <string_view>

#include "ui/cqel_app.h"

namespace {

// --help and --version are answered before any window system is touched, so they work without
// a display (the manual page is made from them at build time).
bool AsksForHelpOrVersion(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    const std::string_view argument = argv[i];
    if (argument == "-h" || argument == "--help" || argument == "--help-all" || argument == "-v" ||
        argument == "--version") {
      return true;
    }
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  QCoreApplication::setApplicationVersion(QStringLiteral(VELMORA_VERSION));
  if (AsksForHelpOrVersion(argc, argv)) {
    QCoreApplication core(argc, argv);
    velmora::ParseCommandLine(QCoreApplication::arguments());  // prints and exits
    return 0;
  }
  QApplication application(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  velmora::CqelApp app;
  if (!app.InitInstance(velmora::ParseCommandLine(QApplication::arguments()))) return 1;
  return QApplication::exec();
}
