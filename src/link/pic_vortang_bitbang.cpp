// Mini programmer: PIC18 ICSP sample encoding and the decoder of the captured pin states.
//
// Port bits: D2 = PGD (data out, and the target's data when read back), D3 = PGC (clock),
// D6 = PGM, D7 = MCLR/VPP. Every sample keeps the programming-mode pins of pinsProgramming and
// sets only PGD and PGC itself.
#include <algorithm>
#include <cstring>

#include "link/pic_vortang.h"

namespace velmora {

namespace {

constexpr uint8_t kDataPin = 0x04;
constexpr uint8_t kClockPin = 0x08;
constexpr int kCommandBits = 4;
constexpr int kDataBits = 16;
constexpr int kFrameBits = kCommandBits + kDataBits;
// Commands whose last eight bits carry a byte from the target, as received (first bit most
// significant): 1001 = table read with post-increment, 0100 = shift out TABLAT (0010 sent
// least significant first).
constexpr uint32_t kTableReadPostIncrement = 0x9;
constexpr uint32_t kShiftOutTablat = 0x4;
constexpr int kHoldLowMicroseconds = 10;

uint8_t ReverseBits(uint8_t value) {
  uint8_t reversed = 0;
  for (int i = 0; i < 8; ++i)
    reversed = static_cast<uint8_t>(reversed | (((value >> i) & 1) << (7 - i)));
  return reversed;
}

}  // namespace

void CPICVortang::AppendSample(uint8_t sample) {
  if (EnsureSampleRoom(1)) sampleBuffer[sampleWriteCursor++] = sample;
}

void CPICVortang::AppendSampleRun(uint8_t sample, size_t count) {
  if (!EnsureSampleRoom(count)) return;
  std::memset(sampleBuffer.get() + sampleWriteCursor, sample, count);
  sampleWriteCursor += count;
}

void CPICVortang::QueueCommand(int command4, int dataHigh, int dataLow) {
  if (!EnsureSampleRoom(2 * kFrameBits)) return;  // all of the command or none of it
  const uint8_t base = pinsProgramming & 0xF3;
  const uint32_t bits = (static_cast<uint32_t>(command4) & 0xF) |
                        ((static_cast<uint32_t>(dataLow) & 0xFF) << kCommandBits) |
                        ((static_cast<uint32_t>(dataHigh) & 0xFF) << (kCommandBits + 8));
  for (int i = 0; i < kFrameBits; ++i) {
    const uint8_t data = ((bits >> i) & 1) ? kDataPin : 0;
    AppendSample(base | data | kClockPin);
    AppendSample(base | data);
  }
  ++pendingReadCommands;
}

void CPICVortang::QueueProgramHold() {
  const uint8_t low = pinsProgramming & 0xF3;
  const uint8_t high = low | kClockPin;
  // The fourth clock stays high for the programming time, then low for the discharge time.
  const int32_t perSample = std::max(1, microsecondsPerSample);
  const size_t holdHigh = 1 + static_cast<size_t>(std::max(0, programHoldMicroseconds) / perSample);
  const size_t holdLow = 1 + static_cast<size_t>(kHoldLowMicroseconds / perSample);
  if (!EnsureSampleRoom(6 + holdHigh + holdLow + 2 * kDataBits)) return;
  for (int i = 0; i < 3; ++i) {
    AppendSample(high);
    AppendSample(low);
  }
  AppendSampleRun(high, holdHigh);
  AppendSampleRun(low, holdLow);
  for (int i = 0; i < kDataBits; ++i) {
    AppendSample(high);
    AppendSample(low);
  }
}

int CPICVortang::SendSamples() {
  return WriteAppended(kMaxSamplesPerWrite) ? 1 : 0;
}

void CPICVortang::DecodeSamples(const uint8_t* samples, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    const bool clockHigh = samples[i] & kClockPin;
    const bool fallingEdge = decodePreviousClockHigh_ && !clockHigh;
    decodePreviousClockHigh_ = clockHigh;
    if (!fallingEdge) continue;
    decodeAccumulator_ = (decodeAccumulator_ << 1) | ((samples[i] & kDataPin) ? 1 : 0);
    if (++decodeBitCount_ < kFrameBits) continue;

    const uint32_t frame = decodeAccumulator_ & ((1u << kFrameBits) - 1);
    decodeAccumulator_ = 0;
    decodeBitCount_ = 0;
    if (pendingReadCommands == 0) continue;  // not one of ours: dropped
    --pendingReadCommands;
    const uint32_t command = frame >> kDataBits;
    if (command != kTableReadPostIncrement && command != kShiftOutTablat) continue;
    if (readResultCursor >= kReplyBufferSize) {
      bufferOverflow = true;
      continue;
    }
    replyBuffer[readResultCursor++] = ReverseBits(static_cast<uint8_t>(frame & 0xFF));
  }
}

bool CPICVortang::ReadSamplesAndDecode(uint32_t maxBytes) {
  uint8_t captured[kReadBackFinalBytes];
  uint32_t received = 0;
  if (!TransferAllowed() ||
      ft.FT_Read(ftHandle.load(), captured, std::min(maxBytes, kReadBackFinalBytes), &received) !=
          FT_OK) {
    linkLost = true;
    return false;
  }
  DecodeSamples(captured, received);
  return true;
}

int CPICVortang::SendSamplesAndDecode() {
  // A decode that fails, also for want of buffer room, counts as a lost link: the reply is
  // incomplete, and the primitives must not take what an earlier read left for it.
  const FT_HANDLE handle = ftHandle.load();
  if (!TransferAllowed() || !handle || !driverBound_ || bufferOverflow) {
    linkLost = true;
    return 0;
  }
  decodePreviousClockHigh_ = false;
  decodeAccumulator_ = 0;
  decodeBitCount_ = 0;

  ft.FT_SetBaudRate(handle, static_cast<uint32_t>(readBackBaud));
  ft.FT_Purge(handle, FT_PURGE_RX);
  while (sampleSendCursor < sampleWriteCursor) {
    const size_t chunk = std::min(kReadBackSamplesPerStep, sampleWriteCursor - sampleSendCursor);
    if (!WriteRaw(sampleBuffer.get() + sampleSendCursor, chunk)) return 0;
    sampleSendCursor += chunk;
    if (!ReadSamplesAndDecode(kReadBackStepBytes)) return 0;
  }
  if (!ReadSamplesAndDecode(kReadBackFinalBytes)) return 0;
  ft.FT_SetBaudRate(handle, static_cast<uint32_t>(bitBangBaud));
  if (bufferOverflow) linkLost = true;
  return bufferOverflow ? 0 : 1;
}

const uint8_t* CPICVortang::DecodedReply(size_t from, size_t count) {
  if (readResultCursor < from || readResultCursor - from < count) {
    linkLost = true;
    return nullptr;
  }
  return replyBuffer.get() + from;
}

}  // namespace velmora
