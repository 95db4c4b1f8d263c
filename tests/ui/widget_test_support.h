#pragma once
// Helpers for the widget tests: waiting on the event loop and answering modal dialogs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QColor>
#include <QDialog>
#include <QDialogButtonBox>
#include <QImage>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <functional>
#include <string>

namespace velmora::testing {

inline bool WaitFor(const std::function<bool()>& condition, int timeoutMs = 5000) {
  return QTest::qWaitFor(condition, timeoutMs);
}

// Once the next modal dialog of type D is up, hands it to `answer` (on the GUI thread).
template <typename D>
void AnswerNextDialog(std::function<void(D*)> answer) {
  auto* poll = new QTimer(qApp);
  poll->setInterval(10);
  QObject::connect(poll, &QTimer::timeout, poll, [poll, answer] {
    if (auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget())) {
      poll->stop();
      poll->deleteLater();
      answer(dialog);
    }
  });
  poll->start();
}

// Closes whatever modal dialog is still open, so that a failed test cannot hang a worker.
inline void CloseModalDialogs() {
  while (QWidget* modal = QApplication::activeModalWidget()) {
    modal->close();
    QApplication::processEvents();
  }
}

// The button of a dialog's button box that accepts it.
inline QPushButton* AcceptButton(QDialog* dialog) {
  for (auto* box : dialog->findChildren<QDialogButtonBox*>()) {
    for (QAbstractButton* button : box->buttons()) {
      if (box->buttonRole(button) == QDialogButtonBox::AcceptRole) {
        return qobject_cast<QPushButton*>(button);
      }
    }
  }
  return nullptr;
}

inline std::string Rgb(QRgb pixel) {
  return QColor(pixel).name().toStdString();
}

}  // namespace velmora::testing
