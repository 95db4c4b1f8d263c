#pragma once
// Catalogue names as the command line offers them: every identifiable device with its family,
// and the names nearest to a misspelt one.
#include <string>
#include <string_view>
#include <vector>

#include "memory/catalogue.h"

namespace velmora::cli {

struct CatalogueEntry {
  const CatalogueTable* table;
  int row;
  std::string name;
};

// Every device row of every table, in the tables' order.
std::vector<CatalogueEntry> CatalogueEntries();

// Catalogue names compare with case ignored.
bool SameDeviceName(std::string_view a, std::string_view b);

// Up to `count` catalogue names nearest to `name` (edit distance, case ignored), nearest first.
std::vector<std::string> NearestDeviceNames(std::string_view name, size_t count = 3);

// "unknown device \"X\"", followed by "; nearest: A, B, C" when there are near names.
std::string UnknownDeviceText(std::string_view name);

}  // namespace velmora::cli
