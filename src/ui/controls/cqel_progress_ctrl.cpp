#include "ui/controls/cqel_progress_ctrl.h"

#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QThread>
#include <algorithm>

namespace velmora {
namespace {

constexpr QRgb kFrameShadow = qRgb(0x80, 0x80, 0x80);
constexpr QRgb kFrameLight = qRgb(0xFF, 0xFF, 0xFF);

// The caption font fills the bar's height; its characters are half as wide as high, or narrower
// when the bar is short, so that about fifteen of them fit across.
QFont CaptionFont(int clientWidth, int clientHeight) {
  QFont font(QStringLiteral("Arial"));
  // The height is the character cell (ascent plus descent), Qt sizes the em: scale between them.
  font.setPixelSize(100);
  const double cellPerEm = QFontMetricsF(font).height() / 100.0;
  font.setPixelSize(std::max(1, qRound(clientHeight / cellPerEm)));
  const int wantedWidth = std::min(clientHeight / 2, clientWidth / 15);
  const double naturalWidth = QFontMetricsF(font).averageCharWidth();
  if (wantedWidth > 0 && naturalWidth > 0) {
    font.setStretch(std::clamp(qRound(100.0 * wantedWidth / naturalWidth), 1, 4000));
  }
  return font;
}

void DrawSunkenFrame(QPainter& painter, int width, int height) {
  painter.setPen(QColor(kFrameShadow));
  painter.drawLine(0, 0, width - 1, 0);
  painter.drawLine(0, 0, 0, height - 1);
  painter.setPen(QColor(kFrameLight));
  painter.drawLine(width - 1, 0, width - 1, height - 1);
  painter.drawLine(0, height - 1, width - 1, height - 1);
}

// Draws the bar column by column; returns the first column of the empty part.
int DrawBar(QPainter& painter, const ProgressDrawState& state, int width, int height) {
  int emptyStart = 1;
  for (int x = 1; x < width - 1; ++x) {
    const int perMille = x * 1000 / width;
    const bool filled = perMille < state.position;
    if (filled) {
      painter.setPen(state.barColour == kGradientBarColour ? GradientColour(perMille)
                                                           : ColorFromRef(state.barColour));
      emptyStart = x + 1;
    } else {
      painter.setPen(ColorFromRef(state.emptyColour));
    }
    painter.drawLine(x, 1, x, height - 2);
  }
  return emptyStart;
}

}  // namespace

QColor ColorFromRef(ColorRef colour) {
  return QColor(colour & 0xFF, (colour >> 8) & 0xFF, (colour >> 16) & 0xFF);
}

QColor GradientColour(int perMille) {
  return QColor((perMille / 20 - 51) & 0xFF, (perMille / 7 + 55) & 0xFF, 0);
}

CqelProgressCtrl::CqelProgressCtrl(QWidget* parent) : QWidget(parent) {
  setAttribute(Qt::WA_OpaquePaintEvent);  // every pixel is painted
}

void CqelProgressCtrl::SetState(const ProgressDrawState& state) {
  {
    std::lock_guard lock(mutex_);
    state_ = state;
  }
  if (QThread::currentThread() == thread()) {
    update();
  } else {
    QMetaObject::invokeMethod(
        this, [this] { update(); }, Qt::QueuedConnection);
  }
}

ProgressDrawState CqelProgressCtrl::State() const {
  std::lock_guard lock(mutex_);
  return state_;
}

QSize CqelProgressCtrl::sizeHint() const {
  return {400, 24};
}

void CqelProgressCtrl::paintEvent(QPaintEvent*) {
  const ProgressDrawState state = State();
  const int w = width();
  const int h = height();
  QPainter painter(this);
  DrawSunkenFrame(painter, w, h);
  const int emptyStart = DrawBar(painter, state, w, h);

  const QString caption = QString::fromStdString(state.caption);
  if (caption.isEmpty()) return;
  painter.setFont(CaptionFont(w, h));
  const QRect inner = rect().adjusted(1, 1, -1, -1);
  const int flags = Qt::AlignCenter | Qt::TextShowMnemonic | Qt::TextSingleLine;
  painter.setClipRect(
      QRect(QPoint(inner.left(), inner.top()), QPoint(emptyStart - 1, inner.bottom())));
  painter.setPen(ColorFromRef(state.filledTextColour));
  painter.drawText(rect(), flags, caption);
  painter.setClipRect(QRect(QPoint(emptyStart, inner.top()), inner.bottomRight()));
  painter.setPen(ColorFromRef(state.emptyTextColour));
  painter.drawText(rect(), flags, caption);
}

void CqelProgressCtrl::mousePressEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    emit clicked();
    event->accept();
    return;
  }
  QWidget::mousePressEvent(event);
}

}  // namespace velmora
