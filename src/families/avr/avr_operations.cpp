// The ATmega operations: the Program/Verify/Read sequence with its speed
// adaptation, calibration bytes, EEPROM file and fuse step; identify, configuration read,
// EEPROM dump, factory reset, parallel high-voltage reanimation and the serial instruction scan.
#include "families/avr/avr_operations.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "engine/text_format.h"
#include "families/avr/avr_family.h"
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
constexpr int kStopped = 64;  // the sequence stopped before its steps (lock bits, fuse safety)

constexpr const char* kNoAvrCaption = "No AVR !!!";
constexpr const char* kLinkLostLine = "+++ Connection to the programmer lost +++";

struct ModeTexts {
  const char* notFound;
  const char* heading;
  const char* flashSkipped;
  const char* eepromSkipped;
  const char* configurationSkipped;
  const char* failed;
};

constexpr ModeTexts kProgramTexts{
    .notFound = "Programming not possible. Cannot find AVR.",
    .heading = "*** Programming ",
    .flashSkipped = "Programming Flash memory skipped",
    .eepromSkipped = "Programming EEPROM skipped",
    .configurationSkipped = "Programming Configuration skipped",
    .failed = "+++ Programming Failed +++",
};
constexpr ModeTexts kVerifyTexts{
    .notFound = "Verifying not possible. Cannot find AVR.",
    .heading = "*** Verifying ",
    .flashSkipped = "Verifying Flash memory skipped",
    .eepromSkipped = "Verifying EEPROM skipped",
    .configurationSkipped = "Verifying Configuration skipped",
    .failed = "+++ Verification Failed +++",
};
constexpr ModeTexts kReadTexts{
    .notFound = "Reading not possible. Cannot find AVR.",
    .heading = "*** Reading ",
    .flashSkipped = "Reading Flash memory skipped",
    .eepromSkipped = "Reading EEPROM skipped",
    .configurationSkipped = "Reading Configuration skipped",
    .failed = "+++ Reading Failed +++",
};

const ModeTexts& TextsFor(OperationMode mode) {
  return mode == Program ? kProgramTexts : mode == Verify ? kVerifyTexts : kReadTexts;
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

std::string FuseText(const AvrFuseBytes& bytes) {
  return Printf("low %02X, high %02X, extended %02X, lock %02X", bytes[0] & 0xFF, bytes[1] & 0xFF,
                bytes[2] & 0xFF, bytes[3] & 0xFF);
}

std::string TypeLine(const CMCUMemoryArchitecture& file, bool known) {
  if (!known) return file.deviceName;
  return Printf("Type: %s     Flash %ik, EEPROM %i, RAM %i", file.deviceName,
                file.programSize / 1024, file.eepromSize, file.ramSize);
}

}  // namespace

CAvrOperations::CAvrOperations(CqelDoc& doc) : doc_(doc), device_(*doc.programmer) {
  device_.defaultSignatureText = doc.atmegaDefaultSignature;
}

