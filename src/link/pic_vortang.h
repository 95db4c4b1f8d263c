#pragma once
// CPICVortang: the programmer object. It binds the FT232 driver library at run time, opens the
// FT232 for one of the two programmer kinds (the full programmer with its own firmware, or the
// processor-less mini programmer driven pin by pin in bit-bang mode), talks the firmware's byte
// protocol, switches target power, and encodes and decodes the mini programmer's samples. The
// device primitives of every target family (src/families/<family>/) are classes over this link,
// built on the pieces declared here.
//
// Sources by topic: pic_vortang_binding.cpp (driver binding, Open, Close, handshake),
// pic_vortang_protocol.cpp (transfers, power switching, entry and exit sequences),
// pic_vortang_bitbang.cpp (sample encoder and decoder).
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "link/d2xx.h"
#include "link/dynamic_library.h"
#include "link/script_host.h"
#include "memory/memory_image.h"
#include "platform/clock.h"
#include "platform/user_prompt.h"

namespace velmora {

// The driver's entry points, in the order they are resolved.
struct D2xxEntryPoints {
  FT_Close_t FT_Close = nullptr;
  FT_GetStatus_t FT_GetStatus = nullptr;  // how many bytes are queued (the trace reader)
  FT_OpenEx_t FT_OpenEx = nullptr;
  FT_Purge_t FT_Purge = nullptr;
  FT_Read_t FT_Read = nullptr;
  FT_ResetDevice_t FT_ResetDevice = nullptr;
  FT_SetBaudRate_t FT_SetBaudRate = nullptr;
  FT_SetBitMode_t FT_SetBitMode = nullptr;
  FT_SetDataCharacteristics_t FT_SetDataCharacteristics = nullptr;
  FT_SetFlowControl_t FT_SetFlowControl = nullptr;
  FT_SetLatencyTimer_t FT_SetLatencyTimer = nullptr;
  FT_SetRts_t FT_SetRts = nullptr;
  FT_SetTimeouts_t FT_SetTimeouts = nullptr;
  FT_SetUSBParameters_t FT_SetUSBParameters = nullptr;
  FT_Write_t FT_Write = nullptr;
};

// The driver library names to try, first loadable wins (see DriverLibraryCandidates).
struct DriverLookup {
  std::vector<std::string> candidates;
};

// Called by long primitives after they set progressPerMille.
using ProgressCallback = void (*)(void* argument);

// One step of a power, entry or exit sequence.
enum class LinkStepKind : uint8_t { kByte, kPowerOff, kPowerOn, kPowerOnAfterProgramming, kSleep };
struct LinkStep {
  LinkStepKind kind;
  uint16_t value = 0;  // the byte, or the milliseconds of a sleep
};

class CPICVortang {
 public:
  static constexpr size_t kSampleBufferSize = 10'000'000;
  static constexpr size_t kReplyBufferSize = 1'000'000;
  static constexpr size_t kStatusTextCapacity = 255;
  static constexpr uint32_t kFullProgrammerBaud = 1'250'000;
  // The handshake's presence probe waits this long for the firmware's first byte.
  static constexpr uint32_t kProbeTimeoutMilliseconds = 1000;
  // Every later reply read and every write gives up after this long: well above the slowest
  // firmware reply, so only a dead link runs into it.
  static constexpr uint32_t kReplyTimeoutMilliseconds = 5000;
  static constexpr size_t kMaxSamplesPerWrite = 4096;
  static constexpr size_t kReadBackSamplesPerStep = 256;
  static constexpr uint32_t kReadBackStepBytes = 372;
  static constexpr uint32_t kReadBackFinalBytes = 5000;

  // Binds the driver library found through DriverLibraryCandidates: `driverPath` (when not
  // empty) first, then VELMORA_D2XX, then the standard names.
  CPICVortang(IUserPrompt& prompt, IClock& clock, const std::string& driverPath = {});
  // Binds the first loadable library of an explicit list.
  CPICVortang(IUserPrompt& prompt, IClock& clock, const DriverLookup& lookup);
  ~CPICVortang();
  CPICVortang(const CPICVortang&) = delete;
  CPICVortang& operator=(const CPICVortang&) = delete;

  // ---- Binding, open and close -------------------------------------------------------------

