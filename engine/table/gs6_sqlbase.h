// The expression engine's common ground: its exception, the result type codes,
// the value an evaluation produces, the bases of functions and variables, their
// registries and the user link through which an expression finds the names of
// one data source.
#ifndef ENGINE_TABLE_GS6_SQLBASE_H_
#define ENGINE_TABLE_GS6_SQLBASE_H_

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/foundation/gs6_glbl.h"
#include "platform/services/exception.h"

namespace devazoz {

class GSO_dBaseFld;
class TgsExpFunction;

class EDevazozExpression : public platform::Exception {
 public:
  using platform::Exception::Exception;
};

[[noreturn]] void RaiseExpressionError(const std::string& message);

// Result type codes of an evaluation.
constexpr int kExpNothing = 0;  // empty expression
constexpr int kExpNoValue = 1;  // empty parentheses, a function that produced nothing
constexpr int kExpAny = 2;      // wanted type only: any type is accepted
constexpr int kExpText = 3;
constexpr int kExpNumber = 4;
constexpr int kExpDate = 6;     // Julian day number as a double
constexpr int kExpNumber7 = 7;  // a number, treated as kExpNumber
constexpr int kExpLogic = 8;
constexpr int kExpFieldRef = 9;  // a field whose type has no value of its own (memo, ...)

// Codes 4 to 7: numbers and dates meet in arithmetic and comparisons.
inline bool IsNumericFamily(int type) { return type >= 4 && type <= 7; }

// The date CTOD makes of empty text; a table's empty date field is day 0.
constexpr double kEmptyDate = 1e100;

// Text values are held in growable storage up to the longest character field a
// table can have; anything that would produce more is an error.
constexpr size_t kMaxTextLength = 65535;
// Parentheses, function calls and chained operators together; deeper trees are
// refused at compilation so that evaluation cannot exhaust the stack.
constexpr int kMaxExpressionDepth = 512;

// "Text" for 3, "Number" for 4, "Date" for 6, "Boolean" for 8, else "Unknown Value".
const char* ExpressionTypeName(int type);

// One evaluated value; which members are meaningful depends on the result type
// that the evaluation reported. Text never contains a NUL byte.
struct TgsExpValue {
  std::string text;               // kExpText
  double number = 0;              // kExpNumber, kExpDate
  int32_t width = 0;              // width carried by a number: field length, 7 for RECNO
  bool logic = false;             // kExpLogic
  GSO_dBaseFld* table = nullptr;  // kExpFieldRef
  int32_t field = 0;              // kExpFieldRef: 1-based field number

  // Raises "Text value longer than 65535 bytes" when the text is too long; the
  // text is cut at its first NUL byte.
  void SetText(std::string value);
  // SetText into the text's own storage (no new string when it is large enough).
  void AssignText(std::string_view value);
  void SetNumber(double value, int32_t number_width = 0);
  void SetDate(double day) { SetNumber(day); }
  void SetLogic(bool value) { logic = value; }
  // Back to a fresh value; the text keeps its storage.
  void Reset() {
    text.clear();
    number = 0;
    width = 0;
    logic = false;
    table = nullptr;
    field = 0;
  }
};

// Raises the text-length error when n exceeds kMaxTextLength.
void CheckTextLength(size_t n);

// The number truncated toward zero and clamped to the 32-bit range; NaN gives 0.
int32_t TruncToInt32(double value);
// A date value as a day number: truncated toward zero; the empty date 1e100 and
// anything else outside the 32-bit range count as no date (0).
int32_t DayFromValue(double day);

// Base of every expression function.
class TgsUserDefFunction : public TgsObject {
 public:
  explicit TgsUserDefFunction(std::string name);
  ~TgsUserDefFunction() override;

  virtual std::string Name() const;  // 0: upper case
  // 1: fetches the arguments through the node, writes the value and its type;
  // false = the function produced nothing.
  virtual bool Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type);

 protected:
  std::string name_;
};

// Base of every named variable an expression can read.
class TgsUserDefFieldVar : public TgsObject {
 public:
  // The name is upper-cased.
  TgsUserDefFieldVar(const std::string& name, int32_t width);
  ~TgsUserDefFieldVar() override;

  virtual std::string Name() const;                             // 0
  virtual int KindTag() const;                                  // 1: 16
  virtual bool GetValue(TgsExpValue& value, int& result_type);  // 2: false here
  int32_t Width() const { return width_; }

 protected:
  std::string name_;
  int32_t width_;
};

constexpr int kFieldVarTag = 16;
constexpr int kTableFieldVarTag = 17;

// Owning lists searched by exact, case-sensitive name in insertion order.
class TgsFunctionReg {
 public:
  void AddFunction(std::unique_ptr<TgsUserDefFunction> function);  // ignores null
  TgsUserDefFunction* Find(const std::string& name) const;
  size_t Count() const { return items_.size(); }
  TgsUserDefFunction* At(size_t i) const { return items_.at(i).get(); }

 private:
  std::vector<std::unique_ptr<TgsUserDefFunction>> items_;
};

class TgsFieldVarReg {
 public:
  void AddFieldVar(std::unique_ptr<TgsUserDefFieldVar> variable);  // ignores null
  TgsUserDefFieldVar* Find(const std::string& name) const;
  size_t Count() const { return items_.size(); }
  TgsUserDefFieldVar* At(size_t i) const { return items_.at(i).get(); }

 private:
  std::vector<std::unique_ptr<TgsUserDefFieldVar>> items_;
};

// The built-in library shared by every expression, filled on first use.
TgsFunctionReg& GlobalFunctions();

// Connects expressions to one data source: its functions and variables.
class TgsExpUserLink : public TgsObject {
 public:
  TgsExpUserLink();
  ~TgsExpUserLink() override;

  virtual TgsUserDefFunction* FindFunction(const std::string& name);  // 0
  virtual TgsUserDefFieldVar* FindFieldVar(const std::string& name);  // 1
  // 2: a name nothing else knows; raises "There is no function for %s" here.
  virtual TgsUserDefFunction* UnknownFunction(const std::string& name);

  void AddFunction(std::unique_ptr<TgsUserDefFunction> function);
  void AddFieldVar(std::unique_ptr<TgsUserDefFieldVar> variable);
  const TgsFunctionReg& Functions() const { return functions_; }
  const TgsFieldVarReg& FieldVars() const { return field_vars_; }

  // Width STR uses without a width argument; -1 = the width the number carries.
  int32_t default_str_width = 10;

 private:
  TgsFunctionReg functions_;
  TgsFieldVarReg field_vars_;
};

}  // namespace devazoz

#endif  // ENGINE_TABLE_GS6_SQLBASE_H_
