// The dataset over tables written by other xBase programs (private copies).
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "engine/dataset/Zavaz6UZ.h"
#include "tests/engine/dataset/dataset_test_util.h"
#include "tests/support/dataset_fixture.h"
#include "tests/support/dbf_fixture.h"

namespace {

using devazoz::TDevazozDataSet;
using qvx_test::CopyTestData;
using qvx_test::TempDir;

std::string Unescape(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    char c = text[++i];
    out += c == 'n' ? '\n' : c == 't' ? '\t' : c == 'r' ? '\r' : c;
  }
  return out;
}

std::vector<std::vector<std::string>> ReadTsv(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::vector<std::string>> rows;
  std::string line;
  std::getline(in, line);  // header
  while (std::getline(in, line)) {
    std::vector<std::string> cells;
    std::stringstream ss(line);
    std::string cell;
    while (std::getline(ss, cell, '\t')) cells.push_back(cell);
    if (!line.empty() && line.back() == '\t') cells.push_back("");
    rows.push_back(cells);
  }
  return rows;
}

class TestDataTables : public ::testing::TestWithParam<std::pair<const char*, const char*>> {};

TEST_P(TestDataTables, ReadsTitlesDeletionsAndMemos) {
  TempDir dir;
  auto [table, memo] = GetParam();
  CopyTestData(std::string("dbf/") + table + ".dbf", dir.path());
  CopyTestData(std::string("dbf/") + table + "." + memo, dir.path());
  auto expected = ReadTsv(std::string(QVX_TESTDATA_DIR) + "/dbf/" + table + ".memo.tsv");
  qvx_test::TInspectedDataSet ds;
  ds.SetDatabaseName(dir.path());
  ds.SetTableName(std::string(table) + ".dbf");
  ds.SetUseDeleted(true);
  ds.SetTranslateASCII(false);
  ds.Open();
  EXPECT_EQ(ds.RecordCount(), int(expected.size()));
  size_t i = 0;
  for (ds.First(); !ds.Eof(); ds.Next(), ++i) {
    ASSERT_LT(i, expected.size());
    const auto& row = expected[i];
    EXPECT_EQ(std::to_string(ds.RecNo()), row[0]);
    EXPECT_EQ(ds.Handler()->IsDeleted(), row[1] == "*") << "record " << row[0];
    EXPECT_EQ(ds.FieldByName("TITLE")->AsString(), row[2]);
    if (row.back() == "0")  // the listing shows a memo field holding block 0 as its text
      EXPECT_TRUE(ds.FieldByName("NOTES")->IsNull()) << "record " << row[0];
    else
      EXPECT_EQ(ds.FieldByName("NOTES")->AsString(), Unescape(row.back())) << "record " << row[0];
  }
  EXPECT_EQ(i, expected.size());
  ds.SetUseDeleted(false);
  ds.SetExactCount(true);
  EXPECT_EQ(ds.RecordCount(), int(expected.size()) - 1);  // record 3 is deleted
}

INSTANTIATE_TEST_SUITE_P(OtherPrograms, TestDataTables,
                         ::testing::Values(std::make_pair("perl_t_0x8b", "dbt"),
                                           std::make_pair("perl_t_0xf5", "fpt"),
                                           std::make_pair("pydbf_t_vfp", "fpt")));

TEST(TestDataCdx, WalksTheTitleTagInTheWritersOrder) {
  TempDir dir;
  for (const char* f : {"catalog.dbf", "catalog.fpt", "catalog.cdx"})
    CopyTestData(std::string("cdx1k/") + f, dir.path());
  std::ifstream keys(std::string(QVX_TESTDATA_DIR) + "/cdx1k/TITLE.keys");
  std::vector<int> expected;
  std::string line;
  while (std::getline(keys, line)) expected.push_back(std::stoi(line.substr(line.rfind('\t') + 1)));
  TDevazozDataSet ds;
  ds.SetDatabaseName(dir.path());
  ds.SetTableName("catalog.dbf");
  ds.SetIndexFiles({"catalog.cdx"});
  ds.SetIndexName("TITLE");
  ds.SetUseDeleted(true);
  ds.Open();
  std::vector<int> got;
  for (ds.First(); !ds.Eof(); ds.Next()) got.push_back(ds.RecNo());
  EXPECT_EQ(got, expected);
  ASSERT_TRUE(ds.Locate("TITLE", "Army Golf", 0));
  EXPECT_EQ(ds.RecNo(), 80);
  EXPECT_EQ(ds.Lookup("TITLE", "Army Fire Castle", "CATEGORY").IsNull(), false);
  EXPECT_EQ(ds.RecNo(), 80);
}

}  // namespace
