#pragma once
// The device catalogue: one constant table per target family. Row 0 of every table is the
// "Unknown Device" placeholder; device rows follow from row 1. Identification reads an ID or
// signature from the target, scans the family's table from the last row down to row 1 and copies
// the first matching row into the image's descriptor (no match = row 0, which marks the image as
// holding no identified device). The row number stays in deviceIndex, through which operations
// reach the columns that are not copied (configuration masks, factory fuses, calibration map).
#include <array>
#include <cstdint>
#include <span>
#include <string_view>

#include "memory/family.h"
#include "memory/memory_image.h"

namespace velmora {

// ---- PIC18 ------------------------------------------------------------------------------------

struct Pic18Device {
  const char* name;
  int32_t deviceId;     // 16-bit device ID with the five revision bits zero
  int32_t programSize;  // bytes
  int32_t panels;       // programming panels; blockSize = programSize / panels
  int32_t eepromSize;   // bytes
  int32_t ramSize;      // bytes
  int32_t algorithm;    // 1, 2 or 4: first byte of the firmware's device-parameter command
  int32_t eraseBlock;   // bytes per erase block
  int32_t writeBuffer;  // bytes per write-buffer load
  const char* remark;
  uint8_t configMasks[14];  // CONFIG1L..CONFIG7H; a 1 bit is an implemented configuration bit
};
inline constexpr int kPic18DeviceRows = 80;
extern const Pic18Device kPic18Devices[kPic18DeviceRows + 1];  // [0] = "Unknown Device"
// Looks up (devid2*256+devid1) & 0xFFE0, fills image's descriptor, returns the row (0 = none).
int LookupPic18Device(CMCUMemoryArchitecture& image, uint8_t devid1, uint8_t devid2);

// ---- dsPIC30 ----------------------------------------------------------------------------------

struct DsPic30Device {
  const char* name;
  int32_t deviceId;     // DEVID, compared with the full 16-bit ID (revision lives elsewhere)
  int32_t programSize;  // instruction words
  int32_t panels;       // blockSize = programSize / panels (integer division)
  int32_t eepromSize;   // bytes
  int32_t ramSize;      // bytes
  int32_t eraseBlock;
  int32_t writeBuffer;
  const char* remark;
  // FOSC, FWDT, FBORPOR, FBS, FSS, FGS, FICD as 16-bit masks, each low byte first, so that byte i
  // masks dsPICConfiguration cell i.
  std::array<uint8_t, 14> configMasks;
};
inline constexpr int kDsPic30DeviceRows = 28;
extern const DsPic30Device kDsPic30Devices[kDsPic30DeviceRows + 1];  // [0] = "Unknown Device"
// Looks up the ID word idHigh*256+idLow without masking; stores the four raw bytes in deviceId.
int LookupDsPic30Device(CMCUMemoryArchitecture& image, uint8_t idLow, uint8_t idHigh,
                        uint8_t revLow, uint8_t revHigh);

// ---- ATmega and newer ATtiny (serial programming) ---------------------------------------------

// One fuse or lock byte: the factory value and two mask bytes.
struct AvrFuseEntry {
  uint8_t factory;
  uint8_t mask1;
  uint8_t mask2;
};
enum AvrFuseIndex : int {
  kAvrLowFuse = 0,
  kAvrHighFuse = 1,
  kAvrExtendedFuse = 2,
  kAvrLockByte = 3
};

struct AvrDevice {
  const char* name;
  uint8_t signature[3];               // in read order
  int32_t programSize;                // flash bytes
  int32_t pageWords;                  // flash page in words; copied to blockSize
  int32_t eepromSize;                 // bytes
  int32_t ramSize;                    // bytes
  uint8_t speedLowFuses[2];           // low fuse for programming speed 0, and for speeds 1 and 3
  int32_t algorithm;                  // 5 or 6: sent with the device-parameter command
  std::array<AvrFuseEntry, 4> fuses;  // indexed by AvrFuseIndex
  // Indexed by the clock-source option (CKSEL 0..15): the number (from 0) of the oscillator
  // calibration byte that option needs, or -1 when it needs none.
  std::array<int32_t, 16> calibrationMap;
  const char* remark;
};
inline constexpr int kAvrDeviceRows = 41;
extern const AvrDevice kAvrDevices[kAvrDeviceRows + 1];  // [0] = "Unknown Device"
// Looks up the three signature bytes; deviceId is left as it is.
int LookupAvrDevice(CMCUMemoryArchitecture& image, const uint8_t signature[3]);
// False when the extended entry's factory value is 0x00 or its first mask byte is 0xFF; the
// fuse primitives then skip the extended fuse byte.
bool AvrHasExtendedFuse(const AvrDevice& device);

// ---- ATtiny11/12 (high-voltage serial programming) --------------------------------------------

struct Tiny1xDevice {
  const char* name;
  uint8_t signature[3];
  int32_t programSize;  // flash bytes
  int32_t blockSize;
  int32_t eepromSize;  // bytes
  int32_t ramSize;     // the register file
  const char* remark;
};
inline constexpr int kTiny1xDeviceRows = 2;
extern const Tiny1xDevice kTiny1xDevices[kTiny1xDeviceRows + 1];  // [0] = "Unknown Device"
// Looks up the three signature bytes; deviceId is left as it is.
int LookupTiny1xDevice(CMCUMemoryArchitecture& image, const uint8_t signature[3]);

// ---- PIC12F629 family and PIC10F20x -----------------------------------------------------------

struct Pic12Device {
  const char* name;
  int32_t deviceId;     // ID word with the five revision bits zero
  int32_t programSize;  // words
  int32_t blockSize;
  int32_t eepromSize;  // bytes
  int32_t ramSize;     // bytes
  const char* remark;
};
inline constexpr int kPic12DeviceRows = 4;
extern const Pic12Device kPic12Devices[kPic12DeviceRows + 1];  // [0] = "Unknown Device"
// Looks up (idHigh*256+idLow) & 0xFFE0; stores the two raw bytes in deviceId.
int LookupPic12Device(CMCUMemoryArchitecture& image, uint8_t idLow, uint8_t idHigh);

// PIC10F20x parts cannot be identified; the user picks one of these types.
struct Pic10Type {
  const char* name;
  int32_t programSize;  // words
};
inline constexpr int kPic10TypeCount = 4;
extern const Pic10Type kPic10Types[kPic10TypeCount];
inline constexpr Pic10Type kInvalidPic10Type{.name = "Invalid MCU", .programSize = 0};
// Sets deviceName and programSize (and the family) only; a type outside 0..3 gives
// "Invalid MCU" with size 0.
void SelectPic10Type(CMCUMemoryArchitecture& image, int type);

// ---- Every identifiable family's table, as the generic lookups see it -------------------------

struct CatalogueTable {
  Family family;
  int deviceRows;  // device rows 1..deviceRows; row 0 is "Unknown Device"
  const char* (*name)(int row);
  // The key a device read matches: the ID word without revision bits, or the three signature
  // bytes as 0xSSSSSS (first byte highest).
  uint32_t (*key)(int row);
  // The row's ID or signature into deviceId, as identification would store it.
  void (*storeId)(int row, DeviceDescriptor& descriptor);
  // The row's sizes, name and remark into a descriptor.
  void (*describe)(int row, DeviceDescriptor& descriptor);
};

extern const CatalogueTable kPic18Catalogue;
extern const CatalogueTable kDsPic30Catalogue;
extern const CatalogueTable kAvrCatalogue;
extern const CatalogueTable kTiny1xCatalogue;
extern const CatalogueTable kPic12Catalogue;

// The tables of PIC18, dsPIC30, ATmega, ATtiny11/12 and PIC12, in lookup order by name.
std::span<const CatalogueTable* const> CatalogueTables();
const CatalogueTable* CatalogueTableOf(Family family);

// The columns every family's row has, into a descriptor; a table's describe function adds the
// rest (block size, write buffer, erase block).
template <typename Row>
void DescribeCommonColumns(const Row& row, DeviceDescriptor& descriptor) {
  descriptor.deviceName = row.name;
  descriptor.deviceRemark = row.remark;
  descriptor.programSize = row.programSize;
  descriptor.eepromSize = row.eepromSize;
  descriptor.ramSize = row.ramSize;
}

// Scans from the last device row down to row 1; 0 when no row has the key.
int FindCatalogueRow(const CatalogueTable& table, uint32_t key);
// Copies a row's descriptor fields into image: deviceIndex = row, the family (kNone for row 0),
// deviceId untouched. A row outside the table counts as row 0.
void FillDescriptor(CMCUMemoryArchitecture& image, const CatalogueTable& table, int row);

// ---- By name ----------------------------------------------------------------------------------

// Any family, by catalogue name (exact, then case-insensitive): fills the descriptor as
// identification or selection would (deviceId from the row's ID/signature); false if unknown.
// "Unknown Device" names no device.
bool FillDescriptorByName(CMCUMemoryArchitecture& image, std::string_view name);
// The family a catalogue name belongs to, kNone when no table lists it.
Family FamilyOfDevice(std::string_view name);

}  // namespace velmora
