// The script link: the byte queue host subs talk through, the script state request and the
// upload of the compiled algorithm in 64-byte blocks.
#include <algorithm>

#include "link/pic_vortang.h"

namespace velmora {

namespace {
constexpr uint8_t kScriptState = 0x18;
constexpr uint8_t kScriptWord = 0x19;
constexpr uint8_t kScriptBlock = 0x1A;
constexpr int kFlushRequest = -2;
constexpr size_t kQueueLimit = 64;
constexpr int kBlockSize = 64;

uint16_t LittleEndian16(const uint8_t* bytes) {
  return static_cast<uint16_t>(bytes[0] | (bytes[1] << 8));
}
}  // namespace

void CPICVortang::QueueScriptByte(int value) {
  if (value >= 0 && value <= 255) AppendByte(static_cast<uint8_t>(value));
  const uint32_t now = clock_.TickCount();
  if (sampleWriteCursor - sampleSendCursor > kQueueLimit || value == kFlushRequest ||
      now != lastFlushTick) {
    WriteAppended();
    sampleWriteCursor = sampleSendCursor = 0;
    lastFlushTick = now;
  }
}

void CPICVortang::SendScriptWord(int word) {
  QueueScriptByte(kScriptWord);
  QueueScriptByte((word >> 8) & 0xFF);
  QueueScriptByte(word & 0xFF);
}

int CPICVortang::FlushAndReadByte() {
  WriteAppended();
  sampleWriteCursor = sampleSendCursor = 0;
  lastFlushTick = clock_.TickCount();
  readResultCursor = 0;
  const uint8_t* reply = ReadReply(1);
  return reply != nullptr ? reply[0] : -1;
}

int CPICVortang::ReadScriptState() {
  if (!WriteCommandByte(kScriptState)) return 0;
  readResultCursor = 0;
  const uint8_t* range = ReadReply(4);
  if (range == nullptr) return 0;
  const int start = LittleEndian16(range);
  const int end = LittleEndian16(range + 2);
  // An end before the start would read a negative count and write outside the mirror.
  const bool validArea =
      end == 0 ||
      (scriptHost != nullptr ? scriptHost->SetScriptCodeArea(start, end) : start <= end);
  if (!validArea) return 0;
  if (end != 0) {
    readResultCursor = 0;
    const uint8_t* content = ReadReply(static_cast<size_t>(end - start));
    if (content == nullptr) return 0;
    if (scriptHost != nullptr) {
      std::copy(content, content + (end - start), scriptHost->ScriptUploadImage().begin() + start);
    }
  }
  readResultCursor = 0;
  const uint8_t* addresses = ReadReply(6);
  if (addresses == nullptr) return 0;
  if (scriptHost != nullptr) {
    scriptHost->SetScriptFirmwareAddresses(LittleEndian16(addresses), LittleEndian16(addresses + 2),
                                           LittleEndian16(addresses + 4));
  }
  return 1;
}

int CPICVortang::UploadScriptBlocks() {
  if (scriptHost == nullptr) return -1;
  const std::span<uint8_t> code = scriptHost->ScriptCodeImage();
  const std::span<uint8_t> mirror = scriptHost->ScriptUploadImage();
  const int start = scriptHost->ScriptCodeStart();
  const int end = scriptHost->ScriptCodeEnd();
  auto blockStart = [&](int block) {
    // The last block ends at the area's end, so no write reaches past the area.
    return std::max(start, std::min(block, end - kBlockSize));
  };
  auto blank = [&](int from) {
    return std::all_of(code.begin() + from, code.begin() + from + kBlockSize,
                       [](uint8_t b) { return b == 0xFF; });
  };
  if (end - start >= kBlockSize) {
    for (int block = start; block < end; block += kBlockSize) {
      const int from = blockStart(block);
      if (blank(from) || std::equal(code.begin() + from, code.begin() + from + kBlockSize,
                                    mirror.begin() + from)) {
        continue;
      }
      ResetCursors();
      AppendByte(kScriptBlock);
      AppendLittleEndian(static_cast<uint32_t>(from), 2);
      for (int i = 0; i < kBlockSize; ++i) AppendByte(code[static_cast<size_t>(from + i)]);
      if (!WriteAppended()) return -1;
      const uint8_t* readBack = ReadReply(kBlockSize);
      if (readBack == nullptr) return -1;
      std::copy(readBack, readBack + kBlockSize, mirror.begin() + from);
    }
  }
  ResetCursors();
  if (ReadScriptState() == 0) return -1;
  int wrong = 0;
  for (int block = start; block < end; block += kBlockSize) {
    const int blockEnd = std::min(block + kBlockSize, end);
    if (std::all_of(code.begin() + block, code.begin() + blockEnd,
                    [](uint8_t b) { return b == 0xFF; })) {
      continue;
    }
    for (int i = block; i < blockEnd; ++i) {
      if (code[static_cast<size_t>(i)] != mirror[static_cast<size_t>(i)]) ++wrong;
    }
  }
  return wrong;
}

}  // namespace velmora
