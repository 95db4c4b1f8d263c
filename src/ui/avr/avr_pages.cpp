#include "ui/avr/avr_pages.h"

#include "families/family_row.h"
#include "ui/avr/avr_views.h"

namespace velmora {

std::span<const PageRow> AvrPages() {
  static const PageRow pages[] = {
      {kMegaPage, MakePage<CAtmelMegaView>},
      {kMegaCompactPage, MakePage<CAtmelMegaMiniVortang>},
  };
  return pages;
}

}  // namespace velmora
