#include "engine/cqel_doc.h"

#include <fstream>

#include "engine/text_format.h"
#include "link/pic_vortang.h"
#include "link/programmer_identity.h"
#include "script/zeql_engine.h"
#include "script/zeql_executor.h"

namespace velmora {

namespace {
constexpr const char* kUntitledPreset = "Untitled Preset";
constexpr int kFailureBlinks = 6;
constexpr uint32_t kBlinkMilliseconds = 250;
}  // namespace

CqelDoc::CqelDoc(const CqelDocServices& services)
    : operationLog(services.clock),
      programmer(std::make_unique<CPICVortang>(services.prompt, services.clock,
                                               services.driverLibraryPath)),
      usbDescription(kProgrammerDescription),
      clock_(services.clock),
      prompt_(services.prompt),
      settingsStore_(services.settingsStore) {
  programmer->progressCallback = &CqelDoc::LinkProgressThunk;
  programmer->progressArgument = this;
  scriptEngine = std::make_unique<CZEQLEngine>(scriptLog_, prompt_);
  scriptEngine->SetProgrammer(programmer.get());
  programmer->scriptHost = scriptEngine.get();
  scriptExecutor = std::make_unique<CZEQLExecutor>(*scriptEngine, scriptLog_, prompt_, clock_);
  scriptExecutor->SetStatusReceiver([this](const ScriptStatus& status) { OnScriptStatus(status); });
  if (settingsStore_) LoadSettings(*settingsStore_);
}

void CqelDoc::LinkProgressThunk(void* document) {
  static_cast<CqelDoc*>(document)->OnLinkProgress();
}

CqelDoc::~CqelDoc() {
  // A script that never ends would keep the program from closing.
  scriptExecutor->RequestAbort();
  try {
    runner_.Wait();
  } catch (...) {
    // The document is going away; what escaped the last operation has no one to go to.
  }
  EndTracing();
  if (settingsStore_) SaveSettings(*settingsStore_);
}

void CqelDoc::LoadSettings(const ISettingsStore& store) {
  velmora::LoadSettings(store, *this);
  traceState = trace_state::kIdle;
  pendingTraceBytes = 0;
  LoadTraceDefinitions();
}

void CqelDoc::SaveSettings(ISettingsStore& store) const {
  velmora::SaveSettings(store, *this);
}

bool CqelDoc::SavePreset(const std::filesystem::path& path) {
  // A preset stores nothing; it only gives the document a name.
  std::ofstream file(path, std::ios::binary | std::ios::trunc);
  if (!file) return false;
  file.close();
  {
    std::lock_guard lock(pathMutex_);
    pathName_ = path;
  }
  operationLog.SetPathName(path);
  return true;
}

bool CqelDoc::OpenPreset(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return false;
  {
    std::lock_guard lock(pathMutex_);
    pathName_ = path;
  }
  operationLog.SetPathName(path);
  return true;
}

void CqelDoc::NewPreset() {
  {
    std::lock_guard lock(pathMutex_);
    pathName_.clear();
  }
  operationLog.SetPathName({});
}

std::filesystem::path CqelDoc::PathName() const {
  std::lock_guard lock(pathMutex_);
  return pathName_;
}

std::string CqelDoc::Title() const {
  const std::filesystem::path path = PathName();
  return path.empty() ? kUntitledPreset : path.filename().string();
}

void CqelDoc::SetProgressPhase(int32_t start, int32_t span) {
  programmer->progressPerMille = 0;
  progressBar.SetPhase(start, span);
}

void CqelDoc::OnLinkProgress() {
  progressBar.ShowCounter(programmer->progressPerMille);
}

void CqelDoc::ResetBarColours() {
  progressBar.SetColours(colour::kDefaultBar, colour::kWhite, colour::kBlack);
}

void CqelDoc::ShowSuccess() {
  progressBar.Update([](ProgressBarState& s) {
    s.barColour = colour::kGreen;
    s.filledTextColour = colour::kBlack;
    s.emptyTextColour = colour::kBlack;
    s.caption = "Success";
    s.position = s.maximum;
  });
  lastOperationFailed = 0;
}

void CqelDoc::ShowFailure() {
  for (int cycle = 0; cycle < kFailureBlinks; ++cycle) {
    progressBar.Update([cycle](ProgressBarState& s) {
      s.barColour = colour::kRed;
      s.filledTextColour = colour::kWhite;
      s.emptyTextColour = colour::kWhite;
      s.caption = cycle % 2 ? "Fail" : "";
      s.position = s.maximum;
    });
    clock_.Sleep(kBlinkMilliseconds);
  }
  lastOperationFailed = 1;
}

void CqelDoc::ShowDeviceNotFound(const std::string& caption) {
  progressBar.Update([&](ProgressBarState& s) {
    s.barColour = colour::kDefaultBar;
    s.filledTextColour = colour::kWhite;
    s.emptyTextColour = colour::kWhite;
    s.caption = caption;
  });
  SetProgressPhase(1000, 0);
}

bool CqelDoc::IsBusy() {
  // While tracing, the trace reader holds the link open; operations may still start. A stop in
  // progress is busy: the stopper still owns the link.
  const int32_t state = traceState;
  const bool linkHeld = state == trace_state::kIdle && programmer->ftHandle != nullptr;
  const bool stopping = state == trace_state::kStopRequested;
  if (!OperationRunning() && !linkHeld && !stopping) return false;
  // Only one box at a time; further commands while it shows are dropped silently.
  if (busyMessageShowing.exchange(true)) return true;
  prompt_.MessageBox("Programmer is busy...\nCannot continue!", "Programmer Info", mb::kInfoAlert);
  busyMessageShowing = false;
  return true;
}

bool CqelDoc::StartCommand(IFamilyOperations& operations, const FamilyCommand& command) {
  lastOutcome = OperationOutcome::kNotStarted;
  if (IsBusy()) return false;
  // The view's stored controls reach the link here.
  programmer->powerSwitchingMode = powerSwitching;
  if (!operations.Prepare(command.id)) return false;
  auto operation = [&operations, id = command.id] { operations.Run(id); };
  return command.onWorker ? StartOperation(operation) : RunOperation(operation);
}

IFamilyOperations* CqelDoc::FamilyOperations(Family family) const {
  const auto it = families_.find(family);
  return it == families_.end() ? nullptr : it->second.get();
}

IFamilyOperations& CqelDoc::AdoptFamilyOperations(Family family,
                                                  std::unique_ptr<IFamilyOperations> operations) {
  auto& slot = families_[family];
  slot = std::move(operations);
  return *slot;
}

bool CqelDoc::OpenOperationLink() {
  if (!programmer->Open(usbDescription, usesMiniProgrammer)) {
    lastOutcome = OperationOutcome::kNoProgrammer;
    return false;
  }
  ResetBarColours();
  return true;
}

void CqelDoc::CloseOperationLink() {
  // The family has told a lost link; this says what it really was.
  if (programmer->Stopped()) LogLine("+++ Stopped: programming mode left, programmer closed +++");
  programmer->Close();
}

bool CqelDoc::ConfirmDataInsideDevice(std::span<const DeviceRange> deviceRanges,
                                      const char* action) {
  const CMCUMemoryArchitecture& file = programmer->fileImage;
  const DataOutside outside = FindDataOutside(file, deviceRanges);
  if (outside.bytes == 0) return true;
  const std::string where = Printf("%llu bytes of the HEX file lie outside the %s: %s",
                                   static_cast<unsigned long long>(outside.bytes), file.deviceName,
                                   DescribeRuns(outside).c_str());
  LogLine("+++ " + where + " +++");
  const Answer answer =
      prompt_.MessageBox(where + ".\nThe device cannot hold them. " + action + " the rest anyway?",
                         "Data Outside Device", mb::kYesNo | mb::kInfoAlert);
  if (answer != Answer::Yes) return false;
  LogLine("Data outside the device left out, as confirmed");
  return true;
}

bool CqelDoc::LinkLost() const {
  return programmer->linkLost;
}

void CqelDoc::RequestStop() {
  programmer->RequestStop();
  scriptExecutor->RequestAbort();
}

std::string CqelDoc::ProgrammerStatusLine() {
  if (programmer->Open(usbDescription, 0)) programmer->Close();
  return programmer->statusText;
}

bool CqelDoc::StartOperation(std::function<void()> operation) {
  return runner_.StartOnWorker(
      [this, operation = std::move(operation)] { RunWithTracingSuspended(operation); });
}

bool CqelDoc::RunOperation(const std::function<void()>& operation) {
  return runner_.RunHere([&] { RunWithTracingSuspended(operation); });
}

void CqelDoc::SetRefreshViewHandler(std::function<void()> handler) {
  std::lock_guard lock(refreshMutex_);
  refreshView_ = std::move(handler);
}

void CqelDoc::RefreshView() {
  std::lock_guard lock(refreshMutex_);
  if (refreshView_) refreshView_();
}

}  // namespace velmora
