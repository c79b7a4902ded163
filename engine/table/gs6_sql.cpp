#include "engine/table/gs6_sql.h"

#include <charconv>
#include <cstdint>
#include <iterator>
#include <vector>

#include "engine/foundation/gs6_Date.h"
#include "engine/foundation/gs6_vari.h"
#include "platform/services/codepage.h"
#include "platform/services/numtext.h"

namespace devazoz {
namespace {

// The coded string holds one symbol per entry: a plain byte (0..255, from a name,
// a number or a quoted part) or a control code (kControl | code). Keeping the two
// apart lets quoted text and names carry any byte, control-range bytes included.
using Symbol = uint16_t;
constexpr Symbol kControl = 0x100;

enum ControlCode : uint8_t {
  kOpen = 9,
  kClose = 10,
  kTextOpen = 11,
  kTextClose = 12,
  kDateOpen = 13,
  kDateClose = 14,
  kArgSeparator = 27,
  kSeparator = 28,
};

constexpr Symbol Ctl(uint8_t code) { return Symbol(kControl | code); }
bool IsControl(Symbol s) { return (s & kControl) != 0; }
uint8_t CodeOf(Symbol s) { return uint8_t(s & 0xFF); }
bool IsPrecedence(Symbol s) { return IsControl(s) && CodeOf(s) >= 2 && CodeOf(s) <= 8; }

bool IsQuote(char c) {
  return c == '"' || c == '\'' || c == '[' || c == ']' || c == '{' || c == '}';
}

class Tokenizer {
 public:
  // positions receives, for every symbol, the 0-based position in text it came from.
  std::vector<Symbol> Run(const std::string& text, std::vector<uint32_t>& positions) {
    const size_t n = text.size();
    for (size_t i = 0; i < n; ++i) {
      at_ = i;
      char c = text[i];
      if (IsQuote(c)) {
        i = Quoted(text, i);
        continue;
      }
      bool after_op = last_op_input_ + 1 == i && last_op_input_ != kNone;
      uint8_t last = after_op ? CodeOf(out_.back()) : 0;
      switch (c) {
        case ',':
          Plain(Ctl(kArgSeparator));
          break;
        case '(':
          Plain(Ctl(kOpen));
          break;
        case ')':
          Plain(Ctl(kClose));
          break;
        case '+':
        case '-':
          // The sign of a number's exponent ("1e-5", "1.5E+3") belongs to the number.
          if (InExponent())
            Plain(Symbol(uint8_t(c)));
          else
            Emit(c == '+' ? kOpAdd : kOpSubtract, i);
          break;
        case '*':
          if (last == kOpMultiply)
            Replace(kOpPower, i);
          else
            Emit(kOpMultiply, i);
          break;
        case '/':
          Emit(kOpDivide, i);
          break;
        case '^':
          Emit(kOpPower, i);
          break;
        case '%':
          Emit(kOpModulus, i);
          break;
        case '!':
          Emit(kOpNot, i);
          break;
        case '#':
          Emit(kOpNotEqual, i);
          break;
        case '=':
          if (last == kOpEqual)
            Replace(kOpExactEqual, i);
          else if (last == kOpNot)
            Replace(kOpNotEqual, i);
          else if (last == kOpLess)
            Replace(kOpLessEqual, i);
          else if (last == kOpGreater)
            Replace(kOpGreaterEqual, i);
          else
            Emit(kOpEqual, i);
          break;
        case '<':
          if (last == kOpEqual)
            Replace(kOpLessEqual, i);
          else
            Emit(kOpLess, i);
          break;
        case '>':
          if (last == kOpEqual) {
            Replace(kOpGreaterEqual, i);
          } else if (last == kOpLess) {
            Replace(kOpNotEqual, i);
          } else if (last == kOpSubtract) {
            // The alias arrow becomes a dot inside the name.
            out_.resize(out_.size() - 2);
            positions_.resize(positions_.size() - 2);
            Plain('.');
          } else {
            Emit(kOpGreater, i);
          }
          break;
        default:
          // Blanks and other control-range bytes separate tokens.
          if (uint8_t(c) <= ' ')
            Plain(Ctl(kSeparator));
          else
            Plain(Symbol(uint8_t(c)));
      }
    }
    positions = std::move(positions_);
    return std::move(out_);
  }

