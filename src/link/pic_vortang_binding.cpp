// Driver binding, Open, Close and the firmware handshake.
#include <algorithm>
#include <cstdlib>

#include "link/pic_vortang.h"
#include "link/programmer_identity.h"

namespace velmora {

namespace {

constexpr uint8_t kProbe = 0x20;        // answered with the length of the version text
constexpr uint8_t kVersionText = 0x57;  // "W": answered with the version text
constexpr uint8_t kBitBangOutputs = 0xFC;
constexpr uint8_t kLatencyMilliseconds = 1;
constexpr uint32_t kUsbInTransferSize = 65536;

template <typename Function>
bool Resolve(const DynamicLibrary& library, const char* name, Function& slot) {
  void* symbol = library.Symbol(name);
  if (!symbol) return false;
  slot = reinterpret_cast<Function>(symbol);
  return true;
}

DriverLookup DefaultLookup(const std::string& driverPath) {
  return {DriverLibraryCandidates(driverPath, std::getenv("VELMORA_D2XX"), ExecutableDirectory())};
}

}  // namespace

CPICVortang::CPICVortang(IUserPrompt& prompt, IClock& clock, const std::string& driverPath)
    : CPICVortang(prompt, clock, DefaultLookup(driverPath)) {}

CPICVortang::CPICVortang(IUserPrompt& prompt, IClock& clock, const DriverLookup& lookup)
    : sampleBuffer(std::make_unique_for_overwrite<uint8_t[]>(kSampleBufferSize)),
      replyBuffer(std::make_unique_for_overwrite<uint8_t[]>(kReplyBufferSize)),
      prompt_(prompt),
      clock_(clock) {
  fileImage.Clear();
  chipImage.Clear();
  Bind(lookup);
}

CPICVortang::~CPICVortang() {
  Close();
}

void CPICVortang::Bind(const DriverLookup& lookup) {
  for (const std::string& name : lookup.candidates) {
    driverLibrary = DynamicLibrary::Load(name);
    if (driverLibrary) {
      driverLibraryName = name;
      break;
    }
  }
  if (!driverLibrary) {
    prompt_.MessageBox(
        std::string("Failed to load FTDI library...\nVelmora cannot be executed without "
                    "preinstalled drivers for FT232 USB controller.\n\nYou can download FT232 "
                    "drivers from ") +
            kDriverVendorWebsite + " website.",
        "Installation error...", mb::kOk);
    return;
  }
  // In this order, stopping at the first that is missing.
  const DynamicLibrary& l = driverLibrary;
  driverBound_ =
      Resolve(l, "FT_Close", ft.FT_Close) && Resolve(l, "FT_GetStatus", ft.FT_GetStatus) &&
      Resolve(l, "FT_OpenEx", ft.FT_OpenEx) && Resolve(l, "FT_Purge", ft.FT_Purge) &&
      Resolve(l, "FT_Read", ft.FT_Read) && Resolve(l, "FT_ResetDevice", ft.FT_ResetDevice) &&
      Resolve(l, "FT_SetBaudRate", ft.FT_SetBaudRate) &&
      Resolve(l, "FT_SetBitMode", ft.FT_SetBitMode) &&
      Resolve(l, "FT_SetDataCharacteristics", ft.FT_SetDataCharacteristics) &&
      Resolve(l, "FT_SetFlowControl", ft.FT_SetFlowControl) &&
      Resolve(l, "FT_SetLatencyTimer", ft.FT_SetLatencyTimer) &&
      Resolve(l, "FT_SetRts", ft.FT_SetRts) && Resolve(l, "FT_SetTimeouts", ft.FT_SetTimeouts) &&
      Resolve(l, "FT_SetUSBParameters", ft.FT_SetUSBParameters) &&
      Resolve(l, "FT_Write", ft.FT_Write);
  if (!driverBound_) {
    // Without every entry point the driver counts as not installed: Open never calls into it.
    prompt_.MessageBox("Error", "Error...", mb::kOk);
  }
}

void CPICVortang::SetStatusText(const std::string& text) {
  statusText = text.substr(0, kStatusTextCapacity);
}

int CPICVortang::Open(const char* description, int miniProgrammer) {
  firmwareMode = miniProgrammer ? 0 : 1;
  pinsReleased = 0x8C;
  linkLost = false;
  stopped_ = false;
  ResetCursors();

  if (!driverBound_) {
    prompt_.MessageBox("Please install FT232 USB driver.", "Installation error", mb::kErrorAlert);
    SetStatusText("Firmware: USB driver not installed. Cannot communicate.");
    return 0;
  }

  FT_HANDLE handle = nullptr;
  if (ft.FT_OpenEx(const_cast<char*>(description), FT_OPEN_BY_DESCRIPTION, &handle) != FT_OK ||
      handle == nullptr) {
    prompt_.MessageBox(
        "Cannot open programmer...\nPlease check if programming device is connected properly!",
        "Programmer Error", mb::kErrorAlert);
    SetStatusText("Firmware: No programmer found!");
    return 0;
  }
  ftHandle = handle;
  if (scriptHost != nullptr) scriptHost->OnProgrammerOpened();

  // Configuration results are not checked: a dead link shows in the first transfer.
  ft.FT_ResetDevice(handle);
  ft.FT_SetLatencyTimer(handle, kLatencyMilliseconds);
  ft.FT_SetUSBParameters(handle, kUsbInTransferSize, 0);

  if (firmwareMode == 1) {
    ft.FT_SetDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_2, FT_PARITY_NONE);
    ft.FT_SetBaudRate(handle, kFullProgrammerBaud);
    ft.FT_SetFlowControl(handle, FT_FLOW_RTS_CTS, 0, 0);
    ft.FT_SetRts(handle);
    ft.FT_ResetDevice(handle);
    return Handshake();
  }

