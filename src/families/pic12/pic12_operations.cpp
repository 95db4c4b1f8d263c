// The PIC12F629-family operations of the document: the Program/Verify/Read sequence, identify,
// the flash and EEPROM erases, the configuration read and the EEPROM dump. Every compare looks
// only at chip-image cells this cycle read: the image is cleared before a read, so a read that
// did not happen never looks like a match.
#include "families/pic12/pic12_operations.h"

#include <algorithm>

#include "engine/text_format.h"
#include "families/pic12/pic12_family.h"
#include "link/pic_vortang.h"
#include "memory/intel_hex.h"

namespace velmora {

namespace {

constexpr int kFlashFailed = 1;
constexpr int kEepromFailed = 2;
constexpr int kIdFailed = 4;
constexpr int kConfigurationFailed = 8;
constexpr int kLinkFailed = 16;

constexpr const char* kNoPicCaption = "No PIC !!!";
constexpr const char* kLinkLostLine = "+++ Connection to the programmer lost +++";
constexpr uint32_t kBlockCells = 16;

const char* NotFoundLine(OperationMode mode) {
  if (mode == Program) return "Programming not possible. Cannot find PIC.";
  if (mode == Verify) return "Verifying not possible. Cannot find PIC.";
  return "Reading not possible. Cannot find PIC.";
}

const char* Heading(OperationMode mode) {
  if (mode == Program) return "*** Programming ";
  if (mode == Verify) return "*** Verifying ";
  return "*** Reading ";
}

// Words compare on their 14 bits; a chip cell this cycle did not read never matches.
bool WordDiffers(const CMCUMemoryArchitecture& file, const CMCUMemoryArchitecture& chip,
                 uint32_t firstCell) {
  const int32_t want = Pic12Word(file, firstCell);
  if (want < 0) return false;
  if (chip.programMemory[firstCell] < 0 || chip.programMemory[firstCell + 1] < 0) return true;
  return ((want ^ Pic12Word(chip, firstCell)) & kPic12Blank) != 0;
}

std::string IdLine(const CMCUMemoryArchitecture& chip) {
  bool empty = true;
  std::string characters;
  int words[4];
  for (int w = 0; w < 4; ++w) {
    words[w] = Pic12Word(chip, pic12cell::kConfigArea + 2 * w) & kPic12Blank;
    empty = empty && words[w] == kPic12Blank;
    const int high = words[w] >> 8;
    const int low = words[w] & 0xFF;
    characters += static_cast<char>((high << 1 | low >> 7) & 0x7F);
    characters += static_cast<char>(low & 0x7F);
  }
  if (empty) return "ID-Location: Is Empty";
  std::string line = "ID:";
  for (int word : words) line += Printf(" %02X%02X", word >> 8, word & 0xFF);
  if (std::ranges::all_of(characters, [](char c) { return c >= 32; })) {
    line += "   \"" + characters + "\"";
  }
  return line;
}

}  // namespace

CPic12Operations::CPic12Operations(CqelDoc& doc) : doc_(doc), device_(*doc.programmer) {}

// --- The cycle around every operation ---------------------------------------------------------

bool CPic12Operations::OpenCycle() {
  if (!doc_.OpenOperationLink()) return false;
  doc_.programmer->EnterPic12Mode();
  return true;
}

void CPic12Operations::CloseCycle() {
  doc_.programmer->LeavePic12Mode();
  doc_.CloseOperationLink();
  doc_.RefreshView();
}

// Reads the whole chip into a cleared chip image; remembers its calibration as read.
bool CPic12Operations::IdentifyTarget() {
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  chip.Clear();
  chipCalibrationWord_ = -1;
  chipConfigurationWord_ = -1;
  if (device_.ReadAllPic12() == 0 || doc_.programmer->fileImage.blockSize == 0) return false;
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  chipCalibrationWord_ = Pic12Word(chip, 2 * uint32_t(file.programSize - 1));
  chipConfigurationWord_ = Pic12Word(chip, pic12cell::kConfigurationWord);
  return true;
}

uint16_t CPic12Operations::WantedCalibrationWord() const {
  if (!IsRetlw(chipCalibrationWord_) && state.calibrationValue >= 0 &&
      state.calibrationValue <= 0xFF) {
    return static_cast<uint16_t>(0x3400 | state.calibrationValue);
  }
  return static_cast<uint16_t>(chipCalibrationWord_ & kPic12Blank);
}

uint16_t CPic12Operations::WantedBandGapBits() const {
  if (state.bandGapSelection >= 1 && state.bandGapSelection <= 4) {
    return static_cast<uint16_t>((state.bandGapSelection - 1) << 12);
  }
  return static_cast<uint16_t>(chipConfigurationWord_ & kPic12BandGapBits);
}

// The chip's calibration word goes into the file's last program word, and the band-gap bits
// into the file's configuration word (its other bits kept; a file without one gets the erased
// word).
void CPic12Operations::ApplyCalibrationToFile() {
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  SetPic12Word(file, 2 * uint32_t(file.programSize - 1), WantedCalibrationWord());
  int32_t config = Pic12Word(file, pic12cell::kConfigurationWord);
  if (config < 0) config = kPic12Blank;
  SetPic12Word(
      file, pic12cell::kConfigurationWord,
      static_cast<uint16_t>((config & ~kPic12BandGapBits & kPic12Blank) | WantedBandGapBits()));
}

// --- Program, Verify, Read --------------------------------------------------------------------

void CPic12Operations::RunPic12Sequence(OperationMode mode) {
  const uint32_t startTick = doc_.Clock().TickCount();
  doc_.lastOutcome = OperationOutcome::kFailed;
  if (!OpenCycle()) return;
  doc_.progressBar.SetCaption("Reading");
  doc_.SetProgressPhase(0, mode == Program ? 333 : 1000);
  doc_.LogLine("");
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  if (!IdentifyTarget()) {
    doc_.LogLine(NotFoundLine(mode));
    doc_.ShowDeviceNotFound(kNoPicCaption);
    doc_.SetProgressPhase(1000, 0);
    if (doc_.LinkLost()) doc_.LogLine(kLinkLostLine);
    doc_.lastOperationFailed = 1;
    doc_.lastOutcome =
        doc_.LinkLost() ? OperationOutcome::kFailed : OperationOutcome::kDeviceNotFound;
    CloseCycle();
    return;
  }
  doc_.LogLine(std::string(Heading(mode)) + file.deviceName + " ***");
  if (mode != Read && !doc_.ConfirmDataInsideDevice(Pic12FamilyRow().deviceRanges(file),
                                                    mode == Program ? "Program" : "Verify")) {
    doc_.LogLine(mode == Program ? "+++ Programming Failed +++" : "+++ Verification Failed +++");
    doc_.ShowFailure();
    CloseCycle();
    return;
  }
  ApplyCalibrationToFile();
  const bool software = state.software != 0;
  const bool eeprom = state.eeprom != 0 && file.eepromSize > 0;

  int failures = 0;
  if (mode == Program) {
    // The firmware reports whether the calibration read back as before its erase.
    if (software && device_.ErasePic12Program() == 0) {
      if (!doc_.LinkLost()) doc_.LogLine("!!! Calibration Values not restored !!!");
      failures |= kFlashFailed;
    }
    if (eeprom) device_.ErasePic12Eeprom();
    doc_.programmer->PowerOn();
    doc_.progressBar.SetCaption("Programming");
    doc_.SetProgressPhase(333, 333);
    if (software) {
      device_.WriteProgramPic12();
      device_.WriteConfigAreaPic12();
    }
    doc_.SetProgressPhase(666, 333);
    if (eeprom) {
      std::fill_n(chip.programMemory + pic12cell::kEeprom, 2 * file.eepromSize, kBlankCell);
      device_.WriteEepromPic12();
    }
    if (software) {
      // The compare below sees only what this read brings.
      chip.Clear();
      device_.ReadAllPic12();
    }
  }
  if (mode != Read) failures |= CompareAfterWrite(mode);
  if (doc_.LinkLost()) {
    doc_.LogLine(kLinkLostLine);
    failures |= kLinkFailed;
  }

  if (failures != 0) {
    doc_.LogLine(mode == Program  ? "+++ Programming Failed +++"
                 : mode == Verify ? "+++ Verification Failed +++"
                                  : "+++ Reading Failed +++");
    doc_.ShowFailure();
  } else {
    const uint32_t elapsed = doc_.Clock().TickCount() - startTick;
    doc_.LogLine(mode == Read ? std::string("*** Finished Reading ***")
                              : "*** Finished Successfully ***" +
                                    Printf(" %i:%03is", static_cast<int>(elapsed / 1000),
                                           static_cast<int>(elapsed % 1000)));
    doc_.ShowSuccess();
    doc_.lastOutcome = OperationOutcome::kSuccess;
    if (mode == Read && !SaveReadImage()) doc_.lastOutcome = OperationOutcome::kFailed;
  }
  CloseCycle();
}

int CPic12Operations::CompareAfterWrite(OperationMode mode) {
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  const CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  int failures = 0;
  if (state.software) {
    uint32_t w = 0;
    while (w < uint32_t(file.programSize) && !WordDiffers(file, chip, 2 * w)) ++w;
    if (w < uint32_t(file.programSize)) {
      doc_.LogLine(Printf("!!! Error found in Flash memory at address 0x%04X !!!", w));
      failures |= kFlashFailed;
    } else {
      doc_.LogLine("Flash memory successfully programmed");
    }
  }
  if (state.eeprom && file.eepromSize > 0) {
    int32_t e = 0;
    for (; e < file.eepromSize; ++e) {
      const int32_t want = file.programMemory[pic12cell::kEeprom + 2 * e];
      if (want < 0) continue;
      if (chip.programMemory[pic12cell::kEeprom + 2 * e] != want) break;
    }
    if (e < file.eepromSize) {
      doc_.LogLine(Printf("!!! Error found in EEPROM at address 0x%02X !!!", e));
      failures |= kEepromFailed;
    } else {
      doc_.LogLine("EEPROM successfully programmed");
    }
  }
  if (state.software) {
    for (uint32_t cell = 0; cell < pic12cell::kIdCells; cell += 2) {
      if (WordDiffers(file, chip, pic12cell::kConfigArea + cell)) {
        doc_.LogLine("!!! Error found in ID-Location !!!");
        failures |= kIdFailed;
        break;
      }
    }
    // The options and the band-gap bits; bits 11..9 are not implemented and read 0.
    const int32_t want = Pic12Word(file, pic12cell::kConfigurationWord);
    const int32_t read = Pic12Word(chip, pic12cell::kConfigurationWord);
    const uint16_t compared = kPic12OptionBits | kPic12BandGapBits;
    if (read < 0 || chip.programMemory[pic12cell::kConfigurationWord] < 0 ||
        ((want ^ read) & compared) != 0) {
      doc_.LogLine("!!! Error in configuration !!!");
      failures |= kConfigurationFailed;
    }
  }
  (void)mode;
  return failures;
}

// Program blocks of 8 erased words and EEPROM blocks of 8 erased bytes stay out of the file;
// the writer covers everything up to the end of the EEPROM.
bool CPic12Operations::SaveReadImage() {
  const CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  auto copy = std::make_unique<CMCUMemoryArchitecture>();
  copy->CopyFrom(chip);
  int32_t* cells = copy->programMemory;
  for (uint32_t block = 0; block < 2 * uint32_t(file.programSize); block += kBlockCells) {
    bool erased = true;
    for (uint32_t k = 0; k < kBlockCells && erased; k += 2) {
      erased = (Pic12Word(*copy, block + k) & kPic12Blank) == kPic12Blank;
    }
    if (erased) std::fill_n(cells + block, kBlockCells, kBlankCell);
  }
  for (uint32_t block = 0; block < 2 * uint32_t(file.eepromSize); block += kBlockCells) {
    const uint32_t first = pic12cell::kEeprom + block;
    bool erased = true;
    for (uint32_t k = 0; k < kBlockCells && erased; k += 2) erased = cells[first + k] == 0xFF;
    if (erased) std::fill_n(cells + first, kBlockCells, kBlankCell);
  }
  copy->programSize = static_cast<int32_t>(pic12cell::kEeprom + 2 * file.eepromSize);
  copy->eepromSize = 0;
  const std::optional<HexSaveChoice> choice = doc_.Prompt().AskHexSavePath("*.hex");
  if (!choice) {
    doc_.LogLine("+++ Data saving canceled +++");
    return false;
  }
  if (!WriteHexFile(choice->path, *copy, choice->saveEmptyAreas ? 1 : 0, doc_.Prompt())) {
    doc_.LogLine("+++ Data saving failed +++");
    return false;
  }
  doc_.LogLine("*** Data successfully saved as \"" + choice->path + "\" ***");
  return true;
}

// --- Identify, erases, configuration, dump ----------------------------------------------------

void CPic12Operations::RunIdentifyPic12() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  doc_.LogLine("");
  if (!OpenCycle()) return;
  const bool known = IdentifyTarget();
  CloseCycle();
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  const CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  if (doc_.LinkLost()) {
    doc_.LogLine(kLinkLostLine);
    return;
  }
  if (!known) {
    doc_.LogLine(file.deviceName);
    doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
    return;
  }
  const int32_t id = Pic12Word(chip, pic12cell::kDeviceId);
  const std::string calibration =
      IsRetlw(chipCalibrationWord_) ? Printf("%i", chipCalibrationWord_ & 0xFF) : "missing";
  doc_.LogLine(Printf(
      "Type: %s Rev. %i    Flash %ik, EEPROM %i, RAM %i       Calibration Byte is %s      Band "
      "Gap Calibration = %i",
      file.deviceName, id & 0x1F, file.programSize / 1024, file.eepromSize, file.ramSize,
      calibration.c_str(), (chipConfigurationWord_ >> 12) & 3));
  doc_.LogLine(IdLine(chip));
  doc_.lastOutcome = OperationOutcome::kSuccess;
}

