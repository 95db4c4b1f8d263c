#pragma once
// The log of the document: every line shown since start or the last clear, observers that show
// lines as they come (the GUI's list box, the CLI's console), and the log file beside the open
// preset. Lines come from the user-interface thread, operation workers and the trace reader;
// all of it is guarded by one mutex, and observers are told of changes in the order they
// happened.
#include <cstddef>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"

namespace velmora {

struct LogEvent {
  enum class Kind {
    kAppended,     // `line` was added at the end
    kRemovedLast,  // the last line was removed (ReplaceLastLogLine)
    kCleared,      // the log was emptied
    kViewCleared,  // only the view's list was emptied; the stored lines stay
    kScrolled,     // the view shows item (item count - `fromEnd`) as its first line
  };
  Kind kind;
  std::string line;
  int fromEnd = 0;
};

using LogObserver = std::function<void(const LogEvent&)>;

class CqelLog {
 public:
  explicit CqelLog(IClock& clock);

  // Appends one line; with `withTime` it is shown after the time stamp and three spaces. The
  // log file always gets the time stamp and one space.
  void LogLine(std::string_view text, bool withTime = true);
  // Turns the last line (a progress line) into its result line.
  void ReplaceLastLogLine(std::string_view text);
  void ClearLog();
  // Only the view's list is emptied (read-after-reset dumps start on a clean list).
  void ClearView();
  // Scrolls the view so that its top item is the item count minus `fromEnd` (a dump shows its
  // heading on top).
  void ScrollView(int fromEnd);

  std::vector<std::string> Lines() const;
  size_t LineCount() const;

  // The preset path; empty means no log file.
  void SetPathName(const std::filesystem::path& pathName);
  std::filesystem::path LogFilePath() const;

  // Observers are called on the thread that logs, serialised, in event order; they must not
  // log themselves.
  int AddObserver(LogObserver observer);
  void RemoveObserver(int id);

  // "%02i:%02i:%02i:%02i": hour, minute, second, hundredths.
  static std::string TimeStamp(const LocalTime& time);
  // The preset path with ".log" in place of its extension.
  static std::filesystem::path LogFileFor(const std::filesystem::path& pathName);

 private:
  void AppendLocked(std::string_view text, bool withTime);
  void Notify(const LogEvent& event);
  void WriteLogFile(const std::string& line) const;

  IClock& clock_;
  // Held while a change is made and its observers are told, so that observers see changes in
  // order; recursive because ReplaceLastLogLine makes two changes.
  std::recursive_mutex changeMutex_;
  mutable std::mutex dataMutex_;  // guards the members below
  std::vector<std::string> logLines_;
  std::filesystem::path pathName_;
  std::vector<std::pair<int, LogObserver>> observers_;
  int nextObserverId_ = 1;
};

}  // namespace velmora
