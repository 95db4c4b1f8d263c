#pragma once
// Everything the status bar shows, as a plain struct without Qt types, so that the operation
// runner can fill it from any thread and hand it to the bar in one piece.
#include <cstdint>
#include <string>

namespace velmora {

// Colours are COLORREF values: 0x00BBGGRR.
using ColorRef = uint32_t;

// Bar colour -1: the built-in gradient from red-orange towards yellow.
constexpr ColorRef kGradientBarColour = 0xFFFFFFFF;
// The light cream of the bar's empty part that every page sets when it is shown.
constexpr ColorRef kEmptyPartColour = 0x0088E0FF;

struct ProgressDrawState {
  std::string caption;  // drawn centred; "&&" shows as one "&"
  // Thousandths of the bar; the pixel columns whose per-mille position lies below it are filled.
  int position = 0;
  int minimum = 0;
  int maximum = 999;
  ColorRef emptyColour = kEmptyPartColour;
  ColorRef barColour = kGradientBarColour;
  ColorRef filledTextColour = 0xFFFFFF;  // caption over the filled part
  ColorRef emptyTextColour = 0x000000;   // caption over the empty part
};

}  // namespace velmora
