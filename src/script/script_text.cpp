// Line reader and token cutter of the ZEQL front end.
#include "script/script_text.h"

#include <algorithm>
#include <array>
#include <cctype>

namespace velmora {

namespace {

bool IsLineBreak(char c) {
  return c == '\r' || c == '\n';
}
bool IsBlankOrTab(char c) {
  return c == ' ' || c == '\t';
}

// The words after which the blank stops separating tokens: their arguments may hold blanks.
bool SwitchesOffBlankSeparation(std::string_view word) {
  static constexpr std::array<std::string_view, 8> kWords = {
      "add", "sub", "msg", "copy", "compare", "isFF", "isEmpty", "checksum"};
  return std::any_of(kWords.begin(), kWords.end(), [&](std::string_view w) {
    return w.size() == word.size() &&
           std::equal(w.begin(), w.end(), word.begin(), [](char a, char b) {
             return std::tolower(static_cast<unsigned char>(a)) ==
                    std::tolower(static_cast<unsigned char>(b));
           });
  });
}

// A '=' outside quotes and parentheses is a token of its own unless it belongs to "!=", "<=",
// "==" or ">=".
bool IsAssignmentSign(std::string_view text, size_t i) {
  if (text[i] != '=') return false;
  if (i > 0 && std::string_view("!<=>").find(text[i - 1]) != std::string_view::npos) return false;
  return !(i + 1 < text.size() && text[i + 1] == '=');
}

}  // namespace

void ScriptLineReader::CountTerminator(char c) {
  if (terminator_ == 0) terminator_ = c;
  if (c == terminator_) ++lineCounter_;
}

bool ScriptLineReader::ReadLine(ScriptSourceLine& line) {
  while (true) {
    while (cursor_ < text_.size() &&
           (IsBlankOrTab(text_[cursor_]) || IsLineBreak(text_[cursor_]))) {
      if (IsLineBreak(text_[cursor_])) CountTerminator(text_[cursor_]);
      ++cursor_;
    }
    if (cursor_ >= text_.size() || text_[cursor_] == '\0') return false;

    const size_t start = cursor_;
    size_t end = start;
    bool inQuotes = false;
    while (end < text_.size() && !IsLineBreak(text_[end]) && text_[end] != '\0') {
      if (text_[end] == '"') inQuotes = !inQuotes;
      if (text_[end] == ';' && !inQuotes) break;
      ++end;
    }
    cursor_ = end;
    while (cursor_ < text_.size() && !IsLineBreak(text_[cursor_]) && text_[cursor_] != '\0') {
      ++cursor_;  // the comment
    }
    while (end > start && IsBlankOrTab(text_[end - 1])) --end;
    if (end == start) continue;
    line.text = text_.substr(start, end - start);
    line.lineNumber = lineCounter_;
    return true;
  }
}

std::vector<std::string> SplitTokens(std::string_view text, bool plain) {
  std::vector<std::string> tokens;
  bool blankSeparates = true;
  size_t i = 0;
  auto isSeparator = [&](char c) { return c == '\t' || c == ',' || (c == ' ' && blankSeparates); };
  auto skipSeparatingBlanks = [&] {
    while (i < text.size() && (text[i] == '\t' || (text[i] == ' ' && blankSeparates))) ++i;
  };

  while (tokens.size() < kMaxTokens) {
    // Leading blanks never start a token, not even where blanks no longer separate.
    while (i < text.size() && IsBlankOrTab(text[i])) ++i;
    if (i >= text.size()) break;

    std::string token;
    if (IsAssignmentSign(text, i)) {
      token = "=";
      ++i;
    } else {
      bool inQuotes = false;
      int parentheses = 0;
      while (i < text.size()) {
        const char c = text[i];
        const bool outside = !inQuotes && parentheses == 0;
        if (outside && (isSeparator(c) || IsAssignmentSign(text, i))) break;
        if (c == '"') {
          inQuotes = !inQuotes;
        } else if (!inQuotes && c == '(') {
          ++parentheses;
        } else if (!inQuotes && c == ')' && parentheses > 0) {
          --parentheses;
        }
        if (token.size() < kMaxTokenLength) token.push_back(c);
        ++i;
      }
    }

    if (token.empty()) {
      // Only a comma keeps an empty token: "a,,b" has an empty second argument.
      if (i < text.size() && text[i] == ',') {
        tokens.emplace_back();
        ++i;
      }
      continue;
    }
    tokens.push_back(std::move(token));
    skipSeparatingBlanks();
    if (i < text.size() && text[i] == ',') ++i;  // one comma after a token

    if (tokens.size() == 1 && SwitchesOffBlankSeparation(tokens[0])) blankSeparates = false;
    if (tokens.size() == 2 && tokens[1] == "=" && !plain) blankSeparates = false;
  }
  return tokens;
}

std::string ShortenSourcePath(std::string_view path) {
  constexpr size_t kKept = 60;
  if (path.size() <= kKept) return std::string(path);
  std::string kept(path.substr(path.size() - kKept));
  kept.replace(0, 3, "...");
  return kept;
}

}  // namespace velmora
