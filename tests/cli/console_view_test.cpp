// The status bar and the log as the command line shows them.
#include "cli/console_view.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

#include "engine/progress_bar.h"

namespace velmora {
namespace {

TEST(ConsoleView, RendersBarPercentAndCaption) {
  ProgressBarState s;
  s.caption = "ID && Config";
  s.position = 500;
  EXPECT_EQ(ConsoleView::RenderBar(s, 10), "[#####-----]  50% ID & Config");
  s.position = 1000;  // past the maximum
  s.caption = "";
  EXPECT_EQ(ConsoleView::RenderBar(s, 4), "[####] 100%");
}

TEST(ConsoleView, PlainOutputPrintsOneLinePerCaptionAndTenth) {
  std::ostringstream out;
  ConsoleView view(out, /*terminal=*/false);
  ProgressBarState s;
  s.caption = "Programming";
  for (int position : {0, 40, 80, 120, 400}) {
    s.position = position;
    view.OnProgress(s);
  }
  view.OnLog({LogEvent::Kind::kAppended, "00:00:00:00   Verifying Flash memory...", 0});
  view.OnLog({LogEvent::Kind::kRemovedLast, "", 0});
  view.OnLog({LogEvent::Kind::kAppended, "00:00:00:00   Flash memory OK.", 0});
  for (const char* caption : {"", "Fail", "", "Fail"}) {
    s.caption = caption;
    s.position = 999;
    view.OnProgress(s);
  }
  EXPECT_EQ(out.str(),
            "progress: Programming 0%\n"
            "progress: Programming 10%\n"
            "progress: Programming 40%\n"
            "00:00:00:00   Verifying Flash memory...\n"
            "00:00:00:00   Flash memory OK.\n"
            "progress: Fail 100%\n");
}

TEST(ConsoleView, TerminalKeepsTheBarBelowTheLogAndOverwritesReplacedLines) {
  std::ostringstream out;
  ConsoleView view(out, /*terminal=*/true, 4);
  ProgressBarState s;
  s.caption = "Verifying";
  s.position = 500;
  view.OnProgress(s);
  view.OnLog({LogEvent::Kind::kAppended, "progress line", 0});
  view.OnLog({LogEvent::Kind::kRemovedLast, "", 0});
  view.OnLog({LogEvent::Kind::kAppended, "result line", 0});
  view.Finish();
  const std::string bar = "[##--]  50% Verifying";
  EXPECT_EQ(out.str(), "\r\033[K" + bar +                             // bar drawn
                           "\r\033[Kprogress line\n\r\033[K" + bar +  // line above the bar
                           "\r\033[K\033[1A\r\033[K" +                // bar and line taken away
                           "result line\n\r\033[K" + bar + "\n");
}

}  // namespace
}  // namespace velmora
