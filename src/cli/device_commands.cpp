// `velmora-cli devices [--family F] [NAME]`: the device catalogue, one device per line: name,
// family, ID or signature, program memory, EEPROM and RAM sizes.
#include <cstdio>
#include <iostream>
#include <memory>

#include "cli/cli_common.h"
#include "cli/device_names.h"
#include "memory/family.h"
#include "memory/memory_image.h"

namespace velmora::cli {

namespace {

struct DevicesOptions {
  std::string family;
  std::string name;
};

bool HasSignature(Family family) {
  return family == Family::kAvr || family == Family::kTiny1x;
}

const char* ProgramUnit(Family family) {
  return family == Family::kDsPic30 || family == Family::kPic12 ? "words" : "bytes";
}

std::string DeviceLine(const CatalogueEntry& entry) {
  DeviceDescriptor descriptor;
  entry.table->describe(entry.row, descriptor);
  const uint32_t key = entry.table->key(entry.row);
  char id[32];
  if (HasSignature(entry.table->family)) {
    std::snprintf(id, sizeof id, "signature %02X %02X %02X", key >> 16 & 0xFF, key >> 8 & 0xFF,
                  key & 0xFF);
  } else {
    std::snprintf(id, sizeof id, "ID 0x%04X", key);
  }
  char line[160];
  std::snprintf(line, sizeof line, "%-16s %-8s %-21s program %d %s, EEPROM %d bytes, RAM %d bytes",
                entry.name.c_str(), std::string(FamilyName(entry.table->family)).c_str(), id,
                descriptor.programSize, ProgramUnit(entry.table->family), descriptor.eepromSize,
                descriptor.ramSize);
  return line;
}

int RunDevices(const DevicesOptions& options) {
  std::vector<CatalogueEntry> shown;
  for (CatalogueEntry& entry : CatalogueEntries()) {
    if (!options.family.empty() && FamilyName(entry.table->family) != options.family) continue;
    if (!options.name.empty() && !SameDeviceName(entry.name, options.name)) continue;
    shown.push_back(std::move(entry));
  }
  if (shown.empty() && !options.name.empty()) {
    ReportError(options.name, UnknownDeviceText(options.name));
    return kExitUsage;
  }
  for (const CatalogueEntry& entry : shown) std::cout << DeviceLine(entry) << "\n";
  return kExitSuccess;
}

std::vector<std::string> CatalogueFamilyNames() {
  std::vector<std::string> names;
  for (const CatalogueTable* table : CatalogueTables()) {
    names.emplace_back(FamilyName(table->family));
  }
  return names;
}

}  // namespace

void AddDeviceCommands(CLI::App& app, CommandContext& context) {
  auto options = std::make_shared<DevicesOptions>();
  auto* devices = app.add_subcommand(
      "devices", "list the device catalogue: name, family, ID or signature, memory sizes");
  devices->add_option("--family", options->family, "only the devices of this family")
      ->check(CLI::IsMember(CatalogueFamilyNames()));
  devices->add_option("NAME", options->name, "only this device (case ignored)");
  devices->callback([options, &context] { context.exitCode = RunDevices(*options); });
}

}  // namespace velmora::cli
