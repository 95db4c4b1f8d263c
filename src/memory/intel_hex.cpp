#include "memory/intel_hex.h"

#include <algorithm>
#include <array>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <system_error>

#include "platform/whole_file.h"

namespace velmora {
namespace {

constexpr const char* kErrorCaption = "Programmer Error!";
constexpr uint32_t kQuestionStyle = mb::kYesNo | mb::kInfoAlert;

enum RecordType : uint8_t {
  kData = 0x00,
  kEndOfFile = 0x01,
  kExtendedSegmentAddress = 0x02,
  kExtendedLinearAddress = 0x04,
};

#if defined(__GNUC__)
__attribute__((format(printf, 1, 2)))
#endif
std::string
Printf(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string text(length > 0 ? static_cast<size_t>(length) : 0, '\0');
  if (length > 0) std::vsnprintf(text.data(), text.size() + 1, format, args);
  va_end(args);
  return text;
}

// Every file error names its file: "Cannot read "a.hex": No such file or directory".
void ShowFileError(IUserPrompt& prompt, const char* verb, std::string_view fileName, int error) {
  prompt.MessageBox(
      std::string(verb) + " \"" + std::string(fileName) + "\": " + FileErrorText(error),
      kErrorCaption, mb::kOk | mb::kInfoAlert);
}

// ---------------------------------------------------------------------------------------------
// Reading

// Value of a hexadecimal digit, -1 for every other character.
constexpr std::array<int8_t, 256> kDigitValue = [] {
  std::array<int8_t, 256> table{};
  table.fill(-1);
  for (int c = '0'; c <= '9'; ++c) table[c] = static_cast<int8_t>(c - '0');
  for (int c = 'A'; c <= 'F'; ++c) table[c] = static_cast<int8_t>(c - 'A' + 10);
  for (int c = 'a'; c <= 'f'; ++c) table[c] = static_cast<int8_t>(c - 'a' + 10);
  return table;
}();

constexpr bool IsBlank(unsigned char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\f' || c == '\v';
}

// Walks the text record by record, counting lines, and parses digit pairs.
class HexScanner {
 public:
  explicit HexScanner(std::string_view text)
      : p_(reinterpret_cast<const unsigned char*>(text.data())), end_(p_ + text.size()) {}

  // Skips blanks and line ends; false at the end of the text.
  bool SkipBlanks() {
    for (; p_ < end_ && IsBlank(*p_); ++p_) {
      if (*p_ == '\n') ++line_;
    }
    return p_ < end_;
  }
  // At the start of a record: moves past its ':'.
  bool StartOfRecord() {
    if (*p_ != ':') return false;
    ++p_;
    return true;
  }
  // Moves to the end of the current line (its line end is left for SkipBlanks to count).
  void SkipLine() {
    const void* newline = std::memchr(p_, '\n', static_cast<size_t>(end_ - p_));
    p_ = newline ? static_cast<const unsigned char*>(newline) : end_;
  }

  // Parses one digit pair; false (nothing consumed) when it is not hexadecimal or runs past the
  // end of the text.
  bool Byte(uint8_t& out) {
    if (end_ - p_ < 2) return false;
    const int high = kDigitValue[p_[0]];
    const int low = kDigitValue[p_[1]];
    if ((high | low) < 0) return false;
    out = static_cast<uint8_t>(high << 4 | low);
    p_ += 2;
    return true;
  }
  // Why the last Byte failed.
  const char* WhyNoByte() const {
    for (const unsigned char* q = p_; q < end_ && q < p_ + 2; ++q) {
      if (kDigitValue[*q] < 0) {
        return IsBlank(*q) ? "the record ends early"
                           : "a character that is not a hexadecimal digit";
      }
    }
    return "the file ends inside the record";
  }

  int Line() const { return line_; }

 private:
  const unsigned char* p_;
  const unsigned char* end_;
  int line_ = 1;
};

// The cells of [address, address + count) when they all lie in one window, else nullptr.
int32_t* CellsInOneWindow(CMCUMemoryArchitecture& image, uint32_t address, uint32_t count) {
  for (const MemoryWindow& w : window::kAll) {
    if (address >= w.firstAddress && address - w.firstAddress < w.cellCount) {
      const uint32_t room = w.cellCount - (address - w.firstAddress);
      return count <= room ? image.CellPointer(address) : nullptr;
    }
  }
  return nullptr;
}

// Where data records go. Type 0x04 sets the upper 16 address bits, and a record continues past
// 0xFFFF into the next 64 KB. Type 0x02 is the extended segment address (base = segment x 16),
// as avr-objcopy writes it for AVR flash above 64 KB; there the 16-bit offset wraps within the
// segment.
struct AddressBase {
  uint32_t base = 0;
  bool segmented = false;

