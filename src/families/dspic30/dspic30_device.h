#pragma once
// CDsPic30Device: the dsPIC30F target as the full programmer reaches it. The PC drives the chip
// in ICSP mode with 24-bit instructions (firmware command 0x4A, 0x4C for a NOP, 0x4B to read
// VISI) and a few block commands of the firmware. Each primitive runs inside one programming
// cycle, between the link's EnterProgrammingMode and LeaveProgrammingMode. Data comes from the
// link's fileImage, read results go to its chipImage, both in the layout of the maker's HEX
// files: four cells per program-space word at twice its program-space address (an instruction's
// low, middle and upper byte and the phantom byte; a 16-bit word's two bytes and two zero cells).
// 1 = success, 0 = failure (also whenever the link was lost).
#include <cstdint>

#include "link/pic_vortang.h"

namespace velmora {

// Cell offsets of the seven configuration registers (FOSC, FWDT, FBORPOR, FBS, FSS, FGS, FICD)
// in the dsPICConfiguration window: register i at 4i (low byte) and 4i + 1 (high byte).
inline constexpr int kDsPic30ConfigRegisters = 7;
inline constexpr int kDsPic30ConfigCells = 4 * kDsPic30ConfigRegisters;

class CDsPic30Device {
 public:
  explicit CDsPic30Device(CPICVortang& link) : link_(link) {}

  // The catalogue row of the target, 0 = unknown device.
  int IdentifyDsPic();
  // These run without an identified device.
  int BulkEraseDsPic();
  // Every row of 32 words with data in the file (onlyChanged: that differs from chipImage),
  // each erased first when eraseRows is set (or when it changed).
  int WriteProgramRows(int eraseRows, int onlyChanged);
  int ReadDataWords(uint32_t first, uint32_t end);  // program-space addresses; caller reads
  int WriteConfigurationDsPic();
  // These refuse with "No dsPIC device detected." while fileImage holds no dsPIC30 device.
  int ReadProgramRangeDsPic(int start, int end);  // words; -1 = from 0 / up to programSize
  int ReadProgramDsPic();                         // the runs of the file's program data
  int ReadProgramDsPicAll();                      // the same, phantom cells counted as data
  int ReadEepromDsPic();                          // 0 when the device has no EEPROM
  int WriteEepromDsPic(int notErased);
  int EraseEepromDsPic();
  int ReadConfigurationDsPic();
  int ReadRamDsPic();
  // First differing program cell, EEPROM word or configuration cell; -1 when none.
  int FindProgramMismatchDsPic();
  int FindChangedProgramDsPic();  // blank file cells skipped
  int FindEepromMismatchDsPic();
  int FindChangedEepromDsPic();  // blank file cells skipped
  int FindConfigMismatchDsPic();

  // The implemented bits of configuration cell `cell` (0..27) for the file's device: the
  // catalogue's mask for the two data cells of each register, 0 for the two zero cells.
  uint8_t ConfigCellMask(int cell) const;
  // The first cell of the EEPROM in the dsPICEeprom window (the top 2 x eepromSize cells).
  int EepromFirstCell() const;

  CPICVortang& Link() { return link_; }

 private:
  bool RequireDsPicDevice();
  void AppendSix(uint32_t instruction);
  void AppendStart();
  void AppendUnlockAndWrite();
  void AppendWriteCycleEnd();
  int FindProgramDifference(bool skipBlank);
  int FindEepromDifference(bool skipBlank);
  int ReadProgramRuns(bool phantomIsData);
  bool WriteAndWait(uint32_t milliseconds);
  int Result() const { return link_.linkLost ? 0 : 1; }

  CPICVortang& link_;
};

}  // namespace velmora
