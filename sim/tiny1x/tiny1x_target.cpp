#include "tiny1x_target.h"

#include <stdexcept>

#include "scenario.h"

namespace velmora::sim {

namespace {

constexpr uint32_t kHexEeprom = 0xF00000;
constexpr uint8_t kCycleStart = 0x0A;
constexpr uint8_t kCycleEnd = 0x0B;

uint32_t JsonNumber(const nlohmann::json& value) {
  if (value.is_string()) return static_cast<uint32_t>(std::stoul(value.get<std::string>(), 0, 0));
  return value.get<uint32_t>();
}

std::string Packed(const uint8_t* bytes, size_t count) {
  std::string text = FormatHexBytes(bytes, count);
  std::erase(text, ' ');
  return text;
}

}  // namespace

Tiny1xTarget::Tiny1xTarget(const Tiny1xPart& part, const nlohmann::json& options)
    : chip_(part), firmware_(chip_) {
  for (const auto& [key, value] : options.items()) {
    if (key == "absent") {
      chip_.absent = value.get<bool>();
    } else if (key == "fuse") {
      chip_.fuse() = static_cast<uint8_t>(JsonNumber(value));
    } else if (key == "lock") {
      chip_.lock() = static_cast<uint8_t>(JsonNumber(value));
    } else if (key == "calibration") {
      chip_.calibration() = static_cast<uint8_t>(JsonNumber(value));
    } else if (key == "calibrationLost") {
      chip_.calibrationLost = value.get<bool>();
    } else if (key == "stuckBits") {
      for (const auto& stuck : value) {
        const uint32_t address = JsonNumber(stuck.at("address"));
        const bool eeprom = address >= kHexEeprom;
        chip_.stuckBits.push_back(
            {.eeprom = eeprom,
             .address = eeprom ? address - kHexEeprom : address,
             .bit = static_cast<uint8_t>(JsonNumber(stuck.at("bit")) & 7),
             .level = JsonNumber(stuck.value("level", nlohmann::json(0))) != 0});
      }
    } else if (key == "busyMicros") {
      Tiny1xBusyTimes& times = chip_.busyTimes();
      times.flashByte = value.value("flashByte", times.flashByte);
      times.eepromByte = value.value("eepromByte", times.eepromByte);
      times.erase = value.value("erase", times.erase);
      times.fuse = value.value("fuse", times.fuse);
      times.tiny11Fuse = value.value("tiny11Fuse", times.tiny11Fuse);
      times.lock = value.value("lock", times.lock);
    } else {
      throw std::runtime_error("unknown key \"" + key + "\" in target");
    }
  }
}

CommandStep Tiny1xTarget::OnCommandBytes(std::span<const uint8_t> bytes, ITargetIo& io) {
  if (!Tiny1xFirmware::Serves(bytes[0])) return CommandStep::Unknown();
  if (const size_t missing = Tiny1xFirmware::MissingBytes(bytes)) {
    return CommandStep::NeedMore(missing);
  }
  firmware_.SetSupply(io.Lines().Powered(), io.NowMicros());
  double took = 0;
  const std::vector<uint8_t> reply = firmware_.Execute(bytes, io.NowMicros(), took);
  io.AddDeviceMicros(took);
  for (const std::string& note : chip_.TakeNotes()) io.Note(note);
  io.Reply(reply);
  return CommandStep::Done(Tiny1xFirmware::Name(bytes));
}

void Tiny1xTarget::OnControlByte(uint8_t controlByte, ITargetIo& io) {
  firmware_.SetSupply(io.Lines().Powered(), io.NowMicros());
  if (controlByte == kCycleStart || controlByte == kCycleEnd) firmware_.ReleasePins(io.NowMicros());
  for (const std::string& note : chip_.TakeNotes()) io.Note(note);
}

int Tiny1xTarget::OnPinSample(uint8_t, ITargetIo& io) {
  if (!pinsNoted_) io.Note("ATtiny11/12 target: the mini programmer's pin protocol is not served");
  pinsNoted_ = true;
  return -1;
}

void Tiny1xTarget::LoadImage(const HexImage& image) {
  for (const auto& [address, value] : image) {
    if (address < chip_.flash().size()) {
      chip_.flash()[address] = value;
    } else if (address >= kHexEeprom && address - kHexEeprom < chip_.eeprom().size()) {
      chip_.eeprom()[address - kHexEeprom] = value;
    }
  }
}

nlohmann::json Tiny1xTarget::SaveState() const {
  const uint8_t fuse = chip_.FuseValue();
  const uint8_t lock = chip_.LockValue();
  const uint8_t calibration = chip_.CalibrationValue();
  const Tiny1xChip& chip = chip_;
  return {{"flash", Packed(chip.flash().data(), chip.flash().size())},
          {"eeprom", Packed(chip.eeprom().data(), chip.eeprom().size())},
          {"fuse", Packed(&fuse, 1)},
          {"lock", Packed(&lock, 1)},
          {"calibration", Packed(&calibration, 1)}};
}

void Tiny1xTarget::LoadState(const nlohmann::json& state) {
  auto into = [&](const char* key, uint8_t* bytes, size_t count) {
    if (!state.contains(key)) return;
    const std::vector<uint8_t> saved = ParseHexBytes(state[key].get<std::string>());
    std::copy_n(saved.begin(), std::min(count, saved.size()), bytes);
  };
  into("flash", chip_.flash().data(), chip_.flash().size());
  into("eeprom", chip_.eeprom().data(), chip_.eeprom().size());
  into("fuse", &chip_.fuse(), 1);
  into("lock", &chip_.lock(), 1);
}

bool ClaimsTiny1x(const std::string& device) {
  return Tiny1xPartByName(device).has_value();
}

std::unique_ptr<ITarget> MakeTiny1x(const std::string& device, const nlohmann::json& options) {
  return std::make_unique<Tiny1xTarget>(*Tiny1xPartByName(device), options);
}

}  // namespace velmora::sim
