#pragma once
// The PIC12F629 family's page for the page registry.
#include <span>

#include "ui/page_registry.h"

namespace velmora {

std::span<const PageRow> Pic12Pages();

}  // namespace velmora
