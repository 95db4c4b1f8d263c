#pragma once
// The dsPIC30 family's row of the family registry.
#include "families/family_row.h"

namespace velmora {

const FamilyRow& DsPic30FamilyRow();

}  // namespace velmora
