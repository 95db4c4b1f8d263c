// ZEQL expressions: a scanner that reads one token per call and a recursive descent over the
// eleven precedence levels. All arithmetic is signed 64-bit with wrap-around; faults never stop
// an evaluation, they log a plain line and give 0 for the faulty part.
#include <cctype>
#include <cstdint>
#include <limits>

#include "script/zeql_engine.h"

namespace velmora {

namespace {

enum class Tok {
  kEnd,
  kNumber,
  kName,
  kNot,
  kNotEqual,
  kBitNot,
  kLogicalAnd,
  kBitAnd,
  kLogicalOr,
  kBitOr,
  kXor,
  kEqual,
  kLess,
  kLessEqual,
  kShiftLeft,
  kGreater,
  kGreaterEqual,
  kShiftRight,
  kPlus,
  kMinus,
  kTimes,
  kDivide,
  kModulo,
  kOpen,
  kClose
};

// Parentheses, unary operators and variables that stand for expressions nest no deeper than
// this, so that no text can exhaust the stack.
constexpr int kMaxNesting = 200;

int64_t Wrap(uint64_t value) {
  return static_cast<int64_t>(value);
}
int64_t Add(int64_t a, int64_t b) {
  return Wrap(static_cast<uint64_t>(a) + static_cast<uint64_t>(b));
}
int64_t Subtract(int64_t a, int64_t b) {
  return Wrap(static_cast<uint64_t>(a) - static_cast<uint64_t>(b));
}
int64_t Multiply(int64_t a, int64_t b) {
  return Wrap(static_cast<uint64_t>(a) * static_cast<uint64_t>(b));
}
// The divisor is not 0. INT64_MIN / -1 wraps to INT64_MIN instead of trapping.
int64_t Divide(int64_t a, int64_t b) {
  if (b == -1) return Subtract(0, a);
  return a / b;
}
int64_t Remainder(int64_t a, int64_t b) {
  return b == -1 ? 0 : a % b;
}
int64_t ShiftLeft(int64_t a, int64_t count) {
  const unsigned n = static_cast<unsigned>(count & 0xFF);
  return n >= 64 ? 0 : Wrap(static_cast<uint64_t>(a) << n);
}
int64_t ShiftRight(int64_t a, int64_t count) {
  const unsigned n = static_cast<unsigned>(count & 0xFF);
  if (n >= 64) return a < 0 ? -1 : 0;
  return a >> n;  // arithmetic
}

bool IsNameStart(char c) {
  return std::isalpha(static_cast<unsigned char>(c)) || c == '_' || c == '[';
}
bool IsNameChar(char c) {
  return std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '[' || c == ']';
}

}  // namespace

class ExpressionScanner {
 public:
  ExpressionScanner(CZEQLEngine& engine, std::string_view text) : engine_(engine), text_(text) {
    Next();
  }

  // expression := logical-or
  int64_t Expression() { return LogicalOr(); }

 private:
  // logical-or := logical-and { "||" logical-and }
  int64_t LogicalOr() {
    int64_t value = LogicalAnd();
    while (token_ == Tok::kLogicalOr) {
      Next();
      const int64_t right = LogicalAnd();
      value = (value != 0 || right != 0) ? 1 : 0;
    }
    return value;
  }

  // logical-and := bit-or { "&&" bit-or }
  int64_t LogicalAnd() {
    int64_t value = BitOr();
    while (token_ == Tok::kLogicalAnd) {
      Next();
      const int64_t right = BitOr();
      value = (value != 0 && right != 0) ? 1 : 0;
    }
    return value;
  }

  // bit-or := bit-xor { "|" bit-xor }
  int64_t BitOr() {
    int64_t value = BitXor();
    while (token_ == Tok::kBitOr) {
      Next();
      value |= BitXor();
    }
    return value;
  }

  // bit-xor := bit-and { "^" bit-and }
  int64_t BitXor() {
    int64_t value = BitAnd();
    while (token_ == Tok::kXor) {
      Next();
      value ^= BitAnd();
    }
    return value;
  }

  // bit-and := equality { "&" equality }
  int64_t BitAnd() {
    int64_t value = Equality();
    while (token_ == Tok::kBitAnd) {
      Next();
      value &= Equality();
    }
    return value;
  }

  // equality := relation { ("==" | "=" | "!=") relation }
  int64_t Equality() {
    int64_t value = Relation();
    while (token_ == Tok::kEqual || token_ == Tok::kNotEqual) {
      const bool equal = token_ == Tok::kEqual;
      Next();
      const int64_t right = Relation();
      value = ((value == right) == equal) ? 1 : 0;
    }
    return value;
  }

