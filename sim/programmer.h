#pragma once
// The simulated FT232 with the programmer behind it: port settings, read queue, bit-bang pins,
// the full programmer's firmware frame, the target model, faults, transcript and time account.
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "firmware.h"
#include "link/d2xx.h"
#include "scenario.h"
#include "target.h"
#include "transcript.h"

namespace velmora::sim {

class SimulatedProgrammer final : public IFrameIo {
 public:
  // Builds the target and loads its memory (state file first, else the HEX file). Throws
  // std::runtime_error on a bad scenario.
  explicit SimulatedProgrammer(Scenario scenario);
  ~SimulatedProgrammer();

  // The D2XX entry points.
  FT_STATUS OpenEx(void* argument, uint32_t flags, FT_HANDLE* handle);
  FT_STATUS Close(FT_HANDLE handle);
  FT_STATUS GetStatus(FT_HANDLE handle, uint32_t* rxBytes, uint32_t* txBytes, uint32_t* events);
  FT_STATUS Purge(FT_HANDLE handle, uint32_t mask);
  FT_STATUS Read(FT_HANDLE handle, void* buffer, uint32_t count, uint32_t* returned);
  FT_STATUS ResetDevice(FT_HANDLE handle);
  FT_STATUS SetBaudRate(FT_HANDLE handle, uint32_t baud);
  FT_STATUS SetBitMode(FT_HANDLE handle, uint8_t mask, uint8_t mode);
  FT_STATUS SetDataCharacteristics(FT_HANDLE handle, uint8_t wordLength, uint8_t stopBits,
                                   uint8_t parity);
  FT_STATUS SetFlowControl(FT_HANDLE handle, uint16_t flow, uint8_t xon, uint8_t xoff);
  FT_STATUS SetLatencyTimer(FT_HANDLE handle, uint8_t milliseconds);
  FT_STATUS SetRts(FT_HANDLE handle);
  FT_STATUS SetTimeouts(FT_HANDLE handle, uint32_t readTimeout, uint32_t writeTimeout);
  FT_STATUS SetUSBParameters(FT_HANDLE handle, uint32_t inSize, uint32_t outSize);
  FT_STATUS Write(FT_HANDLE handle, const void* buffer, uint32_t count, uint32_t* written);

  // The host's clock in milliseconds; trace output follows it.
  void SetHostClock(std::function<uint32_t()> hostMillis) { hostMillis_ = std::move(hostMillis); }

  nlohmann::json TranscriptJson() const;
  nlohmann::json StateJson() const;
  double LinkMicros() const { return time_.Total(); }

  // IFrameIo
  void Reply(std::span<const uint8_t> bytes) override;
  using ITargetIo::Reply;
  void AddDeviceMicros(double micros) override { time_.deviceMicros += micros; }
  void Note(const std::string& text) override;
  const ProgrammerLines& Lines() const override;
  double NowMicros() const override { return time_.Total(); }
  double MicrosPerSample() const override;
  void RecordCommand(std::span<const uint8_t> bytes, const std::string& name) override;
  void AddProcessorMicros(double micros) override { time_.processorMicros += micros; }
  bool PcTakesBytes() const override { return readQueue_.size() < kPcReceiveBuffer; }
  // What the FT232 and the driver hold for the PC before flow control stops the programmer.
  static constexpr size_t kPcReceiveBuffer = 65536;
  void RecordTraceOutput(std::span<const uint8_t> bytes) override;

 private:
  struct Port {
    uint32_t baud = 9600;
    uint8_t wordLength = FT_BITS_8;
    uint8_t stopBits = FT_STOP_BITS_1;
    uint8_t parity = FT_PARITY_NONE;
    uint16_t flowControl = FT_FLOW_NONE;
    uint8_t bitMask = 0;
    uint8_t bitMode = FT_BITMODE_RESET;
    uint32_t readTimeout = 0;  // milliseconds, 0 = wait for ever
    uint32_t writeTimeout = 0;
    uint8_t latency = 16;
  };

  bool Unplugged() const { return budget_ && *budget_ == 0; }
  bool BitBang() const { return port_.bitMode == FT_BITMODE_ASYNC_BITBANG; }
  // Counts a captured sample; true when the lossy read-back fault drops it.
  bool CaptureLost();
  double BitsPerByte() const;
  // Takes up to `count` bytes from the unplug budget; returns how many may pass.
  uint32_t Consume(uint32_t count);
  // Validates the handle, records the call, and applies it unless the cable is pulled.
  template <typename Apply>
  FT_STATUS Call(FT_HANDLE handle, const char* name, nlohmann::json args, Apply apply);
  // Lets the firmware catch up with the host's clock before a call is served.
  void PumpFirmware();
  void ReceiveSerial(std::span<const uint8_t> bytes);
  void ReceiveSamples(std::span<const uint8_t> samples);
  void SaveFiles();
  // The target memory of the state file, when it holds this device; false when it does not.
  bool LoadStateFile();

  Scenario scenario_;
  std::string family_;
  std::unique_ptr<ITarget> target_;
  std::unique_ptr<FirmwareModel> firmware_;
  ProgrammerLines noLines_;  // the mini programmer has no firmware lines

  bool open_ = false;
  // Held from open to close while a state file is used: another process sharing the file waits
  // at its open, so both results stay (the second starts from the first's memory).
  int stateLock_ = -1;
  Port port_;
  std::deque<uint8_t> readQueue_;
  std::optional<uint64_t> budget_;  // bytes left before the cable is pulled
  Transcript transcript_;
  TimeAccount time_;
  uint64_t foreverWaits_ = 0;
  uint64_t samplesCaptured_ = 0;  // bit-bang samples captured since the scenario began
  std::function<uint32_t()> hostMillis_;
  // Polls that found the same queue as the one before are counted in that event, not added.
  std::optional<size_t> lastStatusEvent_;
};

}  // namespace velmora::sim
