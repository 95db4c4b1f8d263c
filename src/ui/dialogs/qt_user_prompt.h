#pragma once
// IUserPrompt for the desktop: message boxes, the "Save Hex" dialog and the signature dialog.
// Asked from a worker thread, the dialog is shown on the GUI thread and the worker waits for
// the answer; asked on the GUI thread, it is shown directly.
#include <QMessageBox>
#include <QObject>
#include <QThread>

#include "platform/user_prompt.h"

namespace velmora {

class QtUserPrompt final : public QObject, public IUserPrompt {
  Q_OBJECT

 public:
  // Create it on the GUI thread: its dialogs are shown on the thread it lives in.
  explicit QtUserPrompt(QObject* parent = nullptr);

  Answer MessageBox(const std::string& text, const std::string& caption, uint32_t style) override;
  std::optional<HexSaveChoice> AskHexSavePath(const std::string& suggestedPath) override;
  SignatureBytesEntry AskSignatureBytes(const SignatureBytesEntry& initial) override;

 private:
  // Runs `show` on the GUI thread and returns its result. A worker blocks meanwhile; the GUI
  // thread must not be waiting for that worker.
  template <typename Show>
  auto OnGuiThread(Show show) -> decltype(show()) {
    if (QThread::currentThread() == thread()) return show();
    decltype(show()) result{};
    QMetaObject::invokeMethod(
        this, [&] { result = show(); }, Qt::BlockingQueuedConnection);
    return result;
  }
};

// The icon and buttons that a message-box style asks for.
QMessageBox::Icon MessageBoxIcon(uint32_t style);
QMessageBox::StandardButtons MessageBoxButtons(uint32_t style);

}  // namespace velmora
