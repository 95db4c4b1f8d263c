#include "families/pic18/pic18_family.h"

#include <algorithm>

#include "families/pic18/pic18_operations.h"

namespace velmora {

namespace {

constexpr int kPic18Pages[] = {kPic18Page, kPic18ExtendedPage, kPic18BasicTestPage,
                               kPic18CompactPage};

// Program memory and EEPROM in bytes, as the read sequence saves them.
WriterExtents Pic18Extents(const DeviceDescriptor& device) {
  return {device.programSize, device.eepromSize};
}

// Program memory, the eight ID locations, the fourteen configuration bytes and the EEPROM.
std::vector<DeviceRange> Pic18DeviceRanges(const DeviceDescriptor& device) {
  return {{0, static_cast<uint32_t>(std::max(0, device.programSize))},
          {window::kIdLocations.firstAddress, window::kIdLocations.cellCount},
          {window::kConfiguration.firstAddress, window::kConfiguration.cellCount},
          {window::kEeprom.firstAddress, static_cast<uint32_t>(std::max(0, device.eepromSize))}};
}

std::unique_ptr<IFamilyOperations> MakePic18Operations(CqelDoc& doc) {
  return std::make_unique<CPic18Operations>(doc);
}

}  // namespace

const FamilyRow& Pic18FamilyRow() {
  static const FamilyRow row{
      .family = Family::kPic18,
      .name = FamilyName(Family::kPic18),
      .title = "PIC18",
      .catalogue = &kPic18Catalogue,
      .commands = Pic18Commands(),
      .cliOptions = {},
      .makeOperations = MakePic18Operations,
      .pages = kPic18Pages,
      .startButtonId = 1144,
      .startButtonText = "PIC 18",
      .hexExtents = Pic18Extents,
      .deviceRanges = Pic18DeviceRanges,
  };
  return row;
}

}  // namespace velmora