  // relation := shift { ("<" | "<=" | ">" | ">=") shift }
  int64_t Relation() {
    int64_t value = Shift();
    while (token_ == Tok::kLess || token_ == Tok::kLessEqual || token_ == Tok::kGreater ||
           token_ == Tok::kGreaterEqual) {
      const Tok op = token_;
      Next();
      const int64_t right = Shift();
      bool result = false;
      if (op == Tok::kLess) result = value < right;
      if (op == Tok::kLessEqual) result = value <= right;
      if (op == Tok::kGreater) result = value > right;
      if (op == Tok::kGreaterEqual) result = value >= right;
      value = result ? 1 : 0;
    }
    return value;
  }

  // shift := sum { ("<<" | ">>") sum }   the count is the right side's low byte
  int64_t Shift() {
    int64_t value = Sum();
    while (token_ == Tok::kShiftLeft || token_ == Tok::kShiftRight) {
      const bool left = token_ == Tok::kShiftLeft;
      Next();
      const int64_t count = Sum();
      value = left ? ShiftLeft(value, count) : ShiftRight(value, count);
    }
    return value;
  }

  // sum := product { ("+" | "-") product }
  int64_t Sum() {
    int64_t value = Product();
    while (token_ == Tok::kPlus || token_ == Tok::kMinus) {
      const bool plus = token_ == Tok::kPlus;
      Next();
      const int64_t right = Product();
      value = plus ? Add(value, right) : Subtract(value, right);
    }
    return value;
  }

  // product := unary { ("*" | "/" | "%") unary }   a division by 0 makes the product 0
  int64_t Product() {
    int64_t value = Unary();
    bool dividedByZero = false;
    while (token_ == Tok::kTimes || token_ == Tok::kDivide || token_ == Tok::kModulo) {
      const Tok op = token_;
      Next();
      const int64_t right = Unary();
      if (op == Tok::kTimes) {
        value = Multiply(value, right);
      } else if (right == 0) {
        dividedByZero = true;
      } else {
        value = op == Tok::kDivide ? Divide(value, right) : Remainder(value, right);
      }
    }
    return dividedByZero ? 0 : value;
  }

  // unary := ("!" | "~" | "-" | "+") unary | "(" expression ")" | number | name
  int64_t Unary() {
    if (!EnterNesting()) return 0;
    int64_t value = 0;
    switch (token_) {
      case Tok::kNot:
        Next();
        value = Unary() == 0 ? 1 : 0;
        break;
      case Tok::kBitNot:
        Next();
        value = ~Unary();
        break;
      case Tok::kMinus:
        Next();
        value = Subtract(0, Unary());
        break;
      case Tok::kPlus:
        Next();
        value = Unary();
        break;
      case Tok::kOpen:
        Next();
        value = Expression();
        if (token_ == Tok::kClose) {
          Next();
        } else if (!aborted_) {
          engine_.Log("Missing closing paranthasis ')'");
          value = 0;
        }
        break;
      case Tok::kNumber:
      case Tok::kName:
        value = tokenValue_;
        Next();
        break;
      default:
        break;  // not an operand: 0, and the token stays
    }
    --engine_.evaluationDepth_;
    return value;
  }

  // One budget for parentheses, unary operators and variables together.
  bool EnterNesting() {
    if (aborted_) return false;
    if (engine_.evaluationDepth_ >= kMaxNesting) {
      engine_.Log("Expression nested too deeply");
      aborted_ = true;
      token_ = Tok::kEnd;
      return false;
    }
    ++engine_.evaluationDepth_;
    return true;
  }

  // ---- Scanner -------------------------------------------------------------------------------

  void Next() {
    const Tok previous = token_;
    token_ = aborted_ ? Tok::kEnd : Scan();
    if (token_ == Tok::kNumber && (previous == Tok::kNumber || previous == Tok::kName)) {
      engine_.Log("Missing Operator!!!");
      aborted_ = true;
      token_ = Tok::kEnd;
    }
  }

  Tok Scan() {
    while (cursor_ < text_.size() &&
           std::string_view(" \t\r\n").find(text_[cursor_]) != std::string_view::npos) {
      ++cursor_;
    }
    if (cursor_ >= text_.size() || text_[cursor_] == ';' || text_[cursor_] == '\0') {
      return Tok::kEnd;
    }
    const char c = text_[cursor_];
    if (std::isdigit(static_cast<unsigned char>(c))) return ScanNumber();
    if (IsNameStart(c)) return ScanName();
    ++cursor_;
    const char n = cursor_ < text_.size() ? text_[cursor_] : '\0';
    auto pair = [&](char second, Tok two, Tok one) {
      if (n == second) {
        ++cursor_;
        return two;
      }
      return one;
    };
    switch (c) {
      case '!':
        return pair('=', Tok::kNotEqual, Tok::kNot);
      case '~':
        return Tok::kBitNot;
      case '&':
        return pair('&', Tok::kLogicalAnd, Tok::kBitAnd);
      case '|':
        return pair('|', Tok::kLogicalOr, Tok::kBitOr);
      case '^':
        return Tok::kXor;
      case '=':
        return pair('=', Tok::kEqual, Tok::kEqual);
      case '<':
        if (n == '<') return pair('<', Tok::kShiftLeft, Tok::kLess);
        return pair('=', Tok::kLessEqual, Tok::kLess);
      case '>':
        if (n == '>') return pair('>', Tok::kShiftRight, Tok::kGreater);
        return pair('=', Tok::kGreaterEqual, Tok::kGreater);
      case '+':
        return Tok::kPlus;
      case '-':
        return Tok::kMinus;
      case '*':
        return Tok::kTimes;
      case '/':
        return Tok::kDivide;
      case '%':
        return Tok::kModulo;
      case '(':
        return Tok::kOpen;
      case ')':
        return Tok::kClose;
      default:
        // Not part of an expression: it ends here, and the text is no plain number.
        engine_.purelyNumeric = false;
        cursor_ = text_.size();
        return Tok::kEnd;
    }
  }

