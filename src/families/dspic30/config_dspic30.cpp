#include "families/dspic30/config_dspic30.h"

#include <algorithm>
#include <string_view>

#include "memory/catalogue.h"

namespace velmora {

namespace {

enum Register { kFosc, kFwdt, kFborpor, kFbs, kFss, kFgs, kFicd };

struct FieldLayout {
  int option;
  int reg;
  int shift;
  int maxWidth;
  bool checkBox;
  bool motorControl;  // the PWM output options of the motor-control parts
};

// Bit positions of the dsPIC30F configuration fields; on a given part a field keeps only the bits
// its catalogue mask implements (FPR is 4 or 5 bits, FOS 2 or 3).
constexpr FieldLayout kLayout[] = {
    {DSPIC30FPR, kFosc, 0, 5, false, false},       {DSPIC30FOS, kFosc, 8, 3, false, false},
    {DSPIC30FCKSM, kFosc, 14, 2, false, false},    {DSPIC30FWPSB, kFwdt, 0, 4, false, false},
    {DSPIC30FWPSA, kFwdt, 4, 2, false, false},     {DSPIC30FWDTEN, kFwdt, 15, 1, true, false},
    {DSPIC30FPWRT, kFborpor, 0, 2, false, false},  {DSPIC30BORV, kFborpor, 4, 2, false, false},
    {DSPIC30BOREN, kFborpor, 7, 1, true, false},   {DSPIC30LPOL, kFborpor, 8, 1, true, true},
    {DSPIC30HPOL, kFborpor, 9, 1, true, true},     {DSPIC30PWMPIN, kFborpor, 10, 1, true, true},
    {DSPIC30MCLREN, kFborpor, 15, 1, true, false}, {DSPIC30GWRP, kFgs, 0, 1, true, false},
    {DSPIC30GCP, kFgs, 1, 1, true, false},         {DSPIC30ICS, kFicd, 0, 2, false, false},
    {DSPIC30COE, kFicd, 14, 1, true, false},       {DSPIC30BKBUG, kFicd, 15, 1, true, false},
};

// The motor-control parts, whose branch reads PWMPIN, HPOL and LPOL; the dsPIC30F6010 reads HPOL
// only.
constexpr std::string_view kMotorControlParts[] = {"dsPIC30F2010", "dsPIC30F3010",  "dsPIC30F3011",
                                                   "dsPIC30F4011", "dsPIC30F4012",  "dsPIC30F5015",
                                                   "dsPIC30F5016", "dsPIC30F6010A", "dsPIC30F6015"};
constexpr std::string_view kHighSidePolarityOnly = "dsPIC30F6010";

bool ValidRow(int row) {
  return row >= 1 && row <= kDsPic30DeviceRows;
}

bool Offers(std::string_view name, const FieldLayout& field) {
  if (!field.motorControl) return true;
  if (std::ranges::find(kMotorControlParts, name) != std::end(kMotorControlParts)) return true;
  return name == kHighSidePolarityOnly && field.option == DSPIC30HPOL;
}

uint16_t FieldMask(const DsPic30Field& field) {
  return static_cast<uint16_t>(((1u << field.width) - 1) << field.shift);
}

}  // namespace

DsPic30ConfigWords DsPic30ConfigMasks(int row) {
  DsPic30ConfigWords masks{};
  if (!ValidRow(row)) return masks;
  const auto& bytes = kDsPic30Devices[row].configMasks;
  for (size_t i = 0; i < masks.size(); ++i) {
    masks[i] = static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  }
  return masks;
}

std::vector<DsPic30Field> DsPic30Fields(int row) {
  std::vector<DsPic30Field> fields;
  if (!ValidRow(row)) return fields;
  const DsPic30ConfigWords masks = DsPic30ConfigMasks(row);
  const std::string_view name = kDsPic30Devices[row].name;
  for (const FieldLayout& layout : kLayout) {
    if (!Offers(name, layout)) continue;
    int width = 0;
    while (width < layout.maxWidth && (masks[layout.reg] >> (layout.shift + width)) & 1) ++width;
    if (width == 0) continue;
    fields.push_back({.option = layout.option,
                      .reg = layout.reg,
                      .shift = layout.shift,
                      .width = width,
                      .checkBox = layout.checkBox});
  }
  return fields;
}

DsPic30ConfigWords EncodeDspic30Words(int row, std::span<const int32_t, kOptionCount> selections) {
  DsPic30ConfigWords words{};
  DsPic30ConfigWords offered{};
  for (const DsPic30Field& field : DsPic30Fields(row)) {
    const uint32_t value = field.checkBox ? (selections[field.option] != 0 ? 1u : 0u)
                                          : static_cast<uint32_t>(selections[field.option]);
    words[field.reg] |= static_cast<uint16_t>((value << field.shift) & FieldMask(field));
    offered[field.reg] |= FieldMask(field);
  }
  const DsPic30ConfigWords masks = DsPic30ConfigMasks(row);
  for (size_t i = 0; i < words.size(); ++i) {
    words[i] = static_cast<uint16_t>((words[i] | (masks[i] & ~offered[i])) & masks[i]);
  }
  return words;
}

void DecodeDspic30Words(int row, const DsPic30ConfigWords& words,
                        std::span<int32_t, kOptionCount> selections) {
  for (const DsPic30Field& field : DsPic30Fields(row)) {
    selections[field.option] = (words[field.reg] & FieldMask(field)) >> field.shift;
  }
}

DsPic30ConfigWords Dspic30WordsOf(const CMCUMemoryArchitecture& image) {
  DsPic30ConfigWords words{};
  for (size_t i = 0; i < words.size(); ++i) {
    const int32_t low = image.dsPICConfiguration[4 * i] & 0xFF;
    const int32_t high = image.dsPICConfiguration[4 * i + 1] & 0xFF;
    words[i] = static_cast<uint16_t>(high << 8 | low);
  }
  return words;
}

void StoreDspic30Words(const DsPic30ConfigWords& words, CMCUMemoryArchitecture& image) {
  for (size_t i = 0; i < words.size(); ++i) {
    image.dsPICConfiguration[4 * i] = words[i] & 0xFF;
    image.dsPICConfiguration[4 * i + 1] = words[i] >> 8;
    image.dsPICConfiguration[4 * i + 2] = 0;
    image.dsPICConfiguration[4 * i + 3] = 0;
  }
}

void EncodeDspic30Configuration(std::span<const int32_t, kOptionCount> selections,
                                CMCUMemoryArchitecture& image) {
  if (image.family != Family::kDsPic30 || !ValidRow(image.deviceIndex)) return;
  StoreDspic30Words(EncodeDspic30Words(image.deviceIndex, selections), image);
}

void DecodeDspic30Configuration(const CMCUMemoryArchitecture& image,
                                std::span<int32_t, kOptionCount> selections) {
  if (image.family != Family::kDsPic30 || !ValidRow(image.deviceIndex)) return;
  DecodeDspic30Words(image.deviceIndex, Dspic30WordsOf(image), selections);
}

}  // namespace velmora