  uint32_t At(uint16_t offset, uint32_t i) const {
    return segmented ? base + ((offset + i) & 0xFFFF) : base + offset + i;
  }
  bool Contiguous(uint16_t offset, uint32_t count) const {
    return !segmented || offset + count <= 0x10000;
  }
  // A linear record whose bytes would run past 0xFFFFFFFF and wrap to address 0.
  bool RunsPastTop(uint16_t offset, uint32_t count) const {
    return !segmented && count > 0 && uint64_t{base} + offset + count - 1 > 0xFFFFFFFFu;
  }
};

enum class Step { Continue, Succeed, Fail };

// A file is used whole or not at all: every damage either ends the read with a message that
// names the file and the line, or is a question whose default answer (No) ends it.
class HexParser {
 public:
  HexParser(CMCUMemoryArchitecture& image, std::string_view text, IUserPrompt& prompt,
            std::string_view fileName)
      : image_(image), scan_(text), prompt_(prompt), fileName_(fileName) {}

  int Run() {
    while (scan_.SkipBlanks()) {
      Step step = Step::Continue;
      if (scan_.StartOfRecord()) {
        lastRecordLine_ = scan_.Line();
        step = ParseRecord();
      } else if (AskToIgnore(Printf("Line %i of \"%s\" is not a record.\nIgnore line and "
                                    "continue anyway?",
                                    scan_.Line(), Name()),
                             kUnknownCaption)) {
        scan_.SkipLine();
      } else {
        step = Step::Fail;
      }
      if (step == Step::Fail) return 0;
      if (step == Step::Succeed) break;
    }
    if (dataBytes_ == 0) {
      ShowError(Printf("No data in \"%s\": the file holds no data record.", Name()));
      return 0;
    }
    if (sawEnd_) return 1;
    return AskToIgnore(Printf("No end-of-file record in \"%s\" after line %i: the file may be "
                              "cut short.\nContinue anyway?",
                              Name(), lastRecordLine_),
                       "Incomplete Hex-File")
               ? 1
               : 0;
  }

 private:
  static constexpr const char* kUnknownCaption = "Unknown Comment in Hex-File";

  Step ParseRecord() {
    uint8_t count, addressHigh, addressLow, type;
    if (!scan_.Byte(count) || !scan_.Byte(addressHigh) || !scan_.Byte(addressLow) ||
        !scan_.Byte(type)) {
      return Malformed(scan_.WhyNoByte());
    }
    sum_ = static_cast<uint8_t>(count + addressHigh + addressLow + type);
    const auto offset = static_cast<uint16_t>(addressHigh << 8 | addressLow);
    switch (type) {
      case kData:
        if (address_.RunsPastTop(offset, count)) {
          return Malformed("its data runs past the end of the 4 GB address space");
        }
        if (!StoreData(offset, count)) return Malformed(scan_.WhyNoByte());
        break;
      case kExtendedSegmentAddress:
      case kExtendedLinearAddress: {
        uint8_t first, second;
        if (!scan_.Byte(first) || !scan_.Byte(second)) return Malformed(scan_.WhyNoByte());
        sum_ = static_cast<uint8_t>(sum_ + first + second);
        const uint32_t value = static_cast<uint32_t>(first) << 8 | second;
        address_.segmented = type == kExtendedSegmentAddress;
        address_.base = address_.segmented ? value << 4 : value << 16;
        break;
      }
      case kEndOfFile:
        // Its checksum counts like every other: a data record whose type byte was damaged
        // into 01 must not end the file in silence.
        if (!SkipPayload(count)) return Malformed(scan_.WhyNoByte());
        if (!CheckSum()) return Step::Fail;
        sawEnd_ = true;
        return Step::Succeed;
      default:
        if (!AskToIgnore(Printf("Unknown hex-file command (0x%02X) in line %i.\nIgnore line and "
                                "continue anyway?",
                                type, scan_.Line()),
                         kUnknownCaption)) {
          return Step::Fail;
        }
        scan_.SkipLine();
        return Step::Continue;
    }
    return CheckSum() ? Step::Continue : Step::Fail;
  }

