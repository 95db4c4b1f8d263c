#include "engine/trace_stream.h"

#include <array>

namespace velmora {

namespace {
constexpr uint8_t kNullByte = 0x00;
constexpr uint8_t kOverflowByte = 0xFF;
constexpr uint8_t kShortRecordFlag = 0x80;
}  // namespace

size_t ParseTraceBytes(std::span<const uint8_t> bytes,
                       const std::function<void(const TraceItem&)>& emit) {
  size_t at = 0;
  while (at < bytes.size()) {
    const uint8_t byte = bytes[at];
    if (byte == kNullByte) {
      emit({TraceItem::Kind::kNull, {}});
      ++at;
    } else if (byte == kOverflowByte) {
      emit({TraceItem::Kind::kOverflow, {}});
      ++at;
    } else if (byte & kShortRecordFlag) {
      // The record's one byte (the value without the flag) is not in the stream itself.
      static constexpr auto kValues = [] {
        std::array<uint8_t, 0x80> values{};
        for (size_t i = 0; i < values.size(); ++i) values[i] = static_cast<uint8_t>(i);
        return values;
      }();
      emit({TraceItem::Kind::kRecord, std::span<const uint8_t>(&kValues[byte & 0x7F], 1)});
      ++at;
    } else {
      const size_t length = byte;
      if (bytes.size() - at - 1 < length) break;  // the rest comes with the next read
      emit({TraceItem::Kind::kRecord, bytes.subspan(at + 1, length)});
      at += 1 + length;
    }
  }
  return at;
}

}  // namespace velmora
