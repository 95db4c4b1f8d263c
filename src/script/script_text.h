#pragma once
// The ZEQL line model and token cutter: a script file becomes source lines (comments and
// trailing blanks removed, empty lines skipped), and a line becomes up to 64 tokens.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

// One non-empty source line as the reader yields it.
struct ScriptSourceLine {
  std::string_view text;  // comment and trailing blanks removed
  int lineNumber = 0;     // 1-based
};

// Reads a whole script text line by line. The first carriage return or line feed met becomes
// the line terminator, so CR LF, LF and CR files count their lines alike.
class ScriptLineReader {
 public:
  // The text should end in a carriage return (ReadScript appends one); the reader does not
  // rely on it.
  explicit ScriptLineReader(std::string_view text) : text_(text) {}

  // The next non-empty line; false at the end of the text.
  bool ReadLine(ScriptSourceLine& line);

 private:
  void CountTerminator(char c);

  std::string_view text_;
  size_t cursor_ = 0;
  int lineCounter_ = 1;
  char terminator_ = 0;  // 0 until the first CR or LF
};

constexpr size_t kMaxTokens = 64;
constexpr size_t kMaxTokenLength = 1023;

// Cuts a line into tokens. `plain` (pin-level lines) keeps the blank as separator after a
// second token "=".
std::vector<std::string> SplitTokens(std::string_view text, bool plain);

// A source path as lines keep it: its last 60 characters, the first three of them replaced by
// "..." when the path is longer.
std::string ShortenSourcePath(std::string_view path);

}  // namespace velmora
