// Compilation of expressions: tokens, operator binding, literals, names, the
// rebuilt text, compile errors and the nesting limit.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "engine/foundation/gs6_Date.h"
#include "engine/table/gs6_sql.h"
#include "platform/services/datetime.h"

namespace {
using namespace devazoz;

// A variable whose value the test sets.
class TestVar : public TgsUserDefFieldVar {
 public:
  TestVar(const std::string& name, int type) : TgsUserDefFieldVar(name, 10), type_(type) {}
  bool GetValue(TgsExpValue& value, int& result_type) override {
    value = value_;
    result_type = type_;
    return true;
  }
  TgsExpValue value_;
  int type_;
};

class Link : public TgsExpUserLink {
 public:
  TestVar* Number(const std::string& name, double v) {
    auto var = std::make_unique<TestVar>(name, kExpNumber);
    var->value_.number = v;
    TestVar* p = var.get();
    AddFieldVar(std::move(var));
    return p;
  }
  TestVar* Logic(const std::string& name, bool v) {
    auto var = std::make_unique<TestVar>(name, kExpLogic);
    var->value_.logic = v;
    TestVar* p = var.get();
    AddFieldVar(std::move(var));
    return p;
  }
  TestVar* Text(const std::string& name, const std::string& v) {
    auto var = std::make_unique<TestVar>(name, kExpText);
    var->value_.text = v;
    TestVar* p = var.get();
    AddFieldVar(std::move(var));
    return p;
  }
};

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EDevazozExpression& e) {
    return e.what();
  }
  return "(no error)";
}

double Num(const std::string& text, TgsExpUserLink* link = nullptr) {
  TgsExpHandler h(link, false, text);
  TgsExpValue v;
  h.Evaluate(v);
  EXPECT_TRUE(IsNumericFamily(h.ResultType())) << text << " gave type " << h.ResultType();
  return v.number;
}

bool Logic(const std::string& text, TgsExpUserLink* link = nullptr) {
  TgsExpHandler h(link, false, text);
  TgsExpValue v;
  h.Evaluate(v);
  EXPECT_EQ(h.ResultType(), kExpLogic) << text;
  return v.logic;
}

std::string Text(const std::string& text, TgsExpUserLink* link = nullptr) {
  TgsExpHandler h(link, false, text);
  TgsExpValue v;
  h.Evaluate(v);
  EXPECT_EQ(h.ResultType(), kExpText) << text;
  return v.text;
}

std::string Rebuilt(const std::string& text, TgsExpUserLink* link = nullptr) {
  return TgsExpHandler(link, false, text).ExpressionText();
}

TEST(ExprParser, OperatorsBindByPrecedenceAndFromTheLeft) {
  EXPECT_EQ(Num("2 + 3 * 4"), 14);
  EXPECT_EQ(Num("2 ^ 3 ^ 2"), 64);
  EXPECT_EQ(Num("2 ** 3 ** 2"), 64);
  EXPECT_EQ(Num("10 - 2 - 3"), 5);
  EXPECT_EQ(Num("100 / 10 / 5"), 2);
  EXPECT_EQ(Num("2*3+4*5"), 26);
  EXPECT_EQ(Num("(2+3)*4"), 20);
  EXPECT_EQ(Num("2*3^2"), 18);
  EXPECT_EQ(Num("((((7))))"), 7);
}

TEST(ExprParser, AndBindsBeforeOrAndNotBeforeAnd) {
  Link link;
  TestVar* a = link.Number("A", 1);
  TestVar* b = link.Number("B", 0);
  TestVar* c = link.Number("C", 0);
  TgsExpHandler h(&link, false, "A = 1 .OR. B = 2 .AND. C = 3");
  auto* root = dynamic_cast<TgsExpOperator*>(h.Root());
  ASSERT_NE(root, nullptr);
  EXPECT_EQ(root->Code(), kOpOr);
  EXPECT_EQ(root->Kind(), kKindOperatorBound);
  TgsExpValue v;
  h.Evaluate(v);
  EXPECT_TRUE(v.logic);
  a->value_.number = 0;
  b->value_.number = 2;
  h.Evaluate(v);
  EXPECT_FALSE(v.logic);  // (B = 2 .AND. C = 3) is false
  c->value_.number = 3;
  h.Evaluate(v);
  EXPECT_TRUE(v.logic);
  EXPECT_FALSE(Logic(".NOT. .T. .AND. .F."));  // (.NOT. .T.) .AND. .F.
  EXPECT_TRUE(Logic(".NOT. .F. .OR. .F."));
}

