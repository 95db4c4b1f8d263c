#include "pic10_target.h"

#include <map>
#include <stdexcept>

#include "scenario.h"

namespace velmora::sim {

namespace {

// In HEX files the configuration word sits at word 0xFFF.
constexpr uint32_t kHexConfigurationWord = 0xFFF;

uint32_t JsonNumber(const nlohmann::json& value) {
  if (value.is_string()) return static_cast<uint32_t>(std::stoul(value.get<std::string>(), 0, 0));
  return value.get<uint32_t>();
}

Pic10Factory FactoryOf(const nlohmann::json& options) {
  Pic10Factory factory;
  if (options.contains("calibration")) {
    factory.calibration = static_cast<uint8_t>(JsonNumber(options["calibration"]));
  }
  factory.calibrationMissing = options.value("calibrationMissing", false);
  factory.backupMissing = options.value("backupMissing", false);
  return factory;
}

}  // namespace

Pic10Target::Pic10Target(const Pic10Part& part, const nlohmann::json& options)
    : chip_(std::make_unique<Pic10Chip>(part, FactoryOf(options))),
      firmware_(std::make_unique<Pic10Firmware>(*chip_)) {
  for (const auto& [key, value] : options.items()) {
    if (key == "calibration" || key == "calibrationMissing" || key == "backupMissing") continue;
    if (key == "absent") {
      absent_ = value.get<bool>();
      chip_->SetAbsent(absent_);
    } else if (key == "stuckBits") {
      for (const auto& stuck : value) {
        chip_->AddStuckBit({.word = static_cast<uint16_t>(JsonNumber(stuck.at("word"))),
                            .bit = static_cast<uint8_t>(JsonNumber(stuck.at("bit")) % 12),
                            .level = JsonNumber(stuck.value("level", nlohmann::json(0))) != 0});
      }
    } else {
      throw std::runtime_error("unknown key \"" + key + "\" in target");
    }
  }
}

CommandStep Pic10Target::OnCommandBytes(std::span<const uint8_t> bytes, ITargetIo& io) {
  if (!Pic10Firmware::Serves(bytes[0])) return CommandStep::Unknown();
  if (const size_t missing = Pic10Firmware::MissingBytes(bytes)) {
    return CommandStep::NeedMore(missing);
  }
  const bool listening = io.Lines().InProgrammingMode();
  if (!listening) io.Note("PIC10 target not in programming mode");
  chip_->SetAbsent(absent_ || !listening);
  io.Reply(firmware_->Execute(bytes));
  chip_->SetAbsent(absent_);
  io.AddDeviceMicros(chip_->TakeBusyMicros());
  return CommandStep::Done(Pic10Firmware::Name(bytes));
}

void Pic10Target::OnControlByte(uint8_t controlByte, ITargetIo& io) {
  if (controlByte == 0x16 && io.Lines().InProgrammingMode()) chip_->EnterProgramMode();
}

int Pic10Target::OnPinSample(uint8_t, ITargetIo& io) {
  if (!pinsNoted_) io.Note("PIC10 target: the mini programmer's pin protocol is not served");
  pinsNoted_ = true;
  return -1;
}

void Pic10Target::LoadImage(const HexImage& image) {
  std::map<uint16_t, uint16_t> words;
  for (const auto& [cell, value] : image) {
    const uint32_t hexWord = cell / 2;
    uint16_t address = 0;
    if (hexWord == kHexConfigurationWord) {
      address = chip_->ConfigurationAddress();
    } else if (hexWord < chip_->ConfigurationAddress()) {
      address = static_cast<uint16_t>(hexWord);
    } else {
      continue;
    }
    auto [it, fresh] = words.try_emplace(address, chip_->WordAt(address));
    const uint32_t shift = 8 * (cell % 2);
    it->second = static_cast<uint16_t>((it->second & ~(0xFF << shift)) | value << shift);
  }
  for (const auto& [address, value] : words) chip_->StoreWord(address, value);
}

nlohmann::json Pic10Target::SaveState() const {
  std::vector<uint8_t> bytes;
  for (uint16_t word : chip_->words()) {
    bytes.push_back(static_cast<uint8_t>(word & 0xFF));
    bytes.push_back(static_cast<uint8_t>(word >> 8));
  }
  std::string text = FormatHexBytes(bytes.data(), bytes.size());
  std::erase(text, ' ');
  return {{"words", text}};
}

void Pic10Target::LoadState(const nlohmann::json& state) {
  if (!state.contains("words")) return;
  const std::vector<uint8_t> bytes = ParseHexBytes(state["words"].get<std::string>());
  std::vector<uint16_t>& words = chip_->words();
  for (size_t i = 0; i < words.size() && 2 * i + 1 < bytes.size(); ++i) {
    words[i] = static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  }
}

bool ClaimsPic10(const std::string& device) {
  return Pic10PartByName(device).has_value();
}

std::unique_ptr<ITarget> MakePic10(const std::string& device, const nlohmann::json& options) {
  return std::make_unique<Pic10Target>(*Pic10PartByName(device), options);
}

}  // namespace velmora::sim
