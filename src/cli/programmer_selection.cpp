#include "cli/programmer_selection.h"

#include <dlfcn.h>

#include "cli/cli_common.h"
#include "cli/device_names.h"
#include "link/dynamic_library.h"

namespace velmora::cli {

void AddProgrammerSelectionOptions(CLI::App& command, ProgrammerSelection& selection) {
  auto* simulate = command.add_option("--simulate", selection.simulate,
                                      "use the simulated programmer with this target device");
  auto* scenario =
      command.add_option("--scenario", selection.scenario,
                         "use the simulated programmer with this scenario file (JSON)");
  command
      .add_option("--driver", selection.driver,
                  "FT232 driver library to load instead of the standard lookup")
      ->excludes(simulate)
      ->excludes(scenario);
}

namespace {

// The loader's own reason, for the error message.
std::string LoadFailure(const std::string& path) {
  DynamicLibrary library = DynamicLibrary::Load(path);
  if (library) return {};
  const char* reason = dlerror();
  return reason ? reason : "cannot be loaded";
}

}  // namespace

std::string SelectDriver(const ProgrammerSelection& selection, bool mini,
                         std::unique_ptr<sim::SimClient>& simulator) {
  if (selection.simulate.empty() && selection.scenario.empty()) {
    if (!selection.driver.empty()) {
      if (const std::string failure = LoadFailure(selection.driver); !failure.empty()) {
        throw SelectionError("--driver " + selection.driver,
                             "the driver library does not load (" + failure + ")",
                             kExitNoProgrammer);
      }
    }
    return selection.driver;
  }
  const std::string path = sim::SimulatorLibrary();
  try {
    simulator = sim::StartSimulator(
        path, sim::FrontEndScenario(selection.scenario, selection.simulate, mini));
  } catch (const std::exception& e) {
    std::string reason = e.what();
    // A device the catalogue does not know is most likely misspelt.
    if (!selection.simulate.empty() && FamilyOfDevice(selection.simulate) == Family::kNone) {
      reason = UnknownDeviceText(selection.simulate) + " (" + reason + ")";
    }
    throw SelectionError(selection.scenario.empty() ? "--simulate" : selection.scenario, reason,
                         kExitUsage);
  }
  return path;
}

int ReportSelectionError(const SelectionError& error) {
  ReportError(error.subject, error.what());
  return error.exitCode;
}

}  // namespace velmora::cli
