#pragma once
// CPic12Operations: the commands of the PIC12F629 page, one object per document. Each command
// is one programming cycle: the document's link frame, EnterPic12Mode, identification by a
// whole-device read, the PIC12 primitives, LeavePic12Mode. The factory calibration (the RETLW
// at the last program word and the band-gap bits 13..12 of the configuration word) is read
// before anything is erased and written back after; it is never taken from a file.
#include <cstdint>
#include <span>
#include <string>

#include "engine/cqel_doc.h"
#include "engine/family_operations.h"
#include "families/pic12/pic12_device.h"

namespace velmora {

// The commands of the PIC12F629 page; the number is the FamilyCommand id.
enum class Pic12Command {
  kIdentify,
  kEraseFlash,
  kEraseEeprom,
  kReadConfiguration,
  kDumpEeprom,
  kProgram,
  kVerify,
  kRead,
};

std::span<const FamilyCommand> Pic12Commands();

// The page's settings; they are not stored.
struct Pic12PageState {
  uint16_t configurationWord = 0x01E4;
  int32_t ignoreHexConfig = 0;   // the page's word replaces the file's
  int32_t software = 1;          // program memory, ID words and configuration take part
  int32_t eeprom = 1;            // the data EEPROM takes part
  int32_t bandGapSelection = 0;  // 0 "retain" (the chip's bits), 1..4 the bits 0..3
  // -1: none. 0..255: the RETLW value written when the chip's calibration word is missing (a
  // calibration word present on the chip is always kept).
  int32_t calibrationValue = -1;
};

class CPic12Operations final : public IFamilyOperations {
 public:
  explicit CPic12Operations(CqelDoc& doc);

  bool Prepare(int command) override;
  void Run(int command) override;
  std::string ResultText(int command) const override;

  void RunIdentifyPic12();
  void RunErasePic12Flash();
  void RunErasePic12Eeprom();
  void RunPic12Sequence(OperationMode mode);
  void RunReadPic12Configuration();
  void RunReadPic12EepromAfterReset();

  // A HEX file was loaded into the file image by the page: its configuration word becomes the
  // page's unless the page ignores the file's configuration.
  void TakeConfigurationFromFile();

  Pic12PageState state;
  CPic12Device& Device() { return device_; }

 private:
  bool OpenCycle();
  void CloseCycle();
  bool IdentifyTarget();
  // The calibration word and band-gap bits the chip is to keep, from what identification read
  // and the page's choices.
  uint16_t WantedCalibrationWord() const;
  uint16_t WantedBandGapBits() const;
  void ApplyCalibrationToFile();
  int CompareAfterWrite(OperationMode mode);
  bool SaveReadImage();

  CqelDoc& doc_;
  CPic12Device device_;
  int32_t chipCalibrationWord_ = -1;  // as identification read it
  int32_t chipConfigurationWord_ = -1;
};

}  // namespace velmora
