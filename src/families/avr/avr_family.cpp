#include "families/avr/avr_family.h"

#include <algorithm>

#include "families/avr/avr_operations.h"

namespace velmora {

namespace {

constexpr int kAvrPages[] = {kMegaPage, kMegaCompactPage};

// Program memory and EEPROM in bytes, as the read sequence saves them.
WriterExtents AvrExtents(const DeviceDescriptor& device) {
  return {device.programSize, device.eepromSize};
}

// Flash, the fuse bytes the device has and the lock byte (0x300000: low, high, extended, lock,
// as avr-objcopy places the FUSES and LOCKBITS sections), and the EEPROM at 0xF00000.
std::vector<DeviceRange> AvrDeviceRanges(const DeviceDescriptor& device) {
  std::vector<DeviceRange> ranges = {
      {0, static_cast<uint32_t>(std::max(0, device.programSize))},
      {window::kConfiguration.firstAddress, 2},
      {window::kConfiguration.firstAddress + 3, 1},
      {window::kEeprom.firstAddress, static_cast<uint32_t>(std::max(0, device.eepromSize))}};
  const bool catalogued = device.family == Family::kAvr && device.deviceIndex > 0 &&
                          device.deviceIndex <= kAvrDeviceRows;
  if (catalogued && AvrHasExtendedFuse(kAvrDevices[device.deviceIndex])) {
    ranges.push_back({window::kConfiguration.firstAddress + 2, 1});
  }
  return ranges;
}

std::unique_ptr<IFamilyOperations> MakeAvrOperations(CqelDoc& doc) {
  return std::make_unique<CAvrOperations>(doc);
}

}  // namespace

const FamilyRow& AvrFamilyRow() {
  static const FamilyRow row{
      .family = Family::kAvr,
      .name = FamilyName(Family::kAvr),
      .title = "ATmega / ATtiny",
      .catalogue = &kAvrCatalogue,
      .commands = AvrCommands(),
      .cliOptions = AvrCliOptions(),
      .makeOperations = MakeAvrOperations,
      .pages = kAvrPages,
      .startButtonId = 1149,
      .startButtonText = "ATmega / ATtiny",
      .hexExtents = AvrExtents,
      .deviceRanges = AvrDeviceRanges,
  };
  return row;
}

}  // namespace velmora
