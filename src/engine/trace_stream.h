#pragma once
// The byte stream the programmer forwards while tracing: 0x00 (a null byte from the target),
// 0xFF (the programmer's buffer overflowed), 0x01..0x7F (a length byte n, then n record bytes)
// and 0x80..0xFE (a one-byte record holding the byte minus 0x80).
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

namespace velmora {

struct TraceItem {
  enum class Kind { kNull, kOverflow, kRecord };
  Kind kind;
  std::span<const uint8_t> record;  // kRecord: the record's bytes
};

// The longest record with its length byte: what a read may leave over for the next one.
inline constexpr size_t kMaxTraceCarryOver = 1 + 0x7F;

// Hands every complete item at the front of `bytes` to `emit`, in order. Returns how many bytes
// it used; the rest (at most kMaxTraceCarryOver, a record whose bytes have not all arrived) is
// to be put in front of the next read.
size_t ParseTraceBytes(std::span<const uint8_t> bytes,
                       const std::function<void(const TraceItem&)>& emit);

}  // namespace velmora
