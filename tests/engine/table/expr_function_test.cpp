// The built-in function library, function by function, and argument checks.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <string>

#include "engine/foundation/gs6_Date.h"
#include "engine/table/gs6_sql.h"
#include "platform/services/datetime.h"
#include "platform/services/numtext.h"

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

Result Eval(const std::string& text, TgsExpUserLink* link = nullptr) {
  TgsExpHandler h(link, false, text);
  Result r;
  h.Evaluate(r.value);
  r.type = h.ResultType();
  return r;
}

std::string Str(const std::string& text, TgsExpUserLink* link = nullptr) {
  Result r = Eval(text, link);
  EXPECT_EQ(r.type, kExpText) << text;
  return r.value.text;
}

double Num(const std::string& text, TgsExpUserLink* link = nullptr) {
  Result r = Eval(text, link);
  EXPECT_EQ(r.type, kExpNumber) << text;
  return r.value.number;
}

bool Bool(const std::string& text, TgsExpUserLink* link = nullptr) {
  Result r = Eval(text, link);
  EXPECT_EQ(r.type, kExpLogic) << text;
  return r.value.logic;
}

std::string ErrorOf(const std::string& text, TgsExpUserLink* link = nullptr) {
  try {
    Eval(text, link);
  } catch (const platform::Exception& e) {
    return e.what();
  }
  return "(no error)";
}

TEST(ExprFunction, TheGlobalLibraryIsRegisteredInOrder) {
  const char* names[] = {"ALLTRIM", "ASC",     "AT",    "ATC",   "CEILING", "CHR",   "CTOD",
                         "DATE",    "DESCEND", "DOW",   "DTOC",  "DTOS",    "EMPTY", "FLOOR",
                         "IIF",     "INT",     "LEFT",  "LEN",   "LOWER",   "LTRIM", "PADC",
                         "PADL",    "PADR",    "RIGHT", "RTRIM", "SOUNDEX", "SPACE", "STR",
                         "STRZERO", "SUBSTR",  "TRIM",  "UPPER", "VAL"};
  const TgsFunctionReg& reg = GlobalFunctions();
  ASSERT_EQ(reg.Count(), std::size(names));
  for (size_t i = 0; i < reg.Count(); ++i) EXPECT_EQ(reg.At(i)->Name(), names[i]);
}

TEST(ExprFunction, TrimsAndCase) {
  EXPECT_EQ(Str("ALLTRIM('  a b  ')"), "a b");
  EXPECT_EQ(Str("LTRIM('  a  ')"), "a  ");
  EXPECT_EQ(Str("RTRIM('  a  ')"), "  a");
  EXPECT_EQ(Str("TRIM('  a  ')"), "  a");
  EXPECT_EQ(Str("TRIM('   ')"), "");
  EXPECT_EQ(Str("UPPER('abc\xe9')"), "ABC\xc9");
  EXPECT_EQ(Str("LOWER('ABC\xc9')"), "abc\xe9");
  EXPECT_EQ(Num("LEN('ab  ')"), 4);
  EXPECT_EQ(Num("LEN('')"), 0);
}

TEST(ExprFunction, AscAndChr) {
  EXPECT_EQ(Num("ASC('A')"), 65);
  EXPECT_EQ(Num("ASC('\xff')"), 255);
  EXPECT_EQ(Num("ASC('')"), 0);
  EXPECT_EQ(Str("CHR(65)"), "A");
  EXPECT_EQ(Str("CHR(65.9)"), "A");
  EXPECT_EQ(Str("CHR(255)"), "\xff");
  EXPECT_EQ(Str("CHR(0)"), "");
  EXPECT_EQ(ErrorOf("CHR(256)"), "A Byte value is required but invalid");
  EXPECT_EQ(ErrorOf("CHR(-1)"), "A Byte value is required but invalid");
  EXPECT_EQ(ErrorOf("CHR(0/0)"), "A Byte value is required but invalid");
}

