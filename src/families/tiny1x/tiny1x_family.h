#pragma once
// The ATtiny11/12 family's row of the family registry.
#include "families/family_row.h"

namespace velmora {

const FamilyRow& Tiny1xFamilyRow();

}  // namespace velmora
