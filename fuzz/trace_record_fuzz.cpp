// libFuzzer target for the trace record text and the trace byte stream. The input's first byte
// gives the record length (0..127), the record follows, the rest is a trace definition file; the
// whole input is also taken as the programmer's byte stream. Formatting must stay within the
// record, end every line without control characters that would split it, and the stream must
// leave at most one record over.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>
#include <string>
#include <string_view>

#include "engine/trace_format.h"
#include "engine/trace_stream.h"

namespace {

void CheckLine(const std::string& line) {
  for (char c : line) {
    if (c == '\n' || c == '\r' || c == '\0') std::abort();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::span<const uint8_t> input(data, size);
  if (input.empty()) return 0;
  const size_t length = std::min<size_t>(input[0] & 0x7F, input.size() - 1);
  const std::span<const uint8_t> record = input.subspan(1, length);
  const std::string_view tdf(reinterpret_cast<const char*>(data + 1 + length), size - 1 - length);
  const auto definitions = velmora::ParseTraceDefinitions(tdf);
  const std::string text = velmora::FormatTraceRecord(record, definitions);
  // Templates are the user's own text; only what comes from the record is checked.
  if (definitions.empty()) CheckLine(text);

  const size_t used = velmora::ParseTraceBytes(input, [](const velmora::TraceItem& item) {
    if (item.kind == velmora::TraceItem::Kind::kRecord && item.record.empty()) std::abort();
  });
  if (used > input.size() || input.size() - used > velmora::kMaxTraceCarryOver) std::abort();
  return 0;
}
