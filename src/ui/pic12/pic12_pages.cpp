#include "ui/pic12/pic12_pages.h"

#include "families/family_row.h"
#include "ui/pic12/pic12_views.h"

namespace velmora {

std::span<const PageRow> Pic12Pages() {
  static const PageRow pages[] = {{kPic12Page, MakePage<CPIC12View>}};
  return pages;
}

}  // namespace velmora
