#pragma once
// The simulated PIC18 as the mini programmer sees it: an ICSP target that decodes the bit-bang
// samples (PGC clock, PGD data, MCLR/VPP), runs the 4-bit commands and the core instructions
// that the programming sequences use, and drives PGD while it shifts a byte out.
//
// Simplification: every device accepts the programming interface of the 8-byte-buffer PIC18
// devices - the bulk-erase options written to 0x3C0004 (0x80 chip, 0x81 data EEPROM, 0x83 boot
// block, 0x88 + k program panel k) and the multi-panel write flag in 0x3C0006 - whatever its
// own data sheet asks for. The boot block is taken as the first 512 bytes; erases take effect
// when the option is written.
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "pic18_memory.h"

namespace velmora::sim {

// Pin bits of the programmer's bit-bang port as they reach the target.
namespace icsp_pin {
constexpr uint8_t kPgd = 0x04;
constexpr uint8_t kPgc = 0x08;
constexpr uint8_t kPgm = 0x40;
constexpr uint8_t kVpp = 0x80;  // high: MCLR at programming voltage
}  // namespace icsp_pin

class Pic18IcspTarget {
 public:
  struct Counters {
    uint64_t commands = 0;       // complete 20-bit commands
    uint64_t programCycles = 0;  // writes and row erases started by a programming hold
    uint64_t lostWrites = 0;     // start-programming whose hold was too short or misplaced
    uint64_t unknownCommands = 0;
  };

  explicit Pic18IcspTarget(Pic18Memory& memory);

  // Duration of one sample, so that the programming hold (PGC held high) can be timed.
  void SetMicrosPerSample(double micros) { microsPerSample_ = micros; }
  // Shortest hold that completes a write or row erase.
  void SetMinimumHoldMicroseconds(uint32_t microseconds) {
    minimumHoldMicroseconds_ = microseconds;
  }

  // One sample of the programmer's pins; returns the level the target leaves on PGD
  // (false = pulls it low).
  bool OnSample(uint8_t pins);
  // A run of samples; `captured` (same length, may alias `written`) receives the pin states as
  // the programmer reads them back: its own outputs, PGD pulled low where the target drives 0.
  void Run(std::span<const uint8_t> written, std::span<uint8_t> captured);

  const Counters& counters() const { return counters_; }
  uint32_t tablePointer() const { return tablePointer_; }

 private:
  enum class SecondWord { kNone, kMovff, kGoto };
  struct HoldingRow {
    uint32_t base = 0;
    bool used = false;
    std::array<uint8_t, 64> bytes{};
  };

  void EnterProgrammingMode();
  void OnFallingEdge(bool dataBit);
  void OnCommandBits(uint32_t command);
  void Execute(uint32_t command, uint16_t data);
  void ExecuteCore(uint16_t opcode);
  void BitSet(uint8_t address, uint32_t bit, bool set);

  uint8_t ReadRegister(uint32_t address) const;
  void WriteRegister(uint32_t address, uint8_t value);

  void TableWrite(uint16_t data);
  void WriteControlRegister(uint32_t address, uint8_t value);
  void Latch(uint32_t address, uint8_t value);
  void StartProgramming();
  void ProgramHoldingRows();
  void ClearHoldingRows();

  Pic18Memory& memory_;
  double microsPerSample_ = 1.0;
  uint32_t minimumHoldMicroseconds_ = 1000;
  Counters counters_;

  // Serial decoder.
  bool programming_ = false;
  bool previousClock_ = false;
  bool drivesPgd_ = true;
  uint32_t bitCount_ = 0;
  uint32_t shift_ = 0;
  double highMicros_ = 0;  // how long the clock has been high
  bool shiftingOut_ = false;
  uint8_t outByte_ = 0;
  bool programPending_ = false;

  // Core registers.
  uint8_t w_ = 0;
  uint32_t tablePointer_ = 0;
  uint8_t tablat_ = 0;
  uint8_t eeadr_ = 0;
  uint8_t eeadrh_ = 0;
  uint8_t eedata_ = 0;
  uint8_t eecon1_ = 0;
  uint8_t unlockStep_ = 0;  // 0x55 then 0xAA written to EECON2
  SecondWord secondWord_ = SecondWord::kNone;
  uint32_t movffSource_ = 0;

  // Programming engine.
  bool multiPanel_ = false;
  std::vector<HoldingRow> holdingRows_;  // one per panel; row 0 in single-panel mode
  bool configLatched_ = false;
  uint32_t configAddress_ = 0;
  uint8_t configValue_ = 0;
};

}  // namespace velmora::sim
