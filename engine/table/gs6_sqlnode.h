// The nodes of a compiled expression tree. Every node owns its operands (and a
// function node its arguments); functions and variables belong to registries.
#ifndef ENGINE_TABLE_GS6_SQLNODE_H_
#define ENGINE_TABLE_GS6_SQLNODE_H_

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "engine/table/gs6_sqlbase.h"

namespace devazoz {

class TgsExpHandler;

// Kind of a node (not its KindTag, which only field variables answer).
enum TgsExpKind : int {
  kKindContainer = 0,
  kKindOperatorBound = 2,
  kKindOperator = 3,  // while its operands are not yet bound
  kKindFunction = 4,
  kKindFieldvar = 5,
  kKindTextLit = 6,
  kKindNumLit = 7,
  kKindDateLit = 8,
  kKindBlnLit = 9,
};

// Operator codes; each has a precedence (see OperatorPrecedence).
enum TgsExpOpCode : uint8_t {
  kOpEqual = 129,
  kOpNotEqual = 130,
  kOpGreater = 131,
  kOpLess = 132,
  kOpGreaterEqual = 133,
  kOpLessEqual = 134,
  kOpExactEqual = 136,
  kOpAdd = 137,
  kOpSubtract = 138,
  kOpMultiply = 139,
  kOpDivide = 140,
  kOpPower = 141,
  kOpLike = 142,  // keyword only, no evaluation
  kOpPos = 143,   // keyword only, no evaluation
  kOpAnd = 144,
  kOpOr = 145,
  kOpNot = 146,
  kOpModulus = 147,  // % : the remainder of a division
};

// 2 power; 3 multiplication, division, modulus; 4 addition, subtraction; 5 comparisons;
// 6 NOT; 7 AND; 8 OR.
int OperatorPrecedence(uint8_t code);

// The handler's text comparison settings, copied into each operator.
struct TgsExpCompareSettings {
  bool case_insensitive = false;
  bool wildcard = true;
  char multi_wildcard = '*';
  char single_wildcard = '?';  // kept, not used by the comparison
  // The compared text is in the OEM set (a table's text read as it is stored):
  // case is folded with the OEM letters, so that accented letters meet their
  // capitals.
  bool oem_text = false;
};

class TgsExpBaseObject : public TgsObject {
 public:
  explicit TgsExpBaseObject(int kind) : kind_(kind) {}
  ~TgsExpBaseObject() override;

  virtual std::string OwnText() const;              // 0
  virtual int KindTag() const;                      // 1
  virtual std::string BuildText() const;            // 2
  virtual std::string CollectNames(int tag) const;  // 3
  virtual int Evaluate(TgsExpValue& value);         // 4: returns the result type

  int Kind() const { return kind_; }
  int ResultType() const { return result_type_; }
  int32_t Width() const { return width_; }
  int32_t Decimals() const { return decimals_; }
  TgsExpBaseObject* Left() const { return left_.get(); }
  TgsExpBaseObject* Right() const { return right_.get(); }
  // Levels of nodes from this one down to its deepest leaf (1 for a leaf).
  int Depth() const { return depth_; }

  void SetLeft(std::unique_ptr<TgsExpBaseObject> node);
  void SetRight(std::unique_ptr<TgsExpBaseObject> node);

 protected:
  void RaiseDepth(int child_depth);

  int kind_;
  int result_type_ = kExpNothing;
  int32_t width_ = 0;
  int32_t decimals_ = 0;
  std::unique_ptr<TgsExpBaseObject> left_;
  std::unique_ptr<TgsExpBaseObject> right_;
  int depth_ = 1;
};

using TgsExpNodePtr = std::unique_ptr<TgsExpBaseObject>;

// A parenthesised sub-expression, held as the right operand (absent when empty).
class TgsExpContainer : public TgsExpBaseObject {
 public:
  explicit TgsExpContainer(TgsExpNodePtr inner);
  std::string BuildText() const override;
  int Evaluate(TgsExpValue& value) override;
};

class TgsExpOperator : public TgsExpBaseObject {
 public:
  TgsExpOperator(uint8_t code, const TgsExpCompareSettings& settings);
  std::string OwnText() const override;
  int Evaluate(TgsExpValue& value) override;

