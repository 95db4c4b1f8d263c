#include "families/tiny1x/tiny1x_family.h"

#include "families/tiny1x/tiny1x_operations.h"
#include "memory/memory_image.h"

namespace velmora {

namespace {

constexpr int kTiny1xPages[] = {kTiny12Page};

// Program memory and EEPROM in bytes, as the read sequence saves them.
WriterExtents Tiny1xExtents(const DeviceDescriptor& device) {
  return {device.programSize, device.eepromSize};
}

// Flash from 0, EEPROM from 0xF00000, the fuse, lock and calibration cells at 0x300000.
std::vector<DeviceRange> Tiny1xDeviceRanges(const DeviceDescriptor& device) {
  return {{0, static_cast<uint32_t>(device.programSize)},
          {window::kEeprom.firstAddress, static_cast<uint32_t>(device.eepromSize)},
          {window::kConfiguration.firstAddress, 4}};
}

std::unique_ptr<IFamilyOperations> MakeTiny1xOperations(CqelDoc& doc) {
  return std::make_unique<CTiny1xOperations>(doc);
}

}  // namespace

const FamilyRow& Tiny1xFamilyRow() {
  static const FamilyRow row{
      .family = Family::kTiny1x,
      .name = FamilyName(Family::kTiny1x),
      .title = "ATtiny11/12",
      .catalogue = &kTiny1xCatalogue,
      .commands = Tiny1xCommands(),
      .cliOptions = Tiny1xCliOptions(),
      .makeOperations = MakeTiny1xOperations,
      .pages = kTiny1xPages,
      .startButtonId = 1148,
      .startButtonText = "ATtiny 11/12",
      .hexExtents = Tiny1xExtents,
      .deviceRanges = Tiny1xDeviceRanges,
  };
  return row;
}

}  // namespace velmora
