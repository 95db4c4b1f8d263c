#pragma once
// PIC18 configuration bytes CONFIG1L..CONFIG7H <-> the option selections of the PIC18 views.
//
// Each device group shares one bit layout: a list of option fields plus a final AND/OR mask per
// byte. A check option is one bit (nonzero sets it), a list option is a field holding the list
// index. Encoding starts from all-zero bytes, so bits that a device does not implement stay 0;
// bits that a device has but the views do not offer are held at their default (unprogrammed)
// value by the OR mask. "Unknown Device" and names without a layout encode to all zeros and decode
// to no change.
#include <array>
#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

#include "engine/option_ids.h"
#include "memory/memory_image.h"

namespace velmora {

inline constexpr int kPic18ConfigBytes = 14;

// Index of a configuration byte in the configuration window (address 0x300000 + index).
enum Pic18ConfigByte : uint8_t {
  kConfig1L,
  kConfig1H,
  kConfig2L,
  kConfig2H,
  kConfig3L,
  kConfig3H,
  kConfig4L,
  kConfig4H,
  kConfig5L,
  kConfig5H,
  kConfig6L,
  kConfig6H,
  kConfig7L,
  kConfig7H,
};

// One option's bits: the value occupies bits shift .. shift + width - 1 of one byte.
struct Pic18Field {
  OptionId option;
  uint8_t byte;
  uint8_t shift;
  uint8_t width;

  constexpr uint8_t Mask() const { return static_cast<uint8_t>(((1u << width) - 1u) << shift); }
};

using Pic18ConfigCells = std::array<int32_t, kPic18ConfigBytes>;

// Writes the 14 configuration cells of `image` (the file image before Program and Verify) from
// the options, for the device named by the image's descriptor.
void EncodePic18Configuration(const OptionSelections& options, CMCUMemoryArchitecture& image);

// Sets the options offered by the image's device from the image's 14 configuration cells (the
// file image after a HEX load). Other options keep their value; a blank cell (-1) changes none of
// the options stored in it.
void DecodePic18Configuration(const CMCUMemoryArchitecture& image, OptionSelections& options);

// The same with the device named separately. A configuration read leaves the bytes in chipImage
// while identification names the device in fileImage, so the caller passes
// (fileImage.deviceName, chipImage's configuration cells).
Pic18ConfigCells EncodePic18ConfigurationCells(std::string_view deviceName,
                                               const OptionSelections& options);
void DecodePic18ConfigurationCells(std::string_view deviceName,
                                   std::span<const int32_t, kPic18ConfigBytes> cells,
                                   OptionSelections& options);

// The option fields of a device in layout order; empty when the name has no layout.
std::vector<Pic18Field> Pic18FieldsOf(std::string_view deviceName);

// The options a device offers (the controls a view shows for it), in layout order.
std::vector<OptionId> Pic18OptionsOffered(std::string_view deviceName);

// True for a one-bit option whose feature is on when its bit is 0: PWRTEN, DEBUG, OSCS, WINEN,
// WAIT and every code, write and table read protection bit. The selection stays the bit value;
// a page shows such an option ticked when the feature is on, that is when its selection is 0.
bool Pic18OptionActiveLow(OptionId option);

}  // namespace velmora
