// Index keys of numbers (a numeric tag and a STR key) are the same bytes whatever
// the C library's numeric locale: a tag built under a decimal comma lists exactly
// what one built in the C locale lists, and appends made there keep it so.
#include <gtest/gtest.h>

#include <string>

#include "engine/index/gs6_cdx.h"
#include "tests/engine/index/index_fixture.h"
#include "tests/support/comma_locale.h"

namespace {
using namespace devazoz;
using namespace qvx_test;

KeyList Build(const std::string& table_path, const std::string& cdx_path, const char* expr,
              bool append) {
  IndexedTable table(table_path);
  GSobjCDXFile cdx(&table, cdx_path, true, true, true, false);
  EXPECT_TRUE(cdx.AddTag("K", expr, false, true, ""));
  table.index = &cdx;
  if (append) {
    table.BlankRecord();
    table.PutStrByName("TITLE", "APPENDED");
    table.PutNumByName("PRICE", 12.25);
    table.AppendRecord();
  }
  EXPECT_EQ(CheckText(cdx), "");
  return ListKeys(cdx.FindTag("K"));
}

TEST(CdxLocale, NumberKeysDoNotDependOnTheLocale) {
  TempDir dir;
  for (const char* expr : {"PRICE", "STR(PRICE,8,2)+TITLE", "STR(VAL(STR(PRICE,8,2))*2,9,2)"}) {
    WriteCatalogTable(dir.File("C.DBF"), RandomTitles(300, 7));
    WriteCatalogTable(dir.File("D.DBF"), RandomTitles(300, 7));
    KeyList plain = Build(dir.File("C.DBF"), dir.File("C.CDX"), expr, true);
    CommaLocale locale;
    if (!locale.Active()) GTEST_SKIP() << CommaLocale::Reason();
    KeyList comma = Build(dir.File("D.DBF"), dir.File("D.CDX"), expr, true);
    ASSERT_EQ(plain.size(), 301u) << expr;
    EXPECT_EQ(plain, comma) << expr;
    if (std::string(expr) != "PRICE") {
      for (const auto& key : comma) EXPECT_EQ(key.first.find(','), std::string::npos) << expr;
    }
  }
}

}  // namespace
