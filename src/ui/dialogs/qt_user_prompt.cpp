#include "ui/dialogs/qt_user_prompt.h"

#include <QTimer>

#include "ui/dialogs/atmega_signature_bytes_dialog.h"
#include "ui/dialogs/hex_save_dialog.h"

namespace velmora {
namespace {

Answer ToAnswer(QMessageBox::StandardButton button, uint32_t style) {
  switch (button) {
    case QMessageBox::Ok:
      return Answer::Ok;
    case QMessageBox::Cancel:
      return Answer::Cancel;
    case QMessageBox::Yes:
      return Answer::Yes;
    case QMessageBox::No:
      return Answer::No;
    default:  // closed without a button: the refusing answer the box allows
      return NonInteractiveAnswer(style, false);
  }
}

// Boxes have no owner window: task-modal, and on top and in front when the style says so.
void ApplyWindowStyle(QDialog& dialog, uint32_t style) {
  dialog.setWindowModality(Qt::ApplicationModal);
  dialog.setWindowFlag(Qt::WindowStaysOnTopHint, (style & mb::kTopmost) != 0);
  if (style & mb::kSetForeground) {
    QTimer::singleShot(0, &dialog, [&dialog] {
      dialog.raise();
      dialog.activateWindow();
    });
  }
}

}  // namespace

QMessageBox::Icon MessageBoxIcon(uint32_t style) {
  switch (style & mb::kIconMask) {
    case mb::kIconError:
      return QMessageBox::Critical;
    case mb::kIconQuestion:
      return QMessageBox::Question;
    case mb::kIconWarning:
      return QMessageBox::Warning;
    case mb::kIconInformation:
      return QMessageBox::Information;
    default:
      return QMessageBox::NoIcon;
  }
}

QMessageBox::StandardButtons MessageBoxButtons(uint32_t style) {
  switch (style & mb::kButtonMask) {
    case mb::kOkCancel:
      return QMessageBox::Ok | QMessageBox::Cancel;
    case mb::kYesNo:
      return QMessageBox::Yes | QMessageBox::No;
    case mb::kYesNoCancel:
      return QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
    default:
      return QMessageBox::Ok;
  }
}

QtUserPrompt::QtUserPrompt(QObject* parent) : QObject(parent) {}

Answer QtUserPrompt::MessageBox(const std::string& text, const std::string& caption,
                                uint32_t style) {
  return OnGuiThread([&] {
    QMessageBox box(MessageBoxIcon(style), QString::fromStdString(caption),
                    QString::fromStdString(text), MessageBoxButtons(style));
    box.setTextFormat(Qt::PlainText);  // texts carry file names, never markup
    ApplyWindowStyle(box, style);
    box.exec();
    return ToAnswer(box.standardButton(box.clickedButton()), style);
  });
}

std::optional<HexSaveChoice> QtUserPrompt::AskHexSavePath(const std::string& suggestedPath) {
  return OnGuiThread([&] {
    CHexSaveDialog dialog;
    ApplyWindowStyle(dialog, mb::kSetForeground);
    return dialog.Ask(QString::fromStdString(suggestedPath));
  });
}

SignatureBytesEntry QtUserPrompt::AskSignatureBytes(const SignatureBytesEntry& initial) {
  return OnGuiThread([&] {
    ATMegaSignatureBytesDialog dialog;
    ApplyWindowStyle(dialog, mb::kSetForeground);
    dialog.SetEntry(initial);
    dialog.exec();
    return dialog.Entry();
  });
}

}  // namespace velmora
