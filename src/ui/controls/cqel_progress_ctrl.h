#pragma once
// The status bar under every page: a sunken frame, a gradient (or single-colour) bar filling
// from the left, and a caption drawn in one colour over the filled part and another over the
// rest. Operations on worker threads hand it a whole ProgressDrawState; a click on it is passed
// on to the page.
#include <QColor>
#include <QWidget>
#include <mutex>

#include "ui/controls/progress_state.h"

namespace velmora {

QColor ColorFromRef(ColorRef colour);

// Colour of the filled pixel column at the given per-mille position when the bar colour is -1.
QColor GradientColour(int perMille);

class CqelProgressCtrl : public QWidget {
  Q_OBJECT

 public:
  explicit CqelProgressCtrl(QWidget* parent = nullptr);

  // Callable from any thread: stores the state and schedules a repaint on the GUI thread.
  void SetState(const ProgressDrawState& state);
  ProgressDrawState State() const;

  QSize sizeHint() const override;

 signals:
  // A left click on the bar (the page treats it as its update command).
  void clicked();

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;

 private:
  mutable std::mutex mutex_;
  ProgressDrawState state_;
};

}  // namespace velmora
