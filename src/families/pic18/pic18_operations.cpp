// The PIC18 operations: the Program/Verify/Read sequence, identify, the
// configuration read, the three erases, the program memory update and the two dumps. Each is
// one programming cycle on the link; the steps and texts follow the PIC18 view's commands.
#include "families/pic18/pic18_operations.h"

#include <algorithm>
#include <vector>

#include "engine/cqel_doc.h"
#include "engine/text_format.h"
#include "families/pic18/config_pic18.h"
#include "families/pic18/pic18_family.h"
#include "memory/intel_hex.h"

namespace velmora {

namespace {

// Failure bits of the memory parts, collected over a sequence and reported once.
constexpr int kFlashFailed = 1;
constexpr int kEepromFailed = 2;
constexpr int kIdFailed = 4;
constexpr int kConfigurationFailed = 8;
constexpr int kLinkFailed = 16;  // the programmer stopped answering during the cycle

constexpr int kNothingChecked = 32;  // a Verify or Read that compared or read no part
constexpr int32_t kIdBytes = 8;

constexpr const char* kNoPicCaption = "No PIC !!!";
constexpr const char* kLinkLostLine = "+++ Connection to the programmer lost +++";
constexpr const char* kLostLeavingLine =
    "+++ Connection lost while leaving programming mode: the target may still be held in "
    "programming mode +++";

// The line of a link lost while leaving programming mode after every part was `checked`
// ("verified", "read").
std::string LostLeavingCheckedLine(const char* checked) {
  return std::string("+++ Connection lost while leaving programming mode: the data was ") +
         checked + ", but the target may still be held in programming mode +++";
}

// The lines of the sequence that depend on the mode.
struct ModeTexts {
  const char* notFound;
  const char* heading;
  const char* flashSkipped;
  const char* eepromSkipped;
  const char* idSkipped;
  const char* configurationSkipped;
  const char* failed;
  const char* checked;  // what the mode did to the data, for the line of a link lost at the end
};

constexpr ModeTexts kProgramTexts{
    .notFound = "Programming not possible. Cannot find PIC.",
    .heading = "*** Programming ",
    .flashSkipped = "Programming Flash memory skipped",
    .eepromSkipped = "Programming EEPROM skipped",
    .idSkipped = "Programming ID-Location skipped",
    .configurationSkipped = "Programming Configuration skipped",
    .failed = "+++ Programming Failed +++",
    .checked = "verified",
};
constexpr ModeTexts kVerifyTexts{
    .notFound = "Verifying not possible. Cannot find PIC.",
    .heading = "*** Verifying ",
    .flashSkipped = "Verifying Flash memory skipped",
    .eepromSkipped = "Verifying EEPROM skipped",
    .idSkipped = "Verifying ID-Location skipped",
    .configurationSkipped = "Verifying Configuration skipped",
    .failed = "+++ Verification Failed +++",
    .checked = "verified",
};
constexpr ModeTexts kReadTexts{
    .notFound = "Reading not possible. Cannot find PIC.",
    .heading = "*** Reading ",
    .flashSkipped = "Reading Flash memory skipped",
    .eepromSkipped = "Reading EEPROM skipped",
    .idSkipped = "Reading ID-Location skipped",
    .configurationSkipped = "Reading Configuration skipped",
    .failed = "+++ Reading Failed +++",
    .checked = "read",
};

const ModeTexts& TextsFor(OperationMode mode) {
  switch (mode) {
    case Program:
      return kProgramTexts;
    case Verify:
      return kVerifyTexts;
    case Read:
      break;
  }
  return kReadTexts;
}

// The first index below `count` where the expected and the read byte differ, or -1. With
// `onlyGiven` cells without an expected value are skipped; otherwise they compare as 0xFF. A
// cell that was not read (blank, the part having been cleared before the read) never matches.
int32_t FirstDifference(const int32_t* expected, const int32_t* read, int32_t count,
                        bool onlyGiven) {
  for (int32_t i = 0; i < count; ++i) {
    if (onlyGiven && expected[i] == kBlankCell) continue;
    if (read[i] == kBlankCell || (expected[i] & 0xFF) != (read[i] & 0xFF)) return i;
  }
  return -1;
}

// The failure bit of a part: a Read fails only when the read itself failed, Program and Verify
// also at a difference.
int PartFailed(OperationMode mode, int32_t errorAddress, bool readOk, int failureBit) {
  return !readOk || (mode != Read && errorAddress >= 0) ? failureBit : 0;
}

// Forgets what an earlier operation read into a part of the chip image, so that only what this
// cycle reads can match.
void ForgetRead(int32_t* cells, int32_t count) {
  std::fill_n(cells, std::max(0, count), kBlankCell);
}

// A cell read as 0xFF; one that was not read is not known to be erased.
bool IsErased(int32_t cell) {
  return cell != kBlankCell && (cell & 0xFF) == 0xFF;
}

// A byte of a dump as a character: controls and 0xFF as ".", the rest as Latin-1 in UTF-8.
std::string DumpCharacter(uint8_t byte) {
  if (byte < 0x20 || byte == 0xFF) return ".";
  if (byte < 0x80) return std::string(1, static_cast<char>(byte));
  return {static_cast<char>(0xC0 | (byte >> 6)), static_cast<char>(0x80 | (byte & 0x3F))};
}

}  // namespace

// --- The cycle around every operation ---------------------------------------------------------

CPic18Operations::CPic18Operations(CqelDoc& doc) : doc_(doc), device_(*doc.programmer) {}

bool CPic18Operations::OpenPic18Cycle() {
  if (!doc_.OpenOperationLink()) return false;
  doc_.programmer->EnterProgrammingMode(doc_.lowVoltageProgramming);
  inProgrammingMode_ = true;
  return true;
}

bool CPic18Operations::LeavePic18Mode() {
  const bool lostBefore = doc_.LinkLost();
  if (inProgrammingMode_) doc_.programmer->LeaveProgrammingMode();
  inProgrammingMode_ = false;
  return !lostBefore && doc_.LinkLost();
}

void CPic18Operations::ClosePic18Cycle() {
  LeavePic18Mode();
  doc_.CloseOperationLink();
  doc_.RefreshView();
}

int CPic18Operations::LeavePic18ModeChecked(const char* checked) {
  const bool lostBefore = doc_.LinkLost();
  if (LeavePic18Mode()) {
    doc_.LogLine(checked ? LostLeavingCheckedLine(checked) : kLostLeavingLine);
    return kLinkFailed;
  }
  if (!lostBefore) return 0;
  doc_.LogLine(kLinkLostLine);
  return kLinkFailed;
}

bool CPic18Operations::DataFitsDevice(const char* action) {
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  return doc_.ConfirmDataInsideDevice(Pic18FamilyRow().deviceRanges(file), action);
}

// A device whose identification lost the link counts as not identified: nothing more can
// reach it, and the lost link is what the user is told.
bool CPic18Operations::IdentifyPic18Target() {
  return device_.IdentifyPic18() != 0 && doc_.programmer->fileImage.blockSize != 0 &&
         !doc_.LinkLost();
}

void CPic18Operations::ReportNotIdentified(const std::string& notFoundLine) {
  if (ReportLinkLostAtIdentification(false)) return;
  doc_.LogLine(notFoundLine);
  doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
}

bool CPic18Operations::ReportLinkLostAtIdentification(bool onBar) {
  if (!doc_.LinkLost()) return false;
  doc_.LogLine(kLinkLostLine);
  if (onBar) doc_.ShowFailure();
  doc_.lastOutcome = OperationOutcome::kFailed;
  return true;
}

// --- Program, Verify, Read --------------------------------------------------------------------

void CPic18Operations::RunPic18Sequence(OperationMode mode) {
  const ModeTexts& texts = TextsFor(mode);
  const uint32_t startTick = doc_.Clock().TickCount();
  doc_.lastOutcome = OperationOutcome::kFailed;
  doc_.LogLine("");
  if (!OpenPic18Cycle()) return;

  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  if (!IdentifyPic18Target()) {
    if (!ReportLinkLostAtIdentification(true)) {
      doc_.LogLine(texts.notFound);
      doc_.ShowDeviceNotFound(kNoPicCaption);
      doc_.lastOperationFailed = 0;
      doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
    }
    ClosePic18Cycle();
    return;
  }
  doc_.LogLine(std::string(texts.heading) + file.deviceName + " ***");
  if (mode != Read && !DataFitsDevice(mode == Program ? "Program" : "Verify")) {
    doc_.LogLine(texts.failed);
    doc_.ShowFailure();
    ClosePic18Cycle();
    return;
  }
  if (mode == Read) doc_.programmer->chipImage.Clear();
  // Configuration bits from the options depend on the device; encode them for the device
  // found now, not the one the view last showed (a fresh start knows none and would write
  // all-zero configuration, code protection included).
  if (mode != Read && doc_.ignoreConfigFromFile)
    EncodePic18Configuration(doc_.optionSelections, file);

  doc_.SetProgressPhase(0, 0);
  bool chipErased = false;
  if (mode == Program) {
    if (doc_.enableChipErase) {
      device_.BulkErase();
      doc_.LogLine("Chip erased");
      chipErased = true;
    } else {
      doc_.LogLine("Bulk Erase skipped");
    }
  }

  // A Verify or Read with "no verify" would read nothing and still call every part OK or read;
  // such parts are reported as skipped instead, and the whole as failed.
  const bool readsNothing = mode != Program && doc_.noVerify;
  int partsRead = 0;
  int failures = 0;
  failures |= Pic18FlashStep(mode, chipErased, readsNothing, partsRead);
  failures |= Pic18EepromStep(mode, readsNothing, partsRead);
  doc_.progressBar.SetCaption("ID && Config");
  doc_.SetProgressPhase(1000, 0);
  failures |= Pic18IdStep(mode, chipErased, readsNothing, partsRead);
  failures |= Pic18ConfigurationStep(mode, readsNothing, partsRead);
  // Out of programming mode before the result, so that a link lost on the way out counts.
  failures |= LeavePic18ModeChecked(failures == 0 && partsRead > 0 ? texts.checked : nullptr);
  if (failures == 0 && partsRead == 0 && mode != Program) {
    if (mode == Verify) doc_.LogLine("+++ Nothing was verified +++");
    failures |= kNothingChecked;
  }

  if (failures != 0) {
    doc_.LogLine(texts.failed);
    doc_.ShowFailure();
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
  }
  doc_.lastOutcome = failures == 0 ? OperationOutcome::kSuccess : OperationOutcome::kFailed;

  if (mode == Read) {
    if (partsRead == 0) {
      doc_.LogLine("+++ No data saved: nothing was read +++");
    } else if (failures != 0) {
      doc_.LogLine("+++ No data saved: reading failed +++");
    } else if (!SaveReadImage()) {
      doc_.lastOutcome = OperationOutcome::kFailed;
    }
  }
  ClosePic18Cycle();
}

int CPic18Operations::Pic18FlashStep(OperationMode mode, bool chipErased, bool readsNothing,
                                     int& partsRead) {
  if (!doc_.enableFlashUpdate || readsNothing) {
    doc_.LogLine(TextsFor(mode).flashSkipped);
    return 0;
  }
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  if (mode == Program) {
    if (!chipErased) {
      if (doc_.optionSelections[PIC18LOWVOLTAGEERASE]) {
        doc_.progressBar.SetCaption("Erasing Flash");
        doc_.SetProgressPhase(0, 0);
        device_.EraseAllRows();
      } else {
        device_.EraseFlashPanels();
      }
    }
    doc_.progressBar.SetCaption("Programming");
    doc_.SetProgressPhase(0, 400);
    doc_.LogLine("Programming Flash memory...");
    device_.WriteProgramMemory();
    if (!doc_.noVerify) doc_.progressBar.SetCaption("Verifying");
    doc_.SetProgressPhase(400, 500);
  } else {
    doc_.progressBar.SetCaption(mode == Verify ? "Verifying" : "Reading");
    doc_.SetProgressPhase(0, 800);
  }

  if (mode == Program && doc_.noVerify) {
    // Nothing is read back: the progress line stays until the result replaces it.
  } else if (doc_.fastVerify) {
    if (mode == Program) {
      doc_.ReplaceLastLogLine("Fast verifying Flash memory...");
    } else {
      doc_.LogLine(mode == Verify ? "Fast verifying Flash memory..."
                                  : "Fast reading Flash memory... (not recommended)");
    }
  } else if (mode == Program) {
    // Program turns its progress line into the verify line; Verify and Read keep the heading.
    doc_.ReplaceLastLogLine("Verifying Flash memory...");
  } else {
    doc_.LogLine(mode == Verify ? "Verifying Flash memory..." : "Reading Flash memory...");
  }
  int32_t errorAddress = -1;
  bool readOk = true;
  if (!doc_.noVerify) {
    ForgetRead(chip.programMemory, file.programSize);
    readOk = doc_.fastVerify ? device_.ReadProgramMemory() : device_.ReadProgramRange(-1, -1);
    errorAddress = FirstDifference(file.programMemory, chip.programMemory, file.programSize,
                                   doc_.fastVerify != 0);
    ++partsRead;
  }
  const int failed = PartFailed(mode, errorAddress, readOk, kFlashFailed);

  switch (mode) {
    case Program:
      doc_.ReplaceLastLogLine(
          errorAddress < 0
              ? std::string("Flash memory successfully programmed.")
              : Printf("Error occured during Flash programming at address 0x%06X", errorAddress));
      return failed;
    case Verify:
      doc_.ReplaceLastLogLine(
          errorAddress < 0 ? std::string("Flash memory OK.")
                           : Printf("Error found in Flash memory at address 0x%06X", errorAddress));
      return failed;
    case Read:
      break;
  }
  doc_.ReplaceLastLogLine("Flash memory read.");
  return failed;
}

int CPic18Operations::Pic18EepromStep(OperationMode mode, bool readsNothing, int& partsRead) {
  if (!doc_.enableEepromUpdate || readsNothing) {
    doc_.LogLine(TextsFor(mode).eepromSkipped);
    return 0;
  }
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  doc_.progressBar.SetCaption("EEPROM");
  if (mode == Program) {
    doc_.SetProgressPhase(900, 90);
    doc_.LogLine("Programming EEPROM...");
  }
  doc_.Clock().Sleep(1);
  if (mode == Program) device_.WriteEeprom();
  doc_.progressBar.SetCaption("EEPROM");
  doc_.SetProgressPhase(mode == Program ? 990 : 950, 0);

  const char* progressLine = nullptr;
  if (doc_.fastVerify) {
    progressLine = mode == Program  ? "Fast verifying EEPROM..."
                   : mode == Verify ? "Fast verifying EEPROM..."
                                    : "Fast reading EEPROM... (not recommended)";
  } else {
    progressLine = mode == Read ? "Reading EEPROM..." : "Verifying EEPROM...";
  }
  if (mode != Program) {
    doc_.LogLine(progressLine);
  } else if (!doc_.noVerify) {
    doc_.ReplaceLastLogLine(progressLine);  // without verification "Programming EEPROM..." stays
  }
  int32_t errorAddress = -1;
  bool readOk = true;
  if (!doc_.noVerify) {
    ForgetRead(chip.eeprom, file.eepromSize);
    readOk = device_.ReadEeprom() != 0;
    errorAddress = FirstDifference(file.eeprom, chip.eeprom, file.eepromSize, doc_.fastVerify != 0);
    ++partsRead;
  }
  const int failed = PartFailed(mode, errorAddress, readOk, kEepromFailed);

  switch (mode) {
    case Program:
      doc_.ReplaceLastLogLine(
          errorAddress < 0
              ? std::string("EEPROM successfully programmed.")
              : Printf("Error occured during EEPROM programming at address 0x%04X", errorAddress));
      return failed;
    case Verify:
      doc_.ReplaceLastLogLine(
          errorAddress < 0 ? std::string("EEPROM OK.")
                           : Printf("Error found in EEPROM at address 0x%04X", errorAddress));
      return failed;
    case Read:
      break;
  }
  doc_.ReplaceLastLogLine("EEPROM read.");
  return failed;
}

int CPic18Operations::Pic18IdStep(OperationMode mode, bool chipErased, bool readsNothing,
                                  int& partsRead) {
  if (!doc_.enableIdLocationUpdate || readsNothing) {
    doc_.LogLine(TextsFor(mode).idSkipped);
    return 0;
  }
  doc_.Clock().Sleep(2);
  if (mode == Program) {
    if (!chipErased) device_.EraseIdRow();
    device_.WriteIdLocations();
  }
  int32_t errorIndex = -1;
  bool readOk = true;
  if (!doc_.noVerify) {
    int32_t* chipId = doc_.programmer->chipImage.idLocations;
    ForgetRead(chipId, kIdBytes);
    readOk = device_.ReadIdLocations() != 0;
    errorIndex = FirstDifference(doc_.programmer->fileImage.idLocations, chipId, kIdBytes, false);
    ++partsRead;
  }
  const int failed = PartFailed(mode, errorIndex, readOk, kIdFailed);
  switch (mode) {
    case Program:
      doc_.LogLine(
          errorIndex < 0
              ? std::string("ID-Location successfully programmed.")
              : Printf("Error occured during ID-Location programming at address %02X", errorIndex));
      return failed;
    case Verify:
      doc_.LogLine(errorIndex < 0
                       ? std::string("ID-Location OK.")
                       : Printf("Error found in ID-Location at address %02X", errorIndex));
      return failed;
    case Read:
      break;
  }
  doc_.LogLine("ID-Location read.");
  return failed;
}

int CPic18Operations::Pic18ConfigurationStep(OperationMode mode, bool readsNothing,
                                             int& partsRead) {
  if (!doc_.enableConfigurationUpdate || readsNothing) {
    doc_.LogLine(TextsFor(mode).configurationSkipped);
    return 0;
  }
  int32_t errorIndex = -1;
  bool readOk = true;
  // The mode value doubles as the attempt limit: Program tries twice.
  for (int attempt = 1;;) {
    if (mode == Program) device_.WriteConfiguration();
    doc_.Clock().Sleep(100);
    errorIndex = -1;
    if (!doc_.noVerify) {
      int32_t* chipConfiguration = doc_.programmer->chipImage.configuration;
      ForgetRead(chipConfiguration, kPic18ConfigBytes);
      readOk = device_.ReadConfiguration() != 0;
      const int32_t* unread =
          std::find(chipConfiguration, chipConfiguration + kPic18ConfigBytes, kBlankCell);
      errorIndex = unread != chipConfiguration + kPic18ConfigBytes
                       ? static_cast<int32_t>(unread - chipConfiguration)
                       : device_.FindConfigMismatch();
    }
    if (mode != Program || errorIndex < 0 || attempt >= mode || doc_.LinkLost()) break;
    ++attempt;
    doc_.LogLine(Printf("Programming Configuration: %i. try ", attempt));
    doc_.Clock().Sleep(10);
  }
  if (!doc_.noVerify) ++partsRead;
  const int failed = PartFailed(mode, errorIndex, readOk, kConfigurationFailed);
  switch (mode) {
    case Program:
      doc_.LogLine(errorIndex < 0
                       ? std::string("Configuration successfully programmed.")
                       : Printf("Error occured during Configuration programming at address 0x%02X",
                                errorIndex));
      return failed;
    case Verify:
      doc_.LogLine(errorIndex < 0
                       ? std::string("Configuration OK.")
                       : Printf("Error found in Configuration at address 0x%02X", errorIndex));
      return failed;
    case Read:
      break;
  }
  doc_.LogLine("Configuration read.");
  return failed;
}

bool CPic18Operations::SaveReadImage() {
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  chip.programSize = doc_.programmer->fileImage.programSize;
  chip.eepromSize = doc_.programmer->fileImage.eepromSize;
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

// --- Identify and configuration read ----------------------------------------------------------

void CPic18Operations::RunIdentifyPic18() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  doc_.LogLine("");
  if (!OpenPic18Cycle()) return;
  const bool known = IdentifyPic18Target();
  // The ID line shows what was read now, never what an earlier operation left in the image.
  const bool idRead = known && !doc_.noVerify;
  if (idRead) {
    ForgetRead(doc_.programmer->chipImage.idLocations, kIdBytes);
    device_.ReadIdLocations();
  }
  const bool lostLeaving = LeavePic18Mode();
  doc_.CloseOperationLink();

  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  if (lostLeaving) {
    doc_.LogLine(kLostLeavingLine);
  } else if (doc_.LinkLost()) {
    doc_.LogLine(kLinkLostLine);
  } else if (known) {
    doc_.LogLine(Printf("%s Rev. %i   Flash %ik, EEPROM %i, RAM %i", file.deviceName,
                        DeviceIdWord(file) & 0x1F, file.programSize / 1024, file.eepromSize,
                        file.ramSize));
    if (idRead) doc_.LogLine(IdLocationLine(doc_.programmer->chipImage.idLocations));
    doc_.lastOutcome = OperationOutcome::kSuccess;
  } else {
    doc_.LogLine(Printf("Device ID: 0x%04X", DeviceIdWord(file)));
    doc_.LogLine(file.deviceName);
    doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
  }
  doc_.RefreshView();
}

int32_t CPic18Operations::DeviceIdWord(const CMCUMemoryArchitecture& image) {
  return image.deviceId[1] * 256 + image.deviceId[0];
}

std::string CPic18Operations::IdLocationLine(const int32_t* id) {
  uint8_t bytes[8];
  for (int i = 0; i < 8; ++i) bytes[i] = static_cast<uint8_t>(id[i] & 0xFF);
  if (std::all_of(bytes, bytes + 8, [](uint8_t b) { return b == 0xFF; })) {
    return "ID-Location: Is Empty";
  }
  std::string line = Printf("ID: %02X %02X %02X %02X %02X %02X %02X %02X", bytes[0], bytes[1],
                            bytes[2], bytes[3], bytes[4], bytes[5], bytes[6], bytes[7]);
  if (std::all_of(bytes, bytes + 8, [](uint8_t b) { return b >= 32 && b <= 127; })) {
    line += "   \"" + std::string(bytes, bytes + 8) + "\"";
  }
  return line;
}

void CPic18Operations::RunReadPic18Configuration() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  if (!OpenPic18Cycle()) return;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  if (IdentifyPic18Target()) {
    doc_.LogLine("");
    ForgetRead(chip.configuration, kPic18ConfigBytes);
    const bool read = device_.ReadConfiguration() != 0;
    // The options change only when the whole cycle went through.
    if (LeavePic18ModeChecked(nullptr) == 0 && read) {
      // Identification names the device in the file image; the bytes read are in the chip
      // image.
      DecodePic18ConfigurationCells(
          doc_.programmer->fileImage.deviceName,
          std::span<const int32_t, kPic18ConfigBytes>(chip.configuration, kPic18ConfigBytes),
          doc_.optionSelections);
      for (size_t i = 0; i < doc_.pic18Configuration.size(); ++i) {
        doc_.pic18Configuration[i] = static_cast<uint8_t>(chip.configuration[i] & 0xFF);
      }
      doc_.LogLine("Configuration setup updated with data from PIC");
      showsFileConfiguration_ = false;
      doc_.lastOutcome = OperationOutcome::kSuccess;
    }
  } else if (!ReportLinkLostAtIdentification(false)) {
    doc_.LogLine(std::string(doc_.programmer->fileImage.deviceName) + "   Setup not updated!");
    doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
  }
  ClosePic18Cycle();
}

