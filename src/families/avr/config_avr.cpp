#include "families/avr/config_avr.h"

#include <algorithm>

namespace velmora {

namespace {

const AvrFuseLayout kLayouts[] = {
#include "families/avr/avr_fuse_bits.inc"
};

// --- The options each device's branch reads --------------------------------------------------

constexpr int kTinyModern[] = {MEGALB1,   MEGALB2,    MEGACKSEL,    MEGABODLEVEL,
                               MEGASUT,   MEGAEESAVE, MEGAWDTON,    MEGACKDIV8,
                               MEGACKOUT, MEGADWEN,   MEGASELFPRGEN};
constexpr int kMega8[] = {MEGALB1,   MEGALB2,   MEGABLB01,   MEGABLB02,    MEGABLB11,
                          MEGABLB12, MEGACKSEL, MEGABOOTRST, MEGABODLEVEL, MEGABODEN,
                          MEGASUT,   MEGACKOPT, MEGAEESAVE,  MEGABOOTSZ,   MEGAWDTON};
constexpr int kMega88[] = {MEGALB1,   MEGALB2,     MEGABLB01,    MEGABLB02, MEGABLB11,  MEGABLB12,
                           MEGACKSEL, MEGABOOTRST, MEGABODLEVEL, MEGASUT,   MEGAEESAVE, MEGABOOTSZ,
                           MEGAWDTON, MEGACKDIV8,  MEGACKOUT,    MEGADWEN};
constexpr int kMega8515[] = {MEGALB1,    MEGALB2,     MEGABLB01,    MEGABLB02, MEGABLB11, MEGABLB12,
                             MEGACKSEL,  MEGABOOTRST, MEGABODLEVEL, MEGABODEN, MEGASUT,   MEGACKOPT,
                             MEGAEESAVE, MEGABOOTSZ,  MEGAWDTON,    MEGAS8515C};
constexpr int kMega8535[] = {MEGALB1,    MEGALB2,     MEGABLB01,    MEGABLB02, MEGABLB11, MEGABLB12,
                             MEGACKSEL,  MEGABOOTRST, MEGABODLEVEL, MEGABODEN, MEGASUT,   MEGACKOPT,
                             MEGAEESAVE, MEGABOOTSZ,  MEGAWDTON,    MEGAS8535C};
constexpr int kMega16[] = {MEGALB1,    MEGALB2,     MEGABLB01,    MEGABLB02, MEGABLB11, MEGABLB12,
                           MEGACKSEL,  MEGABOOTRST, MEGABODLEVEL, MEGABODEN, MEGASUT,   MEGAOCDEN,
                           MEGAJTAGEN, MEGACKOPT,   MEGAEESAVE,   MEGABOOTSZ};
constexpr int kMega162[] = {MEGALB1,    MEGALB2,    MEGABLB01,   MEGABLB02,    MEGABLB11,
                            MEGABLB12,  MEGACKSEL,  MEGABOOTRST, MEGABODLEVEL, MEGASUT,
                            MEGAOCDEN,  MEGAJTAGEN, MEGAEESAVE,  MEGABOOTSZ,   MEGAWDTON,
                            MEGACKDIV8, MEGACKOUT,  MEGAM161C};
constexpr int kMega169[] = {MEGALB1,    MEGALB2,    MEGABLB01,   MEGABLB02,    MEGABLB11,
                            MEGABLB12,  MEGACKSEL,  MEGABOOTRST, MEGABODLEVEL, MEGASUT,
                            MEGAOCDEN,  MEGAJTAGEN, MEGAEESAVE,  MEGABOOTSZ,   MEGAWDTON,
                            MEGACKDIV8, MEGACKOUT};
constexpr int kMega64[] = {MEGALB1,    MEGALB2,     MEGABLB01,    MEGABLB02,  MEGABLB11, MEGABLB12,
                           MEGACKSEL,  MEGABOOTRST, MEGABODLEVEL, MEGABODEN,  MEGASUT,   MEGAOCDEN,
                           MEGAJTAGEN, MEGACKOPT,   MEGAEESAVE,   MEGABOOTSZ, MEGAWDTON, MEGAM103C};
constexpr int kTiny13[] = {MEGALB1,    MEGALB2,   MEGACKSEL,  MEGABODLEVEL, MEGASUT,
                           MEGAEESAVE, MEGAWDTON, MEGACKDIV8, MEGADWEN,     MEGASELFPRGEN};
constexpr int kTiny26[] = {MEGALB1, MEGALB2,    MEGACKSEL, MEGABODLEVEL, MEGABODEN,
                           MEGASUT, MEGAEESAVE, MEGACKOUT, MEGAPLLCK};

struct Branch {
  const char* device;
  std::span<const int> options;
};
const Branch kBranches[] = {
    {"ATmega48", kTinyModern},   {"ATtiny2313", kTinyModern}, {"ATtiny24", kTinyModern},
    {"ATtiny44", kTinyModern},   {"ATtiny84", kTinyModern},   {"ATtiny25", kTinyModern},
    {"ATtiny45", kTinyModern},   {"ATtiny85", kTinyModern},   {"ATtiny261", kTinyModern},
    {"ATtiny461", kTinyModern},  {"ATtiny861", kTinyModern},  {"ATmega8", kMega8},
    {"ATmega88", kMega88},       {"ATmega168", kMega88},      {"ATmega8515", kMega8515},
    {"ATmega8535", kMega8535},   {"ATmega16", kMega16},       {"ATmega32", kMega16},
    {"ATmega162", kMega162},     {"ATmega169", kMega169},     {"ATmega325", kMega169},
    {"ATmega3250", kMega169},    {"ATmega329", kMega169},     {"ATmega3290", kMega169},
    {"ATmega645", kMega169},     {"ATmega6450", kMega169},    {"ATmega649", kMega169},
    {"ATmega6490", kMega169},    {"Atmega644(V)", kMega169},  {"ATmega164P(V)", kMega169},
    {"ATmega324P(V)", kMega169}, {"ATmega644P(V)", kMega169}, {"ATmega640/V", kMega169},
    {"ATmega1280/V", kMega169},  {"ATmega1281/V", kMega169},  {"ATmega2560/V", kMega169},
    {"ATmega2561/V", kMega169},  {"ATmega64", kMega64},       {"ATmega128", kMega64},
    {"ATtiny13(V)", kTiny13},    {"ATtiny26(L)", kTiny26},
};

// avr-libc's names of an option's bits, least significant first. Where a device names a bit
// differently, the second list is tried.
struct OptionNames {
  int option;
  std::vector<const char*> names;
  std::vector<const char*> alternative = {};
};
const OptionNames kAvrOptionBitNames[] = {
    {MEGALB1, {"LB1"}},
    {MEGALB2, {"LB2"}},
    {MEGABLB01, {"BLB01"}},
    {MEGABLB02, {"BLB02"}},
    {MEGABLB11, {"BLB11"}},
    {MEGABLB12, {"BLB12"}},
    // avr-libc's ATmega324P header names the six low bits SUT_CKSEL0..5 (CKSEL 0..3, SUT 4..5).
    {MEGACKSEL,
     {"CKSEL0", "CKSEL1", "CKSEL2", "CKSEL3"},
     {"SUT_CKSEL0", "SUT_CKSEL1", "SUT_CKSEL2", "SUT_CKSEL3"}},
    {MEGABOOTRST, {"BOOTRST"}},
    {MEGABODLEVEL, {"BODLEVEL"}, {"BODLEVEL0", "BODLEVEL1", "BODLEVEL2"}},
    {MEGABODEN, {"BODEN"}},
    {MEGASUT, {"SUT0", "SUT1"}, {"SUT_CKSEL4", "SUT_CKSEL5"}},
    {MEGAOCDEN, {"OCDEN"}},
    {MEGAJTAGEN, {"JTAGEN"}},
    {MEGACKOPT, {"CKOPT"}},
    {MEGAEESAVE, {"EESAVE"}},
    {MEGABOOTSZ, {"BOOTSZ0", "BOOTSZ1"}},
    {MEGAWDTON, {"WDTON"}},
    {MEGACKDIV8, {"CKDIV8"}},
    // The ATtiny26 has no CKOUT; its branch reads MEGACKOUT for the CKOPT bit.
    {MEGACKOUT, {"CKOUT"}, {"CKOPT"}},
    {MEGAM103C, {"M103C"}},
    {MEGAS8515C, {"S8515C"}},
    {MEGAS8535C, {"S8535C"}},
    {MEGAM161C, {"M161C"}},
    {MEGADWEN, {"DWEN"}},
    // avr-libc calls it SPMEN on the ATtiny13.
    {MEGASELFPRGEN, {"SELFPRGEN"}, {"SPMEN"}},
    {MEGAPLLCK, {"PLLCK"}},
};

const Branch* BranchOf(std::string_view device) {
  for (const Branch& branch : kBranches) {
    if (device == branch.device) return &branch;
  }
  return nullptr;
}

// --- Clock sources (the data sheets' "Device Clocking Options Select" tables) ---------------

enum class ClockKind {
  kInternal,
  kExternalClock,
  kCrystal,
  kLowFrequencyCrystal,
  kExternalRc,
  kReserved
};

ClockKind ClockKindOf(std::string_view device, const AvrFuseBytes& bytes) {
  const int low = bytes[0] & 0xFF;
  const int cksel = low & 0x0F;
  auto is = [&](std::initializer_list<const char*> names) {
    return std::ranges::any_of(names, [&](const char* name) { return device == name; });
  };
  if (is({"ATtiny13(V)"})) {
    return (low & 0x03) == 0 ? ClockKind::kExternalClock : ClockKind::kInternal;
  }
  if (is({"ATmega8", "ATmega8515", "ATmega8535", "ATmega16", "ATmega32", "ATmega64", "ATmega128",
          "ATtiny26(L)"})) {
    if (cksel == 0) return ClockKind::kExternalClock;
    if (cksel <= 4) return ClockKind::kInternal;  // RC 1..8 MHz, ATtiny26 PLL on CKSEL 1
    if (cksel <= 8) return ClockKind::kExternalRc;
    return cksel == 9 ? ClockKind::kLowFrequencyCrystal : ClockKind::kCrystal;
  }
  if (is({"ATtiny2313"})) {
    if (cksel == 0) return ClockKind::kExternalClock;
    if (cksel == 2 || cksel == 4 || cksel == 6) return ClockKind::kInternal;
    return cksel >= 8 ? ClockKind::kCrystal : ClockKind::kReserved;
  }
  if (is({"ATtiny25", "ATtiny45", "ATtiny85", "ATtiny261", "ATtiny461", "ATtiny861"})) {
    if (cksel == 0) return ClockKind::kExternalClock;
    if (cksel <= 4) return ClockKind::kInternal;  // PLL, RC 8 MHz, 6.4 MHz, 128 kHz
    if (cksel == 6) return ClockKind::kLowFrequencyCrystal;
    return cksel >= 8 ? ClockKind::kCrystal : ClockKind::kReserved;
  }
  if (cksel == 0) return ClockKind::kExternalClock;
  if (cksel == 2 || cksel == 3) return ClockKind::kInternal;
  if (cksel == 4 || cksel == 5) return ClockKind::kLowFrequencyCrystal;
  return cksel >= 6 ? ClockKind::kCrystal : ClockKind::kReserved;
}

const char* ClockText(ClockKind kind) {
  switch (kind) {
    case ClockKind::kInternal:
      return "the internal oscillator";
    case ClockKind::kExternalClock:
      return "an external clock signal on XTAL1";
    case ClockKind::kCrystal:
      return "a crystal or resonator on XTAL1/XTAL2";
    case ClockKind::kLowFrequencyCrystal:
      return "a 32 kHz watch crystal on XTAL1/XTAL2";
    case ClockKind::kExternalRc:
      return "an external RC oscillator on XTAL1";
    case ClockKind::kReserved:
      return "a reserved clock setting";
  }
  return "";
}

bool Programmed(const AvrFuseLayout& layout, const AvrFuseBytes& bytes, const char* name) {
  const AvrFuseBit* bit = layout.Find(name);
  return bit && ((bytes[bit->byte] >> bit->bit) & 1) == 0;
}

}  // namespace

const AvrFuseBit* AvrFuseLayout::Find(std::string_view name) const {
  for (const AvrFuseBit& bit : bits) {
    if (name == bit.name) return &bit;
  }
  return nullptr;
}

uint8_t AvrFuseLayout::ImplementedMask(int byte) const {
  uint8_t mask = 0;
  for (const AvrFuseBit& bit : bits) {
    if (bit.byte == byte) mask = static_cast<uint8_t>(mask | 1u << bit.bit);
  }
  return mask;
}

const AvrFuseLayout* AvrFuseLayoutOf(std::string_view device) {
  for (const AvrFuseLayout& layout : kLayouts) {
    if (device == layout.device) return &layout;
  }
  return nullptr;
}

std::span<const AvrFuseLayout> AvrFuseLayouts() {
  return kLayouts;
}

std::span<const int> AvrDeviceOptions(std::string_view device) {
  const Branch* branch = BranchOf(device);
  return branch ? branch->options : std::span<const int>{};
}

bool IsAvrFieldOption(int option) {
  return option == MEGACKSEL || option == MEGASUT || option == MEGABODLEVEL || option == MEGABOOTSZ;
}

std::vector<AvrFuseBit> AvrOptionBits(std::string_view device, int option) {
  const AvrFuseLayout* layout = AvrFuseLayoutOf(device);
  if (!layout) return {};
  for (const OptionNames& names : kAvrOptionBitNames) {
    if (names.option != option) continue;
    for (const auto* list : {&names.names, &names.alternative}) {
      std::vector<AvrFuseBit> bits;
      for (const char* name : *list) {
        if (const AvrFuseBit* bit = layout->Find(name)) bits.push_back(*bit);
      }
      if (!bits.empty()) return bits;
    }
  }
  return {};
}

AvrFuseBytes EncodeAvrFuses(std::string_view device, std::span<const int32_t> selections) {
  const AvrFuseLayout* layout = AvrFuseLayoutOf(device);
  const Branch* branch = BranchOf(device);
  if (!layout || !branch) return {0, 0, 0, 0};
  // Every bit unprogrammed, SPIEN programmed; then the options the device offers.
  AvrFuseBytes bytes{0xFF, 0xFF, 0xFF, 0xFF};
  if (const AvrFuseBit* spien = layout->Find("SPIEN")) bytes[spien->byte] &= ~(1 << spien->bit);
  for (const int option : branch->options) {
    const std::vector<AvrFuseBit> bits = AvrOptionBits(device, option);
    const int32_t selection = option < static_cast<int>(selections.size()) ? selections[option] : 0;
    for (size_t k = 0; k < bits.size(); ++k) {
      const bool one = IsAvrFieldOption(option) ? ((selection >> k) & 1) != 0 : selection == 0;
      int32_t& byte = bytes[bits[k].byte];
      byte = one ? byte | (1 << bits[k].bit) : byte & ~(1 << bits[k].bit);
    }
  }
  return bytes;
}

void DecodeAvrFuses(std::string_view device, const AvrFuseBytes& bytes,
                    std::span<int32_t> selections) {
  const Branch* branch = BranchOf(device);
  if (!branch) return;
  for (const int option : branch->options) {
    const std::vector<AvrFuseBit> bits = AvrOptionBits(device, option);
    if (bits.empty() || option >= static_cast<int>(selections.size())) continue;
    int32_t value = 0;
    for (size_t k = 0; k < bits.size(); ++k) {
      value |= ((bytes[bits[k].byte] >> bits[k].bit) & 1) << k;
    }
    selections[option] = IsAvrFieldOption(option) ? value : (value == 0 ? 1 : 0);
  }
}

AvrFuseBytes NormalizeAvrFuses(std::string_view device, const AvrFuseBytes& bytes) {
  const AvrFuseLayout* layout = AvrFuseLayoutOf(device);
  if (!layout) return bytes;
  AvrFuseBytes normal = bytes;
  for (int i = 0; i < 4; ++i) normal[i] = (bytes[i] | ~layout->ImplementedMask(i)) & 0xFF;
  return normal;
}

std::vector<AvrFuseDanger> AvrFuseDangers(std::string_view device, const AvrFuseBytes& current,
                                          const AvrFuseBytes& next) {
  std::vector<AvrFuseDanger> dangers;
  const AvrFuseLayout* layout = AvrFuseLayoutOf(device);
  if (!layout) return dangers;
  if (layout->Find("SPIEN") && !Programmed(*layout, next, "SPIEN")) {
    dangers.push_back({"SPIEN unprogrammed",
                       "Serial programming would be switched off: this programmer could not reach "
                       "the chip again (only a parallel high-voltage programmer can)."});
  }
  if (Programmed(*layout, next, "RSTDISBL")) {
    dangers.push_back({"RSTDISBL programmed",
                       "The RESET pin would become an I/O pin: serial programming needs RESET, so "
                       "the chip could only be reached again by high-voltage programming."});
  }
  if (Programmed(*layout, next, "DWEN")) {
    dangers.push_back({"DWEN programmed",
                       "debugWIRE would take the RESET pin: serial programming stops working until "
                       "a debugWIRE tool switches it off again."});
  }
  const ClockKind now = ClockKindOf(device, current);
  const ClockKind then = ClockKindOf(device, next);
  if (then != ClockKind::kInternal && then != now) {
    dangers.push_back(
        {"clock source",
         std::string("The chip would run from ") + ClockText(then) + " instead of " +
             ClockText(now) +
             ". If the board does not provide it, the chip stops and cannot be programmed until "
             "a clock is fed to XTAL1 (Factory Reset with the programmer's SCL pin on XTAL1)."});
  }
  if ((next[3] & 0x01) == 0 || (next[3] & 0x02) == 0) {
    dangers.push_back({"lock bits",
                       "LB1/LB2 programmed: flash, EEPROM and fuses could no longer be written "
                       "(LB2 also stops reading them back) until a chip erase."});
  }
  return dangers;
}

}  // namespace velmora
