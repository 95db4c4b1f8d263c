#include "ui/tiny1x/tiny1x_pages.h"

#include "families/family_row.h"
#include "ui/tiny1x/tiny1x_views.h"

namespace velmora {

std::span<const PageRow> Tiny1xPages() {
  static const PageRow pages[] = {{kTiny12Page, MakePage<CAtmelTiny12View>}};
  return pages;
}

}  // namespace velmora