  ft.FT_SetBaudRate(handle, static_cast<uint32_t>(bitBangBaud));
  // The bit-bang clock runs at 16 x baud. At least 1, so sample counts never divide by zero
  // when a faster rate is set.
  const int64_t samplesPerSecond = static_cast<int64_t>(bitBangBaud) * 16;
  microsecondsPerSample =
      samplesPerSecond > 0
          ? std::max<int32_t>(1, static_cast<int32_t>(1'000'000 / samplesPerSecond))
          : 1;
  ft.FT_SetBitMode(handle, kBitBangOutputs, FT_BITMODE_ASYNC_BITBANG);
  return 1;
}

int CPICVortang::Close() {
  const FT_HANDLE handle = ftHandle.load();
  if (handle && driverBound_) {
    ft.FT_SetBitMode(handle, 0, FT_BITMODE_RESET);
    ft.FT_Close(handle);
  }
  ftHandle = nullptr;
  return 1;
}

uint8_t CPICVortang::ProbeFirmware() {
  if (!WriteCommandByte(kProbe)) return 0;
  const FT_HANDLE handle = ftHandle.load();
  ft.FT_SetTimeouts(handle, kProbeTimeoutMilliseconds, kReplyTimeoutMilliseconds);
  uint8_t length = 0;
  uint32_t received = 0;
  // A byte that did not arrive in time counts as 0 (no firmware); a failing read is a lost link.
  if (ft.FT_Read(handle, &length, 1, &received) != FT_OK) linkLost = true;
  ft.FT_SetTimeouts(handle, kReplyTimeoutMilliseconds, kReplyTimeoutMilliseconds);
  return received == 1 && !linkLost ? length : 0;
}

int CPICVortang::Handshake() {
  uint8_t length = 0;
  for (int attempt = 0; attempt < 2 && length == 0 && !linkLost; ++attempt) {
    length = ProbeFirmware();
  }
  if (length != 0 && WriteCommandByte(kVersionText)) {
    if (const uint8_t* text = ReadReply(length)) {
      std::string version(reinterpret_cast<const char*>(text), length);
      SetStatusText(version.substr(0, version.find('\0')));
      return 1;
    }
  }
  // A processor that answers nothing is missing its firmware; a transfer that failed or came
  // back short means the cable or the FT232 went away, and the firmware is not to blame.
  if (linkLost) {
    SetStatusText("Firmware: Connection to the programmer lost!");
    prompt_.MessageBox(
        "Connection to the programmer lost...\nPlease check the USB connection and try again!",
        "Programmer Error", mb::kErrorAlert);
  } else {
    SetStatusText("Firmware is missing.");
    prompt_.MessageBox("Processor doesn't answer...\nPlease check firmware!", "Programmer Error",
                       mb::kErrorAlert);
  }
  Close();
  return 0;
}

int CPICVortang::IsBusy() {
  if (ftHandle.load() == nullptr) return 0;
  bool expected = false;
  if (busyMessageShowing.compare_exchange_strong(expected, true)) {
    prompt_.MessageBox("Programmer is busy...\nCannot continue!", "Programmer Info",
                       mb::kInfoAlert);
    busyMessageShowing = false;
  }
  return 1;
}

}  // namespace velmora
