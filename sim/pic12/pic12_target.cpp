#include "pic12_target.h"

#include <map>
#include <stdexcept>

#include "scenario.h"

namespace velmora::sim {

namespace {

using namespace pic12addr;

// The programmer's HEX space: word w at cells 2w (low) and 2w + 1; configuration memory
// 0x2000.. at 0x4000..; EEPROM byte e at 0x4200 + 2e.
constexpr uint32_t kHexConfiguration = 2 * kConfigurationSpace;
constexpr uint32_t kHexEeprom = 0x4200;

uint32_t JsonNumber(const nlohmann::json& value) {
  if (value.is_string()) return static_cast<uint32_t>(std::stoul(value.get<std::string>(), 0, 0));
  return value.get<uint32_t>();
}

Pic12Factory FactoryOf(const nlohmann::json& options) {
  Pic12Factory factory;
  if (options.contains("calibration")) {
    factory.calibration = static_cast<uint8_t>(JsonNumber(options["calibration"]));
  }
  if (options.contains("bandGap")) {
    factory.bandGap = static_cast<uint8_t>(JsonNumber(options["bandGap"]) & 3);
  }
  if (options.contains("revision")) {
    factory.revision = static_cast<uint8_t>(JsonNumber(options["revision"]) & 0x1F);
  }
  factory.calibrationMissing = options.value("calibrationMissing", false);
  return factory;
}

std::string WordsToHex(std::span<const uint16_t> words) {
  std::vector<uint8_t> bytes;
  for (uint16_t word : words) {
    bytes.push_back(static_cast<uint8_t>(word & 0xFF));
    bytes.push_back(static_cast<uint8_t>(word >> 8));
  }
  std::string text = FormatHexBytes(bytes.data(), bytes.size());
  std::erase(text, ' ');
  return text;
}

void WordsFromHex(const nlohmann::json& state, const char* key, std::span<uint16_t> into) {
  if (!state.contains(key)) return;
  const std::vector<uint8_t> bytes = ParseHexBytes(state[key].get<std::string>());
  for (size_t i = 0; i < into.size() && 2 * i + 1 < bytes.size(); ++i) {
    into[i] = static_cast<uint16_t>(bytes[2 * i] | bytes[2 * i + 1] << 8);
  }
}

}  // namespace

Pic12Target::Pic12Target(const Pic12Part& part, const nlohmann::json& options)
    : chip_(std::make_unique<Pic12Chip>(part, FactoryOf(options))),
      firmware_(std::make_unique<Pic12Firmware>(*chip_)) {
  for (const auto& [key, value] : options.items()) {
    if (key == "calibration" || key == "bandGap" || key == "revision" ||
        key == "calibrationMissing") {
      continue;
    }
    if (key == "absent") {
      absent_ = value.get<bool>();
      chip_->SetAbsent(absent_);
    } else if (key == "stuckBits") {
      for (const auto& stuck : value) {
        chip_->AddStuckBit({.word = static_cast<uint16_t>(JsonNumber(stuck.at("word"))),
                            .bit = static_cast<uint8_t>(JsonNumber(stuck.at("bit")) % 14),
                            .level = JsonNumber(stuck.value("level", nlohmann::json(0))) != 0});
      }
    } else {
      throw std::runtime_error("unknown key \"" + key + "\" in target");
    }
  }
}

CommandStep Pic12Target::OnCommandBytes(std::span<const uint8_t> bytes, ITargetIo& io) {
  if (!Pic12Firmware::Serves(bytes[0])) return CommandStep::Unknown();
  if (const size_t missing = Pic12Firmware::MissingBytes(bytes)) {
    return CommandStep::NeedMore(missing);
  }
  // Out of programming mode the chip does not listen: the firmware reads a floating line.
  const bool listening = io.Lines().InProgrammingMode();
  if (!listening) io.Note("PIC12 target not in programming mode");
  chip_->SetAbsent(absent_ || !listening);
  io.Reply(firmware_->Execute(bytes));
  chip_->SetAbsent(absent_);
  io.AddDeviceMicros(chip_->TakeBusyMicros());
  return CommandStep::Done(Pic12Firmware::Name(bytes));
}

void Pic12Target::OnControlByte(uint8_t controlByte, ITargetIo& io) {
  if (controlByte == 0x16 && io.Lines().InProgrammingMode()) chip_->EnterProgramMode();
}

int Pic12Target::OnPinSample(uint8_t, ITargetIo& io) {
  if (!pinsNoted_) io.Note("PIC12 target: the mini programmer's pin protocol is not served");
  pinsNoted_ = true;
  return -1;
}

void Pic12Target::LoadImage(const HexImage& image) {
  std::map<uint16_t, uint16_t> words;  // counter address -> word
  auto word = [&](uint16_t address) -> uint16_t& {
    auto [it, fresh] = words.try_emplace(address, chip_->WordAt(address));
    return it->second;
  };
  for (const auto& [cell, value] : image) {
    const uint32_t shift = 8 * (cell % 2);
    if (cell < 2 * kProgramWords) {
      uint16_t& w = word(static_cast<uint16_t>(cell / 2));
      w = static_cast<uint16_t>((w & ~(0xFF << shift)) | value << shift);
    } else if (cell >= kHexConfiguration && cell < kHexConfiguration + 16) {
      uint16_t& w = word(static_cast<uint16_t>(cell / 2));
      w = static_cast<uint16_t>((w & ~(0xFF << shift)) | value << shift);
    } else if (cell >= kHexEeprom && cell < kHexEeprom + 2 * kEepromBytes && cell % 2 == 0) {
      chip_->eeprom()[(cell - kHexEeprom) / 2] = value;
    }
  }
  for (const auto& [address, value] : words) chip_->StoreWord(address, value);
}

nlohmann::json Pic12Target::SaveState() const {
  const Pic12Chip& chip = *chip_;
  std::string eeprom = FormatHexBytes(chip.eeprom().data(), chip.eeprom().size());
  std::erase(eeprom, ' ');
  return {{"program", WordsToHex(chip.program())},
          {"configuration", WordsToHex(chip.configurationMemory())},
          {"eeprom", eeprom}};
}

void Pic12Target::LoadState(const nlohmann::json& state) {
  WordsFromHex(state, "program", chip_->program());
  WordsFromHex(state, "configuration", chip_->configurationMemory());
  if (state.contains("eeprom")) {
    const std::vector<uint8_t> bytes = ParseHexBytes(state["eeprom"].get<std::string>());
    for (size_t i = 0; i < bytes.size() && i < chip_->eeprom().size(); ++i) {
      chip_->eeprom()[i] = bytes[i];
    }
  }
}

bool ClaimsPic12(const std::string& device) {
  return Pic12PartByName(device).has_value();
}

std::unique_ptr<ITarget> MakePic12(const std::string& device, const nlohmann::json& options) {
  return std::make_unique<Pic12Target>(*Pic12PartByName(device), options);
}

}  // namespace velmora::sim
