#pragma once
// The full programmer's firmware frame: presence probe and version text, the control bytes
// 0x00..0x17 as line and power state, and the assembly of every other command (with its
// operands) for the target model.
#include <memory>
#include <vector>

#include "scenario.h"
#include "sim/mcu/programmer_processor.h"
#include "target.h"
#include "trace_source.h"

namespace velmora::sim {

// What the frame needs from the link besides the target services.
class IFrameIo : public ITargetIo {
 public:
  virtual void RecordCommand(std::span<const uint8_t> bytes, const std::string& name) = 0;
  // Accounts the time the programmer's processor runs uploaded code, in microseconds.
  virtual void AddProcessorMicros(double micros) = 0;
  // False while the PC's receive buffer is full (the FT232 then holds its flow control).
  virtual bool PcTakesBytes() const = 0;
  // Trace bytes the firmware forwarded to the PC.
  virtual void RecordTraceOutput(std::span<const uint8_t> bytes) = 0;

 protected:
  ~IFrameIo() = default;
};

class FirmwareModel final : public ITargetIo {
 public:
  FirmwareModel(const Scenario& scenario, ITarget& target, IFrameIo& link);

  // One byte as the firmware receives it over the serial line; while uploaded script code
  // runs, the byte goes to that code.
  void Receive(uint8_t byte);
  // True while a command waits for operand bytes.
  bool InCommand() const { return !pending_.empty(); }
  // Runs uploaded script code started by the call command until it returns or waits for a
  // byte from the PC (or has run a slice of five seconds); bytes it left unread when it
  // returned are firmware commands again.
  void RunProcessor();
  ProgrammerProcessor& processor() { return processor_; }
  // The host's clock (milliseconds) moved on to `hostMillis`: the target's trace output up to
  // now reaches the PC while tracing reports, and is gone otherwise.
  void Pump(uint32_t hostMillis);

  // ITargetIo for the target: replies of a muted command are swallowed.
  void Reply(std::span<const uint8_t> bytes) override;
  using ITargetIo::Reply;
  void AddDeviceMicros(double micros) override { link_.AddDeviceMicros(micros); }
  void Note(const std::string& text) override { link_.Note(text); }
  const ProgrammerLines& Lines() const override { return lines_; }
  double NowMicros() const override { return link_.NowMicros(); }
  double MicrosPerSample() const override { return link_.MicrosPerSample(); }

 private:
  void ControlByte(uint8_t byte);
  void FrameCommand(uint8_t byte, const std::string& name, std::span<const uint8_t> reply);
  void StepTargetCommand();
  void ScriptLinkCommand();
  // Tracing and frequency measurement, for every family; true when `pending_` was one of them.
  bool FrameTraceCommand();
  void MeasureFrequency();
  std::optional<uint32_t> MeasuredCount() const;

  const Scenario& scenario_;
  ITarget& target_;
  IFrameIo& link_;
  ProgrammerLines lines_;
  std::vector<uint8_t> pending_;  // command byte and operands received so far
  size_t needed_ = 0;             // pending_ size at which the target looks again
  bool muted_ = false;
  ProgrammerProcessor processor_;

  // Tracing: 0x59 sets the pull-ups (0 also ends reporting), 0x56 starts reporting, 0x58
  // suppresses it until the next 0x56, the line control byte 0x07 ends it.
  TraceSource traceSource_;
  bool reporting_ = false;
  bool suppressed_ = false;
  bool pullUps_ = false;
  bool traceClockStarted_ = false;  // the target's trace time runs from the first start
  uint32_t lastHostMillis_ = 0;
  uint64_t traceMillis_ = 0;
};

}  // namespace velmora::sim
