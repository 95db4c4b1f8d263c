#include <iostream>
#include <ostream>
#include <string_view>

#include "cli/cli_common.h"

namespace velmora::cli {

CliPrompt::CliPrompt(std::ostream& out) : out_(out) {}

namespace {
// The caption of the link's request to switch the target's power by hand.
constexpr std::string_view kUserActionCaption = "User Action Requiered";
}  // namespace

Answer CliPrompt::MessageBox(const std::string& text, const std::string& caption, uint32_t style) {
  if (waitForEnter && caption.starts_with(kUserActionCaption)) {
    out_ << "[" << caption << "] " << text << " (press Enter)" << std::flush;
    std::string line;
    std::getline(std::cin, line);
    return Answer::Ok;
  }
  const Answer answer = NonInteractiveAnswer(style, answerYes);
  out_ << "[" << caption << "] " << text;
  if ((style & mb::kButtonMask) != mb::kOk) {
    out_ << " -> " << (answer == Answer::Yes || answer == Answer::Ok ? "yes" : "no");
  }
  out_ << "\n";
  return answer;
}

std::optional<HexSaveChoice> CliPrompt::AskHexSavePath(const std::string&) {
  return hexSave;
}

}  // namespace velmora::cli
