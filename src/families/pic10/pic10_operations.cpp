// The PIC10F20x operations of the document: the Program/Verify/Read sequence and the erase.
#include "families/pic10/pic10_operations.h"

#include <algorithm>

#include "engine/text_format.h"
#include "families/pic10/pic10_family.h"
#include "link/pic_vortang.h"
#include "memory/catalogue.h"
#include "memory/intel_hex.h"

namespace velmora {

namespace {

constexpr int kFlashFailed = 1;
constexpr int kConfigurationFailed = 8;
constexpr int kLinkFailed = 16;
constexpr const char* kNoPicCaption = "No PIC !!!";
constexpr const char* kLinkLostLine = "+++ Connection to the programmer lost +++";
constexpr uint32_t kHexConfigurationCell = 0x1FFE;  // word 0xFFF
constexpr uint32_t kWriterWords = 4096;
constexpr uint32_t kBlockWords = 8;

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

int32_t ConfigWord(const CMCUMemoryArchitecture& image) {
  if (image.configuration[0] < 0 && image.configuration[1] < 0) return -1;
  return (image.configuration[1] & 0xFF) << 8 | (image.configuration[0] & 0xFF);
}

}  // namespace

CPic10Operations::CPic10Operations(CqelDoc& doc) : doc_(doc), device_(*doc.programmer) {}

bool CPic10Operations::SelectType() {
  SelectPic10Type(doc_.programmer->fileImage, doc_.pic10TypeSelection);
  return doc_.programmer->fileImage.programSize > 0;
}

bool CPic10Operations::OpenCycle() {
  if (!doc_.OpenOperationLink()) return false;
  doc_.programmer->EnterPic12Mode();
  return true;
}

void CPic10Operations::CloseCycle() {
  doc_.programmer->LeavePic12Mode();
  doc_.CloseOperationLink();
  doc_.RefreshView();
}

// Writing a backup type would put the file's words over the calibration word and its backup.
bool CPic10Operations::RefuseBackupType(const char* what) {
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  if (!IsPic10BackupType(file)) return false;
  doc_.LogLine("");
  doc_.LogLine(std::string("+++ ") + what + " refused: " + file.deviceName + " +++");
  doc_.lastOutcome = OperationOutcome::kNotStarted;
  return true;
}

void CPic10Operations::RunPic10Sequence(OperationMode mode) {
  const uint32_t startTick = doc_.Clock().TickCount();
  doc_.lastOutcome = OperationOutcome::kFailed;
  if (!SelectType()) {
    doc_.LogLine("");
    doc_.LogLine(doc_.programmer->fileImage.deviceName);
    return;
  }
  if (mode == Program && RefuseBackupType("Programming")) return;
  if (!OpenCycle()) return;
  doc_.progressBar.SetCaption("Reading");
  doc_.SetProgressPhase(0, mode == Program ? 333 : 1000);
  doc_.LogLine("");
  CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  chip.Clear();
  if (device_.ReadAllPic10() == 0) {
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
  if (mode != Read && !doc_.ConfirmDataInsideDevice(Pic10FamilyRow().deviceRanges(file),
                                                    mode == Program ? "Program" : "Verify")) {
    doc_.LogLine(mode == Program ? "+++ Programming Failed +++" : "+++ Verification Failed +++");
    doc_.ShowFailure();
    CloseCycle();
    return;
  }
  // The chip's calibration takes the last program word of the file in every mode (a backup type
  // reaches past program memory and compares what is there).
  if (mode != Read && !IsPic10BackupType(file)) {
    const int32_t calibration = Pic10CalibrationWord(chip, file.programSize);
    const auto last = static_cast<uint32_t>(2 * (file.programSize - 1));
    file.programMemory[last] = calibration < 0 ? 0xFF : calibration & 0xFF;
    file.programMemory[last + 1] = calibration < 0 ? 0x0F : calibration >> 8;
  }
  if (mode == Program) {
    device_.ErasePic10(0);
    doc_.programmer->PowerOn();
    doc_.progressBar.SetCaption("Programming");
    doc_.SetProgressPhase(333, 333);
    device_.WritePic10();
  }
  int failures = mode == Read ? 0 : Compare();
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

// Program memory on its 12 bits, then the configuration word on the bits the chip keeps (the
// page's default word is 16 bits wide, the chip's 12, of which only five are implemented).
int CPic10Operations::Compare() {
  const CMCUMemoryArchitecture& file = doc_.programmer->fileImage;
  const CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  int failures = 0;
  for (uint32_t w = 0; w < uint32_t(file.programSize); ++w) {
    const int32_t want = Pic10Word(file, w);
    if (want < 0) continue;
    const int32_t read = Pic10Word(chip, w);
    if (read < 0 || chip.programMemory[2 * w] < 0 || ((want ^ read) & kPic10Blank) != 0) {
      doc_.LogLine(Printf("!!! Error found in Flash memory at address 0x%04X !!!", w));
      failures |= kFlashFailed;
      break;
    }
  }
  const int32_t want = ConfigWord(file);
  const int32_t read = ConfigWord(chip);
  if (chip.configuration[0] < 0 || (want >= 0 && ((want ^ read) & kPic10ConfigBits) != 0)) {
    if (failures == 0) doc_.LogLine("!!! Error in configuration !!!");
    failures |= kConfigurationFailed;
  }
  return failures;
}

// Through a copy: the configuration word at word 0xFFF, erased blocks of 8 words and everything
// past the device left out.
bool CPic10Operations::SaveReadImage() {
  const CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  const int32_t words = doc_.programmer->fileImage.programSize;
  auto copy = std::make_unique<CMCUMemoryArchitecture>();
  copy->CopyFrom(chip);
  int32_t* cells = copy->programMemory;
  for (uint32_t block = 0; block < uint32_t(words); block += kBlockWords) {
    bool erased = true;
    for (uint32_t w = block; w < block + kBlockWords && erased; ++w) {
      erased = (Pic10Word(*copy, w) & kPic10Blank) == kPic10Blank;
    }
    if (erased) std::fill_n(cells + 2 * block, 2 * kBlockWords, kBlankCell);
  }
  std::fill(cells + 2 * words, cells + 2 * kWriterWords, kBlankCell);
  cells[kHexConfigurationCell] = chip.configuration[0];
  cells[kHexConfigurationCell + 1] = chip.configuration[1];
  std::fill_n(copy->configuration, 2, kBlankCell);
  copy->programSize = 2 * kWriterWords;
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

// The erase takes the calibration word with program memory; it is written back at once from
// what the read before found (the backup word, which the erase leaves).
void CPic10Operations::RunErasePic10() {
  doc_.lastOutcome = OperationOutcome::kFailed;
  if (!SelectType()) {
    doc_.LogLine("");
    doc_.LogLine(doc_.programmer->fileImage.deviceName);
    return;
  }
  if (RefuseBackupType("Erasing")) return;
  if (!OpenCycle()) return;
  doc_.LogLine("");
  CMCUMemoryArchitecture& chip = doc_.programmer->chipImage;
  const int32_t words = doc_.programmer->fileImage.programSize;
  chip.Clear();
  if (device_.ReadAllPic10() == 0) {
    doc_.LogLine(doc_.LinkLost() ? kLinkLostLine : "Unknown Device");
    if (!doc_.LinkLost()) doc_.lastOutcome = OperationOutcome::kDeviceNotFound;
    CloseCycle();
    return;
  }
  const int32_t calibration = Pic10CalibrationWord(chip, words);
  device_.ErasePic10(0);
  doc_.programmer->PowerOn();
  if (calibration >= 0) device_.RestoreCalibrationPic10(static_cast<uint16_t>(calibration));
  doc_.LogLine("*** Flash Erased ***");
  chip.Clear();
  const bool read = device_.ReadAllPic10() != 0;
  const bool kept =
      read && (calibration < 0 || (Pic10Word(chip, uint32_t(words - 1)) == calibration &&
                                   Pic10Word(chip, uint32_t(words + 4)) == calibration));
  if (doc_.LinkLost()) {
    doc_.LogLine(kLinkLostLine);
  } else if (!kept) {
    doc_.LogLine("!!! Calibration Values not restored !!!");
  } else {
    doc_.lastOutcome = OperationOutcome::kSuccess;
  }
  CloseCycle();
}

void CPic10Operations::TakeConfigurationFromFile() {
  if (state.ignoreHexConfig) return;
  const int32_t low = doc_.programmer->fileImage.programMemory[kHexConfigurationCell];
  const int32_t high = doc_.programmer->fileImage.programMemory[kHexConfigurationCell + 1];
  if (low < 0 && high < 0) return;
  state.configurationWord = static_cast<uint16_t>((high & 0xFF) << 8 | (low & 0xFF));
}

}  // namespace velmora
