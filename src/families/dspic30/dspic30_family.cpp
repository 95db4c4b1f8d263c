#include "families/dspic30/dspic30_family.h"

#include <algorithm>

#include "families/dspic30/dspic30_device.h"
#include "families/dspic30/dspic30_operations.h"

namespace velmora {

namespace {

constexpr int kDsPic30Pages[] = {kDsPic30Page, kDsPic30BasicTestPage, kDsPic30CompactPage};

// Four cells per instruction word; the EEPROM sits at the top of its own window, where the
// writer covers 2 x eepromSize cells.
WriterExtents DsPic30Extents(const DeviceDescriptor& device) {
  return {4 * int64_t{device.programSize}, device.eepromSize};
}

// Program memory (four cells per instruction word), the EEPROM at the top of its window (four
// cells per 16-bit word) and the configuration registers.
std::vector<DeviceRange> DsPic30DeviceRanges(const DeviceDescriptor& device) {
  const uint32_t eepromCells = 2 * static_cast<uint32_t>(std::max(0, device.eepromSize));
  const MemoryWindow& eeprom = window::kDsPicEeprom;
  return {{0, 4 * static_cast<uint32_t>(std::max(0, device.programSize))},
          {eeprom.firstAddress + eeprom.cellCount - eepromCells, eepromCells},
          {window::kDsPicConfiguration.firstAddress, kDsPic30ConfigCells}};
}

// The page's flags live among the option selections, its HEX file in its own setting.
FamilySettings DsPic30Settings(CqelDoc& doc) {
  return {.chipErase = &doc.optionSelections[DSPIC30ERASEALWAYS],
          .flash = &doc.optionSelections[DSPIC30PROGRAMMEMORY],
          .eeprom = &doc.optionSelections[DSPIC30PROGRAMEEPROM],
          .idLocations = &doc.optionSelections[DSPIC30PROGRAMIDLOCATION],
          .configuration = &doc.optionSelections[DSPIC30PROGRAMCONFIGURATION],
          .fastVerify = &doc.optionSelections[DSPIC30FASTVERIFY],
          .noVerify = &doc.optionSelections[DSPIC30NOVERIFY],
          .configFromOptions = &doc.optionSelections[DSPIC30IGNORECONFIG],
          .hexFile = &doc.dspic30FlashFileName};
}

std::unique_ptr<IFamilyOperations> MakeDsPic30Operations(CqelDoc& doc) {
  return std::make_unique<CDsPic30Operations>(doc);
}

}  // namespace

const FamilyRow& DsPic30FamilyRow() {
  static const FamilyRow row{
      .family = Family::kDsPic30,
      .name = FamilyName(Family::kDsPic30),
      .title = "dsPIC30",
      .catalogue = &kDsPic30Catalogue,
      .commands = DsPic30Commands(),
      .cliOptions = {},
      .makeOperations = MakeDsPic30Operations,
      .pages = kDsPic30Pages,
      .startButtonId = 1338,
      .startButtonText = "dsPIC 30",
      .hexExtents = DsPic30Extents,
      .settings = DsPic30Settings,
      .deviceRanges = DsPic30DeviceRanges,
  };
  return row;
}

}  // namespace velmora
