#include <iostream>

#include "cli/cli_common.h"

namespace velmora::cli {

void ReportError(const std::string& subject, const std::string& reason) {
  std::cerr << "velmora-cli: error: " << subject << ": " << reason << "\n";
}

void BuildCommandLine(CLI::App& app, CommandContext& context) {
  app.set_version_flag("--version", std::string("velmora-cli ") + VELMORA_VERSION);
  app.require_subcommand(1);
  // Subcommands created below inherit this: an option a subcommand does not know goes up to
  // the global ones, so they may stand anywhere on the line.
  app.fallthrough();
  auto* yes = app.add_flag("--yes", context.global.yes, "answer Yes to the program's questions");
  app.add_flag("--no", context.global.no, "answer No to the program's questions (default)")
      ->excludes(yes);
  auto* quiet = app.add_flag("-q,--quiet", context.global.quiet,
                             "print no log lines and no progress, only results and errors");
  app.add_flag("-v,--verbose", context.global.verbose,
               "also say which driver library is used (on stderr)")
      ->excludes(quiet);
  AddHexCommands(app, context);
  AddProgrammerCommands(app, context);
  AddOperationCommands(app, context);
  AddDeviceCommands(app, context);
  AddTraceCommands(app, context);
  AddScriptRunCommand(app, context);
}

}  // namespace velmora::cli
