#pragma once
// The PIC18 family's pages for the page registry.
#include <span>

#include "ui/page_registry.h"

namespace velmora {

std::span<const PageRow> Pic18Pages();

}  // namespace velmora