TEST(ExprParser, SignsJoinTheFollowingNumber) {
  Link link;
  link.Number("QTY", 5);
  EXPECT_EQ(Num("-5 + 2"), -3);
  EXPECT_EQ(Num("+5"), 5);
  EXPECT_EQ(Num("3*-2"), -6);
  EXPECT_EQ(Num("3--2"), 5);
  EXPECT_EQ(Num("-.5"), -0.5);
  // Before any other operand the sign negates (or keeps) its number.
  EXPECT_EQ(Num("-QTY", &link), -5);
  EXPECT_EQ(Num("1 + -QTY", &link), -4);
  EXPECT_EQ(Num("- 5"), -5);
  EXPECT_EQ(Num("-(1)"), -1);
  EXPECT_EQ(Num("-(2+3)*2"), -10);
  EXPECT_EQ(Num("--1"), 1);
  EXPECT_EQ(Num("-+-1"), 1);
  EXPECT_EQ(Num("+QTY", &link), 5);
  EXPECT_EQ(Num("-LEN('abc')"), -3);
  EXPECT_EQ(Num("2*-QTY", &link), -10);
  EXPECT_EQ(Rebuilt("-QTY*2", &link), "-QTY*2");
  // Only numbers have a sign.
  link.Text("TITLE", "abc");
  TgsExpHandler text(&link, false, "-TITLE");
  TgsExpValue v;
  EXPECT_EQ(ErrorOf([&] { text.Evaluate(v); }), "A number value is required but invalid");
  EXPECT_EQ(ErrorOf([] { TgsExpHandler h(nullptr, false, "1 + -"); }),
            "Target value missing for - operation at position 5");
}

TEST(ExprParser, NumberExponentsKeepTheirSign) {
  EXPECT_EQ(Num("1e-5"), 1e-5);
  EXPECT_EQ(Num("1.5E+3"), 1500);
  EXPECT_EQ(Num("2E2-1"), 199);
  EXPECT_EQ(Num("1e-5*1e5"), 1);
  Link link;
  link.Number("E", 3);
  link.Number("XE", 4);
  EXPECT_EQ(Num("E-1", &link), 2);  // a name, not an exponent
  EXPECT_EQ(Num("XE-1", &link), 3);
}

TEST(ExprParser, FunctionsRefuseExtraArguments) {
  Link link;
  link.Text("TITLE", "abcdef");
  EXPECT_EQ(Text("SUBSTR(TITLE,2,3)", &link), "bcd");
  EXPECT_EQ(ErrorOf([&] { TgsExpHandler h(&link, false, "SUBSTR(TITLE,1,2,3)"); }),
            "Too many arguments for SUBSTR (at most 3) at position 7");
  EXPECT_EQ(ErrorOf([&] { TgsExpHandler h(&link, false, "DATE(1)"); }),
            "Too many arguments for DATE (at most 0) at position 5");
  EXPECT_EQ(ErrorOf([&] { TgsExpHandler h(&link, false, "UPPER(TITLE,'x')"); }),
            "Too many arguments for UPPER (at most 1) at position 6");
}

