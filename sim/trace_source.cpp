#include "trace_source.h"

#include <algorithm>
#include <stdexcept>

#include "scenario.h"

namespace velmora::sim {

namespace {

constexpr size_t kLongestRecord = 0x7F;

// The bytes of one entry as the programmer frames them, each with its delay after the first.
std::vector<TraceChunk> EntryChunks(const nlohmann::json& entry) {
  if (entry.contains("record")) {
    const std::vector<uint8_t> record = ParseHexBytes(entry.at("record").get<std::string>());
    if (record.empty() || record.size() > kLongestRecord) {
      throw std::runtime_error("trace record of " + std::to_string(record.size()) + " bytes");
    }
    std::vector<uint8_t> framed{static_cast<uint8_t>(record.size())};
    const size_t kept = std::min<size_t>(record.size(), entry.value("resetAfter", record.size()));
    framed.insert(framed.end(), record.begin(), record.begin() + static_cast<long>(kept));
    const uint64_t split = entry.value("split", uint64_t{0});
    if (split == 0) return {{0, framed}};
    std::vector<TraceChunk> chunks;
    for (size_t i = 0; i < framed.size(); ++i) chunks.push_back({i * split, {framed[i]}});
    return chunks;
  }
  if (entry.contains("value")) {
    const unsigned value = entry.at("value").get<unsigned>();
    if (value > 0x7E) throw std::runtime_error("trace value above 126");
    return {{0, {static_cast<uint8_t>(0x80 | value)}}};
  }
  if (entry.value("null", false)) return {{0, {0x00}}};
  if (entry.value("overflow", false)) return {{0, {0xFF}}};
  if (entry.contains("raw")) return {{0, ParseHexBytes(entry.at("raw").get<std::string>())}};
  throw std::runtime_error("trace entry without record, value, null, overflow or raw: " +
                           entry.dump());
}

}  // namespace

TraceSource::TraceSource(const nlohmann::json& entries) {
  if (!entries.is_array()) throw std::runtime_error("trace must be a list");
  for (const nlohmann::json& json : entries) {
    if (!json.is_object()) throw std::runtime_error("trace entry must be an object");
    Entry entry;
    entry.at = json.value("at", uint64_t{0});
    entry.repeat = json.value("repeat", uint64_t{1});
    entry.every = json.value("every", uint64_t{0});
    entry.sequence = json.value("sequence", false);
    entry.pieces = EntryChunks(json);
    if (entry.sequence && (!json.contains("record") || entry.pieces.size() != 1 ||
                           entry.pieces[0].bytes.size() < 5)) {
      throw std::runtime_error("sequence needs a whole record of at least four bytes");
    }
    entries_.push_back(std::move(entry));
  }
}

std::vector<TraceChunk> TraceSource::TakeDue(uint64_t nowMillis) {
  std::vector<TraceChunk> due;
  for (Entry& e : entries_) {
    while (e.nextRepetition < e.repeat) {
      const TraceChunk& piece = e.pieces[e.nextPiece];
      const uint64_t at = e.at + e.nextRepetition * e.every + piece.atMillis;
      if (at > nowMillis) break;
      TraceChunk chunk{at, piece.bytes};
      if (e.sequence) {
        const size_t end = chunk.bytes.size();
        for (size_t k = 0; k < 4; ++k) {
          chunk.bytes[end - 4 + k] = static_cast<uint8_t>(e.nextRepetition >> (8 * (3 - k)));
        }
      }
      due.push_back(std::move(chunk));
      if (++e.nextPiece == e.pieces.size()) {
        e.nextPiece = 0;
        ++e.nextRepetition;
      }
    }
  }
  std::stable_sort(due.begin(), due.end(), [](const TraceChunk& a, const TraceChunk& b) {
    return a.atMillis < b.atMillis;
  });
  return due;
}

}  // namespace velmora::sim
