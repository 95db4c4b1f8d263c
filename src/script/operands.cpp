// Register and signal operands of compiled statements.
#include <cctype>

#include "script/zeql_engine.h"

namespace velmora {

namespace {

// A variable may name another variable that holds the range; no deeper than this.
constexpr int kMaxOperandIndirection = 16;

bool IsLetter(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) != 0;
}
bool IsDigit(char c) {
  return std::isdigit(static_cast<unsigned char>(c)) != 0;
}

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) !=
        std::tolower(static_cast<unsigned char>(b[i]))) {
      return false;
    }
  }
  return true;
}

// Reads decimal digits at `i`; false when there are none.
bool ReadNumber(std::string_view text, size_t& i, long& value) {
  if (i >= text.size() || !IsDigit(text[i])) return false;
  value = 0;
  while (i < text.size() && IsDigit(text[i])) {
    if (value < 100000) value = value * 10 + (text[i] - '0');
    ++i;
  }
  return true;
}

}  // namespace

RegisterOperand CZEQLEngine::ParseRegisterOperand(std::string_view text) {
  return ParseRegisterOperandAt(text, 0);
}

// register := [A|D|G|R|T] ( n | n ":" m | ":" m )  |  variable-name
RegisterOperand CZEQLEngine::ParseRegisterOperandAt(std::string_view text, int depth) {
  RegisterOperand operand;
  if (text.size() >= 2 && IsLetter(text[0]) && IsLetter(text[1])) {
    size_t end = 0;
    while (end < text.size() && (IsLetter(text[end]) || IsDigit(text[end]) || text[end] == '_')) {
      ++end;
    }
    const std::string name(text.substr(0, end));
    const std::string* value = LookupVariable(name);
    if (FindVariable(name) == nullptr) {
      ReportError();
      Log("Variable \"" + name + "\" is not defined.");
      operand.error = true;
      return operand;
    }
    if (depth >= kMaxOperandIndirection) {
      ReportError();
      Log("\tVariable \"" + name + "\" refers to itself.");
      operand.error = true;
      return operand;
    }
    if (value == nullptr) return operand;  // a number: no register
    const std::string replacement = *value;
    return ParseRegisterOperandAt(replacement, depth + 1);
  }

  if (text.empty()) return operand;
  const char letter = static_cast<char>(std::toupper(static_cast<unsigned char>(text[0])));
  int base = 0;
  int maxOffset = 3;
  switch (letter) {
    case 'A':
      base = kRegisterBaseA;
      break;
    case 'T':
      base = kRegisterBaseT;
      break;
    case 'D':
      base = kRegisterBaseD;
      break;
    case 'R':
      base = kRegisterBaseR;
      break;
    case 'G':
      base = kRegisterBaseG;
      maxOffset = 31;
      break;
    default:
      return operand;  // not a register: an expression may stand here
  }
  operand.letter = letter;

  size_t i = 1;
  long first = 0;
  long last = 0;
  bool syntaxOk = true;
  if (i < text.size() && text[i] == ':') {
    ++i;
    syntaxOk = ReadNumber(text, i, last);
  } else if (ReadNumber(text, i, first)) {
    last = first;
    if (i < text.size() && text[i] == ':') {
      ++i;
      syntaxOk = ReadNumber(text, i, last);
    }
  } else {
    syntaxOk = false;  // an empty range
  }
  if (!syntaxOk || i != text.size()) {
    ReportError();
    operand.error = true;
    operand.first = operand.last = base;
    return operand;
  }
  if (first > maxOffset || last > maxOffset) {
    ReportError();
    Log("\t>> " + std::string(text) + " << offset out of range.");
    operand.error = true;
    operand.first = operand.last = base;
    return operand;
  }
  operand.first = base + static_cast<int>(first);
  operand.last = base + static_cast<int>(last);
  return operand;
}

SignalOperand CZEQLEngine::ParseSignalOperand(std::string_view text) {
  SignalOperand operand;
  while (!text.empty() && (text[0] == '-' || text[0] == '_')) {
    operand.inverted = !operand.inverted;
    text.remove_prefix(1);
  }
  if (text.empty()) return operand;
  for (const ZEQLSignal& signal : signals_) {
    if (!signal.alias.empty() && EqualsIgnoringCase(signal.alias, text)) {
      operand.id = signal.id;
      return operand;
    }
  }
  for (const ZEQLSignal& signal : signals_) {
    if ((*signal.shortName != '\0' && EqualsIgnoringCase(signal.shortName, text)) ||
        EqualsIgnoringCase(signal.longName, text)) {
      operand.id = signal.id;
      return operand;
    }
  }
  int group = 0;
  switch (std::toupper(static_cast<unsigned char>(text[0]))) {
    case 'A':
      group = signal_id::kBitA;
      break;
    case 'D':
      group = signal_id::kBitD;
      break;
    case 'R':
      group = signal_id::kBitR;
      break;
    case 'T':
      group = signal_id::kBitT;
      break;
    default:
      return operand;
  }
  const std::string_view digits = text.substr(1);
  if (digits.empty() || digits.size() > 2 || (digits.size() == 2 && digits[0] == '0')) {
    return operand;
  }
  int bit = 0;
  for (char c : digits) {
    if (!IsDigit(c)) return operand;
    bit = bit * 10 + (c - '0');
  }
  if (bit > 31) return operand;
  operand.id = group;
  operand.bit = bit;
  return operand;
}

}  // namespace velmora
