#pragma once
// The simulated PIC12F629/675 and PIC16F630/676 at its serial programming port, as the maker's
// programming rules describe the 14-bit mid-range core (shared/reference/pic10-pic12-icsp.md,
// part B): the 6-bit commands act on an address counter that runs through user program memory
// (0x0000..0x1FFF, the implemented 1K words aliased) and configuration memory
// (0x2000..0x3FFF: ID words, reserved words, device ID, configuration word). The last program
// word holds the factory oscillator calibration as RETLW k; bits 13..12 of the configuration
// word hold the factory band-gap calibration. Nothing here comes from the programmer's own code.
#include <array>
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace velmora::sim {

// What tells the parts apart, from the maker's data.
struct Pic12Part {
  const char* name;
  uint16_t deviceId;  // ID word with the revision bits zero
};
std::optional<Pic12Part> Pic12PartByName(std::string_view name);

namespace pic12addr {
constexpr uint32_t kProgramWords = 1024;
constexpr uint32_t kEepromBytes = 128;
constexpr uint16_t kCalibrationWord = 0x03FF;  // RETLW k, written at the factory
constexpr uint16_t kConfigurationSpace = 0x2000;
constexpr uint16_t kDeviceIdWord = 0x2006;
constexpr uint16_t kConfigurationWord = 0x2007;
constexpr uint16_t kBlankWord = 0x3FFF;
// Configuration word: bits 13..12 band gap, 8..0 options; bits 11..9 are not implemented and
// read 0.
constexpr uint16_t kBandGapBits = 0x3000;
constexpr uint16_t kImplementedConfigBits = 0x31FF;
constexpr uint16_t kRetlw = 0x3400;  // RETLW k: 11 01xx kkkk kkkk
}  // namespace pic12addr

// The factory state of one chip.
struct Pic12Factory {
  uint8_t calibration = 0x5C;       // k of the RETLW at the last program word
  uint8_t bandGap = 2;              // BG1:BG0
  uint8_t revision = 3;             // low five bits of the device ID word
  bool calibrationMissing = false;  // an earlier programmer erased the calibration word
};

// A bit that keeps its level whatever is written: `word` in the counter's address space.
struct Pic12StuckBit {
  uint16_t word;
  uint8_t bit;
  bool level;
};

class Pic12Chip {
 public:
  Pic12Chip(const Pic12Part& part, const Pic12Factory& factory);

  // MCLR raised to VIHH with ICSPCLK and ICSPDAT low: the counter starts at 0.
  void EnterProgramMode();
  // The commands of the programming port.
  void LoadConfiguration(uint16_t data);  // counter to 0x2000, the word latched
  void LoadProgramData(uint16_t data);
  void LoadDataMemory(uint8_t data);
  uint16_t ReadProgramData() const;
  uint8_t ReadDataMemory() const;
  void IncrementAddress();
  // Erases and writes the latched word (or data byte, after a data memory load) at the counter.
  void BeginProgramming();
  // Program memory; with the counter in configuration memory also the ID words and the
  // configuration word (band-gap bits with it).
  void BulkEraseProgram();
  void BulkEraseData();

  uint16_t Counter() const { return counter_; }
  // Not answering at all: the data line stays high.
  void SetAbsent(bool absent) { absent_ = absent; }
  void AddStuckBit(const Pic12StuckBit& stuck) { stuckBits_.push_back(stuck); }
  // Microseconds of erase and write cycles since the last call.
  double TakeBusyMicros();

  std::vector<uint16_t>& program() { return program_; }
  const std::vector<uint16_t>& program() const { return program_; }
  // Words 0x2000..0x2007 as stored.
  std::array<uint16_t, 8>& configurationMemory() { return configuration_; }
  const std::array<uint16_t, 8>& configurationMemory() const { return configuration_; }
  std::vector<uint8_t>& eeprom() { return eeprom_; }
  const std::vector<uint8_t>& eeprom() const { return eeprom_; }

  // The word at an address of the counter's space as the chip reads it.
  uint16_t WordAt(uint16_t address) const;
  // Stores a word as a write cycle would (implemented bits, stuck bits, read-only words).
  void StoreWord(uint16_t address, uint16_t value);

 private:
  uint16_t ApplyStuckBits(uint16_t address, uint16_t value) const;

  std::vector<uint16_t> program_;
  std::array<uint16_t, 8> configuration_{};
  std::vector<uint8_t> eeprom_;
  std::vector<Pic12StuckBit> stuckBits_;
  uint16_t counter_ = 0;
  uint16_t latch_ = pic12addr::kBlankWord;
  bool dataLatched_ = false;  // the last load was Load Data for Data Memory
  bool absent_ = false;
  double busyMicros_ = 0;
};

}  // namespace velmora::sim
