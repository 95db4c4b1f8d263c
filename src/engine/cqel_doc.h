#pragma once
// The one document of the program: the user's settings, the log, the status bar and the
// operation runner, and (with the link) the programmer object. Front ends store their controls
// into it, then start operations on it; operations report through the log and the bar.
#include <atomic>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "engine/document_settings.h"
#include "engine/family_operations.h"
#include "engine/operation_log.h"
#include "engine/operation_runner.h"
#include "engine/progress_bar.h"
#include "engine/trace_format.h"
#include "memory/device_ranges.h"
#include "memory/family.h"
#include "platform/clock.h"
#include "platform/log_sink.h"
#include "platform/user_prompt.h"

namespace velmora {

class CPICVortang;
class CMCUMemoryArchitecture;
class CZEQLEngine;
class CZEQLExecutor;
struct ScriptStatus;

// Argument of every family's Program/Verify/Read sequence; the PIC18 sequence also uses it as
// its limit of configuration write attempts.
enum OperationMode : int32_t { Program = 2, Verify = 3, Read = 4 };

// traceState values.
namespace trace_state {
constexpr int32_t kActive = 3;
constexpr int32_t kStopRequested = 4;
constexpr int32_t kIdle = 5;
}  // namespace trace_state

// How the last operation ended, for front ends that report it (the CLI's exit code).
enum class OperationOutcome {
  kNotStarted,  // refused (busy), preparation failed or the user cancelled
  kSuccess,
  kFailed,          // a memory part failed, the link was lost, or read data was not saved
  kDeviceNotFound,  // the target did not identify
  kNoProgrammer,    // the link could not be opened
};

// The font of the log and the script view.
struct DisplayFont {
  const char* faceName = "Courier New";
  int height = 10;
  int width = 6;
  int weight = 400;  // normal
  bool antialiased = false;
  bool fixedPitch = true;  // fixed pitch, modern family
};

// What the document needs from its surroundings.
struct CqelDocServices {
  IClock& clock;
  IUserPrompt& prompt;
  // Settings are loaded from it at construction and saved to it at destruction; without one
  // the document starts from the defaults and saves nothing.
  ISettingsStore* settingsStore = nullptr;
  // The FT232 driver library to bind; empty for the standard lookup.
  std::string driverLibraryPath;
};

// The script view's setting behind an option variable of scripts ("_LVP" ...
// "_ignoreConfigFromHex"); nullopt for any other name.
std::optional<ZeqOption> ScriptOptionOf(std::string_view variable);

class CqelDoc : public DocumentSettings {
 public:
  explicit CqelDoc(const CqelDocServices& services);
  CqelDoc(const CqelDoc&) = delete;
  CqelDoc& operator=(const CqelDoc&) = delete;
  // Waits for a running operation, then saves the settings.
  ~CqelDoc();

  // --- Settings ---------------------------------------------------------------------------
  void LoadSettings(const ISettingsStore& store);
  void SaveSettings(ISettingsStore& store) const;

  // --- Presets: empty files whose path names the log file ----------------------------------
  // Creates (or empties) the file and makes it the document's path. False when it cannot be
  // written.
  bool SavePreset(const std::filesystem::path& path);
  // Makes an existing file the document's path; no setting changes.
  bool OpenPreset(const std::filesystem::path& path);
  // A new, unnamed preset: the document forgets its path (no log file until it is saved); no
  // setting changes.
  void NewPreset();
  std::filesystem::path PathName() const;
  // The file name of the preset, "Untitled Preset" without one.
  std::string Title() const;

  // --- Log ------------------------------------------------------------------------------------
  void LogLine(std::string_view text, bool withTime = true) {
    operationLog.LogLine(text, withTime);
  }
  void ReplaceLastLogLine(std::string_view text) { operationLog.ReplaceLastLogLine(text); }
  void ClearLog() { operationLog.ClearLog(); }

  // --- Status bar -----------------------------------------------------------------------------
  // Selects the bar range for the link's progress counter and shows its counter 0.
  void SetProgressPhase(int32_t start, int32_t span);
  // Progress callback of the link: shows its counter within the current phase.
  void OnLinkProgress();
  void ResetBarColours();
  // Green "Success" with a full bar; lastOperationFailed = 0.
  void ShowSuccess();
  // Red bar blinking "Fail" six times a quarter second; lastOperationFailed = 1.
  void ShowFailure();
  // `caption` ("No PIC !!!") over the default bar at the end of the range.
  void ShowDeviceNotFound(const std::string& caption);

