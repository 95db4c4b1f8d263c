#include "ui/pic10/pic10_pages.h"

#include "families/family_row.h"
#include "ui/pic10/pic10_views.h"

namespace velmora {

std::span<const PageRow> Pic10Pages() {
  static const PageRow pages[] = {{kPic10Page, MakePage<CPIC10View>}};
  return pages;
}

}  // namespace velmora
