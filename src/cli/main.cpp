// velmora-cli: command-line front end. Each command group registers its subcommands; a
// subcommand's callback leaves its exit code in the shared context.
#include <iostream>

#include "cli/cli_common.h"

int main(int argc, char** argv) {
  using namespace velmora::cli;
  CLI::App app{"Velmora USB-Programmer command line", "velmora-cli"};
  app.set_version_flag("--version", std::string("velmora-cli ") + VELMORA_VERSION);
  app.require_subcommand(1);

  CommandContext context;
  auto* yes = app.add_flag("--yes", context.global.yes, "answer Yes to the program's questions");
  app.add_flag("--no", context.global.no, "answer No to the program's questions (default)")
      ->excludes(yes);

  AddHexCommands(app, context);
  AddProgrammerCommands(app, context);
  AddOperationCommands(app, context);

  try {
    app.parse(argc, argv);
  } catch (const CLI::Success& e) {
    return app.exit(e);  // --help, --version
  } catch (const CLI::ParseError& e) {
    app.exit(e);
    return kExitUsage;
  }
  return context.exitCode;
}
