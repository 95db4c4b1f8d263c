// PIC18 operations started from the pages against the simulated programmer: the common
// handler pattern, the busy guard, and how results reach the log and the status bar.
#include <gtest/gtest.h>

#include <QApplication>
#include <chrono>
#include <future>
#include <mutex>

#include "gui_test_support.h"
#include "shown_status.h"
#include "ui/base_view.h"
#include "ui/control_ids.h"
#include "ui/main_frame.h"

namespace velmora {
namespace {

const QString kBlinkHex =
    QStringLiteral(VELMORA_TEST_DATA_DIR "/../../examples/pic18f4550-blink.hex");

class OperationTest : public testing::Test {
 protected:
  void Start(IUserPrompt* prompt = nullptr) {
    StartOptions options = env_.Start();
    if (prompt) options.prompt = prompt;
    ASSERT_TRUE(app_.InitInstance(options));
    app_.MainFrame().SwitchView(kPic18Page);
    Page().Edit(ctl::kHexFileEdit)->setText(kBlinkHex);
  }
  CBaseView& Page() { return *app_.MainFrame().ActiveView(); }
  CqelDoc& Doc() { return app_.Document(); }
  // Lets the worker finish and its lines and refresh reach the page.
  void Finish() {
    Doc().WaitForOperation();
    for (int i = 0; i < 10; ++i) QApplication::processEvents();
  }
  bool Logged(const QString& text) {
    for (const QString& line : LogLines(Doc())) {
      if (line.contains(text)) return true;
    }
    return false;
  }

  GuiTestEnvironment env_;
  CqelApp app_;
};

TEST_F(OperationTest, ProgramEndsWithFinishedSuccessfullyAndSuccessOnTheBar) {
  Start();
  Page().Button(ctl::kProgram)->click();
  Finish();
  EXPECT_TRUE(Logged(QStringLiteral("*** Programming PIC18F4550 ***")));
  EXPECT_TRUE(Logged(QStringLiteral("*** Finished Successfully ***")));
  EXPECT_EQ(Doc().progressBar.State().caption, "Success");

  const ShownStatus shown = ShownStatusOf(Page().Control(ctl::kStatusBar));
  EXPECT_EQ(shown.caption, "Success");
  EXPECT_EQ(shown.barColour, 0x00FF00u);
  // The identified device's options are on the page now.
  EXPECT_FALSE(Page().Control(1215)->isHidden());  // CPU clock postscaler of the PIC18F4550
}

TEST_F(OperationTest, TheCompactPagesLargeButtonUpdatesTheProgramMemory) {
  Start();
  Page().Button(ctl::kProgram)->click();
  Finish();
  Page().Button(ctl::kCompactPage)->click();
  ASSERT_EQ(app_.MainFrame().CurrentViewType(), kPic18CompactPage);
  Page().Button(ctl::kUpdateProgramMemory)->click();
  Finish();
  EXPECT_TRUE(Logged(QStringLiteral("*** Update Program Memory ***")));
  EXPECT_TRUE(Logged(QStringLiteral("Flash memory successfully updated.")));
  EXPECT_EQ(ShownStatusOf(Page().Control(ctl::kStatusBar)).caption, "Success");
}

TEST_F(OperationTest, FailedVerifyBlinksRedAndEndsOnFail) {
  Start();  // the simulated chip is blank, so the file does not verify
  std::mutex mutex;
  std::vector<std::string> captions;
  Doc().progressBar.AddObserver([&](const ProgressBarState& state) {
    if (state.barColour != colour::kRed) return;
    std::lock_guard lock(mutex);
    if (captions.empty() || captions.back() != state.caption) captions.push_back(state.caption);
  });
  Page().Button(ctl::kVerify)->click();
  Finish();
  EXPECT_TRUE(Logged(QStringLiteral("+++ Verification Failed +++")));
  EXPECT_EQ(captions, (std::vector<std::string>{"", "Fail", "", "Fail", "", "Fail"}));
  const ShownStatus shown = ShownStatusOf(Page().Control(ctl::kStatusBar));
  EXPECT_EQ(shown.caption, "Fail");
  EXPECT_EQ(shown.barColour, 0x0000FFu);
}

// Holds the operation at the manual power-on question until the test lets it go, and clicks
// again while the busy message shows.
class GatedPrompt final : public IUserPrompt {
 public:
  Answer MessageBox(const std::string& text, const std::string& caption, uint32_t style) override {
    {
      std::lock_guard lock(mutex_);
      records_.push_back({text, caption, style, Answer::Ok});
    }
    if (caption == "User Action Requiered: ON") {
      reached_.set_value();
      gate_.wait();
    } else if (caption == "Programmer Info" && whileBusyBoxShows) {
      whileBusyBoxShows();
    }
    return Answer::Ok;
  }
  std::optional<HexSaveChoice> AskHexSavePath(const std::string&) override { return {}; }

  int Count(const std::string& caption) {
    std::lock_guard lock(mutex_);
    return int(std::count_if(records_.begin(), records_.end(),
                             [&](const PromptRecord& r) { return r.caption == caption; }));
  }

  std::function<void()> whileBusyBoxShows;
  std::promise<void> reached_;
  std::shared_future<void> gate_;

 private:
  std::mutex mutex_;
  std::vector<PromptRecord> records_;
};

TEST_F(OperationTest, BusyGuardShowsOneMessageAndDropsFurtherClicks) {
  GatedPrompt prompt;
  std::promise<void> release;
  prompt.gate_ = release.get_future().share();
  Start(&prompt);
  Doc().powerSwitching = 1;  // "manual": the operation waits for the user to switch power on

  Page().Button(ctl::kProgram)->click();
  ASSERT_EQ(prompt.reached_.get_future().wait_for(std::chrono::seconds(30)),
            std::future_status::ready);
  Page().CheckBox(ctl::kNoVerify)->setChecked(true);
  prompt.whileBusyBoxShows = [this] {
    Page().Button(ctl::kVerify)->click();
    Page().Button(ctl::kProgram)->click();
  };
  Page().Button(ctl::kProgram)->click();
  EXPECT_EQ(prompt.Count("Programmer Info"), 1);
  // The dropped click stored nothing either.
  EXPECT_EQ(Doc().noVerify, 0);

  release.set_value();
  Finish();
  EXPECT_TRUE(Logged(QStringLiteral("*** Finished Successfully ***")));
  EXPECT_EQ(prompt.Count("Programmer Info"), 1);
}

}  // namespace
}  // namespace velmora
