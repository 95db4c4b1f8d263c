// The registry's rows. Adding a family: its folder provides a FamilyRow, and one line here
// lists it. Families whose operations are not built yet keep a row with their catalogue, their
// start-page button (shown, but disabled while no page exists) and their HEX extents.
#include "families/family_registry.h"

#include <algorithm>
#include <vector>

#include "engine/cqel_doc.h"
#include "families/avr/avr_family.h"
#include "families/dspic30/dspic30_family.h"
#include "families/pic10/pic10_family.h"
#include "families/pic12/pic12_family.h"
#include "families/pic18/pic18_family.h"
#include "families/tiny1x/tiny1x_family.h"

namespace velmora {

namespace {

// The program's families, in the order of the start page's buttons.
std::vector<const FamilyRow*> ProgramFamilies() {
  return {&Pic18FamilyRow(), &DsPic30FamilyRow(), &Pic12FamilyRow(),
          &Pic10FamilyRow(), &Tiny1xFamilyRow(),  &AvrFamilyRow()};
}

std::vector<const FamilyRow*>& Rows() {
  static std::vector<const FamilyRow*> rows = ProgramFamilies();
  return rows;
}

}  // namespace

std::span<const FamilyRow* const> Families() {
  return Rows();
}

const FamilyRow* FindFamily(Family family) {
  for (const FamilyRow* row : Rows()) {
    if (row->family == family) return row;
  }
  return nullptr;
}

const FamilyRow* FindFamily(std::string_view name) {
  for (const FamilyRow* row : Rows()) {
    if (row->name == name) return row;
  }
  return nullptr;
}

void AddFamily(const FamilyRow& row) {
  auto& rows = Rows();
  const auto same = std::ranges::find(rows, row.family, &FamilyRow::family);
  if (same != rows.end()) {
    *same = &row;
  } else {
    rows.push_back(&row);
  }
}

void ResetFamilies() {
  Rows() = ProgramFamilies();
}

IFamilyOperations& OperationsOf(CqelDoc& doc, const FamilyRow& row) {
  if (IFamilyOperations* existing = doc.FamilyOperations(row.family)) return *existing;
  return doc.AdoptFamilyOperations(row.family, row.makeOperations(doc));
}

bool StartFamilyCommand(CqelDoc& doc, const FamilyRow& row, int command) {
  const FamilyCommand* found = FindCommand(row.commands, command);
  if (!found || !row.makeOperations) return false;
  return doc.StartCommand(OperationsOf(doc, row), *found);
}

}  // namespace velmora
