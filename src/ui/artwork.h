#pragma once
// The page background (bitmap 100), drawn at run time with QPainter and stretched over every
// page. The icon bitmaps of the buttons are in controls/icon_art.h.
#include <QImage>

namespace velmora::art {

constexpr int kBackgroundBitmap = 100;

const QImage& Background();

}  // namespace velmora::art