TEST(ExprParser, TwoCharacterOperatorsReplaceTheFirstCharacter) {
  EXPECT_TRUE(Logic("1 == 1"));
  EXPECT_TRUE(Logic("1 != 2"));
  EXPECT_TRUE(Logic("1 <> 2"));
  EXPECT_TRUE(Logic("1 # 2"));
  EXPECT_FALSE(Logic("1 # 1"));
  EXPECT_TRUE(Logic("1 <= 1"));
  EXPECT_TRUE(Logic("1 =< 1"));
  EXPECT_TRUE(Logic("2 >= 2"));
  EXPECT_TRUE(Logic("2 => 1"));
  EXPECT_FALSE(Logic("2 =< 1"));
  EXPECT_TRUE(Logic("!.F."));
  EXPECT_EQ(Rebuilt("1<>2"), "1#2");
  EXPECT_EQ(Rebuilt("1!=2"), "1#2");
  EXPECT_EQ(Rebuilt("1=<2"), "1<=2");
  EXPECT_EQ(Rebuilt("1=>2"), "1>=2");
  EXPECT_EQ(Rebuilt("1==2"), "1==2");
  EXPECT_EQ(Rebuilt("2**3"), "2^3");
  // Separated by a blank they stay two operators: < takes = as its right operand.
  EXPECT_EQ(ErrorOf([] { TgsExpHandler h(nullptr, false, "1 < = 2"); }),
            "Expression cannot be evaluated");
}

TEST(ExprParser, KeywordsAreWholeWords) {
  Link link;
  link.Number("X", 4);
  link.Number("UE", 7);
  link.Number("ND", 8);
  link.Logic("T", false);
  link.Logic("F", true);
  EXPECT_TRUE(Logic("X LE 5", &link));
  EXPECT_TRUE(Logic("X LT 5", &link));
  EXPECT_FALSE(Logic("X GE 5", &link));
  EXPECT_FALSE(Logic("X GT 5", &link));
  EXPECT_TRUE(Logic("X EQ 4", &link));
  EXPECT_TRUE(Logic("X .LE. 5", &link));
  EXPECT_EQ(Num("UE + ND", &link), 15);
  EXPECT_TRUE(Logic(".T.", &link));
  EXPECT_TRUE(Logic("TRUE", &link));
  EXPECT_TRUE(Logic(".TRUE.", &link));
  EXPECT_FALSE(Logic("FALSE", &link));
  EXPECT_FALSE(Logic(".F.", &link));
  EXPECT_FALSE(Logic("T", &link));  // a bare T or F is a name
  EXPECT_TRUE(Logic("F", &link));
  EXPECT_TRUE(Logic(".t. and .t.", &link));
  EXPECT_TRUE(Logic(".F. OR .T.", &link));
  EXPECT_FALSE(Logic("NOT .T.", &link));
  EXPECT_TRUE(Logic(".T..AND..T.", &link));
  EXPECT_FALSE(Logic(".NOT.F", &link));
  EXPECT_TRUE(Logic(".NOT. .NOT. .T.", &link));
  EXPECT_FALSE(Logic("!!!.T.", &link));
  // A dotted keyword stays a keyword before a parenthesis.
  EXPECT_TRUE(Logic(".NOT.(X = 5)", &link));
}

TEST(ExprParser, QuotesOpenTextAndDateLiterals) {
  EXPECT_EQ(Text("\"abc\""), "abc");
  EXPECT_EQ(Text("'abc'"), "abc");
  EXPECT_EQ(Text("[abc]"), "abc");
  EXPECT_EQ(Text("]abc]"), "abc");
  EXPECT_EQ(Text("'a\"b[c]{d}'"), "a\"b[c]{d}");
  EXPECT_EQ(Text("[it's]"), "it's");
  EXPECT_EQ(Text("'a,b(c)'"), "a,b(c)");
  EXPECT_EQ(Text("\"\""), "");
  EXPECT_EQ(Text(std::string("'\x01\t\xff'")), "\x01\t\xff");
  TgsExpHandler d(nullptr, false, "{19800101}");
  TgsExpValue v;
  d.Evaluate(v);
  EXPECT_EQ(d.ResultType(), kExpDate);
  EXPECT_EQ(v.number, 2444240);
  EXPECT_EQ(Num("{19800101} + 1"), 2444241);
  EXPECT_EQ(Num("{}"), 0);
  EXPECT_NE(ErrorOf([] { TgsExpHandler h(nullptr, false, "{no date}"); }), "(no error)");
}