  uint8_t Code() const { return code_; }
  int Precedence() const { return precedence_; }
  bool Bound() const { return kind_ == kKindOperatorBound; }
  void MarkBound() { kind_ = kKindOperatorBound; }
  // A sign before an operand: + or - with only a right operand, whose number it
  // keeps or negates. Marks the operator bound.
  void MakeUnary() {
    unary_ = true;
    MarkBound();
  }
  bool Unary() const { return unary_; }

 private:
  int EvaluateLogic(const TgsExpValue& l, const TgsExpValue& r, TgsExpValue& value);
  int EvaluateNumeric(const TgsExpValue& l, int ltype, const TgsExpValue& r, int rtype,
                      TgsExpValue& value);
  int EvaluateText(TgsExpValue& l, TgsExpValue& r, TgsExpValue& value);
  int CompareText(std::string& l, std::string& r) const;
  // Raises that this operator does not work on values of the given type.
  [[noreturn]] void RaiseNotFor(int type) const;

  uint8_t code_;
  int precedence_;
  bool unary_ = false;
  TgsExpCompareSettings settings_;
  // The operands' values, kept between evaluations so that their texts keep
  // their storage (a node is never inside its own evaluation).
  TgsExpValue left_value_, right_value_;
};

class TgsExpFunction : public TgsExpBaseObject {
 public:
  // Absent arguments (empty argument texts) are null entries.
  TgsExpFunction(TgsUserDefFunction* function, std::vector<TgsExpNodePtr> arguments,
                 TgsExpHandler* handler);
  std::string OwnText() const override;
  std::string BuildText() const override;
  std::string CollectNames(int tag) const override;
  int Evaluate(TgsExpValue& value) override;

  TgsUserDefFunction* Function() const { return function_; }
  TgsExpHandler* Handler() const { return handler_; }
  size_t ArgumentCount() const { return arguments_.size(); }
  TgsExpBaseObject* Argument(size_t i) const {
    return i < arguments_.size() ? arguments_[i].get() : nullptr;
  }

 private:
  TgsUserDefFunction* function_;
  std::vector<TgsExpNodePtr> arguments_;
  TgsExpHandler* handler_;
};

class TgsExpFieldvar : public TgsExpBaseObject {
 public:
  explicit TgsExpFieldvar(TgsUserDefFieldVar* variable);
  std::string OwnText() const override;
  int KindTag() const override;
  int Evaluate(TgsExpValue& value) override;
  TgsUserDefFieldVar* Variable() const { return variable_; }

 private:
  TgsUserDefFieldVar* variable_;
};

class TgsExpTextLit : public TgsExpBaseObject {
 public:
  explicit TgsExpTextLit(std::string text);
  std::string OwnText() const override;
  int Evaluate(TgsExpValue& value) override;

 private:
  std::string text_;
};

class TgsExpNumLit : public TgsExpBaseObject {
 public:
  // width = the literal's length, decimals = characters after its first '.'.
  TgsExpNumLit(double value, int32_t width, int32_t decimals);
  std::string OwnText() const override;
  int Evaluate(TgsExpValue& value) override;
  double Value() const { return value_; }

 private:
  double value_;
};

class TgsExpDateLit : public TgsExpBaseObject {
 public:
  explicit TgsExpDateLit(double day);
  std::string OwnText() const override;
  int Evaluate(TgsExpValue& value) override;

 private:
  double day_;
};

class TgsExpBlnLit : public TgsExpBaseObject {
 public:
  explicit TgsExpBlnLit(bool value);
  std::string OwnText() const override;
  int Evaluate(TgsExpValue& value) override;

 private:
  bool value_;
};

// Evaluates argument index (0-based) of the function node into value and returns
// its type (kExpNoValue for a missing argument). Raises "%s needed for Argument
// %d of %s" when wanted is not kExpAny, differs from the actual type, lies
// outside the numeric family and the actual type lies inside it.
int FetchArgument(TgsExpFunction& node, int index, TgsExpValue& value, int wanted);

// FetchArgument, then the same message for every other type the function cannot
// use: wanted text, logical or any-numeric, with kExpNoValue accepted only when
// optional is set.
int FetchTyped(TgsExpFunction& node, int index, TgsExpValue& value, int wanted,
               bool optional = false);

// Fixed-point text of value with decimals places, '.' as separator, right-aligned
// in width (no padding when shorter); "NAN", "INF", "-INF" for those values.
std::string FormatFixedPoint(double value, int decimals, int width);

}  // namespace devazoz

#endif  // ENGINE_TABLE_GS6_SQLNODE_H_
