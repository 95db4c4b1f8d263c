#pragma once
// The simulator's record of everything on the link, and its account of link time.
//
// Events (JSON objects, in order; "t" is the link time in microseconds when it happened):
//   {"op":"open", "description":..., "status":0}      {"op":"close"}
//   {"op":"call", "call":"FT_SetBaudRate", "args":[1250000], "status":0}
//   {"op":"write", "bytes":"21 08 ...", "written":n, "status":0}
//   {"op":"read", "requested":n, "bytes":"0C", "status":0}
//   {"op":"command", "bytes":"2E", "name":"..."}   one complete firmware command
//   {"op":"note", "text":"..."}
//   {"op":"trace", "bytes":"03 10 20 30"}             trace output the firmware forwarded
// A run of FT_GetStatus polls that found the same queue is one call event with "rxBytes" and
// "polls".
// Byte texts are upper-case hexadecimal pairs separated by one space. Past the byte budget,
// "bytes" is left out ("count" says how many) and the transcript is marked truncated.
#include <cstddef>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <span>
#include <string>

namespace velmora::sim {

struct TimeAccount {
  double wireMicros = 0;       // bytes and samples on the wire at the set baud rate
  double latencyMicros = 0;    // the FT232's latency timer, once per reply read
  double deviceMicros = 0;     // target busy: flash writes, erases
  double waitMicros = 0;       // reads that ran into their time-out
  double processorMicros = 0;  // the programmer's processor running uploaded script code
  double Total() const {
    return wireMicros + latencyMicros + deviceMicros + waitMicros + processorMicros;
  }
};

class Transcript {
 public:
  static constexpr size_t kByteBudget = 32u << 20;

  void Clear();
  // Appends an event with its time stamp; returns its index.
  size_t Add(nlohmann::json event, double micros);
  nlohmann::json& At(size_t index) { return events_[index]; }
  size_t Size() const { return events_.size(); }
  // Stores the bytes under "bytes" (or their count once the budget is spent).
  void SetBytes(nlohmann::json& event, std::span<const uint8_t> bytes);
  nlohmann::json ToJson(const TimeAccount& time, uint64_t foreverWaits, bool open) const;

 private:
  nlohmann::json events_ = nlohmann::json::array();
  size_t bytesRecorded_ = 0;
  bool truncated_ = false;
};

}  // namespace velmora::sim