TEST(ExprParser, AnUnclosedQuoteIsReported) {
  EXPECT_EQ(ErrorOf([] { TgsExpHandler h(nullptr, false, "'abc"); }),
            "Missing closing quote (') for the text at position 1");
  EXPECT_EQ(ErrorOf([] { TgsExpHandler h(nullptr, false, "1 + [abc"); }),
            "Missing closing quote (]) for the text at position 5");
  EXPECT_EQ(ErrorOf([] { TgsExpHandler h(nullptr, false, "{19800101"); }),
            "Missing closing quote (}) for the text at position 1");
}

TEST(ExprParser, NumberLiteralsKeepTheirWidthAndDecimals) {
  TgsExpHandler h(nullptr, false, "12.50");
  auto* lit = dynamic_cast<TgsExpNumLit*>(h.Root());
  ASSERT_NE(lit, nullptr);
  EXPECT_EQ(lit->Width(), 5);
  EXPECT_EQ(lit->Decimals(), 2);
  EXPECT_EQ(h.ExpressionText(), "12.50");
  EXPECT_EQ(Num("1E3"), 1000);
  EXPECT_EQ(Num("15e-1"), 1.5);  // the exponent's sign belongs to the number
  EXPECT_EQ(Num("12AB"), 0);     // does not convert
  EXPECT_EQ(Num("1.5.3"), 0);
  EXPECT_EQ(Num("1E999"), 0);
  EXPECT_EQ(Rebuilt("007"), "7");
  EXPECT_EQ(Rebuilt("-0.250"), "-0.250");
}

TEST(ExprParser, FunctionCallsNeedTheParenthesisRightAfterTheName) {
  Link link;
  link.Text("TITLE", "abc");
  EXPECT_EQ(Text("UPPER(TITLE)", &link), "ABC");
  EXPECT_EQ(Text("upper( title )", &link), "ABC");
  TgsExpHandler h(&link, false, "UPPER(TITLE)");
  auto* fn = dynamic_cast<TgsExpFunction*>(h.Root());
  ASSERT_NE(fn, nullptr);
  ASSERT_EQ(fn->ArgumentCount(), 1u);
  EXPECT_NE(dynamic_cast<TgsExpFieldvar*>(fn->Argument(0)), nullptr);
  EXPECT_EQ(ErrorOf([&] { TgsExpHandler x(&link, false, "UPPER (TITLE)"); }),
            "There is no function for UPPER (nor a field of that name)");
  EXPECT_EQ(TgsExpHandler(&link, false, "DATE()").Root()->Kind(), kKindFunction);
  EXPECT_EQ(dynamic_cast<TgsExpFunction*>(TgsExpHandler(nullptr, false, "DATE( )").Root())
                ->ArgumentCount(),
            0u);
  EXPECT_EQ(dynamic_cast<TgsExpFunction*>(TgsExpHandler(nullptr, false, "IIF(,,)").Root())
                ->ArgumentCount(),
            3u);
}

TEST(ExprParser, UnknownNamesAreReported) {
  Link link;
  EXPECT_EQ(ErrorOf([] { TgsExpHandler h(nullptr, false, "NOSUCH(1)"); }),
            "There is no function for NOSUCH");
  EXPECT_EQ(ErrorOf([&] { TgsExpHandler h(&link, false, "nosuch(1)"); }),
            "There is no function for NOSUCH");
  EXPECT_EQ(ErrorOf([] { TgsExpHandler h(nullptr, false, "NAME"); }),
            "Field/variable NAME is unknown");
  EXPECT_EQ(ErrorOf([&] { TgsExpHandler h(&link, false, "name"); }),
            "There is no function for NAME (nor a field of that name)");
  link.Text("NAME", "x");
  EXPECT_EQ(ErrorOf([&] { TgsExpHandler h(&link, false, "CUSTOMER->NAME"); }),
            "There is no function for CUSTOMER.NAME (nor a field of that name)");
}

