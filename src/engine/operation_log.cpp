#include "engine/operation_log.h"

#include <cstdio>
#include <fstream>

namespace velmora {

CqelLog::CqelLog(IClock& clock) : clock_(clock) {}

std::string CqelLog::TimeStamp(const LocalTime& time) {
  char text[32];
  std::snprintf(text, sizeof text, "%02i:%02i:%02i:%02i", time.hour, time.minute, time.second,
                time.hundredths);
  return text;
}

std::filesystem::path CqelLog::LogFileFor(const std::filesystem::path& pathName) {
  if (pathName.empty()) return {};
  std::filesystem::path log = pathName;
  log.replace_extension(".log");
  return log;
}

void CqelLog::LogLine(std::string_view text, bool withTime) {
  std::lock_guard change(changeMutex_);
  AppendLocked(text, withTime);
}

void CqelLog::ReplaceLastLogLine(std::string_view text) {
  std::lock_guard change(changeMutex_);
  bool removed = false;
  {
    std::lock_guard data(dataMutex_);
    if (!logLines_.empty()) {
      logLines_.pop_back();
      removed = true;
    }
  }
  if (removed) Notify({LogEvent::Kind::kRemovedLast, {}, 0});
  AppendLocked(text, true);
}

void CqelLog::AppendLocked(std::string_view text, bool withTime) {
  // An empty text gets an empty stamp, so a blank line reads "   " in the list, " " in the file.
  const std::string stamp = text.empty() ? std::string() : TimeStamp(clock_.Now());
  std::string line = withTime ? stamp + "   " + std::string(text) : std::string(text);
  {
    std::lock_guard data(dataMutex_);
    logLines_.push_back(line);
  }
  Notify({LogEvent::Kind::kAppended, std::move(line), 0});
  WriteLogFile(stamp + " " + std::string(text));
}

void CqelLog::ClearLog() {
  std::lock_guard change(changeMutex_);
  {
    std::lock_guard data(dataMutex_);
    logLines_.clear();
  }
  Notify({LogEvent::Kind::kCleared, {}, 0});
}

void CqelLog::ClearView() {
  std::lock_guard change(changeMutex_);
  Notify({LogEvent::Kind::kViewCleared, {}, 0});
}

void CqelLog::ScrollView(int fromEnd) {
  std::lock_guard change(changeMutex_);
  Notify({LogEvent::Kind::kScrolled, {}, fromEnd});
}

std::vector<std::string> CqelLog::Lines() const {
  std::lock_guard data(dataMutex_);
  return logLines_;
}

size_t CqelLog::LineCount() const {
  std::lock_guard data(dataMutex_);
  return logLines_.size();
}

void CqelLog::SetPathName(const std::filesystem::path& pathName) {
  std::lock_guard data(dataMutex_);
  pathName_ = pathName;
}

std::filesystem::path CqelLog::LogFilePath() const {
  std::lock_guard data(dataMutex_);
  return LogFileFor(pathName_);
}

int CqelLog::AddObserver(LogObserver observer) {
  std::lock_guard change(changeMutex_);
  std::lock_guard data(dataMutex_);
  observers_.emplace_back(nextObserverId_, std::move(observer));
  return nextObserverId_++;
}

void CqelLog::RemoveObserver(int id) {
  std::lock_guard change(changeMutex_);
  std::lock_guard data(dataMutex_);
  std::erase_if(observers_, [id](const auto& entry) { return entry.first == id; });
}

void CqelLog::Notify(const LogEvent& event) {
  // changeMutex_ is held: the observer list cannot change underneath.
  for (const auto& [id, observer] : observers_) observer(event);
}

void CqelLog::WriteLogFile(const std::string& line) const {
  const std::filesystem::path file = LogFilePath();
  if (file.empty()) return;
  // Opened and closed for every line so that the file is complete whenever the program stops;
  // errors are ignored.
  std::ofstream out(file, std::ios::binary | std::ios::app);
  out << line << "\r\n";
}

}  // namespace velmora
