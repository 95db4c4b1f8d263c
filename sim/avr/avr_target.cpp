#include "avr_target.h"

#include <algorithm>
#include <cctype>
#include <stdexcept>

#include "memory/catalogue.h"
#include "scenario.h"

namespace velmora::sim {

namespace {

constexpr uint32_t kHexEeprom = 0xF00000;
constexpr uint32_t kHexFuses = 0x300000;

uint32_t JsonNumber(const nlohmann::json& value) {
  if (value.is_string()) return static_cast<uint32_t>(std::stoul(value.get<std::string>(), 0, 0));
  return value.get<uint32_t>();
}

// Memories in the state file as packed hexadecimal pairs, "0C4142".
std::string ToHex(const uint8_t* bytes, size_t count) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(2 * count);
  for (size_t i = 0; i < count; ++i) {
    text += kDigits[bytes[i] >> 4];
    text += kDigits[bytes[i] & 0xF];
  }
  return text;
}

// The catalogue's factory fuses, where it knows the part; else the chip's erased state.
void CatalogueFactoryFuses(const std::string& device, AvrChip& chip) {
  for (int row = 1; row <= kAvrDeviceRows; ++row) {
    if (device != kAvrDevices[row].name) continue;
    for (int i = 0; i < 3; ++i) chip.factoryFuses()[i] = kAvrDevices[row].fuses[i].factory;
    chip.lock() = kAvrDevices[row].fuses[kAvrLockByte].factory;
    return;
  }
  chip.factoryFuses() = {0x62, 0xD9, 0xFF};  // the ATmega328P's data sheet defaults
}

AvrPart PartFor(const std::string& device, const nlohmann::json& options) {
  AvrPart part = AvrPartByName(device).value_or(AvrPart{});
  if (!AvrPartByName(device)) {
    for (const char* key : {"signature", "flashBytes", "pageWords", "eepromBytes"}) {
      if (!options.contains(key)) {
        throw std::runtime_error("AVR target \"" + device + "\" is not a known part: give " + key);
      }
    }
    part.fuseBytes = 3;
    part.fuseMasks[0] = part.fuseMasks[1] = 0xFF;
    part.fuseMasks[2] = 0x07;
    part.lockMask = 0x3F;
    part.spien = {1, 5};
    part.eesave = {1, 3};
    part.ckdiv8 = {0, 7};
    part.rstdisbl = {1, 7};
  }
  auto number = [&](const char* key, auto& into) {
    if (options.contains(key))
      into = static_cast<std::remove_reference_t<decltype(into)>>(JsonNumber(options[key]));
  };
  number("flashBytes", part.flashBytes);
  number("pageWords", part.pageWords);
  number("eepromBytes", part.eepromBytes);
  number("eepromPageBytes", part.eepromPageBytes);
  number("fuseBytes", part.fuseBytes);
  number("calibrationBytes", part.calibrationBytes);
  if (options.contains("signature")) {
    const std::vector<uint8_t> bytes = ParseHexBytes(options["signature"].get<std::string>());
    if (bytes.size() != 3) throw std::runtime_error("\"signature\" takes three bytes");
    std::copy_n(bytes.begin(), 3, part.signature);
  }
  return part;
}

void Bytes(const nlohmann::json& options, const char* key, uint8_t* into, size_t count) {
  if (!options.contains(key)) return;
  const std::vector<uint8_t> bytes = ParseHexBytes(options[key].get<std::string>());
  std::copy_n(bytes.begin(), std::min(count, bytes.size()), into);
}

}  // namespace

AvrTarget::AvrTarget(const AvrPart& part, const nlohmann::json& options)
    : chip_(part), firmware_(chip_) {
  static const char* const kSizes[] = {"signature",       "flashBytes",      "pageWords",
                                       "eepromBytes",     "eepromPageBytes", "fuseBytes",
                                       "calibrationBytes"};
  for (const auto& [key, value] : options.items()) {
    if (std::find(std::begin(kSizes), std::end(kSizes), key) != std::end(kSizes)) continue;
    if (key == "absent") {
      chip_.absent = value.get<bool>();
    } else if (key == "fuses") {
      Bytes(options, "fuses", chip_.fuses().data(), 3);
    } else if (key == "lock") {
      chip_.lock() = static_cast<uint8_t>(JsonNumber(value));
    } else if (key == "factoryFuses") {
      Bytes(options, "factoryFuses", chip_.factoryFuses().data(), 3);
    } else if (key == "calibration") {
      Bytes(options, "calibration", chip_.calibration().data(), 4);
    } else if (key == "crystalHz") {
      chip_.clockInputs().crystalHz = value.get<double>();
    } else if (key == "externalClockHz") {
      chip_.clockInputs().externalClockHz = value.get<double>();
    } else if (key == "programmerClockOnXtal1") {
      chip_.clockInputs().programmerClockOnXtal1 = value.get<bool>();
    } else if (key == "failFuseWriteOnce") {
      for (const auto& index : value) chip_.lostFuseWrites.at(JsonNumber(index) & 3) += 1;
    } else if (key == "dropSyncAfter") {
      chip_.dropSyncAfter = JsonNumber(value);
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
      AvrBusyTimes& times = chip_.busyTimes();
      times.fuse = value.value("fuse", times.fuse);
      times.flashPage = value.value("flashPage", times.flashPage);
      times.eeprom = value.value("eeprom", times.eeprom);
      times.erase = value.value("erase", times.erase);
    } else {
      throw std::runtime_error("unknown key \"" + key + "\" in target");
    }
  }
}