  // Opens the FT232 with the given USB description for the mini (1) or full (0) programmer;
  // for the full programmer the firmware handshake decides. 1 = open and ready, 0 = failed
  // (statusText says why, the user has been told).
  int Open(const char* description, int miniProgrammer);
  // Back to the FT232's reset mode, handle closed. Always 1.
  int Close();
  // True when the library is loaded and all fifteen entry points were resolved.
  bool DriverBound() const { return driverBound_; }

  // ---- Protocol ------------------------------------------------------------------------------

  // 1 while an operation holds the link (tells the user once), 0 when it is free.
  int IsBusy();

  int RelayDelay() const;
  void PowerOff();
  void PowerOn();
  void PowerOnAfterProgramming();

  // PIC18 (and dsPIC30) entry and exit, for both programmer kinds; they return 0.
  int EnterProgrammingMode(int lowVoltage);
  int LeaveProgrammingMode();
  // ATmega serial programming enable with retries; 1 when the target answered "S".
  int EnterSerialProgramming(int attempt);
  int ResetAvr();
  // ATtiny11/12; entry gives 1 when the target answered "S".
  int EnterHighVoltageSerial();
  int LeaveHighVoltageSerial();
  // PIC10F20x and PIC12F629.
  int EnterPic12Mode();
  int LeavePic12Mode();
  int HighVoltagePulse();
  // The sequences above return 1 (or their stated success) unless the link was lost.

  // ---- Stopping a cycle (a signal, the window closing) --------------------------------------
  //
  // A stop request ends the cycle at the next transfer: from there every transfer fails as
  // after a lost link (linkLost is set, so every sequence reports failure, never success, and
  // ends its cycle), except the leave sequences, which still go out so that the target is
  // released from programming mode. RequestStop only stores an atomic flag, so a signal
  // handler may call it.
  void RequestStop() { stopRequested_.store(true); }
  bool StopRequested() const { return stopRequested_.load(); }
  // True once a stop request ended the transfers of the current cycle.
  bool Stopped() const { return stopped_; }

  // The seams the device primitives use for their questions and waits.
  IUserPrompt& Prompt() { return prompt_; }
  IClock& Clock() { return clock_; }

  // ---- Building blocks for the device primitives --------------------------------------------
  //
  // A lost link (failed or short read, failed or short write) sets linkLost; from then on,
  // until the next Open, every transfer fails at once without touching the FT232, so all later
  // primitives of the cycle fail and Close still works.

  // Start of every primitive: empties the sample/command queue and the reply buffer and
  // clears pendingReadCommands.
  void ResetCursors();
  // Command assembly in sampleBuffer (also the bit-bang sample queue).
  void AppendByte(uint8_t value);
  void AppendLittleEndian(uint32_t value, int byteCount);
  // Writes the queued bytes not yet sent in FT_Write calls of at most `maxPerWrite` bytes.
  bool WriteAppended(size_t maxPerWrite = kMaxSamplesPerWrite);
  // Writes command bytes in one FT_Write.
  bool WriteCommandBytes(std::span<const uint8_t> bytes);
  bool WriteCommandBytes(std::initializer_list<uint8_t> bytes);
  bool WriteCommandByte(uint8_t value);
  // Reads exactly `count` reply bytes into replyBuffer at readResultCursor and advances it.
  // Returns the bytes, or nullptr when the link failed (linkLost is then set).
  const uint8_t* ReadReply(size_t count);
  // Reads what the FT232 has queued (FT_GetStatus tells how much), at most `room` bytes, into
  // `destination`, without waiting for more. The count read, or -1 when the link failed
  // (linkLost is then set).
  int64_t ReadQueued(uint8_t* destination, size_t room);
  // Sets progressPerMille and calls the progress callback when one is installed.
  void ReportProgress(int32_t perMille);
  // Runs a sequence of single bytes, power steps and sleeps; false when the link is lost.
  bool RunSequence(std::span<const LinkStep> steps);

  // ---- Mini programmer bit-bang --------------------------------------------------------------

  // Appends one 20-bit ICSP command (4 command bits, 16 data bits, least significant first).
  void QueueCommand(int command4, int dataHigh, int dataLow);
  // Appends the "start programming" NOP with the clock held high for the programming time.
  void QueueProgramHold();
  // Writes the queued samples; 1, or 0 when the link failed.
  int SendSamples();
  // Writes the queued samples at readBackBaud and decodes the captured pin states into
  // replyBuffer; 1, or 0 as soon as a read fails.
  int SendSamplesAndDecode();
  // The `count` bytes decoded into replyBuffer from offset `from` on, or nullptr when fewer
  // arrived: samples lost on the way back count as a lost link, like a short serial read.
  const uint8_t* DecodedReply(size_t from, size_t count);

