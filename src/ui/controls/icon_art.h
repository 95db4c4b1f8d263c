#pragma once
// The bitmaps of the icon buttons, drawn by the program itself in a crisp pixel style on a
// magenta background (the top-left pixel, which CqelButton treats as transparent).
#include <QImage>

namespace velmora {

// Bitmap resource numbers of the icon buttons.
namespace icon {
constexpr int kBrowse = 107;
constexpr int kSave = 110;
constexpr int kHome = 112;
constexpr int kUpdateProgramMemory = 129;
constexpr int kCompactMode = 130;
constexpr int kBasicTest = 131;
constexpr int kReadRamAfterReset = 134;
constexpr int kBasicTestCompact = 136;
constexpr int kReadEepromAfterReset = 138;
constexpr int kScriptFile = 162;
}  // namespace icon

constexpr QRgb kIconBackground = qRgb(0xFF, 0x00, 0xFF);

// The bitmap with the given resource number; a null image for an unknown number.
QImage IconBitmap(int bitmapResource);

}  // namespace velmora
