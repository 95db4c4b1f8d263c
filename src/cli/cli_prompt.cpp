#include <ostream>

#include "cli/cli_common.h"

namespace velmora::cli {

CliPrompt::CliPrompt(std::ostream& out) : out_(out) {}

Answer CliPrompt::MessageBox(const std::string& text, const std::string& caption, uint32_t style) {
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
