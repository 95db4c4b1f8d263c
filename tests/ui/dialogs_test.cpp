#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTemporaryDir>

#include "ui/dialogs/atmega_signature_bytes_dialog.h"
#include "ui/dialogs/hex_save_dialog.h"
#include "widget_test_support.h"

namespace velmora {
namespace {

using testing::AcceptButton;
using testing::AnswerNextDialog;
using testing::CloseModalDialogs;

QLineEdit* FileNameEdit(CHexSaveDialog* dialog) {
  return dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
}

TEST(HexSaveDialog, IsTitledSaveHexWithSaveButtonAndEmptyAreasCheckBox) {
  CHexSaveDialog dialog;
  dialog.show();
  EXPECT_EQ(dialog.windowTitle(), "Save Hex");
  QPushButton* accept = AcceptButton(&dialog);
  ASSERT_NE(accept, nullptr);
  EXPECT_EQ(accept->text(), "Save");
  auto* box = dialog.findChild<QCheckBox*>(QStringLiteral("saveEmptyAreas"));
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(box->text(), "Save empty areas (filled up with 0xFF)");
  EXPECT_TRUE(box->isVisible());
  EXPECT_FALSE(dialog.saveEmptyAreas());
  box->setChecked(true);
  EXPECT_TRUE(dialog.saveEmptyAreas());
  EXPECT_EQ(dialog.nameFilters(), QStringList({"*.hex"}));
}

TEST(HexSaveDialog, ReturnsThePathWithDefaultExtensionAndTheCheckState) {
  QTemporaryDir dir;
  CHexSaveDialog dialog;
  dialog.setDirectory(dir.path());
  AnswerNextDialog<CHexSaveDialog>([](CHexSaveDialog* shown) {
    FileNameEdit(shown)->setText(QStringLiteral("board"));
    shown->saveEmptyAreasBox()->setChecked(true);
    AcceptButton(shown)->click();
  });
  const auto choice = dialog.Ask({});
  CloseModalDialogs();
  ASSERT_TRUE(choice.has_value());
  EXPECT_EQ(choice->path, QDir(dir.path()).filePath("board.HEX").toStdString());
  EXPECT_TRUE(choice->saveEmptyAreas);
}

// Saving under "*.hex" would create a file of that name; the pattern filters the list instead.
TEST(HexSaveDialog, StartsWithTheHexPatternWhichFiltersInsteadOfSaving) {
  CHexSaveDialog dialog;
  bool openAfterSave = false;
  AnswerNextDialog<CHexSaveDialog>([&](CHexSaveDialog* shown) {
    EXPECT_EQ(FileNameEdit(shown)->text(), "*.hex");
    AcceptButton(shown)->click();
    openAfterSave = shown->isVisible();
    FileNameEdit(shown)->setText(QStringLiteral("*.H?X"));
    AcceptButton(shown)->click();
    openAfterSave = openAfterSave && shown->isVisible();
    EXPECT_EQ(shown->nameFilters(), QStringList({"*.H?X"}));
    shown->reject();
  });
  EXPECT_FALSE(dialog.Ask({}).has_value());
  EXPECT_TRUE(openAfterSave);
}

TEST(HexSaveDialog, CancelReturnsNothing) {
  CHexSaveDialog dialog;
  AnswerNextDialog<CHexSaveDialog>([](CHexSaveDialog* shown) { shown->reject(); });
  EXPECT_FALSE(dialog.Ask("read.hex").has_value());
}

TEST(SignatureBytesDialog, ShowsItsTextsAndTakesAtMostSixHexDigits) {
  ATMegaSignatureBytesDialog dialog;
  EXPECT_EQ(dialog.windowTitle(), "Signature Bytes Missing");
  EXPECT_NE(
      dialog.findChild<QLabel*>()->text().indexOf("Enter Signature Bytes as Hex. i.e. 1E9602"), -1);
  EXPECT_EQ(dialog.doNotAskAgainBox()->text(), "Do not ask again");
  EXPECT_EQ(AcceptButton(&dialog)->text(), "OK");

  dialog.show();
  QTest::keyClicks(dialog.signatureEdit(), "1E96021");
  EXPECT_EQ(dialog.Entry().signatureText, "1E9602");
  dialog.signatureEdit()->clear();
  QTest::keyClicks(dialog.signatureEdit(), "1G-e 9");
  EXPECT_EQ(dialog.Entry().signatureText, "1e9");
}

TEST(SignatureBytesDialog, HandsBackWhatItWasGivenAndWhatWasChanged) {
  ATMegaSignatureBytesDialog dialog;
  dialog.SetEntry({.signatureText = "1E9502", .doNotAskAgain = false});
  EXPECT_EQ(dialog.signatureEdit()->text(), "1E9502");
  dialog.doNotAskAgainBox()->setChecked(true);
  const SignatureBytesEntry entry = dialog.Entry();
  EXPECT_EQ(entry.signatureText, "1E9502");
  EXPECT_TRUE(entry.doNotAskAgain);
}

}  // namespace
}  // namespace velmora