TEST(ExprFunction, AtFindsOverlappingOccurrences) {
  EXPECT_EQ(Num("AT('A', 'BANANA')"), 2);
  EXPECT_EQ(Num("AT('A', 'BANANA', 2)"), 4);
  EXPECT_EQ(Num("AT('A', 'BANANA', 5)"), 6);  // fewer occurrences: the last one
  EXPECT_EQ(Num("AT('A', 'BANANA', 0)"), 0);
  EXPECT_EQ(Num("AT('A', 'BANANA', -1)"), 0);
  EXPECT_EQ(Num("AT('X', 'BANANA')"), 0);
  EXPECT_EQ(Num("AT('ANA', 'BANANA', 2)"), 4);  // overlapping
  EXPECT_EQ(Num("AT('A', 'BANANA', 'x')"), 2);  // not a number: the first
  EXPECT_EQ(Num("AT('', 'BANANA')"), 0);
  EXPECT_EQ(Num("AT('a', 'BANANA')"), 0);
  EXPECT_EQ(Num("ATC('a', 'BANANA', 3)"), 6);
  EXPECT_EQ(Num("ATC('\xe9', 'X\xc9')"), 2);
  EXPECT_EQ(Num("AT('A', 'BANANA', 1000000000)"), 6);
}

TEST(ExprFunction, LeftRightSubstr) {
  EXPECT_EQ(Str("LEFT('HELLO', 2)"), "HE");
  EXPECT_EQ(Str("LEFT('HELLO', 10)"), "HELLO");
  EXPECT_EQ(Str("LEFT('HELLO', 0.01)"), "");
  EXPECT_EQ(Str("LEFT('HELLO', 1.9)"), "H");
  EXPECT_EQ(Str("LEFT('HELLO', -3)"), "");
  EXPECT_EQ(Str("RIGHT('HELLO', 2)"), "LO");
  EXPECT_EQ(Str("RIGHT('HELLO', 5)"), "HELLO");
  EXPECT_EQ(Str("RIGHT('HELLO', 99)"), "HELLO");
  EXPECT_EQ(Str("RIGHT('HELLO', 0)"), "");
  EXPECT_EQ(Str("SUBSTR('HELLO', 2, 3)"), "ELL");
  EXPECT_EQ(Str("SUBSTR('HELLO', 4)"), "LO");
  EXPECT_EQ(Str("SUBSTR('HELLO', 6)"), "");
  EXPECT_EQ(Str("SUBSTR('HELLO', 2, 10)"), "ELLO");
  EXPECT_EQ(Str("SUBSTR('HELLO', 0)"), "");
  EXPECT_EQ(Str("SUBSTR('HELLO', -1)"), "");
  EXPECT_EQ(Str("SUBSTR('HELLO', 1, 0)"), "");
  EXPECT_EQ(Str("SUBSTR('HELLO', 1, -2)"), "");
  EXPECT_EQ(Str("SUBSTR('HELLO', 5, 1)"), "O");
  EXPECT_EQ(Str("SUBSTR('HELLO', 1e30, 1)"), "");
}

TEST(ExprFunction, PadFunctions) {
  EXPECT_EQ(Str("PADL('AB', 5, '*')"), "***AB");
  EXPECT_EQ(Str("PADC('AB', 5)"), " AB  ");
  EXPECT_EQ(Str("PADC('AB', 6, '-')"), "--AB--");
  EXPECT_EQ(Str("PADR('ABCDEF', 3)"), "ABC");
  EXPECT_EQ(Str("PADL('ABCDEF', 3)"), "ABC");
  EXPECT_EQ(Str("PADC('ABCDEF', 3)"), "ABC");
  EXPECT_EQ(Str("PADR('AB', 4)"), "AB  ");
  EXPECT_EQ(Str("PADR('AB', 0)"), "");
  EXPECT_EQ(Str("PADR('AB', -5)"), "");
  EXPECT_EQ(ErrorOf("PADL('AB', 5, '**')"), "A Char value is required but invalid");
  EXPECT_EQ(ErrorOf("PADL('AB', 5, '')"), "A Char value is required but invalid");
  EXPECT_EQ(ErrorOf("PADL('AB', 5, 1)"), "A Char value is required but invalid");
  // Nested calls work on their own text, width and fill.
  EXPECT_EQ(Str("PADL(PADR('A', 3, '-'), 6, '*')"), "***A--");
  EXPECT_EQ(Str("PADC('X', 5, PADL('', 1, '#'))"), "##X##");
  EXPECT_EQ(ErrorOf("PADR('A', 100000)"), "Text value longer than 65535 bytes");
}

