#pragma once
// The PIC18 family's registry row.
#include "families/family_row.h"

namespace velmora {

const FamilyRow& Pic18FamilyRow();

}  // namespace velmora