  // Stores byte by byte. Bytes whose address lies in no window are only counted.
  bool StoreData(uint16_t offset, uint32_t count) {
    int32_t* cells = address_.Contiguous(offset, count)
                         ? CellsInOneWindow(image_, address_.At(offset, 0), count)
                         : nullptr;
    for (uint32_t i = 0; i < count; ++i) {
      uint8_t value;
      if (!scan_.Byte(value)) return false;
      sum_ = static_cast<uint8_t>(sum_ + value);
      if (cells) {
        cells[i] = value;
      } else if (image_.SetCell(address_.At(offset, i), value) == kNoCell) {
        image_.unplaced.Add(address_.At(offset, i));
      }
    }
    dataBytes_ += count;
    return true;
  }

  bool SkipPayload(uint32_t count) {
    for (uint32_t i = 0; i < count; ++i) {
      uint8_t value;
      if (!scan_.Byte(value)) return false;
      sum_ = static_cast<uint8_t>(sum_ + value);
    }
    return true;
  }

  // A missing or malformed checksum pair counts as 0xFF and is left for the scan to question.
  bool CheckSum() {
    uint8_t checksum = 0xFF;
    (void)scan_.Byte(checksum);
    if (static_cast<uint8_t>(sum_ + checksum) == 0) return true;
    return AskToIgnore(
        Printf("Checksum error found in line %i of \"%s\"!\nContinue?", scan_.Line(), Name()),
        "Checksum Error");
  }

  bool AskToIgnore(const std::string& question, const char* caption) {
    return prompt_.MessageBox(question, caption, kQuestionStyle) == Answer::Yes;
  }

  Step Malformed(const char* reason) {
    ShowError(Printf("Damaged record in line %i of \"%s\": %s.", scan_.Line(), Name(), reason));
    return Step::Fail;
  }

  void ShowError(const std::string& text) {
    prompt_.MessageBox(text, kErrorCaption, mb::kOk | mb::kInfoAlert);
  }

  const char* Name() const { return fileName_.c_str(); }

  CMCUMemoryArchitecture& image_;
  HexScanner scan_;
  IUserPrompt& prompt_;
  const std::string fileName_;
  AddressBase address_;
  uint8_t sum_ = 0;
  uint64_t dataBytes_ = 0;
  int lastRecordLine_ = 0;
  bool sawEnd_ = false;
};

// ---------------------------------------------------------------------------------------------
// Writing

constexpr char kHexDigits[] = "0123456789ABCDEF";
constexpr uint32_t kChunk = 16;

class HexTextBuilder {
 public:
  HexTextBuilder(const CMCUMemoryArchitecture& image, bool includeErased)
      : image_(image), highestData_(includeErased ? 0xFF : 0xFE) {
    text_.reserve(1 << 20);
  }

  // Records at first, first + 16, ... while below `limit`, each of 16 cells but never past
  // `windowEnd`.
  void Chunks(uint32_t first, uint32_t limit, uint32_t windowEnd) {
    for (uint32_t address = first; address < limit; address += kChunk) {
      Record(address, std::min(kChunk, windowEnd - address));
    }
  }

  // One data record for `count` cells, preceded by an extended linear address record when the
  // upper 16 bits differ from those of the last byte written; nothing when no cell holds data.
  void Record(uint32_t address, uint32_t count) {
    const int32_t* cells = image_.CellPointer(address);
    if (!HoldsData(cells, count)) return;
    const uint32_t upper = address >> 16;
    if (upper != (((lastEnd_ - 1) >> 16) & 0xFFFF)) {
      Begin(2, 0, kExtendedLinearAddress);
      Byte(static_cast<uint8_t>(upper >> 8));
      Byte(static_cast<uint8_t>(upper));
      End();
    }
    Begin(static_cast<uint8_t>(count), static_cast<uint16_t>(address), kData);
    for (uint32_t i = 0; i < count; ++i) Byte(static_cast<uint8_t>(cells[i] & 0xFF));
    End();
    lastEnd_ = address + count;
  }

