#include "ui/dspic30/dspic30_pages.h"

#include "families/family_row.h"
#include "ui/dspic30/dspic30_views.h"

namespace velmora {

std::span<const PageRow> DsPic30Pages() {
  static const PageRow pages[] = {
      {kDsPic30Page, MakePage<CdsPIC30View>},
      {kDsPic30BasicTestPage, MakePage<CDSPIC30BasicTest>},
      {kDsPic30CompactPage, MakePage<CDSPIC30MINIVORTANG>},
  };
  return pages;
}

}  // namespace velmora