// The firmware's erase keeps the calibration word and the band-gap bits; the page's choices (a
// calibration value for a missing word, chosen band-gap bits) are written after it, and a read
// back shows whether the chip holds what it should.
void CPic12Operations::RunErasePic12Flash() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  doc_.LogLine("");
  if (!OpenCycle()) return;
  if (!IdentifyTarget()) {
    doc_.LogLine(doc_.LinkLost() ? kLinkLostLine : "Unknown Device");
    if (!doc_.LinkLost()) doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
    CloseCycle();
    return;
  }
  const uint16_t calibration = WantedCalibrationWord();
  const uint16_t bandGap = WantedBandGapBits();
  device_.ErasePic12Program();
  doc_.programmer->PowerOn();
  device_.RestoreCalibrationPic12(calibration);
  device_.SendConfigHighByte(static_cast<uint8_t>(bandGap >> 8));
  doc_.LogLine("*** Flash Erased ***");
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  const int32_t programSize = doc_.programmer->fileImage.programSize;
  chip.Clear();
  const bool read = device_.ReadAllPic12() != 0;
  const bool kept = read && Pic12Word(chip, 2 * uint32_t(programSize - 1)) == calibration &&
                    (Pic12Word(chip, pic12cell::kConfigurationWord) & kPic12BandGapBits) == bandGap;
  if (doc_.LinkLost()) {
    doc_.LogLine(kLinkLostLine);
  } else if (kept) {
    doc_.LogLine("Calibration Values updated");
    doc_.lastOutcome = OperationOutcome::kSuccess;
  } else {
    doc_.LogLine("!!! Calibration Values not restored !!!");
  }
  CloseCycle();
}

