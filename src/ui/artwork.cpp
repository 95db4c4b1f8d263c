#include "ui/artwork.h"

#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>

namespace velmora::art {
namespace {

constexpr QSize kBackgroundSize{800, 600};
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

}  // namespace velmora::art
