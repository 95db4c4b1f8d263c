#pragma once
// The memories of one simulated dsPIC30F and their physics: code flash and data EEPROM only
// clear bits when written (erases set them), configuration registers are rewritten and keep only
// their implemented bits, a bulk erase spares the system-operation registers, and the faults that
// tests inject (stuck bits, a target that does not answer, code protection).
#include <array>
#include <cstdint>
#include <span>
#include <vector>

#include "dspic30_geometry.h"

namespace velmora::sim {

// A target that is not there: the data line floats, so every read gives the same level.
enum class DsPic30Absent { kNone, kReadsLow, kReadsHigh };

// One bit that always reads `level`. `address` is in the Intel HEX address space of the
// programmer, twice the program-space address plus the byte (program word w: 4w..4w+2; EEPROM
// from 0xFF0000; configuration register i: 0x1F00000 + 4i, +1).
struct DsPic30StuckBit {
  uint32_t address = 0;
  uint8_t bit = 0;
  bool level = false;
};

class DsPic30Memory {
 public:
  // DEVREV: PROC<3:0> = 1 in bits 15..12, REV<5:0> in bits 11..6 (A = 0), DOT<5:0> in bits 5..0.
  static constexpr uint16_t kDefaultRevision = 0x1000;
  static constexpr uint32_t kErasedWord = 0xFFFFFF;

  explicit DsPic30Memory(const DsPic30Geometry& geometry, uint16_t revision = kDefaultRevision);

  const DsPic30Geometry& geometry() const { return geometry_; }

  // Regions of the program space (address = program-space address, even).
  bool IsProgram(uint32_t address) const { return address / 2 < geometry_.programWords; }
  bool IsEeprom(uint32_t address) const;
  // Index 0..6 of the configuration register at `address`, or -1.
  int ConfigIndex(uint32_t address) const;

  // What a table read sees (faults applied): 24 bits of program memory, 16 bits of EEPROM,
  // configuration (unimplemented bits 0), DEVID and DEVREV; 0 elsewhere. Program memory reads 0
  // while the general segment is code protected.
  uint32_t ReadProgramSpace(uint32_t address) const;

  // Code protection: FGS holds the general segment's write- and read-protect bits; the model
  // protects the segment (no reads, no row writes or erases) while any implemented FGS bit is
  // programmed (0). Only a bulk erase clears them.
  bool CodeProtected() const;

  // NVM operations on the stored state. Writes only clear bits.
  void ProgramWord(uint32_t address, uint32_t value);
  void EraseRow(uint32_t address);
  void WriteEepromWord(uint32_t address, uint16_t value);
  void EraseEepromWord(uint32_t address);
  void EraseEepromAll();
  void WriteConfiguration(uint32_t index, uint16_t value);
  // Code memory, data EEPROM and the code-protect registers FBS, FSS, FGS; FOSC, FWDT, FBORPOR
  // and FICD keep their values.
  void BulkErase();

  // RAM as data memory from 0x0800; false outside the implemented RAM.
  bool IsRam(uint32_t dataAddress) const;
  uint8_t ReadRam(uint32_t dataAddress) const;
  void WriteRam(uint32_t dataAddress, uint8_t value);

  // The stored state without faults, for scenario set-up and for checking results.
  std::span<uint32_t> program() { return program_; }
  std::span<uint16_t> eeprom() { return eeprom_; }  // word 0 at 0x800000 - eepromBytes
  std::span<uint16_t> configuration() { return config_; }
  std::span<uint8_t> ram() { return ram_; }
  std::span<const uint32_t> program() const { return program_; }
  std::span<const uint16_t> eeprom() const { return eeprom_; }
  std::span<const uint16_t> configuration() const { return config_; }
  std::span<const uint8_t> ram() const { return ram_; }
  uint32_t EepromStart() const { return dspic30addr::kEepromEnd - geometry_.eepromBytes; }
  uint16_t revision() const { return revision_; }

  void AddStuckBit(const DsPic30StuckBit& fault) { stuckBits_.push_back(fault); }
  void SetAbsent(DsPic30Absent absent) { absent_ = absent; }
  DsPic30Absent absent() const { return absent_; }
  bool IsAbsent() const { return absent_ != DsPic30Absent::kNone; }
  uint16_t AbsentLevel() const { return absent_ == DsPic30Absent::kReadsHigh ? 0xFFFF : 0x0000; }

 private:
  uint32_t WithFaults(uint32_t address, uint32_t value, int bytes) const;

  DsPic30Geometry geometry_;
  uint16_t revision_;
  std::vector<uint32_t> program_;
  std::vector<uint16_t> eeprom_;
  std::array<uint16_t, dspic30addr::kConfigurationCount> config_{};
  std::vector<uint8_t> ram_;
  std::vector<DsPic30StuckBit> stuckBits_;
  DsPic30Absent absent_ = DsPic30Absent::kNone;
};

}  // namespace velmora::sim
