#include "dspic30_target.h"

#include <algorithm>
#include <stdexcept>

#include "scenario.h"

namespace velmora::sim {

namespace {

using namespace dspic30addr;

// The programmer's HEX space holds byte k of the word at program-space address a at 2a + k:
// four cells per word (an instruction's three bytes and the phantom byte; a 16-bit word's two
// bytes and two zero cells).
constexpr uint32_t kHexEepromEnd = 2 * kEepromEnd;
constexpr uint32_t kHexConfiguration = 2 * kConfiguration;

uint32_t JsonNumber(const nlohmann::json& value, const std::string& key,
                    uint64_t max = UINT32_MAX) {
  return static_cast<uint32_t>(ScenarioNumber(value, key, max));
}

uint16_t RevisionOption(const nlohmann::json& options) {
  if (!options.contains("revision")) return DsPic30Memory::kDefaultRevision;
  return static_cast<uint16_t>(JsonNumber(options["revision"], "revision", 0xFFFF));
}

template <typename Word>
std::string WordsToHex(std::span<const Word> words, int bytesPerWord) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string text;
  text.reserve(words.size() * bytesPerWord * 2);
  for (Word word : words) {
    for (int k = 0; k < bytesPerWord; ++k) {
      const auto byte = static_cast<uint8_t>(word >> (8 * k));
      text += kDigits[byte >> 4];
      text += kDigits[byte & 0xF];
    }
  }
  return text;
}

template <typename Word>
void WordsFromHex(const nlohmann::json& state, const char* key, std::span<Word> into,
                  int bytesPerWord) {
  if (!state.contains(key)) return;
  const std::vector<uint8_t> bytes = ParseHexBytes(state[key].get<std::string>());
  const size_t words = std::min(into.size(), bytes.size() / bytesPerWord);
  for (size_t i = 0; i < words; ++i) {
    uint32_t word = 0;
    for (int k = 0; k < bytesPerWord; ++k) word |= uint32_t{bytes[i * bytesPerWord + k]} << (8 * k);
    into[i] = static_cast<Word>(word);
  }
}

template <typename Word>
void SetByte(Word& word, uint32_t k, uint8_t value) {
  const uint32_t shift = 8 * k;
  word = static_cast<Word>((word & ~(Word{0xFF} << shift)) | Word(value) << shift);
}

}  // namespace

DsPic30Target::DsPic30Target(const DsPic30Geometry& geometry, const nlohmann::json& options)
    : memory_(geometry, RevisionOption(options)), core_(memory_), firmware_(core_) {
  for (const auto& [key, value] : options.items()) {
    if (key == "revision") continue;
    if (key == "absent") {
      const std::string level = value.get<std::string>();
      if (level != "low" && level != "high") {
        throw std::runtime_error("\"absent\" must be \"low\" or \"high\"");
      }
      memory_.SetAbsent(level == "low" ? DsPic30Absent::kReadsLow : DsPic30Absent::kReadsHigh);
    } else if (key == "stuckBits") {
      for (const auto& stuck : value) {
        memory_.AddStuckBit(
            {.address = JsonNumber(stuck.at("address"), "stuckBits.address"),
             .bit = static_cast<uint8_t>(JsonNumber(stuck.at("bit"), "stuckBits.bit", 7)),
             .level =
                 JsonNumber(stuck.value("level", nlohmann::json(0)), "stuckBits.level", 1) != 0});
      }
    } else if (key == "codeProtected") {
      if (value.get<bool>()) memory_.configuration()[kFgs] = 0;
    } else if (key == "ram") {
      const std::vector<uint8_t> bytes = ParseHexBytes(value.get<std::string>());
      std::copy_n(bytes.begin(), std::min(bytes.size(), memory_.ram().size()),
                  memory_.ram().begin());
    } else {
      throw std::runtime_error("unknown key \"" + key + "\" in target");
    }
  }
}

CommandStep DsPic30Target::OnCommandBytes(std::span<const uint8_t> bytes, ITargetIo& io) {
  if (!DsPic30Firmware::Serves(bytes[0])) return CommandStep::Unknown();
  if (const size_t missing = DsPic30Firmware::MissingBytes(bytes)) {
    return CommandStep::NeedMore(missing);
  }
  // Out of programming mode the chip does not listen: the firmware reads a floating line.
  const DsPic30Absent absent = memory_.absent();
  if (!io.Lines().InProgrammingMode()) {
    io.Note("dsPIC30 target not in programming mode");
    memory_.SetAbsent(DsPic30Absent::kReadsHigh);
  }
  io.Reply(firmware_.Execute(bytes));
  memory_.SetAbsent(absent);
  for (const std::string& note : core_.TakeNotes()) io.Note(note);
  io.AddDeviceMicros(core_.TakeBusyMicros());
  return CommandStep::Done(DsPic30Firmware::Name(bytes));
}

void DsPic30Target::OnControlByte(uint8_t controlByte, ITargetIo& io) {
  // MCLR to VIHH (0x16, 0x17) resets the chip into ICSP mode; so does a power cycle.
  if (controlByte == 0x16 || controlByte == 0x17 || !io.Lines().Powered()) core_.Reset();
}

int DsPic30Target::OnPinSample(uint8_t, ITargetIo& io) {
  if (!pinsNoted_) io.Note("dsPIC30 target: the mini programmer's pin protocol is not served");
  pinsNoted_ = true;
  return -1;
}

void DsPic30Target::LoadImage(const HexImage& image) {
  const uint32_t hexEeprom = 2 * memory_.EepromStart();
  for (const auto& [address, value] : image) {
    const uint32_t k = address % 4;
    if (address / 4 < memory_.program().size()) {
      if (k < 3) SetByte(memory_.program()[address / 4], k, value);
    } else if (address >= hexEeprom && address < kHexEepromEnd) {
      if (k < 2) SetByte(memory_.eeprom()[(address - hexEeprom) / 4], k, value);
    } else if (address - kHexConfiguration < 4 * kConfigurationCount) {
      const uint32_t index = (address - kHexConfiguration) / 4;
      if (k < 2) {
        uint16_t word = memory_.configuration()[index];
        SetByte(word, k, value);
        memory_.WriteConfiguration(index, word);
      }
    }
  }
}

nlohmann::json DsPic30Target::SaveState() const {
  return {{"program", WordsToHex(memory_.program(), 3)},
          {"eeprom", WordsToHex(memory_.eeprom(), 2)},
          {"configuration", WordsToHex(memory_.configuration(), 2)},
          {"ram", WordsToHex(memory_.ram(), 1)}};
}

void DsPic30Target::LoadState(const nlohmann::json& state) {
  WordsFromHex(state, "program", memory_.program(), 3);
  WordsFromHex(state, "eeprom", memory_.eeprom(), 2);
  WordsFromHex(state, "configuration", memory_.configuration(), 2);
  WordsFromHex(state, "ram", memory_.ram(), 1);
}

bool ClaimsDsPic30(const std::string& device) {
  return DsPic30GeometryByName(device).has_value();
}

std::unique_ptr<ITarget> MakeDsPic30(const std::string& device, const nlohmann::json& options) {
  return std::make_unique<DsPic30Target>(*DsPic30GeometryByName(device), options);
}

}  // namespace velmora::sim
