#include "families/avr/avr_family.h"

#include "families/avr/avr_operations.h"

namespace velmora {

namespace {

constexpr int kAvrPages[] = {kMegaPage, kMegaCompactPage};

// Program memory and EEPROM in bytes, as the read sequence saves them.
WriterExtents AvrExtents(const DeviceDescriptor& device) {
  return {device.programSize, device.eepromSize};
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
  };
  return row;
}

}  // namespace velmora
