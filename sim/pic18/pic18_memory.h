#pragma once
// The memories of one simulated PIC18 and their physics: program flash and ID locations only
// clear bits when written (an erase sets bytes to 0xFF), configuration bytes and data EEPROM are
// rewritten byte by byte, and the faults that tests inject (stuck bits, a configuration write
// that is lost once, a target that does not answer at all).
#include <cstdint>
#include <span>
#include <vector>

#include "pic18_geometry.h"

namespace velmora::sim {

// A target that is not there: the data line floats, so every read gives the same level.
enum class AbsentTarget { kNone, kReadsLow, kReadsHigh };

// One bit that always reads `level`, whatever is written. `address` is in the Intel HEX address
// space: program memory from 0, ID locations 0x200000, configuration 0x300000, EEPROM 0xF00000.
struct StuckBit {
  uint32_t address = 0;
  uint8_t bit = 0;
  bool level = false;
};

class Pic18Memory {
 public:
  explicit Pic18Memory(const Pic18Geometry& geometry, uint8_t revision = 0);

  const Pic18Geometry& geometry() const { return geometry_; }
  uint16_t DeviceIdWithRevision() const;

  // Reads as the programming interface sees them (faults applied). ReadTable covers the table
  // pointer space: program memory, ID locations, configuration, DEVID1/DEVID2; unimplemented
  // addresses read 0.
  uint8_t ReadTable(uint32_t address) const;
  uint8_t ReadEeprom(uint32_t address) const;
  uint8_t ReadRam(uint32_t address) const;

  // Program memory and ID locations (flash: bits can only go from 1 to 0).
  void ProgramFlash(uint32_t address, uint8_t value);
  // Configuration byte `index` (0..13); only implemented bits are stored. Returns false when
  // the write was lost (injected fault).
  bool WriteConfiguration(uint32_t index, uint8_t value);
  void WriteEeprom(uint32_t address, uint8_t value);
  void WriteRam(uint32_t address, uint8_t value);

  // Erases (bytes become 0xFF; configuration bytes become their implemented bits).
  void EraseChip();  // program memory, ID locations, configuration, EEPROM
  void EraseEeprom();
  void EraseProgramRange(uint32_t begin, uint32_t end);
  void ErasePanel(uint32_t panel);
  // The erase block (eraseBlock bytes) holding `address`, in program memory or ID locations.
  void EraseRow(uint32_t address);

  // The stored state without faults, for scenario set-up and for checking results.
  std::span<uint8_t> program() { return program_; }
  std::span<uint8_t> idLocations() { return id_; }
  std::span<uint8_t> configuration() { return config_; }
  std::span<uint8_t> eeprom() { return eeprom_; }
  std::span<uint8_t> ram() { return ram_; }
  std::span<const uint8_t> program() const { return program_; }
  std::span<const uint8_t> idLocations() const { return id_; }
  std::span<const uint8_t> configuration() const { return config_; }
  std::span<const uint8_t> eeprom() const { return eeprom_; }
  std::span<const uint8_t> ram() const { return ram_; }

  void AddStuckBit(const StuckBit& fault) { stuckBits_.push_back(fault); }
  void FailConfigurationWriteOnce(uint32_t index);
  void SetAbsent(AbsentTarget absent) { absent_ = absent; }
  AbsentTarget absent() const { return absent_; }
  bool IsAbsent() const { return absent_ != AbsentTarget::kNone; }

 private:
  uint8_t WithFaults(uint32_t imageAddress, uint8_t value) const;
  uint8_t AbsentLevel() const { return absent_ == AbsentTarget::kReadsHigh ? 0xFF : 0x00; }

  Pic18Geometry geometry_;
  uint8_t revision_;
  std::vector<uint8_t> program_;
  std::vector<uint8_t> id_;
  std::vector<uint8_t> config_;
  std::vector<uint8_t> eeprom_;
  std::vector<uint8_t> ram_;
  std::vector<StuckBit> stuckBits_;
  std::vector<uint32_t> lostConfigWrites_;  // indexes whose next write is lost
  AbsentTarget absent_ = AbsentTarget::kNone;
};

}  // namespace velmora::sim
