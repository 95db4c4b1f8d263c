#pragma once
// A ZEQL engine with a log that collects its lines, for the script tests.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "platform/log_sink.h"
#include "platform/user_prompt.h"
#include "script/zeql_engine.h"

namespace velmora::testing {

class CollectingLog final : public ILogSink {
 public:
  void LogLine(std::string_view text, bool = true) override { lines.emplace_back(text); }
  void ReplaceLastLogLine(std::string_view text) override {
    if (lines.empty()) lines.emplace_back();
    lines.back() = std::string(text);
  }
  std::string Joined() const {
    std::string all;
    for (const auto& line : lines) all += line + "\n";
    return all;
  }
  std::vector<std::string> lines;
};

struct EngineFixtureBase {
  CollectingLog log;
  ScriptedPrompt prompt;
};

}  // namespace velmora::testing
