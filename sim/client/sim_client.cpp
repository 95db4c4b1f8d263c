#include "sim/client/sim_client.h"

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace velmora::sim {

nlohmann::json ReadScenarioFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) throw std::runtime_error("cannot read scenario " + path);
  try {
    return nlohmann::json::parse(in);
  } catch (const nlohmann::json::exception& e) {
    throw std::runtime_error("scenario " + path + ": " + e.what());
  }
}

nlohmann::json FrontEndScenario(const std::string& scenarioFile, const std::string& device,
                                bool mini) {
  nlohmann::json scenario = nlohmann::json::object();
  const char* environment = std::getenv("VELMORA_SIM_SCENARIO");
  if (!scenarioFile.empty()) {
    scenario = ReadScenarioFile(scenarioFile);
  } else if (environment && *environment) {
    scenario = ReadScenarioFile(environment);
  }
  if (!device.empty()) scenario["device"] = device;
  if (mini && !scenario.contains("programmer")) scenario["programmer"] = "mini";
  return scenario;
}

std::string SimulatorLibrary() {
  constexpr char kName[] = "libvelmora-sim.so";
  const std::string beside = ExecutableDirectory() + "/" + kName;
  std::error_code error;
  return std::filesystem::exists(beside, error) ? beside : kName;
}

std::unique_ptr<SimClient> StartSimulator(const std::string& libraryPath,
                                          const nlohmann::json& scenario) {
  auto simulator = std::make_unique<SimClient>(libraryPath);
  if (!simulator->Loaded()) throw std::runtime_error("cannot load the simulator " + libraryPath);
  if (simulator->Configure(scenario.dump()) != 0) {
    throw std::runtime_error("simulator: " + simulator->LastError());
  }
  return simulator;
}

}  // namespace velmora::sim
