#include "ui/controls/cqel_button.h"

#include <QCursor>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

#include "ui/controls/icon_art.h"

namespace velmora {
namespace {

int GreyLevel(QRgb pixel) {
  return (14 * qRed(pixel) + 11 * qGreen(pixel) + 5 * qBlue(pixel)) / 30;
}

QRgb GreyPixel(QRgb pixel) {
  const int g = GreyLevel(pixel);
  return qRgb(g, g, g);
}

}  // namespace

QImage DeriveGreyImage(const QImage& bitmap, QRgb background) {
  QImage grey = bitmap.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < grey.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(grey.scanLine(y));
    for (int x = 0; x < grey.width(); ++x) {
      if (line[x] != background) line[x] = GreyPixel(line[x]);
    }
  }
  return grey;
}

QImage DeriveDisabledImage(const QImage& bitmap, QRgb background) {
  QImage disabled = bitmap.convertToFormat(QImage::Format_RGB32);
  for (int y = 0; y < disabled.height(); ++y) {
    auto* line = reinterpret_cast<QRgb*>(disabled.scanLine(y));
    for (int x = 0; x < disabled.width(); ++x) {
      const bool dotted = (x + y) % 2 == 1;
      line[x] = dotted && line[x] != background ? GreyPixel(line[x]) : background;
    }
  }
  return disabled;
}

CqelButton::CqelButton(QWidget* parent) : QPushButton(parent) {
  setMouseTracking(true);  // mouse moves without a pressed button start the hover timer
  setFlat(true);
  hoverTimer_.setInterval(kHoverIntervalMs);
  connect(&hoverTimer_, &QTimer::timeout, this, &CqelButton::CheckHover);
}

void CqelButton::SetStateImage(int index, const QImage& bitmap, bool derive) {
  if (index < 0 || index >= kImageSlots || bitmap.isNull()) return;
  QImage image = bitmap.convertToFormat(QImage::Format_RGB32);
  const QRgb background = image.pixel(0, 0);
  if (derive && index == kNormalImage) image = DeriveGreyImage(image, background);
  if (derive && index == kDisabledImage) image = DeriveDisabledImage(image, background);

  StateImageSlot& slot = images_[index];
  slot.image = image;
  slot.mask = QBitmap::fromImage(image.createMaskFromColor(background, Qt::MaskInColor));
  slot.pixmap = QPixmap::fromImage(image);
  slot.pixmap.setMask(slot.mask);
  updateGeometry();
  update();
}

void CqelButton::SetStateImage(int index, int bitmapResource, bool derive) {
  SetStateImage(index, IconBitmap(bitmapResource), derive);
}

void CqelButton::LoadIconBitmap(int bitmapResource) {
  const QImage bitmap = IconBitmap(bitmapResource);
  SetStateImage(kHighlightedImage, bitmap, false);
  SetStateImage(kNormalImage, bitmap, true);
  SetStateImage(kDisabledImage, bitmap, true);
}

QImage CqelButton::StateImage(int index) const {
  if (index < 0 || index >= kImageSlots) return {};
  return images_[index].image;
}

int CqelButton::CurrentImageIndex() const {
  if (!isEnabled()) return kDisabledImage;
  if (hover_ || hasFocus()) return kHighlightedImage;
  return kNormalImage;
}

QSize CqelButton::sizeHint() const {
  QSize size(16, 16);
  for (const StateImageSlot& slot : images_) size = size.expandedTo(slot.image.size());
  return size + QSize(4, 4);  // room for the frame and the pressed offset
}

void CqelButton::paintEvent(QPaintEvent*) {
  QPainter painter(this);
  const StateImageSlot& slot = images_[CurrentImageIndex()];
  if (!slot.pixmap.isNull()) {
    QPoint topLeft((width() - slot.pixmap.width()) / 2, (height() - slot.pixmap.height()) / 2);
    if (pressed_ && hover_) topLeft += QPoint(1, 1);
    painter.drawPixmap(topLeft, slot.pixmap);
  }
  if (hover_ && isEnabled()) DrawFrame(painter);
}

// Raised: light top-left, dark bottom-right; a press swaps them.
void CqelButton::DrawFrame(QPainter& painter) const {
  const QColor topLeft = pressed_ ? Qt::black : Qt::white;
  const QColor bottomRight = pressed_ ? Qt::white : Qt::black;
  const int right = width() - 1;
  const int bottom = height() - 1;
  painter.setPen(topLeft);
  painter.drawLine(0, 0, right, 0);
  painter.drawLine(0, 0, 0, bottom);
  painter.setPen(bottomRight);
  painter.drawLine(right, 0, right, bottom);
  painter.drawLine(0, bottom, right, bottom);
}

void CqelButton::mouseMoveEvent(QMouseEvent* event) {
  if (!hoverTimer_.isActive()) hoverTimer_.start();
  QPushButton::mouseMoveEvent(event);
}

void CqelButton::CheckHover() {
  const bool inside = rect().contains(mapFromGlobal(QCursor::pos()));
  if (inside != hover_) {
    hover_ = inside;
    Invalidate();
  }
  if (!inside) hoverTimer_.stop();
}

// The button draws transparently, so the parent's pixels under it are repainted as well.
void CqelButton::Invalidate() {
  if (QWidget* parent = parentWidget()) parent->update(geometry());
  update();
}

void CqelButton::mousePressEvent(QMouseEvent* event) {
  QPushButton::mousePressEvent(event);
  if (event->button() == Qt::LeftButton) {
    pressed_ = true;
    Invalidate();
  }
}

void CqelButton::mouseReleaseEvent(QMouseEvent* event) {
  QPushButton::mouseReleaseEvent(event);
  if (event->button() == Qt::LeftButton) {
    pressed_ = false;
    Invalidate();
  }
}

void CqelButton::focusOutEvent(QFocusEvent* event) {
  QPushButton::focusOutEvent(event);
  Invalidate();
}

void CqelButton::keyPressEvent(QKeyEvent* event) {
  const bool enter = event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter;
  if (enter && !event->isAutoRepeat()) {
    click();
    event->accept();
    return;
  }
  QPushButton::keyPressEvent(event);
}

}  // namespace velmora
