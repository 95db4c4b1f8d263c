#include "families/pic10/pic10_family.h"

#include <algorithm>
#include <charconv>
#include <string_view>

#include "families/pic10/pic10_operations.h"

namespace velmora {

namespace {

constexpr int kPic10Pages[] = {kPic10Page};

// The whole 4096-word space, so that the configuration word at word 0xFFF is kept.
WriterExtents Pic10Extents(const DeviceDescriptor&) {
  return {8192, 0};
}

// Program words, the four ID words after them and the configuration word at word 0xFFF, two
// cells each, as gpasm places them; and the configuration word as the commands hand it on (the
// first two cells of the configuration window).
std::vector<DeviceRange> Pic10DeviceRanges(const DeviceDescriptor& device) {
  const uint32_t programCells = 2 * static_cast<uint32_t>(std::max(0, device.programSize));
  return {{0, programCells},
          {programCells, 8},
          {2 * 0xFFF, 2},
          {window::kConfiguration.firstAddress, 2}};
}

std::unique_ptr<IFamilyOperations> MakePic10Operations(CqelDoc& doc) {
  return std::make_unique<CPic10Operations>(doc);
}

CPic10Operations& Pic10Of(CqelDoc& doc) {
  IFamilyOperations* existing = doc.FamilyOperations(Family::kPic10);
  if (!existing) existing = &doc.AdoptFamilyOperations(Family::kPic10, MakePic10Operations(doc));
  return static_cast<CPic10Operations&>(*existing);
}

FamilySettings Pic10Settings(CqelDoc& doc) {
  return {.configFromOptions = &Pic10Of(doc).state.ignoreHexConfig};
}

// The parts by their real names, to the type of their size (200 and 204: 256 words, 202 and
// 206: 512 words).
struct Pic10PartType {
  std::string_view part;
  int32_t type;
};
constexpr Pic10PartType kPartTypes[] = {
    {"PIC10F200", 0}, {"PIC10F204", 0}, {"PIC10F202", 1}, {"PIC10F206", 1}};

bool ApplyDevice(CqelDoc& doc, const std::string& value, std::string& error) {
  for (const Pic10PartType& p : kPartTypes) {
    if (value == p.part) {
      doc.pic10TypeSelection = p.type;
      return true;
    }
  }
  error = "PIC10F200, PIC10F202, PIC10F204 or PIC10F206";
  return false;
}

bool ApplyConfigWord(CqelDoc& doc, const std::string& value, std::string& error) {
  std::string_view digits = value;
  if (digits.starts_with("0x") || digits.starts_with("0X")) digits.remove_prefix(2);
  uint32_t word = 0;
  const auto [end, failure] =
      std::from_chars(digits.data(), digits.data() + digits.size(), word, 16);
  if (digits.empty() || failure != std::errc() || end != digits.data() + digits.size() ||
      word > 0x0FFF) {
    error = "a 12-bit configuration word in hexadecimal, e.g. 0xFEB";
    return false;
  }
  Pic10Of(doc).state.configurationWord = static_cast<uint16_t>(word);
  return true;
}

constexpr FamilyCliOption kPic10Options[] = {
    {.name = "--device",
     .help = "the part: PIC10F200, PIC10F202, PIC10F204 or PIC10F206 (default: the stored type)",
     .takesValue = true,
     .commands = 0,
     .apply = ApplyDevice},
    {.name = "--config-word",
     .help = "the configuration word used with --config-from-options (hexadecimal)",
     .takesValue = true,
     .commands = 1u << int(Pic10Command::kProgram) | 1u << int(Pic10Command::kVerify),
     .apply = ApplyConfigWord},
};

}  // namespace

const FamilyRow& Pic10FamilyRow() {
  static const FamilyRow row{
      .family = Family::kPic10,
      .name = FamilyName(Family::kPic10),
      .title = "PIC10F20x",
      .catalogue = nullptr,
      .commands = Pic10Commands(),
      .cliOptions = kPic10Options,
      .makeOperations = MakePic10Operations,
      .pages = kPic10Pages,
      .startButtonId = 1147,
      .startButtonText = "PIC 10",
      .hexExtents = Pic10Extents,
      .settings = Pic10Settings,
      .deviceRanges = Pic10DeviceRanges,
  };
  return row;
}

}  // namespace velmora
