#include "ui/controls/icon_art.h"

#include <QPainter>
#include <QPolygon>
#include <array>
#include <initializer_list>

namespace velmora {
namespace {

// A polygon from x, y pairs.
QPolygon Points(std::initializer_list<int> coordinates) {
  return QPolygon(static_cast<int>(coordinates.size() / 2), std::data(coordinates));
}

// A filled rectangle with a one-pixel outline inside its bounds.
void Box(QPainter& p, const QRect& r, const QColor& fill, const QColor& outline) {
  p.fillRect(r, fill);
  p.setPen(outline);
  p.setBrush(Qt::NoBrush);
  p.drawRect(r.adjusted(0, 0, -1, -1));
}

void Shape(QPainter& p, const QPolygon& polygon, const QColor& fill, const QColor& outline) {
  p.setPen(outline);
  p.setBrush(fill);
  p.drawPolygon(polygon);
}

const QColor kInk(0x20, 0x20, 0x20);

void DrawHome(QPainter& p) {
  Box(p, {21, 5, 4, 8}, QColor(0x8B, 0x3A, 0x2A), kInk);                     // chimney
  Box(p, {7, 15, 18, 14}, QColor(0xF2, 0xE3, 0xC0), kInk);                   // walls
  Shape(p, Points({2, 16, 16, 3, 30, 16}), QColor(0xC8, 0x30, 0x28), kInk);  // roof
  Box(p, {13, 20, 6, 9}, QColor(0x8B, 0x5A, 0x2B), kInk);                    // door
  Box(p, {20, 18, 4, 4}, QColor(0x60, 0xA8, 0xE8), kInk);                    // window
}

void DrawBrowse(QPainter& p) {
  Box(p, {3, 6, 11, 5}, QColor(0xC8, 0x9A, 0x20), kInk);                             // tab
  Box(p, {3, 9, 25, 18}, QColor(0xD8, 0xAA, 0x30), kInk);                            // back
  Shape(p, Points({7, 14, 30, 14, 27, 26, 3, 26}), QColor(0xF8, 0xD0, 0x50), kInk);  // flap
}

void DrawSave(QPainter& p) {
  Shape(p, Points({4, 4, 25, 4, 28, 7, 28, 28, 4, 28}), QColor(0x28, 0x48, 0xA0), kInk);
  Box(p, {10, 5, 13, 9}, QColor(0xC8, 0xC8, 0xD0), kInk);   // shutter
  p.fillRect(18, 7, 3, 5, QColor(0x28, 0x48, 0xA0));        // shutter window
  Box(p, {8, 17, 17, 11}, QColor(0xF8, 0xF8, 0xF8), kInk);  // label
  p.fillRect(10, 20, 13, 1, QColor(0xA0, 0xA0, 0xA0));
  p.fillRect(10, 23, 13, 1, QColor(0xA0, 0xA0, 0xA0));
}

// A chip in a DIP package: dark body, a notch, pins on both long sides.
void DrawChip(QPainter& p, const QRect& body) {
  const QColor pin(0xB8, 0xB8, 0xB8);
  for (int y = body.top() + 3; y < body.bottom() - 1; y += 4) {
    p.fillRect(body.left() - 3, y, 3, 2, pin);
    p.fillRect(body.right() + 1, y, 3, 2, pin);
  }
  Box(p, body, QColor(0x30, 0x30, 0x38), Qt::black);
  p.fillRect(body.center().x() - 1, body.top() + 1, 3, 2, QColor(0x70, 0x70, 0x78));  // notch
}

void DrawUpdateProgramMemory(QPainter& p) {
  DrawChip(p, {14, 22, 20, 22});
  const QColor green(0x30, 0xB0, 0x40);
  Shape(p, Points({20, 2, 28, 2, 28, 12, 34, 12, 24, 22, 14, 12, 20, 12}), green, kInk);
}

void DrawCompactMode(QPainter& p) {
  Box(p, {2, 3, 24, 20}, QColor(0xF0, 0xF0, 0xF0), kInk);    // large window
  p.fillRect(3, 4, 22, 4, QColor(0x30, 0x60, 0xC0));         // its title bar
  Box(p, {15, 16, 15, 12}, QColor(0xFF, 0xF4, 0xC8), kInk);  // small window in front
  p.fillRect(16, 17, 13, 3, QColor(0xE0, 0x80, 0x20));       // its title bar
  Shape(p, Points({6, 12, 12, 12, 12, 10, 15, 14, 12, 18, 12, 16, 6, 16}), QColor(0x30, 0xB0, 0x40),
        kInk);  // arrow towards it
}

// An oscilloscope screen with a square wave.
void DrawBasicTest(QPainter& p) {
  Box(p, {2, 5, 28, 22}, QColor(0x10, 0x38, 0x20), kInk);
  const QColor grid(0x20, 0x58, 0x30);
  for (int x = 8; x < 29; x += 6) p.fillRect(x, 6, 1, 20, grid);
  p.fillRect(3, 16, 26, 1, grid);
  p.setPen(QColor(0x60, 0xFF, 0x70));
  p.drawPolyline(
      Points({3, 21, 8, 21, 8, 10, 14, 10, 14, 21, 20, 21, 20, 10, 26, 10, 26, 21, 28, 21}));
}

// A memory module: green board, black chips, gold contacts.
void DrawReadRamAfterReset(QPainter& p) {
  Box(p, {2, 9, 28, 15}, QColor(0x20, 0x80, 0x40), kInk);
  for (int x = 4; x < 27; x += 7) p.fillRect(x, 11, 5, 7, QColor(0x20, 0x20, 0x20));
  for (int x = 4; x < 28; x += 3) p.fillRect(x, 20, 2, 3, QColor(0xE0, 0xB0, 0x30));
}

// A chip with an "E" on it.
void DrawReadEepromAfterReset(QPainter& p) {
  DrawChip(p, {8, 3, 16, 26});
  const QColor letter(0xF0, 0xF0, 0xF0);
  p.fillRect(13, 9, 2, 14, letter);
  p.fillRect(13, 9, 7, 2, letter);
  p.fillRect(13, 15, 5, 2, letter);
  p.fillRect(13, 21, 7, 2, letter);
}

// A text page with a folded corner.
void DrawScriptFile(QPainter& p) {
  Shape(p, Points({6, 2, 20, 2, 26, 8, 26, 29, 6, 29}), QColor(0xFC, 0xFC, 0xFC), kInk);
  Shape(p, Points({20, 2, 20, 8, 26, 8}), QColor(0xD0, 0xD0, 0xD0), kInk);
  const QColor line(0x40, 0x60, 0xB0);
  for (int y = 12; y < 27; y += 3) p.fillRect(9, y, y % 2 ? 10 : 14, 1, line);
}

struct IconArt {
  int resource;
  int size;  // square, in pixels
  void (*draw)(QPainter&);
};

constexpr std::array kIcons = {
    IconArt{.resource = icon::kBrowse, .size = 32, .draw = DrawBrowse},
    IconArt{.resource = icon::kSave, .size = 32, .draw = DrawSave},
    IconArt{.resource = icon::kHome, .size = 32, .draw = DrawHome},
    IconArt{.resource = icon::kUpdateProgramMemory, .size = 48, .draw = DrawUpdateProgramMemory},
    IconArt{.resource = icon::kCompactMode, .size = 32, .draw = DrawCompactMode},
    IconArt{.resource = icon::kBasicTest, .size = 32, .draw = DrawBasicTest},
    IconArt{.resource = icon::kReadRamAfterReset, .size = 32, .draw = DrawReadRamAfterReset},
    IconArt{.resource = icon::kBasicTestCompact, .size = 32, .draw = DrawBasicTest},
    IconArt{.resource = icon::kReadEepromAfterReset, .size = 32, .draw = DrawReadEepromAfterReset},
    IconArt{.resource = icon::kScriptFile, .size = 32, .draw = DrawScriptFile},
};

}  // namespace

QImage IconBitmap(int bitmapResource) {
  for (const IconArt& art : kIcons) {
    if (art.resource != bitmapResource) continue;
    QImage image(art.size, art.size, QImage::Format_RGB32);
    image.fill(kIconBackground);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing, false);  // no blends with the background colour
    art.draw(painter);
    return image;
  }
  return {};
}

}  // namespace velmora
