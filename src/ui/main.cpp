// velmora: the desktop program.
#include <QApplication>
#include <QStyleFactory>

#include "ui/cqel_app.h"

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  velmora::CqelApp app;
  if (!app.InitInstance(velmora::ParseCommandLine(QApplication::arguments()))) return 1;
  return QApplication::exec();
}
