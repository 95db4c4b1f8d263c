// The dsPIC30 operations of the document: the Program/Verify/Read sequence, identify, the
// configuration read, the chip and EEPROM erases, the program memory update and the two dumps.
// Every compare looks only at chip-image cells this cycle read: the part is cleared before it
// is read, so a read that did not happen can never look like a match.
#include "families/dspic30/dspic30_operations.h"

#include <algorithm>
#include <optional>

#include "engine/text_format.h"
#include "families/dspic30/dspic30_family.h"
#include "link/pic_vortang.h"
#include "memory/intel_hex.h"

namespace velmora {

namespace {

// Failure bits of the memory parts, collected over a sequence and reported once.
constexpr int kFlashFailed = 1;
constexpr int kEepromFailed = 2;
constexpr int kConfigurationFailed = 8;
constexpr int kLinkFailed = 16;
constexpr int kNothingChecked = 32;  // a Verify that compared no part

constexpr const char* kNoPicCaption = "No PIC !!!";
constexpr const char* kLinkLostLine = "+++ Connection to the programmer lost +++";
constexpr int kCellsPerWord = 4;
constexpr int kBlockCells = 16;

struct ModeTexts {
  const char* notFound;
  const char* heading;
  const char* flashSkipped;
  const char* eepromSkipped;
  const char* configurationSkipped;
  const char* failed;
};

constexpr ModeTexts kProgramTexts{
    .notFound = "Programming not possible. Cannot find PIC.",
    .heading = "*** Programming ",
    .flashSkipped = "Programming Flash memory skipped",
    .eepromSkipped = "Programming EEPROM skipped",
    .configurationSkipped = "Programming Configuration skipped",
    .failed = "+++ Programming Failed +++",
};
constexpr ModeTexts kVerifyTexts{
    .notFound = "Verifying not possible. Cannot find PIC.",
    .heading = "*** Verifying ",
    .flashSkipped = "Verifying Flash memory skipped",
    .eepromSkipped = "Verifying EEPROM skipped",
    .configurationSkipped = "Verifying Configuration skipped",
    .failed = "+++ Verification Failed +++",
};
constexpr ModeTexts kReadTexts{
    .notFound = "Reading not possible. Cannot find PIC.",
    .heading = "*** Reading ",
    .flashSkipped = "Reading Flash memory skipped",
    .eepromSkipped = "Reading EEPROM skipped",
    .configurationSkipped = "Reading Configuration skipped",
    .failed = "+++ Reading Failed +++",
};

const ModeTexts& TextsFor(OperationMode mode) {
  if (mode == Program) return kProgramTexts;
  if (mode == Verify) return kVerifyTexts;
  return kReadTexts;
}

void ClearCells(int32_t* cells, int64_t count) {
  std::fill(cells, cells + count, kBlankCell);
}

// Blocks of 16 cells that hold only 0xFF (the given cells) become entirely 0xFF, so the writer
// leaves them out of the file.
void MarkErasedBlocks(int32_t* cells, int64_t count, bool (*isFiller)(int cell)) {
  for (int64_t block = 0; block + kBlockCells <= count; block += kBlockCells) {
    bool erased = true;
    for (int k = 0; k < kBlockCells && erased; ++k) {
      if (isFiller(k)) continue;
      erased = (cells[block + k] & 0xFF) == 0xFF;
    }
    if (erased) std::fill(cells + block, cells + block + kBlockCells, 0xFF);
  }
}

}  // namespace

CDsPic30Operations::CDsPic30Operations(CqelDoc& doc) : doc_(doc), device_(*doc.programmer) {}

// --- The cycle around every operation ---------------------------------------------------------

bool CDsPic30Operations::OpenCycle() {
  if (!doc_.OpenOperationLink()) return false;
  doc_.programmer->EnterProgrammingMode(0);  // dsPIC30 parts enter with the high voltage only
  return true;
}

void CDsPic30Operations::CloseCycle() {
  doc_.programmer->LeaveProgrammingMode();
  doc_.CloseOperationLink();
  doc_.RefreshView();
}

bool CDsPic30Operations::DataFitsDevice(const char* action) {
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  return doc_.ConfirmDataInsideDevice(DsPic30FamilyRow().deviceRanges(file), action);
}

bool CDsPic30Operations::IdentifyTarget() {
  return device_.IdentifyDsPic() != 0 && doc_.programmer->fileImage.blockSize != 0;
}

// --- Program, Verify, Read --------------------------------------------------------------------

void CDsPic30Operations::RunDspic30Sequence(OperationMode mode) {
  const ModeTexts& texts = TextsFor(mode);
  const uint32_t startTick = doc_.Clock().TickCount();
  doc_.lastOutcome = OperationOutcome::kFailed;
  doc_.LogLine("");
  if (!OpenCycle()) return;

  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  if (!IdentifyTarget()) {
    doc_.LogLine(texts.notFound);
    doc_.ShowDeviceNotFound(kNoPicCaption);
    doc_.lastOperationFailed = doc_.LinkLost() ? 1 : 0;
    doc_.lastOutcome =
        doc_.LinkLost() ? OperationOutcome::kFailed : OperationOutcome::kDeviceNotFound;
    CloseCycle();
    return;
  }
  doc_.LogLine(std::string(texts.heading) + file.deviceName + " ***");
  if (mode != Read && !DataFitsDevice(mode == Program ? "Program" : "Verify")) {
    doc_.LogLine(texts.failed);
    doc_.ShowFailure();
    CloseCycle();
    return;
  }
  if (mode == Read) doc_.programmer->chipImage.Clear();
  // The options encode for the device found now: before identification the image may name no
  // device, and an all-zero configuration would protect the code.
  if (mode != Read && Option(DSPIC30IGNORECONFIG)) {
    EncodeDspic30Configuration(doc_.optionSelections, file);
  }

  doc_.SetProgressPhase(0, 0);
  bool chipErased = false;
  if (mode == Program) {
    if (Option(DSPIC30ERASEALWAYS)) {
      device_.BulkEraseDsPic();
      doc_.LogLine("Chip erased");
      chipErased = true;
    } else {
      doc_.LogLine("Bulk Erase skipped");
    }
  }

  // A Verify or Read with "no verify" would read nothing and still call every part OK or read;
  // such parts are reported as skipped instead (a Verify then fails: nothing was verified).
  const bool readsNothing = mode != Program && Option(DSPIC30NOVERIFY);
  int partsRead = 0;
  int failures = 0;
  failures |= FlashStep(mode, chipErased, readsNothing, partsRead);
  failures |= EepromStep(mode, chipErased, readsNothing, partsRead);
  doc_.progressBar.SetCaption("ID && Config");
  doc_.SetProgressPhase(1000, 0);
  failures |= ConfigurationStep(mode, readsNothing, partsRead);
  if (doc_.LinkLost()) {
    doc_.LogLine(kLinkLostLine);
    failures |= kLinkFailed;
  }
  if (readsNothing && mode == Verify && failures == 0) {
    doc_.LogLine("+++ Nothing was verified +++");
    failures |= kNothingChecked;
  }

  if (mode == Read && failures == 0 && partsRead == 0) {
    doc_.LogLine("+++ No data saved: nothing was read +++");
    doc_.ShowFailure();
  } else if (failures != 0) {
    doc_.LogLine(texts.failed);
    doc_.ShowFailure();
    if (mode == Read) doc_.LogLine("+++ No data saved: reading failed +++");
  } else {
    if (mode == Read) {
      doc_.LogLine("*** Finished Reading ***");
    } else {
      const uint32_t elapsed = doc_.Clock().TickCount() - startTick;
      doc_.LogLine("*** Finished Successfully ***" + Printf(" %i:%03i",
                                                            static_cast<int>(elapsed / 1000),
                                                            static_cast<int>(elapsed % 1000)));
    }
    doc_.ShowSuccess();
    doc_.lastOutcome = OperationOutcome::kSuccess;
    if (mode == Read && !SaveReadImage()) doc_.lastOutcome = OperationOutcome::kFailed;
  }
  CloseCycle();
}

int CDsPic30Operations::FlashStep(OperationMode mode, bool chipErased, bool readsNothing,
                                  int& partsRead) {
  if (!Option(DSPIC30PROGRAMMEMORY) || readsNothing) {
    doc_.LogLine(TextsFor(mode).flashSkipped);
    return 0;
  }
  const bool fastVerify = Option(DSPIC30FASTVERIFY);
  const bool noVerify = Option(DSPIC30NOVERIFY);
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  bool written = true;
  if (mode == Program) {
    doc_.progressBar.SetCaption("Programming");
    doc_.SetProgressPhase(0, 500);
    doc_.LogLine("Programming Flash memory...");
    written = device_.WriteProgramRows(chipErased ? 0 : 1, 0) != 0;
    if (!noVerify) doc_.progressBar.SetCaption("Verifying");
    doc_.SetProgressPhase(500, 300);
  } else {
    doc_.progressBar.SetCaption(mode == Verify ? "Verifying" : "Reading");
    doc_.SetProgressPhase(0, 800);
  }

  // A Read has no file to take runs from: it always reads the whole program memory.
  const bool fast = fastVerify && mode != Read;
  if (mode == Program && noVerify) {
    // Nothing is read back: the progress line stays until the result replaces it.
  } else if (fastVerify) {
    const char* line = mode == Read ? "Fast reading Flash memory... (not recommended)"
                                    : "Fast verifying Flash memory...";
    if (mode == Program) {
      doc_.ReplaceLastLogLine(line);
    } else {
      doc_.LogLine(line);
    }
  } else if (mode == Program) {
    doc_.ReplaceLastLogLine("Verifying Flash memory...");
  } else {
    doc_.LogLine(mode == Verify ? "Verifying Flash memory..." : "Reading Flash memory...");
  }

  int32_t errorCell = -1;
  bool readFailed = false;
  if (!noVerify || mode == Read) {
    ClearCells(chip.programMemory, int64_t{kCellsPerWord} * file.programSize);
    const int read = fast ? device_.ReadProgramDsPic() : device_.ReadProgramRangeDsPic(-1, -1);
    readFailed = read == 0;
    if (mode != Read) {
      errorCell = fast ? device_.FindChangedProgramDsPic() : device_.FindProgramMismatchDsPic();
    }
    ++partsRead;
  }
  const int32_t errorAddress = errorCell < 0 ? -1 : errorCell / kCellsPerWord;
  const bool failed = errorCell >= 0 || readFailed || !written;

  switch (mode) {
    case Program:
      doc_.ReplaceLastLogLine(
          !failed ? std::string("Flash memory successfully programmed.")
                  : Printf("Error occured during Flash programming at address 0x%06X",
                           std::max(errorAddress, 0)));
      return failed ? kFlashFailed : 0;
    case Verify:
      doc_.ReplaceLastLogLine(!failed ? std::string("Flash memory OK.")
                                      : Printf("Error found in Flash memory at address 0x%06X",
                                               std::max(errorAddress, 0)));
      return failed ? kFlashFailed : 0;
    case Read:
      break;
  }
  doc_.ReplaceLastLogLine("Flash memory read.");
  return readFailed ? kFlashFailed : 0;
}

int CDsPic30Operations::EepromStep(OperationMode mode, bool chipErased, bool readsNothing,
                                   int& partsRead) {
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  // A part without EEPROM has nothing to write or compare.
  if (!Option(DSPIC30PROGRAMEEPROM) || readsNothing || file.eepromSize <= 0) {
    doc_.LogLine(TextsFor(mode).eepromSkipped);
    return 0;
  }
  const bool fastVerify = Option(DSPIC30FASTVERIFY);
  const bool noVerify = Option(DSPIC30NOVERIFY);
  doc_.progressBar.SetCaption("EEPROM");
  bool written = true;
  if (mode == Program) {
    doc_.SetProgressPhase(900, 90);
    doc_.LogLine("Programming EEPROM...");
  }
  doc_.Clock().Sleep(1);
  if (mode == Program) written = device_.WriteEepromDsPic(chipErased ? 0 : 1) != 0;
  doc_.progressBar.SetCaption("EEPROM");
  doc_.SetProgressPhase(mode == Program ? 990 : 950, 0);

  const char* line = nullptr;
  if (fastVerify) {
    line = mode == Read ? "Fast reading EEPROM... (not recommended)" : "Fast verifying EEPROM...";
  } else {
    line = mode == Read ? "Reading EEPROM..." : "Verifying EEPROM ...";
  }
  if (mode != Program) {
    doc_.LogLine(line);
  } else if (!noVerify) {
    doc_.ReplaceLastLogLine(line);  // without verification "Programming EEPROM..." stays
  }

  int32_t errorWord = -1;
  bool readFailed = false;
  if (!noVerify || mode == Read) {
    ClearCells(chip.dsPICEeprom, window::kDsPicEeprom.cellCount);
    readFailed = device_.ReadEepromDsPic() == 0;
    if (mode != Read) {
      errorWord = fastVerify ? device_.FindChangedEepromDsPic() : device_.FindEepromMismatchDsPic();
    }
    ++partsRead;
  }
  const bool failed = errorWord >= 0 || readFailed || !written;
  switch (mode) {
    case Program:
      doc_.ReplaceLastLogLine(
          !failed ? std::string("EEPROM successfully programmed.")
                  : Printf("Error occured during EEPROM programming at address 0x%04X",
                           std::max(errorWord, 0)));
      return failed ? kEepromFailed : 0;
    case Verify:
      doc_.ReplaceLastLogLine(
          !failed ? std::string("EEPROM OK.")
                  : Printf("Error found in EEPROM at address 0x%04X", std::max(errorWord, 0)));
      return failed ? kEepromFailed : 0;
    case Read:
      break;
  }
  doc_.ReplaceLastLogLine("EEPROM read.");
  return readFailed ? kEepromFailed : 0;
}

int CDsPic30Operations::ConfigurationStep(OperationMode mode, bool readsNothing, int& partsRead) {
  if (!Option(DSPIC30PROGRAMCONFIGURATION) || readsNothing) {
    doc_.LogLine(TextsFor(mode).configurationSkipped);
    return 0;
  }
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  bool written = true;
  if (mode == Program) {
    written = device_.WriteConfigurationDsPic() != 0;
    doc_.Clock().Sleep(100);
  }
  int32_t errorCell = -1;
  bool readFailed = false;
  if (!Option(DSPIC30NOVERIFY) || mode == Read) {
    ClearCells(chip.dsPICConfiguration, kDsPic30ConfigCells);
    readFailed = device_.ReadConfigurationDsPic() == 0;
    if (mode != Read) errorCell = device_.FindConfigMismatchDsPic();
    ++partsRead;
  }
  const bool failed = errorCell >= 0 || readFailed || !written;
  switch (mode) {
    case Program:
      doc_.LogLine(!failed ? std::string("Configuration successfully programmed.")
                           : Printf("Error occured during Configuration programming at address "
                                    "0x%02X",
                                    std::max(errorCell, 0)));
      return failed ? kConfigurationFailed : 0;
    case Verify:
      doc_.LogLine(!failed ? std::string("Configuration OK.")
                           : Printf("Error found in Configuration at address 0x%02X",
                                    std::max(errorCell, 0)));
      return failed ? kConfigurationFailed : 0;
    case Read:
      break;
  }
  doc_.LogLine("Configuration read.");
  return readFailed ? kConfigurationFailed : 0;
}

bool CDsPic30Operations::SaveReadImage() {
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  MarkErasedBlocks(chip.programMemory, int64_t{kCellsPerWord} * file.programSize,
                   [](int k) { return k % kCellsPerWord == 3; });
  const int first = device_.EepromFirstCell();
  MarkErasedBlocks(chip.dsPICEeprom + first, window::kDsPicEeprom.cellCount - first,
                   [](int k) { return k % kCellsPerWord >= 2; });
  // The writer covers 4 cells per instruction word and the top 2 x eepromSize EEPROM cells.
  chip.programSize = kCellsPerWord * file.programSize;
  chip.eepromSize = file.eepromSize;
  const std::optional<HexSaveChoice> choice = doc_.Prompt().AskHexSavePath("*.hex");
  if (!choice) {
    doc_.LogLine("+++ Data saving canceled +++");
    return false;
  }
  if (!WriteHexFile(choice->path, chip, choice->saveEmptyAreas ? 1 : 0, doc_.Prompt())) {
    doc_.LogLine("+++ Data saving failed +++");
    return false;
  }
  doc_.LogLine("*** Data successfully saved as \"" + choice->path + "\" ***");
  return true;
}

// --- Identify, configuration, erases ----------------------------------------------------------

void CDsPic30Operations::RunIdentifyDspic30() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  doc_.LogLine("");
  if (!OpenCycle()) return;
  const bool known = IdentifyTarget();
  doc_.programmer->LeaveProgrammingMode();
  doc_.CloseOperationLink();
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  if (doc_.LinkLost()) {
    doc_.LogLine(kLinkLostLine);
  } else if (known) {
    // Flash in kilobytes: three bytes per instruction word.
    doc_.LogLine(Printf("%s   Flash %ik, EEPROM %i, RAM %i", file.deviceName,
                        3 * file.programSize / 1024, file.eepromSize, file.ramSize));
    doc_.lastOutcome = OperationOutcome::kSuccess;
  } else {
    doc_.LogLine(file.deviceName);
    doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
  }
  doc_.RefreshView();
}

