// Evaluation of operators: the numeric family, texts with their comparison
// settings, exactly equal, logicals, type errors and EvaluateVariant.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "engine/foundation/gs6_vari.h"
#include "engine/table/gs6_sql.h"

namespace {
using namespace devazoz;

class TestVar : public TgsUserDefFieldVar {
 public:
  TestVar(const std::string& name, int type) : TgsUserDefFieldVar(name, 10), type_(type) {}
  bool GetValue(TgsExpValue& value, int& result_type) override {
    ++reads;
    value = value_;
    result_type = type_;
    return true;
  }
  TgsExpValue value_;
  int type_;
  int reads = 0;
};

class Link : public TgsExpUserLink {
 public:
  TestVar* Add(const std::string& name, int type) {
    auto var = std::make_unique<TestVar>(name, type);
    TestVar* p = var.get();
    AddFieldVar(std::move(var));
    return p;
  }
};

struct Result {
  int type;
  TgsExpValue value;
};

Result Eval(const std::string& text, TgsExpUserLink* link = nullptr, bool ci = false,
            bool wildcard = true, bool sql = false) {
  TgsExpHandler h(link, sql, "");
  h.SetCaseInsensitive(ci);
  h.SetWildcard(wildcard);
  h.SetExpression(text);
  Result r;
  h.Evaluate(r.value);
  r.type = h.ResultType();
  return r;
}

bool Is(const std::string& text, TgsExpUserLink* link = nullptr, bool ci = false,
        bool wildcard = true, bool sql = false) {
  Result r = Eval(text, link, ci, wildcard, sql);
  EXPECT_EQ(r.type, kExpLogic) << text;
  return r.value.logic;
}

std::string ErrorOf(const std::string& text) {
  try {
    Eval(text);
  } catch (const EDevazozExpression& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(ExprOperator, NumbersCompareExactly) {
  EXPECT_TRUE(Is("1 = 1"));
  EXPECT_FALSE(Is("1 = 1.0000001"));
  EXPECT_TRUE(Is("0.1 + 0.2 # 0.3"));  // no tolerance
  EXPECT_TRUE(Is("2 > 1"));
  EXPECT_FALSE(Is("1 > 1"));
  EXPECT_TRUE(Is("1 < 2"));
  EXPECT_TRUE(Is("1 >= 1"));
  EXPECT_TRUE(Is("1 <= 1"));
  EXPECT_FALSE(Is("2 <= 1"));
  EXPECT_TRUE(Is("1 == 1"));
  EXPECT_FALSE(Is("1 == 2"));
}

TEST(ExprOperator, ArithmeticTakesTheRightOperandsType) {
  Link link;
  TestVar* d = link.Add("HIRED", kExpDate);
  d->value_.number = 2444240;
  Result r = Eval("HIRED + 1", &link);
  EXPECT_EQ(r.type, kExpNumber);
  EXPECT_EQ(r.value.number, 2444241);
  r = Eval("1 + HIRED", &link);
  EXPECT_EQ(r.type, kExpDate);
  EXPECT_EQ(r.value.number, 2444241);
  r = Eval("HIRED - {19791231}", &link);
  EXPECT_EQ(r.type, kExpDate);
  EXPECT_EQ(r.value.number, 1);
  EXPECT_TRUE(Is("HIRED > {19791231}", &link));
  EXPECT_TRUE(Is("HIRED = 2444240", &link));
  EXPECT_EQ(Eval("7 / 2").value.number, 3.5);
  EXPECT_TRUE(std::isinf(Eval("1 / 0").value.number));
  EXPECT_EQ(Eval("2 * 3").type, kExpNumber);
}

TEST(ExprOperator, PercentIsTheRemainder) {
  EXPECT_EQ(Eval("7%4").value.number, 3);
  EXPECT_EQ(Eval("7 % 4").type, kExpNumber);
  EXPECT_EQ(Eval("2 + 7 % 4 * 2").value.number, 8);  // binds as * and / do
  EXPECT_EQ(Eval("7.5 % 2").value.number, 1.5);
  // The remainder takes the divisor's sign.
  EXPECT_EQ(Eval("-7 % 4").value.number, 1);
  EXPECT_EQ(Eval("7 % -4").value.number, -1);
  EXPECT_EQ(Eval("8 % 4").value.number, 0);
  EXPECT_TRUE(std::isnan(Eval("7 % 0").value.number));
  EXPECT_EQ(ErrorOf("'a' % 'b'"), "The operation % cannot be used on text (in \"a\"%\"b\")");
}

TEST(ExprOperator, PowerTruncatesTheExponent) {
  EXPECT_EQ(Eval("2 ^ 10").value.number, 1024);
  EXPECT_EQ(Eval("2 ^ 3.9").value.number, 8);
  EXPECT_EQ(Eval("5 ^ 1").value.number, 5);
  EXPECT_EQ(Eval("5 ^ 0").value.number, 1);
  EXPECT_EQ(Eval("5 ^ 0.5").value.number, 1);
  EXPECT_EQ(Eval("2 ^ (0-2)").value.number, 0.25);
  EXPECT_EQ(Eval("2 ^ 100").value.number, std::ldexp(1.0, 100));
  EXPECT_EQ(Eval("1 ^ 1000000000").value.number, 1);  // no step-by-step loop
  EXPECT_TRUE(std::isinf(Eval("10 ^ 1000").value.number));
}

TEST(ExprOperator, TextPlusAndMinus) {
  Result r = Eval("'AB  ' - 'CD'");
  EXPECT_EQ(r.type, kExpText);
  EXPECT_EQ(r.value.text, "ABCD  ");
  EXPECT_EQ(Eval("'AB  ' + 'CD'").value.text, "AB  CD");
  EXPECT_EQ(Eval("'' - ''").value.text, "");
  EXPECT_EQ(Eval("'   ' - 'X'").value.text, "X   ");
}

TEST(ExprOperator, TextComparisonIgnoresTrailingBlanks) {
  EXPECT_TRUE(Is("'ABC' = 'ABC  '"));
  EXPECT_TRUE(Is("'ABC  ' = 'ABC'"));
  EXPECT_FALSE(Is("'ABC' = 'AB'"));  // no prefix rule without a wildcard
  EXPECT_FALSE(Is("'AB' = 'ABC'"));
  EXPECT_TRUE(Is("'AB' < 'ABC'"));
  EXPECT_TRUE(Is("'ABD' > 'ABC'"));
  EXPECT_TRUE(Is("'  A' < 'A'"));  // leading blanks count
  EXPECT_TRUE(Is("'a' > 'B'"));
  EXPECT_FALSE(Is("'a' > 'B'", nullptr, true));
  EXPECT_TRUE(Is("'abc' = 'ABC'", nullptr, true));
  EXPECT_TRUE(Is("'\xe9' = '\xc9'", nullptr, true));  // ANSI e acute
  EXPECT_TRUE(Is("'\xff' > 'a'"));                    // bytes compare unsigned
  EXPECT_TRUE(Is("'' = ''"));
  EXPECT_TRUE(Is("'   ' = ''"));
}

TEST(ExprOperator, WildcardPatterns) {
  Link link;
  TestVar* name = link.Add("NAME", kExpText);
  auto match = [&](const std::string& value, const std::string& pattern, bool ci = false,
                   bool wildcard = true, bool sql = false) {
    name->value_.text = value;
    return Is("NAME = '" + pattern + "'", &link, ci, wildcard, sql);
  };
  EXPECT_TRUE(match("SMITH", "SMI*"));
  EXPECT_TRUE(match("SMITH     ", "SMI*"));
  EXPECT_FALSE(match("ASMITH", "SMI*"));
  EXPECT_TRUE(match("SMITH", "*TH"));
  EXPECT_TRUE(match("THAT SMITH", "*TH"));
  EXPECT_FALSE(match("SMITHS", "*TH"));
  EXPECT_TRUE(match("SMITH", "*MIT*"));
  EXPECT_FALSE(match("SMITH", "*XY*"));
  EXPECT_TRUE(match("SMITH", "*"));
  EXPECT_TRUE(match("", "*"));
  EXPECT_TRUE(match("SMITH", "SMITH*"));
  EXPECT_FALSE(match("SMITH", "S*H"));  // inner wildcard is a plain character
  EXPECT_TRUE(match("S*H", "S*H"));
  EXPECT_FALSE(match("SMITH", "SMI?H"));  // the one-character wildcard is not used
  EXPECT_FALSE(match("smith", "SMI*"));
  EXPECT_TRUE(match("smith", "SMI*", true));
  EXPECT_TRUE(match("smith", "*ITH", true));
  EXPECT_FALSE(match("SMITH", "SMI*", false, false));  // wildcards off
  EXPECT_TRUE(match("SMI*", "SMI*", false, false));
  EXPECT_FALSE(match("SMITH", "SMI*", false, true, true));  // SQL style uses %
  EXPECT_TRUE(match("SMITH", "SMI%", false, true, true));
  EXPECT_TRUE(match("SMITH", "%", false, true, true));
  // Without a match the plain order of the text and the stripped pattern decides.
  name->value_.text = "SMITH";
  EXPECT_TRUE(Is("NAME > 'A*'", &link));
  EXPECT_TRUE(Is("NAME < 'Z*'", &link));
  EXPECT_TRUE(Is("NAME >= 'SM*'", &link));
  EXPECT_TRUE(Is("NAME # 'X*'", &link));
}

TEST(ExprOperator, ExactlyEqualHasNoPrefixOrWildcardRules) {
  Link link;
  TestVar* f = link.Add("FACILITY", kExpText);
  f->value_.text = "audio     ";
  EXPECT_TRUE(Is("TRIM(UPPER(FACILITY))==\"AUDIO\"", &link));
  EXPECT_TRUE(Is("FACILITY == 'audio'", &link));
  EXPECT_FALSE(Is("FACILITY == 'aud'", &link));
  EXPECT_FALSE(Is("FACILITY == 'audio2'", &link));
  EXPECT_FALSE(Is("FACILITY == 'aud*'", &link));
  EXPECT_FALSE(Is("FACILITY == '*'", &link));
  EXPECT_TRUE(Is("FACILITY = '*'", &link));
  EXPECT_FALSE(Is("FACILITY == 'AUDIO'", &link, true));  // byte for byte
  EXPECT_TRUE(Is("'a*' == 'a*'"));
  EXPECT_TRUE(Is(".T. == .T."));
  EXPECT_FALSE(Is(".T. == .F."));
  EXPECT_TRUE(Is("{19800101} == 2444240"));
}

TEST(ExprOperator, Logicals) {
  EXPECT_TRUE(Is(".T. = .T."));
  EXPECT_TRUE(Is(".T. # .F."));
  EXPECT_FALSE(Is(".T. .AND. .F."));
  EXPECT_TRUE(Is(".T. .OR. .F."));
  EXPECT_FALSE(Is(".NOT. .T."));
  EXPECT_EQ(ErrorOf(".T. + .T."), "A number value is required but invalid");
  EXPECT_EQ(ErrorOf(".T. ^ .T."), "A number value is required but invalid");
  EXPECT_EQ(ErrorOf(".T. < .F."), "The operation < cannot be used on logical values (in .T.<.F.)");
  EXPECT_EQ(ErrorOf(".T. LIKE .F."),
            "The operation .LIKE. cannot be used on logical values (in .T..LIKE..F.)");
}

TEST(ExprOperator, TypeErrors) {
  EXPECT_EQ(ErrorOf(".T. .AND. 1"), "The two sides of an operation do not match");
  EXPECT_EQ(ErrorOf("'a' + 1"), "The two sides of an operation do not match");
  EXPECT_EQ(ErrorOf("{19800101} = 'x'"), "The two sides of an operation do not match");
  EXPECT_EQ(ErrorOf("() = 1"), "The two sides of an operation do not match");
  EXPECT_EQ(ErrorOf(".NOT. 1"), "A boolean value is required but invalid");
  EXPECT_EQ(ErrorOf("!'x'"), "A boolean value is required but invalid");
  // What the operation is, what it cannot work on, and the expression.
  EXPECT_EQ(ErrorOf("'a' * 'b'"), "The operation * cannot be used on text (in \"a\"*\"b\")");
  EXPECT_EQ(ErrorOf("'a' .AND. 'b'"),
            "The operation .AND. cannot be used on text (in \"a\".AND.\"b\")");
  EXPECT_EQ(ErrorOf("'a' LIKE 'b'"),
            "The operation .LIKE. cannot be used on text (in \"a\".LIKE.\"b\")");
  EXPECT_EQ(ErrorOf("'a' POS 'b'"),
            "The operation .POS. cannot be used on text (in \"a\".POS.\"b\")");
  EXPECT_EQ(ErrorOf("1 .OR. 2"), "The operation .OR. cannot be used on numbers (in 1.OR.2)");
  EXPECT_EQ(ErrorOf("() = ()"), "The operation = cannot be used on missing values (in ()=())");
  EXPECT_EQ(ErrorOf("1 +"), "Target value missing for + operation");
  EXPECT_EQ(ErrorOf(".AND. .T."), "Target value missing for .AND. operation");
}

TEST(ExprOperator, AnEvaluationErrorLeavesTheTreeUsable) {
  Link link;
  TestVar* a = link.Add("A", kExpText);
  a->value_.text = "x";
  TgsExpHandler h(&link, false, "A + 'y'");
  TgsExpValue v;
  h.Evaluate(v);
  EXPECT_EQ(v.text, "xy");
  a->type_ = kExpNumber;
  EXPECT_THROW(h.Evaluate(v), EDevazozExpression);
  a->type_ = kExpText;
  EXPECT_EQ(h.Evaluate(v)->text, "xy");
  EXPECT_EQ(a->reads, 3);
}

TEST(ExprOperator, LongTextsAreHeldWholeUpToTheLimit) {
  Link link;
  TestVar* big = link.Add("BIG", kExpText);
  big->value_.text = std::string(40000, 'x');
  Result r = Eval("BIG + '|'", &link);
  EXPECT_EQ(r.value.text.size(), 40001u);
  EXPECT_EQ(r.value.text.back(), '|');
  try {
    Eval("BIG + BIG", &link);
    ADD_FAILURE() << "no error";
  } catch (const EDevazozExpression& e) {
    EXPECT_STREQ(e.what(), "Text value longer than 65535 bytes");
  }
  EXPECT_THROW(Eval("BIG - BIG", &link), EDevazozExpression);
}

TEST(ExprOperator, EvaluateVariantStoresEachType) {
  TgsVariant v(256);
  TgsExpHandler text(nullptr, false, "'ab' + 'c'");
  EXPECT_TRUE(text.EvaluateVariant(v));
  EXPECT_EQ(v.Type(), VariantType::Text);
  EXPECT_EQ(v.AsText(), "abc");
  TgsExpHandler number(nullptr, false, "1.5 * 3");
  EXPECT_TRUE(number.EvaluateVariant(v));
  EXPECT_EQ(v.Type(), VariantType::Number);
  EXPECT_EQ(v.AsNumber(), 4.5);
  TgsExpHandler date(nullptr, false, "0.9 + {19800101}");
  EXPECT_TRUE(date.EvaluateVariant(v));
  EXPECT_EQ(v.Type(), VariantType::Date);
  EXPECT_EQ(v.AsDate(), 2444240);  // truncated toward zero
  TgsExpHandler empty_date(nullptr, false, "CTOD('')");
  EXPECT_TRUE(empty_date.EvaluateVariant(v));
  EXPECT_EQ(v.AsDate(), 0);
  TgsExpHandler logic(nullptr, false, "1 < 2");
  EXPECT_TRUE(logic.EvaluateVariant(v));
  EXPECT_EQ(v.Type(), VariantType::Logic);
  EXPECT_TRUE(v.AsLogic());
  TgsExpHandler none(nullptr, false, "()");
  EXPECT_FALSE(none.EvaluateVariant(v));
  EXPECT_EQ(none.ResultType(), kExpNothing);
  EXPECT_EQ(v.Type(), VariantType::None);
  TgsExpHandler nothing(nullptr, false, "");
  EXPECT_FALSE(nothing.EvaluateVariant(v));
  // A text longer than 255 bytes is stored whole.
  TgsExpHandler long_text(nullptr, false, "SPACE(300) + 'x'");
  EXPECT_TRUE(long_text.EvaluateVariant(v));
  EXPECT_EQ(v.Length(), 301u);
}

}  // namespace