  // --- Running operations ---------------------------------------------------------------------
  // The busy guard of every command: true when an operation is running (while tracing, the
  // open link alone does not count). Tells the user once, without a second box while the first
  // is still open.
  bool IsBusy();
  // True from the start of an operation until its end.
  bool OperationRunning() const { return runner_.Running(); }
  // Runs `operation` on the document's worker thread; false when one is running. Every
  // operation runs with tracing suspended: it is stopped before and, while `trace` is 1,
  // started again after it.
  bool StartOperation(std::function<void()> operation);
  // Runs `operation` on the calling thread, as StartOperation; false when one is running.
  bool RunOperation(const std::function<void()>& operation);
  // Blocks until the worker has finished.
  void WaitForOperation() { runner_.Wait(); }

  // --- Family commands ------------------------------------------------------------------------
  // Every command of every family page: the busy guard, the preparation on the calling thread,
  // then the operation on the worker or here as the command says. False when nothing was
  // started (lastOutcome then says kNotStarted).
  bool StartCommand(IFamilyOperations& operations, const FamilyCommand& command);
  // The per-family objects of this document (their state lives as long as the document); the
  // family registry creates them on first use.
  IFamilyOperations* FamilyOperations(Family family) const;
  IFamilyOperations& AdoptFamilyOperations(Family family,
                                           std::unique_ptr<IFamilyOperations> operations);

  // --- The programming cycle's frame, shared by every family --------------------------------
  // Opens the link for the programmer kind of `usesMiniProgrammer` (tracing is already
  // suspended around the operation); false (lastOutcome kNoProgrammer) when it cannot be
  // opened, the user having been told. Resets the bar colours for the operation.
  bool OpenOperationLink();
  // Closes the link.
  void CloseOperationLink();
  // After identification and before anything is erased or written: data of the file image that
  // the identified device cannot hold (outside `deviceRanges`, the family row's ranges of the
  // device) is logged with its amount and place; the command goes on only when the user
  // confirms (`action`, "Program" or "Verify", names it in the question). True when nothing
  // lies outside or the user said Yes.
  bool ConfirmDataInsideDevice(std::span<const DeviceRange> deviceRanges, const char* action);
  // True when the programmer stopped answering during the current cycle.
  bool LinkLost() const;
  // Ends the running operation at its next transfer: it reports failure, leaves programming
  // mode and closes the programmer (see CPICVortang::RequestStop). Only stores an atomic flag,
  // so a signal handler may call it; later operations of this document end the same way.
  void RequestStop();

  // Resets and identifies the programmer: its firmware version, or why there is none (the
  // banner's last line).
  std::string ProgrammerStatusLine();

  // --- Tracing (suspended around every operation) -------------------------------------------
  // Opens the link and starts the trace reader, which logs the target's trace records until
  // StopTracing. While an operation runs nothing happens here: the operation's end starts
  // tracing when `trace` is 1.
  void StartTracing();
  // Ends the trace reader (waiting for it) and closes the link. While an operation runs nothing
  // happens here: the operation has suspended tracing, and `trace` decides about its return.
  void StopTracing();
  // The view changed `suppressTrace`: the running trace holds back or shows its output again.
  void ToggleTraceSuppression();
  // Reads the trace definition file named by `traceDefinitionFile` (none: no definitions).
  void LoadTraceDefinitions();
  // Reads it again when its name or its modification time changed; true when it did.
  bool ReloadTraceDefinitionsIfChanged();
  std::shared_ptr<const std::vector<TraceDefinition>> TraceDefinitions() const;
  // The receive buffer the trace reader reads into: the link's reply buffer, or fewer bytes of
  // it when set (at least one whole record).
  size_t traceReceiveBytes = 0;

  // --- Frequency measurement -------------------------------------------------------------------
  // Measures the target's clock through the full programmer and logs it with its judgement;
  // run through StartOperation. lastOutcome: kSuccess when a clock was measured.
  void RunMeasureFrequency();
  // The busy guard, then RunMeasureFrequency on the worker; false when nothing started.
  bool StartMeasureFrequency();

