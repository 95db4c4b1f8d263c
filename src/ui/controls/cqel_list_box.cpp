#include "ui/controls/cqel_list_box.h"

#include <QApplication>
#include <QEvent>
#include <QFontMetricsF>
#include <QPainter>
#include <QTextOption>
#include <QThread>
#include <algorithm>
#include <cmath>

namespace velmora {

int LogLineModel::rowCount(const QModelIndex& parent) const {
  return parent.isValid() ? 0 : static_cast<int>(lines_.size());
}

QVariant LogLineModel::data(const QModelIndex& index, int role) const {
  if (role != Qt::DisplayRole || !index.isValid() || index.row() >= rowCount()) return {};
  return Line(index.row());
}

void LogLineModel::AppendLines(std::vector<QString> lines) {
  if (lines.empty()) return;
  const int first = rowCount();
  beginInsertRows({}, first, first + static_cast<int>(lines.size()) - 1);
  lines_.insert(lines_.end(), std::make_move_iterator(lines.begin()),
                std::make_move_iterator(lines.end()));
  endInsertRows();
}

void LogLineModel::RemoveLastLine() {
  if (lines_.empty()) return;
  const int last = rowCount() - 1;
  beginRemoveRows({}, last, last);
  lines_.pop_back();
  endRemoveRows();
}

void LogLineModel::ResetLines(const QStringList& lines) {
  beginResetModel();
  lines_.assign(lines.begin(), lines.end());
  endResetModel();
}

void TabStopDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option,
                            const QModelIndex& index) const {
  QStyleOptionViewItem item = option;
  initStyleOption(&item, index);
  const QString text = item.text;
  item.text.clear();  // the style draws the background and selection, the text comes below
  const QWidget* widget = option.widget;
  QStyle* style = widget ? widget->style() : QApplication::style();
  style->drawControl(QStyle::CE_ItemViewItem, &item, painter, widget);

  const QRectF textRect = style->subElementRect(QStyle::SE_ItemViewItemText, &item, widget);
  const bool selected = item.state & QStyle::State_Selected;
  painter->save();
  painter->setFont(item.font);
  painter->setPen(item.palette.color(selected ? QPalette::HighlightedText : QPalette::Text));
  if (const int stamp = TimeStampLength(text); stamp > 0) {
    DrawText(painter, textRect, text.left(stamp), 0);
    DrawText(painter, textRect, text.mid(stamp), timeColumn_);
  } else {
    DrawText(painter, textRect, text, 0);
  }
  painter->restore();
}

// Draws `text` from `start` pixels into the line; its tabs keep the line's stops.
void TabStopDelegate::DrawText(QPainter* painter, const QRectF& rect, const QString& text,
                               qreal start) const {
  QList<qreal> stops;
  for (qreal stop : tabStops_) {
    if (stop > start) stops.append(stop - start);
  }
  QTextOption layout(Qt::AlignLeft | Qt::AlignVCenter);
  layout.setWrapMode(QTextOption::NoWrap);
  layout.setTabArray(stops);
  painter->drawText(rect.adjusted(start, 0, 0, 0), text, layout);
}

int TimeStampLength(const QString& line) {
  static constexpr char kPattern[] = "00:00:00:00   ";  // 0 stands for any digit
  constexpr int kLength = sizeof kPattern - 1;
  if (line.size() < kLength) return 0;
  for (int i = 0; i < kLength; ++i) {
    const bool matches =
        kPattern[i] == '0' ? line[i].isDigit() : line[i] == QLatin1Char(kPattern[i]);
    if (!matches) return 0;
  }
  return kLength;
}

// Every line is one text line high; the width follows the view, long lines are clipped.
QSize TabStopDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const {
  return {1, option.fontMetrics.height() + 2};
}

