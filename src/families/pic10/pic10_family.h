#pragma once
// The PIC10F20x family's row of the family registry.
#include "families/family_row.h"

namespace velmora {

const FamilyRow& Pic10FamilyRow();

}  // namespace velmora
