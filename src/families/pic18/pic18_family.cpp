#include "families/pic18/pic18_family.h"

#include "families/pic18/pic18_operations.h"

namespace velmora {

namespace {

constexpr int kPic18Pages[] = {kPic18Page, kPic18ExtendedPage, kPic18BasicTestPage,
                               kPic18CompactPage};

// Program memory and EEPROM in bytes, as the read sequence saves them.
WriterExtents Pic18Extents(const DeviceDescriptor& device) {
  return {device.programSize, device.eepromSize};
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
  };
  return row;
}

}  // namespace velmora
