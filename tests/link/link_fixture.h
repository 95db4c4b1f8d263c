#pragma once
// Shared fixture of the link tests: a CPICVortang bound to the simulated programmer through
// the real binding code, a virtual clock and scripted prompts, on the tests' simulator client.
// Sleeps and message boxes are marked in a timeline so tests can assert bytes, waits and
// prompts in their order.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <utility>
#include <vector>

#include "link/pic_vortang.h"
#include "link/programmer_identity.h"
#include "platform/clock.h"
#include "platform/user_prompt.h"
#include "support/sim_fixture.h"

namespace velmora::testing {

// Marks sleeps and message boxes at the simulator's current transcript position.
class Timeline {
 public:
  // `onClear` learns the transcript position where the timeline starts afresh.
  Timeline(const sim::SimClient& sim, std::function<void(size_t)> onClear)
      : sim_(sim), onClear_(std::move(onClear)) {}
  void Mark(std::string what) { marks_.emplace_back(EventCount(), std::move(what)); }
  // Starts afresh at the simulator's current transcript position.
  void Clear() {
    marks_.clear();
    start_ = EventCount();
    onClear_(start_);
  }
  size_t Start() const { return start_; }
  // Written bytes, sleeps ("sleep:20") and prompts ("prompt:<caption>") in order, one space
  // apart.
  std::string Render() const {
    const auto events = nlohmann::json::parse(sim_.TranscriptJson())["events"];
    std::string out;
    auto add = [&out](const std::string& token) { out += (out.empty() ? "" : " ") + token; };
    size_t mark = 0;
    for (size_t i = start_; i <= events.size(); ++i) {
      for (; mark < marks_.size() && marks_[mark].first <= i; ++mark) add(marks_[mark].second);
      if (i < events.size() && events[i]["op"] == "write" && events[i].contains("bytes")) {
        add(events[i]["bytes"].get<std::string>());
      }
    }
    return out;
  }

 private:
  size_t EventCount() const {
    return nlohmann::json::parse(sim_.TranscriptJson())["events"].size();
  }

  const sim::SimClient& sim_;
  std::function<void(size_t)> onClear_;
  size_t start_ = 0;
  std::vector<std::pair<size_t, std::string>> marks_;
};

class TimelineClock final : public IClock {
 public:
  explicit TimelineClock(Timeline& timeline) : timeline_(timeline) {}
  uint32_t TickCount() override { return clock.TickCount(); }
  void Sleep(uint32_t milliseconds) override {
    timeline_.Mark("sleep:" + std::to_string(milliseconds));
    clock.Sleep(milliseconds);
  }
  LocalTime Now() override { return clock.Now(); }
  VirtualClock clock;

 private:
  Timeline& timeline_;
};

class TimelinePrompt final : public IUserPrompt {
 public:
  explicit TimelinePrompt(Timeline& timeline) : timeline_(timeline) {}
  Answer MessageBox(const std::string& text, const std::string& caption, uint32_t style) override {
    timeline_.Mark("prompt:" + caption);
    return prompt.MessageBox(text, caption, style);
  }
  std::optional<HexSaveChoice> AskHexSavePath(const std::string& path) override {
    return prompt.AskHexSavePath(path);
  }
  ScriptedPrompt prompt;

 private:
  Timeline& timeline_;
};

class LinkTest : public SimFixture {
 protected:
  void Configure(const nlohmann::json& scenario) {
    ConfigureSimulator(scenario);
    timeline.Clear();
    prompts().ClearRecords();
  }
  CPICVortang& Link() {
    if (!link_)
      link_ = std::make_unique<CPICVortang>(prompt, clock, DriverLookup{{kSimulatorPath}});
    return *link_;
  }
  int OpenFull() { return Link().Open(kProgrammerDescription, 0); }
  int OpenMini() { return Link().Open(kProgrammerDescription, 1); }

  // Configuration calls as "FT_SetBaudRate(1250000)".
  std::vector<std::string> Calls() const {
    std::vector<std::string> found;
    for (const auto& event : Events("call")) {
      std::string text = event["call"].get<std::string>() + "(";
      for (size_t i = 0; i < event["args"].size(); ++i) {
        text += (i ? "," : "") + event["args"][i].dump();
      }
      found.push_back(text + ")");
    }
    return found;
  }
  ScriptedPrompt& prompts() { return prompt.prompt; }
  std::vector<std::string> Captions() {
    std::vector<std::string> captions;
    for (const auto& record : prompts().Records()) captions.push_back(record.caption);
    return captions;
  }

  Timeline timeline{sim, [this](size_t start) { SetMark(start); }};
  TimelineClock clock{timeline};
  TimelinePrompt prompt{timeline};

 private:
  std::unique_ptr<CPICVortang> link_;
};

}  // namespace velmora::testing
