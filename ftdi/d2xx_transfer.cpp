#include "ftdi/d2xx_transfer.h"

#include <algorithm>

#include "ftdi/d2xx_params.h"

namespace velmora {

TransferOutcome ReadWithTimeout(std::span<uint8_t> dest, uint32_t timeoutMs, IClock& clock,
                                const ReadSome& readSome) {
  const uint32_t start = clock.TickCount();
  TransferOutcome outcome;
  while (outcome.count < dest.size()) {
    const int got = readSome(dest.subspan(outcome.count));
    if (got < 0) {
      outcome.failed = true;
      break;
    }
    outcome.count += std::min(static_cast<size_t>(got), dest.size() - outcome.count);
    if (ReadTimeoutExpired(start, clock.TickCount(), timeoutMs)) break;
  }
  return outcome;
}

TransferOutcome WriteInChunks(std::span<const uint8_t> source, size_t chunkSize,
                              const WriteSome& writeSome) {
  TransferOutcome outcome;
  while (outcome.count < source.size()) {
    const size_t length = std::min(chunkSize, source.size() - outcome.count);
    const int written = writeSome(source.subspan(outcome.count, length));
    if (written <= 0) {
      outcome.failed = true;
      break;
    }
    outcome.count += std::min(static_cast<size_t>(written), length);
  }
  return outcome;
}

}  // namespace velmora
