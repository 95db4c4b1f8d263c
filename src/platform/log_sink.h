#pragma once
// Where the core's subsystems below the document write their log lines (the script compiler and
// executor among them): the document's log implements it, tests collect the lines.
#include <string_view>

namespace velmora {

class ILogSink {
 public:
  // Appends a line, with the time stamp unless `withTime` is false.
  virtual void LogLine(std::string_view text, bool withTime = true) = 0;
  // Replaces the text of the last line (progress lines that turn into results).
  virtual void ReplaceLastLogLine(std::string_view text) = 0;

 protected:
  ~ILogSink() = default;
};

}  // namespace velmora
