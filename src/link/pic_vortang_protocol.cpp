// Transfers with the lost-link rule, power switching, and the entry and exit sequences of
// every target family.
#include <algorithm>
#include <cstring>
#include <iterator>

#include "link/pic_vortang.h"
#include "link/power_modes.h"

namespace velmora {

namespace {

constexpr uint8_t kPowerOnByte = 0x08;
constexpr uint8_t kPowerOffByte = 0x09;
constexpr uint8_t kSyncReply = 'S';
constexpr uint8_t kAvrEnable = 0x2E;
constexpr uint8_t kHighVoltageSerialEnable = 0x3C;
constexpr int kLastAvrAttempt = 33;  // attempts 0..33: at most 34 enables

constexpr LinkStep Byte(uint8_t value) {
  return {LinkStepKind::kByte, value};
}
constexpr LinkStep Wait(uint16_t milliseconds) {
  return {LinkStepKind::kSleep, milliseconds};
}
constexpr LinkStep kOff{LinkStepKind::kPowerOff};
constexpr LinkStep kOn{LinkStepKind::kPowerOn};
constexpr LinkStep kOnAfter{LinkStepKind::kPowerOnAfterProgramming};

// PIC18 entry, full programmer. Only the high-voltage entry drives line 0x00; only the
// low-voltage entry drives 0x0D and 0x12 (PGM) and starts with 0x17 instead of 0x16.
constexpr LinkStep kPic18EnterHighVoltage[] = {
    kOff,       Byte(0x15), Byte(0x0A), Byte(0x05), Byte(0x02), Byte(0x00), Byte(0x06), Byte(0x0F),
    Byte(0x11), Byte(0x13), Byte(0x14), Wait(20),   kOn,        Byte(0x16), Wait(10)};
constexpr LinkStep kPic18EnterLowVoltage[] = {
    kOff,       Byte(0x15), Byte(0x0A), Byte(0x05), Byte(0x02), Byte(0x06), Byte(0x0D), Byte(0x0F),
    Byte(0x11), Byte(0x12), Byte(0x13), Byte(0x14), Wait(20),   kOn,        Byte(0x17), Wait(10)};
constexpr LinkStep kPic18Leave[] = {Byte(0x02), Byte(0x05), Byte(0x0D), Byte(0x15), Wait(3),   kOff,
                                    Byte(0x01), Byte(0x07), Byte(0x03), kOnAfter,   Byte(0x0B)};
// ATmega serial programming enable, up to the 0x2E whose reply is read.
constexpr LinkStep kAvrEnableSteps[] = {kOff, Byte(0x0A), kOn, Byte(0x06), Byte(kAvrEnable)};
constexpr LinkStep kAvrReset[] = {Byte(0x15), Byte(0x03), kOff, kOnAfter, Byte(0x0B)};
constexpr LinkStep kHighVoltageSerialEnter[] = {kOff, Byte(0x0A), Byte(0x00), kOn,
                                                Byte(kHighVoltageSerialEnable)};
constexpr LinkStep kHighVoltageSerialLeave[] = {kOff,       Byte(0x05), Byte(0x02), Byte(0x01),
                                                Byte(0x15), Byte(0x03), Byte(0x0B), kOnAfter};
constexpr LinkStep kPic12Enter[] = {Byte(0x0A), kOff,       Byte(0x05), Byte(0x00),
                                    Byte(0x02), Byte(0x06), Byte(0x0F), Byte(0x11),
                                    Byte(0x13), Byte(0x14), Byte(0x16), kOn};
constexpr LinkStep kPic12Leave[] = {kOff,       Byte(0x05), Byte(0x02), Byte(0x01), Byte(0x07),
                                    Byte(0x02), Byte(0x15), Byte(0x03), kOnAfter,   Byte(0x0B)};
constexpr LinkStep kHighVoltagePulse[] = {Byte(0x0A), Byte(0x05), Byte(0x02), Byte(0x00),
                                          Byte(0x06), Byte(0x0F), Byte(0x11), Byte(0x13),
                                          Byte(0x14), Byte(0x48), Wait(1000)};

// Relay delay in milliseconds for each pair of relay modes (mode / 2).
bool IsRelayMode(int mode) {
  return PowerModeAt(mode).kind == PowerKind::kRelay;
}
bool IsManualMode(int mode) {
  return PowerModeAt(mode).kind == PowerKind::kManual;
}

}  // namespace

// ---- Transfers -------------------------------------------------------------------------------

void CPICVortang::ResetCursors() {
  sampleWriteCursor = 0;
  sampleSendCursor = 0;
  readResultCursor = 0;
  pendingReadCommands = 0;
  bufferOverflow = false;
}

bool CPICVortang::EnsureSampleRoom(size_t count) {
  if (kSampleBufferSize - sampleWriteCursor >= count) return true;
  // Samples already sent are not needed again: move the unsent ones to the front.
  if (sampleSendCursor > 0) {
    std::memmove(sampleBuffer.get(), sampleBuffer.get() + sampleSendCursor,
                 sampleWriteCursor - sampleSendCursor);
    sampleWriteCursor -= sampleSendCursor;
    sampleSendCursor = 0;
    if (kSampleBufferSize - sampleWriteCursor >= count) return true;
  }
  bufferOverflow = true;
  return false;
}

void CPICVortang::AppendByte(uint8_t value) {
  if (EnsureSampleRoom(1)) sampleBuffer[sampleWriteCursor++] = value;
}

void CPICVortang::AppendLittleEndian(uint32_t value, int byteCount) {
  for (int i = 0; i < byteCount; ++i) AppendByte(static_cast<uint8_t>(value >> (8 * i)));
}

bool CPICVortang::TransferAllowed() {
  if (!linkLost && !releasing_ && stopRequested_.load()) {
    linkLost = true;
    stopped_ = true;
  }
  return !linkLost;
}

// Lets the leave sequence of a cycle that a stop request ended reach the target; afterwards
// the link counts as lost again (or for real, when it was lost on the way out).
class ReleaseAfterStop {
 public:
  explicit ReleaseAfterStop(CPICVortang& link)
      : link_(link), active_(link.stopped_ && link.linkLost && !link.releasing_) {
    if (!active_) return;
    link_.linkLost = false;
    link_.releasing_ = true;
  }
  ~ReleaseAfterStop() {
    if (!active_) return;
    link_.releasing_ = false;
    link_.linkLost = true;
  }
  ReleaseAfterStop(const ReleaseAfterStop&) = delete;
  ReleaseAfterStop& operator=(const ReleaseAfterStop&) = delete;

