#include "ui/dialogs/hex_save_dialog.h"

#include <QFileInfo>
#include <QGridLayout>

namespace velmora {
namespace {

const QString kHexPattern = QStringLiteral("*.hex");

bool HasWildcards(const QString& name) {
  return name.contains(QLatin1Char('*')) || name.contains(QLatin1Char('?'));
}

}  // namespace

CHexSaveDialog::CHexSaveDialog(QWidget* parent)
    : QFileDialog(parent),
      saveEmptyAreasBox_(new QCheckBox(QStringLiteral("Save empty areas (filled up with 0xFF)"))) {
  // The check box lives in the dialog's own layout, which only the Qt dialog has.
  setOption(QFileDialog::DontUseNativeDialog);
  setAcceptMode(QFileDialog::AcceptSave);
  setFileMode(QFileDialog::AnyFile);
  setWindowTitle(QStringLiteral("Save Hex"));
  setDefaultSuffix(QStringLiteral("HEX"));
  setNameFilter(kHexPattern);
  setLabelText(QFileDialog::Accept, QStringLiteral("Save"));

  saveEmptyAreasBox_->setObjectName(QStringLiteral("saveEmptyAreas"));
  if (auto* grid = qobject_cast<QGridLayout*>(layout())) {
    grid->addWidget(saveEmptyAreasBox_, grid->rowCount(), 0, 1, grid->columnCount());
  } else {
    layout()->addWidget(saveEmptyAreasBox_);
  }
}

void CHexSaveDialog::accept() {
  const QString name = QFileInfo(selectedFiles().value(0)).fileName();
  if (HasWildcards(name)) {
    setNameFilter(name);
    return;
  }
  QFileDialog::accept();
}

std::optional<HexSaveChoice> CHexSaveDialog::Ask(const QString& suggestedPath) {
  selectFile(suggestedPath.isEmpty() ? kHexPattern : suggestedPath);
  if (exec() != QDialog::Accepted || selectedFiles().isEmpty()) return std::nullopt;
  return HexSaveChoice{.path = selectedFiles().first().toStdString(),
                       .saveEmptyAreas = saveEmptyAreas()};
}

}  // namespace velmora
