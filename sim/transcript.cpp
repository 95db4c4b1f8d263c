#include "transcript.h"

#include "scenario.h"

namespace velmora::sim {

void Transcript::Clear() {
  events_ = nlohmann::json::array();
  bytesRecorded_ = 0;
  truncated_ = false;
}

size_t Transcript::Add(nlohmann::json event, double micros) {
  event["t"] = micros;
  events_.push_back(std::move(event));
  return events_.size() - 1;
}

void Transcript::SetBytes(nlohmann::json& event, std::span<const uint8_t> bytes) {
  if (bytesRecorded_ + bytes.size() > kByteBudget) {
    truncated_ = true;
    event["count"] = bytes.size();
    return;
  }
  bytesRecorded_ += bytes.size();
  event["bytes"] = FormatHexBytes(bytes.data(), bytes.size());
}

nlohmann::json Transcript::ToJson(const TimeAccount& time, uint64_t foreverWaits, bool open) const {
  return {{"events", events_},
          {"truncated", truncated_},
          {"open", open},
          {"foreverWaits", foreverWaits},
          {"linkMicros", time.Total()},
          {"wireMicros", time.wireMicros},
          {"latencyMicros", time.latencyMicros},
          {"deviceMicros", time.deviceMicros},
          {"waitMicros", time.waitMicros},
          {"processorMicros", time.processorMicros}};
}

}  // namespace velmora::sim
