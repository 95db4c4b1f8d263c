#pragma once
// The simulated PIC10F200/202/204/206 at its serial programming port, as the maker's programming
// rules describe the 12-bit baseline core (shared/reference/pic10-pic12-icsp.md, part A). In
// Program/Verify mode the counter runs through twice the user memory: user words 0..N-1 (the
// factory oscillator calibration MOVLW k at N-1), then configuration memory from N (ID words
// N..N+3, the backup calibration word at N+4, reserved words up to N+0x3F), the configuration
// word at the top (2N-1), where the counter starts on entry. Nothing here comes from the
// programmer's own code.
#include <cstdint>
#include <optional>
#include <string_view>
#include <vector>

namespace velmora::sim {

struct Pic10Part {
  const char* name;
  uint16_t userWords;  // 256 (200, 204) or 512 (202, 206)
};
std::optional<Pic10Part> Pic10PartByName(std::string_view name);

namespace pic10addr {
constexpr uint16_t kBlankWord = 0x0FFF;
constexpr uint16_t kMovlw = 0x0C00;            // MOVLW k: 1100 kkkk kkkk
constexpr uint16_t kConfigMemoryWords = 0x40;  // from N: ID words, backup, reserved
constexpr uint16_t kIdWords = 4;
constexpr uint16_t kBackupOffset = 4;  // backup calibration word at N + 4
// Configuration word: MCLRE (4), CP (3), WDTE (2) and the oscillator bits 1..0 are kept;
// bits 11..5 are not implemented and read 1.
constexpr uint16_t kImplementedConfigBits = 0x001F;
}  // namespace pic10addr

struct Pic10Factory {
  uint8_t calibration = 0x18;       // k of the MOVLW at N-1 and of its backup at N+4
  bool calibrationMissing = false;  // an earlier programmer erased the word at N-1
  bool backupMissing = false;       // ... and the backup
};

struct Pic10StuckBit {
  uint16_t word;  // in the counter's address space
  uint8_t bit;
  bool level;
};

class Pic10Chip {
 public:
  Pic10Chip(const Pic10Part& part, const Pic10Factory& factory);

  uint16_t UserWords() const { return userWords_; }
  uint16_t ConfigurationAddress() const { return static_cast<uint16_t>(2 * userWords_ - 1); }

  // MCLR raised to VIHH with ICSPCLK and ICSPDAT low: the counter on the configuration word.
  void EnterProgramMode();
  void LoadProgramData(uint16_t data);
  uint16_t ReadProgramData() const;
  void IncrementAddress();
  // Programs the latched word at the counter; flash cells only go from 1 to 0.
  void BeginProgramming();
  // Program memory and configuration word; with the counter in configuration memory also the ID
  // words and the backup calibration word.
  void BulkEraseProgram();

  uint16_t Counter() const { return counter_; }
  void SetAbsent(bool absent) { absent_ = absent; }
  void AddStuckBit(const Pic10StuckBit& stuck) { stuckBits_.push_back(stuck); }
  double TakeBusyMicros();

  // Words 0..2N-1 of the counter's space as stored (unimplemented reserved words read 0).
  std::vector<uint16_t>& words() { return words_; }
  const std::vector<uint16_t>& words() const { return words_; }
  uint16_t WordAt(uint16_t address) const;
  void StoreWord(uint16_t address, uint16_t value);

 private:
  bool Exists(uint16_t address) const;
  uint16_t ApplyStuckBits(uint16_t address, uint16_t value) const;

  uint16_t userWords_;
  std::vector<uint16_t> words_;
  std::vector<Pic10StuckBit> stuckBits_;
  uint16_t counter_ = 0;
  uint16_t latch_ = pic10addr::kBlankWord;
  bool absent_ = false;
  double busyMicros_ = 0;
};

}  // namespace velmora::sim
