#include "ui/dialogs/qt_user_prompt.h"

#include <gtest/gtest.h>

#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <atomic>
#include <thread>

#include "ui/dialogs/atmega_signature_bytes_dialog.h"
#include "ui/dialogs/hex_save_dialog.h"
#include "widget_test_support.h"

namespace velmora {
namespace {

using testing::AcceptButton;
using testing::AnswerNextDialog;
using testing::CloseModalDialogs;
using testing::WaitFor;

// Runs `ask` on a worker thread and waits, on the GUI thread, for it to return.
template <typename Ask>
auto AskFromWorker(Ask ask) -> decltype(ask()) {
  decltype(ask()) result{};
  std::atomic<bool> done = false;
  std::thread worker([&] {
    result = ask();
    done = true;
  });
  const bool answered = WaitFor([&] { return done.load(); });
  if (!answered) CloseModalDialogs();  // let the worker go before failing
  worker.join();
  EXPECT_TRUE(answered);
  return result;
}

struct BoxCase {
  uint32_t style;
  QMessageBox::Icon icon;
  QMessageBox::StandardButtons buttons;
  QMessageBox::StandardButton click;
  Answer answer;
};

TEST(QtUserPrompt, MessageBoxFromAWorkerShowsOnTheGuiThreadAndReturnsTheClickedButton) {
  const BoxCase cases[] = {
      {mb::kErrorAlert, QMessageBox::Critical, QMessageBox::Ok, QMessageBox::Ok, Answer::Ok},
      {mb::kYesNoCancel | mb::kIconQuestion, QMessageBox::Question,
       QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Cancel,
       Answer::Cancel},
      {mb::kYesNo | mb::kIconInformation, QMessageBox::Information,
       QMessageBox::Yes | QMessageBox::No, QMessageBox::No, Answer::No},
      {mb::kOkCancel | mb::kIconWarning, QMessageBox::Warning,
       QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, Answer::Ok},
  };
  QtUserPrompt prompt;
  for (const BoxCase& c : cases) {
    std::atomic<bool> workerWaiting = false;
    AnswerNextDialog<QMessageBox>([&](QMessageBox* box) {
      workerWaiting = true;  // the worker is still inside MessageBox while the box is up
      EXPECT_EQ(box->text(), "Switch power on and click OK\n<not markup>");
      EXPECT_EQ(box->windowTitle(), "User Action Requiered: ON");
      EXPECT_EQ(box->icon(), c.icon);
      EXPECT_EQ(box->standardButtons(), c.buttons);
      EXPECT_EQ(box->windowModality(), Qt::ApplicationModal);
      EXPECT_EQ(box->parent(), nullptr);
      EXPECT_EQ(box->textFormat(), Qt::PlainText);
      EXPECT_EQ(box->windowFlags().testFlag(Qt::WindowStaysOnTopHint),
                (c.style & mb::kTopmost) != 0);
      box->button(c.click)->click();
    });
    const Answer answer = AskFromWorker([&] {
      return prompt.MessageBox("Switch power on and click OK\n<not markup>",
                               "User Action Requiered: ON", c.style);
    });
    EXPECT_TRUE(workerWaiting);
    EXPECT_EQ(answer, c.answer) << "style " << c.style;
  }
}

TEST(QtUserPrompt, MessageBoxOnTheGuiThreadShowsDirectly) {
  QtUserPrompt prompt;
  AnswerNextDialog<QMessageBox>([](QMessageBox* box) { box->button(QMessageBox::Yes)->click(); });
  EXPECT_EQ(prompt.MessageBox("Fast/No Verifying/Reading is active!", "Fast Reading?",
                              mb::kYesNoCancel | mb::kIconQuestion),
            Answer::Yes);
  CloseModalDialogs();
}

TEST(QtUserPrompt, HexSaveDialogFromAWorkerReturnsPathAndCheckState) {
  QTemporaryDir dir;
  const std::string suggested = QDir(dir.path()).filePath("read.hex").toStdString();
  QtUserPrompt prompt;
  AnswerNextDialog<CHexSaveDialog>([](CHexSaveDialog* dialog) {
    dialog->saveEmptyAreasBox()->setChecked(true);
    AcceptButton(dialog)->click();
  });
  const auto choice = AskFromWorker([&] { return prompt.AskHexSavePath(suggested); });
  ASSERT_TRUE(choice.has_value());
  EXPECT_EQ(choice->path, suggested);
  EXPECT_TRUE(choice->saveEmptyAreas);

  AnswerNextDialog<CHexSaveDialog>([](CHexSaveDialog* dialog) { dialog->reject(); });
  EXPECT_FALSE(AskFromWorker([&] { return prompt.AskHexSavePath(suggested); }).has_value());
}

TEST(QtUserPrompt, SignatureDialogHandsBackItsValuesAlsoWhenClosedWithEscape) {
  QtUserPrompt prompt;
  AnswerNextDialog<ATMegaSignatureBytesDialog>([](ATMegaSignatureBytesDialog* dialog) {
    EXPECT_EQ(dialog->signatureEdit()->text(), "1E95");
    dialog->signatureEdit()->selectAll();
    QTest::keyClicks(dialog->signatureEdit(), "1E9602");
    dialog->doNotAskAgainBox()->setChecked(true);
    QTest::keyClick(dialog, Qt::Key_Escape);
  });
  const SignatureBytesEntry entry = AskFromWorker(
      [&] { return prompt.AskSignatureBytes({.signatureText = "1E95", .doNotAskAgain = false}); });
  EXPECT_EQ(entry.signatureText, "1E9602");
  EXPECT_TRUE(entry.doNotAskAgain);
}

}  // namespace
}  // namespace velmora
