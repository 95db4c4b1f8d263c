#pragma once
// CPic10Operations: the commands of the PIC10F20x page, one object per document. The type chosen
// on the page (the document's pic10TypeSelection) sets the device; each command is one
// programming cycle with EnterPic12Mode and LeavePic12Mode. The oscillator calibration (the MOVLW
// at the last program word, and its backup four words past program memory) is the chip's and is
// never taken from a file; the backup types are read and verified, never written or erased.
#include <cstdint>
#include <span>
#include <string>

#include "engine/cqel_doc.h"
#include "engine/family_operations.h"
#include "families/pic10/pic10_device.h"

namespace velmora {

enum class Pic10Command {
  kEraseFlash,
  kProgram,
  kVerify,
  kRead,
};

std::span<const FamilyCommand> Pic10Commands();

// The page's settings; they are not stored.
struct Pic10PageState {
  uint16_t configurationWord = 0xFFFB;
  int32_t ignoreHexConfig = 0;  // the page's word replaces the file's
};

class CPic10Operations final : public IFamilyOperations {
 public:
  explicit CPic10Operations(CqelDoc& doc);

  bool Prepare(int command) override;
  void Run(int command) override;

  void RunErasePic10();
  void RunPic10Sequence(OperationMode mode);
  // The page's type choice into the file image; false for a choice outside the list.
  bool SelectType();
  // A HEX file was loaded into the file image by the page: its configuration word (word 0xFFF)
  // becomes the page's unless the page ignores the file's configuration.
  void TakeConfigurationFromFile();

  Pic10PageState state;

 private:
  bool OpenCycle();
  void CloseCycle();
  bool RefuseBackupType(const char* what);
  int Compare();
  bool SaveReadImage();

  CqelDoc& doc_;
  CPic10Device device_;
};

}  // namespace velmora
