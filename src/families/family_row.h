#pragma once
// One row of the family registry: everything the shared parts of the program (the command
// line, the start page, the HEX tools, the document) need to know of a device family. A family
// fills its row in its own folder; the registry lists the rows.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "engine/family_operations.h"
#include "memory/catalogue.h"
#include "memory/device_ranges.h"
#include "memory/family.h"

namespace velmora {

class CqelDoc;

// The page types of the main window; the number is also the key under which a hidden page waits
// to be reused.
enum ViewType : int {
  kStartPage = 0,
  kPic18BasicTestPage = 1,
  kPic18CompactPage = 2,
  kPic18Page = 3,
  kPic18ExtendedPage = 4,
  kDsPic30Page = 5,
  kDsPic30CompactPage = 6,
  kDsPic30BasicTestPage = 7,
  kPic12Page = 8,
  kTiny12Page = 9,
  kMegaPage = 10,
  kMegaCompactPage = 11,
  kPic10Page = 12,
  kScriptPage = 13,
  kScriptCompactPage = 14,
};

// Program memory and EEPROM extents, in cells, for writing a device's data as Intel HEX.
struct WriterExtents {
  int64_t programCells;
  int64_t eepromCells;
};

// An option a family adds to some of its commands on the command line, e.g. "--speed".
struct FamilyCliOption {
  const char* name;  // "--speed" (a flag when takesValue is false)
  const char* help;
  bool takesValue;
  uint64_t commands;  // bit n: the command with id n takes it; 0 = every command of the family
  // Applies the given value ("" for a flag) to the document before the command starts; false
  // with `error` set when the value is not acceptable.
  bool (*apply)(CqelDoc& doc, const std::string& value, std::string& error);
};

// The settings that the command line's shared options set (the enable flags, the verify flags,
// configuration from the options, the HEX file). A family that keeps its own copies of them
// (dsPIC30 keeps its flags among the option selections) points there; a null field means the
// document's general setting.
struct FamilySettings {
  int32_t* chipErase = nullptr;
  int32_t* flash = nullptr;
  int32_t* eeprom = nullptr;
  int32_t* idLocations = nullptr;
  int32_t* configuration = nullptr;
  int32_t* fastVerify = nullptr;
  int32_t* noVerify = nullptr;
  int32_t* configFromOptions = nullptr;
  std::string* hexFile = nullptr;
};

struct FamilyRow {
  Family family;
  std::string_view name;  // the command line's and the files' name: FamilyName(family)
  const char* title;      // the family as people call it: "PIC18", "ATmega / ATtiny"
  // The identifiable devices; nullptr for a family whose parts are chosen, not identified.
  const CatalogueTable* catalogue;
  std::span<const FamilyCommand> commands = {};
  std::span<const FamilyCliOption> cliOptions = {};
  // The family's per-document object; nullptr while the family has no operations.
  std::unique_ptr<IFamilyOperations> (*makeOperations)(CqelDoc& doc) = nullptr;
  // The family's pages; the first is the one its start-page button opens.
  std::span<const int> pages = {};
  int startButtonId;  // the shared control identifier of its start-page button
  const char* startButtonText;
  // Extents of a device's program memory and EEPROM when its data is written as Intel HEX.
  WriterExtents (*hexExtents)(const DeviceDescriptor& device);
  // Where the family keeps the settings of the shared command-line options; nullptr: the
  // document's general settings.
  FamilySettings (*settings)(CqelDoc& doc) = nullptr;
  // Where a device of the family keeps its data in a HEX file. Program, Verify and Update pass
  // them to CqelDoc::ConfirmDataInsideDevice after identification, so that data the device
  // cannot hold is never dropped in silence.
  std::vector<DeviceRange> (*deviceRanges)(const DeviceDescriptor& device) = nullptr;
};

}  // namespace velmora
