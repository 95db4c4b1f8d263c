// Browse buttons: the dialog they show, what they store, Ctrl-click and cancelling.
#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QLineEdit>
#include <vector>

#include "gui_test_support.h"
#include "platform/user_prompt.h"
#include "ui/base_view.h"
#include "ui/control_ids.h"
#include "ui/cqel_app.h"
#include "ui/main_frame.h"

namespace velmora {
namespace {

// Answers the dialogs from a script and records what was asked.
class ScriptedChooser final : public IFileChooser {
 public:
  QString ChooseFileToOpen(QWidget*, const FileSelection& selection,
                           const QString& currentPath) override {
    dialogs.push_back({selection.title, selection.filter, currentPath});
    return answer;
  }
  void OpenWithAssociatedProgram(const QString& path) override { opened.push_back(path); }
  bool ControlKeyHeld() const override { return control; }

  struct Dialog {
    QString title;
    QString filter;
    QString currentPath;
  };
  QString answer;
  bool control = false;
  std::vector<Dialog> dialogs;
  std::vector<QString> opened;
};

class FileSelectionTest : public testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(app_.InitInstance(env_.Start()));
    auto chooser = std::make_unique<ScriptedChooser>();
    chooser_ = chooser.get();
    app_.MainFrame().SetFileChooser(std::move(chooser));
  }
  CBaseView& Show(int type) {
    app_.MainFrame().SwitchView(type);
    return *app_.MainFrame().ActiveView();
  }

  GuiTestEnvironment env_;
  CqelApp app_;
  ScriptedChooser* chooser_ = nullptr;
};

TEST_F(FileSelectionTest, HexBrowseAsksForAPicHexFileAndStoresIt) {
  CBaseView& page = Show(kPic18Page);
  chooser_->answer = QStringLiteral("/work/firmware/blink.hex");
  chooser_->control = true;  // no Ctrl shortcut on this button
  page.Button(ctl::kHexFileBrowse)->click();
  ASSERT_EQ(chooser_->dialogs.size(), 1u);
  EXPECT_EQ(chooser_->dialogs[0].title, QStringLiteral("Select Hex File"));
  EXPECT_EQ(chooser_->dialogs[0].filter, QStringLiteral("Intel Hex File For PIC (*.hex)"));
  EXPECT_TRUE(chooser_->opened.empty());
  EXPECT_EQ(page.Edit(ctl::kHexFileEdit)->text(), chooser_->answer);
}

TEST_F(FileSelectionTest, CancellingKeepsTheFileThatWasNamed) {
  CBaseView& page = Show(kPic18Page);
  page.Edit(ctl::kHexFileEdit)->setText(QStringLiteral("/work/firmware/blink.hex"));
  chooser_->answer.clear();
  page.Button(ctl::kHexFileBrowse)->click();
  EXPECT_EQ(chooser_->dialogs.size(), 1u);
  EXPECT_EQ(page.Edit(ctl::kHexFileEdit)->text(), QStringLiteral("/work/firmware/blink.hex"));
}

TEST_F(FileSelectionTest, CtrlClickOnTheTraceBrowseOpensTheNamedFile) {
  CBaseView& page = Show(kStartPage);
  chooser_->control = true;
  const QString tdf = QStringLiteral("/work/trace/uart.tdf");
  page.Edit(ctl::kTraceFileEdit)->setText(tdf);
  page.Button(ctl::kTraceFileBrowse)->click();
  EXPECT_TRUE(chooser_->dialogs.empty());
  ASSERT_EQ(chooser_->opened.size(), 1u);
  EXPECT_EQ(chooser_->opened[0], tdf);

  // With no file named, Ctrl-click shows the dialog, which starts where the file was.
  page.Edit(ctl::kTraceFileEdit)->clear();
  chooser_->answer = QStringLiteral("/work/trace/spi.tdf");
  page.Button(ctl::kTraceFileBrowse)->click();
  ASSERT_EQ(chooser_->dialogs.size(), 1u);
  EXPECT_EQ(chooser_->dialogs[0].filter,
            QStringLiteral("Trace Definition File (*.tdf);;Text File (*.txt)"));
  EXPECT_EQ(page.Edit(ctl::kTraceFileEdit)->text(), chooser_->answer);
  EXPECT_EQ(chooser_->opened.size(), 1u);
}

TEST_F(FileSelectionTest, AChangedHexFileIsAnnouncedOnceAsNewSoftware) {
  CBaseView& page = Show(kPic18Page);
  const QString path = env_.directory.filePath(QStringLiteral("app.hex"));
  // Writes the file with a last-write time `age` seconds from now.
  auto write = [&path](int age) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(":0400000000EF00F01D\n:00000001FF\n");
    file.flush();
    ASSERT_TRUE(file.setFileTime(QDateTime::currentDateTime().addSecs(age),
                                 QFileDevice::FileModificationTime));
  };
  write(-60);
  chooser_->answer = path;
  page.Button(ctl::kHexFileBrowse)->click();
  CqelDoc& doc = app_.Document();
  doc.progressBar.SetCaption("Success");

  page.OnPageTimer();
  EXPECT_EQ(doc.progressBar.State().caption, "Success");  // unchanged since it was loaded

  write(0);
  page.OnPageTimer();
  EXPECT_EQ(doc.progressBar.State().caption, "New Software");
  EXPECT_EQ(doc.progressBar.State().position, 0);

  doc.progressBar.SetCaption("Success");
  page.OnPageTimer();  // told once per change
  EXPECT_EQ(doc.progressBar.State().caption, "Success");
}

}  // namespace
}  // namespace velmora
