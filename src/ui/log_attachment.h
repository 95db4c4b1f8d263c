#pragma once
// Connects the document's log to the log list of the page on screen. The log tells of every
// change on the thread that makes it (workers included); the list shown at that moment gets the
// change. A page that comes on screen is refilled from the document's lines.
#include <mutex>

#include "engine/operation_log.h"

namespace velmora {

class CqelListBox;

class LogAttachment {
 public:
  explicit LogAttachment(CqelLog& log);
  ~LogAttachment();
  LogAttachment(const LogAttachment&) = delete;
  LogAttachment& operator=(const LogAttachment&) = delete;

  // GUI thread. Refills `list` (nullptr: none) with every line of the log and shows later
  // changes in it.
  void Attach(CqelListBox* list);

 private:
  void OnLogEvent(const LogEvent& event);

  CqelLog& log_;
  int observerId_ = 0;
  std::mutex mutex_;  // held while the list is changed or replaced
  CqelListBox* list_ = nullptr;
};

}  // namespace velmora
