// The commands of the ATmega pages as every front end runs them, and the command line's AVR
// options: the preparation on the calling thread (HEX file, EEPROM file), then the operation on
// the calling thread or on the document's worker.
#include <charconv>

#include "engine/cqel_doc.h"
#include "engine/text_format.h"
#include "families/avr/avr_operations.h"
#include "link/pic_vortang.h"
#include "memory/intel_hex.h"

namespace velmora {

namespace {

using namespace command_input;
constexpr uint32_t kParts = kVerifyOptions | kChipErase | kMemoryParts;

constexpr FamilyCommand kAvrCommands[] = {
    {.id = int(AvrCommand::kIdentify),
     .name = "identify",
     .help = "identify the target device",
     .onWorker = false,
     .inputs = 0},
    {.id = int(AvrCommand::kProgram),
     .name = "program",
     .help = "erase, program and verify the target (flash, EEPROM, fuses and lock bits)",
     .onWorker = true,
     .inputs = kHexFile | kConfigFromOptions | kParts},
    {.id = int(AvrCommand::kVerify),
     .name = "verify",
     .help = "compare the target with a HEX file",
     .onWorker = true,
     .inputs = kHexFile | kConfigFromOptions | kParts},
    {.id = int(AvrCommand::kRead),
     .name = "read",
     .help = "read the target and save it as Intel HEX",
     .onWorker = true,
     .inputs = kSaveFile | kParts},
    {.id = int(AvrCommand::kReadConfiguration),
     .name = "fuses read",
     .help = "read the fuse, lock and calibration bytes (shown, not stored)",
     .onWorker = false,
     .inputs = 0},
    {.id = int(AvrCommand::kDumpEeprom),
     .name = "dump eeprom",
     .help = "show the EEPROM after a reset",
     .onWorker = false,
     .inputs = 0},
    {.id = int(AvrCommand::kFactoryReset),
     .name = "factory reset",
     .help = "chip erase and the factory fuses (clock on the programmer's SCL pin)",
     .onWorker = false,
     .inputs = 0},
    {.id = int(AvrCommand::kReanimateHighVoltage),
     .name = "reanimate hv",
     .help = "parallel high-voltage fuse restorer",
     .onWorker = false,
     .inputs = 0},
    {.id = int(AvrCommand::kScanInstructions),
     .name = "scan instructions",
     .help = "diagnostic scan of serial programming instructions (long)",
     .onWorker = true,
     .inputs = 0},
};

CAvrOperations& AvrOperationsOf(CqelDoc& doc) {
  if (IFamilyOperations* existing = doc.FamilyOperations(Family::kAvr)) {
    return static_cast<CAvrOperations&>(*existing);
  }
  return static_cast<CAvrOperations&>(
      doc.AdoptFamilyOperations(Family::kAvr, std::make_unique<CAvrOperations>(doc)));
}

constexpr uint64_t Bit(AvrCommand command) {
  return uint64_t{1} << static_cast<int>(command);
}

const FamilyCliOption kAvrCliOptions[] = {
    {.name = "--eeprom-file",
     .help = "Intel HEX file with the EEPROM content (addresses from 0, as avr-objcopy writes it)",
     .takesValue = true,
     .commands = Bit(AvrCommand::kProgram) | Bit(AvrCommand::kVerify),
     .apply =
         [](CqelDoc& doc, const std::string& value, std::string&) {
           AvrOperationsOf(doc).SetEepromFile(value);
           return true;
         }},
    {.name = "--eeprom-out",
     .help = "save the EEPROM read into its own HEX file (addresses from 0)",
     .takesValue = true,
     .commands = Bit(AvrCommand::kRead),
     .apply =
         [](CqelDoc& doc, const std::string& value, std::string&) {
           AvrOperationsOf(doc).eepromOutFile = value;
           return true;
         }},
    {.name = "--speed",
     .help = "link speed 0..5: 32 kHz normal, 32 kHz fast, 1 MHz normal, 1 MHz fast, 6.7 MHz, "
             "10-12 MHz and >15 MHz",
     .takesValue = true,
     .commands = 0,
     .apply =
         [](CqelDoc& doc, const std::string& value, std::string& error) {
           int speed = -1;
           const auto [end, ec] = std::from_chars(value.data(), value.data() + value.size(), speed);
           if (ec != std::errc() || end != value.data() + value.size() || speed < 0 || speed > 5) {
             error = "takes 0..5, not \"" + value + "\"";
             return false;
           }
           doc.atmegaSpeed = speed;
           return true;
         }},
    {.name = "--force-fuses",
     .help = "write fuses and lock bits even when they would lock the programmer out",
     .takesValue = false,
     .commands = Bit(AvrCommand::kProgram),
     .apply =
         [](CqelDoc& doc, const std::string&, std::string&) {
           AvrOperationsOf(doc).fuseSafety = FuseSafety::kForce;
           return true;
         }},
};

}  // namespace

std::span<const FamilyCommand> AvrCommands() {
  return kAvrCommands;
}

std::span<const FamilyCliOption> AvrCliOptions() {
  return kAvrCliOptions;
}

bool CAvrOperations::Prepare(int command) {
  const auto which = static_cast<AvrCommand>(command);
  if (which != AvrCommand::kProgram && which != AvrCommand::kVerify) return true;
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

void CAvrOperations::Run(int command) {
  switch (static_cast<AvrCommand>(command)) {
    case AvrCommand::kIdentify:
      return RunIdentifyAtmega();
    case AvrCommand::kProgram:
      return RunAtmegaSequence(Program);
    case AvrCommand::kVerify:
      return RunAtmegaSequence(Verify);
    case AvrCommand::kRead:
      return RunAtmegaSequence(Read);
    case AvrCommand::kReadConfiguration:
      return RunReadAtmegaConfiguration();
    case AvrCommand::kDumpEeprom:
      return RunReadAtmegaEepromAfterReset();
    case AvrCommand::kFactoryReset:
      return RunFactoryResetAtmega();
    case AvrCommand::kReanimateHighVoltage:
      return RunReanimateAtmegaParallelHv();
    case AvrCommand::kScanInstructions:
      return RunScanAtmegaSerialInstructions();
  }
}

}  // namespace velmora