  // ---- Link fields ---------------------------------------------------------------------------
  int32_t programHoldMicroseconds = 1000;
  int32_t readBackBaud = 20833;
  int32_t bitBangBaud = 62500;
  int32_t firmwareMode = 1;  // 1 = full programmer, 0 = mini programmer
  std::atomic<FT_HANDLE> ftHandle{nullptr};
  uint8_t pinsReset = 0x00;
  uint8_t pinsProgramming = 0x00;
  uint8_t pinsReleased = 0x8C;
  // Sample queue and command assembly buffer; offsets below index it. Samples already sent
  // may be dropped to make room, moving the unsent ones to the front.
  std::unique_ptr<uint8_t[]> sampleBuffer;
  size_t sampleWriteCursor = 0;
  size_t sampleSendCursor = 0;
  size_t readResultCursor = 0;  // into replyBuffer
  int32_t pendingReadCommands = 0;
  int32_t microsecondsPerSample = 1;
  std::string statusText;
  int32_t powerSwitchingMode = 0;
  DynamicLibrary driverLibrary;
  std::string driverLibraryName;  // the candidate that loaded, "" when none
  D2xxEntryPoints ft;

  // ---- Protocol fields -----------------------------------------------------------------------
  int32_t progressPerMille = 0;
  ProgressCallback progressCallback = nullptr;
  void* progressArgument = nullptr;
  std::atomic<bool> busyMessageShowing{false};
  std::unique_ptr<uint8_t[]> replyBuffer;
  int32_t avrInSync = 0;
  uint32_t lastFlushTick = 0;
  bool linkLost = false;
  // Set when samples or decoded bytes did not fit their buffer; the next send fails.
  bool bufferOverflow = false;

  // ---- Script link (pic_vortang_script.cpp) ------------------------------------------------

  // Queues a script byte (0..255) or, with -2, only flushes; the queue goes out when it holds
  // more than 64 bytes, on a flush request, or once the tick count has moved on.
  void QueueScriptByte(int value);
  // Command 0x19 and the word, high byte first.
  void SendScriptWord(int word);
  // Writes the queue and reads one byte; -1 when the link failed.
  int FlushAndReadByte();
  // Command 0x18: the algorithm area, its content (into the host's mirror) and the firmware
  // addresses. 1, or 0 when the link failed or the area is invalid.
  int ReadScriptState();
  // Writes every changed, not entirely blank 64-byte block of the area and reads it back;
  // the number of bytes that still differ (-1 when the link failed).
  int UploadScriptBlocks();
  // The script engine, when one is attached.
  IScriptHost* scriptHost = nullptr;

  // ---- Memory images -------------------------------------------------------------------------
  CMCUMemoryArchitecture fileImage;
  CMCUMemoryArchitecture chipImage;
  CMCUMemoryArchitecture eepromFileImage;

 protected:
  IUserPrompt& prompt_;
  IClock& clock_;

 private:
  void Bind(const DriverLookup& lookup);
  int Handshake();
  // One presence probe; the version length, 0 when none arrived.
  uint8_t ProbeFirmware();
  bool EnsureSampleRoom(size_t count);
  void AppendSample(uint8_t sample);
  void AppendSampleRun(uint8_t sample, size_t count);
  void DecodeSamples(const uint8_t* samples, size_t count);
  bool ReadSamplesAndDecode(uint32_t maxBytes);
  void SetStatusText(const std::string& text);
  bool WriteRaw(const uint8_t* bytes, size_t count);
  // False when no transfer may go out: the link is lost, or a stop request takes effect now.
  bool TransferAllowed();
  friend class ReleaseAfterStop;

  bool driverBound_ = false;
  std::atomic<bool> stopRequested_{false};
  bool stopped_ = false;
  bool releasing_ = false;  // a leave sequence of a stopped cycle is going out
  // Bit-bang decoder state, kept across the reads of one SendSamplesAndDecode.
  bool decodePreviousClockHigh_ = false;
  uint32_t decodeAccumulator_ = 0;
  int decodeBitCount_ = 0;
};

}  // namespace velmora
