#pragma once
// The ATmega / ATtiny (serial programming) family's row of the family registry.
#include "families/family_row.h"

namespace velmora {

const FamilyRow& AvrFamilyRow();

}  // namespace velmora
