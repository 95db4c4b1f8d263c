#pragma once
// Trace Definition Files (*.tdf) and the text of one trace record. A definition line reads
// "L=hh:C=hh:S=hh:M=text": a record of at least L bytes whose first byte is C and whose second
// byte is S (or any, when S is given as "xx") is shown as the template M, expanded over the
// record's remaining bytes. Records without a definition are shown as hexadecimal bytes.
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace velmora {

struct TraceDefinition {
  int32_t length = 0;    // L: the shortest record it applies to
  int32_t code = 0;      // C: the record's first byte
  int32_t subCode = -1;  // S: the record's second byte; -1 = any
  std::string message;   // M: the template
};

inline constexpr size_t kMaxTraceDefinitions = 10000;
// A longer template is cut to this many bytes.
inline constexpr size_t kMaxTraceTemplateBytes = 1024;

// The definitions of a file's text, in file order; lines that are not definitions are skipped.
std::vector<TraceDefinition> ParseTraceDefinitions(std::string_view text);

// The log text of one record.
std::string FormatTraceRecord(std::span<const uint8_t> record,
                              std::span<const TraceDefinition> definitions);

}  // namespace velmora
