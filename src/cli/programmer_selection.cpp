#include "cli/programmer_selection.h"

namespace velmora::cli {

void AddProgrammerSelectionOptions(CLI::App& command, ProgrammerSelection& selection) {
  auto* simulate = command.add_option("--simulate", selection.simulate,
                                      "use the simulated programmer with this target device");
  command.add_option("--scenario", selection.scenario,
                     "use the simulated programmer with this scenario file (JSON)");
  command.add_option("--driver", selection.driver, "FT232 driver library to load first")
      ->excludes(simulate);
}

std::string SelectDriver(const ProgrammerSelection& selection, bool mini,
                         std::unique_ptr<sim::SimClient>& simulator) {
  if (selection.simulate.empty() && selection.scenario.empty()) return selection.driver;
  const std::string path = sim::SimulatorBesideExecutable();
  simulator = sim::StartSimulator(
      path, sim::FrontEndScenario(selection.scenario, selection.simulate, mini));
  return path;
}

}  // namespace velmora::cli
