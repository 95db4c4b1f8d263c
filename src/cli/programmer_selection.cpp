#include "cli/programmer_selection.h"

#include <cstdlib>
#include <fstream>
#include <nlohmann/json.hpp>
#include <stdexcept>

#include "link/dynamic_library.h"

namespace velmora::cli {

namespace {

nlohmann::json ReadScenario(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read scenario " + path);
  try {
    return nlohmann::json::parse(in);
  } catch (const nlohmann::json::exception& e) {
    throw std::runtime_error("scenario " + path + ": " + e.what());
  }
}

}  // namespace

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
  // The scenario: the --scenario file, else VELMORA_SIM_SCENARIO's, with --simulate naming the
  // device.
  const std::string path = ExecutableDirectory() + "/libvelmora-sim.so";
  simulator = std::make_unique<sim::SimClient>(path);
  if (!simulator->Loaded()) throw std::runtime_error("cannot load the simulator " + path);
  nlohmann::json scenario = nlohmann::json::object();
  const char* environment = std::getenv("VELMORA_SIM_SCENARIO");
  if (!selection.scenario.empty()) {
    scenario = ReadScenario(selection.scenario);
  } else if (environment && *environment) {
    scenario = ReadScenario(environment);
  }
  if (!selection.simulate.empty()) scenario["device"] = selection.simulate;
  if (mini && !scenario.contains("programmer")) scenario["programmer"] = "mini";
  if (simulator->Configure(scenario.dump()) != 0) {
    throw std::runtime_error("simulator: " + simulator->LastError());
  }
  return path;
}

}  // namespace velmora::cli
