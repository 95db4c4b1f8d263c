#pragma once
// The controls of the dsPIC30 pages that stand for option selections: the page's programming
// flags (the dsPIC30 keeps its own, among the option selections) and the configuration options,
// one row per control, with the texts of the option lists per device.
#include <QStringList>
#include <span>

#include "engine/option_ids.h"
#include "families/dspic30/config_dspic30.h"

namespace velmora {

// The dsPIC30 HEX file's name field; the browse button is the shared 1078.
inline constexpr int kDsPic30HexFileEdit = 1366;

enum class DsPic30ControlKind { kFlag, kCheck, kList };

struct DsPic30OptionControl {
  int id;  // control identifier; a list's label carries id + ctl::kComboLabelOffset
  OptionId option;
  const char* text;  // check box text, or the label in front of a list
  const char* toolTip;
  DsPic30ControlKind kind;
  // Ticked means the named protection is on, which the chip stores as a 0 bit.
  bool activeLow;
};

std::span<const DsPic30OptionControl> DsPic30OptionControls();
const DsPic30OptionControl* FindDsPic30OptionControl(int id);

// The items of the list of `field` on the device of catalogue row `row`: item i stands for
// field value i. Choices the maker names for the device carry their names, the others show
// the field value in binary.
QStringList DsPic30ListItems(int row, const DsPic30Field& field);

}  // namespace velmora