void CDsPic30Operations::RunEraseDspic30() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  if (!OpenCycle()) return;
  doc_.LogLine("");
  if (IdentifyTarget()) {
    doc_.LogLine("Erasing... please wait a few seconds");
    device_.BulkEraseDsPic();
    if (doc_.LinkLost()) {
      doc_.LogLine(kLinkLostLine);
    } else {
      doc_.LogLine("Chip Erase performed.");
      doc_.lastOutcome = OperationOutcome::kSuccess;
    }
  } else {
    doc_.LogLine(std::string("Failed: ") + doc_.programmer->fileImage.deviceName);
    doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
  }
  CloseCycle();
}

// The EEPROM erase of the page: the maker's erase-all operation, then a read-back that must
// find every word erased.
void CDsPic30Operations::RunEraseDspic30Eeprom() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  doc_.LogLine("");
  if (!OpenCycle()) return;
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  if (!IdentifyTarget()) {
    doc_.LogLine(std::string("Failed: ") + file.deviceName);
    doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
  } else if (file.eepromSize <= 0) {
    doc_.LogLine(std::string(file.deviceName) + " has no EEPROM.");
    doc_.lastOutcome = OperationOutcome::kSuccess;
  } else {
    doc_.LogLine("Erasing EEPROM! Please wait...");
    device_.EraseEepromDsPic();
    ClearCells(chip.dsPICEeprom, window::kDsPicEeprom.cellCount);
    const bool read = device_.ReadEepromDsPic() != 0;
    const int first = device_.EepromFirstCell();
    int32_t occupied = -1;
    for (int32_t b = 0; read && b < file.eepromSize && occupied < 0; ++b) {
      if (chip.dsPICEeprom[first + kCellsPerWord * (b / 2) + b % 2] != 0xFF) occupied = b;
    }
    if (doc_.LinkLost() || !read) {
      doc_.ReplaceLastLogLine(kLinkLostLine);
    } else if (occupied >= 0) {
      doc_.ReplaceLastLogLine(Printf("Occupied EEPROM cell found at address %04X.", occupied));
    } else {
      doc_.ReplaceLastLogLine("EEPROM successfully erased.");
      doc_.lastOutcome = OperationOutcome::kSuccess;
    }
  }
  CloseCycle();
}

