#pragma once
// The PIC18 configuration options of the two PIC18 pages: one row per control, naming the
// option selection it stands for (by its stored name), its text and tooltip, and whether it is a
// check box (a single bit) or a list (a field whose value is the list index).
#include <span>

namespace velmora {

enum class OptionKind { kCheck, kList };
enum class Pic18Page { kBasic, kExtended };

struct Pic18OptionControl {
  int id;              // control identifier; a list's label carries id + kComboLabelOffset
  const char* option;  // the option selection's stored name, e.g. "PIC18WDTEN"
  const char* text;    // check box text, or the label in front of a list
  const char* toolTip;
  OptionKind kind;
  Pic18Page page;
};

std::span<const Pic18OptionControl> Pic18OptionControls();
const Pic18OptionControl* FindPic18OptionControl(int id);

}  // namespace velmora
