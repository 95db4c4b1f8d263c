#pragma once
// CPic18Operations: the commands of the PIC18 pages, one object per document. Each command is
// one programming cycle: the document's link frame (tracing suspended, link open), programming
// mode, identification, the PIC18 primitives, and back, reported through the document's log
// and status bar.
#include <atomic>
#include <cstdint>
#include <span>
#include <string>

#include "engine/cqel_doc.h"
#include "engine/family_operations.h"
#include "families/pic18/pic18_device.h"

namespace velmora {

// The commands of the PIC18 pages; the number is the FamilyCommand id.
enum class Pic18Command {
  kIdentify,
  kReadConfiguration,
  kEraseChip,
  kEraseEeprom,
  kEraseIdLocation,
  kProgram,
  kVerify,
  kRead,
  kUpdate,
  kDumpRam,
  kDumpEeprom,
};

// The PIC18 commands as the front ends offer them.
std::span<const FamilyCommand> Pic18Commands();

class CPic18Operations final : public IFamilyOperations {
 public:
  explicit CPic18Operations(CqelDoc& doc);

  bool Prepare(int command) override;
  void Run(int command) override;
  std::string ResultText(int command) const override;

  void RunPic18Sequence(OperationMode mode);
  void RunIdentifyPic18();
  void RunReadPic18Configuration();
  void RunErasePic18Chip();
  void RunErasePic18Eeprom();
  void RunErasePic18IdLocation();
  void RunUpdatePic18ProgramMemory();
  void RunReadPic18RamAfterReset();
  void RunReadPic18EepromAfterReset();
  // The basic-test page's data monitor: the RAM read with only MCLR driven, in a cycle of its
  // own; nothing while the monitor has already run since its box was ticked.
  void RunPic18DataMonitor();

  // The ID line of identification: "ID-Location: Is Empty", or the bytes in hex, followed by
  // the text when all eight are printable.
  static std::string IdLocationLine(const int32_t* idLocations);
  static int32_t DeviceIdWord(const CMCUMemoryArchitecture& image);

  CPic18Device& Device() { return device_; }

  // True while the pages show the configuration of the HEX file (decoded anew for the device
  // identified); false after "Get Config. from PIC", whose values stay on the pages until a HEX
  // file is loaded again.
  bool ShowsFileConfiguration() const { return showsFileConfiguration_; }
  void NoteHexFileLoaded() { showsFileConfiguration_ = true; }

 private:
  // The frame of every PIC18 operation: the document's link frame and programming mode; and
  // back. Opening fails when the link cannot be opened (the user has been told).
  bool OpenPic18Cycle();
  void ClosePic18Cycle();
  // Leaves programming mode (once per cycle); true when the link was lost on the way out.
  bool LeavePic18Mode();
  // Leaves programming mode before the result is told: a link lost during the cycle or on the
  // way out is logged and gives kLinkFailed. `checked` ("verified", "read", or nullptr when no
  // data was checked) goes into the line of a link lost on the way out.
  int LeavePic18ModeChecked(const char* checked);
  bool IdentifyPic18Target();
  // Data of the file the identified device cannot hold goes no further unless the user
  // confirms; `action` names the command in the question.
  bool DataFitsDevice(const char* action);
  // After a failed identification: a lost link is told as such (on the bar too when `onBar`);
  // true when it was.
  bool ReportLinkLostAtIdentification(bool onBar);
  // After a failed identification of the short commands: the lost link, or `notFoundLine`.
  void ReportNotIdentified(const std::string& notFoundLine);
  int Pic18FlashStep(OperationMode mode, bool chipErased, bool readsNothing, int& partsRead);
  int Pic18EepromStep(OperationMode mode, bool readsNothing, int& partsRead);
  int Pic18IdStep(OperationMode mode, bool chipErased, bool readsNothing, int& partsRead);
  int Pic18ConfigurationStep(OperationMode mode, bool readsNothing, int& partsRead);
  bool SaveReadImage();
  void WriteErasedEeprom();
  void RunPic18Dump(bool ram);
  bool PreparePic18Command(Pic18Command command);
  bool AskToLeaveFastReading();
  void RunPic18Command(Pic18Command command);

  CqelDoc& doc_;
  CPic18Device device_;
  bool inProgrammingMode_ = false;
  std::atomic<bool> showsFileConfiguration_{true};
};

}  // namespace velmora
