#pragma once
// Which programmer a command talks to: the real one through the standard driver lookup, a
// driver library named with --driver, or the simulated programmer (--simulate DEVICE or
// --scenario FILE) loaded from beside the executable.
#include <CLI/CLI.hpp>
#include <memory>
#include <string>

#include "sim/client/sim_client.h"

namespace velmora::cli {

struct ProgrammerSelection {
  std::string simulate;  // target device of the simulated programmer
  std::string scenario;  // scenario file of the simulated programmer
  std::string driver;    // driver library to try first
};

void AddProgrammerSelectionOptions(CLI::App& command, ProgrammerSelection& selection);

// The driver library to bind ("" for the standard lookup). For the simulated programmer it is
// loaded and configured here, the --mini flag choosing its programmer kind unless the scenario
// names one; `simulator` keeps it loaded for the run. Throws std::runtime_error with the reason
// when the simulator cannot be set up.
std::string SelectDriver(const ProgrammerSelection& selection, bool mini,
                         std::unique_ptr<sim::SimClient>& simulator);

}  // namespace velmora::cli
