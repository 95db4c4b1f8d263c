#include "ftdi/d2xx_params.h"

#include <algorithm>
#include <climits>

#include "ftdi/d2xx_abi.h"

namespace velmora {

int LibftdiBaudrate(uint32_t baud, bool bitBangEnabled) {
  const uint64_t rate = bitBangEnabled ? (uint64_t{baud} + 2) / 4 : baud;
  return static_cast<int>(std::min<uint64_t>(rate, INT_MAX));
}

bool IsValidDataCharacteristics(uint8_t wordLength, uint8_t stopBits, uint8_t parity) {
  const bool word = wordLength == FT_BITS_7 || wordLength == FT_BITS_8;
  const bool stop = stopBits == FT_STOP_BITS_1 || stopBits == FT_STOP_BITS_2;
  return word && stop && parity <= FT_PARITY_SPACE;
}

bool IsValidFlowControl(uint16_t flowControl) {
  switch (flowControl) {
    case FT_FLOW_NONE:
    case FT_FLOW_RTS_CTS:
    case FT_FLOW_DTR_DSR:
    case FT_FLOW_XON_XOFF:
      return true;
    default:
      return false;
  }
}

bool IsValidTransferSize(uint32_t bytes) {
  return bytes >= 64 && bytes <= 65536 && bytes % 64 == 0;
}

int UsbWriteTimeoutMs(uint32_t writeTimeoutMs) {
  if (writeTimeoutMs == 0) return kLibftdiUsbTimeoutMs;
  return static_cast<int>(std::min<uint32_t>(writeTimeoutMs, INT_MAX));
}

bool ReadTimeoutExpired(uint32_t startTick, uint32_t nowTick, uint32_t timeoutMs) {
  return timeoutMs != 0 && static_cast<uint32_t>(nowTick - startTick) >= timeoutMs;
}

}  // namespace velmora
