#include "engine/trace_format.h"

#include <algorithm>
#include <cstring>
#include <optional>

#include "engine/text_format.h"

namespace velmora {

namespace {

// A value read past the end of the record: every missing byte reads as 0xCD.
constexpr uint8_t kMissingByte = 0xCD;
// \p moves at most this far into the data.
constexpr size_t kMaxPosition = 64;

std::optional<int> HexDigit(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return std::nullopt;
}

// Two hexadecimal digits at the front of `text`.
std::optional<int> HexByte(std::string_view text) {
  if (text.size() < 2) return std::nullopt;
  const auto high = HexDigit(text[0]);
  const auto low = HexDigit(text[1]);
  if (!high || !low) return std::nullopt;
  return *high * 16 + *low;
}

// Consumes `prefix` from the front of `text`.
bool Take(std::string_view& text, std::string_view prefix) {
  if (!text.starts_with(prefix)) return false;
  text.remove_prefix(prefix.size());
  return true;
}

std::optional<int> TakeHexByte(std::string_view& text) {
  const auto value = HexByte(text);
  if (value) text.remove_prefix(2);
  return value;
}

std::optional<TraceDefinition> ParseDefinitionLine(std::string_view line) {
  TraceDefinition definition;
  if (!Take(line, "L=")) return std::nullopt;
  const auto length = TakeHexByte(line);
  if (!length || !Take(line, ":C=")) return std::nullopt;
  const auto code = TakeHexByte(line);
  if (!code || !Take(line, ":S=")) return std::nullopt;
  if (const auto subCode = TakeHexByte(line)) {
    definition.subCode = *subCode;
  } else {
    // "xx": no sub-code.
    for (int skipped = 0; skipped < 2 && !line.empty() && (line[0] == 'x' || line[0] == 'X');
         ++skipped) {
      line.remove_prefix(1);
    }
  }
  if (!Take(line, ":M=")) return std::nullopt;
  definition.length = *length;
  definition.code = *code;
  definition.message = std::string(line.substr(0, kMaxTraceTemplateBytes));
  return definition;
}

// A record byte as a character of the log line: control characters would break the line (and
// the log file's one line per entry), so they show as "."; bytes above 0x7F are Latin-1.
void AppendCharacter(std::string& out, uint8_t byte) {
  if (byte < 0x20 || byte == 0x7F) {
    out += '.';
  } else if (byte < 0x80) {
    out += static_cast<char>(byte);
  } else {
    out += static_cast<char>(0xC0 | (byte >> 6));
    out += static_cast<char>(0x80 | (byte & 0x3F));
  }
}

// Expands a template over the data bytes that follow the matched code bytes.
class TemplateExpander {
 public:
  explicit TemplateExpander(std::span<const uint8_t> data) : data_(data) {}