void CAvrOperations::SetEepromFile(const std::string& path) {
  eepromFileName_ = path;
  const size_t slash = path.find_last_of("/\\");
  eepromDisplayName_ = slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string CAvrOperations::OptionsDevice() const {
  std::lock_guard lock(optionsMutex_);
  return optionsDevice_;
}

void CAvrOperations::ConfirmOptionsFor(const std::string& device) {
  std::lock_guard lock(optionsMutex_);
  optionsDevice_ = device;
}

// --- The cycle ---------------------------------------------------------------------------------

bool CAvrOperations::OpenAvrCycle() {
  // Every AVR command needs the full programmer's firmware, whatever the PIC18 page left on.
  savedMiniProgrammer_ = doc_.usesMiniProgrammer;
  doc_.usesMiniProgrammer = 0;
  device_.askForSignature = 1;
  if (!doc_.OpenOperationLink()) {
    doc_.usesMiniProgrammer = savedMiniProgrammer_;
    return false;
  }
  return true;
}

bool CAvrOperations::Enter(bool slowClock) {
  inProgrammingMode_ = true;
  return device_.EnterAtmega(slowClock) == 1;
}

void CAvrOperations::CloseAvrCycle(bool normalClock) {
  if (inProgrammingMode_) device_.LeaveAtmega();
  inProgrammingMode_ = false;
  // The sequence's epilogue hands the programmer back with its normal serial clock.
  if (normalClock) device_.SelectSerialClock(0);
  doc_.CloseOperationLink();
  doc_.usesMiniProgrammer = savedMiniProgrammer_;
  doc_.atmegaDefaultSignature = device_.defaultSignatureText;
  doc_.RefreshView();
}

bool CAvrOperations::Present() const {
  return doc_.programmer->avrInSync == 1 && !doc_.LinkLost();
}

bool CAvrOperations::Known() const {
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  return Present() && file.blockSize != 0 && file.family == Family::kAvr &&
         std::string_view(file.deviceName) != "Unknown Device";
}

std::string CAvrOperations::SignatureText() const {
  const uint8_t* s = const_cast<CAvrDevice&>(device_).Signature();
  return Printf("%02X %02X %02X", s[0], s[1], s[2]);
}

AvrFuseBytes CAvrOperations::ChipFuses() const {
  const int32_t* chip = doc_.programmer->chipImage.configuration;
  return {chip[0] & 0xFF, chip[1] & 0xFF, chip[2] & 0xFF, chip[3] & 0xFF};
}

void CAvrOperations::WriteChipFusesIntoImage(const AvrFuseBytes& bytes) {
  for (int i = 0; i < 4; ++i) doc_.programmer->fileImage.configuration[i] = bytes[i];
}

// --- Choosing and checking the fuses --------------------------------------------------------

bool CAvrOperations::ChooseFuses(OperationMode mode, AvrFuseBytes& expected) {
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  const std::string name = file.deviceName;
  const AvrFuseBytes found = lastRead_;
  const int32_t* cells = file.configuration;
  const bool fileHasFuses =
      std::any_of(cells, cells + 4, [](int32_t c) { return c != kBlankCell; });
  if (fileHasFuses && !doc_.ignoreConfigFromFile) {
    // The program's FUSES/LOCKBITS sections; a byte the file leaves out stays as it is.
    for (int i = 0; i < 4; ++i) expected[i] = cells[i] == kBlankCell ? found[i] : cells[i] & 0xFF;
    doc_.LogLine("Fuses from the HEX file: " + FuseText(NormalizeAvrFuses(name, expected)));
  } else {
    if (OptionsDevice() != name) {
      // The options belong to another device or to none (a fresh start, the command line):
      // encoding them would write someone else's fuses. The chip's own fuses become the options.
      DecodeAvrFuses(name, found, std::span<int32_t>(doc_.optionSelections, kOptionCount));
      ConfirmOptionsFor(name);
      doc_.LogLine("Fuse options were not set for the " + name + ": taken from the chip (" +
                   FuseText(found) + ")");
    }
    expected = EncodeAvrFuses(name, std::span<const int32_t>(doc_.optionSelections, kOptionCount));
  }
  expected = NormalizeAvrFuses(name, expected);
  if (mode != Program) return true;
  return FusesAreSafe(found, expected);
}

bool CAvrOperations::FusesAreSafe(const AvrFuseBytes& current, const AvrFuseBytes& next) {
  const std::string name = doc_.programmer->fileImage.deviceName;
  const std::vector<AvrFuseDanger> dangers = AvrFuseDangers(name, current, next);
  if (dangers.empty()) return true;
  std::string text = "The fuses for the " + name + " (" + FuseText(next) +
                     ") would lock the programmer out of the chip:\n";
  for (const AvrFuseDanger& danger : dangers)
    text += "\n- " + danger.what + ": " + danger.consequence;
  switch (fuseSafety) {
    case FuseSafety::kForce:
      doc_.LogLine("Fuse safety check overridden (forced): " + dangers.front().what);
      return true;
    case FuseSafety::kAsk:
      if (doc_.Prompt().MessageBox(text + "\n\nWrite these fuses anyway?", "Fuse Safety Check",
                                   mb::kYesNo | mb::kIconWarning | mb::kTaskModal |
                                       mb::kSetForeground | mb::kTopmost) == Answer::Yes) {
        doc_.LogLine("Fuse safety check: writing " + dangers.front().what + " as confirmed");
        return true;
      }
      break;
    case FuseSafety::kRefuse:
      break;
  }
  doc_.LogLine("+++ Fuses not written: they would lock the programmer out +++");
  for (const AvrFuseDanger& danger : dangers) {
    doc_.LogLine("+++ " + danger.what + ": " + danger.consequence);
  }
  if (fuseSafety == FuseSafety::kRefuse) {
    doc_.LogLine("+++ Give --force-fuses to write them all the same +++");
  }
  return false;
}

bool CAvrOperations::RestoreSpeedFuse() {
  if (!speedFuseBefore_) return true;
  const uint8_t before = *speedFuseBefore_;
  speedFuseBefore_.reset();
  device_.SerialInstruction(0xAC, 0xA0, 0x00, before);
  doc_.Clock().Sleep(50);
  const std::optional<uint8_t> now = device_.SerialInstruction(0x50, 0x00, 0x00, 0x00);
  if (now && *now == before) return true;
  doc_.LogLine(Printf("+++ Fuse low byte could not be restored to 0x%02X +++", before));
  return false;
}

// --- Program, Verify, Read --------------------------------------------------------------------

bool CAvrOperations::DataFitsDevice(const char* action) {
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  const std::vector<DeviceRange> ranges = AvrFamilyRow().deviceRanges(file);
  // HEX files written by this program fill the configuration record up with 0xFF: an
  // unprogrammed byte where the device has no fuse loses nothing, so it is not asked about.
  std::vector<std::pair<uint32_t, int32_t>> padding;
  for (uint32_t i = 0; i < window::kConfiguration.cellCount; ++i) {
    const uint32_t address = window::kConfiguration.firstAddress + i;
    const bool held = std::ranges::any_of(
        ranges, [address](const DeviceRange& r) { return address - r.first < r.count; });
    if (!held && file.configuration[i] == 0xFF) {
      padding.emplace_back(i, file.configuration[i]);
      file.configuration[i] = kBlankCell;
    }
  }
  const bool fits = doc_.ConfirmDataInsideDevice(ranges, action);
  for (const auto& [index, value] : padding) file.configuration[index] = value;
  return fits;
}

void CAvrOperations::RunAtmegaSequence(OperationMode mode) {
  const ModeTexts& texts = TextsFor(mode);
  const uint32_t startTick = doc_.Clock().TickCount();
  doc_.lastOutcome = OperationOutcome::kFailed;
  speedFuseBefore_.reset();
  if (!OpenAvrCycle()) return;

  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  if (!eepromFileName_.empty() && mode != Read) {
    std::copy_n(doc_.programmer->eepromFileImage.programMemory, window::kEeprom.cellCount,
                file.eeprom);
  }
  doc_.LogLine("");
  Enter(doc_.atmegaSpeed < 2);
  device_.IdentifyAtmega();
  if (!Present()) {
    if (doc_.LinkLost()) {
      doc_.LogLine(kLinkLostLine);
      doc_.ShowFailure();
    } else {
      doc_.LogLine(texts.notFound);
      doc_.ShowDeviceNotFound(kNoAvrCaption);
      doc_.lastOperationFailed = 0;
      doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
    }
    CloseAvrCycle(true);
    return;
  }

  int failures = 0;
  bool known = Known();
  if (!known) {
    // Row 0's "factory" fuses are zeros and would stop the chip: nothing is written to a chip the
    // catalogue does not describe; its fuses are only read and shown.
    doc_.LogLine("Unknown device, signature " + SignatureText() +
                 ": no speed adaptation, nothing is erased or written");
    if (device_.ReadFuses()) doc_.LogLine("Fuses read: " + FuseText(ChipFuses()));
    failures |= kStopped;
  }
  if (known && mode != Read && !DataFitsDevice(mode == Program ? "Program" : "Verify")) {
    failures |= kStopped;
  }
  AvrFuseBytes expected{};
  if (known) {
    fusesRead_ = device_.ReadFuses() == 1;
    lastRead_ = ChipFuses();
    if (!fusesRead_) failures |= kLinkFailed;
  }
  const bool writesFuses = mode == Program && doc_.enableConfigurationUpdate;
  if (failures == 0 && mode != Read && !ChooseFuses(writesFuses ? Program : Verify, expected)) {
    doc_.LogLine("+++ Action Stopped +++");
    failures |= kStopped;
  }

  // Speed adaptation: a chip on a slow clock is switched to a fast internal one for the cycle.
  configurationForced_ = false;
  int linkSpeedMode = 0;
  if (failures == 0) {
    const AvrDevice& row = *device_.Row();
    const bool locked = (lastRead_[3] & 0x3F) != 0x3F;
    const int speed = doc_.atmegaSpeed;
    if (!locked && (speed == 0 || speed == 1 || speed == 3)) {
      device_.SerialInstruction(0xAC, 0xA0, 0x00, row.speedLowFuses[speed == 0 ? 0 : 1]);
      speedFuseBefore_ = static_cast<uint8_t>(lastRead_[0]);
      if (!doc_.enableConfigurationUpdate) expected = NormalizeAvrFuses(file.deviceName, lastRead_);
      configurationForced_ = true;
      linkSpeedMode = speed == 0 ? 0 : 1;
      device_.LeaveAtmega();
      Enter(false);
      if (device_.IdentifyAtmega() == 0 || !Known()) {
        doc_.LogLine(doc_.LinkLost() ? kLinkLostLine
                                     : "+++ Device lost after the speed change +++");
        failures |= kStopped;
      }
    } else if (!locked) {
      linkSpeedMode = speed == 4 ? 1 : speed == 5 ? 2 : 0;
    } else if (speed == 0 || speed == 1) {
      doc_.LogLine("Lock Bit set!");
      doc_.LogLine("Cannot operate below 1MHz");
      doc_.LogLine("Solution: Remove Lock Bits/Chip Erase");
      doc_.LogLine("+++ Action Stopped +++");
      failures |= kStopped;
    } else {
      linkSpeedMode = speed == 4 ? 1 : speed == 5 ? 2 : 0;
    }
  }
  device_.avrFlashMethod = linkSpeedMode;

  int partsRead = 0;
  bool finalFusesWritten = false;
  if (failures == 0) {
    Enter(false);
    doc_.LogLine(std::string(texts.heading) + file.deviceName + " ***");
    if (mode == Read) {
      chip.Clear();
    } else {
      CalibrationStep(mode, expected);
    }
    doc_.SetProgressPhase(0, 0);
    if (mode == Program) {
      if (doc_.enableChipErase) {
        device_.ChipEraseAtmega();
        doc_.LogLine("Chip erased");
      } else {
        doc_.LogLine("Chip Erase skipped");
      }
    }
    failures |= FlashStep(mode, partsRead);
    failures |= EepromStep(mode, partsRead);
    doc_.progressBar.SetCaption("Fuse && Lock");
    doc_.SetProgressPhase(1000, 0);
    const bool flashOrEepromFailed = (failures & (kFlashFailed | kEepromFailed)) != 0;
    if (flashOrEepromFailed || (!doc_.enableConfigurationUpdate && !configurationForced_)) {
      doc_.LogLine(texts.configurationSkipped);
    } else {
      // Program writes; Read and Verify only put back the speed fuse and read.
      const bool write = mode == Program;
      if (mode == Read) expected = NormalizeAvrFuses(file.deviceName, lastRead_);
      if (!write && !RestoreSpeedFuse()) failures |= kConfigurationFailed;
      if (mode == Verify && !doc_.enableConfigurationUpdate) {
        doc_.LogLine(texts.configurationSkipped);
      } else {
        failures |= FuseStep(mode, expected, write, partsRead);
        if (write) {
          finalFusesWritten = true;
          speedFuseBefore_.reset();
        }
      }
    }
  }
  // Whatever stopped the sequence, the chip keeps the clock it had.
  if (!finalFusesWritten && speedFuseBefore_ && !doc_.LinkLost() && !RestoreSpeedFuse()) {
    failures |= kConfigurationFailed;
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
  CloseAvrCycle(true);
}

void CAvrOperations::CalibrationStep(OperationMode mode, const AvrFuseBytes& fuses) {
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  const int copy = doc_.atmegaCopyCalibrationByte;
  if (mode == Read) return;
  device_.ReadCalibrationBytes();
  device_.ReadFlashRange(file.programSize - 2, file.programSize);
  if (copy == 0) return;
  const AvrDevice& row = *device_.Row();
  // The clock source the chip runs from after this cycle: the low fuse it gets (or keeps).
  int cksel = 0;
  const std::vector<AvrFuseBit> bits = AvrOptionBits(file.deviceName, MEGACKSEL);
  for (size_t k = 0; k < bits.size(); ++k) {
    cksel |= ((fuses[bits[k].byte] >> bits[k].bit) & 1) << k;
  }
  const int n = row.calibrationMap[cksel & 0x0F];
  const int32_t* cal = chip.configuration + 4;
  if (copy >= 1 && copy <= 3 && n < 0) {
    doc_.LogLine("No calibration byte copied, because current clock source does not require it.");
    return;
  }
  const std::string prefix = Printf("%i. Calibration Byte (%i, %i, %i, %i) copied to ", n + 1,
                                    cal[0] & 0xFF, cal[1] & 0xFF, cal[2] & 0xFF, cal[3] & 0xFF);
  switch (copy) {
    case 1:
      file.programMemory[file.programSize - 1] = cal[n] & 0xFF;
      doc_.LogLine(prefix + "the end of Flash Memory.");
      break;
    case 2:
      file.eeprom[0] = cal[n] & 0xFF;
      doc_.LogLine(prefix + "the beginning of EEPROM.");
      break;
    case 3:
      file.eeprom[file.eepromSize - 1] = cal[n] & 0xFF;
      doc_.LogLine(prefix + "the end of EEPROM.");
      break;
    case 4: {
      const int32_t value = chip.programMemory[file.programSize - 1] & 0xFF;
      file.programMemory[file.programSize - 1] = value;
      doc_.LogLine(Printf("Calibration byte %i preserved at the end of Flash Memory.", value));
      break;
    }
    default:
      break;
  }
}

int CAvrOperations::FlashStep(OperationMode mode, int& partsRead) {
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
    device_.WriteFlashPages();
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
    readOk = (doc_.fastVerify ? device_.ReadFlash() : device_.ReadFlashRange(-1, -1)) != 0;
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

int CAvrOperations::EepromStep(OperationMode mode, int& partsRead) {
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
    device_.WriteEepromAtmega();
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
    readOk = device_.ReadEepromAtmega() != 0;
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

int CAvrOperations::FuseStep(OperationMode mode, const AvrFuseBytes& expected, bool write,
                             int& partsRead) {
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  int32_t errorIndex = -1;
  bool readOk = true;
  for (int attempt = 1;;) {
    if (write) {
      WriteChipFusesIntoImage(expected);
      device_.WriteFuses();
      device_.WriteLockBits();
    }
    doc_.Clock().Sleep(50);
    errorIndex = -1;
    if (mode == Program || !doc_.noVerify) {
      ForgetRead(chip.configuration, 4);
      WriteChipFusesIntoImage(expected);  // ReadFuses keeps a missing extended fuse's value
      readOk = device_.ReadFuses() != 0;
      if (mode != Read) {
        for (int i = 0; i < 4 && errorIndex < 0; ++i) {
          if (chip.configuration[i] == kBlankCell ||
              (chip.configuration[i] & 0xFF) != (expected[i] & 0xFF)) {
            errorIndex = i;
          }
        }
      }
    }
    if (mode != Program || errorIndex < 0 || attempt > 2 || doc_.LinkLost()) break;
    ++attempt;
    doc_.LogLine(Printf("Programming Configuration: %i. try ", attempt));
    doc_.Clock().Sleep(10);
  }
  if (mode == Program || !doc_.noVerify) ++partsRead;
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

bool CAvrOperations::SaveReadImage() {
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
  CMCUMemoryArchitecture eeprom;
  eeprom.Clear();
  std::copy_n(chip.eeprom, file.eepromSize, eeprom.programMemory);
  eeprom.programSize = file.eepromSize;
  eeprom.eepromSize = 0;
  if (!WriteHexFile(eepromOutFile, eeprom, 1, doc_.Prompt())) {
    doc_.LogLine("+++ EEPROM saving failed +++");
    return false;
  }
  doc_.LogLine("*** EEPROM successfully saved as \"" + eepromOutFile + "\" ***");
  return true;
}

// --- Identify, configuration, dump ------------------------------------------------------------

void CAvrOperations::RunIdentifyAtmega() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  if (!OpenAvrCycle()) return;
  Enter(doc_.atmegaSpeed < 2);
  device_.IdentifyAtmega();
  const bool known = Known();
  const bool present = Present();
  const std::string name = doc_.programmer->fileImage.deviceName;
  bool optionsTaken = false;
  if (known && OptionsDevice() != name && device_.ReadFuses()) {
    // A device whose options the page does not hold: its own fuses become the options.
    lastRead_ = ChipFuses();
    DecodeAvrFuses(name, lastRead_, std::span<int32_t>(doc_.optionSelections, kOptionCount));
    ConfirmOptionsFor(name);
    optionsTaken = true;
  }
  const bool lost = doc_.LinkLost();
  CloseAvrCycle();
  doc_.LogLine("");
  if (lost) {
    doc_.LogLine(kLinkLostLine);
    return;
  }
  doc_.LogLine(TypeLine(doc_.programmer->fileImage, known));
  if (present && !known) doc_.LogLine("Signature: " + SignatureText());
  if (optionsTaken) doc_.LogLine("Fuse options taken from the chip: " + FuseText(lastRead_));
  doc_.lastOutcome = known ? OperationOutcome::kSuccess : OperationOutcome::kDeviceNotFound;
}

void CAvrOperations::RunReadAtmegaConfiguration() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  fusesRead_ = false;
  if (!OpenAvrCycle()) return;
  doc_.LogLine("");
  Enter(doc_.atmegaSpeed < 2);
  device_.IdentifyAtmega();
  const std::string name = doc_.programmer->fileImage.deviceName;
  if (Present()) {
    const bool read = device_.ReadFuses() && device_.ReadCalibrationBytes();
    if (read && !doc_.LinkLost()) {
      lastRead_ = ChipFuses();
      const int32_t* cells = doc_.programmer->chipImage.configuration;
      for (int i = 0; i < 4; ++i) lastCalibration_[i] = cells[4 + i] & 0xFF;
      fusesRead_ = true;
      if (Known()) {
        DecodeAvrFuses(name, lastRead_, std::span<int32_t>(doc_.optionSelections, kOptionCount));
        ConfirmOptionsFor(name);
        doc_.LogLine("Configuration setup updated with data from " + name);
      } else {
        doc_.LogLine("Unknown device, signature " + SignatureText() + ": " + FuseText(lastRead_));
      }
      doc_.lastOutcome = OperationOutcome::kSuccess;
    } else {
      doc_.LogLine(kLinkLostLine);
    }
  } else if (doc_.LinkLost()) {
    doc_.LogLine(kLinkLostLine);
  } else {
    doc_.LogLine(name + "   Setup not updated!");
    doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
  }
  CloseAvrCycle();
}

std::string CAvrOperations::ResultText(int command) const {
  if (static_cast<AvrCommand>(command) != AvrCommand::kReadConfiguration || !fusesRead_) return {};
  const bool extended = [&] {
    const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
    if (file.family != Family::kAvr || file.deviceIndex <= 0) return true;
    return AvrHasExtendedFuse(kAvrDevices[file.deviceIndex]);
  }();
  return Printf("Fuses: low=%02X high=%02X extended=", lastRead_[0] & 0xFF, lastRead_[1] & 0xFF) +
         (extended ? Printf("%02X", lastRead_[2] & 0xFF) : std::string("--")) +
         Printf(" lock=%02X calibration=%02X %02X %02X %02X", lastRead_[3] & 0xFF,
                lastCalibration_[0], lastCalibration_[1], lastCalibration_[2], lastCalibration_[3]);
}

void CAvrOperations::RunReadAtmegaEepromAfterReset() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  if (!OpenAvrCycle()) return;
  doc_.operationLog.ClearView();
  doc_.LogLine("");
  doc_.LogLine("*** Perform Read EEPROM Reset ***");
  Enter(doc_.atmegaSpeed < 2);
  device_.IdentifyAtmega();
  if (!Known()) {
    doc_.LogLine(doc_.LinkLost() ? kLinkLostLine : "Read EEPROM failed, no device found.");
    if (!doc_.LinkLost()) doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
    CloseAvrCycle();
    return;
  }
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  ForgetRead(chip.eeprom, file.eepromSize);
  const bool read = device_.ReadEepromAtmega() != 0 && !doc_.LinkLost();
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
  CloseAvrCycle();
}

// --- Factory reset, high-voltage reanimation, instruction scan ---------------------------------

void CAvrOperations::RunFactoryResetAtmega() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  if (!OpenAvrCycle()) return;
  CPICVortang& link = *doc_.programmer;
  doc_.LogLine("");
  device_.ClockOutput(1);
  link.WriteCommandByte(0x00);
  Enter(doc_.atmegaSpeed < 2);
  device_.IdentifyAtmega();
  bool done = false;
  if (!Present()) {
    doc_.LogLine("*** Factory Reset Failed ***");
    doc_.LogLine("Hint: Connect the Programmer's SCL pin to XTAL1 and try again !!!");
    doc_.LogLine(
        "Hint: If the trace pins are connected to the programming pins, remove the trace "
        "connection!");
  } else if (!Known()) {
    // Row 0's factory fuses are zeros: a reset would stop the chip for good.
    doc_.LogLine("Unknown device, signature " + SignatureText() +
                 ": its factory fuses are not known, nothing is written");
    doc_.LogLine("*** Factory Reset Failed ***");
  } else {
    device_.ChipEraseAtmega();
    device_.LoadDefaultFuses();
    AvrFuseBytes factory{};
    for (int i = 0; i < 4; ++i) factory[i] = link.fileImage.configuration[i];
    factory = NormalizeAvrFuses(link.fileImage.deviceName, factory);
    WriteChipFusesIntoImage(factory);
    device_.WriteFuses();
    device_.WriteLockBits();
    device_.ChipEraseAtmega();
    // The new clock source takes effect at the next reset.
    device_.LeaveAtmega();
    Enter(false);
    device_.IdentifyAtmega();
    if (Known()) {
      WriteChipFusesIntoImage(factory);
      if (device_.ReadFuses()) {
        lastRead_ = ChipFuses();
        done = lastRead_ == factory;
        if (!done)
          doc_.LogLine("Fuses read back: " + FuseText(lastRead_) + ", expected " +
                       FuseText(factory));
      }
    }
    if (done) {
      doc_.LogLine("*** Factory reset done ***");
      doc_.LogLine(TypeLine(link.fileImage, true));
      DecodeAvrFuses(link.fileImage.deviceName, lastRead_,
                     std::span<int32_t>(doc_.optionSelections, kOptionCount));
      ConfirmOptionsFor(link.fileImage.deviceName);
      doc_.lastOutcome = OperationOutcome::kSuccess;
    } else {
      doc_.LogLine(doc_.LinkLost() ? kLinkLostLine : "*** Factory Reset Failed ***");
    }
  }
  device_.ClockOutput(0);
  link.WriteCommandByte(0x01);
  CloseAvrCycle();
}

void CAvrOperations::RunReanimateAtmegaParallelHv() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  if (!OpenAvrCycle()) return;
  doc_.LogLine("");
  doc_.LogLine("Parallel HV reanimation started...");
  const bool pulsed = doc_.programmer->HighVoltagePulse() == 1;
  doc_.LogLine(pulsed ? "Parallel HV reanimation done!" : kLinkLostLine);
  if (pulsed) doc_.lastOutcome = OperationOutcome::kSuccess;
  doc_.CloseOperationLink();
  doc_.usesMiniProgrammer = savedMiniProgrammer_;
  doc_.RefreshView();
}

void CAvrOperations::RunScanAtmegaSerialInstructions() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  if (!OpenAvrCycle()) return;
  CPICVortang& link = *doc_.programmer;
  const InstructionScanRange range = scanRange;
  for (int x = range.highestFirst; x >= 0 && !link.linkLost; --x) {
    for (int i = 0; i < range.secondBytes && !link.linkLost; ++i) {
      device_.SelectSerialClock(doc_.atmegaSpeed < 2 ? 1 : 0);
      link.EnterSerialProgramming(0);
      if (Present()) {
        for (int j = 0; j < range.thirdBytes && !link.linkLost; ++j) {
          device_.SerialInstruction(static_cast<uint8_t>(x), static_cast<uint8_t>(i),
                                    static_cast<uint8_t>(j), 0xBF);
        }
      }
      link.ResetAvr();
      doc_.LogLine(Printf("%i  -  %i", x, i));
      doc_.RefreshView();
    }
  }
  if (!link.linkLost) doc_.lastOutcome = OperationOutcome::kSuccess;
  doc_.CloseOperationLink();
  doc_.usesMiniProgrammer = savedMiniProgrammer_;
  doc_.RefreshView();
}

}  // namespace velmora