void CDsPic30Operations::RunReadDspic30Configuration() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  if (!OpenCycle()) return;
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  if (IdentifyTarget()) {
    doc_.LogLine("");
    ClearCells(chip.dsPICConfiguration, kDsPic30ConfigCells);
    device_.ReadConfigurationDsPic();
    if (doc_.LinkLost()) {
      doc_.LogLine(kLinkLostLine);
    } else {
      configWords_ = Dspic30WordsOf(chip);
      configWordsKnown_ = true;
      DecodeDspic30Words(file.deviceIndex, configWords_, doc_.optionSelections);
      doc_.LogLine("Configuration setup updated with data from dsPIC30");
      doc_.lastOutcome = OperationOutcome::kSuccess;
    }
  } else {
    doc_.LogLine(std::string(file.deviceName) + "   Setup not updated!");
    doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
  }
  CloseCycle();
}

void CDsPic30Operations::TakeConfigurationFromFile() {
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  configWords_ = Dspic30WordsOf(file);
  configWordsKnown_ = true;
  if (!Option(DSPIC30IGNORECONFIG)) {
    DecodeDspic30Words(file.deviceIndex, configWords_, doc_.optionSelections);
  }
}

// --- Update -----------------------------------------------------------------------------------

// Writes the rows that differ from the last image written or read, then reads back every row
// the file gives and compares: on another (or erased) chip the compare fails, never a silent
// success.
void CDsPic30Operations::RunUpdateDspic30ProgramMemory() {
  const uint32_t startTick = doc_.Clock().TickCount();
  doc_.lastOutcome = OperationOutcome::kFailed;
  doc_.LogLine("");
  if (!OpenCycle()) return;
  if (!IdentifyTarget()) {
    doc_.ShowDeviceNotFound(kNoPicCaption);
    doc_.LogLine("Programming not possible. Cannot find PIC.");
    doc_.lastOperationFailed = 1;
    doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
    CloseCycle();
    return;
  }
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  doc_.LogLine("*** Update Program Memory ***");
  if (!DataFitsDevice("Update")) {
    doc_.ShowFailure();
    CloseCycle();
    return;
  }
  doc_.LogLine("Programming Flash memory...");
  doc_.progressBar.SetCaption("Flashing");
  doc_.SetProgressPhase(0, 500);
  device_.WriteProgramRows(0, 1);
  doc_.ReplaceLastLogLine("Verifying Flash memory...");
  doc_.progressBar.SetCaption("Verifying");
  doc_.SetProgressPhase(500, 500);
  ClearCells(chip.programMemory, int64_t{kCellsPerWord} * file.programSize);
  const bool read = device_.ReadProgramDsPic() != 0;
  const int32_t errorCell = read ? device_.FindChangedProgramDsPic() : 0;
  if (doc_.LinkLost() || !read) {
    doc_.ReplaceLastLogLine(kLinkLostLine);
    doc_.ShowFailure();
  } else if (errorCell >= 0) {
    doc_.ReplaceLastLogLine(
        Printf("!!! Error occured during Flash programming at address 0x%06X !!!",
               errorCell / kCellsPerWord));
    doc_.ShowFailure();
  } else {
    const uint32_t elapsed = doc_.Clock().TickCount() - startTick;
    doc_.ReplaceLastLogLine(
        "Flash memory successfully updated.   (" +
        Printf("%i:%03i", static_cast<int>(elapsed / 1000), static_cast<int>(elapsed % 1000)) +
        "s)");
    doc_.ShowSuccess();
    doc_.lastOutcome = OperationOutcome::kSuccess;
  }
  CloseCycle();
}

