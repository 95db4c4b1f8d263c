#pragma once
// CDsPic30Operations: the commands of the dsPIC30 pages, one object per document. Each command is
// one programming cycle: the document's link frame, the PIC18 programming-mode entry (high
// voltage), identification, the dsPIC30 primitives, and back, reported through the document's
// log and status bar. The sequence flags are the dsPIC30 entries of the option selections.
#include <cstdint>
#include <span>
#include <string>

#include "engine/cqel_doc.h"
#include "engine/family_operations.h"
#include "families/dspic30/config_dspic30.h"
#include "families/dspic30/dspic30_device.h"

namespace velmora {

// The commands of the dsPIC30 pages; the number is the FamilyCommand id.
enum class DsPic30Command {
  kIdentify,
  kReadConfiguration,
  kEraseChip,
  kEraseEeprom,
  kProgram,
  kVerify,
  kRead,
  kUpdate,
  kDumpRam,
  kDumpEeprom,
};

std::span<const FamilyCommand> DsPic30Commands();

class CDsPic30Operations final : public IFamilyOperations {
 public:
  explicit CDsPic30Operations(CqelDoc& doc);

  bool Prepare(int command) override;
  void Run(int command) override;
  std::string ResultText(int command) const override;

  void RunDspic30Sequence(OperationMode mode);
  void RunIdentifyDspic30();
  void RunEraseDspic30();
  void RunEraseDspic30Eeprom();
  void RunReadDspic30Configuration();
  void RunUpdateDspic30ProgramMemory();
  void RunReadDspic30EepromAfterReset();
  void RunReadDspic30RamAfterReset();

  // A HEX file was loaded into the file image by a page: its configuration words become the
  // document's dsPIC30 configuration values and, unless the options override the file, the
  // option selections.
  void TakeConfigurationFromFile();

  // The configuration values last taken from a file or read from a chip; none before either.
  const DsPic30ConfigWords& ConfigurationWords() const { return configWords_; }
  bool ConfigurationWordsKnown() const { return configWordsKnown_; }
  CDsPic30Device& Device() { return device_; }

 private:
  bool OpenCycle();
  void CloseCycle();
  bool IdentifyTarget();
  // Data of the file the identified device cannot hold goes no further unless the user
  // confirms; `action` names the command in the question.
  bool DataFitsDevice(const char* action);
  bool Option(int id) const { return doc_.optionSelections[id] != 0; }
  int FlashStep(OperationMode mode, bool chipErased, bool readsNothing, int& partsRead);
  int EepromStep(OperationMode mode, bool chipErased, bool readsNothing, int& partsRead);
  int ConfigurationStep(OperationMode mode, bool readsNothing, int& partsRead);
  bool SaveReadImage();
  void RunDump(bool ram);
  bool AskToLeaveFastReading();

  CqelDoc& doc_;
  CDsPic30Device device_;
  DsPic30ConfigWords configWords_{};
  bool configWordsKnown_ = false;
};

}  // namespace velmora