// --- Erases -----------------------------------------------------------------------------------

void CPic18Operations::WriteErasedEeprom() {
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  std::fill(file.eeprom, file.eeprom + file.eepromSize, 0xFF);
  device_.WriteEeprom();
}

void CPic18Operations::RunErasePic18Chip() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  if (!OpenPic18Cycle()) return;
  doc_.LogLine("");
  if (IdentifyPic18Target()) {
    doc_.LogLine("Erasing Flash Memory! Please wait...");
    if (doc_.optionSelections[PIC18LOWVOLTAGEERASE]) {
      device_.EraseAllRows();
      doc_.LogLine("Erasing EEPROM! Please wait...");
      WriteErasedEeprom();
    } else {
      device_.BulkErase();
    }
    const bool lostLeaving = LeavePic18Mode();
    if (doc_.LinkLost() && !lostLeaving) {
      doc_.ReplaceLastLogLine(kLinkLostLine);
    } else {
      doc_.ReplaceLastLogLine("Chip Erase performed.");
      if (lostLeaving) {
        doc_.LogLine(kLostLeavingLine);
      } else {
        doc_.lastOutcome = OperationOutcome::kSuccess;
      }
    }
  } else {
    ReportNotIdentified(std::string("Failed: ") + doc_.programmer->fileImage.deviceName);
  }
  ClosePic18Cycle();
}

