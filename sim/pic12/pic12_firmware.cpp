#include "pic12_firmware.h"

namespace velmora::sim {

namespace {

using namespace pic12addr;

constexpr uint8_t kDeviceParameters = 0x1F;
constexpr uint8_t kReadAll = 0x41;
constexpr uint8_t kWriteConfigHigh = 0x42;
constexpr uint8_t kEraseEeprom = 0x43;
constexpr uint8_t kWriteProgram = 0x44;
constexpr uint8_t kEraseProgram = 0x45;
constexpr uint8_t kWriteConfigArea = 0x46;
constexpr uint8_t kWriteEeprom = 0x47;

constexpr size_t kConfigAreaWords = 8;
constexpr size_t kConfigAreaHeader = 3;  // 44 08 00

uint32_t Le16(std::span<const uint8_t> bytes, size_t at) {
  return bytes[at] | uint32_t{bytes[at + 1]} << 8;
}

void AppendWord(std::vector<uint8_t>& reply, uint16_t word) {
  reply.push_back(static_cast<uint8_t>(word & 0xFF));
  reply.push_back(static_cast<uint8_t>(word >> 8));
}

// The whole length of a command once its count operands have arrived; 0 while they have not.
size_t CommandLength(std::span<const uint8_t> received) {
  switch (received[0]) {
    case kDeviceParameters:
      return 4;
    case kReadAll:
      return 4;
    case kWriteConfigHigh:
      return 2;
    case kEraseEeprom:
    case kEraseProgram:
      return 1;
    case kWriteProgram:
      return received.size() < 3 ? 0 : 3 + 2 * size_t{Le16(received, 1)};
    case kWriteConfigArea:
      return 1 + kConfigAreaHeader + 2 * kConfigAreaWords;
    case kWriteEeprom:
      return received.size() < 2 ? 0 : 2 + size_t{received[1]} + 1;
    default:
      return 0;
  }
}

}  // namespace

bool Pic12Firmware::Serves(uint8_t command) {
  return command == kDeviceParameters || (command >= kReadAll && command <= kWriteEeprom);
}

size_t Pic12Firmware::MissingBytes(std::span<const uint8_t> received) {
  const size_t length = CommandLength(received);
  if (length == 0) return 1;  // the count operands are still on their way
  return received.size() >= length ? 0 : length - received.size();
}

std::string Pic12Firmware::Name(std::span<const uint8_t> command) {
  switch (command[0]) {
    case kDeviceParameters:
      return "PIC12 device parameters";
    case kReadAll:
      return "PIC12 read " + std::to_string(Le16(command, 1)) + " program words, " +
             std::to_string(command[3]) + " EEPROM bytes and the configuration memory";
    case kWriteConfigHigh:
      return "PIC12 write erased configuration word with the band-gap bits";
    case kEraseEeprom:
      return "PIC12 erase data EEPROM";
    case kWriteProgram:
      return "PIC12 write " + std::to_string(Le16(command, 1)) + " program words";
    case kEraseProgram:
      return "PIC12 erase program memory, keeping the calibration";
    case kWriteConfigArea:
      return "PIC12 write ID words and configuration word";
    case kWriteEeprom:
      return "PIC12 write " + std::to_string(command[1] + 1) + " EEPROM bytes";
    default:
      return "PIC12 unknown command";
  }
}

std::vector<uint8_t> Pic12Firmware::Execute(std::span<const uint8_t> command) {
  switch (command[0]) {
    case kDeviceParameters:
      for (size_t k = 0; k < parameters_.size(); ++k) parameters_[k] = command[1 + k];
      return {};
    case kReadAll:
      return ReadAll(Le16(command, 1), command[3]);
    case kWriteConfigHigh:
      WriteConfigurationHigh(command[1]);
      return {};
    case kEraseEeprom:
      chip_.EnterProgramMode();
      chip_.BulkEraseData();
      return {};
    case kWriteProgram:
      return WriteProgram(command.subspan(3));
    case kEraseProgram:
      return {EraseKeepingCalibration()};
    case kWriteConfigArea:
      return WriteConfigurationArea(command.subspan(1 + kConfigAreaHeader));
    case kWriteEeprom:
      return WriteEeprom(command.subspan(2));
    default:
      return {};
  }
}

std::vector<uint8_t> Pic12Firmware::ReadAll(uint32_t words, uint32_t eepromBytes) {
  std::vector<uint8_t> reply;
  chip_.EnterProgramMode();
  for (uint32_t w = 0; w < words; ++w) {
    AppendWord(reply, chip_.ReadProgramData());
    chip_.IncrementAddress();
  }
  chip_.EnterProgramMode();
  for (uint32_t b = 0; b < eepromBytes; ++b) {
    reply.push_back(chip_.ReadDataMemory());
    chip_.IncrementAddress();
  }
  chip_.LoadConfiguration(kBlankWord);
  for (size_t w = 0; w < kConfigAreaWords; ++w) {
    AppendWord(reply, chip_.ReadProgramData());
    chip_.IncrementAddress();
  }
  return reply;
}

void Pic12Firmware::MoveToConfigurationWord() {
  chip_.EnterProgramMode();
  chip_.LoadConfiguration(kBlankWord);
  while (chip_.Counter() != kConfigurationWord) chip_.IncrementAddress();
}

void Pic12Firmware::WriteConfigurationHigh(uint8_t high) {
  MoveToConfigurationWord();
  chip_.LoadProgramData(static_cast<uint16_t>(high << 8 | 0xFF));
  chip_.BeginProgramming();
}

std::vector<uint8_t> Pic12Firmware::WriteProgram(std::span<const uint8_t> data) {
  std::vector<uint8_t> reply;
  chip_.EnterProgramMode();
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    chip_.LoadProgramData(static_cast<uint16_t>(Le16(data, i)));
    chip_.BeginProgramming();
    AppendWord(reply, chip_.ReadProgramData());
    chip_.IncrementAddress();
  }
  return reply;
}

