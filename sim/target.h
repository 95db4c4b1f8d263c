#pragma once
// The plug-in interface of the simulated programmer: one target device model per family.
//
// The frame (FT232 and the full programmer's firmware frame) handles the handshake (0x20,
// "W") and the control bytes 0x00..0x17 itself and hands every other firmware command to the
// target, byte by byte as its operands arrive. In bit-bang mode (mini programmer) it hands the
// target every sample and reads back the target's level on PGD (D2).
#include <cstdint>
#include <map>
#include <nlohmann/json.hpp>
#include <optional>
#include <span>
#include <string>

namespace velmora::sim {

// What the target sees of the full programmer's lines, as set by the control bytes.
struct ProgrammerLines {
  bool externalPower = true;          // the target has its own supply (scenario "externalPower")
  bool relayOn = false;               // 0x08 switches the power relay on, 0x09 off
  uint8_t programmingEntry = 0;       // 0x16 high-voltage, 0x17 low-voltage, 0 = none
  uint32_t linesSinceCycleStart = 0;  // bit n: control byte n seen since the last 0x0A

  bool Powered() const { return externalPower || relayOn; }
  bool InProgrammingMode() const { return Powered() && programmingEntry != 0; }
  bool LineSeen(uint8_t controlByte) const { return (linesSinceCycleStart >> controlByte) & 1; }
};

// Services of the frame for the target.
class ITargetIo {
 public:
  // Queues reply bytes for the PC (full programmer).
  virtual void Reply(std::span<const uint8_t> bytes) = 0;
  void Reply(uint8_t byte) { Reply(std::span<const uint8_t>(&byte, 1)); }
  // Accounts the time the device is busy (flash write, erase), in microseconds.
  virtual void AddDeviceMicros(double micros) = 0;
  // Adds a line to the transcript, e.g. a decoded ICSP command.
  virtual void Note(const std::string& text) = 0;
  virtual const ProgrammerLines& Lines() const = 0;
  // Link time so far, and the length of one bit-bang sample, in microseconds.
  virtual double NowMicros() const = 0;
  virtual double MicrosPerSample() const = 0;

 protected:
  ~ITargetIo() = default;
};

// The target's answer to the bytes of a firmware command received so far.
struct CommandStep {
  enum class Kind { kUnknown, kNeedMore, kDone };
  Kind kind = Kind::kUnknown;
  size_t moreBytes = 0;  // kNeedMore: operand bytes still to come (at least 1)
  std::string name;      // kDone: the decoded command, for the transcript

  static CommandStep Unknown() { return {}; }
  static CommandStep NeedMore(size_t count) { return {Kind::kNeedMore, count, {}}; }
  static CommandStep Done(std::string name) { return {Kind::kDone, 0, std::move(name)}; }
};

// Initial memory from a HEX file: address in the Intel HEX address space -> byte.
using HexImage = std::map<uint32_t, uint8_t>;

class ITarget {
 public:
  virtual ~ITarget() = default;

  // Full programmer: `bytes` is a command byte not handled by the frame, followed by every
  // operand byte received so far. Called again with more bytes after kNeedMore. Replies go
  // through io.Reply.
  virtual CommandStep OnCommandBytes(std::span<const uint8_t> bytes, ITargetIo& io) = 0;
  // Full programmer: a control byte 0x00..0x17, after the frame updated the lines.
  virtual void OnControlByte(uint8_t controlByte, ITargetIo& io) = 0;
  // Mini programmer: one sample of the output pins (D2..D7 as written). Returns the level the
  // target drives on PGD (0 or 1), or -1 when it leaves PGD to the programmer.
  virtual int OnPinSample(uint8_t pins, ITargetIo& io) = 0;

  // The target's clock in MHz, which the full programmer can measure (command 0x5A); none when
  // the model does not run one.
  virtual std::optional<double> ClockMegahertz() const { return std::nullopt; }

  // Memory: initial content from a HEX file, and the state kept between processes.
  virtual void LoadImage(const HexImage& image) = 0;
  virtual nlohmann::json SaveState() const = 0;
  virtual void LoadState(const nlohmann::json& state) = 0;
};

}  // namespace velmora::sim
