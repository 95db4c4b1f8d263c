// libFuzzer target for the trace definition file: any text must parse without a memory error or
// undefined behaviour, within the limits of the definition table.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "engine/trace_format.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const auto definitions = velmora::ParseTraceDefinitions(text);
  if (definitions.size() > velmora::kMaxTraceDefinitions) std::abort();
  for (const velmora::TraceDefinition& d : definitions) {
    if (d.message.size() > velmora::kMaxTraceTemplateBytes) std::abort();
    if (d.length < 0 || d.length > 0xFF || d.code < 0 || d.code > 0xFF) std::abort();
    if (d.subCode < -1 || d.subCode > 0xFF) std::abort();
  }
  return 0;
}