 private:
  static constexpr size_t kNone = SIZE_MAX;

  void Plain(Symbol s) {
    out_.push_back(s);
    positions_.push_back(uint32_t(at_));
    last_op_input_ = kNone;
  }
  void Emit(uint8_t code, size_t input) {
    out_.push_back(Ctl(uint8_t(OperatorPrecedence(code))));
    out_.push_back(Ctl(code));
    positions_.push_back(uint32_t(input));
    positions_.push_back(uint32_t(input));
    last_op_input_ = input;
  }
  // A two-character form replaces the operator its first character emitted.
  void Replace(uint8_t code, size_t input) {
    out_.resize(out_.size() - 2);
    positions_.resize(positions_.size() - 2);
    Emit(code, input);
  }
  // The token being collected is a number up to its exponent letter: digits with an
  // optional fraction, then E or e.
  bool InExponent() const {
    size_t k = out_.size();
    while (k > 0 && !IsControl(out_[k - 1])) --k;
    size_t end = out_.size();
    if (end - k < 2) return false;
    char e = char(CodeOf(out_[end - 1]));
    if (e != 'E' && e != 'e') return false;
    size_t digits = 0, dots = 0;
    for (size_t j = k; j + 1 < end; ++j) {
      char c = char(CodeOf(out_[j]));
      if (c >= '0' && c <= '9')
        ++digits;
      else if (c == '.' && dots == 0)
        ++dots;
      else
        return false;
    }
    return digits > 0;
  }

  size_t Quoted(const std::string& text, size_t open) {
    char opener = text[open];
    char closer = opener == '{' ? '}' : opener == '[' ? ']' : opener;
    bool date = opener == '{';
    size_t close = text.find(closer, open + 1);
    if (close == std::string::npos)
      RaiseExpressionError(std::string("Missing closing quote (") + closer +
                           ") for the text at position " + std::to_string(open + 1));
    Plain(Ctl(date ? kDateOpen : kTextOpen));
    for (size_t k = open + 1; k < close; ++k) {
      out_.push_back(Symbol(uint8_t(text[k])));
      positions_.push_back(uint32_t(k));
    }
    at_ = close;
    Plain(Ctl(date ? kDateClose : kTextClose));
    return close;
  }