CqelListBox::CqelListBox(QWidget* parent) : QListView(parent) {
  setModel(&model_);
  setItemDelegate(&delegate_);
  setUniformItemSizes(true);  // keeps layout cheap for a hundred thousand lines
  setEditTriggers(NoEditTriggers);
  setSelectionMode(SingleSelection);
  setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
  SetTabStops(kLogTabStops);
  flushTimer_.setSingleShot(true);
  flushTimer_.setInterval(kFlushIntervalMs);
  connect(&flushTimer_, &QTimer::timeout, this, &CqelListBox::FlushPending);
}

bool CqelListBox::OnGuiThread() const {
  return QThread::currentThread() == thread();
}

void CqelListBox::AddLine(const QString& line) {
  Enqueue({.removeLast = false, .line = line});
}

void CqelListBox::RemoveLastLine() {
  Enqueue({.removeLast = true, .line = {}});
}

void CqelListBox::Enqueue(PendingChange change) {
  bool scheduleFlush = false;
  {
    std::lock_guard lock(mutex_);
    pending_.push_back(std::move(change));
    scheduleFlush = !flushScheduled_;
    flushScheduled_ = true;
  }
  if (OnGuiThread()) {
    FlushPending();
  } else if (scheduleFlush) {
    QMetaObject::invokeMethod(
        this, [this] { flushTimer_.start(); }, Qt::QueuedConnection);
  }
}

void CqelListBox::FlushPending() {
  std::vector<PendingChange> changes;
  {
    std::lock_guard lock(mutex_);
    changes.swap(pending_);
    flushScheduled_ = false;
  }
  if (changes.empty()) return;
  Apply(changes);
  FollowLastLine();
}

// Runs of added lines go into the model as one insertion.
void CqelListBox::Apply(std::vector<PendingChange>& changes) {
  std::vector<QString> batch;
  for (PendingChange& change : changes) {
    if (!change.removeLast) {
      batch.push_back(std::move(change.line));
    } else if (!batch.empty()) {
      batch.pop_back();
    } else {
      model_.RemoveLastLine();
    }
  }
  model_.AppendLines(std::move(batch));
}

void CqelListBox::SetLines(const QStringList& lines) {
  {
    std::lock_guard lock(mutex_);
    pending_.clear();
  }
  model_.ResetLines(lines);
  FollowLastLine();
}

void CqelListBox::Clear() {
  SetLines({});
}

// Scrolling lays the view out, so many changes in one event-loop pass scroll once.
void CqelListBox::FollowLastLine() {
  if (scrollScheduled_) return;
  scrollScheduled_ = true;
  QMetaObject::invokeMethod(
      this,
      [this] {
        scrollScheduled_ = false;
        scrollToBottom();
      },
      Qt::QueuedConnection);
}

void CqelListBox::SetTabStops(std::span<const int> dialogUnits) {
  tabStopUnits_.assign(dialogUnits.begin(), dialogUnits.end());
  UpdateTabStopPixels();
}

// A horizontal dialog unit is a quarter of the average width of the Latin letters.
void CqelListBox::UpdateTabStopPixels() {
  static const QString kLetters =
      QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
  const qreal baseUnit = fontMetrics().horizontalAdvance(kLetters) / 52.0;
  QList<qreal> pixels;
  for (int units : tabStopUnits_) pixels.append(qRound(units * baseUnit / 4.0));
  delegate_.SetTabStops(std::move(pixels));
  // The widest stamp the font can draw: eight of its widest digit.
  const QFontMetricsF metrics(font());
  qreal digit = 0;
  for (char c = '0'; c <= '9'; ++c) digit = std::max(digit, metrics.horizontalAdvance(QChar(c)));
  delegate_.SetTimeColumn(
      std::ceil(8 * digit + metrics.horizontalAdvance(QStringLiteral(":::   "))));
  viewport()->update();
}

void CqelListBox::changeEvent(QEvent* event) {
  QListView::changeEvent(event);
  if (event->type() == QEvent::FontChange) UpdateTabStopPixels();
}

}  // namespace velmora
