#include "cli/console_view.h"

#include <algorithm>

namespace velmora {

namespace {
constexpr const char* kEraseLine = "\r\033[K";
constexpr const char* kLineUp = "\033[1A";
constexpr const char* kGreenText = "\033[32m";
constexpr const char* kRedText = "\033[31m";
constexpr const char* kPlainText = "\033[0m";
}  // namespace

ConsoleView::ConsoleView(std::ostream& log, std::ostream& progress, bool logTerminal,
                         bool progressTerminal, int barWidth)
    : log_(log),
      progress_(progress),
      logTerminal_(logTerminal),
      progressTerminal_(progressTerminal),
      barWidth_(std::max(barWidth, 1)) {}

ConsoleView::ConsoleView(std::ostream& out, bool terminal, int barWidth)
    : ConsoleView(out, out, terminal, terminal, barWidth) {}

std::string ConsoleView::DisplayCaption(const std::string& caption) {
  std::string shown;
  for (size_t i = 0; i < caption.size(); ++i) {
    shown += caption[i];
    if (caption[i] == '&' && i + 1 < caption.size() && caption[i + 1] == '&') ++i;
  }
  return shown;
}

int ConsoleView::Percent(const ProgressBarState& state) {
  const int64_t range = static_cast<int64_t>(state.maximum) - state.minimum;
  if (range <= 0) return 100;
  const int64_t done = std::clamp<int64_t>(state.position - state.minimum, 0, range);
  return static_cast<int>(done * 100 / range);
}

std::string ConsoleView::RenderBar(const ProgressBarState& state, int width) {
  const int percent = Percent(state);
  const int filled = percent * width / 100;
  std::string text = "[" + std::string(filled, '#') + std::string(width - filled, '-') + "] ";
  const std::string number = std::to_string(percent);
  text += std::string(3 - std::min<size_t>(3, number.size()), ' ') + number + "%";
  const std::string caption = DisplayCaption(state.caption);
  if (!caption.empty()) text += " " + caption;
  return text;
}

void ConsoleView::EraseBarLocked() {
  if (barShown_) progress_ << kEraseLine << std::flush;
  barShown_ = false;
}

void ConsoleView::DrawBarLocked() {
  if (!haveBar_) return;
  progress_ << kEraseLine;
  const char* tint = bar_.barColour == colour::kGreen ? kGreenText
                     : bar_.barColour == colour::kRed ? kRedText
                                                      : nullptr;
  if (tint) progress_ << tint;
  progress_ << RenderBar(bar_, barWidth_);
  if (tint) progress_ << kPlainText;
  progress_.flush();
  barShown_ = true;
}

void ConsoleView::OnLog(const LogEvent& event) {
  std::lock_guard lock(mutex_);
  switch (event.kind) {
    case LogEvent::Kind::kAppended:
      if (progressTerminal_) EraseBarLocked();
      log_ << event.line << '\n';
      log_.flush();
      ++linesPrinted_;
      if (progressTerminal_) DrawBarLocked();
      break;
    case LogEvent::Kind::kRemovedLast:
      // A terminal overwrites the progress line with its result; plain output keeps both.
      if (logTerminal_ && linesPrinted_ > 0) {
        EraseBarLocked();
        log_ << kLineUp << kEraseLine;
        --linesPrinted_;
      }
      break;
    case LogEvent::Kind::kCleared:
    case LogEvent::Kind::kViewCleared:
    case LogEvent::Kind::kScrolled:
      break;  // the console keeps what it printed
  }
}

void ConsoleView::OnProgress(const ProgressBarState& state) {
  std::lock_guard lock(mutex_);
  if (progressTerminal_) {
    const bool changed = !haveBar_ || RenderBar(state, barWidth_) != RenderBar(bar_, barWidth_) ||
                         state.barColour != bar_.barColour;
    bar_ = state;
    haveBar_ = true;
    if (changed) DrawBarLocked();
    return;
  }
  // Plain output: one line per caption and tenth; blinking between "" and "Fail" shows once.
  const std::string caption = DisplayCaption(state.caption);
  if (caption.empty()) return;
  const std::string line =
      "progress: " + caption + " " + std::to_string(Percent(state) / 10 * 10) + "%";
  if (line == lastPlain_) return;
  lastPlain_ = line;
  progress_ << line << '\n';
  progress_.flush();
}

void ConsoleView::Finish() {
  std::lock_guard lock(mutex_);
  if (!progressTerminal_ || !barShown_) return;
  // Leave the final bar (the result) on screen and move below it.
  progress_ << '\n';
  progress_.flush();
  barShown_ = false;
  haveBar_ = false;
}

}  // namespace velmora