  std::vector<Symbol> out_;
  std::vector<uint32_t> positions_;
  size_t at_ = 0;
  size_t last_op_input_ = kNone;
};

// The most arguments each function of the global library takes (the rest are
// ignored by the functions, so a call with more is refused).
int MostArguments(const std::string& name) {
  static const struct {
    const char* name;
    int most;
  } kArity[] = {{"ALLTRIM", 1}, {"ASC", 1},   {"AT", 3},    {"ATC", 3},     {"CEILING", 1},
                {"CHR", 1},     {"CTOD", 1},  {"DATE", 0},  {"DESCEND", 1}, {"DOW", 1},
                {"DTOC", 2},    {"DTOS", 1},  {"EMPTY", 1}, {"FLOOR", 1},   {"IIF", 3},
                {"INT", 1},     {"LEFT", 2},  {"LEN", 1},   {"LOWER", 1},   {"LTRIM", 1},
                {"PADC", 3},    {"PADL", 3},  {"PADR", 3},  {"RIGHT", 2},   {"RTRIM", 1},
                {"SOUNDEX", 1}, {"SPACE", 1}, {"STR", 3},   {"STRZERO", 3}, {"SUBSTR", 3},
                {"TRIM", 1},    {"UPPER", 1}, {"VAL", 1}};
  for (const auto& a : kArity)
    if (name == a.name) return a.most;
  return -1;
}

[[noreturn]] void RaiseTooDeep() {
  RaiseExpressionError("Expression nested too deeply (more than " +
                       std::to_string(kMaxExpressionDepth) +
                       " levels of parentheses, function calls and operators)");
}

void CheckDepth(const TgsExpBaseObject& node) {
  if (node.Depth() > kMaxExpressionDepth) RaiseTooDeep();
}

TgsExpOperator* AsOperator(const TgsExpNodePtr& node) {
  if (!node || node->Kind() != kKindOperator) return nullptr;
  return static_cast<TgsExpOperator*>(node.get());
}

// Keywords of the token with its dots removed.
enum class Keyword { kNone, kTrue, kFalse, kOperator };

Keyword LookupKeyword(const std::string& token, uint8_t& code) {
  if (token.size() < 2) return Keyword::kNone;
  size_t a = token.find_first_not_of('.');
  size_t b = token.find_last_not_of('.');
  if (a == std::string::npos) return Keyword::kNone;
  std::string word = token.substr(a, b - a + 1);
  if (word == "T" || word == "TRUE") return Keyword::kTrue;
  if (word == "F" || word == "FALSE") return Keyword::kFalse;
  static const struct {
    const char* word;
    uint8_t code;
  } kOperators[] = {{"EQ", kOpEqual},        {"LE", kOpLessEqual}, {"LT", kOpLess},
                    {"GE", kOpGreaterEqual}, {"GT", kOpGreater},   {"AND", kOpAnd},
                    {"OR", kOpOr},           {"NOT", kOpNot},      {"LIKE", kOpLike},
                    {"POS", kOpPos}};
  for (const auto& k : kOperators)
    if (word == k.word) {
      code = k.code;
      return Keyword::kOperator;
    }
  return Keyword::kNone;
}

bool StartsName(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '.';
}
bool StartsNumber(char c) { return (c >= '0' && c <= '9') || c == '+' || c == '-'; }

class Parser {
 public:
  Parser(const std::vector<Symbol>& code, const std::vector<uint32_t>& positions,
         TgsExpHandler* handler)
      : code_(code), positions_(positions), handler_(handler), link_(handler->UserLink()) {
    MatchParentheses();
  }

  TgsExpNodePtr Parse(size_t begin, size_t end, int level) {
    if (level > kMaxExpressionDepth) RaiseTooDeep();
    std::vector<TgsExpNodePtr> nodes;
    size_t i = begin;
    while (i < end) {
      Symbol s = code_[i];
      if (s == Ctl(kSeparator)) {
        ++i;
      } else if (IsPrecedence(s) && i + 1 < end) {
        uint8_t op = CodeOf(code_[i + 1]);
        bool sign =
            (op == kOpAdd || op == kOpSubtract) && (nodes.empty() || AsOperator(nodes.back()));
        if (sign) {
          i = Signed(i, end, level, nodes);
        } else {
          i += 2;
          nodes.push_back(std::make_unique<TgsExpOperator>(op, handler_->Settings()));
        }
      } else if (s == Ctl(kOpen)) {
        size_t close = match_[i];
        if (close == kNoMatch || close >= end) RaiseExpressionError("Missing closing parentheses");
        auto node = std::make_unique<TgsExpContainer>(Parse(i + 1, close, level + 1));
        CheckDepth(*node);
        nodes.push_back(std::move(node));
        i = close + 1;
      } else if (s == Ctl(kTextOpen) || s == Ctl(kDateOpen)) {
        i = Literal(i, end, nodes);
      } else if (!IsControl(s)) {
        i = Token(std::string(), i, end, level, nodes);
      } else if (s == Ctl(kClose)) {
        RaiseExpressionError("Closing parenthesis without an opening one at position " +
                             Position(i));
      } else if (s == Ctl(kArgSeparator)) {
        RaiseExpressionError("Comma outside an argument list at position " + Position(i));
      } else {
        ++i;
      }
    }
    return Bind(std::move(nodes));
  }

 private:
  static constexpr size_t kNoMatch = SIZE_MAX;

  std::string Position(size_t i) const {
    return std::to_string(i < positions_.size() ? positions_[i] + 1 : positions_.size() + 1);
  }

