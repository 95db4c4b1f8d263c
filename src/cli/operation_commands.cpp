// `velmora-cli identify|program|verify|read|erase|update|config|dump|...`: the commands of the
// family pages, built from the family registry and run on the same document as the GUI's. A
// command of two words ("erase chip") becomes a subcommand with a choice. The stored settings
// are the defaults (never written back); options override them for this run. Log lines, results
// and the closing summary go to stdout; the status bar, questions and errors to stderr.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <set>
#include <vector>

#include "cli/cli_common.h"
#include "cli/console_view.h"
#include "cli/programmer_selection.h"
#include "cli/stop_signals.h"
#include "cli/stored_settings.h"
#include "engine/cqel_doc.h"
#include "families/family_registry.h"
#include "link/pic_vortang.h"
#include "link/power_modes.h"
#include "memory/image_summary.h"
#include "platform/clock.h"

namespace velmora::cli {

namespace {

constexpr char kDefaultFamily[] = "pic18";

// Everything an operation command may be given.
struct OperationOptions {
  std::string family = kDefaultFamily;
  std::string choice;  // the second word of a two-word command
  std::string hexFile;
  std::string outFile;
  bool saveEmpty = false;
  bool noVerify = false;
  bool fastVerify = false;
  bool lvp = false;
  bool mini = false;
  std::string power;
  bool configFromOptions = false;
  ProgrammerSelection programmer;
  // The enable settings: set when the flag was given, else the stored value stays.
  std::map<std::string, bool> enables;
  // Family options given, by name, with their values ("" for a flag).
  std::map<std::string, std::string> familyOptions;
  // Which inputs were given, as command_input bits, to refuse what the command does not take.
  uint32_t given = 0;
};

// One enable setting: its flag pair, the setting it overrides and the input it is.
struct EnableFlag {
  const char* name;     // --NAME / --no-NAME
  const char* help;     // what --NAME does
  const char* without;  // what --no-NAME does
  int32_t* FamilySettings::*setting;
  uint32_t input;
};

constexpr EnableFlag kEnableFlags[] = {
    {.name = "chip-erase",
     .help = "erase the whole chip first",
     .without = "do not erase the chip first",
     .setting = &FamilySettings::chipErase,
     .input = command_input::kChipErase},
    {.name = "flash",
     .help = "include flash memory",
     .without = "leave out flash memory",
     .setting = &FamilySettings::flash,
     .input = command_input::kMemoryParts},
    {.name = "eeprom",
     .help = "include the data EEPROM",
     .without = "leave out the data EEPROM",
     .setting = &FamilySettings::eeprom,
     .input = command_input::kMemoryParts},
    {.name = "id",
     .help = "include the ID locations",
     .without = "leave out the ID locations",
     .setting = &FamilySettings::idLocations,
     .input = command_input::kMemoryParts},
    {.name = "config",
     .help = "include the configuration",
     .without = "leave out the configuration",
     .setting = &FamilySettings::configuration,
     .input = command_input::kMemoryParts},
};

// A subcommand as the registry's families offer it: its commands by family, under the
// subcommand's second word ("" for a one-word command).
struct Subcommand {
  std::string name;
  std::string help = {};
  std::map<std::string, std::map<Family, const FamilyCommand*>> byChoice = {};
  uint32_t inputs = 0;
  std::vector<const FamilyCliOption*> familyOptions = {};
};

// The family's own settings where it keeps them, the document's general ones elsewhere.
FamilySettings SettingsOf(CqelDoc& doc, const FamilyRow& row) {
  FamilySettings s = row.settings ? row.settings(doc) : FamilySettings{};
  auto fill = [](auto*& field, auto* general) {
    if (!field) field = general;
  };
  fill(s.chipErase, &doc.enableChipErase);
  fill(s.flash, &doc.enableFlashUpdate);
  fill(s.eeprom, &doc.enableEepromUpdate);
  fill(s.idLocations, &doc.enableIdLocationUpdate);
  fill(s.configuration, &doc.enableConfigurationUpdate);
  fill(s.fastVerify, &doc.fastVerify);
  fill(s.noVerify, &doc.noVerify);
  fill(s.configFromOptions, &doc.ignoreConfigFromFile);
  fill(s.hexFile, &doc.hexFileName);
  return s;
}

bool HasOperations(const FamilyRow& row) {
  return row.makeOperations && !row.commands.empty();
}

std::pair<std::string, std::string> SplitName(const std::string& name) {
  const size_t space = name.find(' ');
  if (space == std::string::npos) return {name, ""};
  return {name.substr(0, space), name.substr(space + 1)};
}

bool OptionApplies(const FamilyCliOption& option, const FamilyCommand& command) {
  return option.commands == 0 || (command.id < 64 && (option.commands >> command.id) & 1);
}

// The subcommands of every family with operations, in the order their commands first appear.
std::vector<Subcommand> CollectSubcommands() {
  std::vector<Subcommand> subcommands;
  for (const FamilyRow* row : Families()) {
    if (!HasOperations(*row)) continue;
    for (const FamilyCommand& command : row->commands) {
      const auto [word, choice] = SplitName(command.name);
      auto it = std::ranges::find(subcommands, word, &Subcommand::name);
      if (it == subcommands.end()) {
        subcommands.push_back({.name = word});
        it = subcommands.end() - 1;
      }
      it->byChoice[choice][row->family] = &command;
      it->inputs |= command.inputs;
      if (it->help.empty() || !choice.empty()) {
        it->help = choice.empty()
                       ? command.help
                       : (it->help.empty() ? "" : it->help + "; ") + choice + ": " + command.help;
      }
      for (const FamilyCliOption& option : row->cliOptions) {
        // Families may share an option name ("--config-word"): one option on the command
        // line, applied by the family chosen.
        const auto sameName = [&option](const FamilyCliOption* o) {
          return std::string_view(o->name) == option.name;
        };
        if (OptionApplies(option, command) && std::ranges::none_of(it->familyOptions, sameName)) {
          it->familyOptions.push_back(&option);
        }
      }
    }
  }
  return subcommands;
}

std::vector<std::string> FamilyNames() {
  std::vector<std::string> names;
  for (const FamilyRow* row : Families()) {
    if (HasOperations(*row)) names.emplace_back(row->name);
  }
  return names;
}

void AddLinkOptions(CLI::App* command, OperationOptions& o) {
  const std::vector<std::string> families = FamilyNames();
  std::string help = "device family:";
  for (const std::string& name : families) help += " " + name;
  command->add_option("--family", o.family, help + " (default " + kDefaultFamily + ")")
      ->check(CLI::IsMember(families));
  command->add_flag("--mini", o.mini, "use the mini programmer (bit-bang, no firmware)");
  command->add_flag("--lvp", o.lvp, "enter programming mode with low voltage (PGM pin)");
  command->add_option("--power", o.power,
                      "power switching: none, manual, relay-<1ms|50ms|250ms|500ms|1s|2.5s|5s>-"
                      "<off|on> (after programming), or the index 0..15");
  AddProgrammerSelectionOptions(*command, o.programmer);
}

void AddInputOptions(CLI::App* command, uint32_t inputs, OperationOptions& o) {
  using namespace command_input;
  auto mark = [&o](uint32_t input) { return [&o, input](auto&&...) { o.given |= input; }; };
  if (inputs & kHexFile) {
    command->add_option("--hex", o.hexFile, "Intel HEX file (default: the stored file name)")
        ->each(mark(kHexFile));
  }
  if (inputs & kConfigFromOptions) {
    command->add_flag_callback(
        "--config-from-options",
        [&o] {
          o.configFromOptions = true;
          o.given |= kConfigFromOptions;
        },
        "take the configuration from the stored options, not from the HEX file");
  }
  if (inputs & kSaveFile) {
    command->add_option("--out", o.outFile, "the HEX file to write")
        ->required()
        ->each(mark(kSaveFile));
    command->add_flag("--save-empty", o.saveEmpty, "save empty areas (filled up with 0xFF)");
  }
  if (inputs & kNoVerify) {
    command->add_flag_callback(
        "--no-verify",
        [&o] {
          o.noVerify = true;
          o.given |= kNoVerify;
        },
        "do not read anything back");
  }
  if (inputs & kFastVerify) {
    command->add_flag_callback(
        "--fast-verify",
        [&o] {
          o.fastVerify = true;
          o.given |= kFastVerify;
        },
        "read back only what the HEX file gives");
  }
  for (const EnableFlag& flag : kEnableFlags) {
    if (!(inputs & flag.input)) continue;
    const std::string name = flag.name;
    const uint32_t input = flag.input;
    const char* group = "Memory parts (default: the stored settings)";
    command
        ->add_flag_callback(
            "--" + name,
            [&o, name, input] {
              o.enables[name] = true;
              o.given |= input;
            },
            flag.help)
        ->group(group);
    command
        ->add_flag_callback(
            "--no-" + name,
            [&o, name, input] {
              o.enables[name] = false;
              o.given |= input;
            },
            flag.without)
        ->group(group);
  }
}

void AddFamilyOptions(CLI::App* command, const Subcommand& sub, OperationOptions& o) {
  for (const FamilyCliOption* option : sub.familyOptions) {
    const std::string name = option->name;
    if (option->takesValue) {
      command->add_option_function<std::string>(
          name, [&o, name](const std::string& value) { o.familyOptions[name] = value; },
          option->help);
    } else {
      command->add_flag_callback(
          name, [&o, name] { o.familyOptions[name] = ""; }, option->help);
    }
  }
}

// What was given that the family's command does not take; empty when all of it applies.
std::string RefusedInput(const FamilyRow& row, const FamilyCommand& command,
                         const OperationOptions& o) {
  if (o.given & ~command.inputs) {
    return "an option given does not apply to \"" + std::string(command.name) + "\" of family " +
           std::string(row.name);
  }
  for (const auto& [name, value] : o.familyOptions) {
    const auto it = std::ranges::find_if(row.cliOptions, [&](const FamilyCliOption& option) {
      return name == option.name && OptionApplies(option, command);
    });
    if (it == row.cliOptions.end()) {
      return name + " does not apply to \"" + command.name + "\" of family " +
             std::string(row.name);
    }
  }
  return {};
}

const FamilyCommand* FindCommand(const Subcommand& sub, const FamilyRow* row,
                                 const std::string& choice) {
  const auto byChoice = sub.byChoice.find(choice);
  if (!row || byChoice == sub.byChoice.end()) return nullptr;
  const auto it = byChoice->second.find(row->family);
  return it == byChoice->second.end() ? nullptr : it->second;
}

// Applies the options to the document loaded from the stored settings; false after reporting
// an option that cannot be applied.
bool ApplyOptions(CqelDoc& doc, const FamilyRow& row, const OperationOptions& o,
                  std::optional<int> power) {
  doc.usesMiniProgrammer = o.mini ? 1 : 0;
  const FamilySettings settings = SettingsOf(doc, row);
  *settings.noVerify = o.noVerify ? 1 : 0;
  *settings.fastVerify = o.fastVerify ? 1 : 0;
  if (o.lvp) doc.lowVoltageProgramming = 1;
  if (power) doc.powerSwitching = *power;
  if (o.configFromOptions) *settings.configFromOptions = 1;
  if (!o.hexFile.empty()) *settings.hexFile = o.hexFile;
  for (const EnableFlag& flag : kEnableFlags) {
    if (auto it = o.enables.find(flag.name); it != o.enables.end()) {
      *(settings.*flag.setting) = it->second ? 1 : 0;
    }
  }
  for (const FamilyCliOption& option : row.cliOptions) {
    const auto given = o.familyOptions.find(option.name);
    if (given == o.familyOptions.end()) continue;
    std::string error;
    if (!option.apply(doc, given->second, error)) {
      ReportError(option.name, error);
      return false;
    }
  }
  return true;
}

// Manual power switching asks the user to switch: on a terminal the run waits for Enter, else
// only --yes lets it go on (the user has switched already). False after reporting.
bool PreparePowerQuestions(const CqelDoc& doc, const GlobalOptions& global, CliPrompt& prompt) {
  if (PowerModeAt(doc.powerSwitching).kind != PowerKind::kManual) return true;
  if (isatty(STDIN_FILENO)) {
    prompt.waitForEnter = true;
    return true;
  }
  if (global.yes) return true;
  ReportError("--power manual",
              "waits for Enter on a terminal; without one, switch the power yourself and give "
              "--yes");
  return false;
}

// "summary: program, device PIC18F4550, file F, 1234 bytes written, 1234 bytes verified,
// 1.23 s, success": one line after every operation.
std::string SummaryLine(const std::string& word, CqelDoc& doc, const FamilySettings& settings,
                        const FamilyCommand& command, const std::string& outFile, double seconds) {
  auto bytesOf = [](const CMCUMemoryArchitecture& image) {
    uint64_t bytes = 0;
    for (const WindowSummary& w : SummarizeImage(image)) bytes += w.byteCount;
    return bytes;
  };
  const bool success = doc.lastOutcome == OperationOutcome::kSuccess;
  std::string line =
      "summary: " + std::string(command.name) + ", device " + doc.programmer->fileImage.deviceName;
  if (command.Takes(command_input::kHexFile)) line += ", file " + *settings.hexFile;
  if (command.Takes(command_input::kSaveFile)) line += ", file " + outFile;
  if (success) {
    const bool verified = !*settings.noVerify;
    if (word == "program") {
      const uint64_t bytes = bytesOf(doc.programmer->fileImage);
      line += ", " + std::to_string(bytes) + " bytes written, " +
              std::to_string(verified ? bytes : 0) + " bytes verified";
    } else if (word == "verify" || word == "update") {
      line += ", " + std::to_string(bytesOf(doc.programmer->fileImage)) + " bytes verified";
    } else if (word == "read") {
      line += ", " + std::to_string(bytesOf(doc.programmer->chipImage)) + " bytes read";
    }
  }
  char elapsed[32];
  std::snprintf(elapsed, sizeof elapsed, ", %.2f s, ", seconds);
  const char* result = success                                              ? "success"
                       : doc.lastOutcome == OperationOutcome::kNoProgrammer ? "no programmer"
                                                                            : "failed";
  return line + elapsed + result;
}

int ExitCodeOf(OperationOutcome outcome) {
  switch (outcome) {
    case OperationOutcome::kSuccess:
      return kExitSuccess;
    case OperationOutcome::kNoProgrammer:
      return kExitNoProgrammer;
    default:
      return kExitFailed;
  }
}

// Why the read data may not go to `path`, checked before the operation reads anything: only a
// regular file is replaced (a symbolic link is written through to its target); empty when
// the path may be written.
std::string RefusedOutputFile(const std::string& path) {
  struct stat st {};
  if (path.empty() || ::stat(path.c_str(), &st) != 0 || S_ISREG(st.st_mode)) return {};
  return "\"" + path + "\" is " + (S_ISDIR(st.st_mode) ? "a directory" : "not a regular file") +
         "; it is never replaced";
}

// Runs one family command on a document set up from the stored settings and the options.
int RunFamilyCommand(const Subcommand& sub, const OperationOptions& o,
                     const GlobalOptions& global) {
  const FamilyRow* row = FindFamily(o.family);
  const FamilyCommand* command = FindCommand(sub, row, o.choice);
  if (!command) {
    ReportError("--family " + o.family,
                "no command \"" + sub.name + (o.choice.empty() ? "" : " " + o.choice) + "\"");
    return kExitUsage;
  }
  if (const std::string refused = RefusedInput(*row, *command, o); !refused.empty()) {
    ReportError(sub.name, refused);
    return kExitUsage;
  }
  std::optional<int> power;
  if (!o.power.empty() && !(power = ParsePowerMode(o.power))) {
    ReportError("--power " + o.power, "unknown power switching mode");
    return kExitUsage;
  }
  std::string driverPath;
  std::unique_ptr<sim::SimClient> simulator;  // keeps the simulator loaded for the run
  try {
    driverPath = SelectDriver(o.programmer, o.mini, simulator);
  } catch (const SelectionError& e) {
    return ReportSelectionError(e);
  }

  SystemClock clock;
  CliPrompt prompt(std::cerr);
  prompt.answerYes = global.yes;
  if (!o.outFile.empty()) prompt.hexSave = HexSaveChoice{o.outFile, o.saveEmpty};

  // No store handed to the document: it never writes the user's settings.
  CqelDoc doc({.clock = clock, .prompt = prompt, .driverLibraryPath = driverPath});
  const std::unique_ptr<ISettingsStore> stored = OpenStoredSettings();
  if (!stored) return kExitFailed;
  doc.LoadSettings(*stored);
  if (!ApplyOptions(doc, *row, o, power)) return kExitUsage;
  const FamilySettings settings = SettingsOf(doc, *row);
  if (command->Takes(command_input::kHexFile)) {
    if (settings.hexFile->empty()) {
      ReportError("--hex", "no HEX file given and none stored");
      return kExitUsage;
    }
  }
  if (!PreparePowerQuestions(doc, global, prompt)) return kExitUsage;
  if (global.verbose) {
    std::cerr << "velmora-cli: driver library: "
              << (doc.programmer->driverLibraryName.empty() ? "none"
                                                            : doc.programmer->driverLibraryName)
              << "\n";
  }

  if (const std::string refused = RefusedOutputFile(o.outFile); !refused.empty()) {
    ReportError("--out", refused);
    return kExitUsage;
  }

  ConsoleView console(std::cout, std::cerr, isatty(STDOUT_FILENO) != 0, isatty(STDERR_FILENO) != 0);
  if (!global.quiet) {
    doc.operationLog.AddObserver([&console](const LogEvent& e) { console.OnLog(e); });
    doc.progressBar.AddObserver([&console](const ProgressBarState& s) { console.OnProgress(s); });
  }

  IFamilyOperations& operations = OperationsOf(doc, *row);
  const StopOnSignals signals(doc);
  const auto start = std::chrono::steady_clock::now();
  const bool started = doc.StartCommand(operations, *command);
  doc.WaitForOperation();
  const std::chrono::duration<double> elapsed = std::chrono::steady_clock::now() - start;
  console.Finish();
  if (signals.Signalled()) {
    std::cerr << "interrupted\n";
    return kExitInterrupted;
  }
  if (doc.lastOutcome == OperationOutcome::kSuccess) {
    if (const std::string text = operations.ResultText(command->id); !text.empty()) {
      std::cout << text << "\n";
    }
  }
  std::cout << SummaryLine(sub.name, doc, settings, *command, o.outFile, elapsed.count()) << "\n";
  if (!started && doc.lastOutcome == OperationOutcome::kNotStarted) return kExitFailed;
  return ExitCodeOf(doc.lastOutcome.load());
}

}  // namespace

void AddOperationCommands(CLI::App& app, CommandContext& context) {
  auto options = std::make_shared<OperationOptions>();
  for (Subcommand& sub : CollectSubcommands()) {
    auto shared = std::make_shared<Subcommand>(std::move(sub));
    CLI::App* command = app.add_subcommand(shared->name, shared->help);
    AddLinkOptions(command, *options);
    AddInputOptions(command, shared->inputs, *options);
    AddFamilyOptions(command, *shared, *options);
    std::vector<std::string> choices;
    for (const auto& [choice, commands] : shared->byChoice) {
      if (!choice.empty()) choices.push_back(choice);
    }
    if (!choices.empty()) {
      std::string list;
      for (const std::string& c : choices) list += (list.empty() ? "" : ", ") + c;
      CLI::Option* what =
          command->add_option("what", options->choice, list)->check(CLI::IsMember(choices));
      if (!shared->byChoice.contains("")) what->required();
    }
    command->callback([options, shared, &context] {
      context.exitCode = RunFamilyCommand(*shared, *options, context.global);
    });
  }
}

}  // namespace velmora::cli
