#pragma once
// CTiny1xOperations: the commands of the ATtiny11/12 page, one object per document. Each command
// is one programming cycle on the full programmer (whatever kind the other pages left on): the
// document's link frame, high-voltage serial mode, identification, the primitives of
// CTiny1xDevice, and back.
//
// The option bytes are the raw bytes the chip reads back: the ATtiny11 fuse (FSTRT bit 4,
// RSTDISBL bit 3, CKSEL2..0), the ATtiny12 fuse (BODLEVEL bit 7, BODEN 6, SPIEN 5, RSTDISBL 4,
// CKSEL3..0) and the lock byte (LB2 bit 2, LB1 bit 1); a bit is programmed when 0. Before the
// fuse step they become configuration cells 0..2 of the file image. A device's fuse byte is
// written only once it was read from a chip or set by the user: until then Program and Verify
// take the chip's own (the defaults are no fuses of any chip: 0x22 would program RSTDISBL and
// BODEN and unprogram SPIEN of an ATtiny12).
#include <array>
#include <cstdint>
#include <span>
#include <string>

#include "engine/cqel_doc.h"
#include "engine/family_operations.h"
#include "families/family_row.h"
#include "families/tiny1x/tiny1x_device.h"

namespace velmora {

// The commands of the ATtiny11/12 page; the number is the FamilyCommand id.
enum class Tiny1xCommand {
  kIdentify,
  kProgram,
  kVerify,
  kRead,
  kReadFuses,
  kDumpEeprom,
};

std::span<const FamilyCommand> Tiny1xCommands();
std::span<const FamilyCliOption> Tiny1xCliOptions();

// Implemented bits of the bytes as the chip reads them (avr-libc iotn11.h, iotn12.h; the lock
// bits where the high-voltage serial instructions carry them).
inline constexpr uint8_t kTiny11FuseBits = 0x1F;
inline constexpr uint8_t kTiny12FuseBits = 0xFF;
inline constexpr uint8_t kTiny1xLockBits = 0x06;

// The page's settings; they are not stored.
struct Tiny1xPageState {
  // ATtiny11 fuse, ATtiny12 fuse, lock byte.
  std::array<uint8_t, 3> optionBytes{0x1C, 0x22, 0x06};
  // Whether the ATtiny11 (0) and the ATtiny12 (1) fuse byte was read from a chip or set.
  std::array<bool, 2> fuseKnown{false, false};
  // 0 none, 1 the end of flash, 2 the beginning of EEPROM, 3 the end of EEPROM.
  int32_t copyCalibration = 0;

  // Sets a device's fuse byte (0 ATtiny11, 1 ATtiny12) as the user's or a chip's.
  void SetFuse(int device, uint8_t value) {
    optionBytes[device] = value;
    fuseKnown[device] = true;
  }
};

class CTiny1xOperations final : public IFamilyOperations {
 public:
  explicit CTiny1xOperations(CqelDoc& doc);

  bool Prepare(int command) override;
  void Run(int command) override;
  std::string ResultText(int command) const override;

  void RunIdentifyAttiny();
  void RunAttinySequence(OperationMode mode);
  void RunReadAttinyEepromAfterReset();
  void RunReadAttinyFuses();

  // The EEPROM file of Program/Verify (the page's EEPROM browse button) and its display name.
  void SetEepromFile(const std::string& path);
  const std::string& EepromFileName() const { return eepromFileName_; }
  const std::string& EepromDisplayName() const { return eepromDisplayName_; }
  // Where Read saves the EEPROM as its own HEX file; empty: with the flash.
  std::string eepromOutFile;

  Tiny1xPageState state;
  CTiny1xDevice& Device() { return device_; }

 private:
  bool OpenCycle();
  void CloseCycle(bool normalSerialClock = false);
  bool Present() const;
  std::string SignatureText() const;
  // The option bytes into the file image's configuration cells, the device's fuse taken from
  // the chip when it is not known.
  bool ChooseConfiguration(OperationMode mode);
  void CalibrationStep(OperationMode mode);
  int FlashStep(OperationMode mode, int& partsRead);
  int EepromStep(OperationMode mode, int& partsRead);
  int FuseStep(OperationMode mode, int& partsRead);
  int32_t ConfigurationMismatch() const;
  bool SaveReadImage();

  CqelDoc& doc_;
  CTiny1xDevice device_;
  std::string eepromFileName_;
  std::string eepromDisplayName_;
  int32_t savedMiniProgrammer_ = 0;
  bool entered_ = false;
  bool fusesRead_ = false;
};

}  // namespace velmora
