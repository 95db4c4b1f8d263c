#include "scripted_target.h"

#include <stdexcept>

#include "scenario.h"

namespace velmora::sim {

namespace {

constexpr uint8_t kPgc = 0x08;
constexpr uint8_t kVpp = 0x80;
constexpr uint32_t kFrameClocks = 20;
constexpr uint32_t kFirstAnswerClock = 12;

std::string CommandName(uint8_t command) {
  return "command 0x" + FormatHexBytes(&command, 1);
}

}  // namespace

ScriptedTarget::ScriptedTarget(const nlohmann::json& options) {
  for (const auto& [key, value] : options.items()) {
    if (key == "replies") {
      for (const auto& [command, answers] : value.items()) {
        Replies& r = replies_[ParseByte(command)];
        if (answers.is_string()) {
          r.answers.push_back(ParseHexBytes(answers.get<std::string>()));
        } else {
          for (const auto& answer : answers) {
            r.answers.push_back(ParseHexBytes(answer.get<std::string>()));
          }
        }
      }
    } else if (key == "operands") {
      for (const auto& [command, count] : value.items()) {
        operands_[ParseByte(command)] = count.get<size_t>();
      }
    } else if (key == "pinAnswer") {
      pinAnswer_ = ParseByte(value);
    } else {
      throw std::runtime_error("unknown key \"" + key + "\" in target");
    }
  }
}

CommandStep ScriptedTarget::OnCommandBytes(std::span<const uint8_t> bytes, ITargetIo& io) {
  const uint8_t command = bytes[0];
  const auto operands = operands_.find(command);
  const size_t length = 1 + (operands == operands_.end() ? 0 : operands->second);
  if (bytes.size() < length) return CommandStep::NeedMore(length - bytes.size());

  if (auto found = replies_.find(command);
      found != replies_.end() && !found->second.answers.empty()) {
    Replies& r = found->second;
    io.Reply(r.answers[std::min(r.next, r.answers.size() - 1)]);
    ++r.next;
  }
  return CommandStep::Done(CommandName(command));
}

void ScriptedTarget::OnControlByte(uint8_t controlByte, ITargetIo& io) {
  if ((controlByte == 0x16 || controlByte == 0x17) && io.Lines().InProgrammingMode()) {
    ++programmingEntries_;
  }
}

int ScriptedTarget::OnPinSample(uint8_t pins, ITargetIo&) {
  const bool vpp = pins & kVpp;
  if (vpp && !vppHigh_) {
    clocks_ = 0;
    ++programmingEntries_;
  }
  vppHigh_ = vpp;
  if (!vpp) {
    clockHigh_ = false;
    driven_ = -1;
    return driven_;
  }
  const bool clock = pins & kPgc;
  if (clock && !clockHigh_) {
    // Rising edge: drive the answer bit for this clock, held until the next rising edge.
    const uint32_t index = clocks_ % kFrameClocks;
    driven_ = index >= kFirstAnswerClock ? (pinAnswer_ >> (index - kFirstAnswerClock)) & 1 : -1;
  } else if (!clock && clockHigh_) {
    ++clocks_;
  }
  clockHigh_ = clock;
  return driven_;
}

void ScriptedTarget::LoadImage(const HexImage& image) {
  memory_ = image;
}

nlohmann::json ScriptedTarget::SaveState() const {
  nlohmann::json memory = nlohmann::json::object();
  for (const auto& [address, value] : memory_) memory[std::to_string(address)] = value;
  return {{"programmingEntries", programmingEntries_}, {"memory", memory}};
}

void ScriptedTarget::LoadState(const nlohmann::json& state) {
  programmingEntries_ = state.value("programmingEntries", uint64_t{0});
  memory_.clear();
  const nlohmann::json memory = state.value("memory", nlohmann::json::object());
  for (const auto& [address, value] : memory.items()) {
    memory_[static_cast<uint32_t>(std::stoul(address))] = value.get<uint8_t>();
  }
}

}  // namespace velmora::sim