void CPic12Operations::RunErasePic12Eeprom() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  doc_.LogLine("");
  if (!OpenCycle()) return;
  if (!IdentifyTarget()) {
    doc_.LogLine(doc_.LinkLost() ? kLinkLostLine : "Unknown Device");
    if (!doc_.LinkLost()) doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
    CloseCycle();
    return;
  }
  device_.ErasePic12Eeprom();
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  const int32_t size = doc_.programmer->fileImage.eepromSize;
  chip.Clear();
  device_.ReadAllPic12();
  int32_t occupied = -1;
  for (int32_t e = 0; e < size && occupied < 0; ++e) {
    if (chip.programMemory[pic12cell::kEeprom + 2 * e] != 0xFF) occupied = e;
  }
  if (doc_.LinkLost()) {
    doc_.LogLine(kLinkLostLine);
  } else if (occupied >= 0) {
    doc_.LogLine(Printf("!!! Error found in EEPROM at address 0x%02X !!!", occupied));
  } else {
    doc_.LogLine("EEPROM erased");
    doc_.lastOutcome = OperationOutcome::kSuccess;
  }
  CloseCycle();
}

void CPic12Operations::RunReadPic12Configuration() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  doc_.LogLine("");
  if (!OpenCycle()) return;
  const bool known = IdentifyTarget();
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  if (doc_.LinkLost()) {
    doc_.LogLine(kLinkLostLine);
  } else if (known) {
    state.configurationWord = static_cast<uint16_t>(chipConfigurationWord_ & kPic12Blank);
    doc_.LogLine(std::string("Configuration read form ") + file.deviceName);
    doc_.lastOutcome = OperationOutcome::kSuccess;
  } else {
    doc_.LogLine(file.deviceName);
    doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
  }
  CloseCycle();
}