  // A sign at i (precedence and operator code) where an operand is expected. Before a
  // number literal it is part of the literal ("-5"); before any other operand (a
  // parenthesis, a function, a field, another sign) it negates that operand's number.
  size_t Signed(size_t i, size_t end, int level, std::vector<TgsExpNodePtr>& nodes) {
    if (level > kMaxExpressionDepth) RaiseTooDeep();
    uint8_t op = CodeOf(code_[i + 1]);
    size_t sign_at = i;
    i += 2;
    if (i < end && !IsControl(code_[i])) {
      char c = char(CodeOf(code_[i]));
      bool number =
          (c >= '0' && c <= '9') || (c == '.' && i + 1 < end && !IsControl(code_[i + 1]) &&
                                     CodeOf(code_[i + 1]) >= '0' && CodeOf(code_[i + 1]) <= '9');
      if (number) return Token(std::string(1, op == kOpAdd ? '+' : '-'), i, end, level, nodes);
    }
    while (i < end && code_[i] == Ctl(kSeparator)) ++i;
    std::vector<TgsExpNodePtr> operand;
    if (i < end && IsPrecedence(code_[i]) && i + 1 < end &&
        (CodeOf(code_[i + 1]) == kOpAdd || CodeOf(code_[i + 1]) == kOpSubtract)) {
      i = Signed(i, end, level + 1, operand);
    } else if (i < end && code_[i] == Ctl(kOpen)) {
      size_t close = match_[i];
      if (close == kNoMatch || close >= end) RaiseExpressionError("Missing closing parentheses");
      operand.push_back(std::make_unique<TgsExpContainer>(Parse(i + 1, close, level + 1)));
      i = close + 1;
    } else if (i < end && (code_[i] == Ctl(kTextOpen) || code_[i] == Ctl(kDateOpen))) {
      i = Literal(i, end, operand);
    } else if (i < end && !IsControl(code_[i])) {
      i = Token(std::string(), i, end, level + 1, operand);
    }
    if (operand.size() != 1)
      RaiseExpressionError(std::string("Target value missing for ") + (op == kOpAdd ? "+" : "-") +
                           " operation at position " + Position(sign_at));
    auto node = std::make_unique<TgsExpOperator>(op, handler_->Settings());
    node->SetRight(std::move(operand[0]));
    node->MakeUnary();
    CheckDepth(*node);
    nodes.push_back(std::move(node));
    return i;
  }

  void MatchParentheses() {
    match_.assign(code_.size(), kNoMatch);
    std::vector<size_t> open;
    for (size_t i = 0; i < code_.size(); ++i) {
      if (code_[i] == Ctl(kOpen)) {
        open.push_back(i);
      } else if (code_[i] == Ctl(kClose) && !open.empty()) {
        match_[open.back()] = i;
        open.pop_back();
      }
    }
  }

  size_t Literal(size_t open, size_t end, std::vector<TgsExpNodePtr>& nodes) {
    bool date = code_[open] == Ctl(kDateOpen);
    Symbol closer = Ctl(date ? kDateClose : kTextClose);
    std::string text;
    size_t i = open + 1;
    while (i < end && code_[i] != closer) text += char(CodeOf(code_[i++]));
    if (date) {
      int32_t day = 0;
      try {
        day = DBFDate().StorageToDay(text);
      } catch (const platform::EConvertError& e) {
        RaiseExpressionError(e.Message());
      }
      nodes.push_back(std::make_unique<TgsExpDateLit>(double(day)));
    } else {
      nodes.push_back(std::make_unique<TgsExpTextLit>(std::move(text)));
    }
    return i + 1;
  }

