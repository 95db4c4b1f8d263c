#pragma once
// The device families the programmer knows. A catalogue row records its family in the memory
// image it fills, so that a family's primitives can refuse an image another family identified.
#include <cstdint>
#include <optional>
#include <string_view>

namespace velmora {

enum class Family : uint8_t {
  kNone,  // no catalogue row filled the image (or "Unknown Device")
  kPic18,
  kDsPic30,
  kAvr,     // ATmega and the newer ATtiny (serial programming)
  kTiny1x,  // ATtiny11/12 (high-voltage serial programming)
  kPic12,   // PIC12F629 family
  kPic10,   // PIC10F20x
};

// The short name front ends use for a family ("pic18", "dspic30", "avr", "tiny1x", "pic12",
// "pic10"; "" for kNone or a value no family has).
constexpr std::string_view FamilyName(Family family) {
  switch (family) {
    case Family::kNone:
      return "";
    case Family::kPic18:
      return "pic18";
    case Family::kDsPic30:
      return "dspic30";
    case Family::kAvr:
      return "avr";
    case Family::kTiny1x:
      return "tiny1x";
    case Family::kPic12:
      return "pic12";
    case Family::kPic10:
      return "pic10";
  }
  return "";
}

}  // namespace velmora
