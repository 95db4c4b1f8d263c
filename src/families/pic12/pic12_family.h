#pragma once
// The PIC12F629 family's row of the family registry.
#include "families/family_row.h"

namespace velmora {

const FamilyRow& Pic12FamilyRow();

}  // namespace velmora
