#pragma once
// Text front of the log and the status bar for the command line. The log and the bar may go to
// different streams (the log to stdout, the bar to stderr, so that `> file` keeps a clean log).
// On a terminal the bar stays on the last line below the log and is redrawn in place; otherwise
// the bar becomes a plain line whenever its caption or its tenth changes, so redirected output
// stays readable.
#include <mutex>
#include <ostream>
#include <string>

#include "engine/operation_log.h"
#include "engine/progress_bar.h"

namespace velmora {

class ConsoleView {
 public:
  ConsoleView(std::ostream& log, std::ostream& progress, bool logTerminal, bool progressTerminal,
              int barWidth = 30);
  // Log and bar on one stream.
  ConsoleView(std::ostream& out, bool terminal, int barWidth = 30);

  void OnLog(const LogEvent& event);
  void OnProgress(const ProgressBarState& state);
  // Takes the bar off a terminal's last line (before the program's own final output).
  void Finish();

  // "[#####---------]  33% Programming"; "&&" in a caption shows as "&".
  static std::string RenderBar(const ProgressBarState& state, int width);
  static int Percent(const ProgressBarState& state);
  static std::string DisplayCaption(const std::string& caption);

 private:
  void EraseBarLocked();
  void DrawBarLocked();

  std::mutex mutex_;
  std::ostream& log_;
  std::ostream& progress_;
  const bool logTerminal_;
  const bool progressTerminal_;
  const int barWidth_;
  bool barShown_ = false;
  bool haveBar_ = false;
  ProgressBarState bar_;
  int linesPrinted_ = 0;
  std::string lastPlain_;
};

}  // namespace velmora
