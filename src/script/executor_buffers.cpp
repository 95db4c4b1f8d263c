// Buffer statements of host subs: hex files in and out, masks, clear, dump, copy, compare, the
// erased and empty checks, checksums and the address values. Every cell goes through the
// buffer's address map; addresses are 64-bit script values and are checked before they become
// the image's 32-bit addresses, so a range never wraps around onto cells it does not name.
#include <algorithm>
#include <cstdio>

#include "memory/intel_hex.h"
#include "script/zeql_executor.h"

namespace velmora {

namespace {

constexpr const char* kUndefinedCell = "You were accessing a non defined part of a memory array.";
constexpr const char* kNoMap = "No memory map to work with or wrong size value.";
constexpr const char* kUnknownMemory = "Unknown memory variable.";
constexpr int64_t kMaxDumpLength = 0x10000;
constexpr int kDumpBytesPerLine = 16;
// Extents a buffer is written with (the whole program memory and EEPROM windows).
constexpr int32_t kSaveProgramExtent = 0x100000;
constexpr int32_t kSaveEepromExtent = 0x10000;
// Checksum kinds.
constexpr int64_t kSumOfBytes = 4;
constexpr int64_t kSumOfWords = 32;
constexpr int64_t kCrc16 = 63;
constexpr uint16_t kCrcPolynomial = 0x1021;
constexpr uint16_t kCrcInitial = 0xFFFF;

std::string Format(const char* format, auto... values) {
  char text[256];
  std::snprintf(text, sizeof text, format, values...);
  return text;
}

// A buffer named plainly or as its cell ("file" or "[file]").
std::optional<ScriptBuffer> AnyBuffer(std::string_view token) {
  if (auto buffer = BufferNamed(token)) return buffer;
  return BufferCellNamed(token);
}

uint8_t LaneMask(const CMCUMemoryArchitecture& image, uint32_t address) {
  return image.readMask[address & 3];
}

}  // namespace

std::optional<uint32_t> CZEQLExecutor::CellAddress(int64_t base, int64_t offset) {
  int64_t address = 0;
  if (__builtin_add_overflow(base, offset, &address)) return std::nullopt;
  if (address < 0 || address > int64_t{UINT32_MAX}) return std::nullopt;
  return static_cast<uint32_t>(address);
}

int32_t CZEQLExecutor::ReadCell(ScriptBuffer buffer, int64_t base, int64_t offset) {
  const auto address = CellAddress(base, offset);
  if (!address) return kNoCell;
  return engine_.Buffer(buffer).GetCell(*address);
}

bool CZEQLExecutor::RangeMapped(ScriptBuffer buffer, int64_t base, int64_t count) {
  for (int64_t i = 0; i < count; ++i) {
    if (ReadCell(buffer, base, i) == kNoCell) return false;
  }
  return true;
}

int32_t CZEQLExecutor::ChecksumByte(ScriptBuffer buffer, int64_t base, int64_t offset) {
  const auto address = CellAddress(base, offset);
  if (!address) return 0;
  return engine_.Buffer(buffer).ReadMaskedByteOrZero(*address);
}

bool CZEQLExecutor::CheckCount(int64_t count, const char* negativeMessage) {
  if (count < 0) return Fail(negativeMessage);
  if (count > kMaxCount) return Fail(kNoMap);
  return true;
}

bool CZEQLExecutor::WriteCellAtAddress(ScriptBuffer buffer, int64_t value) {
  const int64_t base = engine_.BufferAddress(buffer);
  if (ReadCell(buffer, base, 0) == kNoCell) return Fail(kUndefinedCell);
  engine_.Buffer(buffer).SetCell(*CellAddress(base, 0), static_cast<int32_t>(value & 0xFF));
  return true;
}

int CZEQLExecutor::SlotNumber(const std::string& token) {
  const int64_t slot = engine_.Evaluate(token);
  if (slot < 1 || slot > 4) {
    Fail("Please choose between file 1 to 4.");
    return 0;
  }
  return static_cast<int>(slot);
}

bool CZEQLExecutor::Load(const std::vector<std::string>& tokens) {
  const int slot = SlotNumber(tokens[1]);
  if (slot == 0) return false;
  const std::string& path = engine_.FileName(slot - 1);
  engine_.SetVariableText("_filename", "\"" + path + "\"");
  if (ReadHexFile(engine_.Buffer(ScriptBuffer::kFile), path, prompt_) == 1) {
    engine_.SetVariableNumber("_error", 0);
  } else {
    engine_.SetVariableNumber("_error", 1);
    log_.LogLine(Format("Unable to read .hex file \"%s\".", path.c_str()));
  }
  return true;
}

bool CZEQLExecutor::Save(const std::vector<std::string>& tokens) {
  ScriptBuffer which = ScriptBuffer::kChip;
  if (tokens.size() == 3) {
    const auto named = AnyBuffer(tokens[2]);
    if (!named) return Fail(kUnknownMemory);
    which = *named;
  }
  CMCUMemoryArchitecture& buffer = engine_.Buffer(which);
  buffer.programSize = kSaveProgramExtent;
  buffer.eepromSize = kSaveEepromExtent;
  if (tokens.size() == 1) {
    const std::optional<HexSaveChoice> choice = prompt_.AskHexSavePath("");
    if (!choice) {
      log_.LogLine("+++ Data saving canceled +++");
    } else if (WriteHexFile(choice->path, buffer, choice->saveEmptyAreas ? 1 : 0, prompt_) == 1) {
      log_.LogLine("*** Data successfully saved as \"" + choice->path + "\" ***");
    } else {
      log_.LogLine("+++ Data saving failed +++");
    }
    return true;
  }
  const int slot = SlotNumber(tokens[1]);
  if (slot == 0) return false;
  const std::string& path = engine_.FileName(slot - 1);
  engine_.SetVariableText("_filename", "\"" + path + "\"");
  const bool written = !path.empty() && WriteHexFile(path, buffer, 0, prompt_) == 1;
  engine_.SetVariableNumber("_error", written ? 0 : 1);
  return true;
}

bool CZEQLExecutor::Mask(const std::vector<std::string>& tokens) {
  uint8_t lanes[4];
  for (size_t i = 0; i < 4; ++i) lanes[i] = static_cast<uint8_t>(engine_.Evaluate(tokens[i + 1]));
  for (ScriptBuffer buffer : {ScriptBuffer::kFile, ScriptBuffer::kTemp, ScriptBuffer::kChip}) {
    std::copy(lanes, lanes + 4, engine_.Buffer(buffer).readMask);
  }
  return true;
}

bool CZEQLExecutor::ClearBuffer(const std::vector<std::string>& tokens) {
  const auto which = AnyBuffer(tokens[1]);
  if (!which) return Fail(kUnknownMemory);
  CMCUMemoryArchitecture& buffer = engine_.Buffer(*which);
  if (tokens.size() == 2) {
    buffer.Clear();
    return true;
  }
  const int64_t size = engine_.Evaluate(tokens[2]);
  if (!CheckCount(size, "Size is negativ")) return false;
  const int64_t base = engine_.BufferAddress(*which);
  if (!RangeMapped(*which, base, size)) return Fail(kUndefinedCell);
  for (int64_t i = 0; i < size; ++i) buffer.SetCell(*CellAddress(base, i), kBlankCell);
  return true;
}

bool CZEQLExecutor::Dump(const std::vector<std::string>& tokens) {
  const auto which = AnyBuffer(tokens[1]);
  if (!which) return Fail(kUnknownMemory);
  const int64_t length = engine_.Evaluate(tokens[2]);
  const int64_t displayOffset = engine_.Evaluate(tokens[3]);
  if (length < 0 || length > kMaxDumpLength) return true;
  const int64_t base = engine_.BufferAddress(*which);
  for (int64_t line = 0; line < length; line += kDumpBytesPerLine) {
    std::string hex = Format("%08X:", static_cast<unsigned>(displayOffset + line));
    std::string characters;
    for (int64_t i = line; i < std::min(length, line + kDumpBytesPerLine); ++i) {
      const int32_t cell = ReadCell(*which, base, i);
      if (cell < 0) {
        hex += "\t--";
        characters += "\t.";
        continue;
      }
      hex += Format("\t%02X", static_cast<unsigned>(cell));
      characters += '\t';
      characters += cell < 32 || cell == 0xFF ? '.' : static_cast<char>(cell);
    }
    log_.LogLine(hex + characters, false);
  }
  return true;
}

bool CZEQLExecutor::Copy(const std::vector<std::string>& tokens) {
  const int64_t size = engine_.Evaluate(tokens[3]);
  const auto source = AnyBuffer(tokens[1]);
  const auto destination = AnyBuffer(tokens[2]);
  if (source && destination) {
    if (!CheckCount(size, kNoMap)) return false;
    const int64_t from = engine_.BufferAddress(*source);
    const int64_t to = engine_.BufferAddress(*destination);
    if (!RangeMapped(*destination, to, size)) return Fail(kUndefinedCell);
    // Through a copy, so that overlapping ranges of one buffer copy as they were.
    std::vector<int32_t> cells(static_cast<size_t>(size));
    for (int64_t i = 0; i < size; ++i) {
      const int32_t cell = ReadCell(*source, from, i);
      cells[static_cast<size_t>(i)] = cell == kNoCell ? kBlankCell : cell;
    }
    CMCUMemoryArchitecture& image = engine_.Buffer(*destination);
    for (int64_t i = 0; i < size; ++i) image.SetCell(*CellAddress(to, i), cells[size_t(i)]);
    return true;
  }
  if (size < 1 || size > 4) return Fail(kNoMap);
  if (source) {
    const int64_t from = engine_.BufferAddress(*source);
    uint64_t value = 0;
    for (int64_t i = size - 1; i >= 0; --i) {
      const auto address = CellAddress(from, i);
      const int32_t byte = address ? engine_.Buffer(*source).ReadMaskedByte(*address) : 0xFF;
      value = (value << 8) | static_cast<uint8_t>(byte);
    }
    engine_.SetVariableNumber(tokens[2], static_cast<int64_t>(value));
    return true;
  }
  if (destination) {
    const int64_t value = engine_.Evaluate(tokens[1]);
    const int64_t to = engine_.BufferAddress(*destination);
    if (!RangeMapped(*destination, to, size)) return Fail(kUndefinedCell);
    for (int64_t i = 0; i < size; ++i) {
      engine_.Buffer(*destination).SetCell(*CellAddress(to, i), (value >> (8 * i)) & 0xFF);
    }
    return true;
  }
  return Fail(kNoMap);
}

bool CZEQLExecutor::Compare(const std::vector<std::string>& tokens) {
  const auto first = AnyBuffer(tokens[1]);
  if (!first) return Fail("Unknown left memory variable.");
  const auto second = AnyBuffer(tokens[2]);
  if (!second) return Fail("Unknown right memory variable.");
  const int64_t length = engine_.Evaluate(tokens[3]);
  if (!CheckCount(length, kNoMap)) return false;
  const int64_t a = engine_.BufferAddress(*first);
  const int64_t b = engine_.BufferAddress(*second);
  engine_.resultValue = -1;
  for (int64_t i = 0; i < length; ++i) {
    const auto left = CellAddress(a, i);
    const auto right = CellAddress(b, i);
    const int32_t x = left ? engine_.Buffer(*first).ReadMaskedByte(*left) : 0xFF;
    const int32_t y = right ? engine_.Buffer(*second).ReadMaskedByte(*right) : 0xFF;
    if (x != y) {
      engine_.resultValue = a + i;
      break;
    }
  }
  return true;
}

bool CZEQLExecutor::CheckRange(const std::vector<std::string>& tokens, bool erasedMeansMask) {
  const auto which = AnyBuffer(tokens[1]);
  if (!which) return Fail(kUnknownMemory);
  const int64_t length = engine_.Evaluate(tokens[2]);
  if (!CheckCount(length, kNoMap)) return false;
  const int64_t base = engine_.BufferAddress(*which);
  const CMCUMemoryArchitecture& image = engine_.Buffer(*which);
  engine_.resultValue = -1;
  for (int64_t i = length; i-- > 0;) {
    const auto address = CellAddress(base, i);
    bool differs = false;
    if (erasedMeansMask) {
      // Erased: every bit the lane implements is 1; an unmapped cell is never erased.
      differs = !address || image.ReadMaskedByteOrZero(*address) != LaneMask(image, *address);
    } else {
      differs = address && image.GetCell(*address) >= 0;
    }
    if (differs) {
      engine_.resultValue = base + i;
      break;
    }
  }
  return true;
}

bool CZEQLExecutor::Checksum(const std::vector<std::string>& tokens) {
  const auto which = AnyBuffer(tokens[1]);
  if (!which) return Fail(kUnknownMemory);
  const int64_t length = engine_.Evaluate(tokens[2]);
  const int64_t kind = engine_.Evaluate(tokens[3]);
  if (!CheckCount(length, kNoMap)) return false;
  const int64_t base = engine_.BufferAddress(*which);
  if (kind == kSumOfBytes) {
    int64_t sum = 0;
    for (int64_t i = 0; i < length; ++i) sum += ChecksumByte(*which, base, i);
    engine_.resultValue = sum;
  } else if (kind == kSumOfWords) {
    int64_t sum = 0;
    for (int64_t i = 0; i < length; i += 4) {
      uint32_t word = 0;
      for (int64_t b = std::min<int64_t>(3, length - 1 - i); b >= 0; --b) {
        word = (word << 8) | static_cast<uint32_t>(ChecksumByte(*which, base, i + b));
      }
      sum += word;
    }
    engine_.resultValue = sum;
  } else if (kind == kCrc16) {
    uint16_t crc = kCrcInitial;
    for (int64_t i = 0; i < length; ++i) {
      const int32_t byte = ChecksumByte(*which, base, i);
      for (int bit = 7; bit >= 0; --bit) {
        const bool top = (crc & 0x8000) != 0;
        const bool data = ((byte >> bit) & 1) != 0;
        crc = static_cast<uint16_t>(crc << 1);
        if (top != data) crc ^= kCrcPolynomial;
      }
    }
    engine_.resultValue = crc;
  }
  return true;
}

bool CZEQLExecutor::MoveAddress(const std::vector<std::string>& tokens, bool down) {
  const auto which = BufferNamed(tokens[1]);
  if (!which) return Fail(kUnknownMemory);
  const uint64_t step = static_cast<uint64_t>(engine_.Evaluate(tokens[2]));
  const uint64_t address = static_cast<uint64_t>(engine_.BufferAddress(*which));
  // Address values wrap as 64-bit numbers; ranges are checked where they are used.
  engine_.SetBufferAddress(*which, static_cast<int64_t>(down ? address - step : address + step));
  return true;
}

}  // namespace velmora