TEST(ExprFunction, PadFetchesTheFillFirst) {
  // The fill's error comes before the width's type error.
  EXPECT_EQ(ErrorOf("PADL('AB', 'x', '**')"), "A Char value is required but invalid");
  EXPECT_EQ(ErrorOf("PADL(1, 5, '**')"), "A Char value is required but invalid");
  EXPECT_EQ(ErrorOf("PADL(1, 5)"), "Text needed for Argument 1 of PADL");
}

TEST(ExprFunction, SoundexCompactsDigits) {
  EXPECT_EQ(Str("SOUNDEX('')"), "0000");
  EXPECT_EQ(Str("SOUNDEX('ROBERT')"), "R163");
  EXPECT_EQ(Str("SOUNDEX('robert')"), "R163");
  EXPECT_EQ(Str("SOUNDEX('TYMCZAK')"), "T520");
  EXPECT_EQ(Str("SOUNDEX('A')"), "A000");
  EXPECT_EQ(Str("SOUNDEX('PFISTER')"), "P123");  // the first letter is not coded
  EXPECT_EQ(Str("SOUNDEX('BB B')"), "B100");     // blanks do not separate equal digits
  EXPECT_EQ(Str("SOUNDEX('1ABC')"), "1200");
}

TEST(ExprFunction, SpaceAndVal) {
  EXPECT_EQ(Str("SPACE(3)"), "   ");
  EXPECT_EQ(Str("SPACE(0)"), "");
  EXPECT_EQ(Str("SPACE(-2)"), "");
  EXPECT_EQ(ErrorOf("SPACE(1e12)"), "Text value longer than 65535 bytes");
  EXPECT_EQ(Num("VAL('12.5')"), 12.5);
  EXPECT_EQ(Num("VAL('  -3 ')"), -3);
  EXPECT_EQ(Num("VAL('')"), 0);
  EXPECT_EQ(Num("VAL('12abc')"), 0);
  EXPECT_EQ(Num("VAL('inf')"), 0);
  // The program's display separator does not change what VAL reads: keys built on
  // it stay the same whatever the user's settings.
  platform::SetDecimalSeparator(',');
  EXPECT_EQ(Num("VAL('1,5')"), 0);
  EXPECT_EQ(Num("VAL('1.5')"), 1.5);
  platform::SetDecimalSeparator('.');
}

TEST(ExprFunction, StrAndStrZero) {
  EXPECT_EQ(Str("STR(3.14159, 6, 2)"), "  3.14");
  EXPECT_EQ(Str("STR(123456, 3)"), "***");
  EXPECT_EQ(Str("STRZERO(42, 5)"), "00042");
  EXPECT_EQ(Str("STRZERO(-42, 6)"), "000-42");
  EXPECT_EQ(Str("STR(42)"), "        42");
  EXPECT_EQ(Str("STR(2.5)"), "         2");  // rounded to even by the C library
  EXPECT_EQ(Str("STR(-0.4)"), "         0");
  EXPECT_EQ(Str("STR(1.005, 10, 3)"), "     1.005");
  EXPECT_EQ(Str("STR(1, 3, 5)"), "***");
  EXPECT_EQ(Str("STR(1, 0)"), "");
  EXPECT_EQ(Str("STR(1, -4)"), "");
  EXPECT_EQ(Str("STR(1, 5, -2)"), "    1");
  EXPECT_EQ(Str("STR(1e300, 20)"), std::string(20, '*'));
  EXPECT_EQ(Str("STR(1/0, 5)"), "  INF");
  EXPECT_EQ(Str("STR(1, 10, 1e9)"), "**********");
  EXPECT_EQ(ErrorOf("STR(1, 70000)"), "Text value longer than 65535 bytes");
  EXPECT_EQ(ErrorOf("STR('x')"), "Number needed for Argument 1 of STR");
  Link link;
  link.default_str_width = 4;
  EXPECT_EQ(Str("STR(7)", &link), "   7");
  // -1 takes the width the number carries; a number without one uses 10.
  link.default_str_width = -1;
  TestVar* qty = link.Add("QTY", kExpNumber);
  qty->value_.number = 12;
  qty->value_.width = 5;
  EXPECT_EQ(Str("STR(QTY)", &link), "   12");
  EXPECT_EQ(Str("STR(QTY + 1)", &link), "        13");
}