  Tok ScanNumber() {
    uint64_t value = 0;
    if (text_[cursor_] == '0' && cursor_ + 1 < text_.size() &&
        (text_[cursor_ + 1] == 'x' || text_[cursor_ + 1] == 'X')) {
      cursor_ += 2;
      while (cursor_ < text_.size() && std::isxdigit(static_cast<unsigned char>(text_[cursor_]))) {
        const char d = static_cast<char>(std::tolower(static_cast<unsigned char>(text_[cursor_])));
        value = value * 16 + static_cast<uint64_t>(d <= '9' ? d - '0' : d - 'a' + 10);
        ++cursor_;
      }
    } else {
      while (cursor_ < text_.size() && std::isdigit(static_cast<unsigned char>(text_[cursor_]))) {
        value = value * 10 + static_cast<uint64_t>(text_[cursor_] - '0');
        ++cursor_;
      }
    }
    tokenValue_ = Wrap(value);
    return Tok::kNumber;
  }

  Tok ScanName() {
    const size_t start = cursor_;
    while (cursor_ < text_.size() && IsNameChar(text_[cursor_])) ++cursor_;
    tokenValue_ = NameValue(text_.substr(start, cursor_ - start));
    return Tok::kName;
  }

  // A name that is a leading part of one of the buffer words or "_result" stands for it; the
  // first match in this order wins. Any other name is a variable.
  int64_t NameValue(std::string_view name) {
    struct Word {
      std::string_view text;
      ScriptBuffer buffer;
      bool byte;
    };
    static constexpr Word kWords[] = {
        {"file", ScriptBuffer::kFile, false}, {"[file]", ScriptBuffer::kFile, true},
        {"temp", ScriptBuffer::kTemp, false}, {"[temp]", ScriptBuffer::kTemp, true},
        {"chip", ScriptBuffer::kChip, false}, {"[chip]", ScriptBuffer::kChip, true}};
    for (const Word& word : kWords) {
      if (word.text.starts_with(name)) {
        return word.byte ? engine_.BufferByte(word.buffer) : engine_.BufferAddress(word.buffer);
      }
    }
    if (std::string_view("_result").starts_with(name)) return engine_.resultValue;
    return engine_.VariableValue(name);
  }

  CZEQLEngine& engine_;
  std::string_view text_;
  size_t cursor_ = 0;
  Tok token_ = Tok::kEnd;
  int64_t tokenValue_ = 0;
  bool aborted_ = false;
};

int64_t CZEQLEngine::Evaluate(std::string_view text) {
  if (text.empty()) {
    Log("Expression missing!");
    return 0;
  }
  if (evaluationDepth_ >= kMaxNesting) {
    Log("Expression nested too deeply");
    return 0;
  }
  ++evaluationDepth_;
  ExpressionScanner scanner(*this, text);
  const int64_t value = scanner.Expression();
  --evaluationDepth_;
  return value;
}

ZEQLValue CZEQLEngine::EvaluateValue(std::string_view text) {
  purelyNumeric = true;
  const int64_t number = Evaluate(text);
  if (purelyNumeric) {
    ZEQLValue value;
    value.source = std::string(text);
    value.kind = ZEQLValueKind::kNumber;
    value.number = number;
    return value;
  }
  return GetString(text);
}

ZEQLValue CZEQLEngine::GetString(std::string_view text) {
  ZEQLValue value;
  value.source = std::string(text);
  auto unquote = [](std::string_view quoted) {
    quoted.remove_prefix(1);
    return std::string(quoted.substr(0, quoted.find('"')));
  };
  if (!text.empty() && text[0] == '"') {
    value.kind = ZEQLValueKind::kString;
    value.string = unquote(text);
    return value;
  }
  const std::string* variableText = LookupVariable(text);
  if (variableText != nullptr && !variableText->empty() && (*variableText)[0] == '"') {
    value.kind = ZEQLValueKind::kStringVariable;
    value.string = unquote(*variableText);
    return value;
  }
  value.kind = ZEQLValueKind::kOther;
  return value;
}

}  // namespace velmora
