#pragma once
// The icon button of the pages: draws one of up to 16 state images transparently, centred,
// with a one-pixel raised frame while the mouse is over it (sunken while pressed). A 100 ms
// hover timer notices when the cursor leaves. Enter on a focused button clicks it.
#include <QBitmap>
#include <QImage>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <array>

namespace velmora {

// The grey version of a bitmap: every non-background pixel becomes grey level
// (14 red + 11 green + 5 blue) / 30.
QImage DeriveGreyImage(const QImage& bitmap, QRgb background);
// The disabled version: non-background pixels where x + y is odd become their grey level,
// every other pixel the background colour (a dotted, faded look).
QImage DeriveDisabledImage(const QImage& bitmap, QRgb background);

class CqelButton : public QPushButton {
  Q_OBJECT

 public:
  static constexpr int kImageSlots = 16;
  static constexpr int kHighlightedImage = 0;  // mouse over the button, or keyboard focus
  static constexpr int kNormalImage = 1;
  static constexpr int kDisabledImage = 2;
  static constexpr int kHoverIntervalMs = 100;

  explicit CqelButton(QWidget* parent = nullptr);

  // Loads a bitmap into a slot; its top-left pixel is the transparent background colour. With
  // `derive`, slot 1 gets the grey version and slot 2 the disabled version of it.
  void SetStateImage(int index, const QImage& bitmap, bool derive);
  void SetStateImage(int index, int bitmapResource, bool derive);
  // What every page does: the same bitmap into slots 0 (as is), 1 and 2 (derived).
  void LoadIconBitmap(int bitmapResource);

  QImage StateImage(int index) const;
  // The slot the next paint draws: 2 when disabled, 0 under the mouse or with focus, else 1.
  int CurrentImageIndex() const;

  bool pressed() const { return pressed_; }
  bool hover() const { return hover_; }
  bool hoverTimerRunning() const { return hoverTimer_.isActive(); }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mouseMoveEvent(QMouseEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void mouseReleaseEvent(QMouseEvent* event) override;
  void focusOutEvent(QFocusEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct StateImageSlot {
    QImage image;
    QPixmap pixmap;  // the image with its mask applied, ready for transparent drawing
    QBitmap mask;    // set where the image is not the background colour
  };

  void CheckHover();
  void Invalidate();
  void DrawFrame(QPainter& painter) const;

  std::array<StateImageSlot, kImageSlots> images_;
  QTimer hoverTimer_;
  bool pressed_ = false;
  bool hover_ = false;
};

}  // namespace velmora