void CPic18Operations::RunErasePic18Eeprom() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  doc_.LogLine("");
  if (!OpenPic18Cycle()) return;
  if (IdentifyPic18Target()) {
    doc_.LogLine("Erasing EEPROM! Please wait...");
    if (doc_.optionSelections[PIC18LOWVOLTAGEERASE]) {
      WriteErasedEeprom();
    } else {
      device_.EraseEeprom();
    }
    CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
    const int32_t size = doc_.programmer->fileImage.eepromSize;
    ForgetRead(chip.eeprom, size);
    const bool read = device_.ReadEeprom() != 0;
    const int32_t* occupied = std::find_if_not(chip.eeprom, chip.eeprom + size, IsErased);
    const bool lostLeaving = LeavePic18Mode();
    if (!read || (doc_.LinkLost() && !lostLeaving)) {
      doc_.ReplaceLastLogLine(kLinkLostLine);
    } else if (occupied != chip.eeprom + size) {
      doc_.ReplaceLastLogLine(Printf("Occupied EEPROM cell found at address %04X.",
                                     static_cast<int>(occupied - chip.eeprom)));
    } else {
      doc_.ReplaceLastLogLine("EEPROM successfully erased.");
      if (lostLeaving) {
        doc_.LogLine(LostLeavingCheckedLine("verified"));
      } else {
        doc_.lastOutcome = OperationOutcome::kSuccess;
      }
    }
  } else {
    ReportNotIdentified(std::string("Failed: ") + doc_.programmer->fileImage.deviceName);
  }
  ClosePic18Cycle();
}

