#include "pic10_firmware.h"

namespace velmora::sim {

namespace {

constexpr uint8_t kDeviceParameters = 0x1F;
constexpr uint8_t kReadAll = 0x41;
constexpr uint8_t kWriteProgram = 0x44;
constexpr uint8_t kErase = 0x49;
constexpr uint32_t kBackupOffset = pic10addr::kBackupOffset;

uint32_t Le16(std::span<const uint8_t> bytes, size_t at) {
  return bytes[at] | uint32_t{bytes[at + 1]} << 8;
}

size_t CommandLength(std::span<const uint8_t> received) {
  switch (received[0]) {
    case kDeviceParameters:
    case kReadAll:
      return 4;
    case kWriteProgram:
      return received.size() < 3 ? 0 : 3 + 2 * size_t{Le16(received, 1)};
    case kErase:
      return 3;
    default:
      return 0;
  }
}

}  // namespace

bool Pic10Firmware::Serves(uint8_t command) {
  return command == kDeviceParameters || command == kReadAll || command == kWriteProgram ||
         command == kErase;
}

size_t Pic10Firmware::MissingBytes(std::span<const uint8_t> received) {
  const size_t length = CommandLength(received);
  if (length == 0) return 1;
  return received.size() >= length ? 0 : length - received.size();
}

std::string Pic10Firmware::Name(std::span<const uint8_t> command) {
  switch (command[0]) {
    case kDeviceParameters:
      return "PIC10 device parameters";
    case kReadAll:
      return "PIC10 read all words from the configuration word";
    case kWriteProgram:
      return "PIC10 write " + std::to_string(Le16(command, 1)) +
             " words from the configuration word";
    case kErase:
      return "PIC10 erase " + std::to_string(Le16(command, 1)) + " words on";
    default:
      return "PIC10 unknown command";
  }
}

std::vector<uint8_t> Pic10Firmware::Execute(std::span<const uint8_t> command) {
  switch (command[0]) {
    case kDeviceParameters:
      for (size_t k = 0; k < parameters_.size(); ++k) parameters_[k] = command[1 + k];
      return {};
    case kReadAll:
      return ReadWords((2 * Le16(command, 1) + command[3] + 16) / 2);
    case kWriteProgram:
      return WriteWords(command.subspan(3));
    case kErase:
      Erase(Le16(command, 1));
      return {};
    default:
      return {};
  }
}

void Pic10Firmware::EnterAndAdvance(uint32_t words) {
  chip_.EnterProgramMode();
  for (uint32_t i = 0; i < words; ++i) chip_.IncrementAddress();
}

std::vector<uint8_t> Pic10Firmware::ReadWords(uint32_t count) {
  std::vector<uint8_t> reply;
  chip_.EnterProgramMode();
  for (uint32_t i = 0; i < count; ++i) {
    const uint16_t word = chip_.ReadProgramData();
    reply.push_back(static_cast<uint8_t>(word & 0xFF));
    reply.push_back(static_cast<uint8_t>(word >> 8));
    chip_.IncrementAddress();
  }
  return reply;
}

std::vector<uint8_t> Pic10Firmware::WriteWords(std::span<const uint8_t> data) {
  std::vector<uint8_t> reply;
  chip_.EnterProgramMode();
  for (size_t i = 0; i + 1 < data.size(); i += 2) {
    chip_.LoadProgramData(static_cast<uint16_t>(Le16(data, i)));
    chip_.BeginProgramming();
    const uint16_t word = chip_.ReadProgramData();
    reply.push_back(static_cast<uint8_t>(word & 0xFF));
    reply.push_back(static_cast<uint8_t>(word >> 8));
    chip_.IncrementAddress();
  }
  return reply;
}

// Past word 0 the counter stands in configuration memory, where the erase also takes the backup
// calibration word: it is read before and written back after, as the maker asks of a
// programmer.
void Pic10Firmware::Erase(uint32_t advance) {
  const bool keepBackup = advance > 1;
  uint16_t backup = pic10addr::kBlankWord;
  if (keepBackup) {
    EnterAndAdvance(advance + kBackupOffset);
    backup = chip_.ReadProgramData();
  }
  EnterAndAdvance(advance);
  chip_.BulkEraseProgram();
  if (keepBackup) {
    EnterAndAdvance(advance + kBackupOffset);
    chip_.LoadProgramData(backup);
    chip_.BeginProgramming();
  }
}

}  // namespace velmora::sim
