// Tracing: while no operation runs, the full programmer forwards what the target's program sends
// on its trace pins; a reader thread polls the link, turns each record into a log line through
// the trace definitions, and every operation suspends it around itself. The data monitor is
// here too: a cycle of its own around the PIC18 view's monitor step.
#include <algorithm>
#include <cstring>
#include <future>

#include "engine/cqel_doc.h"
#include "engine/file_changed.h"
#include "engine/trace_stream.h"
#include "link/pic_vortang.h"
#include "platform/whole_file.h"

namespace velmora {

namespace {

// Firmware commands of tracing.
constexpr uint8_t kTracePullUps = 0x59;  // with the pull-up setting; 0 ends tracing
constexpr uint8_t kTraceLineOn = 0x06;
constexpr uint8_t kTraceLineOff = 0x07;
constexpr uint8_t kStartReport = 0x56;
constexpr uint8_t kSuppressReport = 0x58;
constexpr uint8_t kVersionText = 0x57;

constexpr uint32_t kPollMilliseconds = 10;
// After the reader's last command: long enough for the version text and the last trace bytes.
constexpr uint32_t kSettleMilliseconds = 100;

constexpr const char* kLinkLostLine = "+++ Connection to the programmer lost +++";

}  // namespace

// ---- Operations run with tracing suspended ----------------------------------------------------

void CqelDoc::RunWithTracingSuspended(const std::function<void()>& operation) {
  EndTracing();
  struct Resume {
    CqelDoc& doc;
    ~Resume() {
      // An operation that found no programmer has told the user; trying again here would only
      // tell it twice.
      if (doc.trace == 1 && doc.lastOutcome != OperationOutcome::kNoProgrammer) {
        doc.BeginTracing();
        doc.RefreshView();
      }
    }
  } resume{*this};
  operation();
}

void CqelDoc::StartTracing() {
  if (OperationRunning()) return;
  BeginTracing();
  RefreshView();
}

void CqelDoc::StopTracing() {
  if (OperationRunning()) return;
  if (EndTracing()) RefreshView();
}

void CqelDoc::BeginTracing() {
  std::lock_guard lock(traceMutex_);
  if (traceState != trace_state::kIdle) return;
  if (!programmer->Open(usbDescription, 0)) return;
  traceSuppressed_ = suppressTrace != 0;
  traceLinkLostLogged_ = false;
  const auto pullUp = static_cast<uint8_t>(tracePullUp);
  traceState = trace_state::kActive;
  try {
    // The reader starts once the activation is logged, so that its lines come after it.
    std::promise<void> logged;
    traceReader_ = std::thread([this, pullUp, go = logged.get_future()] {
      go.wait();
      RunTrace(pullUp);
    });
    LogLine(traceSuppressed_ ? "Tracing activated (suppressed)" : "Tracing activated");
    logged.set_value();
  } catch (const std::system_error&) {
    traceState = trace_state::kIdle;
    programmer->Close();
    LogLine("Tracing activation failed.");
  }
}

bool CqelDoc::EndTracing() {
  std::lock_guard lock(traceMutex_);
  if (traceState == trace_state::kIdle && !traceReader_.joinable()) return false;
  // The reader sees the request within one poll, sends its last commands and leaves. It is
  // joined here rather than waited for in an event loop, so that no second command can start
  // meanwhile; until the link is closed the stop counts as busy.
  traceState = trace_state::kStopRequested;
  if (traceReader_.joinable()) traceReader_.join();
  traceState = trace_state::kIdle;
  programmer->WriteCommandBytes({kTracePullUps, 0x00});
  programmer->Close();
  LogLine("Tracing deactivated");
  return true;
}

void CqelDoc::ToggleTraceSuppression() {
  // The reader sends the command and logs it: it alone writes to the link while it runs.
  traceSuppressed_ = suppressTrace != 0;
}

// ---- The reader thread ------------------------------------------------------------------------

std::span<uint8_t> CqelDoc::ReceiveBuffer() const {
  size_t size = CPICVortang::kReplyBufferSize;
  if (traceReceiveBytes != 0) size = std::clamp(traceReceiveBytes, kMaxTraceCarryOver + 1, size);
  return {programmer->replyBuffer.get(), size};
}

void CqelDoc::RunTrace(uint8_t pullUp) {
  CPICVortang& link = *programmer;
  link.WriteCommandBytes({kTracePullUps, pullUp});
  link.WriteCommandByte(kTraceLineOn);
  link.WriteCommandByte(kStartReport);
  bool suppressed = traceSuppressed_;
  if (suppressed) link.WriteCommandByte(kSuppressReport);
  pendingTraceBytes = 0;
  while (traceState == trace_state::kActive) {
    clock_.Sleep(kPollMilliseconds);
    FollowSuppression(suppressed);
    PollTrace();
  }
  // What the programmer sent before the stop is shown, not dropped with the version text.
  PollTrace();
  link.WriteCommandByte(kVersionText);
  link.WriteCommandByte(kTraceLineOff);
  clock_.Sleep(kSettleMilliseconds);
  const std::span<uint8_t> buffer = ReceiveBuffer();
  link.ReadQueued(buffer.data(), buffer.size());
  pendingTraceBytes = 0;
}

void CqelDoc::FollowSuppression(bool& suppressed) {
  const bool wanted = traceSuppressed_;
  if (wanted == suppressed) return;
  suppressed = wanted;
  if (suppressed) {
    programmer->WriteCommandByte(kSuppressReport);
    LogLine("Tracing suppressed");
  } else {
    LogLine("Tracing reactivated");
    programmer->WriteCommandByte(kTraceLineOn);
    programmer->WriteCommandByte(kStartReport);
  }
}

void CqelDoc::PollTrace() {
  const std::span<uint8_t> buffer = ReceiveBuffer();
  const auto pending = static_cast<size_t>(pendingTraceBytes);
  // The read never runs past the receive buffer: what does not fit stays queued for the next.
  const int64_t received = programmer->ReadQueued(buffer.data() + pending, buffer.size() - pending);
  if (received < 0) {
    if (!traceLinkLostLogged_) LogLine(kLinkLostLine);
    traceLinkLostLogged_ = true;
    return;
  }
  if (received == 0) return;
  const size_t total = pending + static_cast<size_t>(received);
  if (traceSuppressed_) {
    pendingTraceBytes = 0;  // read and discarded
    return;
  }
  const auto definitions = TraceDefinitions();
  const size_t used = ParseTraceBytes(buffer.first(total), [&](const TraceItem& item) {
    switch (item.kind) {
      case TraceItem::Kind::kNull:
        LogLine("NULL");
        break;
      case TraceItem::Kind::kOverflow:
        LogLine("Trace Overflow...");
        break;
      case TraceItem::Kind::kRecord:
        LogLine(FormatTraceRecord(item.record, *definitions));
        break;
    }
  });
  std::memmove(buffer.data(), buffer.data() + used, total - used);
  pendingTraceBytes = static_cast<int32_t>(total - used);
}

// ---- Trace definitions ------------------------------------------------------------------------

void CqelDoc::LoadTraceDefinitions() {
  auto definitions = std::make_shared<std::vector<TraceDefinition>>();
  const std::string path = traceDefinitionFile;
  FileBytes bytes;
  if (!path.empty() && ReadWholeFile(path, bytes) == 0) {
    *definitions = ParseTraceDefinitions(bytes.View());
  }
  traceDefinitionPath_ = path;
  traceDefinitionTime_ = std::filesystem::file_time_type::min();
  FileChangedSince(path, traceDefinitionTime_);
  traceDefinitionCount = static_cast<int32_t>(definitions->size());
  std::lock_guard lock(definitionsMutex_);
  traceDefinitions_ = std::move(definitions);
}

bool CqelDoc::ReloadTraceDefinitionsIfChanged() {
  if (traceDefinitionFile == traceDefinitionPath_ &&
      FileChangedSince(traceDefinitionFile, traceDefinitionTime_) == 0) {
    return false;
  }
  LoadTraceDefinitions();
  return true;
}

std::shared_ptr<const std::vector<TraceDefinition>> CqelDoc::TraceDefinitions() const {
  std::lock_guard lock(definitionsMutex_);
  if (!traceDefinitions_) return std::make_shared<const std::vector<TraceDefinition>>();
  return traceDefinitions_;
}

// ---- Data monitor -----------------------------------------------------------------------------

void CqelDoc::RunDataMonitor(const std::function<void()>& monitorStep) {
  if (dataMonitorRunning.exchange(1) != 0) return;
  lastOutcome = OperationOutcome::kFailed;
  if (!OpenOperationLink()) return;
  monitorStep();
  LogLine("Data Monitor activated...");
  CloseOperationLink();
  lastOutcome = OperationOutcome::kSuccess;
  LogLine("Data Monitor stop!");
}

}  // namespace velmora
