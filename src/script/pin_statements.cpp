// Pin-level lines (subs beginning with '@'): each line fills one slot of pin entries and a line
// time; `timing` sets the default time of the lines that follow.
#include <algorithm>
#include <cctype>
#include <cstdint>

#include "script/script_text.h"
#include "script/zeql_engine.h"

namespace velmora {

namespace {

std::string Lower(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

uint32_t LineTime(int64_t value) {
  return static_cast<uint32_t>(std::clamp<int64_t>(value, 1, UINT32_MAX));
}

}  // namespace

void CZEQLEngine::CompilePinLine(CZEQLSubLevel3& sub, ZEQLLine& line) {
  currentLine_ = &line;
  // Lines past the limit are not stored: there is no slot for them.
  if (sub.lineCount >= kPinSubLineLimit) return;
  const std::vector<std::string> tokens = SplitTokens(line.text, true);
  if (tokens.empty()) return;
  const std::string word = Lower(tokens[0]);
  const size_t slot = static_cast<size_t>(sub.lineCount);

  if (tokens.size() == 3 && word == "timing" && tokens[1] == "=") {
    defaultLineTime = LineTime(Evaluate(tokens[2]));
    return;
  }
  sub.lineTimes[slot] = LineTime(defaultLineTime);
  if (word == "wait") {
    const SignalOperand signal =
        tokens.size() == 4 && tokens[2] == "=" ? ParseSignalOperand(tokens[1]) : SignalOperand{};
    size_t pin = kPinCount;
    for (size_t i = 0; i < kPinCount; ++i) {
      if (signal.id != 0 && signals_[i].id == signal.id) pin = i;
    }
    if (pin == kPinCount) {
      ReportError();
    } else {
      sub.slots[slot][pin] = Evaluate(tokens[3]) != 0 ? 2 : 3;
      sub.lineTimes[slot] = 100;
    }
  } else if (!(tokens.size() == 1 && word == "nop") && tokens.size() > 2) {
    for (size_t i = 0; i < tokens.size(); i += 3) {
      if (i + 2 >= tokens.size() || tokens[i + 1] != "=") {
        ReportError();
        break;
      }
      generator_->PinAssignment(sub, tokens[i], tokens[i + 2]);
    }
  }
  ++sub.lineCount;
  if (sub.lineCount == kPinSubLineLimit && !sub.lineLimitReported) {
    sub.lineLimitReported = true;
    ReportError();
    Log("You reached the limit of 1000 sub level 3 lines. Please contact the Velmora developer.");
  }
}

}  // namespace velmora
