#include "ui/pic18/pic18_pages.h"

#include "families/family_row.h"
#include "ui/pic18/pic18_views.h"

namespace velmora {

std::span<const PageRow> Pic18Pages() {
  static const PageRow pages[] = {
      {kPic18BasicTestPage, MakePage<CBasicTestView>},
      {kPic18CompactPage, MakePage<CMiniVortangView>},
      {kPic18Page, MakePage<CPIC18BaseView>},
      {kPic18ExtendedPage, MakePage<CPIC18Base2View>},
  };
  return pages;
}

}  // namespace velmora