  // Collects the token at i (after an optional sign) and makes its node.
  size_t Token(std::string token, size_t i, size_t end, int level,
               std::vector<TgsExpNodePtr>& nodes) {
    bool dotted = token.empty() && i < end && code_[i] == Symbol('.');
    while (i < end && !IsControl(code_[i])) {
      char c = char(CodeOf(code_[i++]));
      if (dotted && c == '.' && !token.empty()) break;  // ".T." and ".AND." end at the second dot
      token += c;
    }
    token = platform::AnsiUpper(token);
    uint8_t op = 0;
    Keyword keyword = LookupKeyword(token, op);
    // A dotted keyword stays a keyword before '(' (".NOT.(A)"): no function has such a name.
    bool call = i < end && code_[i] == Ctl(kOpen) && !(dotted && keyword != Keyword::kNone);
    if (call) return Call(token, i, end, level, nodes);
    char first = token[0];
    if (StartsName(first)) {
      if (keyword == Keyword::kTrue || keyword == Keyword::kFalse) {
        nodes.push_back(std::make_unique<TgsExpBlnLit>(keyword == Keyword::kTrue));
      } else if (keyword == Keyword::kOperator) {
        nodes.push_back(std::make_unique<TgsExpOperator>(op, handler_->Settings()));
      } else {
        if (!link_) RaiseExpressionError("Field/variable " + token + " is unknown");
        TgsUserDefFieldVar* variable = link_->FindFieldVar(token);
        if (!variable)
          RaiseExpressionError("There is no function for " + token + " (nor a field of that name)");
        nodes.push_back(std::make_unique<TgsExpFieldvar>(variable));
      }
    } else if (StartsNumber(first)) {
      double value = 0;
      if (!platform::ParseDecimal(token, value)) value = 0;
      size_t dot = token.find('.');
      size_t exponent = token.find_first_of("eE");
      if (exponent == std::string::npos) exponent = token.size();
      int32_t decimals =
          dot == std::string::npos || dot > exponent ? 0 : int32_t(exponent - dot - 1);
      nodes.push_back(std::make_unique<TgsExpNumLit>(value, int32_t(token.size()), decimals));
    }
    // Any other token is ignored.
    return i;
  }

  size_t Call(const std::string& name, size_t open, size_t end, int level,
              std::vector<TgsExpNodePtr>& nodes) {
    size_t close = match_[open];
    if (close == kNoMatch || close >= end) RaiseExpressionError("Missing closing parentheses");
    TgsUserDefFunction* function = GlobalFunctions().Find(name);
    int most = function ? MostArguments(name) : -1;
    if (!function && link_) function = link_->FindFunction(name);
    if (!function) {
      if (!link_) RaiseExpressionError("There is no function for " + name);
      function = link_->UnknownFunction(name);
      if (!function) RaiseExpressionError("There is no function for " + name);
    }
    std::vector<TgsExpNodePtr> arguments;
    bool any = false;
    size_t start = open + 1;
    for (size_t k = open + 1; k < close;) {
      Symbol s = code_[k];
      if (s == Ctl(kOpen) && match_[k] != kNoMatch && match_[k] < close) {
        any = true;
        k = match_[k] + 1;
      } else if (s == Ctl(kArgSeparator)) {
        any = true;
        arguments.push_back(Parse(start, k, level + 1));
        start = ++k;
      } else {
        if (s != Ctl(kSeparator)) any = true;
        ++k;
      }
    }
    if (any) arguments.push_back(Parse(start, close, level + 1));
    if (most >= 0 && arguments.size() > size_t(most))
      RaiseExpressionError("Too many arguments for " + name + " (at most " + std::to_string(most) +
                           ") at position " + Position(open));
    auto node = std::make_unique<TgsExpFunction>(function, std::move(arguments), handler_);
    CheckDepth(*node);
    nodes.push_back(std::move(node));
    return close + 1;
  }

