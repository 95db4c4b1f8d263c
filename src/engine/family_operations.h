#pragma once
// What the document needs of a device family to run its commands: the commands as data (their
// names, whether they run on the worker, what a front end hands them) and one object per
// document that prepares and runs them. The family registry (src/families) builds that object;
// the document starts every family's commands through CqelDoc::StartCommand.
#include <cstdint>
#include <span>
#include <string>

namespace velmora {

// Bits of FamilyCommand::inputs: what a front end may give a command.
namespace command_input {
constexpr uint32_t kHexFile = 1u << 0;            // the HEX file to program or compare with
constexpr uint32_t kConfigFromOptions = 1u << 1;  // configuration from the options, not the file
constexpr uint32_t kSaveFile = 1u << 2;           // where read data is saved
constexpr uint32_t kNoVerify = 1u << 3;           // read nothing back
constexpr uint32_t kChipErase = 1u << 4;          // erase the whole chip first, or not
constexpr uint32_t kMemoryParts = 1u << 5;        // flash, EEPROM, ID locations, configuration
constexpr uint32_t kFastVerify = 1u << 6;         // read back only what the HEX file gives
constexpr uint32_t kVerifyOptions = kNoVerify | kFastVerify;
}  // namespace command_input

struct FamilyCommand {
  int id;            // the family's own command number
  const char* name;  // the command line's words: "program", "erase chip", "config read"
  const char* help;
  bool onWorker;    // runs on the document's worker (long operations); else on the caller
  uint32_t inputs;  // command_input bits

  bool Takes(uint32_t input) const { return (inputs & input) != 0; }
};

class IFamilyOperations {
 public:
  virtual ~IFamilyOperations() = default;
  // On the calling thread before the operation: HEX file loads, questions to the user. False
  // when nothing is to start (the user has been told why).
  virtual bool Prepare(int command) = 0;
  // The operation itself, on the worker or the calling thread as the command says.
  virtual void Run(int command) = 0;
  // What a front end shows after the command succeeded, beyond the log (e.g. the configuration
  // bytes a configuration read took over); empty when nothing.
  virtual std::string ResultText(int /*command*/) const { return {}; }
};

// The command with this id, or nullptr.
inline const FamilyCommand* FindCommand(std::span<const FamilyCommand> commands, int id) {
  for (const FamilyCommand& command : commands) {
    if (command.id == id) return &command;
  }
  return nullptr;
}

}  // namespace velmora
