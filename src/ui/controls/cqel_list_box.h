#pragma once
// The log list under every page. A list view over a model of lines: workers add lines from
// their own threads without waiting; the lines are moved into the model in batches on the GUI
// thread, so that even a flood of lines leaves the window responsive. Lines may carry tabs,
// which stop at the log's tab stops. The list always follows the newest line.
#include <QAbstractListModel>
#include <QListView>
#include <QStringList>
#include <QStyledItemDelegate>
#include <QTimer>
#include <array>
#include <mutex>
#include <span>
#include <vector>

namespace velmora {

// The lines of the log as a flat list model.
class LogLineModel final : public QAbstractListModel {
 public:
  using QAbstractListModel::QAbstractListModel;

  int rowCount(const QModelIndex& parent = {}) const override;
  QVariant data(const QModelIndex& index, int role) const override;

  void AppendLines(std::vector<QString> lines);
  void RemoveLastLine();
  void ResetLines(const QStringList& lines);
  const QString& Line(int row) const { return lines_[static_cast<size_t>(row)]; }

 private:
  std::vector<QString> lines_;
};

// Draws a line with its tabs expanded to fixed stops (in pixels from the line's start). A line
// that starts with a time stamp ("hh:mm:ss:cc" and three spaces) has its text drawn from the
// time column's end, so the texts line up even where the font's digits differ in width.
class TabStopDelegate final : public QStyledItemDelegate {
 public:
  using QStyledItemDelegate::QStyledItemDelegate;

  void SetTabStops(QList<qreal> pixels) { tabStops_ = std::move(pixels); }
  const QList<qreal>& TabStops() const { return tabStops_; }
  // Where the text of a time-stamped line starts, in pixels from the line's start.
  void SetTimeColumn(qreal pixels) { timeColumn_ = pixels; }
  qreal TimeColumn() const { return timeColumn_; }

  void paint(QPainter* painter, const QStyleOptionViewItem& option,
             const QModelIndex& index) const override;
  QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

 private:
  void DrawText(QPainter* painter, const QRectF& rect, const QString& text, qreal start) const;

  QList<qreal> tabStops_;
  qreal timeColumn_ = 0;
};

// The length of the time stamp with its three spaces when `line` starts with one, else 0.
int TimeStampLength(const QString& line);

// The log's tab stops in dialog units: 16 from 45 in steps of 14, then 16 from 290 in steps
// of 10 (time stamp, then the columns of memory dumps).
constexpr std::array<int, 32> MakeLogTabStops() {
  std::array<int, 32> stops{};
  for (int i = 0; i < 16; ++i) stops[i] = 45 + 14 * i;
  for (int i = 0; i < 16; ++i) stops[16 + i] = 290 + 10 * i;
  return stops;
}
inline constexpr std::array<int, 32> kLogTabStops = MakeLogTabStops();

class CqelListBox : public QListView {
  Q_OBJECT

 public:
  // Lines from workers are gathered for this long, then shown together: every change of the
  // model lays the whole list out again (some 10 ms per 100,000 lines).
  static constexpr int kFlushIntervalMs = 25;

  explicit CqelListBox(QWidget* parent = nullptr);

  // Any thread. On the GUI thread the change is made at once; from other threads it is queued
  // and made on the GUI thread in order, together with the other queued lines.
  void AddLine(const QString& line);
  void RemoveLastLine();

  // GUI thread only. Both drop whatever was queued before them: the refill comes from the
  // document's list of lines, which already holds those lines.
  void SetLines(const QStringList& lines);
  void Clear();

  // Tab stops in dialog units (a quarter of the font's average character width each).
  void SetTabStops(std::span<const int> dialogUnits);

  // Makes the queued changes now (GUI thread).
  void FlushPending();

  int Count() const { return model_.rowCount(); }
  QString Line(int row) const { return model_.Line(row); }
  // Pixel positions of the tab stops, as drawn.
  const QList<qreal>& TabStopPixels() const { return delegate_.TabStops(); }
  // Where the texts of time-stamped lines start.
  qreal TimeColumnPixels() const { return delegate_.TimeColumn(); }

 protected:
  void changeEvent(QEvent* event) override;

 private:
  struct PendingChange {
    bool removeLast = false;  // otherwise append `line`
    QString line;
  };

  bool OnGuiThread() const;
  void Enqueue(PendingChange change);
  void Apply(std::vector<PendingChange>& changes);
  void FollowLastLine();
  void UpdateTabStopPixels();

  LogLineModel model_;
  TabStopDelegate delegate_;
  std::vector<int> tabStopUnits_;
  bool scrollScheduled_ = false;
  QTimer flushTimer_;

  std::mutex mutex_;  // guards the two members below
  std::vector<PendingChange> pending_;
  bool flushScheduled_ = false;
};

}  // namespace velmora
