// The commands of the ATtiny11/12 page as every front end runs them, and the command line's
// ATtiny11/12 options: the preparation on the calling thread (HEX file, EEPROM file), then the
// operation on the calling thread or on the document's worker.
#include <charconv>

#include "engine/cqel_doc.h"
#include "engine/text_format.h"
#include "families/tiny1x/tiny1x_operations.h"
#include "link/pic_vortang.h"
#include "memory/intel_hex.h"

namespace velmora {

namespace {

using namespace command_input;
constexpr uint32_t kParts = kVerifyOptions | kChipErase | kMemoryParts;

constexpr FamilyCommand kTiny1xCommands[] = {
    {.id = int(Tiny1xCommand::kIdentify),
     .name = "identify",
     .help = "identify the target device",
     .onWorker = false,
     .inputs = 0},
    {.id = int(Tiny1xCommand::kProgram),
     .name = "program",
     .help = "erase, program and verify the target (flash, EEPROM, fuse and lock bits)",
     .onWorker = true,
     .inputs = kHexFile | kParts},
    {.id = int(Tiny1xCommand::kVerify),
     .name = "verify",
     .help = "compare the target with a HEX file",
     .onWorker = true,
     .inputs = kHexFile | kParts},
    {.id = int(Tiny1xCommand::kRead),
     .name = "read",
     .help = "read the target and save it as Intel HEX",
     .onWorker = true,
     .inputs = kSaveFile | kParts},
    {.id = int(Tiny1xCommand::kReadFuses),
     .name = "fuses read",
     .help = "read the fuse and lock bits (shown, not stored)",
     .onWorker = false,
     .inputs = 0},
    {.id = int(Tiny1xCommand::kDumpEeprom),
     .name = "dump eeprom",
     .help = "show the EEPROM after a reset",
     .onWorker = false,
     .inputs = 0},
};

CTiny1xOperations& Tiny1xOperationsOf(CqelDoc& doc) {
  if (IFamilyOperations* existing = doc.FamilyOperations(Family::kTiny1x)) {
    return static_cast<CTiny1xOperations&>(*existing);
  }
  return static_cast<CTiny1xOperations&>(
      doc.AdoptFamilyOperations(Family::kTiny1x, std::make_unique<CTiny1xOperations>(doc)));
}

constexpr uint64_t Bit(Tiny1xCommand command) {
  return uint64_t{1} << static_cast<int>(command);
}

bool ParseByte(const std::string& text, int base, uint32_t limit, uint32_t& value) {
  std::string digits = text;
  if (base == 16 && (digits.starts_with("0x") || digits.starts_with("0X"))) digits.erase(0, 2);
  const auto [end, error] =
      std::from_chars(digits.data(), digits.data() + digits.size(), value, base);
  return !digits.empty() && error == std::errc() && end == digits.data() + digits.size() &&
         value <= limit;
}

const FamilyCliOption kTiny1xCliOptions[] = {
    {.name = "--eeprom-file",
     .help = "Intel HEX file with the EEPROM content (addresses from 0, as avr-objcopy writes it)",
     .takesValue = true,
     .commands = Bit(Tiny1xCommand::kProgram) | Bit(Tiny1xCommand::kVerify),
     .apply =
         [](CqelDoc& doc, const std::string& value, std::string&) {
           Tiny1xOperationsOf(doc).SetEepromFile(value);
           return true;
         }},
    {.name = "--eeprom-out",
     .help = "save the EEPROM read into its own HEX file (addresses from 0)",
     .takesValue = true,
     .commands = Bit(Tiny1xCommand::kRead),
     .apply =
         [](CqelDoc& doc, const std::string& value, std::string&) {
           Tiny1xOperationsOf(doc).eepromOutFile = value;
           return true;
         }},
    {.name = "--fuse",
     .help = "the fuse byte as the chip reads it back (hexadecimal, 0 = programmed); without it "
             "the chip keeps its own",
     .takesValue = true,
     .commands = Bit(Tiny1xCommand::kProgram) | Bit(Tiny1xCommand::kVerify),
     .apply =
         [](CqelDoc& doc, const std::string& value, std::string& error) {
           uint32_t fuse = 0;
           if (!ParseByte(value, 16, 0xFF, fuse)) {
             error = "a fuse byte in hexadecimal, e.g. 0x52";
             return false;
           }
           Tiny1xPageState& state = Tiny1xOperationsOf(doc).state;
           state.SetFuse(0, static_cast<uint8_t>(fuse));
           state.SetFuse(1, static_cast<uint8_t>(fuse));
           return true;
         }},
    {.name = "--lock",
     .help = "the lock byte (hexadecimal): bit 1 LB1, bit 2 LB2, 0 = programmed",
     .takesValue = true,
     .commands = Bit(Tiny1xCommand::kProgram) | Bit(Tiny1xCommand::kVerify),
     .apply =
         [](CqelDoc& doc, const std::string& value, std::string& error) {
           uint32_t lock = 0;
           if (!ParseByte(value, 16, 0xFF, lock)) {
             error = "a lock byte in hexadecimal, e.g. 0x06";
             return false;
           }
           Tiny1xOperationsOf(doc).state.optionBytes[2] = static_cast<uint8_t>(lock);
           return true;
         }},
    {.name = "--copy-calibration",
     .help = "copy the ATtiny12's calibration byte: 0 no, 1 to the end of flash, 2 to the "
             "beginning of EEPROM, 3 to the end of EEPROM",
     .takesValue = true,
     .commands = Bit(Tiny1xCommand::kProgram) | Bit(Tiny1xCommand::kVerify),
     .apply =
         [](CqelDoc& doc, const std::string& value, std::string& error) {
           uint32_t mode = 0;
           if (!ParseByte(value, 10, 3, mode)) {
             error = "takes 0..3, not \"" + value + "\"";
             return false;
           }
           Tiny1xOperationsOf(doc).state.copyCalibration = static_cast<int32_t>(mode);
           return true;
         }},
};

}  // namespace

std::span<const FamilyCommand> Tiny1xCommands() {
  return kTiny1xCommands;
}

std::span<const FamilyCliOption> Tiny1xCliOptions() {
  return kTiny1xCliOptions;
}

bool CTiny1xOperations::Prepare(int command) {
  const auto which = static_cast<Tiny1xCommand>(command);
  if (which != Tiny1xCommand::kProgram && which != Tiny1xCommand::kVerify) return true;
  // Both files load before the link opens: a file that does not load stops the operation
  // before anything reaches the chip.
  CPICVortang& link = *doc_.programmer;
  if (!ReadHexFile(link.fileImage, doc_.hexFileName, doc_.Prompt())) return false;
  if (!eepromFileName_.empty()) {
    link.eepromFileImage.Clear();
    if (!ReadHexFile(link.eepromFileImage, eepromFileName_, doc_.Prompt())) {
      doc_.LogLine("");
      doc_.LogLine("+++ EEPROM file could not be read: " + eepromDisplayName_ + " +++");
      doc_.lastOutcome = OperationOutcome::kFailed;
      return false;
    }
  }
  return true;
}

void CTiny1xOperations::Run(int command) {
  switch (static_cast<Tiny1xCommand>(command)) {
    case Tiny1xCommand::kIdentify:
      return RunIdentifyAttiny();
    case Tiny1xCommand::kProgram:
      return RunAttinySequence(Program);
    case Tiny1xCommand::kVerify:
      return RunAttinySequence(Verify);
    case Tiny1xCommand::kRead:
      return RunAttinySequence(Read);
    case Tiny1xCommand::kReadFuses:
      return RunReadAttinyFuses();
    case Tiny1xCommand::kDumpEeprom:
      return RunReadAttinyEepromAfterReset();
  }
}

}  // namespace velmora
