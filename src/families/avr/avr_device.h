#pragma once
// CAvrDevice: an ATmega or newer ATtiny as the full programmer's firmware reaches it through the
// serial programming interface. Each primitive runs between the
// link's EnterSerialProgramming and ResetAvr. Data comes from the link's fileImage, read results
// go to its chipImage: program memory in bytes (word n is cells 2n, 2n+1), the configuration
// window's cells 0..3 fuse low, fuse high, fuse extended, lock and 4..7 the calibration bytes.
// 1 = success, 0 = failure (also whenever the link was lost).
#include <cstdint>
#include <optional>
#include <string>

#include "link/pic_vortang.h"

namespace velmora {

struct AvrDevice;

class CAvrDevice {
 public:
  explicit CAvrDevice(CPICVortang& link) : link_(link) {}

  // --- Programming mode -------------------------------------------------------------------
  // Selects the serial clock (0x39) and enables serial programming (up to 34 attempts); 1 when
  // the chip answered "S".
  int EnterAtmega(bool slowClock);
  int LeaveAtmega() { return link_.ResetAvr(); }
  int SelectSerialClock(int slow);
  // The programmer's clock output on its SCL pin (0x37).
  int ClockOutput(int on);

  // --- Primitives ------------------------------------------------------------------------
  int IdentifyAtmega();  // the catalogue row, 0 = unknown device
  int ChipEraseAtmega();
  int WriteFlashPages();
  int ReadFlashRange(int start, int end);  // -1 = from 0 / up to programSize
  int ReadFlash();
  int ReadEepromAtmega();
  int WriteEepromAtmega();
  int ReadFuses();
  int WriteFuses();
  int WriteLockBits();
  int ReadCalibrationBytes();
  int LoadDefaultFuses();
  int FindEepromMismatchAvr() const;
  // One raw serial programming instruction through the firmware (0x33); its fourth output byte,
  // or nullopt when the link failed.
  std::optional<uint8_t> SerialInstruction(uint8_t b0, uint8_t b1, uint8_t b2, uint8_t b3);

  // The catalogue row of fileImage's device, nullptr when none (or another family's).
  const AvrDevice* Row() const;
  // The signature read by the last IdentifyAtmega.
  const uint8_t* Signature() const { return signature_; }

  CPICVortang& Link() { return link_; }

  // --- Signature dialog and flash method ------------------------------------------------
  int32_t useDefaultSignature = 0;
  int32_t signatureDialogAnswer = 0;
  int32_t askForSignature = 0;
  std::string defaultSignatureText;
  int32_t avrFlashMethod = 0;  // 0, 1, 2: the firmware's flash command variant

 private:
  bool RequireAvrDevice();
  bool HasExtendedFuse() const;
  int Result() const { return link_.linkLost ? 0 : 1; }

  CPICVortang& link_;
  uint8_t signature_[3] = {0xFF, 0xFF, 0xFF};
};

}  // namespace velmora
