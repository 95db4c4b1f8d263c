#include "ui/file_selection.h"

#include <QDesktopServices>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QUrl>

namespace velmora {
namespace {

class QtFileChooser final : public IFileChooser {
 public:
  QString ChooseFileToOpen(QWidget* owner, const FileSelection& selection,
                           const QString& currentPath) override {
    QFileDialog dialog(owner, QString::fromUtf8(selection.title));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilter(QString::fromUtf8(selection.filter));
    dialog.setDefaultSuffix(QString::fromUtf8(selection.defaultSuffix));
    if (selection.startInCurrentPath && !currentPath.isEmpty()) {
      dialog.setDirectory(QFileInfo(currentPath).absolutePath());
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return {};
    return dialog.selectedFiles().front();
  }

  void OpenWithAssociatedProgram(const QString& path) override {
    QDesktopServices::openUrl(QUrl::fromLocalFile(path));
  }

  bool ControlKeyHeld() const override {
    return QGuiApplication::queryKeyboardModifiers().testFlag(Qt::ControlModifier);
  }
};

}  // namespace

std::unique_ptr<IFileChooser> MakeQtFileChooser() {
  return std::make_unique<QtFileChooser>();
}

}  // namespace velmora