  std::string Finish() {
    text_ += ":00000001FF\r\n";
    return std::move(text_);
  }

 private:
  bool HoldsData(const int32_t* cells, uint32_t count) const {
    // Blank cells (-1) compare as huge unsigned values.
    return std::any_of(cells, cells + count,
                       [this](int32_t v) { return static_cast<uint32_t>(v) <= highestData_; });
  }

  // A record is put together in `line_` and appended to the text in one piece.
  void Begin(uint8_t count, uint16_t offset, uint8_t type) {
    line_[0] = ':';
    used_ = 1;
    sum_ = 0;
    Byte(count);
    Byte(static_cast<uint8_t>(offset >> 8));
    Byte(static_cast<uint8_t>(offset));
    Byte(type);
  }
  void Byte(uint8_t value) {
    line_[used_++] = kHexDigits[value >> 4];
    line_[used_++] = kHexDigits[value & 0xF];
    sum_ = static_cast<uint8_t>(sum_ + value);
  }
  void End() {
    Byte(static_cast<uint8_t>(-sum_));
    line_[used_++] = '\r';
    line_[used_++] = '\n';
    text_.append(line_, used_);
  }

  const CMCUMemoryArchitecture& image_;
  const uint32_t highestData_;
  uint32_t lastEnd_ = 0xFFFFFFFF;
  uint8_t sum_ = 0;
  char line_[1 + 2 * (5 + 255) + 2];  // ':', count, address, type, data, checksum, CR LF
  size_t used_ = 0;
  std::string text_;
};

uint32_t EndOf(const MemoryWindow& w) {
  return w.firstAddress + w.cellCount;
}

// A size from the descriptor, limited to what the window holds.
uint32_t ClampedSize(int64_t size, const MemoryWindow& w) {
  return static_cast<uint32_t>(std::clamp<int64_t>(size, 0, w.cellCount));
}

}  // namespace

int ParseHexText(CMCUMemoryArchitecture& image, std::string_view text, IUserPrompt& prompt,
                 std::string_view fileName) {
  return HexParser(image, text, prompt, fileName).Run();
}

std::string FormatHexText(const CMCUMemoryArchitecture& image, bool includeErased) {
  using namespace window;
  HexTextBuilder out(image, includeErased);
  out.Chunks(0, ClampedSize(image.programSize, kProgramMemory), EndOf(kProgramMemory));
  out.Record(kIdLocations.firstAddress, kIdLocations.cellCount);
  out.Record(kConfiguration.firstAddress, kConfiguration.cellCount);
  out.Chunks(kEeprom.firstAddress, kEeprom.firstAddress + ClampedSize(image.eepromSize, kEeprom),
             EndOf(kEeprom));
  // A dsPIC30 keeps each EEPROM word in four cells (two data bytes, two zero cells) at the top
  // of its window, so its EEPROM spans the top 2 x eepromSize cells.
  const uint32_t dsPicEepromCells = ClampedSize(int64_t{2} * image.eepromSize, kDsPicEeprom);
  out.Chunks(EndOf(kDsPicEeprom) - dsPicEepromCells, EndOf(kDsPicEeprom), EndOf(kDsPicEeprom));
  for (const MemoryWindow& w : {kDsPicConfiguration, kProgramFlash, kBootFlash}) {
    out.Chunks(w.firstAddress, EndOf(w), EndOf(w));
  }
  return out.Finish();
}

int ReadHexFile(CMCUMemoryArchitecture& image, const std::string& fileName, IUserPrompt& prompt) {
  image.Clear();
  FileBytes file;
  if (const int error = ReadWholeFile(fileName, file, kMaxHexFileBytes)) {
    ShowFileError(prompt, "Cannot read", fileName, error);
    return 0;
  }
  return ParseHexText(image, file.View(), prompt, fileName);
}

int WriteHexFile(const std::string& fileName, const CMCUMemoryArchitecture& image,
                 int includeErased, IUserPrompt& prompt) {
  const std::string text = FormatHexText(image, includeErased != 0);
  if (const int error = ReplaceWholeFile(fileName, text)) {
    ShowFileError(prompt, "Cannot write", fileName, error);
    return 0;
  }
  return 1;
}

}  // namespace velmora
