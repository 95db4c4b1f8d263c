#pragma once
// The simulated ATmega/ATtiny as a target of the simulated programmer: the full programmer's AVR
// commands drive the chip's serial programming interface (the mini programmer cannot program AVR
// parts).
//
// Options (the scenario's "target" object), all optional:
//   "absent": true                        no chip: MISO floats high (signature FF FF FF, no echo)
//   "signature": "1E 95 0F"               the chip answers this signature (FF FF FF: a blank one)
//   "flashBytes", "pageWords", "eepromBytes", "eepromPageBytes", "fuseBytes", "calibrationBytes"
//                                         sizes of a chip avr-libc or the scenario describes
//   "fuses": "E1 D9 FF", "lock": "0xFF"   fuse bytes (low, high, extended) and lock byte at start
//   "factoryFuses": "62 D9 FF"            what the high-voltage fuse restorer writes
//   "calibration": "A3 9C A8 AE"          the oscillator calibration bytes
//   "crystalHz", "externalClockHz"        the board's crystal and external clock on XTAL1
//   "programmerClockOnXtal1": true        the programmer's SCL pin is wired to XTAL1
//   "failFuseWriteOnce": [0, 3]           fuse bytes (0 low, 1 high, 2 extended, 3 lock) whose next
//                                         write is lost
//   "dropSyncAfter": 200                  instructions after Programming Enable until the
//                                         interface slips a bit
//   "stuckBits": [{"address": "0xF00010", "bit": 3, "level": 0}]
//                                         flash from 0, EEPROM from 0xF00000
//   "busyMicros": {"fuse": 4500, "flashPage": 4500, "eeprom": 9000, "erase": 9000}
// Initial memory from a HEX file: flash from 0, EEPROM from 0xF00000, the fuses and the lock byte
// at 0x300000..0x300003.
#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "sim/avr/avr_chip.h"
#include "sim/avr/avr_firmware.h"
#include "target.h"

namespace velmora::sim {

class AvrTarget final : public ITarget {
 public:
  AvrTarget(const AvrPart& part, const nlohmann::json& options);

  CommandStep OnCommandBytes(std::span<const uint8_t> bytes, ITargetIo& io) override;
  void OnControlByte(uint8_t controlByte, ITargetIo& io) override;
  int OnPinSample(uint8_t pins, ITargetIo& io) override;
  std::optional<double> ClockMegahertz() const override;
  void LoadImage(const HexImage& image) override;
  nlohmann::json SaveState() const override;
  void LoadState(const nlohmann::json& state) override;

  AvrChip& chip() { return chip_; }

 private:
  AvrChip chip_;
  AvrFirmware firmware_;
  bool pinsNoted_ = false;
  bool wasPowered_ = false;
  bool linesSeen_ = false;  // a control byte has set the programmer's lines
};

bool ClaimsAvr(const std::string& device);
std::unique_ptr<ITarget> MakeAvr(const std::string& device, const nlohmann::json& options);

}  // namespace velmora::sim
