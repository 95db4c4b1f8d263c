#pragma once
// The "Save Hex" file dialog shown after a read: a save dialog for *.hex files with the extra
// check box "Save empty areas (filled up with 0xFF)" and its accept button labelled "Save".
#include <QCheckBox>
#include <QFileDialog>
#include <optional>

#include "platform/user_prompt.h"

namespace velmora {

class CHexSaveDialog : public QFileDialog {
  Q_OBJECT

 public:
  explicit CHexSaveDialog(QWidget* parent = nullptr);

  bool saveEmptyAreas() const { return saveEmptyAreasBox_->isChecked(); }
  void setSaveEmptyAreas(bool save) { saveEmptyAreasBox_->setChecked(save); }
  QCheckBox* saveEmptyAreasBox() const { return saveEmptyAreasBox_; }

  // Shows the dialog modally, starting at the suggested file (or with "*.hex" in the name field
  // when none is suggested); nullopt when cancelled.
  std::optional<HexSaveChoice> Ask(const QString& suggestedPath);

 protected:
  // A name with wildcards filters the list instead of naming the file, as in "*.hex".
  void accept() override;

 private:
  QCheckBox* saveEmptyAreasBox_;
};

}  // namespace velmora
