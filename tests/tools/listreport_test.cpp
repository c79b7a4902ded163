// qvx_listreport: the list report of a catalog directory to PDF from the
// command line, in the order of a tag and within a filter; its refusals; and
// the documented screenshot of the preview window under Xvfb.
#include <gtest/gtest.h>

#ifdef QVX_LISTREPORT_TOOL

#include <sys/stat.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/dbf_fixture.h"
#include "tests/support/pdf_text.h"

namespace qvx_test {
namespace {

struct Listed {
  std::string title, category;
};

// The detail lines of the report: title and category columns.
std::vector<Listed> ListedRows(const std::string& pdf) {
  std::vector<Listed> rows;
  for (const std::string& page : PdfPages(pdf)) {
    size_t at = 0, category_column = std::string::npos;
    while (at < page.size()) {
      size_t end = page.find('\n', at);
      if (end == std::string::npos) end = page.size();
      const std::string line = page.substr(at, end - at);
      at = end + 1;
      if (line.find("Mem. Blocks") != std::string::npos) {
        category_column = line.find("Category");
        continue;
      }
      if (category_column == std::string::npos || line.size() <= category_column) continue;
      const size_t first = line.find_first_not_of(' ');
      if (first == std::string::npos || first >= category_column) continue;
      std::string title = line.substr(first, line.find("  ", first) - first);
      std::string category =
          line.substr(category_column, line.find("  ", category_column) - category_column);
      rows.push_back({title, category});
    }
  }
  return rows;
}

class ListReportToolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    catalog_ = dir_.File("cat");
    std::string err;
    ASSERT_EQ(RunCommand(std::string(QVX_SAMPLECAT_TOOL) + " '" + catalog_ + "' --titles 150",
                         nullptr, &err),
              0)
        << err;
  }
  int Run(const std::string& args, std::string* err = nullptr) {
    std::string out, e;
    const int rc = RunCommand(std::string(QVX_LISTREPORT_TOOL) + " " + args, &out, &e);
    if (err) *err = e;
    return rc;
  }
  TempDir dir_;
  std::string catalog_;
};

TEST_F(ListReportToolTest, OrderAndFilterFollowTheOptions) {
  const std::string all = dir_.File("all.pdf"), racing = dir_.File("racing.pdf"),
                    by_category = dir_.File("bycat.pdf");
  ASSERT_EQ(Run("'" + catalog_ + "' '" + all + "'"), 0);
  ASSERT_EQ(Run("'" + catalog_ + "' '" + racing + "' --filter 'CATEGORY = \"Racing\"'"), 0);
  ASSERT_EQ(Run("'" + catalog_ + "' '" + by_category + "' --tag category"), 0);

  const std::vector<Listed> every = ListedRows(all);
  ASSERT_EQ(every.size(), 150u);
  EXPECT_TRUE(std::is_sorted(every.begin(), every.end(),
                             [](const Listed& a, const Listed& b) { return a.title < b.title; }));
  std::vector<std::string> expected, got;
  for (const Listed& r : every)
    if (r.category == "Racing") expected.push_back(r.title);
  for (const Listed& r : ListedRows(racing)) got.push_back(r.title);
  ASSERT_FALSE(expected.empty());
  EXPECT_EQ(got, expected);

  const std::vector<Listed> categories = ListedRows(by_category);
  ASSERT_EQ(categories.size(), 150u);
  EXPECT_TRUE(
      std::is_sorted(categories.begin(), categories.end(),
                     [](const Listed& a, const Listed& b) { return a.category < b.category; }));
  EXPECT_EQ(PdfPageCount(all), 3);  // 51 + 53 + 46 rows
}

TEST_F(ListReportToolTest, RefusesWrongUseWithAMessage) {
  std::string err;
  EXPECT_EQ(Run("", &err), 2);
  EXPECT_NE(err.find("usage"), std::string::npos);
  EXPECT_EQ(Run("'" + catalog_ + "' a.pdf --bogus", &err), 2);
  EXPECT_EQ(Run("'" + dir_.File("none") + "' '" + dir_.File("x.pdf") + "'", &err), 1);
  EXPECT_NE(err.find("QVXCAT.DBF"), std::string::npos) << err;
  EXPECT_EQ(Run("'" + catalog_ + "' '" + dir_.File("x.pdf") + "' --tag NOSUCH", &err), 1);
  EXPECT_NE(err.find("NOSUCH"), std::string::npos) << err;
  EXPECT_EQ(Run("'" + catalog_ + "' '" + dir_.File("x.pdf") + "' --filter 'TITLE +'", &err), 1);
  EXPECT_FALSE(err.empty());
  EXPECT_EQ(Run("'" + catalog_ + "' '" + dir_.File("no/such/dir/x.pdf") + "'", &err), 1);
  EXPECT_NE(err.find("Cannot"), std::string::npos) << err;
}

TEST_F(ListReportToolTest, DocumentedPreviewScreenshotIsTaken) {
  if (RunCommand("command -v xvfb-run && command -v import", nullptr) != 0)
    GTEST_SKIP() << "xvfb-run or ImageMagick's import is missing";
  const std::string png = dir_.File("preview.png");
  std::string out, err;
  ASSERT_EQ(RunCommand("QVX_LISTREPORT='" QVX_LISTREPORT_TOOL "' QVX_CATALOG='" + catalog_ +
                           "' QVX_SCREENSHOT_WAIT=6 '" QVX_SOURCE_DIR
                           "/tools/listreport/preview_screenshot.sh' '" +
                           png + "'",
                       &out, &err),
            0)
      << err;
  struct stat st {};
  ASSERT_EQ(stat(png.c_str(), &st), 0);
  // A screen with the page on it, not an empty one: the PNG holds detail.
  EXPECT_GT(st.st_size, 20000);
}

}  // namespace
}  // namespace qvx_test

#endif  // QVX_LISTREPORT_TOOL
