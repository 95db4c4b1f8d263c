#include "firmware.h"

#include <algorithm>
#include <array>
#include <cmath>

namespace velmora::sim {

namespace {

constexpr uint8_t kLastControlByte = 0x17;
constexpr uint8_t kPowerOn = 0x08;
constexpr uint8_t kPowerOff = 0x09;
constexpr uint8_t kCycleStart = 0x0A;
constexpr uint8_t kCycleEnd = 0x0B;
constexpr uint8_t kHighVoltageEntry = 0x16;
constexpr uint8_t kLowVoltageEntry = 0x17;
constexpr uint8_t kProbe = 0x20;
constexpr uint8_t kVersionText = 0x57;
// Script link: state request, call (word high byte first), upload of a 64-byte block.
constexpr uint8_t kScriptState = 0x18;
constexpr uint8_t kScriptCall = 0x19;
constexpr uint8_t kScriptBlock = 0x1A;

// Operand bytes of a script-link command, or -1 for another command.
int ScriptLinkOperands(uint8_t byte) {
  switch (byte) {
    case kScriptState:
      return 0;
    case kScriptCall:
      return 2;
    case kScriptBlock:
      return 2 + static_cast<int>(programmer_cpu::kBlockSize);
    default:
      return -1;
  }
}

std::string Hex16(uint32_t value) {
  const uint8_t bytes[] = {static_cast<uint8_t>(value >> 8), static_cast<uint8_t>(value)};
  return "0x" + FormatHexBytes(bytes, 1) + FormatHexBytes(bytes + 1, 1);
}

constexpr uint8_t kTraceLineOff = 0x07;
constexpr uint8_t kStartTraceReport = 0x56;
constexpr uint8_t kSuppressTraceReport = 0x58;
constexpr uint8_t kTracePullUps = 0x59;
constexpr uint8_t kMeasureFrequency = 0x5A;

// The frequency reply: the firmware's counter bytes b0..b3 stand for the count
// 5 b0 + 1279 b1 + 328191 b2 + 84017663 (b3 - 230), modulo 2^32.
constexpr uint32_t kCountWeights[] = {5, 1279, 328191, 84017663};
constexpr uint8_t kTopCounterBase = 230;
constexpr uint8_t kFrequencyAnswered = 4;
// The count is the number of 20 MHz reference periods per target clock MHz.
constexpr double kReferenceCount = 20'000'000.0;

// Counter bytes whose count comes as close to `count` as the counter allows, from below.
std::array<uint8_t, 4> CounterBytes(uint32_t count) {
  std::array<uint8_t, 4> bytes{};
  uint64_t rest = count;
  const uint64_t top = std::min<uint64_t>(rest / kCountWeights[3], 255 - kTopCounterBase);
  bytes[3] = static_cast<uint8_t>(kTopCounterBase + top);
  rest -= top * kCountWeights[3];
  for (int i = 2; i >= 0; --i) {
    const uint64_t digit = std::min<uint64_t>(rest / kCountWeights[i], 255);
    bytes[static_cast<size_t>(i)] = static_cast<uint8_t>(digit);
    rest -= digit * kCountWeights[i];
  }
  return bytes;
}

std::string ControlName(uint8_t byte) {
  switch (byte) {
    case kPowerOn:
      return "power on";
    case kPowerOff:
      return "power off";
    case kCycleStart:
      return "cycle start";
    case kCycleEnd:
      return "cycle end";
    case kHighVoltageEntry:
      return "high-voltage programming mode";
    case kLowVoltageEntry:
      return "low-voltage programming mode";
    default:
      return "line 0x" + FormatHexBytes(&byte, 1);
  }
}

}  // namespace

FirmwareModel::FirmwareModel(const Scenario& scenario, ITarget& target, IFrameIo& link)
    : scenario_(scenario),
      target_(target),
      link_(link),
      processor_(&target),
      traceSource_(scenario.trace) {
  lines_.externalPower = scenario.externalPower;
  processor_.SetPcTakesBytes([this] { return link_.PcTakesBytes(); });
}

void FirmwareModel::Reply(std::span<const uint8_t> bytes) {
  if (!muted_) link_.Reply(bytes);
}

void FirmwareModel::Receive(uint8_t byte) {
  if (processor_.Running()) {
    processor_.Receive(byte);
    return;
  }
  if (!pending_.empty()) {
    pending_.push_back(byte);
    if (pending_.size() < needed_) return;
    if (ScriptLinkOperands(pending_[0]) >= 0) {
      ScriptLinkCommand();
    } else if (!FrameTraceCommand()) {
      StepTargetCommand();
    }
    return;
  }
  muted_ = scenario_.faults.replyNeverComes.count(byte) > 0;
  if (scenario_.faults.noFirmware) {
    // Only the boot code runs: it reports that there is no firmware and ignores the rest.
    const uint8_t none = 0;
    if (byte == kProbe) FrameCommand(byte, "presence probe (no firmware)", {&none, 1});
    return;
  }
  if (byte <= kLastControlByte) {
    ControlByte(byte);
  } else if (byte == kProbe) {
    const auto length = static_cast<uint8_t>(scenario_.firmware.size());
    FrameCommand(byte, "presence probe", {&length, 1});
  } else if (byte == kVersionText) {
    const auto* text = reinterpret_cast<const uint8_t*>(scenario_.firmware.data());
    FrameCommand(byte, "version text", {text, scenario_.firmware.size()});
  } else if (ScriptLinkOperands(byte) >= 0) {
    pending_.push_back(byte);
    needed_ = 1 + static_cast<size_t>(ScriptLinkOperands(byte));
    if (needed_ == 1) ScriptLinkCommand();
  } else {
    pending_.push_back(byte);
    if (!FrameTraceCommand()) StepTargetCommand();
  }
}

bool FirmwareModel::FrameTraceCommand() {
  std::string name;
  switch (pending_[0]) {
    case kStartTraceReport:
      reporting_ = true;
      suppressed_ = false;
      traceClockStarted_ = true;
      name = "start trace reporting";
      break;
    case kSuppressTraceReport:
      suppressed_ = true;
      name = "suppress trace reporting";
      break;
    case kTracePullUps:
      if (pending_.size() < 2) {
        needed_ = 2;
        return true;
      }
      pullUps_ = pending_[1] != 0;
      if (!pullUps_) reporting_ = false;
      name = pullUps_ ? "trace pull-ups on" : "trace pull-ups off, reporting ends";
      break;
    case kMeasureFrequency:
      MeasureFrequency();
      name = "measure frequency";
      break;
    default:
      return false;
  }
  link_.RecordCommand(pending_, name);
  pending_.clear();
  needed_ = 0;
  return true;
}

std::optional<uint32_t> FirmwareModel::MeasuredCount() const {
  const FrequencyAnswer& answer = scenario_.frequency;
  std::optional<double> megahertz;
  switch (answer.kind) {
    case FrequencyAnswer::Kind::kNoAnswer:
      return std::nullopt;
    case FrequencyAnswer::Kind::kCount:
      return answer.count;
    case FrequencyAnswer::Kind::kMegahertz:
      megahertz = answer.megahertz;
      break;
    case FrequencyAnswer::Kind::kTargetClock:
      megahertz = target_.ClockMegahertz();
      break;
  }
  if (!megahertz || !(*megahertz > 0)) return std::nullopt;
  return static_cast<uint32_t>(
      std::min(std::llround(kReferenceCount / *megahertz), static_cast<long long>(UINT32_MAX)));
}

void FirmwareModel::MeasureFrequency() {
  const std::optional<uint32_t> count = MeasuredCount();
  if (!count) {
    Reply(uint8_t{0});  // no clock seen
    return;
  }
  const std::array<uint8_t, 4> counter = CounterBytes(*count);
  const uint8_t reply[] = {kFrequencyAnswered, counter[0], counter[1], counter[2], counter[3]};
  Reply(reply);
}

void FirmwareModel::Pump(uint32_t hostMillis) {
  if (traceClockStarted_) traceMillis_ += static_cast<uint32_t>(hostMillis - lastHostMillis_);
  lastHostMillis_ = hostMillis;
  if (!traceClockStarted_) return;
  for (const TraceChunk& chunk : traceSource_.TakeDue(traceMillis_)) {
    // Output while the programmer does not report is lost on the target's pins.
    if (!reporting_ || suppressed_) continue;
    link_.Reply(chunk.bytes);
    link_.RecordTraceOutput(chunk.bytes);
  }
}

void FirmwareModel::FrameCommand(uint8_t byte, const std::string& name,
                                 std::span<const uint8_t> reply) {
  link_.RecordCommand({&byte, 1}, name);
  Reply(reply);
}

void FirmwareModel::ControlByte(uint8_t byte) {
  switch (byte) {
    case kPowerOn:
      lines_.relayOn = true;
      break;
    case kPowerOff:
      lines_.relayOn = false;
      if (!lines_.Powered()) lines_.programmingEntry = 0;
      break;
    case kCycleStart:
      lines_.linesSinceCycleStart = 0;
      break;
    case kCycleEnd:
      lines_.programmingEntry = 0;
      break;
    case kHighVoltageEntry:
    case kLowVoltageEntry:
      lines_.programmingEntry = byte;
      break;
    case kTraceLineOff:
      reporting_ = false;
      break;
    default:
      break;
  }
  lines_.linesSinceCycleStart |= 1u << byte;
  link_.RecordCommand({&byte, 1}, ControlName(byte));
  target_.OnControlByte(byte, *this);
}

void FirmwareModel::StepTargetCommand() {
  const CommandStep step = target_.OnCommandBytes(pending_, *this);
  switch (step.kind) {
    case CommandStep::Kind::kNeedMore:
      needed_ = pending_.size() + std::max<size_t>(1, step.moreBytes);
      return;
    case CommandStep::Kind::kDone:
      link_.RecordCommand(pending_, step.name);
      break;
    case CommandStep::Kind::kUnknown:
      link_.RecordCommand(pending_, "unknown command, ignored");
      break;
  }
  pending_.clear();
  needed_ = 0;
}

void FirmwareModel::ScriptLinkCommand() {
  const std::vector<uint8_t> command = std::move(pending_);
  pending_.clear();
  needed_ = 0;
  switch (command[0]) {
    case kScriptState:
      link_.RecordCommand(command, "script state");
      Reply(processor_.StateReply());
      break;
    case kScriptCall: {
      const uint32_t offset = uint32_t{command[1]} << 8 | command[2];
      link_.RecordCommand(command, "script call " + Hex16(offset));
      processor_.Call(static_cast<uint16_t>(offset));
      break;
    }
    default: {
      const uint32_t offset = command[1] | uint32_t{command[2]} << 8;
      const std::span<const uint8_t> block(command.begin() + 3, command.end());
      const bool inArea =
          offset >= programmer_cpu::kAreaStart && offset + block.size() <= programmer_cpu::kAreaEnd;
      link_.RecordCommand(command, std::string(inArea ? "script code block "
                                                      : "script code "
                                                        "block outside the algorithm area, "
                                                        "refused: ") +
                                       Hex16(offset));
      Reply(processor_.WriteBlock(static_cast<uint16_t>(offset), block));
      break;
    }
  }
}

void FirmwareModel::RunProcessor() {
  while (processor_.Running()) {
    const ProgrammerProcessor::Stop stop = processor_.Run(*this);
    link_.AddProcessorMicros(double(processor_.cyclesRun()) /
                             programmer_cpu::kCyclesPerMicrosecond);
    if (stop == ProgrammerProcessor::Stop::kSliceSpent) {
      Note("script code still running after " + std::to_string(processor_.cyclesRun()) + " cycles");
      return;
    }
    if (stop == ProgrammerProcessor::Stop::kAsleep) {
      if (processor_.cyclesRun() > 0) Note("script code put the processor to sleep");
      return;
    }
    if (stop != ProgrammerProcessor::Stop::kReturned) return;
    Note("script code returned");
    for (uint8_t byte : processor_.TakeUnread()) Receive(byte);
  }
}

}  // namespace velmora::sim
