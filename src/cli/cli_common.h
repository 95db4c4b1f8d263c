#pragma once
// Shared pieces of the command-line front end: exit codes, the non-interactive prompt and the
// registration functions of the command groups.
#include <CLI/CLI.hpp>
#include <iosfwd>
#include <memory>
#include <string>

#include "memory/memory_image.h"
#include "platform/user_prompt.h"

namespace velmora::cli {

enum ExitCode : int {
  kExitSuccess = 0,
  kExitFailed = 1,         // the operation ran and failed (or the input did not read)
  kExitUsage = 2,          // bad command line
  kExitNoProgrammer = 3,   // no driver, no programmer, or no firmware answer
  kExitInterrupted = 130,  // SIGINT or SIGTERM stopped the operation (128 + SIGINT)
};

// Answers the core's questions from the command line: --yes answers Yes/OK, --no (default)
// answers No/Cancel. Every box is printed to stderr so the user sees what was asked.
class CliPrompt final : public IUserPrompt {
 public:
  explicit CliPrompt(std::ostream& out);
  Answer MessageBox(const std::string& text, const std::string& caption, uint32_t style) override;
  std::optional<HexSaveChoice> AskHexSavePath(const std::string& suggestedPath) override;

  bool answerYes = false;
  // Manual power switching on a terminal: the user switches and presses Enter.
  bool waitForEnter = false;
  std::optional<HexSaveChoice> hexSave;  // from --out / --save-empty

 private:
  std::ostream& out_;
};

// Options every command group shares; they are accepted anywhere on the line.
struct GlobalOptions {
  bool yes = false;
  bool no = false;
  bool quiet = false;    // -q: no log lines and no progress, only results, summary and errors
  bool verbose = false;  // -v: also which driver library the run uses (stderr)
};

// The one error style of the command line, on stderr: "velmora-cli: error: SUBJECT: REASON",
// the subject being what the error is about (a file, "FILE:LINE", an option).
void ReportError(const std::string& subject, const std::string& reason);

// Clears `image` and reads an Intel HEX file into it; false after reporting what went wrong,
// naming the file (and the line of a HEX error). A file without any record is no HEX file.
bool LoadHexFile(CMCUMemoryArchitecture& image, const std::string& fileName, IUserPrompt& prompt);

// Each command group adds its subcommands; the callback stores the exit code in `exitCode`.
struct CommandContext {
  GlobalOptions global;
  int exitCode = kExitSuccess;
};

// The whole command line: the global options and every command group. `context` must outlive
// the parse.
void BuildCommandLine(CLI::App& app, CommandContext& context);

void AddHexCommands(CLI::App& app, CommandContext& context);
void AddProgrammerCommands(CLI::App& app, CommandContext& context);
void AddOperationCommands(CLI::App& app, CommandContext& context);
void AddDeviceCommands(CLI::App& app, CommandContext& context);
void AddTraceCommands(CLI::App& app, CommandContext& context);
// `script run` (and the `script` group when no other command made it).
void AddScriptRunCommand(CLI::App& app, CommandContext& context);

}  // namespace velmora::cli
