#include "pic18_target.h"

#include <algorithm>
#include <stdexcept>

#include "scenario.h"

namespace velmora::sim {

namespace {

struct CommandInfo {
  uint8_t command;
  const char* name;
  bool touchesTarget;
};
constexpr uint8_t kHoldTarget = 0x80;
constexpr uint8_t kReleaseTarget = 0x8C;

constexpr CommandInfo kCommands[] = {
    {.command = 0x1F, .name = "PIC18 device parameters", .touchesTarget = false},
    {.command = 0x21, .name = "PIC18 parameter block", .touchesTarget = false},
    {.command = 0x22, .name = "PIC18 read program space", .touchesTarget = true},
    {.command = 0x23, .name = "PIC18 read data EEPROM", .touchesTarget = true},
    {.command = 0x24, .name = "PIC18 read RAM", .touchesTarget = true},
    {.command = 0x25, .name = "PIC18 bulk erase", .touchesTarget = true},
    {.command = 0x26, .name = "PIC18 erase data EEPROM", .touchesTarget = true},
    {.command = 0x27, .name = "PIC18 erase row", .touchesTarget = true},
    {.command = 0x28, .name = "PIC18 erase boot block and panels", .touchesTarget = true},
    {.command = 0x29, .name = "PIC18 write program memory", .touchesTarget = true},
    {.command = 0x2A, .name = "PIC18 write data EEPROM", .touchesTarget = true},
    {.command = 0x2B, .name = "PIC18 write ID locations", .touchesTarget = true},
    {.command = 0x2C, .name = "PIC18 write configuration", .touchesTarget = true},
    {.command = 0x2D, .name = "PIC18 write block", .touchesTarget = true},
    {.command = kHoldTarget, .name = "PIC18 hold target for RAM read", .touchesTarget = false},
    {.command = kReleaseTarget, .name = "PIC18 release target", .touchesTarget = false},
};

// Device busy times charged to the link's time account: the waits that the mini programmer's
// sequences allow for the same work.
namespace busy {
constexpr double kProgramMicros = 1000;  // one write-buffer load (all panels at once)
constexpr double kRowEraseMicros = 1000;
constexpr double kBulkEraseMicros = 6000;  // one bulk-erase option
constexpr double kEepromByteMicros = 4000;
constexpr double kConfigByteMicros = 1000;
constexpr int kFlashPanelErases = 5;  // boot block and four panels
}  // namespace busy

uint32_t JsonNumber(const nlohmann::json& value, const std::string& key,
                    uint64_t max = UINT32_MAX) {
  return static_cast<uint32_t>(ScenarioNumber(value, key, max));
}

std::string ToHex(std::span<const uint8_t> bytes) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(bytes.size() * 2);
  for (uint8_t b : bytes) {
    text += kDigits[b >> 4];
    text += kDigits[b & 0xF];
  }
  return text;
}

void FromHex(const nlohmann::json& state, const char* key, std::span<uint8_t> into) {
  if (!state.contains(key)) return;
  const std::vector<uint8_t> bytes = ParseHexBytes(state[key].get<std::string>());
  std::copy_n(bytes.begin(), std::min(bytes.size(), into.size()), into.begin());
}

}  // namespace

Pic18Target::Pic18Target(const Pic18Geometry& geometry, const nlohmann::json& options)
    : memory_(geometry, options.contains("revision")
                            ? static_cast<uint8_t>(JsonNumber(options["revision"], "revision", 31))
                            : 0),
      firmware_(memory_),
      icsp_(memory_) {
  for (const auto& [key, value] : options.items()) {
    if (key == "revision") continue;
    if (key == "absent") {
      const std::string level = value.get<std::string>();
      if (level != "low" && level != "high") {
        throw std::runtime_error("\"absent\" must be \"low\" or \"high\"");
      }
      memory_.SetAbsent(level == "low" ? AbsentTarget::kReadsLow : AbsentTarget::kReadsHigh);
    } else if (key == "stuckBits") {
      for (const auto& stuck : value) {
        memory_.AddStuckBit(
            {.address = JsonNumber(stuck.at("address"), "stuckBits.address"),
             .bit = static_cast<uint8_t>(JsonNumber(stuck.at("bit"), "stuckBits.bit", 7)),
             .level =
                 JsonNumber(stuck.value("level", nlohmann::json(0)), "stuckBits.level", 1) != 0});
      }
    } else if (key == "failConfigWriteOnce") {
      for (const auto& index : value)
        memory_.FailConfigurationWriteOnce(JsonNumber(index, "failConfigWriteOnce", 13));
    } else if (key == "ram") {
      const std::vector<uint8_t> bytes = ParseHexBytes(value.get<std::string>());
      std::copy_n(bytes.begin(), std::min(bytes.size(), memory_.ram().size()),
                  memory_.ram().begin());
    } else if (key == "minimumHoldMicros") {
      icsp_.SetMinimumHoldMicroseconds(JsonNumber(value, "minimumHoldMicros"));
    } else {
      throw std::runtime_error("unknown key \"" + key + "\" in target");
    }
  }
}

