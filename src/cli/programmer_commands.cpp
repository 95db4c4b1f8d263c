// `velmora-cli programmer`: "Reset and identifies Programmer". Opens the full programmer,
// closes it again and prints the status line: the firmware version, or why there is none.
#include <iostream>
#include <memory>

#include "cli/cli_common.h"
#include "cli/programmer_selection.h"
#include "link/pic_vortang.h"
#include "link/programmer_identity.h"
#include "platform/clock.h"

namespace velmora::cli {

namespace {

int RunProgrammer(const ProgrammerSelection& options, const GlobalOptions& global) {
  CliPrompt prompt(std::cerr);
  prompt.answerYes = global.yes;
  std::string driverPath;
  std::unique_ptr<sim::SimClient> simulator;  // keeps the simulator loaded for the run
  try {
    driverPath = SelectDriver(options, /*mini=*/false, simulator);
  } catch (const SelectionError& e) {
    return ReportSelectionError(e);
  }
  CPICVortang link(prompt, DefaultClock(), driverPath);
  if (global.verbose) {
    std::cerr << "velmora-cli: driver library: "
              << (link.driverLibraryName.empty() ? "none" : link.driverLibraryName) << "\n";
  }
  const int opened = link.Open(kProgrammerDescription, 0);
  link.Close();
  std::cout << link.statusText << "\n";
  return opened ? kExitSuccess : kExitNoProgrammer;
}

}  // namespace

void AddProgrammerCommands(CLI::App& app, CommandContext& context) {
  auto options = std::make_shared<ProgrammerSelection>();
  auto* command = app.add_subcommand("programmer",
                                     "Reset and identifies Programmer: print the firmware version");
  AddProgrammerSelectionOptions(*command, *options);
  command->callback(
      [options, &context] { context.exitCode = RunProgrammer(*options, context.global); });
}

}  // namespace velmora::cli
