#pragma once
// The dsPIC30 family's pages for the page registry.
#include <span>

#include "ui/page_registry.h"

namespace velmora {

std::span<const PageRow> DsPic30Pages();

}  // namespace velmora
