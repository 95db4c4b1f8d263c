// `velmora-cli programmer`: "Reset and identifies Programmer". Opens the full programmer,
// closes it again and prints the status line: the firmware version, or why there is none.
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <memory>
#include <nlohmann/json.hpp>

#include "cli/cli_common.h"
#include "link/pic_vortang.h"
#include "link/programmer_identity.h"
#include "platform/clock.h"
#include "sim_client.h"

namespace velmora::cli {

namespace {

struct ProgrammerOptions {
  std::string simulate;  // target device of the simulated programmer
  std::string scenario;  // scenario file of the simulated programmer
  std::string driver;    // driver library to try first
};

nlohmann::json ReadScenario(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read scenario " + path);
  return nlohmann::json::parse(in);
}

// Loads the simulator beside the executable and gives it its scenario: the --scenario file
// (else VELMORA_SIM_SCENARIO's), with --simulate naming the device. Returns its path.
std::string PrepareSimulator(const ProgrammerOptions& options,
                             std::unique_ptr<sim::SimClient>& simulator) {
  const std::string path = ExecutableDirectory() + "/libvelmora-sim.so";
  simulator = std::make_unique<sim::SimClient>(path);
  if (!simulator->Loaded()) throw std::runtime_error("cannot load the simulator " + path);
  nlohmann::json scenario = nlohmann::json::object();
  const char* environment = std::getenv("VELMORA_SIM_SCENARIO");
  if (!options.scenario.empty()) {
    scenario = ReadScenario(options.scenario);
  } else if (environment && *environment) {
    scenario = ReadScenario(environment);
  }
  if (!options.simulate.empty()) scenario["device"] = options.simulate;
  if (simulator->Configure(scenario.dump()) != 0) {
    throw std::runtime_error("simulator: " + simulator->LastError());
  }
  return path;
}

int RunProgrammer(const ProgrammerOptions& options, const GlobalOptions& global) {
  CliPrompt prompt(std::cerr);
  prompt.answerYes = global.yes;
  std::string driverPath = options.driver;
  std::unique_ptr<sim::SimClient> simulator;  // keeps the simulator loaded for the run
  if (!options.simulate.empty() || !options.scenario.empty()) {
    try {
      driverPath = PrepareSimulator(options, simulator);
    } catch (const std::exception& e) {
      std::cerr << e.what() << "\n";
      return kExitUsage;
    }
  }
  CPICVortang link(prompt, DefaultClock(), driverPath);
  const int opened = link.Open(kProgrammerDescription, 0);
  link.Close();
  std::cout << link.statusText << "\n";
  return opened ? kExitSuccess : kExitNoProgrammer;
}

}  // namespace

void AddProgrammerCommands(CLI::App& app, CommandContext& context) {
  auto options = std::make_shared<ProgrammerOptions>();
  auto* command = app.add_subcommand("programmer",
                                     "Reset and identifies Programmer: print the firmware version");
  auto* simulate = command->add_option("--simulate", options->simulate,
                                       "use the simulated programmer with this target device");
  command->add_option("--scenario", options->scenario,
                      "use the simulated programmer with this scenario file (JSON)");
  command->add_option("--driver", options->driver, "FT232 driver library to load first")
      ->excludes(simulate);
  command->callback(
      [options, &context] { context.exitCode = RunProgrammer(*options, context.global); });
}

}  // namespace velmora::cli