TEST(ExprParser, StructuralErrors) {
  EXPECT_EQ(ErrorOf([] { TgsExpHandler h(nullptr, false, "(1 + 2"); }),
            "Missing closing parentheses");
  EXPECT_EQ(ErrorOf([] { TgsExpHandler h(nullptr, false, "UPPER('a'"); }),
            "Missing closing parentheses");
  EXPECT_EQ(ErrorOf([] { TgsExpHandler h(nullptr, false, "((1)"); }),
            "Missing closing parentheses");
  EXPECT_EQ(ErrorOf([] { TgsExpHandler h(nullptr, false, "1 2"); }),
            "Expression cannot be evaluated");
  EXPECT_EQ(ErrorOf([] { TgsExpHandler h(nullptr, false, "'a' 'b'"); }),
            "Expression cannot be evaluated");
  // A stray closing parenthesis or comma is refused with its position.
  EXPECT_EQ(ErrorOf([] { TgsExpHandler h(nullptr, false, "1)))"); }),
            "Closing parenthesis without an opening one at position 2");
  EXPECT_EQ(ErrorOf([] { TgsExpHandler h(nullptr, false, ")"); }),
            "Closing parenthesis without an opening one at position 1");
  EXPECT_EQ(ErrorOf([] { TgsExpHandler h(nullptr, false, "(1))+2"); }),
            "Closing parenthesis without an opening one at position 4");
  EXPECT_EQ(ErrorOf([] { TgsExpHandler h(nullptr, false, "1,2"); }),
            "Comma outside an argument list at position 2");
  for (const char* text : {"1 +", "* 2", ".NOT.", "*"}) {
    TgsExpHandler h(nullptr, false, text);  // compiles; the operand is missing
    TgsExpValue v;
    EXPECT_EQ(ErrorOf([&] { h.Evaluate(v); }).rfind("Target value missing for ", 0), 0u) << text;
  }
}

TEST(ExprParser, EmptyTextsAndEmptyParentheses) {
  for (const char* text : {"", "   ", "\t"}) {
    TgsExpHandler h(nullptr, false, text);
    EXPECT_FALSE(h.HasExpression());
    TgsExpValue v;
    EXPECT_EQ(h.Evaluate(v), nullptr);
    EXPECT_EQ(h.ResultType(), kExpNothing);
    EXPECT_EQ(h.ExpressionText(), "");
  }
  TgsExpHandler h(nullptr, false, "()");
  TgsExpValue v;
  EXPECT_EQ(h.Evaluate(v), &v);
  EXPECT_EQ(h.ResultType(), kExpNoValue);
  EXPECT_EQ(h.ExpressionText(), "()");
}

TEST(ExprParser, TheTextEndsAtANulAndControlBytesSeparate) {
  EXPECT_EQ(Num(std::string("1+2\0+99", 7)), 3);
  EXPECT_EQ(Num("1\t+\r\n2"), 3);
  EXPECT_EQ(ErrorOf([] { TgsExpHandler h(nullptr, false, std::string("'a\0b'", 5)); }),
            "Missing closing quote (') for the text at position 1");
}

TEST(ExprParser, RebuiltTextIsCanonical) {
  Link link;
  link.Text("TITLE", "");
  link.Number("A", 0);
  link.Logic("B", false);
  EXPECT_EQ(Rebuilt("upper( title ) + 'x'", &link), "UPPER(TITLE)+\"x\"");
  EXPECT_EQ(Rebuilt("a = 1 .and. a # 2 .or. !b", &link), "A=1.AND.A#2.OR..NOT.B");
  EXPECT_EQ(Rebuilt("(1 + 2) * 3"), "(1+2)*3");
  EXPECT_EQ(Rebuilt("SUBSTR('abc', 2, 1)"), "SUBSTR(\"abc\",2,1)");
  EXPECT_EQ(Rebuilt(".t. .or. FALSE"), ".T..OR..F.");
  EXPECT_EQ(Rebuilt("a EQ 1 .AND. a LE 2", &link), "A=1.AND.A<=2");
  std::string old = platform::ShortDateFormat();
  platform::SetShortDateFormat("M/d/yy");
  EXPECT_EQ(Rebuilt("{19800101}"), "{1/1/1980}");
  platform::SetShortDateFormat(old);
}