  // --- Script runs ------------------------------------------------------------------------------
  // Runs the host sub "#" + `zeqRunFunctionName` of the compiled script with the script view's
  // options as the variables "_LVP" ... "_ignoreConfigFromHex" and the HEX files in the file
  // slots; run through StartOperation. lastOutcome: kSuccess when the sub ran to its end (or
  // `exit`), kFailed when it aborted, did not exist or the link was lost.
  void RunScriptFunction();
  // The busy guard, then RunScriptFunction for the host sub `name` (without its '#') on the
  // worker; false when nothing started.
  bool StartScriptFunction(const std::string& name);
  // A status record of a running script: record kind 0x36 sets the bar's caption, colours and
  // position (negative: the maximum); other kinds are ignored.
  void OnScriptStatus(const ScriptStatus& status);

  // --- Data monitor (the PIC18 view's) ---------------------------------------------------------
  // Runs `monitorStep` in a cycle of its own unless the monitor already ran since the flag was
  // last cleared; run through StartOperation.
  void RunDataMonitor(const std::function<void()>& monitorStep);
  std::atomic<int32_t> dataMonitorRunning{0};

  // Called at the end of every operation so the front end refreshes its device controls.
  void SetRefreshViewHandler(std::function<void()> handler);
  void RefreshView();

  IClock& Clock() { return clock_; }
  IUserPrompt& Prompt() { return prompt_; }

  // --- Members that are not stored ------------------------------------------------------------
  CqelLog operationLog;
  CqelProgressBar progressBar;
  std::unique_ptr<CPICVortang> programmer;
  // The ZEQL engine (scripts read and compiled into it, attached to the link) and the executor
  // of its host subs.
  std::unique_ptr<CZEQLEngine> scriptEngine;
  std::unique_ptr<CZEQLExecutor> scriptExecutor;
  // The USB product description by which the programmer's FT232 is opened.
  const char* const usbDescription;
  std::atomic<OperationOutcome> lastOutcome{OperationOutcome::kNotStarted};

  int32_t fastVerify = 0;
  int32_t noVerify = 0;
  int32_t usesMiniProgrammer = 0;
  std::atomic<int32_t> traceState{trace_state::kIdle};
  std::atomic<int32_t> lastOperationFailed{1};
  bool bannerPending = true;  // the first view logs the program banner once
  std::atomic<bool> busyMessageShowing{false};

  // Tracing.
  int32_t traceDefinitionCount = 0;
  int32_t pendingTraceBytes = 0;
  DisplayFont displayFont;

 private:
  static void LinkProgressThunk(void* document);
  void RunWithTracingSuspended(const std::function<void()>& operation);
  void BeginTracing();
  // Stops the reader and closes the link; false when tracing was not on.
  bool EndTracing();
  void RunTrace(uint8_t pullUp);
  void PollTrace();
  void FollowSuppression(bool& suppressed);
  std::span<uint8_t> ReceiveBuffer() const;

  // The script engine's log: the document's.
  class ScriptLogSink final : public ILogSink {
   public:
    explicit ScriptLogSink(CqelLog& log) : log_(log) {}
    void LogLine(std::string_view text, bool withTime) override { log_.LogLine(text, withTime); }
    void ReplaceLastLogLine(std::string_view text) override { log_.ReplaceLastLogLine(text); }

   private:
    CqelLog& log_;
  };
  void SetScriptOptionVariables();
  void TakeOverAlgorithmName();
  ScriptLogSink scriptLog_{operationLog};

  IClock& clock_;
  IUserPrompt& prompt_;
  ISettingsStore* settingsStore_;
  mutable std::mutex pathMutex_;
  std::filesystem::path pathName_;
  std::mutex refreshMutex_;
  std::function<void()> refreshView_;
  std::map<Family, std::unique_ptr<IFamilyOperations>> families_;

  // Tracing: transitions are serialised; the reader thread owns the link while it runs.
  std::mutex traceMutex_;
  std::thread traceReader_;
  std::atomic<bool> traceSuppressed_{false};
  bool traceLinkLostLogged_ = false;
  mutable std::mutex definitionsMutex_;
  std::shared_ptr<const std::vector<TraceDefinition>> traceDefinitions_;
  std::string traceDefinitionPath_;
  std::filesystem::file_time_type traceDefinitionTime_{};

  OperationRunner runner_;  // last member: joined first at destruction
};

}  // namespace velmora
