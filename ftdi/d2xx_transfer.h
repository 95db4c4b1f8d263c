#pragma once
// The read and write loops of FT_Read and FT_Write, over any byte source or sink, so that their
// timing and chunking can be checked against a virtual clock without a device.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>

#include "platform/clock.h"

namespace velmora {

struct TransferOutcome {
  size_t count = 0;     // bytes moved before the loop ended
  bool failed = false;  // the source or sink reported an error
};

// Reads what has arrived into the span; returns the byte count (0 when nothing has arrived
// within one latency period) or a negative value on error.
using ReadSome = std::function<int(std::span<uint8_t>)>;
// Writes the span; returns the bytes taken or a negative value on error.
using WriteSome = std::function<int(std::span<const uint8_t>)>;

// Polls until dest is full, the source fails, or timeoutMs has passed since the call
// (0 = no timeout: wait for the full count). A timeout is not a failure: the count tells the
// caller how much arrived.
TransferOutcome ReadWithTimeout(std::span<uint8_t> dest, uint32_t timeoutMs, IClock& clock,
                                const ReadSome& readSome);

// Writes every byte, at most chunkSize per call. A sink that takes nothing counts as failed,
// so a stalled link ends the loop instead of spinning.
TransferOutcome WriteInChunks(std::span<const uint8_t> source, size_t chunkSize,
                              const WriteSome& writeSome);

}  // namespace velmora
