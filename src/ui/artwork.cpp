#include "ui/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <cmath>

namespace velmora::art {
namespace {

constexpr QSize kBackgroundSize{800, 600};
// Close to the page background where the buttons sit, so antialiased icon edges blend in.
constexpr QRgb kKey = 0xFFE8EEF6;

const QColor kNavy{0x1E, 0x3A, 0x6E};
const QColor kChipBody{0x2B, 0x2F, 0x36};
const QColor kPin{0xB8, 0xBE, 0xC6};
const QColor kGreen{0x2E, 0x9E, 0x48};

QSize IconSize(Bitmap bitmap) {
  switch (bitmap) {
    case kUpdate:
      return {64, 44};
    case kBrowse:
    case kScriptFile:
      return {22, 22};
    case kBasicTestSmall:
      return {24, 24};
    case kReadRam:
    case kReadEeprom:
      return {30, 30};
    default:
      return {32, 32};
  }
}

// A DIL chip with `pins` legs on the top and bottom edges, text in its body.
void DrawChip(QPainter& p, const QRectF& body, int pins, const QString& text) {
  p.setPen(Qt::NoPen);
  p.setBrush(kPin);
  const double step = body.width() / pins;
  for (int i = 0; i < pins; ++i) {
    const double x = body.left() + step * (i + 0.5) - step * 0.2;
    p.drawRect(QRectF(x, body.top() - 3, step * 0.4, 3));
    p.drawRect(QRectF(x, body.bottom(), step * 0.4, 3));
  }
  p.setBrush(kChipBody);
  p.drawRoundedRect(body, 2, 2);
  p.setBrush(QColor(0x55, 0x5B, 0x66));
  p.drawEllipse(QPointF(body.left() + 4, body.center().y()), 1.6, 1.6);
  if (!text.isEmpty()) {
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPixelSize(int(body.height() * 0.55));
    font.setBold(true);
    p.setFont(font);
    p.setPen(QColor(0xF2, 0xF4, 0xF7));
    p.drawText(body, Qt::AlignCenter, text);
  }
}

void DrawHome(QPainter& p) {
  QPainterPath roof;
  roof.moveTo(16, 3);
  roof.lineTo(30, 16);
  roof.lineTo(2, 16);
  roof.closeSubpath();
  p.setPen(QPen(QColor(0x8A, 0x2A, 0x1E), 1.5));
  p.setBrush(QColor(0xC8, 0x46, 0x32));
  p.drawPath(roof);
  p.setPen(QPen(kNavy, 1.2));
  p.setBrush(QColor(0xF7, 0xF1, 0xE3));
  p.drawRect(QRectF(6, 15, 20, 14));
  p.setBrush(kNavy);
  p.drawRect(QRectF(13, 20, 6, 9));
  p.setBrush(QColor(0x9C, 0xC8, 0xF0));
  p.drawRect(QRectF(8.5, 18, 3, 3));
  p.drawRect(QRectF(20.5, 18, 3, 3));
}

void DrawFolder(QPainter& p, double w, double h) {
  p.setPen(QPen(QColor(0x9A, 0x6B, 0x12), 1));
  p.setBrush(QColor(0xE9, 0xB3, 0x3C));
  p.drawRoundedRect(QRectF(1, 3, w * 0.45, 4), 1, 1);
  p.drawRect(QRectF(1, 5, w - 2, h - 8));
  p.setBrush(QColor(0xF6, 0xCD, 0x5E));
  QPainterPath front;
  front.moveTo(4, 9);
  front.lineTo(w - 1, 9);
  front.lineTo(w - 3, h - 3);
  front.lineTo(1, h - 3);
  front.closeSubpath();
  p.drawPath(front);
}

void DrawSave(QPainter& p) {
  p.setPen(QPen(QColor(0x14, 0x24, 0x48), 1.2));
  p.setBrush(kNavy);
  p.drawRoundedRect(QRectF(3, 3, 26, 26), 2, 2);
  p.setBrush(QColor(0xF4, 0xF6, 0xF9));
  p.drawRect(QRectF(8, 3, 16, 10));
  p.setBrush(kNavy);
  p.drawRect(QRectF(19, 5, 3, 6));
  p.setBrush(QColor(0xC9, 0xD3, 0xE2));
  p.drawRect(QRectF(7, 17, 18, 12));
}

void DrawCompact(QPainter& p) {
  p.setPen(QPen(kNavy, 1.2));
  p.setBrush(QColor(0xF4, 0xF6, 0xF9));
  p.drawRect(QRectF(2, 3, 22, 17));
  p.setBrush(kNavy);
  p.drawRect(QRectF(2, 3, 22, 4));
  // The small window in front, with the pin that keeps it on top.
  p.setBrush(QColor(0xFF, 0xFF, 0xFF));
  p.drawRect(QRectF(12, 15, 17, 13));
  p.setBrush(QColor(0xC8, 0x46, 0x32));
  p.drawRect(QRectF(12, 15, 17, 3));
  p.setPen(Qt::NoPen);
  p.setBrush(kGreen);
  p.drawRoundedRect(QRectF(15, 21, 11, 4), 1, 1);
}

void DrawScope(QPainter& p, double size) {
  const double s = size / 32.0;
  p.scale(s, s);
  p.setPen(QPen(QColor(0x3A, 0x40, 0x4A), 1.2));
  p.setBrush(QColor(0x4A, 0x52, 0x5E));
  p.drawRoundedRect(QRectF(1.5, 4, 29, 23), 3, 3);
  p.setBrush(QColor(0x10, 0x2A, 0x1C));
  p.drawRect(QRectF(4, 7, 19, 17));
  p.setPen(QPen(QColor(0x3C, 0x6A, 0x4E), 0.6));
  for (int i = 1; i < 4; ++i) p.drawLine(QPointF(4, 7 + i * 4.25), QPointF(23, 7 + i * 4.25));
  p.setPen(QPen(QColor(0x6B, 0xF5, 0x8E), 1.4));
  QPainterPath wave;
  wave.moveTo(4.5, 19);
  wave.lineTo(8, 19);
  wave.lineTo(8, 11);
  wave.lineTo(13, 11);
  wave.lineTo(13, 19);
  wave.lineTo(18, 19);
  wave.lineTo(18, 11);
  wave.lineTo(22.5, 11);
  p.setBrush(Qt::NoBrush);
  p.drawPath(wave);
  p.setPen(Qt::NoPen);
  p.setBrush(QColor(0xE9, 0xB3, 0x3C));
  p.drawEllipse(QPointF(27, 11), 2, 2);
  p.setBrush(QColor(0xC8, 0xCE, 0xD6));
  p.drawEllipse(QPointF(27, 19), 2, 2);
}

void DrawUpdate(QPainter& p) {
  DrawChip(p, QRectF(4, 12, 36, 20), 6, QString());
  // A lightning bolt: program memory is flashed with what changed.
  QPainterPath bolt;
  bolt.moveTo(50, 2);
  bolt.lineTo(40, 22);
  bolt.lineTo(48, 22);
  bolt.lineTo(43, 42);
  bolt.lineTo(60, 17);
  bolt.lineTo(51, 17);
  bolt.lineTo(57, 2);
  bolt.closeSubpath();
  p.setPen(QPen(QColor(0xB0, 0x6A, 0x00), 1.2));
  p.setBrush(QColor(0xFF, 0xC4, 0x2E));
  p.drawPath(bolt);
}

void DrawReadAfterReset(QPainter& p, const QString& text) {
  DrawChip(p, QRectF(2, 9, 22, 14), 4, text);
  // A circular arrow: read after a reset of the target.
  p.setPen(QPen(kGreen, 2.2, Qt::SolidLine, Qt::RoundCap));
  p.setBrush(Qt::NoBrush);
  p.drawArc(QRectF(16, 14, 12, 12), 100 * 16, 260 * 16);
  QPainterPath head;
  head.moveTo(20.5, 11.5);
  head.lineTo(25.5, 14);
  head.lineTo(20.5, 17.5);
  head.closeSubpath();
  p.setPen(Qt::NoPen);
  p.setBrush(kGreen);
  p.drawPath(head);
}

void DrawScriptFile(QPainter& p) {
  p.setPen(QPen(kNavy, 1));
  p.setBrush(QColor(0xFF, 0xFF, 0xFF));
  QPainterPath page;
  page.moveTo(4, 1.5);
  page.lineTo(14, 1.5);
  page.lineTo(18.5, 6);
  page.lineTo(18.5, 20.5);
  page.lineTo(4, 20.5);
  page.closeSubpath();
  p.drawPath(page);
  QFont font(QStringLiteral("DejaVu Sans"));
  font.setPixelSize(11);
  font.setBold(true);
  p.setFont(font);
  p.drawText(QRectF(4, 6, 14.5, 14), Qt::AlignCenter, QStringLiteral("Z"));
}

void DrawIcon(QPainter& p, Bitmap bitmap, QSize size) {
  p.setRenderHint(QPainter::Antialiasing);
  switch (bitmap) {
    case kHome:
      DrawHome(p);
      break;
    case kBrowse:
      DrawFolder(p, size.width(), size.height());
      break;
    case kSave:
      DrawSave(p);
      break;
    case kCompact:
      DrawCompact(p);
      break;
    case kBasicTest:
    case kBasicTestSmall:
      DrawScope(p, size.width());
      break;
    case kUpdate:
      DrawUpdate(p);
      break;
    case kReadRam:
      DrawReadAfterReset(p, QStringLiteral("R"));
      break;
    case kReadEeprom:
      DrawReadAfterReset(p, QStringLiteral("E"));
      break;
    case kScriptFile:
      DrawScriptFile(p);
      break;
    case kBackground:
      break;
  }
}

QImage MakeBackground() {
  QImage image(kBackgroundSize, QImage::Format_RGB32);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  QLinearGradient sky(0, 0, 0, kBackgroundSize.height());
  sky.setColorAt(0.0, QColor(0xD6, 0xE2, 0xF0));
  sky.setColorAt(0.12, QColor(0xE8, 0xEE, 0xF6));
  sky.setColorAt(1.0, QColor(0xF6, 0xF8, 0xFB));
  p.fillRect(image.rect(), sky);
  // A soft light behind the title.
  QRadialGradient glow(QPointF(400, 10), 360);
  glow.setColorAt(0.0, QColor(255, 255, 255, 150));
  glow.setColorAt(1.0, QColor(255, 255, 255, 0));
  p.fillRect(QRect(0, 0, 800, 120), glow);
  // The accent line under the title band.
  QLinearGradient accent(0, 0, 800, 0);
  accent.setColorAt(0.0, QColor(0x1E, 0x3A, 0x6E, 0));
  accent.setColorAt(0.5, QColor(0x1E, 0x3A, 0x6E, 140));
  accent.setColorAt(1.0, QColor(0x1E, 0x3A, 0x6E, 0));
  p.fillRect(QRectF(0, 55, 800, 1.5), accent);
  return image;
}

}  // namespace

const QImage& Background() {
  static const QImage image = MakeBackground();
  return image;
}

QRgb KeyColour() {
  return kKey;
}

QImage IconBitmap(Bitmap bitmap) {
  const QSize size = IconSize(bitmap);
  QImage image(size, QImage::Format_RGB32);
  image.fill(kKey);
  QPainter p(&image);
  DrawIcon(p, bitmap, size);
  p.end();
  image.setPixel(0, 0, kKey);
  return image;
}

QImage IconWithAlpha(Bitmap bitmap) {
  const QSize size = IconSize(bitmap);
  QImage image(size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  DrawIcon(p, bitmap, size);
  return image;
}

}  // namespace velmora::art
