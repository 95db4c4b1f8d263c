#pragma once
// The program's pictures, drawn at run time with QPainter: the page background (bitmap 100)
// and the icons of the icon buttons. Nothing is loaded from files, so the pictures scale with
// the code and need no resource tooling.
#include <QImage>
#include <QSize>

namespace velmora::art {

// Bitmap resource numbers of the icon buttons.
enum Bitmap : int {
  kBackground = 100,
  kBrowse = 107,
  kSave = 110,
  kHome = 112,
  kUpdate = 129,
  kCompact = 130,
  kBasicTest = 131,
  kReadRam = 134,
  kBasicTestSmall = 136,
  kReadEeprom = 138,
  kScriptFile = 162,
};

// The page background, to be stretched over the whole page.
const QImage& Background();

// An icon on a plain background of `KeyColour()`: the top-left pixel names the background
// colour, as the icon buttons expect for transparent drawing.
QImage IconBitmap(Bitmap bitmap);
// The same icon with an alpha channel instead of the key colour.
QImage IconWithAlpha(Bitmap bitmap);
QRgb KeyColour();

}  // namespace velmora::art