  std::string Expand(std::string_view text) {
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] != '\\') {
        out_ += text[i];
        continue;
      }
      if (++i == text.size()) break;  // a lone backslash at the end shows nothing
      i += Escape(text[i], text.substr(i + 1));
    }
    return std::move(out_);
  }

 private:
  // Handles the escape `c`; returns how many of the characters after it it used.
  size_t Escape(char c, std::string_view rest) {
    switch (c) {
      case '1':
      case '2':
      case '3':
      case '4':
        width_ = static_cast<size_t>(c - '0');
        return 0;
      case 'l':
      case 'L':
        highFirst_ = false;
        return 0;
      case 'h':
      case 'H':
        highFirst_ = true;
        return 0;
      case 'x':
      case 'X':
        HexValue();
        return 0;
      case 'd':
      case 'D':
        out_ += Printf("%u", ReadValue().value);
        return 0;
      case 's':
      case 'S':
        out_ += Printf("%i", SignExtended(ReadValue().value));
        return 0;
      case 'a':
      case 'A':
        Characters();
        return 0;
      case 'f':
      case 'F':
        Float();
        return 0;
      case 'p':
        if (const auto offset = HexByte(rest)) {
          if (static_cast<size_t>(*offset) <= kMaxPosition)
            position_ = static_cast<size_t>(*offset);
          return 2;
        }
        return 0;
      case 'R':
        for (; position_ < data_.size(); ++position_) AppendCharacter(out_, data_[position_]);
        return 0;
      case 'r':
        for (bool first = true; position_ < data_.size(); ++position_, first = false) {
          out_ += Printf(first ? "%02X" : ",%02X", data_[position_]);
        }
        return 0;
      case '\\':
        out_ += '\\';
        return 0;
      default:
        return 0;  // unknown escapes show nothing
    }
  }

  struct Value {
    uint32_t value;
    bool complete;  // all its bytes were in the data
  };

  Value ReadValue() {
    const bool complete = position_ + width_ <= data_.size();
    uint32_t value = 0;
    for (size_t k = 0; k < width_; ++k) {
      const uint8_t byte = complete ? data_[position_ + k] : kMissingByte;
      const size_t shift = 8 * (highFirst_ ? width_ - 1 - k : k);
      value |= static_cast<uint32_t>(byte) << shift;
    }
    position_ += width_;
    return {value, complete};
  }

  int32_t SignExtended(uint32_t value) const {
    const uint32_t sign = 1u << (8 * width_ - 1);
    const uint32_t mask = width_ == 4 ? 0xFFFFFFFFu : (1u << (8 * width_)) - 1;
    return static_cast<int32_t>(((value & mask) ^ sign) - sign);
  }

  void HexValue() {
    static constexpr const char* kFormats[] = {"%02X", "%04X", "%06X", "%08X"};
    out_ += Printf(kFormats[width_ - 1], ReadValue().value);
  }

  void Characters() {
    const Value v = ReadValue();
    for (size_t k = 0; k < width_; ++k) {
      if (v.complete) {
        AppendCharacter(out_, static_cast<uint8_t>(v.value >> (8 * k)));
      } else {
        out_ += '.';
      }
    }
  }

  void Float() {
    if (position_ + 4 > data_.size()) {
      out_ += "*** less then 4 bytes available *** ";
      return;
    }
    const size_t width = width_;
    width_ = 4;
    const uint32_t bits = ReadValue().value;
    width_ = width;
    float value = 0;
    std::memcpy(&value, &bits, sizeof value);
    out_ += Printf("%f", static_cast<double>(value));
  }

  std::span<const uint8_t> data_;
  std::string out_;
  size_t position_ = 0;
  size_t width_ = 1;
  bool highFirst_ = false;
};

bool Matches(const TraceDefinition& d, std::span<const uint8_t> record) {
  if (record.size() < static_cast<size_t>(std::max(d.length, 0)) || record[0] != d.code) {
    return false;
  }
  return d.subCode == -1 || (record.size() > 1 && record[1] == d.subCode);
}

std::string Unformatted(std::span<const uint8_t> record) {
  if (record.size() == 1) return Printf("Trace %02X", record[0]);
  std::string text = Printf("Trace %02X -", record[0]);
  for (size_t i = 1; i < record.size(); ++i) text += Printf(i == 1 ? " %02X" : ",%02X", record[i]);
  return text + Printf("\t\t\t\t(%i)", static_cast<int>(record.size()));
}

}  // namespace

std::vector<TraceDefinition> ParseTraceDefinitions(std::string_view text) {
  std::vector<TraceDefinition> definitions;
  while (!text.empty() && definitions.size() < kMaxTraceDefinitions) {
    const size_t end = text.find_first_of("\r\n");
    const std::string_view line = text.substr(0, end);
    if (auto definition = ParseDefinitionLine(line)) definitions.push_back(std::move(*definition));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return definitions;
}

std::string FormatTraceRecord(std::span<const uint8_t> record,
                              std::span<const TraceDefinition> definitions) {
  if (record.empty()) return "Trace";  // the reader never forms an empty record
  for (const TraceDefinition& d : definitions) {
    if (!Matches(d, record)) continue;
    const size_t matched = d.subCode == -1 ? 1 : 2;
    return TemplateExpander(record.subspan(matched)).Expand(d.message);
  }
  return Unformatted(record);
}

}  // namespace velmora
