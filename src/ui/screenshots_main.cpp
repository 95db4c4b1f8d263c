// velmora-screenshots: renders pages of the program to PNG files, for the documentation.
// Runs on any Qt platform; scripts/screenshots.sh uses the offscreen one.
#include <QApplication>
#include <QDir>
#include <QStyleFactory>
#include <QTimer>
#include <cstdio>

#include "ui/cqel_app.h"
#include "ui/main_frame.h"
#include "ui/pic18_views.h"

namespace {

void Settle() {
  for (int i = 0; i < 5; ++i) QApplication::processEvents();
}

bool Save(velmora::CMainFrame& frame, const QDir& dir, const char* name) {
  Settle();
  const QString path = dir.filePath(QString::fromLatin1(name));
  if (!frame.grab().save(path)) {
    std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
    return false;
  }
  std::printf("%s\n", qPrintable(path));
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  QApplication application(argc, argv);
  QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
  const QStringList args = QApplication::arguments();
  const QDir dir(args.size() > 1 ? args.at(1) : QStringLiteral("."));
  if (!dir.exists() && !QDir().mkpath(dir.path())) return 1;

  velmora::CqelApp app;
  velmora::StartOptions start;
  start.simulatedDevice = QStringLiteral("PIC18F4550");
  if (!app.InitInstance(start)) return 1;
  auto& frame = app.MainFrame();
  bool ok = Save(frame, dir, "start-page.png");
  frame.SwitchView(velmora::kPic18Page);
  velmora::OptionSelections options;
  std::fill(std::begin(options), std::end(options), 1);
  options[velmora::PIC18FOSC] = 14;
  static_cast<velmora::CPIC18BaseView*>(frame.ActiveView())
      ->ShowPic18Device("PIC18F4550", "", options);
  ok = Save(frame, dir, "pic18-page.png") && ok;
  frame.SwitchView(velmora::kPic18ExtendedPage);
  ok = Save(frame, dir, "pic18-extended-page.png") && ok;
  frame.SwitchView(velmora::kPic18BasicTestPage);
  ok = Save(frame, dir, "pic18-basic-test-page.png") && ok;
  frame.SwitchView(velmora::kPic18CompactPage);
  ok = Save(frame, dir, "pic18-compact-page.png") && ok;
  return ok ? 0 : 1;
}
