// The lookups every family table shares: identification by key, descriptors from rows, and
// finding a device by its catalogue name across all families, for front ends that let the user
// name a device instead of identifying it.
#include "memory/catalogue.h"

#include <algorithm>
#include <cctype>
#include <optional>

namespace velmora {

namespace {

constexpr CatalogueTable const* kTables[] = {&kPic18Catalogue, &kDsPic30Catalogue, &kAvrCatalogue,
                                             &kTiny1xCatalogue, &kPic12Catalogue};

bool SameName(std::string_view a, std::string_view b) {
  return a == b;
}

bool SameNameIgnoringCase(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) ==
           std::tolower(static_cast<unsigned char>(y));
  });
}

struct DeviceRef {
  const CatalogueTable* table;  // nullptr: a PIC10 type
  int row;                      // table row; for PIC10 the type 0..3
};

// Device rows only (from the last down to row 1): row 0 "Unknown Device" names no device.
template <typename Equal>
std::optional<DeviceRef> FindDevice(std::string_view name, Equal equal) {
  for (const CatalogueTable* table : kTables) {
    for (int row = table->deviceRows; row >= 1; --row) {
      if (equal(table->name(row), name)) return DeviceRef{table, row};
    }
  }
  for (int type = 0; type < kPic10TypeCount; ++type) {
    if (equal(kPic10Types[type].name, name)) return DeviceRef{nullptr, type};
  }
  return std::nullopt;
}

std::optional<DeviceRef> FindDevice(std::string_view name) {
  if (auto exact = FindDevice(name, SameName)) return exact;
  return FindDevice(name, SameNameIgnoringCase);
}

}  // namespace

std::span<const CatalogueTable* const> CatalogueTables() {
  return kTables;
}

const CatalogueTable* CatalogueTableOf(Family family) {
  for (const CatalogueTable* table : kTables) {
    if (table->family == family) return table;
  }
  return nullptr;
}

int FindCatalogueRow(const CatalogueTable& table, uint32_t key) {
  for (int row = table.deviceRows; row >= 1; --row) {
    if (table.key(row) == key) return row;
  }
  return 0;
}

void FillDescriptor(CMCUMemoryArchitecture& image, const CatalogueTable& table, int row) {
  if (row < 0 || row > table.deviceRows) row = 0;
  image.deviceIndex = row;
  table.describe(row, image);
  image.family = row == 0 ? Family::kNone : table.family;
}

bool FillDescriptorByName(CMCUMemoryArchitecture& image, std::string_view name) {
  const std::optional<DeviceRef> device = FindDevice(name);
  if (!device) return false;
  if (!device->table) {
    SelectPic10Type(image, device->row);
    return true;
  }
  device->table->storeId(device->row, image);
  FillDescriptor(image, *device->table, device->row);
  return true;
}

Family FamilyOfDevice(std::string_view name) {
  const std::optional<DeviceRef> device = FindDevice(name);
  if (!device) return Family::kNone;
  return device->table ? device->table->family : Family::kPic10;
}

}  // namespace velmora
