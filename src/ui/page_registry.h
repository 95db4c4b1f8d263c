#pragma once
// The pages of the main window by type: the start page and each family's pages. A family's UI
// folder provides its table; the registry lists the tables. Pages of families added at run time
// (a test's, say) join through AddPages.
#include <functional>
#include <map>
#include <span>

namespace velmora {

class CBaseView;
class CMainFrame;

using ViewFactory = std::function<CBaseView*(CMainFrame&)>;

struct PageRow {
  int viewType;
  ViewFactory make;
};

// The page class of each view type.
const std::map<int, ViewFactory>& ViewFactories();
// Adds (or replaces) pages; the rows are copied.
void AddPages(std::span<const PageRow> pages);
// Back to the program's own pages.
void ResetPages();

template <class View>
CBaseView* MakePage(CMainFrame& frame) {
  return new View(frame);
}

}  // namespace velmora
