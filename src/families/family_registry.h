#pragma once
// The family registry: one row per device family, in the order of the start page's buttons.
// Shared code asks the registry; only the registry knows the families' folders.
#include <span>
#include <string_view>

#include "families/family_row.h"

namespace velmora {

// Every row: the program's families, then the ones added at run time.
std::span<const FamilyRow* const> Families();
const FamilyRow* FindFamily(Family family);
// By the command line's name ("pic18").
const FamilyRow* FindFamily(std::string_view name);
// Adds a row (a family built outside the program's own list, e.g. by a test); it must live as
// long as the program. A row for a family already listed replaces it.
void AddFamily(const FamilyRow& row);
// Back to the program's own rows.
void ResetFamilies();

// The family's object of this document, created on first use. The family must have operations.
IFamilyOperations& OperationsOf(CqelDoc& doc, const FamilyRow& row);
// Starts a command of a family through the document (busy guard, preparation, operation).
bool StartFamilyCommand(CqelDoc& doc, const FamilyRow& row, int command);

}  // namespace velmora
