#include "cli/device_names.h"

#include <algorithm>
#include <cctype>
#include <numeric>

namespace velmora::cli {

namespace {

char Lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// Levenshtein distance, case ignored, with one row of the table.
size_t EditDistance(std::string_view a, std::string_view b) {
  std::vector<size_t> row(b.size() + 1);
  std::iota(row.begin(), row.end(), size_t{0});
  for (size_t i = 1; i <= a.size(); ++i) {
    size_t diagonal = row[0];
    row[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t above = row[j];
      const size_t substitution = diagonal + (Lower(a[i - 1]) == Lower(b[j - 1]) ? 0 : 1);
      row[j] = std::min({above + 1, row[j - 1] + 1, substitution});
      diagonal = above;
    }
  }
  return row[b.size()];
}

}  // namespace

bool SameDeviceName(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) { return Lower(x) == Lower(y); });
}

std::vector<CatalogueEntry> CatalogueEntries() {
  std::vector<CatalogueEntry> entries;
  for (const CatalogueTable* table : CatalogueTables()) {
    for (int row = 1; row <= table->deviceRows; ++row) {
      entries.push_back({table, row, table->name(row)});
    }
  }
  return entries;
}

std::vector<std::string> NearestDeviceNames(std::string_view name, size_t count) {
  // A name further off than a third of its length (at least 2 edits) is no suggestion.
  // Among equally near names those that begin like the given one come first: users mistype
  // the end of a part number more often than its beginning.
  const size_t limit = std::max<size_t>(2, name.size() / 3);
  struct Near {
    size_t distance;
    size_t sharedPrefix;
    std::string name;
  };
  std::vector<Near> near;
  for (CatalogueEntry& entry : CatalogueEntries()) {
    const size_t distance = EditDistance(name, entry.name);
    if (distance > limit) continue;
    size_t prefix = 0;
    while (prefix < name.size() && prefix < entry.name.size() &&
           Lower(name[prefix]) == Lower(entry.name[prefix])) {
      ++prefix;
    }
    near.push_back({distance, prefix, std::move(entry.name)});
  }
  std::ranges::stable_sort(near, [](const Near& a, const Near& b) {
    return a.distance != b.distance ? a.distance < b.distance : a.sharedPrefix > b.sharedPrefix;
  });
  std::vector<std::string> names;
  for (Near& n : near) {
    if (names.size() == count) break;
    names.push_back(std::move(n.name));
  }
  return names;
}

std::string UnknownDeviceText(std::string_view name) {
  std::string text = "unknown device \"" + std::string(name) + "\"";
  const std::vector<std::string> near = NearestDeviceNames(name);
  for (size_t i = 0; i < near.size(); ++i) text += (i == 0 ? "; nearest: " : ", ") + near[i];
  return text;
}

}  // namespace velmora::cli
