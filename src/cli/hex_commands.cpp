// `velmora-cli hex ...`: Intel HEX inspection and rewriting.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "cli/cli_common.h"
#include "cli/device_names.h"
#include "families/family_registry.h"
#include "memory/catalogue.h"
#include "memory/image_summary.h"
#include "memory/intel_hex.h"
#include "platform/whole_file.h"

namespace velmora::cli {
namespace {

struct HexOptions {
  std::string input;
  std::string output;
  std::string device;
  bool includeErased = false;
};

void AppendFormat(std::string& out, const char* format, auto... args) {
  char line[160];
  const int n = std::snprintf(line, sizeof line, format, args...);
  out.append(line, static_cast<size_t>(std::min<int>(n, sizeof line - 1)));
}

std::string FormatSummary(const std::string& fileName,
                          const std::vector<WindowSummary>& summaries) {
  std::string out = fileName + "\n";
  if (summaries.empty()) out += "  no data\n";
  for (const WindowSummary& s : summaries) {
    AppendFormat(out, "%s: %u bytes, sum 0x%08X, CRC-16/CCITT-FALSE 0x%04X\n", s.name, s.byteCount,
                 s.byteSum, unsigned{s.crc});
    for (const AddressRange& r : s.ranges) {
      AppendFormat(out, "  0x%06X-0x%06X (%u bytes)\n", r.first, r.last, r.last - r.first + 1);
    }
  }
  return out;
}

}  // namespace

bool LoadHexFile(CMCUMemoryArchitecture& image, const std::string& fileName, IUserPrompt& prompt) {
  // The reader's own messages name the file, the line and the reason.
  return ReadHexFile(image, fileName, prompt) == 1;
}

namespace {

int RunInfo(const HexOptions& options, const GlobalOptions& global) {
  CliPrompt prompt(std::cerr);
  prompt.answerYes = global.yes;
  // The cells are left as the allocator hands them out: LoadHexFile clears them once.
  auto image = std::make_unique<CMCUMemoryArchitecture>();
  if (!LoadHexFile(*image, options.input, prompt)) return kExitFailed;
  const std::string text = FormatSummary(options.input, SummarizeImage(*image));
  std::fwrite(text.data(), 1, text.size(), stdout);
  return kExitSuccess;
}

int RunRewrite(const HexOptions& options, const GlobalOptions& global) {
  CliPrompt prompt(std::cerr);
  prompt.answerYes = global.yes;
  auto image = std::make_unique<CMCUMemoryArchitecture>();
  // Without a device the writer covers the whole program memory and EEPROM windows.
  WriterExtents extents{window::kProgramMemory.cellCount, window::kEeprom.cellCount};
  if (!options.device.empty()) {
    if (!FillDescriptorByName(*image, options.device)) {
      ReportError("--device", UnknownDeviceText(options.device));
      return kExitUsage;
    }
    const FamilyRow* family = FindFamily(FamilyOfDevice(options.device));
    if (family && family->hexExtents) extents = family->hexExtents(image->Descriptor());
  }
  if (!LoadHexFile(*image, options.input, prompt)) return kExitFailed;
  image->programSize = static_cast<int32_t>(extents.programCells);
  image->eepromSize = static_cast<int32_t>(extents.eepromCells);
  if (WriteHexFile(options.output, *image, options.includeErased ? 1 : 0, prompt) != 1) {
    ReportError(options.output, "could not be written");
    return kExitFailed;
  }
  return kExitSuccess;
}

}  // namespace

void AddHexCommands(CLI::App& app, CommandContext& context) {
  auto options = std::make_shared<HexOptions>();
  auto* hex = app.add_subcommand("hex", "inspect and rewrite Intel HEX files");
  hex->require_subcommand(1);
  hex->fallthrough();

  auto* info = hex->add_subcommand(
      "info", "show the programmed address ranges, byte count and checksums per memory window");
  info->add_option("FILE", options->input, "Intel HEX file")->required();
  info->fallthrough();
  info->callback([options, &context] { context.exitCode = RunInfo(*options, context.global); });

  auto* rewrite = hex->add_subcommand(
      "rewrite", "read an Intel HEX file and write it again through the writer");
  rewrite->add_option("IN", options->input, "Intel HEX file to read")->required();
  rewrite->add_option("OUT", options->output, "Intel HEX file to write")->required();
  rewrite->add_option("--device", options->device,
                      "catalogue name of the device whose program memory and EEPROM extents "
                      "limit the output (default: the whole windows)");
  rewrite->add_flag("--include-erased", options->includeErased,
                    "write cells holding 0xFF as data, not like blank cells");
  rewrite->fallthrough();
  rewrite->callback(
      [options, &context] { context.exitCode = RunRewrite(*options, context.global); });
}

}  // namespace velmora::cli
