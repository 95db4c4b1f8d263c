#pragma once
// dsPIC30 configuration options <-> configuration words. Each option is one field of one of the
// seven configuration registers (FOSC, FWDT, FBORPOR, FBS, FSS, FGS, FICD); the selection is the
// field's value (check boxes: the bit). A field is as wide as the bits its device implements
// (the catalogue's mask), and a device offers the fields of its group: the motor-control parts
// add the PWM pin options. Implemented bits that no offered option sets are written 1 (their
// unprogrammed state), so an option a device does not offer can never program a bit.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "engine/option_ids.h"
#include "memory/memory_image.h"

namespace velmora {

struct DsPic30Field {
  int option;  // index into optionSelections
  int reg;     // 0..6: FOSC, FWDT, FBORPOR, FBS, FSS, FGS, FICD
  int shift;   // lowest bit
  int width;   // bits offered on this device (1 for a check box)
  bool checkBox;
};

using DsPic30ConfigWords = std::array<uint16_t, 7>;

// The fields the device of catalogue row `row` offers; none for row 0 or a row outside the
// table.
std::vector<DsPic30Field> DsPic30Fields(int row);
// The catalogue's implemented-bit masks of the device, one word per register.
DsPic30ConfigWords DsPic30ConfigMasks(int row);

DsPic30ConfigWords EncodeDspic30Words(int row, std::span<const int32_t, kOptionCount> selections);
// Leaves options the device does not offer unchanged.
void DecodeDspic30Words(int row, const DsPic30ConfigWords& words,
                        std::span<int32_t, kOptionCount> selections);

// The words in an image's dsPICConfiguration window (register i in cells 4i, 4i + 1; blank
// cells read 0xFF) and back (cells 4i + 2, 4i + 3 become 0).
DsPic30ConfigWords Dspic30WordsOf(const CMCUMemoryArchitecture& image);
void StoreDspic30Words(const DsPic30ConfigWords& words, CMCUMemoryArchitecture& image);

// Encodes the options for the image's device into its configuration cells; an image that no
// dsPIC30 row identified keeps its cells.
void EncodeDspic30Configuration(std::span<const int32_t, kOptionCount> selections,
                                CMCUMemoryArchitecture& image);
void DecodeDspic30Configuration(const CMCUMemoryArchitecture& image,
                                std::span<int32_t, kOptionCount> selections);

}  // namespace velmora
