#pragma once
// The PIC18 configuration options of the two PIC18 pages: one row per control, naming the
// option selection it stands for, its text and tooltip, and whether it is a check box (a single
// bit) or a list (a field whose value is the list index).
#include <span>

#include "engine/option_ids.h"

namespace velmora {

enum class OptionKind { kCheck, kList };
enum class Pic18Page { kBasic, kExtended };

struct Pic18OptionControl {
  int id;  // control identifier; a list's label carries id + kComboLabelOffset
  OptionId option;
  const char* text;  // check box text, or the label in front of a list
  const char* toolTip;
  OptionKind kind;
  Pic18Page page;
};

std::span<const Pic18OptionControl> Pic18OptionControls();
const Pic18OptionControl* FindPic18OptionControl(int id);

}  // namespace velmora
