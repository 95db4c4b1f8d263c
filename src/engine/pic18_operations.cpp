// The PIC18 operations of the document: the Program/Verify/Read sequence, identify, the
// configuration read, the three erases, the program memory update and the two dumps. Each is
// one programming cycle on the link; the steps and texts follow the PIC18 view's commands.
#include <algorithm>

#include "engine/config_pic18.h"
#include "engine/cqel_doc.h"
#include "engine/text_format.h"
#include "link/pic_vortang.h"
#include "memory/intel_hex.h"

namespace velmora {

namespace {

// Failure bits of the memory parts, collected over a sequence and reported once.
constexpr int kFlashFailed = 1;
constexpr int kEepromFailed = 2;
constexpr int kIdFailed = 4;
constexpr int kConfigurationFailed = 8;
constexpr int kLinkFailed = 16;  // the programmer stopped answering during the cycle

constexpr const char* kNoPicCaption = "No PIC !!!";
constexpr const char* kLinkLostLine = "+++ Connection to the programmer lost +++";

// The lines of the sequence that depend on the mode.
struct ModeTexts {
  const char* notFound;
  const char* heading;
  const char* flashSkipped;
  const char* eepromSkipped;
  const char* idSkipped;
  const char* configurationSkipped;
  const char* failed;
};

constexpr ModeTexts kProgramTexts{
    .notFound = "Programming not possible. Cannot find PIC.",
    .heading = "*** Programming ",
    .flashSkipped = "Programming Flash memory skipped",
    .eepromSkipped = "Programming EEPROM skipped",
    .idSkipped = "Programming ID-Location skipped",
    .configurationSkipped = "Programming Configuration skipped",
    .failed = "+++ Programming Failed +++",
};
constexpr ModeTexts kVerifyTexts{
    .notFound = "Verifying not possible. Cannot find PIC.",
    .heading = "*** Verifying ",
    .flashSkipped = "Verifying Flash memory skipped",
    .eepromSkipped = "Verifying EEPROM skipped",
    .idSkipped = "Verifying ID-Location skipped",
    .configurationSkipped = "Verifying Configuration skipped",
    .failed = "+++ Verification Failed +++",
};
constexpr ModeTexts kReadTexts{
    .notFound = "Reading not possible. Cannot find PIC.",
    .heading = "*** Reading ",
    .flashSkipped = "Reading Flash memory skipped",
    .eepromSkipped = "Reading EEPROM skipped",
    .idSkipped = "Reading ID-Location skipped",
    .configurationSkipped = "Reading Configuration skipped",
    .failed = "+++ Reading Failed +++",
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
// `onlyGiven` cells without an expected value are skipped; otherwise they compare as 0xFF.
int32_t FirstDifference(const int32_t* expected, const int32_t* read, int32_t count,
                        bool onlyGiven) {
  for (int32_t i = 0; i < count; ++i) {
    if (onlyGiven && expected[i] == kBlankCell) continue;
    if ((expected[i] & 0xFF) != (read[i] & 0xFF)) return i;
  }
  return -1;
}

bool AllErased(const int32_t* cells, int count) {
  return std::all_of(cells, cells + count, [](int32_t c) { return (c & 0xFF) == 0xFF; });
}

// A byte of a dump as a character: controls and 0xFF as ".", the rest as Latin-1 in UTF-8.
std::string DumpCharacter(uint8_t byte) {
  if (byte < 0x20 || byte == 0xFF) return ".";
  if (byte < 0x80) return std::string(1, static_cast<char>(byte));
  return {static_cast<char>(0xC0 | (byte >> 6)), static_cast<char>(0x80 | (byte & 0x3F))};
}

}  // namespace

// --- The cycle around every operation ---------------------------------------------------------

bool CqelDoc::OpenPic18Cycle() {
  if (trace == 1) StopTracing();
  if (!programmer->Open(usbDescription, usesMiniProgrammer)) {
    lastOutcome = OperationOutcome::kNoProgrammer;
    return false;
  }
  ResetBarColours();
  programmer->EnterProgrammingMode(lowVoltageProgramming);
  return true;
}

void CqelDoc::ClosePic18Cycle() {
  programmer->LeaveProgrammingMode();
  programmer->Close();
  if (trace == 1) StartTracing();
  RefreshView();
}

bool CqelDoc::IdentifyPic18Target() {
  return programmer->IdentifyPic18() != 0 && programmer->fileImage.blockSize != 0;
}

bool CqelDoc::LinkLost() const {
  return programmer->linkLost;
}

// --- Program, Verify, Read --------------------------------------------------------------------

void CqelDoc::RunPic18Sequence(OperationMode mode) {
  const ModeTexts& texts = TextsFor(mode);
  const uint32_t startTick = clock_.TickCount();
  lastOutcome = OperationOutcome::kFailed;
  LogLine("");
  if (!OpenPic18Cycle()) return;

  CMCUMemoryArchitecture& file = programmer->fileImage;
  if (!IdentifyPic18Target()) {
    LogLine(texts.notFound);
    ShowDeviceNotFound(kNoPicCaption);
    lastOperationFailed = LinkLost() ? 1 : 0;
    lastOutcome = LinkLost() ? OperationOutcome::kFailed : OperationOutcome::kDeviceNotFound;
    ClosePic18Cycle();
    return;
  }
  LogLine(std::string(texts.heading) + file.deviceName + " ***");
  if (mode == Read) programmer->chipImage.Clear();
  // Configuration bits from the options depend on the device; encode them for the device
  // found now, not the one the view last showed (a fresh start knows none and would write
  // all-zero configuration, code protection included).
  if (mode != Read && ignoreConfigFromFile) EncodePic18Configuration(optionSelections, file);

  SetProgressPhase(0, 0);
  bool chipErased = false;
  if (mode == Program) {
    if (enableChipErase) {
      programmer->BulkErase();
      LogLine("Chip erased");
      chipErased = true;
    } else {
      LogLine("Bulk Erase skipped");
    }
  }

  // A Read with "no verify" would read nothing and still call every part read; such parts are
  // reported as skipped instead.
  const bool readsNothing = mode == Read && noVerify;
  int partsRead = 0;
  int failures = 0;
  failures |= Pic18FlashStep(mode, chipErased, readsNothing, partsRead);
  failures |= Pic18EepromStep(mode, readsNothing, partsRead);
  progressBar.SetCaption("ID && Config");
  SetProgressPhase(1000, 0);
  failures |= Pic18IdStep(mode, chipErased, readsNothing, partsRead);
  failures |= Pic18ConfigurationStep(mode, readsNothing, partsRead);
  if (LinkLost()) {
    LogLine(kLinkLostLine);
    failures |= kLinkFailed;
  }

  if (failures != 0) {
    LogLine(texts.failed);
    ShowFailure();
  } else {
    if (mode == Read) {
      LogLine("*** Finished Reading ***");
    } else {
      const uint32_t elapsed = clock_.TickCount() - startTick;
      LogLine("*** Finished Successfully ***" + Printf(" %i:%03i", static_cast<int>(elapsed / 1000),
                                                       static_cast<int>(elapsed % 1000)));
    }
    ShowSuccess();
  }
  lastOutcome = failures == 0 ? OperationOutcome::kSuccess : OperationOutcome::kFailed;

  if (mode == Read) {
    if (failures != 0) {
      LogLine("+++ No data saved: reading failed +++");
    } else if (partsRead == 0) {
      LogLine("+++ No data saved: nothing was read +++");
      lastOutcome = OperationOutcome::kFailed;
    } else if (!SaveReadImage()) {
      lastOutcome = OperationOutcome::kFailed;
    }
  }
  ClosePic18Cycle();
}

int CqelDoc::Pic18FlashStep(OperationMode mode, bool chipErased, bool readsNothing,
                            int& partsRead) {
  if (!enableFlashUpdate || readsNothing) {
    LogLine(TextsFor(mode).flashSkipped);
    return 0;
  }
  CMCUMemoryArchitecture& file = programmer->fileImage;
  CMCUMemoryArchitecture& chip = programmer->chipImage;
  if (mode == Program) {
    if (!chipErased) {
      if (optionSelections[PIC18LOWVOLTAGEERASE]) {
        progressBar.SetCaption("Erasing Flash");
        SetProgressPhase(0, 0);
        programmer->EraseAllRows();
      } else {
        programmer->EraseFlashPanels();
      }
    }
    progressBar.SetCaption("Programming");
    SetProgressPhase(0, 400);
    LogLine("Programming Flash memory...");
    programmer->WriteProgramMemory();
    progressBar.SetCaption("Verifying");
    SetProgressPhase(400, 500);
  } else {
    progressBar.SetCaption(mode == Verify ? "Verifying" : "Reading");
    SetProgressPhase(0, 800);
  }

  int32_t errorAddress = -1;
  if (fastVerify) {
    if (mode == Program) {
      ReplaceLastLogLine("Fast verifying Flash memory...");
    } else {
      LogLine(mode == Verify ? "Fast verifying Flash memory..."
                             : "Fast reading Flash memory... (not recommended)");
    }
    if (!noVerify) {
      programmer->ReadProgramMemory();
      errorAddress =
          FirstDifference(file.programMemory, chip.programMemory, file.programSize, true);
    }
  } else {
    // Program turns its progress line into the verify line; Verify and Read keep the heading.
    if (mode == Program) {
      ReplaceLastLogLine("Verifying Flash memory...");
    } else {
      LogLine(mode == Verify ? "Verifying Flash memory..." : "Reading Flash memory...");
    }
    if (!noVerify) {
      programmer->ReadProgramRange(-1, -1);
      errorAddress =
          FirstDifference(file.programMemory, chip.programMemory, file.programSize, false);
    }
  }
  if (!noVerify) ++partsRead;

  switch (mode) {
    case Program:
      ReplaceLastLogLine(
          errorAddress < 0
              ? std::string("Flash memory successfully programmed.")
              : Printf("Error occured during Flash programming at address 0x%06X", errorAddress));
      return errorAddress < 0 ? 0 : kFlashFailed;
    case Verify:
      ReplaceLastLogLine(
          errorAddress < 0 ? std::string("Flash memory OK.")
                           : Printf("Error found in Flash memory at address 0x%06X", errorAddress));
      return errorAddress < 0 ? 0 : kFlashFailed;
    case Read:
      break;
  }
  ReplaceLastLogLine("Flash memory read.");
  return 0;
}

int CqelDoc::Pic18EepromStep(OperationMode mode, bool readsNothing, int& partsRead) {
  if (!enableEepromUpdate || readsNothing) {
    LogLine(TextsFor(mode).eepromSkipped);
    return 0;
  }
  CMCUMemoryArchitecture& file = programmer->fileImage;
  CMCUMemoryArchitecture& chip = programmer->chipImage;
  progressBar.SetCaption("EEPROM");
  if (mode == Program) {
    SetProgressPhase(900, 90);
    LogLine("Programming EEPROM...");
  }
  clock_.Sleep(1);
  if (mode == Program) programmer->WriteEeprom();
  progressBar.SetCaption("EEPROM");
  SetProgressPhase(mode == Program ? 990 : 950, 0);

  const char* progressLine = nullptr;
  if (fastVerify) {
    progressLine = mode == Program  ? "Fast verifying EEPROM..."
                   : mode == Verify ? "Fast verifying EEPROM..."
                                    : "Fast reading EEPROM... (not recommended)";
  } else {
    progressLine = mode == Read ? "Reading EEPROM..." : "Verifying EEPROM...";
  }
  if (mode == Program) {
    ReplaceLastLogLine(progressLine);
  } else {
    LogLine(progressLine);
  }
  int32_t errorAddress = -1;
  if (!noVerify) {
    programmer->ReadEeprom();
    errorAddress = FirstDifference(file.eeprom, chip.eeprom, file.eepromSize, fastVerify != 0);
    ++partsRead;
  }

  switch (mode) {
    case Program:
      ReplaceLastLogLine(
          errorAddress < 0
              ? std::string("EEPROM successfully programmed.")
              : Printf("Error occured during EEPROM programming at address 0x%04X", errorAddress));
      return errorAddress < 0 ? 0 : kEepromFailed;
    case Verify:
      ReplaceLastLogLine(errorAddress < 0
                             ? std::string("EEPROM OK.")
                             : Printf("Error found in EEPROM at address 0x%04X", errorAddress));
      return errorAddress < 0 ? 0 : kEepromFailed;
    case Read:
      break;
  }
  ReplaceLastLogLine("EEPROM read.");
  return 0;
}

int CqelDoc::Pic18IdStep(OperationMode mode, bool chipErased, bool readsNothing, int& partsRead) {
  if (!enableIdLocationUpdate || readsNothing) {
    LogLine(TextsFor(mode).idSkipped);
    return 0;
  }
  clock_.Sleep(2);
  if (mode == Program) {
    if (!chipErased) programmer->EraseIdRow();
    programmer->WriteIdLocations();
  }
  int32_t errorIndex = -1;
  if (!noVerify) {
    programmer->ReadIdLocations();
    errorIndex = FirstDifference(programmer->fileImage.idLocations,
                                 programmer->chipImage.idLocations, 8, false);
    ++partsRead;
  }
  switch (mode) {
    case Program:
      LogLine(
          errorIndex < 0
              ? std::string("ID-Location successfully programmed.")
              : Printf("Error occured during ID-Location programming at address %02X", errorIndex));
      return errorIndex < 0 ? 0 : kIdFailed;
    case Verify:
      LogLine(errorIndex < 0 ? std::string("ID-Location OK.")
                             : Printf("Error found in ID-Location at address %02X", errorIndex));
      return errorIndex < 0 ? 0 : kIdFailed;
    case Read:
      break;
  }
  LogLine("ID-Location read.");
  return 0;
}

int CqelDoc::Pic18ConfigurationStep(OperationMode mode, bool readsNothing, int& partsRead) {
  if (!enableConfigurationUpdate || readsNothing) {
    LogLine(TextsFor(mode).configurationSkipped);
    return 0;
  }
  int32_t errorIndex = -1;
  // The mode value doubles as the attempt limit: Program tries twice.
  for (int attempt = 1;;) {
    if (mode == Program) programmer->WriteConfiguration();
    clock_.Sleep(100);
    errorIndex = -1;
    if (!noVerify) {
      programmer->ReadConfiguration();
      errorIndex = programmer->FindConfigMismatch();
    }
    if (mode != Program || errorIndex < 0 || attempt >= mode || LinkLost()) break;
    ++attempt;
    LogLine(Printf("Programming Configuration: %i. try ", attempt));
    clock_.Sleep(10);
  }
  if (!noVerify) ++partsRead;
  switch (mode) {
    case Program:
      LogLine(errorIndex < 0
                  ? std::string("Configuration successfully programmed.")
                  : Printf("Error occured during Configuration programming at address 0x%02X",
                           errorIndex));
      return errorIndex < 0 ? 0 : kConfigurationFailed;
    case Verify:
      LogLine(errorIndex < 0
                  ? std::string("Configuration OK.")
                  : Printf("Error found in Configuration at address 0x%02X", errorIndex));
      return errorIndex < 0 ? 0 : kConfigurationFailed;
    case Read:
      break;
  }
  LogLine("Configuration read.");
  return 0;
}

bool CqelDoc::SaveReadImage() {
  CMCUMemoryArchitecture& chip = programmer->chipImage;
  chip.programSize = programmer->fileImage.programSize;
  chip.eepromSize = programmer->fileImage.eepromSize;
  const std::optional<HexSaveChoice> choice = prompt_.AskHexSavePath("*.hex");
  if (!choice) {
    LogLine("+++ Data saving canceled +++");
    return false;
  }
  if (!WriteHexFile(choice->path, chip, choice->saveEmptyAreas ? 1 : 0, prompt_)) {
    LogLine("+++ Data saving failed +++");
    return false;
  }
  LogLine("*** Data successfully saved as \"" + choice->path + "\" ***");
  return true;
}

// --- Identify and configuration read ----------------------------------------------------------

void CqelDoc::RunIdentifyPic18() {
  lastOutcome = OperationOutcome::kFailed;
  LogLine("");
  if (!OpenPic18Cycle()) return;
  const bool known = IdentifyPic18Target();
  // The ID line shows what was read now, never what an earlier operation left in the image.
  const bool idRead = known && !noVerify;
  if (idRead) programmer->ReadIdLocations();
  programmer->LeaveProgrammingMode();
  programmer->Close();
  if (trace == 1) StartTracing();

  const CMCUMemoryArchitecture& file = programmer->fileImage;
  if (LinkLost()) {
    LogLine(kLinkLostLine);
  } else if (known) {
    LogLine(Printf("%s Rev. %i   Flash %ik, EEPROM %i, RAM %i", file.deviceName,
                   DeviceIdWord(file) & 0x1F, file.programSize / 1024, file.eepromSize,
                   file.ramSize));
    if (idRead) LogLine(IdLocationLine(programmer->chipImage.idLocations));
    lastOutcome = OperationOutcome::kSuccess;
  } else {
    LogLine(Printf("Device ID: 0x%04X", DeviceIdWord(file)));
    LogLine(file.deviceName);
    lastOutcome = OperationOutcome::kDeviceNotFound;
  }
  RefreshView();
}

int32_t CqelDoc::DeviceIdWord(const CMCUMemoryArchitecture& image) {
  return image.deviceId[1] * 256 + image.deviceId[0];
}

std::string CqelDoc::IdLocationLine(const int32_t* id) {
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

void CqelDoc::RunReadPic18Configuration() {
  lastOutcome = OperationOutcome::kFailed;
  if (!OpenPic18Cycle()) return;
  const CMCUMemoryArchitecture& chip = programmer->chipImage;
  if (IdentifyPic18Target()) {
    LogLine("");
    programmer->ReadConfiguration();
    if (LinkLost()) {
      LogLine(kLinkLostLine);
    } else {
      // Identification names the device in the file image; the bytes read are in the chip
      // image.
      DecodePic18ConfigurationCells(
          programmer->fileImage.deviceName,
          std::span<const int32_t, kPic18ConfigBytes>(chip.configuration, kPic18ConfigBytes),
          optionSelections);
      for (size_t i = 0; i < pic18Configuration.size(); ++i) {
        pic18Configuration[i] = static_cast<uint8_t>(chip.configuration[i] & 0xFF);
      }
      LogLine("Configuration setup updated with data from PIC");
      lastOutcome = OperationOutcome::kSuccess;
    }
  } else {
    LogLine(std::string(programmer->fileImage.deviceName) + "   Setup not updated!");
    lastOutcome = OperationOutcome::kDeviceNotFound;
  }
  ClosePic18Cycle();
}

// --- Erases -----------------------------------------------------------------------------------

void CqelDoc::WriteErasedEeprom() {
  CMCUMemoryArchitecture& file = programmer->fileImage;
  std::fill(file.eeprom, file.eeprom + file.eepromSize, 0xFF);
  programmer->WriteEeprom();
}

void CqelDoc::RunErasePic18Chip() {
  lastOutcome = OperationOutcome::kFailed;
  if (!OpenPic18Cycle()) return;
  LogLine("");
  if (IdentifyPic18Target()) {
    LogLine("Erasing Flash Memory! Please wait...");
    if (optionSelections[PIC18LOWVOLTAGEERASE]) {
      programmer->EraseAllRows();
      LogLine("Erasing EEPROM! Please wait...");
      WriteErasedEeprom();
    } else {
      programmer->BulkErase();
    }
    if (LinkLost()) {
      ReplaceLastLogLine(kLinkLostLine);
    } else {
      ReplaceLastLogLine("Chip Erase performed.");
      lastOutcome = OperationOutcome::kSuccess;
    }
  } else {
    LogLine(std::string("Failed: ") + programmer->fileImage.deviceName);
    lastOutcome = OperationOutcome::kDeviceNotFound;
  }
  ClosePic18Cycle();
}

void CqelDoc::RunErasePic18Eeprom() {
  lastOutcome = OperationOutcome::kFailed;
  LogLine("");
  if (!OpenPic18Cycle()) return;
  if (IdentifyPic18Target()) {
    LogLine("Erasing EEPROM! Please wait...");
    if (optionSelections[PIC18LOWVOLTAGEERASE]) {
      WriteErasedEeprom();
    } else {
      programmer->EraseEeprom();
    }
    programmer->ReadEeprom();
    const CMCUMemoryArchitecture& chip = programmer->chipImage;
    const int32_t size = programmer->fileImage.eepromSize;
    const int32_t* occupied =
        std::find_if(chip.eeprom, chip.eeprom + size, [](int32_t c) { return (c & 0xFF) != 0xFF; });
    if (LinkLost()) {
      ReplaceLastLogLine(kLinkLostLine);
    } else if (occupied != chip.eeprom + size) {
      ReplaceLastLogLine(Printf("Occupied EEPROM cell found at address %04X.",
                                static_cast<int>(occupied - chip.eeprom)));
    } else {
      ReplaceLastLogLine("EEPROM successfully erased.");
      lastOutcome = OperationOutcome::kSuccess;
    }
  } else {
    LogLine(std::string("Failed: ") + programmer->fileImage.deviceName);
    lastOutcome = OperationOutcome::kDeviceNotFound;
  }
  ClosePic18Cycle();
}

void CqelDoc::RunErasePic18IdLocation() {
  lastOutcome = OperationOutcome::kFailed;
  LogLine("");
  if (!OpenPic18Cycle()) return;
  if (IdentifyPic18Target()) {
    programmer->EraseIdRow();
    programmer->ReadIdLocations();
    if (LinkLost()) {
      LogLine(kLinkLostLine);
    } else if (AllErased(programmer->chipImage.idLocations, 8)) {
      LogLine("ID-Location erased successfully.");
      lastOutcome = OperationOutcome::kSuccess;
    } else {
      LogLine("Error erasing ID Location.");
    }
  } else {
    LogLine(std::string("Failed: ") + programmer->fileImage.deviceName);
    lastOutcome = OperationOutcome::kDeviceNotFound;
  }
  ClosePic18Cycle();
}

// --- Update -----------------------------------------------------------------------------------

void CqelDoc::RunUpdatePic18ProgramMemory() {
  lastOutcome = OperationOutcome::kFailed;
  LogLine("");
  if (!OpenPic18Cycle()) return;
  if (!IdentifyPic18Target()) {
    ShowDeviceNotFound(kNoPicCaption);
    LogLine("Programming not possible. Cannot find PIC.");
    lastOperationFailed = 1;
    lastOutcome = OperationOutcome::kDeviceNotFound;
    ClosePic18Cycle();
    return;
  }
  const CMCUMemoryArchitecture& file = programmer->fileImage;
  LogLine("*** Update Program Memory ***");
  LogLine("Programming Flash memory...");
  progressBar.SetCaption("Flashing");
  SetProgressPhase(0, 500);
  programmer->UpdateChangedBlocks();
  ReplaceLastLogLine("Verifying Flash memory...");
  progressBar.SetCaption("Verifying");
  SetProgressPhase(500, 500);
  programmer->ReadProgramMemory();
  const int32_t errorAddress = FirstDifference(
      file.programMemory, programmer->chipImage.programMemory, file.programSize, true);
  if (LinkLost()) {
    ReplaceLastLogLine(kLinkLostLine);
    ShowFailure();
  } else if (errorAddress >= 0) {
    ReplaceLastLogLine(
        Printf("!!! Error occured during Flash programming at address 0x%06X !!!", errorAddress));
    ShowFailure();
  } else {
    ReplaceLastLogLine("Flash memory successfully updated.");
    ShowSuccess();
    lastOutcome = OperationOutcome::kSuccess;
  }
  ClosePic18Cycle();
}

// --- Read after reset dumps -------------------------------------------------------------------

void CqelDoc::RunReadPic18RamAfterReset() {
  RunPic18Dump(/*ram=*/true);
}

void CqelDoc::RunReadPic18EepromAfterReset() {
  RunPic18Dump(/*ram=*/false);
}

void CqelDoc::RunPic18Dump(bool ram) {
  lastOutcome = OperationOutcome::kFailed;
  if (!OpenPic18Cycle()) return;
  operationLog.ClearView();
  LogLine("");
  LogLine(ram ? "*** Perform Read RAM Reset ***" : "*** Perform Read EEPROM Reset ***");
  if (!IdentifyPic18Target()) {
    LogLine(ram ? "Read RAM failed, no device found." : "Read EEPROM failed, no device found.");
    lastOutcome = OperationOutcome::kDeviceNotFound;
    ClosePic18Cycle();
    return;
  }
  const CMCUMemoryArchitecture& file = programmer->fileImage;
  const CMCUMemoryArchitecture& chip = programmer->chipImage;
  if (ram) {
    programmer->ReadRam();
  } else {
    programmer->ReadEeprom();
  }
  const int32_t size = ram ? file.ramSize : file.eepromSize;
  const int32_t* cells = ram ? chip.dataMemory : chip.eeprom;
  const int32_t limit = ram ? static_cast<int32_t>(kDataMemoryCells) : window::kEeprom.cellCount;
  int lines = 0;
  for (int32_t offset = 0; offset < size; offset += 16, ++lines) {
    std::string line = Printf("%03X:", offset);
    std::string characters;
    for (int32_t i = offset; i < offset + 16; ++i) {
      const uint8_t byte = static_cast<uint8_t>(i < limit ? cells[i] & 0xFF : 0xFF);
      line += Printf("\t%02X", byte);
      characters += "\t" + DumpCharacter(byte);
    }
    LogLine(line + characters, false);
  }
  if (LinkLost()) {
    LogLine(kLinkLostLine);
  } else {
    LogLine(ram ? "*** End of RAM Read Reset ***" : "*** End of EEPROM Read Reset ***");
    lastOutcome = OperationOutcome::kSuccess;
  }
  operationLog.ScrollView(lines + 2);
  ClosePic18Cycle();
}

}  // namespace velmora