// --- Read after reset dumps -------------------------------------------------------------------

void CDsPic30Operations::RunReadDspic30RamAfterReset() {
  RunDump(true);
}

void CDsPic30Operations::RunReadDspic30EepromAfterReset() {
  RunDump(false);
}

// Word-wise: eight words a line, "%03X:" with the EEPROM byte offset or "%04X:" with the RAM's
// data address.
void CDsPic30Operations::RunDump(bool ram) {
  doc_.lastOutcome = OperationOutcome::kFailed;
  if (!OpenCycle()) return;
  doc_.operationLog.ClearView();
  doc_.LogLine("");
  doc_.LogLine(ram ? "*** Read RAM Reset ***" : "*** Read EEPROM Reset ***");
  if (!IdentifyTarget()) {
    doc_.LogLine("Read EEPROM failed, no device found.");
    doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
    CloseCycle();
    return;
  }
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  const int first = device_.EepromFirstCell();
  const int32_t size = ram ? file.ramSize : file.eepromSize;
  if (ram) {
    ClearCells(chip.dataMemory, kDataMemoryCells);
    device_.ReadRamDsPic();
  } else {
    ClearCells(chip.dsPICEeprom, window::kDsPicEeprom.cellCount);
    device_.ReadEepromDsPic();
  }
  auto word = [&](int32_t index) {
    const int32_t* cells =
        ram ? chip.dataMemory + 2 * index : chip.dsPICEeprom + first + kCellsPerWord * index;
    return ((cells[1] & 0xFF) << 8) | (cells[0] & 0xFF);
  };
  int lines = 0;
  for (int32_t offset = 0; offset < size; offset += 16, ++lines) {
    std::string line = ram ? Printf("%04X:", 0x800 + offset) : Printf("%03X:", offset);
    for (int32_t w = offset / 2; w < offset / 2 + 8 && 2 * w < size; ++w) {
      line += Printf("\t%04X", word(w));
    }
    doc_.LogLine(line, false);
  }
  if (doc_.LinkLost()) {
    doc_.LogLine(kLinkLostLine);
  } else {
    doc_.LogLine("*** End of EEPROM Read Reset ***");
    doc_.lastOutcome = OperationOutcome::kSuccess;
  }
  doc_.operationLog.ScrollView(lines + 2);
  CloseCycle();
}

}  // namespace velmora
