#pragma once
// CTiny1xDevice: an ATtiny11 or ATtiny12 as the full programmer's firmware reaches it in
// high-voltage serial mode. Each primitive runs between the link's EnterHighVoltageSerial and
// LeaveHighVoltageSerial and sends instructions (0x3E SDI SII) and ready waits (0x3F), each
// answered by one byte. Data comes from the link's fileImage, read results go to its chipImage:
// program memory in bytes (word n is cells 2n, 2n+1); configuration cells 0 and 1 the fuse byte
// as read, 2 the lock byte, 3 the calibration byte. 1 = success, 0 = failure (also whenever the
// link was lost).
#include <cstdint>
#include <initializer_list>
#include <utility>

#include "link/pic_vortang.h"

namespace velmora {

// The configuration cells of an ATtiny11/12 image.
namespace tiny1xcell {
constexpr int kTiny11Fuse = 0;
constexpr int kTiny12Fuse = 1;
constexpr int kLock = 2;
constexpr int kCalibration = 3;
}  // namespace tiny1xcell

class CTiny1xDevice {
 public:
  explicit CTiny1xDevice(CPICVortang& link) : link_(link) {}

  // 1 when the chip answered "S".
  int Enter() { return link_.EnterHighVoltageSerial(); }
  int Leave() { return link_.LeaveHighVoltageSerial(); }

  int IdentifyTiny();  // the catalogue row, 0 = unknown device
  int ChipEraseTiny();
  int ReadFlashTinyRange(int start, int end);  // -1 = from 0 / up to programSize
  int ReadFlashTiny();
  int WriteFlashTiny();
  int ReadEepromTiny();
  int WriteEepromTiny();
  int ReadFusesTiny();
  int WriteFusesTiny();
  int ReadCalibrationTiny();
  int FindEepromMismatch() const;

  // The signature read by the last IdentifyTiny.
  const uint8_t* Signature() const { return signature_; }
  CPICVortang& Link() { return link_; }

 private:
  using Instruction = std::pair<uint8_t, uint8_t>;  // SDI, SII
  bool RequireTinyDevice();
  void Append(std::initializer_list<Instruction> instructions);
  void AppendWait();
  // Writes what was appended, then reads `replies` bytes; nullptr when the link failed.
  const uint8_t* Exchange(size_t replies);

  CPICVortang& link_;
  uint8_t signature_[3] = {0xFF, 0xFF, 0xFF};
};

}  // namespace velmora
