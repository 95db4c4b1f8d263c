#pragma once
// CAvrOperations: the commands of the ATmega pages, one object per
// document. Each command is one programming cycle on the full programmer: the document's link
// frame, serial programming mode, identification, the primitives of CAvrDevice, and back.
//
// Fuses never brick a chip by accident:
// - an unknown device that answers gets no speed adaptation and no fuse or lock write;
// - fuses are encoded for the device identified in the cycle;
// - options that were not taken from, or confirmed for, the identified device are replaced by
//   the chip's fuses (and the log says so) before anything is written;
// - Read and Verify leave the fuses as they found them, also after a failed step;
// - settings that would lock the programmer out are asked (or, without a front end that can
//   ask, refused unless forced).
#include <array>
#include <atomic>
#include <cstdint>
#include <mutex>
#include <optional>
#include <span>
#include <string>

#include "engine/cqel_doc.h"
#include "engine/family_operations.h"
#include "families/avr/avr_device.h"
#include "families/avr/config_avr.h"
#include "families/family_row.h"

namespace velmora {

// The commands of the ATmega pages; the number is the FamilyCommand id.
enum class AvrCommand {
  kIdentify,
  kProgram,
  kVerify,
  kRead,
  kReadConfiguration,
  kDumpEeprom,
  kFactoryReset,
  kReanimateHighVoltage,
  kScanInstructions,
};

std::span<const FamilyCommand> AvrCommands();
std::span<const FamilyCliOption> AvrCliOptions();

// What happens when the fuses to be written would lock the programmer out.
enum class FuseSafety {
  kRefuse,  // stop with an explanation (no front end to ask: the command line)
  kAsk,     // ask the user (the pages)
  kForce,   // write them (--force-fuses)
};

class CAvrOperations final : public IFamilyOperations {
 public:
  explicit CAvrOperations(CqelDoc& doc);

  bool Prepare(int command) override;
  void Run(int command) override;
  std::string ResultText(int command) const override;

  void RunAtmegaSequence(OperationMode mode);
  void RunIdentifyAtmega();
  void RunReadAtmegaConfiguration();
  void RunReadAtmegaEepromAfterReset();
  void RunFactoryResetAtmega();
  void RunReanimateAtmegaParallelHv();
  void RunScanAtmegaSerialInstructions();

  CAvrDevice& Device() { return device_; }

  // The EEPROM file of Program/Verify (the page's EEPROM browse button) and its display name.
  void SetEepromFile(const std::string& path);
  const std::string& EepromFileName() const { return eepromFileName_; }
  const std::string& EepromDisplayName() const { return eepromDisplayName_; }
  // Where Read saves the EEPROM as its own HEX file; empty: with the flash.
  std::string eepromOutFile;
  FuseSafety fuseSafety = FuseSafety::kRefuse;
  // What the instruction scan sends: first bytes `highestFirst` down to 0, each with second bytes
  // 0..secondBytes-1 and, in one programming-mode entry, third bytes 0..thirdBytes-1 (with 0xBF).
  struct InstructionScanRange {
    int highestFirst = 10;
    int secondBytes = 256;
    int thirdBytes = 256;
  };
  InstructionScanRange scanRange;

  // The device whose fuses the option selections hold (taken from its chip or confirmed by the
  // user on the page); empty when they belong to no device, as on a fresh start.
  std::string OptionsDevice() const;
  void ConfirmOptionsFor(const std::string& device);

 private:
  // The frame of every AVR command: the full programmer (whatever the PIC18 page chose), the
  // link, and back.
  bool OpenAvrCycle();
  void CloseAvrCycle(bool normalClock = false);
  bool Enter(bool slowClock);
  bool Present() const;
  // Data of the files the identified device cannot hold goes no further unless the user
  // confirms; `action` names the command in the question.
  bool DataFitsDevice(const char* action);
  bool Known() const;
  std::string SignatureText() const;
  AvrFuseBytes ChipFuses() const;
  void WriteChipFusesIntoImage(const AvrFuseBytes& bytes);
  // The fuses Program writes, for the identified device; false when the operation must stop.
  bool ChooseFuses(OperationMode mode, AvrFuseBytes& expected);
  bool FusesAreSafe(const AvrFuseBytes& current, const AvrFuseBytes& next);
  // Restores the fuse low byte found before the speed adaptation; true when it reads back so.
  bool RestoreSpeedFuse();
  int FlashStep(OperationMode mode, int& partsRead);
  int EepromStep(OperationMode mode, int& partsRead);
  int FuseStep(OperationMode mode, const AvrFuseBytes& expected, bool writeFuses, int& partsRead);
  bool SaveReadImage();
  void CalibrationStep(OperationMode mode, const AvrFuseBytes& fuses);
  bool Option(int id) const { return doc_.optionSelections[id] != 0; }

  CqelDoc& doc_;
  CAvrDevice device_;
  std::string eepromFileName_;
  std::string eepromDisplayName_;
  int32_t savedMiniProgrammer_ = 0;
  bool inProgrammingMode_ = false;
  bool configurationForced_ = false;
  std::optional<uint8_t> speedFuseBefore_;  // fuse low found before the speed adaptation
  mutable std::mutex optionsMutex_;
  std::string optionsDevice_;
  AvrFuseBytes lastRead_{};
  std::array<int32_t, 4> lastCalibration_{};
  bool fusesRead_ = false;
};

}  // namespace velmora