CommandStep AvrTarget::OnCommandBytes(std::span<const uint8_t> bytes, ITargetIo& io) {
  if (!AvrFirmware::Serves(bytes[0])) return CommandStep::Unknown();
  if (const size_t missing = firmware_.MissingBytes(bytes)) return CommandStep::NeedMore(missing);
  double took = 0;
  const std::vector<uint8_t> reply = firmware_.Execute(bytes, io.NowMicros(), took);
  io.AddDeviceMicros(took);
  for (const std::string& note : chip_.TakeNotes()) io.Note(note);
  io.Reply(reply);
  return CommandStep::Done(AvrFirmware::Name(bytes));
}

void AvrTarget::OnControlByte(uint8_t, ITargetIo& io) {
  const bool powered = io.Lines().Powered();
  if (!powered && wasPowered_) chip_.PowerOff();
  if (powered && !wasPowered_) chip_.Reset(io.NowMicros());
  wasPowered_ = powered;
  linesSeen_ = true;
}

int AvrTarget::OnPinSample(uint8_t, ITargetIo& io) {
  if (!pinsNoted_) io.Note("AVR target: the mini programmer's pin protocol is not served");
  pinsNoted_ = true;
  return -1;
}

// The clock the programmer counts. Until the programmer first sets its lines the chip runs on
// the board's supply since the simulator started, with the clock its fuses and the board give;
// after that, the clock it latched at its last reset (a fuse written since does not change it),
// and none while it has no supply.
std::optional<double> AvrTarget::ClockMegahertz() const {
  if (chip_.absent || (linesSeen_ && !wasPowered_)) return std::nullopt;
  const double hz = linesSeen_ ? chip_.ClockHz() : chip_.FuseClockHz();
  if (!(hz > 0)) return std::nullopt;
  return hz / 1e6;
}

void AvrTarget::LoadImage(const HexImage& image) {
  for (const auto& [address, value] : image) {
    if (address < chip_.flash().size()) {
      chip_.flash()[address] = value;
    } else if (address >= kHexEeprom && address - kHexEeprom < chip_.eeprom().size()) {
      chip_.eeprom()[address - kHexEeprom] = value;
    } else if (address >= kHexFuses && address < kHexFuses + 3) {
      chip_.fuses()[address - kHexFuses] = value;
    } else if (address == kHexFuses + 3) {
      chip_.lock() = value;
    }
  }
}

nlohmann::json AvrTarget::SaveState() const {
  const AvrChip& chip = chip_;
  const uint8_t lock = chip.lock();
  return {{"flash", ToHex(chip.flash().data(), chip.flash().size())},
          {"eeprom", ToHex(chip.eeprom().data(), chip.eeprom().size())},
          {"fuses", ToHex(chip.fuses().data(), 3)},
          {"lock", ToHex(&lock, 1)},
          {"calibration", ToHex(chip.calibration().data(), 4)}};
}

void AvrTarget::LoadState(const nlohmann::json& state) {
  auto into = [&](const char* key, uint8_t* bytes, size_t count) {
    if (!state.contains(key)) return;
    const std::vector<uint8_t> saved = ParseHexBytes(state[key].get<std::string>());
    std::copy_n(saved.begin(), std::min(count, saved.size()), bytes);
  };
  into("flash", chip_.flash().data(), chip_.flash().size());
  into("eeprom", chip_.eeprom().data(), chip_.eeprom().size());
  into("fuses", chip_.fuses().data(), 3);
  into("lock", &chip_.lock(), 1);
  into("calibration", chip_.calibration().data(), 4);
}

bool ClaimsAvr(const std::string& device) {
  if (AvrPartByName(device)) return true;
  // A chip the catalogue does not know, described by the scenario: "ATmega328P", "ATtiny4313".
  std::string lower;
  for (char ch : device) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(ch)));
  return FamilyOfDevice(device) == Family::kNone &&
         (lower.starts_with("atmega") || lower.starts_with("attiny"));
}

std::unique_ptr<ITarget> MakeAvr(const std::string& device, const nlohmann::json& options) {
  auto target = std::make_unique<AvrTarget>(PartFor(device, options), options);
  // Factory state: the catalogue's (or the data sheet's) fuses unless the scenario gives them.
  AvrChip& chip = target->chip();
  CatalogueFactoryFuses(device, chip);
  if (!options.contains("fuses")) chip.fuses() = chip.factoryFuses();
  if (options.contains("fuses")) Bytes(options, "fuses", chip.fuses().data(), 3);
  if (options.contains("factoryFuses"))
    Bytes(options, "factoryFuses", chip.factoryFuses().data(), 3);
  if (options.contains("lock")) chip.lock() = static_cast<uint8_t>(JsonNumber(options["lock"]));
  return target;
}

}  // namespace velmora::sim
