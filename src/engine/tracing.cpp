// Tracing around operations. The trace reader (the thread that polls the programmer and turns
// trace records into log lines) is not part of this library yet; until it is, no command turns
// `trace` on (LoadSettings clears it), so suspending and resuming only keep the state straight.
#include "engine/cqel_doc.h"

namespace velmora {

void CqelDoc::StopTracing() {
  traceState = trace_state::kIdle;
}

void CqelDoc::StartTracing() {}

}  // namespace velmora
