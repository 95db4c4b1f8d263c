#pragma once
// CPic12Device: the PIC12F629 family (PIC12F629/675, PIC16F630/676) as the full programmer
// reaches it. The firmware does the bit-level work; the PC exchanges whole memories with it.
// Each primitive runs between the link's EnterPic12Mode and LeavePic12Mode. Images keep word w
// in cells 2w (low byte) and 2w + 1, the configuration memory (ID words 0x2000..0x2003, the
// device ID at 0x2006, the configuration word at 0x2007) in cells 0x4000..0x400F and EEPROM byte
// e in cell 0x4200 + 2e (cell 0x4201 + 2e holds 0). 1 = success, 0 = failure (also whenever the
// link was lost).
#include <cstdint>

#include "link/pic_vortang.h"

namespace velmora {

namespace pic12cell {
inline constexpr uint32_t kConfigArea = 0x4000;  // word 0x2000
inline constexpr uint32_t kConfigAreaCells = 16;
inline constexpr uint32_t kIdCells = 8;                 // four ID words
inline constexpr uint32_t kDeviceId = 0x400C;           // word 0x2006
inline constexpr uint32_t kConfigurationWord = 0x400E;  // word 0x2007
inline constexpr uint32_t kEeprom = 0x4200;
}  // namespace pic12cell

// Bits of the 14-bit configuration word.
inline constexpr uint16_t kPic12BandGapBits = 0x3000;  // factory band-gap calibration
// The options the chip implements; bits 11..9 read 0 whatever is written.
inline constexpr uint16_t kPic12OptionBits = 0x01FF;
inline constexpr uint16_t kPic12Blank = 0x3FFF;

// A word of an image: cells 2w and 2w + 1 (blank cells count as 0xFF); -1 when both are blank.
int32_t Pic12Word(const CMCUMemoryArchitecture& image, uint32_t firstCell);
void SetPic12Word(CMCUMemoryArchitecture& image, uint32_t firstCell, uint16_t word);
// A RETLW k instruction: the form the factory writes the oscillator calibration in.
bool IsRetlw(int32_t word);

class CPic12Device {
 public:
  explicit CPic12Device(CPICVortang& link) : link_(link) {}

  // Reads program memory, EEPROM and configuration memory into chipImage and identifies the
  // device from its ID word; the catalogue row, 0 = unknown (or the read failed).
  int ReadAllPic12();
  // These need fileImage to hold an identified PIC12 device.
  int WriteProgramPic12();
  // Every program word erased except the last, which gets `calibrationWord`.
  int RestoreCalibrationPic12(uint16_t calibrationWord);
  int WriteEepromPic12();
  int WriteConfigAreaPic12();
  // The configuration word written as erased with this high byte (band-gap bits, CPD set).
  int SendConfigHighByte(uint8_t highByte);
  // Erases program memory, ID words and configuration word; the firmware reads the calibration
  // word and the band-gap bits first and writes them back. 1 when it reports both kept.
  int ErasePic12Program();
  int ErasePic12Eeprom();

 private:
  bool RequirePic12Device() const;
  bool WriteInChunks(const uint8_t* bytes, size_t count, size_t chunk);

  CPICVortang& link_;
};

}  // namespace velmora
