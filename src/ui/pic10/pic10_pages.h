#pragma once
// The PIC10F20x family's page for the page registry.
#include <span>

#include "ui/page_registry.h"

namespace velmora {

std::span<const PageRow> Pic10Pages();

}  // namespace velmora