  // Binds operators by precedence, power first; each level from the left, except
  // NOT, which binds from the right so that ".NOT. .NOT. X" negates twice.
  TgsExpNodePtr Bind(std::vector<TgsExpNodePtr> nodes) {
    for (int precedence = 2; precedence <= 8 && nodes.size() > 1; ++precedence) {
      if (precedence == OperatorPrecedence(kOpNot)) {
        BindNot(nodes);
        continue;
      }
      std::vector<TgsExpNodePtr> out;
      out.reserve(nodes.size());
      for (size_t k = 0; k < nodes.size(); ++k) {
        TgsExpOperator* op = AsOperator(nodes[k]);
        bool binds = op && op->Precedence() == precedence && out.size() + (nodes.size() - k) > 1;
        if (!binds) {
          out.push_back(std::move(nodes[k]));
          continue;
        }
        TgsExpNodePtr node = std::move(nodes[k]);
        if (op->Code() != kOpNot && !out.empty()) {
          op->SetLeft(std::move(out.back()));
          out.pop_back();
        }
        if (k + 1 < nodes.size()) op->SetRight(std::move(nodes[++k]));
        op->MarkBound();
        CheckDepth(*op);
        out.push_back(std::move(node));
      }
      nodes = std::move(out);
    }
    if (nodes.empty()) return nullptr;
    if (nodes.size() != 1) RaiseExpressionError("Expression cannot be evaluated");
    return std::move(nodes[0]);
  }

  void BindNot(std::vector<TgsExpNodePtr>& nodes) {
    const int precedence = OperatorPrecedence(kOpNot);
    std::vector<TgsExpNodePtr> reversed;  // the nodes after the current one, nearest last
    reversed.reserve(nodes.size());
    for (size_t k = nodes.size(); k-- > 0;) {
      TgsExpOperator* op = AsOperator(nodes[k]);
      if (op && op->Precedence() == precedence && k + reversed.size() + 1 > 1) {
        TgsExpNodePtr node = std::move(nodes[k]);
        if (!reversed.empty()) {
          op->SetRight(std::move(reversed.back()));
          reversed.pop_back();
        }
        op->MarkBound();
        CheckDepth(*op);
        reversed.push_back(std::move(node));
      } else {
        reversed.push_back(std::move(nodes[k]));
      }
    }
    nodes.assign(std::make_move_iterator(reversed.rbegin()),
                 std::make_move_iterator(reversed.rend()));
  }

  const std::vector<Symbol>& code_;
  const std::vector<uint32_t>& positions_;
  TgsExpHandler* handler_;
  TgsExpUserLink* link_;
  std::vector<size_t> match_;
};

}  // namespace

TgsExpHandler::TgsExpHandler(TgsExpUserLink* link, bool sql_style, const std::string& text)
    : link_(link) {
  if (sql_style) {
    settings_.multi_wildcard = '%';
    settings_.single_wildcard = '_';
  }
  SetExpression(text);
}

TgsExpHandler::~TgsExpHandler() = default;

std::string TgsExpHandler::ExpressionText() const {
  return root_ ? root_->BuildText() : std::string();
}

std::string TgsExpHandler::CollectNames(int tag) const {
  return root_ ? root_->CollectNames(tag) : std::string();
}

void TgsExpHandler::SetExpression(const std::string& text) {
  root_.reset();
  result_type_ = kExpNothing;
  // The text ends at its first NUL, as a zero-terminated text would.
  std::string source = text.substr(0, text.find('\0'));
  if (source.empty()) return;
  std::vector<uint32_t> positions;
  std::vector<Symbol> code = Tokenizer().Run(source, positions);
  root_ = Parser(code, positions, this).Parse(0, code.size(), 0);
}

TgsExpValue* TgsExpHandler::Evaluate(TgsExpValue& value) {
  if (!root_) {
    result_type_ = kExpNothing;
    return nullptr;
  }
  value.Reset();
  result_type_ = kExpNothing;
  result_type_ = root_->Evaluate(value);
  return &value;
}

bool TgsExpHandler::EvaluateVariant(TgsVariant& variant) {
  TgsExpValue value;
  Evaluate(value);
  switch (result_type_) {
    case kExpText:
      variant.SetText(value.text);
      return true;
    case kExpNumber:
    case kExpNumber7:
      variant.SetNumber(value.number);
      return true;
    case kExpDate:
      variant.SetDate(DayFromValue(value.number));
      return true;
    case kExpLogic:
      variant.SetLogic(value.logic);
      return true;
    default:
      result_type_ = kExpNothing;
      variant.Clear();
      return false;
  }
}

}  // namespace devazoz