void CPic18Operations::RunErasePic18IdLocation() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  doc_.LogLine("");
  if (!OpenPic18Cycle()) return;
  if (IdentifyPic18Target()) {
    device_.EraseIdRow();
    int32_t* chipId = doc_.programmer->chipImage.idLocations;
    ForgetRead(chipId, kIdBytes);
    const bool read = device_.ReadIdLocations() != 0;
    const bool lostLeaving = LeavePic18Mode();
    if (!read || (doc_.LinkLost() && !lostLeaving)) {
      doc_.LogLine(kLinkLostLine);
    } else if (std::all_of(chipId, chipId + kIdBytes, IsErased)) {
      doc_.LogLine("ID-Location erased successfully.");
      if (lostLeaving) {
        doc_.LogLine(LostLeavingCheckedLine("verified"));
      } else {
        doc_.lastOutcome = OperationOutcome::kSuccess;
      }
    } else {
      doc_.LogLine("Error erasing ID Location.");
    }
  } else {
    ReportNotIdentified(std::string("Failed: ") + doc_.programmer->fileImage.deviceName);
  }
  ClosePic18Cycle();
}

// --- Update -----------------------------------------------------------------------------------

// The fast path writes only the blocks in which the file differs from what the chip image
// says the target holds (the last Program's read-back). That image may describe another board,
// so success needs evidence: the whole used flash is read back and compared afterwards.
void CPic18Operations::RunUpdatePic18ProgramMemory() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  doc_.LogLine("");
  if (!OpenPic18Cycle()) return;
  if (!IdentifyPic18Target()) {
    if (!ReportLinkLostAtIdentification(true)) {
      doc_.ShowDeviceNotFound(kNoPicCaption);
      doc_.LogLine("Programming not possible. Cannot find PIC.");
      doc_.lastOperationFailed = 1;
      doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
    }
    ClosePic18Cycle();
    return;
  }
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  doc_.LogLine("*** Update Program Memory ***");
  if (!DataFitsDevice("Update")) {
    doc_.ShowFailure();
    ClosePic18Cycle();
    return;
  }
  doc_.LogLine("Programming Flash memory...");
  doc_.progressBar.SetCaption("Flashing");
  doc_.SetProgressPhase(0, 500);
  // Writing blanks the unchanged blocks of the file image; the check needs all of it.
  const std::vector<int32_t> fileFlash(file.programMemory,
                                       file.programMemory + std::max(0, file.programSize));
  const bool written = device_.UpdateChangedBlocks() != 0;
  std::copy(fileFlash.begin(), fileFlash.end(), file.programMemory);

  int32_t errorAddress = -1;
  bool readOk = true;
  if (doc_.noVerify) {
    doc_.ReplaceLastLogLine("Flash memory updated; nothing verified (No Verify is on).");
  } else {
    doc_.ReplaceLastLogLine("Verifying Flash memory...");
    doc_.progressBar.SetCaption("Verifying");
    doc_.SetProgressPhase(500, 500);
    ForgetRead(chip.programMemory, file.programSize);
    readOk = device_.ReadProgramMemory() != 0;
    errorAddress = FirstDifference(file.programMemory, chip.programMemory, file.programSize, true);
  }
  const bool lostBeforeLeaving = doc_.LinkLost();
  const bool lostLeaving = LeavePic18Mode();
  if (lostBeforeLeaving) {
    doc_.ReplaceLastLogLine(kLinkLostLine);
    doc_.ShowFailure();
  } else if (errorAddress >= 0 || !written || !readOk) {
    doc_.ReplaceLastLogLine(
        Printf("!!! Error occured during Flash programming at address 0x%06X !!!",
               std::max(0, errorAddress)));
    doc_.ShowFailure();
  } else if (lostLeaving) {
    if (!doc_.noVerify) doc_.ReplaceLastLogLine("Flash memory successfully updated.");
    doc_.LogLine(doc_.noVerify ? kLostLeavingLine : LostLeavingCheckedLine("verified"));
    doc_.ShowFailure();
  } else {
    if (!doc_.noVerify) doc_.ReplaceLastLogLine("Flash memory successfully updated.");
    doc_.ShowSuccess();
    doc_.lastOutcome = OperationOutcome::kSuccess;
  }
  ClosePic18Cycle();
}

