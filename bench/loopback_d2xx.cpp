// A D2XX driver library that hands every written byte back to the next read, as if each
// bit-bang sample were captured unchanged. The benchmarks use it to time the link's sample
// encoding and decoding without a target behind the port.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "link/d2xx.h"

namespace {

struct Loopback {
  std::vector<uint8_t> queue;
  size_t readPosition = 0;
  uint64_t bytesWritten = 0;
};
Loopback loopback;
int handleTag = 0;

}  // namespace

extern "C" {
FT_STATUS FT_Close(FT_HANDLE) {
  return FT_OK;
}
FT_STATUS FT_GetStatus(FT_HANDLE, uint32_t* rx, uint32_t* tx, uint32_t* events) {
  if (rx) *rx = static_cast<uint32_t>(loopback.queue.size() - loopback.readPosition);
  if (tx) *tx = 0;
  if (events) *events = 0;
  return FT_OK;
}
FT_STATUS FT_OpenEx(void*, uint32_t, FT_HANDLE* handle) {
  *handle = &handleTag;
  return FT_OK;
}
FT_STATUS FT_Purge(FT_HANDLE, uint32_t mask) {
  if (mask & FT_PURGE_RX) {
    loopback.queue.clear();
    loopback.readPosition = 0;
  }
  return FT_OK;
}
FT_STATUS FT_Read(FT_HANDLE, void* buffer, uint32_t count, uint32_t* returned) {
  const size_t available = loopback.queue.size() - loopback.readPosition;
  const size_t n = std::min<size_t>(count, available);
  std::memcpy(buffer, loopback.queue.data() + loopback.readPosition, n);
  loopback.readPosition += n;
  if (loopback.readPosition == loopback.queue.size()) {
    loopback.queue.clear();
    loopback.readPosition = 0;
  }
  *returned = static_cast<uint32_t>(n);
  return FT_OK;
}
FT_STATUS FT_ResetDevice(FT_HANDLE) {
  return FT_OK;
}
FT_STATUS FT_SetBaudRate(FT_HANDLE, uint32_t) {
  return FT_OK;
}
FT_STATUS FT_SetBitMode(FT_HANDLE, uint8_t, uint8_t) {
  return FT_OK;
}
FT_STATUS FT_SetDataCharacteristics(FT_HANDLE, uint8_t, uint8_t, uint8_t) {
  return FT_OK;
}
FT_STATUS FT_SetFlowControl(FT_HANDLE, uint16_t, uint8_t, uint8_t) {
  return FT_OK;
}
FT_STATUS FT_SetLatencyTimer(FT_HANDLE, uint8_t) {
  return FT_OK;
}
FT_STATUS FT_SetRts(FT_HANDLE) {
  return FT_OK;
}
FT_STATUS FT_SetTimeouts(FT_HANDLE, uint32_t, uint32_t) {
  return FT_OK;
}
FT_STATUS FT_SetUSBParameters(FT_HANDLE, uint32_t, uint32_t) {
  return FT_OK;
}
FT_STATUS FT_Write(FT_HANDLE, void* buffer, uint32_t count, uint32_t* written) {
  // Samples nobody reads back (plain sends) are dropped once they pile up.
  if (loopback.queue.size() > (16u << 20)) {
    loopback.queue.clear();
    loopback.readPosition = 0;
  }
  const auto* bytes = static_cast<const uint8_t*>(buffer);
  loopback.queue.insert(loopback.queue.end(), bytes, bytes + count);
  loopback.bytesWritten += count;
  *written = count;
  return FT_OK;
}
uint64_t Loopback_BytesWritten() {
  return loopback.bytesWritten;
}
}