CommandStep Pic18Target::OnCommandBytes(std::span<const uint8_t> bytes, ITargetIo& io) {
  const auto info = std::ranges::find(kCommands, bytes[0], &CommandInfo::command);
  if (info == std::end(kCommands)) return CommandStep::Unknown();
  if (const size_t missing = firmware_.MissingBytes(bytes)) return CommandStep::NeedMore(missing);

  // 0x80 puts MCLR at VPP and holds the target in programming mode until 0x8C (the data
  // monitor's RAM read); without either the target does not answer and the firmware reads a
  // floating line.
  if (bytes[0] == kHoldTarget || bytes[0] == kReleaseTarget) heldAtVpp_ = bytes[0] == kHoldTarget;
  const bool held = heldAtVpp_ && io.Lines().Powered();
  const bool reachable = !info->touchesTarget || io.Lines().InProgrammingMode() || held;
  const AbsentTarget absent = memory_.absent();
  if (!reachable) {
    io.Note("PIC18 target not in programming mode");
    memory_.SetAbsent(AbsentTarget::kReadsHigh);
  }
  io.Reply(firmware_.Execute(bytes));
  memory_.SetAbsent(absent);
  if (reachable) AccountDeviceTime(bytes, io);
  return CommandStep::Done(info->name);
}

void Pic18Target::AccountDeviceTime(std::span<const uint8_t> command, ITargetIo& io) const {
  const Pic18Geometry& g = memory_.geometry();
  const double buffers = g.writeBuffer ? double(g.eraseBlock) / g.writeBuffer : 1;
  switch (command[0]) {
    case 0x25:
    case 0x26:
      io.AddDeviceMicros(busy::kBulkEraseMicros);
      break;
    case 0x27:
      io.AddDeviceMicros(busy::kRowEraseMicros);
      break;
    case 0x28:
      io.AddDeviceMicros(busy::kFlashPanelErases * busy::kBulkEraseMicros);
      break;
    case 0x29: {
      const double loads = g.writeBuffer ? double(g.PanelSize()) / g.writeBuffer : 0;
      io.AddDeviceMicros(loads * busy::kProgramMicros);
      break;
    }
    case 0x2A:
      io.AddDeviceMicros(double(command.size() - 1) * busy::kEepromByteMicros);
      break;
    case 0x2B:
      io.AddDeviceMicros(busy::kProgramMicros);
      break;
    case 0x2C:
      io.AddDeviceMicros(pic18addr::kConfigurationCount * busy::kConfigByteMicros);
      break;
    case 0x2D:
      io.AddDeviceMicros(busy::kRowEraseMicros + buffers * busy::kProgramMicros);
      break;
    default:
      break;
  }
}

void Pic18Target::OnControlByte(uint8_t controlByte, ITargetIo&) {
  // Cycle start and end: the firmware forgets the parameters of the last cycle.
  if (controlByte == 0x0A || controlByte == 0x0B) {
    firmware_.ResetCycle();
    heldAtVpp_ = false;
  }
}

int Pic18Target::OnPinSample(uint8_t pins, ITargetIo& io) {
  icsp_.SetMicrosPerSample(io.MicrosPerSample());
  const bool released = icsp_.OnSample(pins);
  const Pic18IcspTarget::Counters& now = icsp_.counters();
  if (now.lostWrites != notedCounters_.lostWrites) {
    io.Note("PIC18 ICSP: write lost (programming hold too short, or no write set up)");
  }
  if (now.unknownCommands != notedCounters_.unknownCommands) {
    io.Note("PIC18 ICSP: command or instruction not modelled, ignored");
  }
  notedCounters_ = now;
  return released ? -1 : 0;
}

void Pic18Target::LoadImage(const HexImage& image) {
  using namespace pic18addr;
  for (const auto& [address, value] : image) {
    if (address < memory_.program().size()) {
      memory_.program()[address] = value;
    } else if (address - kIdLocations < kIdLocationCount) {
      memory_.idLocations()[address - kIdLocations] = value;
    } else if (address - kConfiguration < kConfigurationCount) {
      const uint32_t index = address - kConfiguration;
      memory_.configuration()[index] = value & memory_.geometry().configMasks[index];
    } else if (address - kEepromImage < memory_.eeprom().size()) {
      memory_.eeprom()[address - kEepromImage] = value;
    }
  }
}

nlohmann::json Pic18Target::SaveState() const {
  return {{"program", ToHex(memory_.program())},
          {"idLocations", ToHex(memory_.idLocations())},
          {"configuration", ToHex(memory_.configuration())},
          {"eeprom", ToHex(memory_.eeprom())},
          {"ram", ToHex(memory_.ram())}};
}

void Pic18Target::LoadState(const nlohmann::json& state) {
  FromHex(state, "program", memory_.program());
  FromHex(state, "idLocations", memory_.idLocations());
  FromHex(state, "configuration", memory_.configuration());
  FromHex(state, "eeprom", memory_.eeprom());
  FromHex(state, "ram", memory_.ram());
}

bool ClaimsPic18(const std::string& device) {
  return Pic18GeometryByName(device).has_value();
}

std::unique_ptr<ITarget> MakePic18(const std::string& device, const nlohmann::json& options) {
  return std::make_unique<Pic18Target>(*Pic18GeometryByName(device), options);
}

}  // namespace velmora::sim
