#include "engine/foundation/gs6_tool.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace devazoz {
namespace {

TEST(Tools, DefaultExtension) {
  EXPECT_EQ(DefaultExtension("QVXCAT", ".DBF"), "QVXCAT.DBF");
  EXPECT_EQ(DefaultExtension("QVXCAT.DBF", ".NDX"), "QVXCAT.DBF");
  EXPECT_EQ(DefaultExtension("QVXCAT.", ".DBF"), "QVXCAT.");
  EXPECT_EQ(DefaultExtension("/data.dir/QVXCAT", ".DBF"), "/data.dir/QVXCAT.DBF");
  EXPECT_EQ(DefaultExtension("C:\\DATA.X\\CAT", ".DBF"), "C:\\DATA.X\\CAT.DBF");
  EXPECT_EQ(DefaultExtension("", ".DBF"), ".DBF");
}

TEST(Tools, ChangeExtension) {
  EXPECT_EQ(ChangeExtension("/d/QVXCAT.DBF", ".CDX"), "/d/QVXCAT.CDX");
  EXPECT_EQ(ChangeExtension("/d.x/QVXCAT", ".CDX"), "/d.x/QVXCAT.CDX");
  EXPECT_EQ(ChangeExtension("A.B.C", ""), "A.B");
}

TEST(Tools, BaseName) {
  EXPECT_EQ(BaseName("/data/QVXCAT.DBF"), "QVXCAT");
  EXPECT_EQ(BaseName("C:\\DATA\\CATEGORY.CDX"), "CATEGORY");
  EXPECT_EQ(BaseName("C:DEVDIST.DBF"), "DEVDIST");
  EXPECT_EQ(BaseName("NOEXT"), "NOEXT");
  EXPECT_EQ(BaseName("/d.x/NOEXT"), "NOEXT");
  EXPECT_EQ(BaseName("A.TAR.GZ"), "A.TAR");
  EXPECT_EQ(BaseName("/dir/"), "");
}

TEST(Tools, PaddingAndTrimming) {
  EXPECT_EQ(PadRight("AB", ' ', 5), "AB   ");
  EXPECT_EQ(PadRight("ABCDEF", ' ', 3), "ABCDEF");
  EXPECT_EQ(PadRight("", '*', 2), "**");
  EXPECT_EQ(TrimRightZ("AB  "), "AB");
  EXPECT_EQ(TrimRightZ("  "), "");
  EXPECT_EQ(TrimRightZ(" A\t"), " A\t");  // only blanks
  EXPECT_EQ(TrimLeft("  A "), "A ");
  EXPECT_EQ(Trim("  A B  "), "A B");
  EXPECT_EQ(Trim("   "), "");
}

TEST(Tools, UpperCaseBuffer) {
  char text[] = "abc\xE9\xFFxyz";
  UpperCaseBuffer(text, 5);
  EXPECT_STREQ(text, "ABC\xC9\x9Fxyz");
}

TEST(Tools, CompareZ) {
  EXPECT_EQ(CompareZ("ABC", "ABC"), 0);
  EXPECT_EQ(CompareZ("AB", "ABC"), -1);
  EXPECT_EQ(CompareZ("ABD", "ABC"), 1);
  EXPECT_EQ(CompareZ("a", "B"), 1);
  EXPECT_EQ(CompareZ("\xE9", "z"), 1);  // bytes compare unsigned
  EXPECT_EQ(CompareZNoCase("abc", "ABC"), 0);
  EXPECT_EQ(CompareZNoCase("\xE9t\xE9", "\xC9T\xC9"), 0);
  EXPECT_EQ(CompareZNoCase("a", "B"), -1);
  EXPECT_EQ(CompareZNoCase("ab", "A"), 1);
  EXPECT_EQ(CompareZNoCase("", ""), 0);
}

TEST(Tools, CeilingAndFloor) {
  EXPECT_EQ(Ceiling(1.5), 2);
  EXPECT_EQ(Ceiling(2.0), 2);
  EXPECT_EQ(Ceiling(-1.5), -1);
  EXPECT_EQ(Ceiling(-0.0), 0);
  EXPECT_EQ(Ceiling(0.0000001), 1);
  EXPECT_EQ(Floor(1.5), 1);
  EXPECT_EQ(Floor(-1.5), -2);
  EXPECT_EQ(Floor(-2.0), -2);
  EXPECT_EQ(Floor(-0.0000001), -1);
  EXPECT_EQ(Ceiling(1e300), 1e300);
  EXPECT_TRUE(std::isnan(Floor(std::numeric_limits<double>::quiet_NaN())));
  for (double x = -5; x <= 5; x += 0.25) {
    EXPECT_EQ(Ceiling(x), std::ceil(x)) << x;
    EXPECT_EQ(Floor(x), std::floor(x)) << x;
  }
}

}  // namespace
}  // namespace devazoz