 private:
  CPICVortang& link_;
  const bool active_;
};

bool CPICVortang::WriteRaw(const uint8_t* bytes, size_t count) {
  const FT_HANDLE handle = ftHandle.load();
  if (!TransferAllowed() || !handle || !driverBound_) {
    linkLost = true;
    return false;
  }
  uint32_t written = 0;
  const uint32_t wanted = static_cast<uint32_t>(count);
  if (ft.FT_Write(handle, const_cast<uint8_t*>(bytes), wanted, &written) != FT_OK ||
      written != wanted) {
    linkLost = true;
    return false;
  }
  return true;
}

bool CPICVortang::WriteAppended(size_t maxPerWrite) {
  if (bufferOverflow) return false;
  while (sampleSendCursor < sampleWriteCursor) {
    const size_t chunk = std::min(maxPerWrite, sampleWriteCursor - sampleSendCursor);
    if (!WriteRaw(sampleBuffer.get() + sampleSendCursor, chunk)) return false;
    sampleSendCursor += chunk;
  }
  return true;
}

bool CPICVortang::WriteCommandBytes(std::span<const uint8_t> bytes) {
  return WriteRaw(bytes.data(), bytes.size());
}

bool CPICVortang::WriteCommandBytes(std::initializer_list<uint8_t> bytes) {
  return WriteRaw(bytes.begin(), bytes.size());
}

bool CPICVortang::WriteCommandByte(uint8_t value) {
  return WriteRaw(&value, 1);
}

const uint8_t* CPICVortang::ReadReply(size_t count) {
  const FT_HANDLE handle = ftHandle.load();
  if (!TransferAllowed() || !handle || !driverBound_ ||
      kReplyBufferSize - readResultCursor < count) {
    linkLost = true;
    return nullptr;
  }
  uint8_t* destination = replyBuffer.get() + readResultCursor;
  if (count > 0) {
    uint32_t received = 0;
    const uint32_t wanted = static_cast<uint32_t>(count);
    // The read timeout bounds the wait; fewer bytes than asked means the firmware is gone.
    if (ft.FT_Read(handle, destination, wanted, &received) != FT_OK || received != wanted) {
      linkLost = true;
      return nullptr;
    }
  }
  readResultCursor += count;
  return destination;
}

int64_t CPICVortang::ReadQueued(uint8_t* destination, size_t room) {
  const FT_HANDLE handle = ftHandle.load();
  if (linkLost || !handle || !driverBound_) {
    linkLost = true;
    return -1;
  }
  uint32_t queued = 0;
  uint32_t sending = 0;
  uint32_t events = 0;
  if (ft.FT_GetStatus(handle, &queued, &sending, &events) != FT_OK) {
    linkLost = true;
    return -1;
  }
  const auto wanted = static_cast<uint32_t>(std::min<size_t>(queued, room));
  if (wanted == 0) return 0;
  uint32_t received = 0;
  if (ft.FT_Read(handle, destination, wanted, &received) != FT_OK || received != wanted) {
    linkLost = true;
    return -1;
  }
  return received;
}

void CPICVortang::ReportProgress(int32_t perMille) {
  progressPerMille = perMille;
  if (progressCallback) progressCallback(progressArgument);
}

bool CPICVortang::RunSequence(std::span<const LinkStep> steps) {
  for (const LinkStep& step : steps) {
    if (linkLost) return false;
    switch (step.kind) {
      case LinkStepKind::kByte:
        WriteCommandByte(static_cast<uint8_t>(step.value));
        break;
      case LinkStepKind::kPowerOff:
        PowerOff();
        break;
      case LinkStepKind::kPowerOn:
        PowerOn();
        break;
      case LinkStepKind::kPowerOnAfterProgramming:
        PowerOnAfterProgramming();
        break;
      case LinkStepKind::kSleep:
        clock_.Sleep(step.value);
        break;
    }
  }
  return !linkLost;
}

// ---- Power switching -------------------------------------------------------------------------

int CPICVortang::RelayDelay() const {
  return PowerModeAt(powerSwitchingMode).relayMilliseconds;
}

void CPICVortang::PowerOff() {
  if (IsManualMode(powerSwitchingMode)) {
    prompt_.MessageBox("Switch power off and click OK", "User Action Requiered: OFF",
                       mb::kInfoAlert);
    return;
  }
  WriteCommandByte(kPowerOffByte);
  if (IsRelayMode(powerSwitchingMode)) clock_.Sleep(static_cast<uint32_t>(RelayDelay()));
}

void CPICVortang::PowerOn() {
  if (IsManualMode(powerSwitchingMode)) {
    prompt_.MessageBox("Switch power on and click OK", "User Action Requiered: ON", mb::kInfoAlert);
    return;
  }
  if (!IsRelayMode(powerSwitchingMode)) return;
  WriteCommandByte(kPowerOnByte);
  clock_.Sleep(static_cast<uint32_t>(RelayDelay()));
}

void CPICVortang::PowerOnAfterProgramming() {
  // Odd relay modes leave the target powered after programming.
  if (!IsRelayMode(powerSwitchingMode) || !PowerModeAt(powerSwitchingMode).onAfterProgramming) {
    return;
  }
  WriteCommandByte(kPowerOnByte);
  clock_.Sleep(static_cast<uint32_t>(RelayDelay()));
}

// ---- Entry and exit sequences ----------------------------------------------------------------

int CPICVortang::EnterProgrammingMode(int lowVoltage) {
  if (firmwareMode == 1) {
    RunSequence(lowVoltage ? std::span<const LinkStep>(kPic18EnterLowVoltage)
                           : std::span<const LinkStep>(kPic18EnterHighVoltage));
    return 0;
  }
  // Mini programmer: MCLR/VPP (D7), with PGM (D6) for the low-voltage entry.
  pinsReset = 0x00;
  pinsProgramming = lowVoltage ? 0xC0 : 0x80;
  WriteCommandByte(pinsReset);
  clock_.Sleep(1);
  WriteCommandByte(pinsProgramming);
  clock_.Sleep(1);
  return 0;
}

int CPICVortang::LeaveProgrammingMode() {
  const ReleaseAfterStop release(*this);
  if (firmwareMode == 1) {
    RunSequence(kPic18Leave);
    return 0;
  }
  for (uint8_t pins : {pinsProgramming, pinsReset, pinsReleased}) {
    WriteCommandByte(pins);
    clock_.Sleep(1);
  }
  return 0;
}

int CPICVortang::EnterSerialProgramming(int attempt) {
  for (;; ++attempt) {
    const uint8_t* reply = RunSequence(kAvrEnableSteps) ? ReadReply(1) : nullptr;
    if (reply && reply[0] == kSyncReply) {
      avrInSync = 1;
      return 1;
    }
    // A lost link ends the retries at once: nothing would answer them.
    if (!reply || attempt >= kLastAvrAttempt) {
      avrInSync = 0;
      return 0;
    }
    ResetAvr();
  }
}

int CPICVortang::ResetAvr() {
  return RunSequence(kAvrReset) ? 1 : 0;
}

int CPICVortang::EnterHighVoltageSerial() {
  const uint8_t* reply = RunSequence(kHighVoltageSerialEnter) ? ReadReply(1) : nullptr;
  return reply && reply[0] == kSyncReply ? 1 : 0;
}

int CPICVortang::LeaveHighVoltageSerial() {
  const ReleaseAfterStop release(*this);
  return RunSequence(kHighVoltageSerialLeave) ? 1 : 0;
}

int CPICVortang::EnterPic12Mode() {
  return RunSequence(kPic12Enter) ? 1 : 0;
}

int CPICVortang::LeavePic12Mode() {
  const ReleaseAfterStop release(*this);
  return RunSequence(kPic12Leave) ? 1 : 0;
}

int CPICVortang::HighVoltagePulse() {
  return RunSequence(kHighVoltagePulse) && ResetAvr() ? 1 : 0;
}

}  // namespace velmora
