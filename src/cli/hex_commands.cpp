// `velmora-cli hex ...`: Intel HEX inspection and rewriting.
#include "cli/cli_common.h"

namespace velmora::cli {

void AddHexCommands(CLI::App& app, CommandContext& context) {
  auto* hex = app.add_subcommand("hex", "inspect and rewrite Intel HEX files");
  hex->require_subcommand(1);
  (void)context;
}

}  // namespace velmora::cli