void CPic12Operations::RunReadPic12EepromAfterReset() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  if (!OpenCycle()) return;
  doc_.operationLog.ClearView();
  doc_.LogLine("");
  doc_.LogLine("*** Perform Read EEPROM Reset ***");
  if (!IdentifyTarget()) {
    doc_.LogLine(doc_.LinkLost() ? kLinkLostLine : "Read EEPROM failed, no device found.");
    if (!doc_.LinkLost()) doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
    CloseCycle();
    return;
  }
  const CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  const int32_t size = doc_.programmer->fileImage.eepromSize;
  int lines = 0;
  for (int32_t offset = 0; offset < size; offset += 16, ++lines) {
    std::string line = Printf("%03X:", offset);
    std::string characters;
    for (int32_t k = offset; k < offset + 16 && k < size; ++k) {
      const int byte = chip.programMemory[pic12cell::kEeprom + 2 * k] & 0xFF;
      line += Printf("\t%02X", byte);
      characters += '\t';
      characters += byte < 0x20 || byte == 0xFF ? '.' : static_cast<char>(byte);
    }
    doc_.LogLine(line + characters, false);
  }
  doc_.LogLine("*** End of EEPROM Read Reset ***");
  doc_.lastOutcome = OperationOutcome::kSuccess;
  doc_.operationLog.ScrollView(lines + 2);
  CloseCycle();
}

void CPic12Operations::TakeConfigurationFromFile() {
  if (state.ignoreHexConfig) return;
  const int32_t word = Pic12Word(doc_.programmer->fileImage, pic12cell::kConfigurationWord);
  if (word >= 0) state.configurationWord = static_cast<uint16_t>(word);
}

}  // namespace velmora