TEST(ExprFunction, NumbersRound) {
  EXPECT_EQ(Num("INT(3.7)"), 3);
  EXPECT_EQ(Num("INT(-3.7)"), -3);
  EXPECT_EQ(Num("INT(1e15 + 0.5)"), 1e15);  // not limited to 32 bits
  EXPECT_EQ(Num("CEILING(3.2)"), 4);
  EXPECT_EQ(Num("CEILING(-3.2)"), -3);
  EXPECT_EQ(Num("CEILING(3)"), 3);
  EXPECT_EQ(Num("FLOOR(3.7)"), 3);
  EXPECT_EQ(Num("FLOOR(-3.2)"), -4);
  EXPECT_EQ(Num("FLOOR(1e12 + 0.5)"), 1e12);
}

TEST(ExprFunction, Dates) {
  std::string old = platform::ShortDateFormat();
  platform::SetShortDateFormat("M/d/yyyy");
  Result r = Eval("CTOD('')");
  EXPECT_EQ(r.type, kExpDate);
  EXPECT_EQ(r.value.number, kEmptyDate);
  EXPECT_EQ(Eval("CTOD('19800101')").value.number, 2444240);
  EXPECT_EQ(Eval("CTOD('1/2/1980')").value.number, 2444241);
  EXPECT_EQ(Eval("CTOD('        ')").value.number, 0);
  EXPECT_EQ(Eval("CTOD('00000000')").value.number, 0);
  EXPECT_EQ(Eval("CTOD('19990231')").value.number, 2415019);
  EXPECT_EQ(ErrorOf("CTOD('no date')"), "'no date' is not a valid date");
  EXPECT_EQ(Eval("DATE()").value.number, DBFDate().Today());
  EXPECT_EQ(Eval("DATE()").type, kExpDate);
  EXPECT_EQ(Num("DOW({19800101})"), 3);  // a Tuesday
  EXPECT_EQ(Num("DOW({19800106})"), 1);
  EXPECT_EQ(Num("DOW(CTOD(''))"), 0);
  EXPECT_EQ(Num("DOW({})"), 0);
  EXPECT_EQ(Num("DOW(2444240)"), 3);
  EXPECT_EQ(Str("DTOS({19800101})"), "19800101");
  EXPECT_EQ(Str("DTOS({})"), "        ");
  EXPECT_EQ(Str("DTOS(CTOD(''))"), "");
  EXPECT_EQ(Str("DTOC({19800101})"), "1/1/1980");
  EXPECT_EQ(Str("DTOC({19800101}, 1)"), "19800101");
  EXPECT_EQ(Str("DTOC({19800101}, 2)"), "1/1/1980");
  EXPECT_EQ(Str("DTOC({19800101}, 'x')"), "1/1/1980");
  EXPECT_EQ(Str("DTOC({})"), "");
  EXPECT_EQ(Str("DTOC({}, 1)"), "        ");
  EXPECT_EQ(Str("DTOC(CTOD(''), 1)"), "");
  EXPECT_EQ(Str("DTOS(1e300)"), "        ");
  EXPECT_EQ(ErrorOf("DTOS('x')"), "Date needed for Argument 1 of DTOS");
  platform::SetShortDateFormat(old);
}

TEST(ExprFunction, DescendPerType) {
  Result r = Eval("DESCEND({19800101})");
  EXPECT_EQ(r.type, kExpDate);
  EXPECT_EQ(r.value.number, 5231808 - 2444240);
  EXPECT_EQ(Eval("DESCEND({})").value.number, 5231808);
  EXPECT_EQ(Eval("DESCEND(CTOD(''))").value.number, kEmptyDate);
  r = Eval("DESCEND(12.5)");
  EXPECT_EQ(r.type, kExpNumber);
  EXPECT_EQ(r.value.number, -12.5);
  EXPECT_FALSE(std::signbit(Eval("DESCEND(0)").value.number));
  EXPECT_EQ(Str("DESCEND('ABC')"), "\xbf\xbe\xbd");
  EXPECT_EQ(Str("DESCEND('\x01\xff')"), "\xff\x01");
  EXPECT_FALSE(Bool("DESCEND(.T.)"));
  EXPECT_EQ(Eval("DESCEND(())").type, kExpNoValue);
  EXPECT_TRUE(Bool("DESCEND('B') < DESCEND('A')"));
}

