#pragma once
// The ATtiny11/12 family's page for the page registry.
#include <span>

#include "ui/page_registry.h"

namespace velmora {

std::span<const PageRow> Tiny1xPages();

}  // namespace velmora
