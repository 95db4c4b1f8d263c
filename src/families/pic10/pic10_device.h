#pragma once
// CPic10Device: the PIC10F200/202/204/206 as the full programmer reaches it. The parts cannot be
// identified; the user's type choice sets the size. Images keep word w in cells 2w (low byte)
// and 2w + 1, the words read beyond program memory (ID words, the backup calibration word at
// N + 4) after it, and the 12-bit configuration word in configuration cells 0 and 1. Each
// primitive runs between the link's EnterPic12Mode and LeavePic12Mode; 1 = success, 0 = failure
// (also whenever the link was lost).
#include <cstdint>

#include "link/pic_vortang.h"

namespace velmora {

inline constexpr uint16_t kPic10Blank = 0x0FFF;
// The configuration bits the chip keeps: MCLRE, CP, WDTE and the two oscillator bits.
inline constexpr uint16_t kPic10ConfigBits = 0x001F;
inline constexpr int32_t kPic10BackupOffset = 4;  // backup calibration word at N + 4

// A word of an image (cells 2w, 2w + 1; blank cells count as 0xFF); -1 when both are blank.
int32_t Pic10Word(const CMCUMemoryArchitecture& image, uint32_t word);
// A MOVLW k instruction: the form the factory writes the oscillator calibration in.
bool IsMovlw(int32_t word);
// The calibration a chip image holds: the backup word if it is a MOVLW, else the word at N - 1
// if it is one, else -1.
int32_t Pic10CalibrationWord(const CMCUMemoryArchitecture& chip, int32_t programSize);
// True for the two backup types, whose sizes reach past program memory.
bool IsPic10BackupType(const CMCUMemoryArchitecture& image);

class CPic10Device {
 public:
  explicit CPic10Device(CPICVortang& link) : link_(link) {}

  // Reads configuration word and words 0..N+31 into chipImage; 1 when the first program word is
  // a 12-bit value (a part answered).
  int ReadAllPic10();
  // Writes the configuration word and program memory of fileImage, its last word replaced by
  // the chip's calibration as ReadAllPic10 found it; reads both back. Refuses the backup types.
  int WritePic10();
  // Bulk erase with the counter on word 0 (all 0) or on the first ID word (all 1). Refuses the
  // backup types.
  int ErasePic10(int all);
  // After an erase: every word left erased but the last, which gets `calibrationWord`.
  int RestoreCalibrationPic10(uint16_t calibrationWord);

 private:
  bool ProgrammableType() const;
  bool WriteWords(const std::vector<uint8_t>& data, bool storeReadBack);

  CPICVortang& link_;
};

}  // namespace velmora
