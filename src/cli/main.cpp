// velmora-cli: command-line front end. Each command group registers its subcommands; a
// subcommand's callback leaves its exit code in the shared context.
#include "cli/cli_common.h"

int main(int argc, char** argv) {
  using namespace velmora::cli;
  CLI::App app{"Velmora USB-Programmer command line", "velmora-cli"};
  CommandContext context;
  BuildCommandLine(app, context);
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
