// velmora-screenshots: renders pages of the program to PNG files for the documentation, on the
// simulated programmer with a PIC18F4550: the start page, the PIC18 page after a Program of the
// bundled example, its extended settings and basic test pages, and the compact page; then with
// a dsPIC30F6014: the dsPIC30 page after an identify.
//   velmora-screenshots OUTPUT_DIRECTORY
// Runs on any Qt platform; scripts/screenshots.sh uses the offscreen one.
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QStyleFactory>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

#include "engine/cqel_doc.h"
#include "engine/settings_store_qt.h"
#include "sim/client/sim_client.h"
#include "ui/base_view.h"
#include "ui/control_ids.h"
#include "ui/cqel_app.h"
#include "ui/main_frame.h"

namespace {

// Lets queued log lines and repaints through (the log list gathers lines for 25 ms).
void Settle() {
  QEventLoop loop;
  QTimer::singleShot(200, &loop, &QEventLoop::quit);
  loop.exec();
}

// Answers the HEX file dialog with the bundled example.
class ExampleChooser final : public velmora::IFileChooser {
 public:
  QString ChooseFileToOpen(QWidget*, const velmora::FileSelection&, const QString&) override {
    return QStringLiteral("examples/pic18f4550-blink.hex");
  }
  void OpenWithAssociatedProgram(const QString&) override {}
  bool ControlKeyHeld() const override { return false; }
};

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
  const QDir output(dir.absolutePath());
  QDir::setCurrent(QStringLiteral(VELMORA_SOURCE_DIR));  // the example by its relative name

  // The pictures show the program's defaults, not the settings of whoever makes them.
  QTemporaryDir settingsDir;
  velmora::QtSettingsStore settings(
      settingsDir.filePath(QStringLiteral("settings.ini")).toStdString());
  velmora::StartOptions start;
  start.simulatedDevice = QStringLiteral("PIC18F4550");
  start.settingsStore = &settings;
  velmora::CqelApp app;
  if (!app.InitInstance(start)) return 1;
  auto& frame = app.MainFrame();
  bool ok = Save(frame, output, "start-page.png");

  frame.SwitchView(velmora::kPic18Page);
  velmora::CBaseView* page = frame.ActiveView();
  frame.SetFileChooser(std::make_unique<ExampleChooser>());
  page->Button(velmora::ctl::kHexFileBrowse)->click();  // loads it, with its configuration
  page->Button(velmora::ctl::kProgram)->click();
  app.Document().WaitForOperation();
  ok = Save(frame, output, "pic18-page.png") && ok;

  frame.SwitchView(velmora::kPic18ExtendedPage);
  ok = Save(frame, output, "pic18-extended-page.png") && ok;
  frame.SwitchView(velmora::kPic18BasicTestPage);
  ok = Save(frame, output, "pic18-basic-test-page.png") && ok;
  frame.SwitchView(velmora::kPic18CompactPage);
  ok = Save(frame, output, "pic18-compact-page.png") && ok;

  // The dsPIC30 page after "Identify PIC" of a simulated dsPIC30F6014.
  const auto dsPic30 = velmora::sim::StartSimulator(velmora::sim::SimulatorBesideExecutable(),
                                                    {{"device", "dsPIC30F6014"}});
  frame.SetTitleSuffix(QStringLiteral("[simulated programmer, dsPIC30F6014]"));
  frame.SwitchView(velmora::kDsPic30Page);
  frame.ActiveView()->Button(velmora::ctl::kIdentify)->click();
  app.Document().WaitForOperation();
  ok = Save(frame, output, "dspic30-page.png") && ok;
  return ok ? 0 : 1;
}