TEST(ExprParser, CollectNamesListsVariablesInTreeOrder) {
  Link link;
  link.Text("TITLE", "");
  link.Number("A", 0);
  TgsExpHandler h(&link, false, "UPPER(TITLE) + STR(A) + TITLE");
  EXPECT_EQ(h.CollectNames(kFieldVarTag), "TITLE;A;TITLE;");
  EXPECT_EQ(h.CollectNames(kTableFieldVarTag), "");
  EXPECT_EQ(TgsExpHandler(&link, false, "(A) = 1").CollectNames(kFieldVarTag), "A;");
}

TEST(ExprParser, SetExpressionReplacesTheTreeAndAFailureLeavesNone) {
  TgsExpHandler h(nullptr, false, "1 + 1");
  TgsExpValue v;
  h.Evaluate(v);
  EXPECT_EQ(v.number, 2);
  h.SetExpression("'x'");
  h.Evaluate(v);
  EXPECT_EQ(v.text, "x");
  EXPECT_NE(ErrorOf([&] { h.SetExpression("(("); }), "(no error)");
  EXPECT_FALSE(h.HasExpression());
  EXPECT_EQ(h.ResultType(), kExpNothing);
  h.SetExpression("");
  EXPECT_FALSE(h.HasExpression());
}

TEST(ExprParser, OperatorsCopyTheComparisonSettingsWhenCompiled) {
  Link link;
  link.Text("NAME", "smith");
  TgsExpHandler h(&link, false, "NAME = 'SMITH'");
  h.SetCaseInsensitive(true);
  TgsExpValue v;
  h.Evaluate(v);
  EXPECT_FALSE(v.logic);  // compiled before the setting changed
  h.SetExpression("NAME = 'SMITH'");
  h.Evaluate(v);
  EXPECT_TRUE(v.logic);
}

std::string Repeat(const std::string& s, int n) {
  std::string out;
  for (int i = 0; i < n; ++i) out += s;
  return out;
}

TEST(ExprParser, DeepNestingIsAnErrorNotAStackOverflow) {
  const std::string too_deep = "Expression nested too deeply";
  auto error = [](const std::string& text) {
    return ErrorOf([&] { TgsExpHandler h(nullptr, false, text); });
  };
  EXPECT_EQ(error(Repeat("(", 10000) + "1" + Repeat(")", 10000)).rfind(too_deep, 0), 0u);
  EXPECT_EQ(error(Repeat("(", 10000) + "1"), "Missing closing parentheses");
  EXPECT_EQ(error(Repeat("INT(", 10000) + "1" + Repeat(")", 10000)).rfind(too_deep, 0), 0u);
  EXPECT_EQ(error(Repeat("1+", 10000) + "1").rfind(too_deep, 0), 0u);
  EXPECT_EQ(error(Repeat(".NOT.", 10000) + ".T.").rfind(too_deep, 0), 0u);
  EXPECT_EQ(error("UPPER(" + Repeat("'a'+", 10000) + "'a')").rfind(too_deep, 0), 0u);
  // Just inside the limit everything still compiles and evaluates.
  int inside = kMaxExpressionDepth - 2;
  EXPECT_EQ(Num(Repeat("(", inside) + "1" + Repeat(")", inside)), 1);
  EXPECT_EQ(Num(Repeat("INT(", inside) + "1" + Repeat(")", inside)), 1);
  EXPECT_EQ(Num(Repeat("1+", inside) + "1"), inside + 1);
  EXPECT_EQ(Text(Repeat("UPPER(", inside) + "'a'" + Repeat(")", inside)), "A");
  // Long flat expressions are not limited.
  EXPECT_EQ(error("INT(" + Repeat("1,", 20000) + "2.5)"),
            "Too many arguments for INT (at most 1) at position 4");
  EXPECT_EQ(error(Repeat("-", 100000) + "1").rfind(too_deep, 0), 0u);
  EXPECT_EQ(error(Repeat("-(", 10000) + "1" + Repeat(")", 10000)).rfind(too_deep, 0), 0u);
  EXPECT_EQ(Num(Repeat("(1)+", 400) + "0"), 400);
}

}  // namespace
