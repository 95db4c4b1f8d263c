#pragma once
// Runs the built command-line program as a user does: a child process with standard input
// closed, its output and errors captured, the simulator and driver variables of the caller's
// environment cleared so that only what a test passes counts.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "support/scratch_directory.h"

namespace velmora::testing {

struct ProcessResult {
  int exitCode = -1;
  std::string out;
  std::string err;
};

inline std::string ReadAll(const std::filesystem::path& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// Runs `environment program arguments` (environment: extra VAR='value' assignments), capturing
// into files in `scratch`.
inline ProcessResult RunProgram(const std::filesystem::path& scratch, const std::string& program,
                                const std::string& arguments, const std::string& environment = "") {
  const auto out = scratch / "out.txt";
  const auto err = scratch / "err.txt";
  const std::string command =
      "env -u VELMORA_D2XX -u VELMORA_SIM_SCENARIO -u VELMORA_SIM_STATE "
      "-u VELMORA_SIM_TRANSCRIPT " +
      environment + " '" + program + "' " + arguments + " >'" + out.string() + "' 2>'" +
      err.string() + "' </dev/null";
  const int status = std::system(command.c_str());
  return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, ReadAll(out), ReadAll(err)};
}

}  // namespace velmora::testing
