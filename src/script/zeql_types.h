#pragma once
// The records the ZEQL front end shares: source lines, variables, evaluated values, the signal
// table of the programmer's pins and the register file of compiled code.
#include <array>
#include <cstdint>
#include <string>
#include <string_view>

namespace velmora {

// One non-empty line of a sub body.
struct ZEQLLine {
  std::string text;        // comment and trailing blanks removed
  std::string sourceFile;  // ShortenSourcePath of the file it came from
  int lineNumber = 0;
  int codeAddress = 0;  // where this line's code begins, set in every pass
  int labelLength = 0;  // a line "name:" holds a label of this length
  bool inLoop = false;  // lies between a `loop` and its `lend`
  // Set on the `lend` that closes a `loop`: the loop body's first line and the counter range.
  bool loopEnd = false;
  int loopBodyLine = -1;
  int loopFirstByte = 0;
  int loopLastByte = 0;
  // Target a call or far jump on this line recorded (the pass loop watches it settle).
  int recordedTarget = 0;
  // A jump or branch on this line took its far form; it keeps it in later passes, so that
  // code sizes only grow and the pass loop settles.
  bool farForm = false;
};

// A script variable; searched by exact, case-sensitive name.
struct ZEQLVariable {
  std::string name;
  std::string text;  // the right side as written (when hasText)
  bool hasText = false;
  bool constant = false;
  bool numeric = false;
  int64_t value = 0;
  bool textFlag = false;  // holds a text value
};

enum class ZEQLValueKind : int { kString = 1, kOther = 2, kNumber = 3, kStringVariable = 4 };

// A right side evaluated.
struct ZEQLValue {
  std::string source;
  ZEQLValueKind kind = ZEQLValueKind::kOther;
  int64_t number = 0;
  std::string string;  // without its quotes
};

// Signal identifiers of the programmer's pins and pseudo-signals.
namespace signal_id {
constexpr int kClk = 30, kClkDir = 31, kData = 33, kDataDir = 34, kData2 = 36, kData2Dir = 37;
constexpr int kData3 = 38, kData3Dir = 39, kData4 = 40, kData4Dir = 41;
constexpr int kInput = 42, kOutput = 43, kOff = 44, kOn = 45, kVpp = 46, kReset = 47;
constexpr int kHigh = 48, kLow = 49;
// Bit references: a register group letter and a bit number.
constexpr int kBitA = 50, kBitD = 51, kBitR = 52, kBitT = 53;
}  // namespace signal_id

struct ZEQLSignal {
  int id;
  const char* shortName;  // "" when none
  const char* longName;
  int outputRegister;  // low byte of LATB/LATC/TRISB/TRISC, -1 for a pseudo-signal
  int outputBit;
  int inputRegister;  // low byte of PORTB/PORTC
  int inputBit;
  // Set by `port`.
  std::string alias;
  bool invert = false;
  bool clean = false;
};

constexpr size_t kSignalCount = 18;
constexpr size_t kPinCount = 10;  // the first ten signals drive real pins

// The signal table in its fixed order; aliases and flags cleared.
std::array<ZEQLSignal, kSignalCount> DefaultSignalTable();

// Register file of compiled code: five byte groups addressed by letter and offset.
constexpr int kRegisterBaseA = 32, kRegisterBaseT = 36, kRegisterBaseD = 40;
constexpr int kRegisterBaseR = 44, kRegisterBaseG = 48;

struct RegisterOperand {
  char letter = 0;  // 'A', 'D', 'G', 'R', 'T', or 0 when the text is no register
  int first = 0;    // byte numbers
  int last = 0;
  bool error = false;
  bool IsRegister() const { return letter != 0 && !error; }
  int Size() const { return (last >= first ? last - first : first - last) + 1; }
  bool Reversed() const { return last < first; }
};

struct SignalOperand {
  bool inverted = false;
  int id = 0;  // a signal id, a bit reference (50..53), or 0 for none
  int bit = 0;
};

}  // namespace velmora
