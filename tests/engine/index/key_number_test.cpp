// A search value that is text on a numeric or date tag: a number or date text finds
// its key, anything else is the engine's error naming the tag, in every format.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_cdx.h"
#include "engine/index/gs6_indxtag.h"
#include "engine/index/gs6_mdx.h"
#include "engine/index/gs6_ndx.h"
#include "engine/index/gs6_ntx.h"
#include "engine/table/gs6_dbfld.h"
#include "tests/support/dbf_fixture.h"

namespace {

using devazoz::GSO_dBaseFld;
using devazoz::GSobjIndexFile;

struct TextKey : devazoz::GSobjIndexKeyData {
  explicit TextKey(const std::string& text) {
    Value.SetText(text);
    RecordNumber = devazoz::kAnyRecord;
  }
};

using Opener = std::function<std::unique_ptr<GSobjIndexFile>(GSO_dBaseFld*, const std::string&)>;

template <class File>
Opener OpenerOf() {
  return [](GSO_dBaseFld* table, const std::string& path) {
    return std::unique_ptr<GSobjIndexFile>(new File(table, path, false, true, true, false));
  };
}

TEST(KeyNumber, TextSearchValuesOnNumericAndDateTagsInEveryFormat) {
  struct Format {
    const char* extension;
    Opener open;
  } formats[] = {{"CDX", OpenerOf<devazoz::GSobjCDXFile>()},
                 {"MDX", OpenerOf<devazoz::GSobjMDXFile>()},
                 {"NTX", OpenerOf<devazoz::GSobjNTXFile>()},
                 {"NDX", OpenerOf<devazoz::GSobjNDXFile>()}};
  for (const Format& format : formats) {
    SCOPED_TRACE(format.extension);
    qvx_test::TempDir dir;
    qvx_test::DbfFixture f(0x03, {{"PRICE", 'N', 8, 2}, {"DAY", 'D', 8}});
    f.AddRecord({"   12.50", "20240131"});
    f.AddRecord({"   -3.00", "19991231"});
    std::string t = dir.File("N.DBF");
    f.Write(t);
    GSO_dBaseFld table(t, false, true);
    // One file per tag: the single-tag formats hold one each.
    auto prices = format.open(&table, dir.File(std::string("P.") + format.extension));
    auto days = format.open(&table, dir.File(std::string("D.") + format.extension));
    ASSERT_TRUE(prices->AddTag("P", "PRICE", false, true, ""));
    ASSERT_TRUE(days->AddTag("D", "DAY", false, true, ""));
    devazoz::GSobjIndexTag* p = prices->FindTag("P");
    devazoz::GSobjIndexTag* d = days->FindTag("D");
    ASSERT_NE(p, nullptr);
    ASSERT_NE(d, nullptr);
    p->LoadTree(0);
    d->LoadTree(0);
    EXPECT_EQ(p->Find(TextKey(" -3.00 ")), 2);
    EXPECT_EQ(p->Find(TextKey("12.5")), 1);
    for (const char* bad : {"A", "1.2.3", "12,5x"}) {
      SCOPED_TRACE(bad);
      try {
        p->Find(TextKey(bad));
        ADD_FAILURE() << "no error";
      } catch (const devazoz::EDevazozError& e) {
        EXPECT_NE(std::string(e.what()).find("numeric index tag"), std::string::npos) << e.what();
      }
    }
    try {
      d->Find(TextKey("not a date"));
      ADD_FAILURE() << "no error";
    } catch (const devazoz::EDevazozError& e) {
      EXPECT_NE(std::string(e.what()).find("date index tag"), std::string::npos) << e.what();
    }
  }
}

}  // namespace
