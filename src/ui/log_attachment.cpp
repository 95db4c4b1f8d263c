#include "ui/log_attachment.h"

#include <QMetaObject>
#include <QThread>

#include "ui/controls/cqel_list_box.h"

namespace velmora {

LogAttachment::LogAttachment(CqelLog& log) : log_(log) {
  observerId_ = log_.AddObserver([this](const LogEvent& event) { OnLogEvent(event); });
}

LogAttachment::~LogAttachment() {
  log_.RemoveObserver(observerId_);
}

void LogAttachment::Attach(CqelListBox* list) {
  // Held across reading the lines and refilling, so that no line comes in between.
  std::lock_guard lock(mutex_);
  list_ = list;
  if (!list_) return;
  QStringList lines;
  for (const std::string& line : log_.Lines()) lines << QString::fromStdString(line);
  list_->SetLines(lines);
}

void LogAttachment::OnLogEvent(const LogEvent& event) {
  std::lock_guard lock(mutex_);
  CqelListBox* list = list_;
  if (!list) return;
  const bool onGuiThread = QThread::currentThread() == list->thread();
  switch (event.kind) {
    case LogEvent::Kind::kAppended:
      list->AddLine(QString::fromStdString(event.line));
      break;
    case LogEvent::Kind::kRemovedLast:
      list->RemoveLastLine();
      break;
    case LogEvent::Kind::kCleared:
    case LogEvent::Kind::kViewCleared:
      if (onGuiThread) {
        list->Clear();
      } else {
        QMetaObject::invokeMethod(
            list, [list] { list->Clear(); }, Qt::QueuedConnection);
      }
      break;
    case LogEvent::Kind::kScrolled: {
      const int fromEnd = event.fromEnd;
      auto scroll = [list, fromEnd] {
        list->FlushPending();
        const int top = std::max(0, list->Count() - fromEnd);
        list->scrollTo(list->model()->index(top, 0), QAbstractItemView::PositionAtTop);
      };
      if (onGuiThread) {
        scroll();
      } else {
        QMetaObject::invokeMethod(list, scroll, Qt::QueuedConnection);
      }
      break;
    }
  }
}

}  // namespace velmora
