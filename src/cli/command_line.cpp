#include "cli/cli_common.h"

namespace velmora::cli {

void BuildCommandLine(CLI::App& app, CommandContext& context) {
  app.set_version_flag("--version", std::string("velmora-cli ") + VELMORA_VERSION);
  app.require_subcommand(1);
  auto* yes = app.add_flag("--yes", context.global.yes, "answer Yes to the program's questions");
  app.add_flag("--no", context.global.no, "answer No to the program's questions (default)")
      ->excludes(yes);
  AddHexCommands(app, context);
  AddProgrammerCommands(app, context);
  AddOperationCommands(app, context);
  AddTraceCommands(app, context);
}

}  // namespace velmora::cli