// --- Read after reset dumps -------------------------------------------------------------------

void CPic18Operations::RunReadPic18RamAfterReset() {
  RunPic18Dump(/*ram=*/true);
}

void CPic18Operations::RunReadPic18EepromAfterReset() {
  RunPic18Dump(/*ram=*/false);
}

void CPic18Operations::RunPic18DataMonitor() {
  doc_.RunDataMonitor([this] { device_.ReadRamHeld(); });
}

void CPic18Operations::RunPic18Dump(bool ram) {
  doc_.lastOutcome = OperationOutcome::kFailed;
  if (!OpenPic18Cycle()) return;
  doc_.operationLog.ClearView();
  doc_.LogLine("");
  doc_.LogLine(ram ? "*** Perform Read RAM Reset ***" : "*** Perform Read EEPROM Reset ***");
  if (!IdentifyPic18Target()) {
    ReportNotIdentified(ram ? "Read RAM failed, no device found."
                            : "Read EEPROM failed, no device found.");
    ClosePic18Cycle();
    return;
  }
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  const int32_t size = ram ? file.ramSize : file.eepromSize;
  int32_t* cells = ram ? chip.dataMemory : chip.eeprom;
  const int32_t limit = ram ? static_cast<int32_t>(kDataMemoryCells) : window::kEeprom.cellCount;
  ForgetRead(cells, std::min(size, limit));
  // A dump shows only what this cycle read.
  const bool read = (ram ? device_.ReadRam() : device_.ReadEeprom()) != 0;
  int lines = 0;
  for (int32_t offset = 0; read && offset < size; offset += 16, ++lines) {
    std::string line = Printf("%03X:", offset);
    std::string characters;
    for (int32_t i = offset; i < offset + 16; ++i) {
      const uint8_t byte = static_cast<uint8_t>(i < limit ? cells[i] & 0xFF : 0xFF);
      line += Printf("\t%02X", byte);
      characters += "\t" + DumpCharacter(byte);
    }
    doc_.LogLine(line + characters, false);
  }
  const bool lostLeaving = LeavePic18Mode();
  if (!read || (doc_.LinkLost() && !lostLeaving)) {
    doc_.LogLine(kLinkLostLine);
  } else {
    doc_.LogLine(ram ? "*** End of RAM Read Reset ***" : "*** End of EEPROM Read Reset ***");
    if (lostLeaving) {
      doc_.LogLine(kLostLeavingLine);
    } else {
      doc_.lastOutcome = OperationOutcome::kSuccess;
    }
  }
  doc_.operationLog.ScrollView(lines + (lostLeaving ? 3 : 2));
  ClosePic18Cycle();
}

}  // namespace velmora
