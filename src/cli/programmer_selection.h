#pragma once
// Which programmer a command talks to: the real one through the standard driver lookup, a
// driver library named with --driver, or the simulated programmer (--simulate DEVICE or
// --scenario FILE) loaded from beside the executable.
#include <CLI/CLI.hpp>
#include <memory>
#include <stdexcept>
#include <string>

#include "sim/client/sim_client.h"

namespace velmora::cli {

struct ProgrammerSelection {
  std::string simulate;  // target device of the simulated programmer
  std::string scenario;  // scenario file of the simulated programmer
  std::string driver;    // driver library to load
};

void AddProgrammerSelectionOptions(CLI::App& command, ProgrammerSelection& selection);

// Why the selected programmer cannot be used: what it is about, the reason and the exit code.
struct SelectionError : std::runtime_error {
  SelectionError(std::string about, const std::string& reason, int code)
      : std::runtime_error(reason), subject(std::move(about)), exitCode(code) {}
  std::string subject;
  int exitCode;
};

// The driver library to bind ("" for the standard lookup). A --driver library must load (else
// exit 3). For the simulated programmer it is loaded and configured here, the --mini flag
// choosing its programmer kind unless the scenario names one; `simulator` keeps it loaded for
// the run. Throws SelectionError when the selection cannot be used.
std::string SelectDriver(const ProgrammerSelection& selection, bool mini,
                         std::unique_ptr<sim::SimClient>& simulator);

// ReportError for a SelectionError; returns its exit code.
int ReportSelectionError(const SelectionError& error);

}  // namespace velmora::cli
