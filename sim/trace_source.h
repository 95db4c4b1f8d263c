#pragma once
// What the target's program sends on its trace pins, as the scenario's "trace" list describes
// it, and the full programmer's framing of it on the serial line: a record of n bytes as the
// length byte n followed by the bytes, a value 0..127 as one byte 0x80 + value, and the bytes
// 0x00 (null) and 0xFF (overflow). Times are milliseconds of the host's clock since tracing
// first started; the target runs on whether anyone listens or not.
//
// Entries of "trace" (each with "at", the time of its first byte):
//   {"record": "10 20 30"}            a record; "split": ms spreads its bytes that far apart;
//                                      "resetAfter": k ends it after k bytes (a target reset)
//   {"value": 5}  {"null": true}  {"overflow": true}  {"raw": "03 10"}
//   "repeat": n, "every": ms         the entry n times, `every` ms apart (0: all at once)
//   "sequence": true                  a record's last four bytes carry the repetition's number
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace velmora::sim {

struct TraceChunk {
  uint64_t atMillis;
  std::vector<uint8_t> bytes;
};

class TraceSource {
 public:
  TraceSource() = default;
  // Throws std::runtime_error on a malformed list.
  explicit TraceSource(const nlohmann::json& entries);

  bool Empty() const { return entries_.empty(); }
  // The chunks due at `nowMillis` that were not taken yet, in time order.
  std::vector<TraceChunk> TakeDue(uint64_t nowMillis);

 private:
  // One entry of the list, its repetitions made as they fall due.
  struct Entry {
    uint64_t at = 0;
    uint64_t repeat = 1;
    uint64_t every = 0;
    bool sequence = false;
    std::vector<TraceChunk> pieces;  // times relative to the repetition's start
    uint64_t nextRepetition = 0;
    size_t nextPiece = 0;
  };
  std::vector<Entry> entries_;
};

}  // namespace velmora::sim
