#pragma once
// AVR fuse and lock encoding: the option selections of the ATmega
// page (MEGACKSEL, MEGASUT, MEGALB1, ...) to the four bytes fuse low, fuse high, fuse extended and
// lock, and back. Bit positions come from avr-libc's device headers (avr_fuse_bits.inc, generated
// by scripts/gen_avr_parts.py); each device offers the options of its group. A bit
// the device does not offer stays unprogrammed (1), except SPIEN, which stays programmed (0).
// AVR polarity: a checked option programs its bit (0); a field is written as its value.
#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "engine/option_ids.h"

namespace velmora {

using AvrFuseBytes = std::array<int32_t, 4>;  // fuse low, fuse high, fuse extended, lock

// One named fuse or lock bit of a device, as avr-libc names it.
struct AvrFuseBit {
  const char* name;
  int byte;  // 0 low, 1 high, 2 extended, 3 lock
  int bit;
};

struct AvrFuseLayout {
  const char* device;  // catalogue name
  const char* mmcu;    // avr-gcc's name of the part
  const char* header;  // the avr-libc header it came from
  int fuseBytes;       // 2 or 3
  std::vector<AvrFuseBit> bits;

  const AvrFuseBit* Find(std::string_view name) const;
  // The implemented bits of byte 0..3.
  uint8_t ImplementedMask(int byte) const;
};

// The layout of a catalogue device; nullptr for "Unknown Device" and names no row carries.
const AvrFuseLayout* AvrFuseLayoutOf(std::string_view device);
std::span<const AvrFuseLayout> AvrFuseLayouts();

// The options a device's branch reads; empty for unknown names.
std::span<const int> AvrDeviceOptions(std::string_view device);
// True for the options whose selection is a field value (MEGACKSEL, MEGASUT, MEGABODLEVEL,
// MEGABOOTSZ); the others are check boxes.
bool IsAvrFieldOption(int option);
// The fuse bits of an option on a device, least significant first; empty when the device does
// not have them.
std::vector<AvrFuseBit> AvrOptionBits(std::string_view device, int option);

// Encodes the selections for the device. "Unknown Device" (and any name without a branch)
// gives four zero bytes; such bytes are never written.
AvrFuseBytes EncodeAvrFuses(std::string_view device, std::span<const int32_t> selections);
// Decodes bytes read from the device into the selections it offers; other selections stay.
void DecodeAvrFuses(std::string_view device, const AvrFuseBytes& bytes,
                    std::span<int32_t> selections);
// Bytes with the bits the device does not implement set (they read back as 1).
AvrFuseBytes NormalizeAvrFuses(std::string_view device, const AvrFuseBytes& bytes);

// --- Fuse safety ---------------------------------------------------------------------------

// One consequence of writing a fuse setting, in words a user reads.
struct AvrFuseDanger {
  std::string what;         // "RSTDISBL programmed"
  std::string consequence;  // "The RESET pin becomes ... "
};
// The settings in `next` that would lock the programmer out of the chip that now holds
// `current`: SPIEN unprogrammed, RSTDISBL or DWEN programmed, a clock source the board may not
// provide (a crystal or external clock where the chip does not run from one now), lock bits
// that forbid further programming. Empty when `next` is safe.
std::vector<AvrFuseDanger> AvrFuseDangers(std::string_view device, const AvrFuseBytes& current,
                                          const AvrFuseBytes& next);

}  // namespace velmora
