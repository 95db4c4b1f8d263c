#include "families/pic12/pic12_family.h"

#include <algorithm>
#include <charconv>

#include "families/pic12/pic12_operations.h"

namespace velmora {

namespace {

constexpr int kPic12Pages[] = {kPic12Page};

// ID words at 0x4000, configuration at 0x400E and EEPROM at 0x4200 lie in the program memory
// window, two cells per word or EEPROM byte.
WriterExtents Pic12Extents(const DeviceDescriptor& device) {
  return {0x4200 + 2 * int64_t{device.eepromSize}, 0};
}

// Program words, the configuration memory (ID words 0x2000..0x2003 to the configuration word
// 0x2007) and the EEPROM at word 0x2100, two cells each, as gpasm places them.
std::vector<DeviceRange> Pic12DeviceRanges(const DeviceDescriptor& device) {
  return {{0, 2 * static_cast<uint32_t>(std::max(0, device.programSize))},
          {pic12cell::kConfigArea, pic12cell::kConfigAreaCells},
          {pic12cell::kEeprom, 2 * static_cast<uint32_t>(std::max(0, device.eepromSize))}};
}

std::unique_ptr<IFamilyOperations> MakePic12Operations(CqelDoc& doc) {
  return std::make_unique<CPic12Operations>(doc);
}

// The document's PIC12 object, created on first use as the registry would.
CPic12Operations& Pic12Of(CqelDoc& doc) {
  IFamilyOperations* existing = doc.FamilyOperations(Family::kPic12);
  if (!existing) existing = &doc.AdoptFamilyOperations(Family::kPic12, MakePic12Operations(doc));
  return static_cast<CPic12Operations&>(*existing);
}

// The page's flags live in the family's object.
FamilySettings Pic12Settings(CqelDoc& doc) {
  Pic12PageState& state = Pic12Of(doc).state;
  return {.flash = &state.software,
          .eeprom = &state.eeprom,
          .configFromOptions = &state.ignoreHexConfig};
}

bool ParseNumber(const std::string& text, int base, uint32_t limit, uint32_t& value) {
  std::string digits = text;
  if (base == 16 && (digits.starts_with("0x") || digits.starts_with("0X"))) digits.erase(0, 2);
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  return !digits.empty() && error == std::errc() && end == digits.data() + digits.size() &&
         value <= limit;
}

bool ApplyConfigWord(CqelDoc& doc, const std::string& value, std::string& error) {
  uint32_t word = 0;
  if (!ParseNumber(value, 16, 0x3FFF, word)) {
    error = "a 14-bit configuration word in hexadecimal, e.g. 0x31C4";
    return false;
  }
  Pic12Of(doc).state.configurationWord = static_cast<uint16_t>(word);
  return true;
}

bool ApplyBandGap(CqelDoc& doc, const std::string& value, std::string& error) {
  uint32_t bits = 0;
  if (value == "retain") {
    Pic12Of(doc).state.bandGapSelection = 0;
    return true;
  }
  if (!ParseNumber(value, 10, 3, bits)) {
    error = "retain (the chip's own bits), or 0..3";
    return false;
  }
  Pic12Of(doc).state.bandGapSelection = static_cast<int32_t>(bits + 1);
  return true;
}

bool ApplyCalibration(CqelDoc& doc, const std::string& value, std::string& error) {
  uint32_t calibration = 0;
  if (!ParseNumber(value, 10, 255, calibration)) {
    error = "Calibration Value must be between 0 and 255.";
    return false;
  }
  Pic12Of(doc).state.calibrationValue = static_cast<int32_t>(calibration);
  return true;
}

constexpr uint64_t kWriting = 1u << int(Pic12Command::kProgram) | 1u << int(Pic12Command::kVerify) |
                              1u << int(Pic12Command::kEraseFlash);

constexpr FamilyCliOption kPic12Options[] = {
    {.name = "--config-word",
     .help = "the configuration word used with --config-from-options (hexadecimal)",
     .takesValue = true,
     .commands = 1u << int(Pic12Command::kProgram) | 1u << int(Pic12Command::kVerify),
     .apply = ApplyConfigWord},
    {.name = "--band-gap",
     .help = "band-gap bits to write: retain (the chip's own, default) or 0..3",
     .takesValue = true,
     .commands = kWriting,
     .apply = ApplyBandGap},
    {.name = "--calibration",
     .help = "oscillator calibration value (0..255) written only where the chip's is missing",
     .takesValue = true,
     .commands = kWriting,
     .apply = ApplyCalibration},
};

}  // namespace

const FamilyRow& Pic12FamilyRow() {
  static const FamilyRow row{
      .family = Family::kPic12,
      .name = FamilyName(Family::kPic12),
      .title = "PIC12F629 family",
      .catalogue = &kPic12Catalogue,
      .commands = Pic12Commands(),
      .cliOptions = kPic12Options,
      .makeOperations = MakePic12Operations,
      .pages = kPic12Pages,
      .startButtonId = 1145,
      .startButtonText = "PIC 12/16",
      .hexExtents = Pic12Extents,
      .settings = Pic12Settings,
      .deviceRanges = Pic12DeviceRanges,
  };
  return row;
}

}  // namespace velmora
