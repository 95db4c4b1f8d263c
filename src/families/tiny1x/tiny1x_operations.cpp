// The ATtiny11/12 operations: the Program/Verify/Read sequence with its calibration byte, EEPROM
// file and fuse step; identify, the EEPROM dump and the fuse read. Every compare looks only at
// chip-image cells this cycle read: the cells are cleared before a read.
#include "families/tiny1x/tiny1x_operations.h"

#include <algorithm>
#include <memory>
#include <optional>

#include "engine/text_format.h"
#include "families/tiny1x/tiny1x_family.h"
#include "link/pic_vortang.h"
#include "memory/catalogue.h"
#include "memory/intel_hex.h"

namespace velmora {

namespace {

constexpr int kFlashFailed = 1;
constexpr int kEepromFailed = 2;
constexpr int kConfigurationFailed = 8;
constexpr int kLinkFailed = 16;
constexpr int kNothingChecked = 32;
constexpr int kStopped = 64;

constexpr const char* kNoAvrCaption = "No AVR !!!";
constexpr const char* kLinkLostLine = "+++ Connection to the programmer lost +++";
constexpr uint8_t kSerialClock = 0x39;
constexpr uint32_t kFuseSettleMilliseconds = 100;
constexpr int kConfigurationAttempts = 3;

struct ModeTexts {
  const char* notFound;
  const char* heading;
  const char* flashSkipped;
  const char* eepromSkipped;
  const char* configurationSkipped;
  const char* failed;
  const char* succeeded;
};

constexpr ModeTexts kProgramTexts{
    .notFound = "Programming not possible. Cannot find AVR.",
    .heading = "*** Programming ",
    .flashSkipped = "Programming Flash memory skipped",
    .eepromSkipped = "Programming EEPROM skipped",
    .configurationSkipped = "Programming Configuration skipped",
    .failed = "+++ Programming Failed +++",
    .succeeded = "*** Programmed Successfully ***",
};
constexpr ModeTexts kVerifyTexts{
    .notFound = "Verifying not possible. Cannot find AVR.",
    .heading = "*** Verifying ",
    .flashSkipped = "Verifying Flash memory skipped",
    .eepromSkipped = "Verifying EEPROM skipped",
    .configurationSkipped = "Verifying Configuration skipped",
    .failed = "+++ Verification Failed +++",
    .succeeded = "*** Verified Successfully ***",
};
constexpr ModeTexts kReadTexts{
    .notFound = "Reading not possible. Cannot find AVR.",
    .heading = "*** Reading ",
    .flashSkipped = "Reading Flash memory skipped",
    .eepromSkipped = "Reading EEPROM skipped",
    .configurationSkipped = "Reading Configuration skipped",
    .failed = "+++ Reading Failed +++",
    .succeeded = "*** Finished Reading ***",
};

const ModeTexts& TextsFor(OperationMode mode) {
  return mode == Program ? kProgramTexts : mode == Verify ? kVerifyTexts : kReadTexts;
}

bool IsTiny11(const CMCUMemoryArchitecture& file) {
  return std::string_view(file.deviceName) == "ATtiny11";
}

int FuseIndex(const CMCUMemoryArchitecture& file) {
  return IsTiny11(file) ? tiny1xcell::kTiny11Fuse : tiny1xcell::kTiny12Fuse;
}

int32_t FirstDifference(const int32_t* expected, const int32_t* read, int32_t count,
                        bool onlyGiven) {
  for (int32_t i = 0; i < count; ++i) {
    if (onlyGiven && expected[i] == kBlankCell) continue;
    if (read[i] == kBlankCell || (expected[i] & 0xFF) != (read[i] & 0xFF)) return i;
  }
  return -1;
}

int PartFailed(OperationMode mode, int32_t errorAddress, bool readOk, int failureBit) {
  return !readOk || (mode != Read && errorAddress >= 0) ? failureBit : 0;
}

void ForgetRead(int32_t* cells, int32_t count) {
  std::fill_n(cells, std::max(0, count), kBlankCell);
}

std::string DumpCharacter(uint8_t byte) {
  if (byte < 0x20 || byte == 0xFF) return ".";
  if (byte < 0x80) return std::string(1, static_cast<char>(byte));
  return {static_cast<char>(0xC0 | (byte >> 6)), static_cast<char>(0x80 | (byte & 0x3F))};
}

std::string TypeLine(const CMCUMemoryArchitecture& file) {
  return Printf("Type: %s     Flash %ik, EEPROM %i, RAM %i", file.deviceName,
                file.programSize / 1024, file.eepromSize, file.ramSize);
}

}  // namespace

CTiny1xOperations::CTiny1xOperations(CqelDoc& doc) : doc_(doc), device_(*doc.programmer) {}

void CTiny1xOperations::SetEepromFile(const std::string& path) {
  eepromFileName_ = path;
  const size_t slash = path.find_last_of("/\\");
  eepromDisplayName_ = slash == std::string::npos ? path : path.substr(slash + 1);
}

// --- The cycle ---------------------------------------------------------------------------------

bool CTiny1xOperations::OpenCycle() {
  // Every ATtiny11/12 command needs the full programmer's firmware, whatever another page left.
  savedMiniProgrammer_ = doc_.usesMiniProgrammer;
  doc_.usesMiniProgrammer = 0;
  entered_ = false;
  if (!doc_.OpenOperationLink()) {
    doc_.usesMiniProgrammer = savedMiniProgrammer_;
    return false;
  }
  entered_ = device_.Enter() == 1;
  return true;
}

void CTiny1xOperations::CloseCycle(bool normalSerialClock) {
  device_.Leave();
  // The sequence's epilogue hands the programmer back with its normal serial clock.
  if (normalSerialClock) doc_.programmer->WriteCommandBytes({kSerialClock, 0x00});
  doc_.CloseOperationLink();
  doc_.usesMiniProgrammer = savedMiniProgrammer_;
  doc_.RefreshView();
}

// Answered the entry and identified as one of the two parts.
bool CTiny1xOperations::Present() const {
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  return entered_ && !doc_.LinkLost() && file.family == Family::kTiny1x && file.blockSize != 0;
}

std::string CTiny1xOperations::SignatureText() const {
  const uint8_t* s = const_cast<CTiny1xDevice&>(device_).Signature();
  return Printf("%02X %02X %02X", s[0], s[1], s[2]);
}

// --- Program, Verify, Read --------------------------------------------------------------------

void CTiny1xOperations::RunAttinySequence(OperationMode mode) {
  const ModeTexts& texts = TextsFor(mode);
  const uint32_t startTick = doc_.Clock().TickCount();
  doc_.lastOutcome = OperationOutcome::kFailed;
  if (!OpenCycle()) return;
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  if (!eepromFileName_.empty() && mode != Read) {
    std::copy_n(doc_.programmer->eepromFileImage.programMemory, window::kEeprom.cellCount,
                file.eeprom);
  }
  doc_.LogLine("");
  device_.IdentifyTiny();
  if (!Present()) {
    if (doc_.LinkLost()) {
      doc_.LogLine(kLinkLostLine);
      doc_.ShowFailure();
    } else {
      if (entered_) doc_.LogLine("Signature: " + SignatureText());
      doc_.LogLine(texts.notFound);
      doc_.ShowDeviceNotFound(kNoAvrCaption);
      doc_.lastOperationFailed = 0;
      doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
    }
    CloseCycle(true);
    return;
  }

  int failures = 0;
  if (mode != Read && !doc_.ConfirmDataInsideDevice(Tiny1xFamilyRow().deviceRanges(file),
                                                    mode == Program ? "Program" : "Verify")) {
    doc_.LogLine("+++ Action Stopped +++");
    failures |= kStopped;
  }
  int partsRead = 0;
  if (failures == 0) {
    doc_.LogLine(std::string(texts.heading) + file.deviceName + " ***");
    if (mode == Read) {
      chip.Clear();
    } else {
      CalibrationStep(mode);
    }
    doc_.SetProgressPhase(0, 0);
    if (mode == Program) {
      if (doc_.enableChipErase) {
        device_.ChipEraseTiny();
        doc_.LogLine("Chip erased");
      } else {
        doc_.LogLine("Chip Erase skipped");
      }
    }
    failures |= FlashStep(mode, partsRead);
    failures |= EepromStep(mode, partsRead);
    doc_.progressBar.SetCaption("Fuse && Lock");
    doc_.SetProgressPhase(1000, 0);
    // A device with bad program code is not given new fuses or lock bits.
    if ((failures & (kFlashFailed | kEepromFailed)) != 0 || !doc_.enableConfigurationUpdate) {
      doc_.LogLine(texts.configurationSkipped);
    } else {
      failures |= FuseStep(mode, partsRead);
    }
  }
  if (doc_.LinkLost()) {
    doc_.LogLine(kLinkLostLine);
    failures |= kLinkFailed;
  }
  if (failures == 0 && partsRead == 0 && mode != Program) {
    if (mode == Verify) doc_.LogLine("+++ Nothing was verified +++");
    failures |= kNothingChecked;
  }
  if (failures != 0) {
    doc_.LogLine(texts.failed);
    doc_.ShowFailure();
  } else {
    const uint32_t elapsed = doc_.Clock().TickCount() - startTick;
    doc_.LogLine(mode == Read
                     ? std::string(texts.succeeded)
                     : texts.succeeded + Printf(" %i:%03is", static_cast<int>(elapsed / 1000),
                                                static_cast<int>(elapsed % 1000)));
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
  CloseCycle(true);
}

// The calibration byte goes where the application reads it; a byte the chip does not have (the
// ATtiny11, a lost one reading 0xFF) or a place that is not programmed gets nothing.
void CTiny1xOperations::CalibrationStep(OperationMode mode) {
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  if (mode == Read) return;
  chip.configuration[tiny1xcell::kCalibration] = kBlankCell;
  if (!device_.ReadCalibrationTiny()) return;
  const int copy = state.copyCalibration;
  if (copy < 1 || copy > 3) return;
  const int32_t value = chip.configuration[tiny1xcell::kCalibration] & 0xFF;
  if (IsTiny11(file)) {
    doc_.LogLine("No calibration byte copied, because the ATtiny11 has none.");
    return;
  }
  if (value == 0xFF) {
    doc_.LogLine("No calibration byte copied, because the chip's calibration byte is missing.");
    return;
  }
  const bool intoFlash = copy == 1;
  if ((intoFlash && !doc_.enableFlashUpdate) || (!intoFlash && !doc_.enableEepromUpdate) ||
      (!intoFlash && file.eepromSize <= 0)) {
    doc_.LogLine(intoFlash ? "No calibration byte copied, because Flash memory is not programmed."
                           : "No calibration byte copied, because EEPROM is not programmed.");
    return;
  }
  const std::string prefix = Printf("Calibration Byte %i copied to ", value);
  switch (copy) {
    case 1:
      file.programMemory[file.programSize - 1] = value;
      doc_.LogLine(prefix + "the end of Flash Memory.");
      break;
    case 2:
      file.eeprom[0] = value;
      doc_.LogLine(prefix + "the beginning of EEPROM.");
      break;
    default:
      file.eeprom[file.eepromSize - 1] = value;
      doc_.LogLine(prefix + "the end of EEPROM.");
      break;
  }
}

int CTiny1xOperations::FlashStep(OperationMode mode, int& partsRead) {
  const bool readsNothing = mode != Program && doc_.noVerify;
  if (!doc_.enableFlashUpdate || readsNothing) {
    doc_.LogLine(TextsFor(mode).flashSkipped);
    return 0;
  }
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  if (mode == Program) {
    doc_.progressBar.SetCaption("Programming");
    doc_.SetProgressPhase(0, 400);
    doc_.LogLine("Programming Flash memory...");
    device_.WriteFlashTiny();
    doc_.progressBar.SetCaption("Verifying");
    doc_.SetProgressPhase(400, 500);
  } else {
    doc_.progressBar.SetCaption(mode == Verify ? "Verifying" : "Reading");
    doc_.SetProgressPhase(0, 800);
  }
  if (doc_.fastVerify) {
    if (mode == Program) {
      doc_.ReplaceLastLogLine("Fast verifying Flash memory...");
    } else {
      doc_.LogLine(mode == Verify ? "Fast verifying Flash memory..."
                                  : "Fast reading Flash memory... (not recommended)");
    }
  } else if (mode == Program) {
    doc_.ReplaceLastLogLine("Verifying Flash memory...");
  } else {
    doc_.LogLine(mode == Verify ? "Verifying Flash memory..." : "Reading Flash memory...");
  }
  int32_t errorAddress = -1;
  bool readOk = true;
  if (!doc_.noVerify) {
    ForgetRead(chip.programMemory, file.programSize);
    readOk = (doc_.fastVerify ? device_.ReadFlashTiny() : device_.ReadFlashTinyRange(-1, -1)) != 0;
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

int CTiny1xOperations::EepromStep(OperationMode mode, int& partsRead) {
  const bool readsNothing = mode != Program && doc_.noVerify;
  if (!doc_.enableEepromUpdate || readsNothing) {
    doc_.LogLine(TextsFor(mode).eepromSkipped);
    return 0;
  }
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  doc_.progressBar.SetCaption("EEPROM");
  if (mode == Program) doc_.SetProgressPhase(900, 90);
  if (mode != Read && !eepromFileName_.empty()) {
    doc_.LogLine("Reading EEPROM values from " + eepromDisplayName_);
  }
  if (mode == Program) {
    doc_.LogLine("Programming EEPROM ...");
    doc_.Clock().Sleep(1);
    device_.WriteEepromTiny();
    doc_.ReplaceLastLogLine("Verifying EEPROM ...");
  } else if (mode == Verify) {
    doc_.LogLine("Verifying EEPROM ...");
  } else {
    doc_.LogLine("Reading EEPROM...");
  }
  doc_.SetProgressPhase(mode == Program ? 990 : 950, 0);
  if (doc_.fastVerify) {
    doc_.ReplaceLastLogLine(mode == Read ? "Fast reading EEPROM... (not recommended)"
                                         : "Fast verifying EEPROM...");
  } else {
    doc_.ReplaceLastLogLine(mode == Read ? "Reading EEPROM..." : "Verifying EEPROM...");
  }
  int32_t errorAddress = -1;
  bool readOk = true;
  if (!doc_.noVerify) {
    ForgetRead(chip.eeprom, file.eepromSize);
    readOk = device_.ReadEepromTiny() != 0;
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

bool CTiny1xOperations::ChooseConfiguration(OperationMode mode) {
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  const int device = IsTiny11(file) ? 0 : 1;
  if (mode != Read && !state.fuseKnown[device]) {
    // The page's defaults are no chip's fuses: the chip keeps its own.
    if (!device_.ReadFusesTiny()) return false;
    const auto fuse =
        static_cast<uint8_t>(doc_.programmer->chipImage.configuration[FuseIndex(file)] & 0xFF);
    state.SetFuse(device, fuse);
    doc_.LogLine(Printf("Fuse options were not set for the %s: taken from the chip (fuse %02X)",
                        file.deviceName, fuse));
  }
  for (int i = 0; i < 3; ++i) file.configuration[i] = state.optionBytes[i];
  file.configuration[tiny1xcell::kCalibration] = kBlankCell;
  return true;
}

// The ATtiny11 fuse on its five bits, the ATtiny12 fuse whole, the lock bits on theirs; a cell
// this cycle did not read never matches.
int32_t CTiny1xOperations::ConfigurationMismatch() const {
  const int32_t* want = doc_.programmer->fileImage.configuration;
  const int32_t* read = doc_.programmer->chipImage.configuration;
  const bool tiny11 = IsTiny11(doc_.programmer->fileImage);
  const int fuse = tiny11 ? tiny1xcell::kTiny11Fuse : tiny1xcell::kTiny12Fuse;
  const uint8_t fuseBits = tiny11 ? kTiny11FuseBits : kTiny12FuseBits;
  if (read[fuse] == kBlankCell || ((want[fuse] ^ read[fuse]) & fuseBits) != 0) return fuse;
  if (read[tiny1xcell::kLock] == kBlankCell ||
      ((want[tiny1xcell::kLock] ^ read[tiny1xcell::kLock]) & kTiny1xLockBits) != 0) {
    return tiny1xcell::kLock;
  }
  return -1;
}

int CTiny1xOperations::FuseStep(OperationMode mode, int& partsRead) {
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  if (!ChooseConfiguration(mode)) return kConfigurationFailed;
  int32_t errorIndex = -1;
  bool readOk = true;
  for (int attempt = 1;;) {
    if (mode == Program) device_.WriteFusesTiny();
    doc_.Clock().Sleep(kFuseSettleMilliseconds);
    errorIndex = -1;
    if (!doc_.noVerify) {
      ForgetRead(chip.configuration, 3);
      readOk = device_.ReadFusesTiny() != 0;
      if (mode != Read) errorIndex = ConfigurationMismatch();
    }
    if (mode != Program || errorIndex < 0 || attempt >= kConfigurationAttempts || doc_.LinkLost()) {
      break;
    }
    ++attempt;
    doc_.LogLine(Printf("Programming Configuration: %i. try ", attempt));
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

bool CTiny1xOperations::SaveReadImage() {
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  chip.programSize = file.programSize;
  chip.eepromSize = eepromOutFile.empty() ? file.eepromSize : 0;
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
  if (eepromOutFile.empty()) return true;
  // The EEPROM as avr-objcopy writes a .eep file: its bytes from address 0.
  auto eeprom = std::make_unique<CMCUMemoryArchitecture>();
  eeprom->Clear();
  std::copy_n(chip.eeprom, file.eepromSize, eeprom->programMemory);
  eeprom->programSize = file.eepromSize;
  eeprom->eepromSize = 0;
  if (!WriteHexFile(eepromOutFile, *eeprom, 1, doc_.Prompt())) {
    doc_.LogLine("+++ EEPROM saving failed +++");
    return false;
  }
  doc_.LogLine("*** EEPROM successfully saved as \"" + eepromOutFile + "\" ***");
  return true;
}

// --- Identify, dump, fuse read ----------------------------------------------------------------

void CTiny1xOperations::RunIdentifyAttiny() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  if (!OpenCycle()) return;
  device_.IdentifyTiny();
  const bool present = Present();
  const bool answered = entered_;
  CloseCycle();
  doc_.LogLine("");
  if (doc_.LinkLost()) {
    doc_.LogLine(kLinkLostLine);
    return;
  }
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  doc_.LogLine(present ? TypeLine(file) : std::string(file.deviceName));
  if (answered && !present) doc_.LogLine("Signature: " + SignatureText());
  doc_.lastOutcome = present ? OperationOutcome::kSuccess : OperationOutcome::kDeviceNotFound;
}

void CTiny1xOperations::RunReadAttinyEepromAfterReset() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  if (!OpenCycle()) return;
  doc_.operationLog.ClearView();
  doc_.LogLine("");
  doc_.LogLine("*** Perform Read EEPROM Reset ***");
  device_.IdentifyTiny();
  if (!Present()) {
    doc_.LogLine(doc_.LinkLost() ? kLinkLostLine : "Read EEPROM failed, no device found.");
    if (!doc_.LinkLost()) doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
    CloseCycle();
    return;
  }
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  ForgetRead(chip.eeprom, file.eepromSize);
  const bool read = device_.ReadEepromTiny() != 0 && !doc_.LinkLost();
  int lines = 0;
  for (int32_t offset = 0; read && offset < file.eepromSize; offset += 16, ++lines) {
    std::string line = Printf("%03X:", offset);
    std::string characters;
    for (int32_t i = offset; i < offset + 16; ++i) {
      const auto byte = static_cast<uint8_t>(i < file.eepromSize ? chip.eeprom[i] & 0xFF : 0xFF);
      line += Printf("\t%02X", byte);
      characters += "\t" + DumpCharacter(byte);
    }
    doc_.LogLine(line + characters, false);
  }
  if (read) {
    doc_.LogLine("*** End of EEPROM Read Reset ***");
    doc_.lastOutcome = OperationOutcome::kSuccess;
  } else {
    doc_.LogLine(kLinkLostLine);
  }
  doc_.operationLog.ScrollView(lines + 2);
  CloseCycle();
}

void CTiny1xOperations::RunReadAttinyFuses() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  fusesRead_ = false;
  if (!OpenCycle()) return;
  device_.IdentifyTiny();
  if (Present() && device_.ReadFusesTiny() && !doc_.LinkLost()) {
    const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
    const int32_t* read = doc_.programmer->chipImage.configuration;
    const int device = IsTiny11(file) ? 0 : 1;
    state.SetFuse(device, static_cast<uint8_t>(read[FuseIndex(file)] & 0xFF));
    state.optionBytes[tiny1xcell::kLock] = static_cast<uint8_t>(read[tiny1xcell::kLock] & 0xFF);
    fusesRead_ = true;
    doc_.lastOutcome = OperationOutcome::kSuccess;
  } else if (doc_.LinkLost()) {
    doc_.LogLine(kLinkLostLine);
  } else {
    doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
  }
  CloseCycle();
}

std::string CTiny1xOperations::ResultText(int command) const {
  if (static_cast<Tiny1xCommand>(command) != Tiny1xCommand::kReadFuses || !fusesRead_) return {};
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  return Printf("%s fuse=%02X lock=%02X", file.deviceName,
                state.optionBytes[IsTiny11(file) ? 0 : 1], state.optionBytes[tiny1xcell::kLock]);
}

}  // namespace velmora
