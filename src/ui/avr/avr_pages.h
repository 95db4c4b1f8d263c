#pragma once
// The ATmega/ATtiny family's pages for the page registry.
#include <span>

#include "ui/page_registry.h"

namespace velmora {

std::span<const PageRow> AvrPages();

}  // namespace velmora
