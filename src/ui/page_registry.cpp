#include "ui/page_registry.h"

#include "families/family_row.h"
#include "ui/avr/avr_pages.h"
#include "ui/base_view.h"
#include "ui/dspic30/dspic30_pages.h"
#include "ui/pic10/pic10_pages.h"
#include "ui/pic12/pic12_pages.h"
#include "ui/pic18/pic18_pages.h"
#include "ui/tiny1x/tiny1x_pages.h"

namespace velmora {

namespace {

std::map<int, ViewFactory> ProgramPages() {
  std::map<int, ViewFactory> pages{{kStartPage, MakePage<CBaseView>}};
  for (std::span<const PageRow> family :
       {Pic18Pages(), DsPic30Pages(), Pic12Pages(), Pic10Pages(), Tiny1xPages(), AvrPages()}) {
    for (const PageRow& row : family) pages[row.viewType] = row.make;
  }
  return pages;
}

std::map<int, ViewFactory>& Pages() {
  static std::map<int, ViewFactory> pages = ProgramPages();
  return pages;
}

}  // namespace

const std::map<int, ViewFactory>& ViewFactories() {
  return Pages();
}

void AddPages(std::span<const PageRow> pages) {
  for (const PageRow& row : pages) Pages()[row.viewType] = row.make;
}

void ResetPages() {
  Pages() = ProgramPages();
}

}  // namespace velmora