TEST(ExprFunction, EmptyPerType) {
  EXPECT_TRUE(Bool("EMPTY(CTOD(''))"));
  EXPECT_FALSE(Bool("EMPTY({})"));  // day 0 is not the empty date
  EXPECT_TRUE(Bool("EMPTY(0)"));
  EXPECT_FALSE(Bool("EMPTY(0.1)"));
  EXPECT_TRUE(Bool("EMPTY('')"));
  EXPECT_FALSE(Bool("EMPTY('   ')"));
  EXPECT_TRUE(Bool("EMPTY(.F.)"));
  EXPECT_FALSE(Bool("EMPTY(.T.)"));
  EXPECT_FALSE(Bool("EMPTY(())"));
  EXPECT_FALSE(Bool("EMPTY()"));
}

TEST(ExprFunction, IifEvaluatesOnlyTheChosenArgument) {
  Link link;
  TestVar* a = link.Add("A", kExpNumber);
  TestVar* b = link.Add("B", kExpText);
  b->value_.text = "bee";
  EXPECT_EQ(Num("IIF(.T., A, B)", &link), 0);
  EXPECT_EQ(a->reads, 1);
  EXPECT_EQ(b->reads, 0);
  EXPECT_EQ(Str("IIF(1 > 2, A, B)", &link), "bee");
  EXPECT_EQ(a->reads, 1);
  EXPECT_EQ(Num("IIF(.T., 1, CHR(999))"), 1);  // the other branch never runs
  EXPECT_EQ(Eval("IIF(.F., 1)").type, kExpNoValue);
  EXPECT_EQ(ErrorOf("IIF(1, 2, 3)"), "Boolean needed for Argument 1 of IIF");
  EXPECT_EQ(ErrorOf("IIF('x', 2, 3)"), "Boolean needed for Argument 1 of IIF");
}

TEST(ExprFunction, ArgumentTypesAreChecked) {
  // The mismatch FetchArgument itself reports: a number where text is wanted.
  EXPECT_EQ(ErrorOf("UPPER(1)"), "Text needed for Argument 1 of UPPER");
  EXPECT_EQ(ErrorOf("AT('a', 5)"), "Text needed for Argument 2 of AT");
  EXPECT_EQ(ErrorOf("LEFT('a', 'b')"), "Number needed for Argument 2 of LEFT");
  EXPECT_EQ(ErrorOf("UPPER(.T.)"), "Text needed for Argument 1 of UPPER");
  EXPECT_EQ(ErrorOf("UPPER()"), "Text needed for Argument 1 of UPPER");
  EXPECT_EQ(ErrorOf("SUBSTR('a')"), "Number needed for Argument 2 of SUBSTR");
  EXPECT_EQ(ErrorOf("CTOD(1)"), "Text needed for Argument 1 of CTOD");
  EXPECT_EQ(ErrorOf("INT({19800101} = 1)"), "Number needed for Argument 1 of INT");
  // Dates are numbers to functions that want a number, and the reverse.
  EXPECT_EQ(Num("INT({19800101})"), 2444240);
  EXPECT_EQ(Str("DTOS(2444240)"), "19800101");
}

TEST(ExprFunction, FetchArgumentReportsOnlyNumbersWhereOthersAreWanted) {
  TgsExpHandler h(nullptr, false, "IIF('x', 1, .T.)");
  auto* node = dynamic_cast<TgsExpFunction*>(h.Root());
  ASSERT_NE(node, nullptr);
  TgsExpValue v;
  EXPECT_EQ(FetchArgument(*node, 0, v, kExpNumber), kExpText);  // not reported
  EXPECT_EQ(FetchArgument(*node, 2, v, kExpText), kExpLogic);   // not reported
  EXPECT_EQ(FetchArgument(*node, 1, v, kExpAny), kExpNumber);
  EXPECT_EQ(FetchArgument(*node, 3, v, kExpText), kExpNoValue);
  EXPECT_EQ(FetchArgument(*node, -1, v, kExpText), kExpNoValue);
  try {
    FetchArgument(*node, 1, v, kExpLogic);
    ADD_FAILURE() << "no error";
  } catch (const EDevazozExpression& e) {
    EXPECT_STREQ(e.what(), "Boolean needed for Argument 2 of IIF");
  }
  EXPECT_THROW(FetchArgument(*node, 1, v, kExpNoValue), EDevazozExpression);
  try {
    FetchArgument(*node, 1, v, kExpFieldRef);
  } catch (const EDevazozExpression& e) {
    EXPECT_STREQ(e.what(), "Unknown Value needed for Argument 2 of IIF");
  }
}

}  // namespace
