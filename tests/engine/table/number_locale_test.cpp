// Numbers in fields and expressions do not change with the C library's numeric
// locale: under a locale with a decimal comma, stored text, read values, STR, STRZERO,
// VAL, number literals and variants are what they are in the C locale.
#include <gtest/gtest.h>

#include <string>

#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_vari.h"
#include "engine/table/gs6_dbfld.h"
#include "engine/table/gs6_sql.h"
#include "engine/table/gs6_sqldbf.h"
#include "platform/services/exception.h"
#include "tests/support/comma_locale.h"
#include "tests/support/dbf_fixture.h"

namespace {
using namespace devazoz;
using qvx_test::CommaLocale;
using qvx_test::DbfFixture;
using qvx_test::TempDir;

class NumberLocale : public ::testing::Test {
 protected:
  void SetUp() override {
    DbfFixture f(0x03, {{"TITLE", 'C', 10}, {"PRICE", 'N', 8, 2}, {"QTY", 'N', 5}});
    f.AddRecord({"A", "    1.50", "   12"});
    f.AddRecord({"B", " -2.25E1", ""});
    path_ = dir_.File("T.DBF");
    f.Write(path_);
  }
  TempDir dir_;
  std::string path_;
};

TgsExpValue Eval(GSO_dBaseFld& t, const std::string& text, int* type = nullptr) {
  TgsExpHandler h(t.ExpressionLink(), false, text);
  TgsExpValue v;
  h.Evaluate(v);
  if (type) *type = h.ResultType();
  return v;
}

TEST_F(NumberLocale, FieldsReadAndWriteWithAPoint) {
  CommaLocale locale;
  if (!locale.Active()) GTEST_SKIP() << CommaLocale::Reason();
  GSO_dBaseFld t(path_, false, true);
  t.ReadRecord(1);
  EXPECT_EQ(t.GetNumByName("PRICE"), 1.5);
  EXPECT_EQ(t.GetNumByName("QTY"), 12);
  EXPECT_EQ(t.GetDisplayByName("PRICE"), "1.50");
  ASSERT_TRUE(t.PutNumByName("PRICE", 2.25));
  EXPECT_EQ(t.GetStrByName("PRICE"), "    2.25");
  ASSERT_TRUE(t.PutNumByName("PRICE", -0.125));
  EXPECT_EQ(t.GetStrByName("PRICE"), "   -0.12");  // rounded half to even, as printf does
  ASSERT_TRUE(t.PutTextByName("PRICE", " 3.75"));
  EXPECT_EQ(t.GetStrByName("PRICE"), "    3.75");
  t.WriteRecord(1);
  t.ReadRecord(2);
  EXPECT_EQ(t.GetNumByName("PRICE"), -22.5);
  EXPECT_EQ(t.GetDisplayByName("QTY"), "0");
  // A comma is no decimal separator in a stored number.
  EXPECT_THROW(t.PutTextByName("PRICE", "3,75"), EDevazozError);

  GSO_dBaseFld again(path_, false, false);
  again.ReadRecord(1);
  EXPECT_EQ(again.GetNumByName("PRICE"), 3.75);
}

TEST_F(NumberLocale, ExpressionFunctionsAndLiterals) {
  CommaLocale locale;
  if (!locale.Active()) GTEST_SKIP() << CommaLocale::Reason();
  GSO_dBaseFld t(path_, false, false);
  t.ReadRecord(1);
  EXPECT_EQ(Eval(t, "STR(1.25,6,2)").text, "  1.25");
  EXPECT_EQ(Eval(t, "STR(PRICE,8,2)").text, "    1.50");
  EXPECT_EQ(Eval(t, "STRZERO(1.5,7,2)").text, "0001.50");
  EXPECT_EQ(Eval(t, "STR(3.14159,6,2)").text, "  3.14");
  EXPECT_EQ(Eval(t, "STR(123456,3)").text, "***");
  EXPECT_EQ(Eval(t, "VAL('1.50')").number, 1.5);
  EXPECT_EQ(Eval(t, "VAL(' 2.5E2 ')").number, 250);
  EXPECT_EQ(Eval(t, "VAL('1,50')").number, 0);  // not a number text: 0, as for "abc"
  EXPECT_EQ(Eval(t, "1.5 * 2").number, 3);
  EXPECT_EQ(Eval(t, "PRICE + 0.25").number, 1.75);
  TgsExpHandler h(t.ExpressionLink(), false, "PRICE+1.50");
  EXPECT_EQ(h.ExpressionText(), "PRICE+1.50");
}

TEST_F(NumberLocale, VariantsConvertWithAPoint) {
  CommaLocale locale;
  if (!locale.Active()) GTEST_SKIP() << CommaLocale::Reason();
  TgsVariant v(16);
  v.SetNumber(1.5);
  EXPECT_EQ(v.AsText(), "1.5");
  v.SetText(" 2.75 ");
  EXPECT_EQ(v.AsNumber(), 2.75);
  v.SetText("2,75");
  EXPECT_THROW(v.AsNumber(), platform::EConvertError);
}

}  // namespace
