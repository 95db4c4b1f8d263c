#include "memory/intel_hex.h"

#include <algorithm>
#include <array>
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

void ShowSystemError(IUserPrompt& prompt, int error) {
  prompt.MessageBox(std::system_category().message(error), kErrorCaption, mb::kOk | mb::kInfoAlert);
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

// Walks the text from one ':' to the next and parses digit pairs.
class HexScanner {
 public:
  explicit HexScanner(std::string_view text)
      : begin_(reinterpret_cast<const unsigned char*>(text.data())),
        p_(begin_),
        end_(p_ + text.size()) {}

  // Offset of the scan in the text.
  size_t Offset() const { return static_cast<size_t>(p_ - begin_); }

  // Moves past the next ':'; false at the end of the text. Everything between records is skipped.
  bool NextRecord() {
    const void* colon = std::memchr(p_, ':', static_cast<size_t>(end_ - p_));
    if (!colon) return false;
    p_ = static_cast<const unsigned char*>(colon) + 1;
    return true;
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

 private:
  const unsigned char* begin_;
  const unsigned char* p_;
  const unsigned char* end_;
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
};

enum class Step { Continue, Succeed, Fail };

class HexParser {
 public:
  HexParser(CMCUMemoryArchitecture& image, std::string_view text, IUserPrompt& prompt,
            HexReadReport* report)
      : image_(image), text_(text), scan_(text), prompt_(prompt), report_(report) {}

  int Run() {
    while (scan_.NextRecord()) {
      ++line_;
      if (report_) report_->records = line_;
      const size_t recordStart = scan_.Offset() - 1;
      switch (ParseRecord()) {
        case Step::Continue:
          break;
        case Step::Succeed:
          return 1;
        case Step::Fail:
          if (report_) {
            report_->textLine =
                1 + static_cast<int>(std::count(text_.begin(), text_.begin() + recordStart, '\n'));
            if (report_->reason.empty()) report_->reason = "malformed record";
          }
          return 0;
      }
    }
    return 1;  // a file without an end-of-file record is accepted
  }

 private:
  Step ParseRecord() {
    uint8_t count, addressHigh, addressLow, type;
    if (!scan_.Byte(count) || !scan_.Byte(addressHigh) || !scan_.Byte(addressLow) ||
        !scan_.Byte(type)) {
      return Step::Fail;
    }
    sum_ = static_cast<uint8_t>(count + addressHigh + addressLow + type);
    const auto offset = static_cast<uint16_t>(addressHigh << 8 | addressLow);
    switch (type) {
      case kData:
        if (!StoreData(offset, count)) return Step::Fail;
        break;
      case kExtendedSegmentAddress:
      case kExtendedLinearAddress: {
        uint8_t first, second;
        if (!scan_.Byte(first) || !scan_.Byte(second)) return Step::Fail;
        sum_ = static_cast<uint8_t>(sum_ + first + second);
        const uint32_t value = static_cast<uint32_t>(first) << 8 | second;
        address_.segmented = type == kExtendedSegmentAddress;
        address_.base = address_.segmented ? value << 4 : value << 16;
        break;
      }
      case kEndOfFile:
        return Step::Succeed;
      default:
        return AskAboutUnknownType(type) ? Step::Continue : Step::Fail;
    }
    return CheckSum() ? Step::Continue : Step::Fail;
  }

  // Stores byte by byte, so that the bytes before a malformed pair stay in the image. Bytes
  // whose address lies in no window are dropped.
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
      } else {
        image_.SetCell(address_.At(offset, i), value);
      }
    }
    return true;
  }

  bool AskAboutUnknownType(uint8_t type) {
    char text[128];
    std::snprintf(text, sizeof text,
                  "Unknown hex-file command (0x%02X) in line %i.\nIgnore line and continue anyway?",
                  type, line_);
    if (prompt_.MessageBox(text, "Unknown Comment in Hex-File", kQuestionStyle) == Answer::Yes) {
      return true;
    }
    std::snprintf(text, sizeof text, "unknown record type 0x%02X", type);
    Stopped(text);
    return false;
  }

  // A missing or malformed checksum pair counts as 0xFF and is left for the scan to skip.
  bool CheckSum() {
    uint8_t checksum = 0xFF;
    (void)scan_.Byte(checksum);
    if (static_cast<uint8_t>(sum_ + checksum) == 0) return true;
    if (prompt_.MessageBox("Checksum error found in hex file!\nContinue?", "Checksum Error",
                           kQuestionStyle) == Answer::Yes) {
      return true;
    }
    Stopped("checksum error");
    return false;
  }

  void Stopped(const char* reason) {
    if (report_) report_->reason = reason;
  }

  CMCUMemoryArchitecture& image_;
  std::string_view text_;
  HexScanner scan_;
  IUserPrompt& prompt_;
  HexReadReport* report_;
  AddressBase address_;
  uint8_t sum_ = 0;
  int line_ = 0;  // counts the ':' characters, so the first record is line 1
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
                 HexReadReport* report) {
  return HexParser(image, text, prompt, report).Run();
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

int ReadHexFile(CMCUMemoryArchitecture& image, const std::string& fileName, IUserPrompt& prompt,
                HexReadReport* report) {
  image.Clear();
  FileBytes file;
  if (const int error = ReadWholeFile(fileName, file)) {
    ShowSystemError(prompt, error);
    if (report) report->reason = std::system_category().message(error);
    return 0;
  }
  return ParseHexText(image, file.View(), prompt, report);
}

int WriteHexFile(const std::string& fileName, const CMCUMemoryArchitecture& image,
                 int includeErased, IUserPrompt& prompt) {
  const std::string text = FormatHexText(image, includeErased != 0);
  if (const int error = ReplaceWholeFile(fileName, text)) {
    ShowSystemError(prompt, error);
    return 0;
  }
  return 1;
}

}  // namespace velmora