// Read the calibration word and the band-gap bits, erase everything with the counter in
// configuration memory, then write both back and check them.
uint8_t Pic12Firmware::EraseKeepingCalibration() {
  chip_.EnterProgramMode();
  while (chip_.Counter() != kCalibrationWord) chip_.IncrementAddress();
  const uint16_t calibration = chip_.ReadProgramData();
  MoveToConfigurationWord();
  const uint16_t bandGap = chip_.ReadProgramData() & kBandGapBits;

  chip_.BulkEraseProgram();
  chip_.LoadProgramData(static_cast<uint16_t>((kBlankWord & ~kBandGapBits) | bandGap));
  chip_.BeginProgramming();
  const bool bandGapKept = (chip_.ReadProgramData() & kBandGapBits) == bandGap;

  chip_.EnterProgramMode();
  while (chip_.Counter() != kCalibrationWord) chip_.IncrementAddress();
  chip_.LoadProgramData(calibration);
  chip_.BeginProgramming();
  const bool calibrationKept = chip_.ReadProgramData() == calibration;
  return bandGapKept && calibrationKept ? 1 : 0;
}

std::vector<uint8_t> Pic12Firmware::WriteConfigurationArea(std::span<const uint8_t> data) {
  std::vector<uint8_t> reply;
  chip_.EnterProgramMode();
  for (size_t w = 0; w < kConfigAreaWords; ++w) {
    const auto word = static_cast<uint16_t>(Le16(data, 2 * w));
    if (w == 0) {
      chip_.LoadConfiguration(word);
    } else {
      chip_.LoadProgramData(word);
    }
    // The reserved words and the device ID take no writes.
    const uint16_t address = chip_.Counter();
    if (address < kConfigurationSpace + 4 || address == kConfigurationWord) {
      chip_.BeginProgramming();
    }
    AppendWord(reply, chip_.ReadProgramData());
    chip_.IncrementAddress();
  }
  return reply;
}

std::vector<uint8_t> Pic12Firmware::WriteEeprom(std::span<const uint8_t> data) {
  std::vector<uint8_t> reply;
  chip_.EnterProgramMode();
  for (uint8_t value : data) {
    chip_.LoadDataMemory(value);
    chip_.BeginProgramming();
    reply.push_back(chip_.ReadDataMemory());
    chip_.IncrementAddress();
  }
  return reply;
}

}  // namespace velmora::sim
