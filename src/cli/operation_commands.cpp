// `velmora-cli identify|program|verify|read|erase|update|config read|dump`: the operations of
// the family views, run on the same document as the GUI's. The stored settings are the
// defaults (never written back); options override them for this run. Log lines and the status
// bar go to stdout, questions to stderr.
#include <unistd.h>

#include <iostream>
#include <map>
#include <memory>

#include "cli/cli_common.h"
#include "cli/programmer_selection.h"
#include "engine/console_view.h"
#include "engine/cqel_doc.h"
#include "engine/settings_store_qt.h"
#include "engine/text_format.h"
#include "link/pic_vortang.h"
#include "platform/clock.h"

namespace velmora::cli {

namespace {

// Everything an operation command may be given.
struct OperationOptions {
  std::string family = "pic18";
  std::string hexFile;
  std::string outFile;
  bool saveEmpty = false;
  bool noVerify = false;
  bool fastVerify = false;
  bool lvp = false;
  bool mini = false;
  std::string power;
  bool configFromOptions = false;
  std::string eraseTarget;
  std::string dumpTarget;
  ProgrammerSelection programmer;
  // The five enable settings: set when the flag was given, else the stored value stays.
  std::map<std::string, bool> enables;
};

// One enable setting: its flag pair and the document member it overrides.
struct EnableFlag {
  const char* name;  // --NAME / --no-NAME
  const char* help;
  int32_t DocumentSettings::*member;
};

constexpr EnableFlag kEnableFlags[] = {
    {.name = "chip-erase",
     .help = "erase the whole chip first",
     .member = &DocumentSettings::enableChipErase},
    {.name = "flash",
     .help = "include flash memory",
     .member = &DocumentSettings::enableFlashUpdate},
    {.name = "eeprom",
     .help = "include the data EEPROM",
     .member = &DocumentSettings::enableEepromUpdate},
    {.name = "id",
     .help = "include the ID locations",
     .member = &DocumentSettings::enableIdLocationUpdate},
    {.name = "config",
     .help = "include the configuration",
     .member = &DocumentSettings::enableConfigurationUpdate},
};

// The power switching choices by name; a plain index 0..15 is accepted too.
const std::map<std::string, int> kPowerModes = {
    {"none", 0},
    {"manual", 1},
    {"relay-1ms-off", 2},
    {"relay-1ms-on", 3},
    {"relay-50ms-off", 4},
    {"relay-50ms-on", 5},
    {"relay-250ms-off", 6},
    {"relay-250ms-on", 7},
    {"relay-500ms-off", 8},
    {"relay-500ms-on", 9},
    {"relay-1s-off", 10},
    {"relay-1s-on", 11},
    {"relay-2.5s-off", 12},
    {"relay-2.5s-on", 13},
    {"relay-5s-off", 14},
    {"relay-5s-on", 15},
};

std::optional<int> ParsePowerMode(const std::string& text) {
  if (auto it = kPowerModes.find(text); it != kPowerModes.end()) return it->second;
  try {
    size_t used = 0;
    const int index = std::stoi(text, &used);
    if (used == text.size() && index >= 0 && index < kPowerSwitchingModes) return index;
  } catch (const std::exception&) {
  }
  return std::nullopt;
}

void AddLinkOptions(CLI::App* command, OperationOptions& o) {
  command->add_option("--family", o.family, "device family")->check(CLI::IsMember({"pic18"}));
  command->add_flag("--mini", o.mini, "use the mini programmer (bit-bang, no firmware)");
  command->add_flag("--lvp", o.lvp, "enter programming mode with low voltage (PGM pin)");
  command->add_option("--power", o.power,
                      "power switching: none, manual, relay-<1ms|50ms|250ms|500ms|1s|2.5s|5s>-"
                      "<off|on> (after programming), or the index 0..15");
  AddProgrammerSelectionOptions(*command, o.programmer);
}

void AddVerifyOptions(CLI::App* command, OperationOptions& o) {
  command->add_flag("--no-verify", o.noVerify, "do not read anything back");
  command->add_flag("--fast-verify", o.fastVerify, "read back only what the HEX file gives");
}

void AddEnableFlags(CLI::App* command, OperationOptions& o) {
  for (const EnableFlag& flag : kEnableFlags) {
    const std::string name = flag.name;
    command
        ->add_flag_callback(
            "--" + name, [&o, name] { o.enables[name] = true; }, std::string("yes: ") + flag.help)
        ->group("Memory parts (default: the stored settings)");
    command
        ->add_flag_callback(
            "--no-" + name, [&o, name] { o.enables[name] = false; },
            std::string("no: ") + flag.help)
        ->group("Memory parts (default: the stored settings)");
  }
}

void AddHexOption(CLI::App* command, OperationOptions& o) {
  command->add_option("--hex", o.hexFile, "Intel HEX file (default: the stored file name)");
  command->add_flag("--config-from-options", o.configFromOptions,
                    "take the configuration from the stored options, not from the HEX file");
}

// Runs one PIC18 command on a document set up from the stored settings and the options.
int RunPic18(Pic18Command command, const OperationOptions& o, const GlobalOptions& global) {
  std::optional<int> power;
  if (!o.power.empty() && !(power = ParsePowerMode(o.power))) {
    std::cerr << "velmora-cli: unknown power switching mode \"" << o.power << "\"\n";
    return kExitUsage;
  }
  std::string driverPath;
  std::unique_ptr<sim::SimClient> simulator;  // keeps the simulator loaded for the run
  try {
    driverPath = SelectDriver(o.programmer, o.mini, simulator);
  } catch (const std::exception& e) {
    std::cerr << "velmora-cli: " << e.what() << "\n";
    return kExitUsage;
  }

  SystemClock clock;
  CliPrompt prompt(std::cerr);
  prompt.answerYes = global.yes;
  if (!o.outFile.empty()) prompt.hexSave = HexSaveChoice{o.outFile, o.saveEmpty};

  // No store handed to the document: it never writes the user's settings.
  CqelDoc doc({.clock = clock, .prompt = prompt, .driverLibraryPath = driverPath});
  doc.LoadSettings(QtSettingsStore());
  doc.usesMiniProgrammer = o.mini ? 1 : 0;
  doc.noVerify = o.noVerify ? 1 : 0;
  doc.fastVerify = o.fastVerify ? 1 : 0;
  if (o.lvp) doc.lowVoltageProgramming = 1;
  if (power) doc.powerSwitching = *power;
  if (o.configFromOptions) doc.ignoreConfigFromFile = 1;
  if (!o.hexFile.empty()) doc.hexFileName = o.hexFile;
  for (const EnableFlag& flag : kEnableFlags) {
    if (auto it = o.enables.find(flag.name); it != o.enables.end()) {
      doc.*flag.member = it->second ? 1 : 0;
    }
  }
  const bool needsHex = command == Pic18Command::kProgram || command == Pic18Command::kVerify ||
                        command == Pic18Command::kUpdate;
  if (needsHex && doc.hexFileName.empty()) {
    std::cerr << "velmora-cli: no HEX file (--hex FILE)\n";
    return kExitUsage;
  }

  ConsoleView console(std::cout, isatty(STDOUT_FILENO) != 0);
  doc.operationLog.AddObserver([&console](const LogEvent& e) { console.OnLog(e); });
  doc.progressBar.AddObserver([&console](const ProgressBarState& s) { console.OnProgress(s); });

  const bool started = doc.StartPic18Command(command);
  doc.WaitForOperation();
  console.Finish();
  if (command == Pic18Command::kReadConfiguration &&
      doc.lastOutcome == OperationOutcome::kSuccess) {
    // The settings are never written here, so show what the GUI would store.
    std::cout << "PIC18 Configuration:";
    for (uint8_t byte : doc.pic18Configuration) std::cout << Printf(" %02X", byte);
    std::cout << "\n";
  }
  if (!started && doc.lastOutcome == OperationOutcome::kNotStarted) return kExitFailed;
  switch (doc.lastOutcome.load()) {
    case OperationOutcome::kSuccess:
      return kExitSuccess;
    case OperationOutcome::kNoProgrammer:
      return kExitNoProgrammer;
    default:
      return kExitFailed;
  }
}

CLI::App* AddCommand(CLI::App& app, const std::string& name, const std::string& help,
                     OperationOptions& o) {
  CLI::App* command = app.add_subcommand(name, help);
  AddLinkOptions(command, o);
  return command;
}

}  // namespace

void AddOperationCommands(CLI::App& app, CommandContext& context) {
  auto options = std::make_shared<OperationOptions>();
  OperationOptions& o = *options;
  auto run = [options, &context](Pic18Command command) {
    return [options, &context, command] {
      context.exitCode = RunPic18(command, *options, context.global);
    };
  };

  CLI::App* identify = AddCommand(app, "identify", "identify the target device", o);
  AddVerifyOptions(identify, o);
  identify->callback(run(Pic18Command::kIdentify));

  for (auto [name, command, help] :
       {std::tuple{"program", Pic18Command::kProgram, "erase, program and verify the target"},
        std::tuple{"verify", Pic18Command::kVerify, "compare the target with a HEX file"}}) {
    CLI::App* sub = AddCommand(app, name, help, o);
    AddHexOption(sub, o);
    AddVerifyOptions(sub, o);
    AddEnableFlags(sub, o);
    sub->callback(run(command));
  }

  CLI::App* read = AddCommand(app, "read", "read the target and save it as Intel HEX", o);
  read->add_option("--out", o.outFile, "the HEX file to write")->required();
  read->add_flag("--save-empty", o.saveEmpty, "save empty areas (filled up with 0xFF)");
  AddVerifyOptions(read, o);
  AddEnableFlags(read, o);
  read->callback(run(Pic18Command::kRead));

  CLI::App* erase = AddCommand(app, "erase", "erase the chip, the EEPROM or the ID locations", o);
  erase->add_option("what", o.eraseTarget, "chip, eeprom or id")
      ->required()
      ->check(CLI::IsMember({"chip", "eeprom", "id"}));
  erase->callback([options, &context] {
    const Pic18Command command = options->eraseTarget == "chip" ? Pic18Command::kEraseChip
                                 : options->eraseTarget == "eeprom"
                                     ? Pic18Command::kEraseEeprom
                                     : Pic18Command::kEraseIdLocation;
    context.exitCode = RunPic18(command, *options, context.global);
  });

  CLI::App* update = AddCommand(app, "update", "program only the changed flash blocks", o);
  AddHexOption(update, o);
  update->callback(run(Pic18Command::kUpdate));

  CLI::App* config = app.add_subcommand("config", "device configuration");
  config->require_subcommand(1);
  CLI::App* configRead =
      AddCommand(*config, "read", "read the configuration into the options (shown, not stored)", o);
  configRead->callback(run(Pic18Command::kReadConfiguration));

  CLI::App* dump = AddCommand(app, "dump", "show the RAM or the EEPROM after a reset", o);
  dump->add_option("what", o.dumpTarget, "ram or eeprom")
      ->required()
      ->check(CLI::IsMember({"ram", "eeprom"}));
  dump->callback([options, &context] {
    const Pic18Command command =
        options->dumpTarget == "ram" ? Pic18Command::kDumpRam : Pic18Command::kDumpEeprom;
    context.exitCode = RunPic18(command, *options, context.global);
  });
}

}  // namespace velmora::cli
