#pragma once
// CPic18Device: the PIC18 target as the programmer link reaches it. Each primitive runs inside
// one programming cycle, between the link's EnterProgrammingMode and LeaveProgrammingMode, on
// the full programmer's firmware or the mini programmer's ICSP stream as the link's
// firmwareMode says. Data comes from the link's fileImage, read results go to its chipImage.
// 1 = success, 0 = failure (also whenever the link was lost).
#include <cstdint>
#include <span>

#include "link/pic_vortang.h"

namespace velmora {

class CPic18Device {
 public:
  explicit CPic18Device(CPICVortang& link) : link_(link) {}

  // The catalogue row of the target, 0 = unknown device.
  int IdentifyPic18();
  // These run without an identified device.
  int BulkErase();
  int EraseEeprom();
  int EraseFlashPanels();  // boot block and panels; data EEPROM kept
  int EraseIdRow();
  int EraseAllRows();
  int WriteConfiguration();
  // These refuse with "No PIC device detected." while fileImage holds no device that a PIC18
  // row identified.
  int WriteProgramMemory();
  int WriteBlock(int address);
  int UpdateChangedBlocks();
  int WriteIdLocations();
  int WriteEeprom();
  int ReadProgramRange(int start, int end);  // -1 = from 0 / up to programSize
  int ReadProgramMemory();
  int ReadIdLocations();
  int ReadConfiguration();
  int ReadEeprom();
  int ReadRam();
  int ReadRamHeld();  // always 0
  // First differing address or index, -1 when none.
  int FindProgramMismatch();
  int FindEepromMismatch();
  int FindConfigMismatch();

  CPICVortang& Link() { return link_; }

 private:
  bool RequirePic18Device();
  void QueuePic18BulkEraseOption(uint8_t option);
  const uint8_t* ReadPic18ProgramSpace(uint32_t address, int count);
  int ErasePic18(uint8_t command, std::span<const uint8_t> miniOptions);
  int Pic18Result() const { return link_.linkLost ? 0 : 1; }

  CPICVortang& link_;
};

}  // namespace velmora
