// A driver library that exports only the first three entry points, for the binding tests.
#include <cstdint>

#include "link/d2xx.h"

namespace {
int openCalls = 0;
}

extern "C" {
FT_STATUS FT_Close(FT_HANDLE) {
  return FT_OK;
}
FT_STATUS FT_GetStatus(FT_HANDLE, uint32_t*, uint32_t*, uint32_t*) {
  return FT_OK;
}
FT_STATUS FT_OpenEx(void*, uint32_t, FT_HANDLE* handle) {
  ++openCalls;
  *handle = &openCalls;
  return FT_OK;
}
int PartialDriver_OpenCalls() {
  return openCalls;
}
}
