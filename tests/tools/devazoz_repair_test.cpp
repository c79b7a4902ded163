// devazoz repair, and dump/browse over an index left out of a pack: a table cut
// short is mended with its indexes, and keys past a table's end are never listed.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>

#include "tests/support/dbf_fixture.h"

namespace {

using qvx_test::CopyTestData;
using qvx_test::ReadFileBytes;
using qvx_test::RunCommand;
using qvx_test::TempDir;
namespace fs = std::filesystem;

std::string Tool() { return QVX_DEVAZOZ_TOOL; }
std::string Q(const std::string& s) { return "'" + s + "'"; }

class DevazozRepair : public ::testing::Test {
 protected:
  void SetUp() override {
    table_ = CopyTestData("cdx1k/catalog.dbf", dir_.path());
    CopyTestData("cdx1k/catalog.fpt", dir_.path());
    cdx_ = CopyTestData("cdx1k/catalog.cdx", dir_.path());
  }
  int Run(const std::string& args, std::string* out, std::string* err = nullptr) {
    return RunCommand(Tool() + " " + args, out, err);
  }
  int Lines(const std::string& text) { return int(std::count(text.begin(), text.end(), '\n')); }
  TempDir dir_;
  std::string table_, cdx_;
};

TEST_F(DevazozRepair, MendsATableCutShortAndRebuildsItsIndex) {
  std::string out, err;
  ASSERT_EQ(Run("dump " + Q(table_), &out, &err), 0) << err;
  const int records = Lines(out) - 1;
  ASSERT_GT(records, 600);
  // Cut inside record 601.
  std::vector<uint8_t> bytes = ReadFileBytes(table_);
  int header = bytes[8] | bytes[9] << 8, length = bytes[10] | bytes[11] << 8;
  fs::resize_file(table_, uintmax_t(header + 600 * length + length / 2));
  std::vector<uint8_t> cut = ReadFileBytes(table_);
  // Writing is refused with the damage in words; reading lists the whole records.
  EXPECT_EQ(Run("browse " + Q(table_) + " --append TITLE=X", &out, &err), 1);
  EXPECT_NE(err.find("is damaged: the header says " + std::to_string(records) +
                     " records, the file holds 600"),
            std::string::npos)
      << err;
  EXPECT_EQ(ReadFileBytes(table_), cut);
  EXPECT_EQ(Run("dump " + Q(table_) + " --index " + Q(cdx_) + " --tag TITLE", &out, &err), 1);
  EXPECT_EQ(Lines(out) - 1, 600);
  EXPECT_NE(err.find("warning: Index"), std::string::npos) << err;
  ASSERT_EQ(Run("check " + Q(table_) + " " + Q(cdx_), &out, &err), 1);
  // The repair keeps the 600 whole records and the original, and rebuilds the CDX
  // named after the table without being told.
  ASSERT_EQ(Run("repair " + Q(table_), &out, &err), 0) << err;
  EXPECT_NE(out.find("kept 600 whole records"), std::string::npos) << out;
  EXPECT_NE(out.find("rebuilt " + cdx_), std::string::npos) << out;
  EXPECT_EQ(ReadFileBytes(table_ + ".bak"), cut);
  ASSERT_EQ(Run("check " + Q(table_) + " " + Q(cdx_), &out, &err), 0) << out << err;
  EXPECT_EQ(Run("dump " + Q(table_) + " --index " + Q(cdx_) + " --tag TITLE", &out, &err), 0);
  EXPECT_EQ(Lines(out) - 1, 600);
}

TEST_F(DevazozRepair, AnIndexLeftOutOfAPackListsNoPhantomRows) {
  std::string out, err;
  ASSERT_EQ(Run("browse " + Q(table_) + " --delete 5", &out, &err), 0) << err;
  ASSERT_EQ(Run("browse " + Q(table_) + " --delete 9", &out, &err), 0) << err;
  ASSERT_EQ(Run("pack " + Q(table_), &out, &err), 0) << err;
  ASSERT_EQ(Run("dump " + Q(table_), &out, &err), 0) << err;
  const int records = Lines(out) - 1;
  for (const char* command : {"dump", "browse"}) {
    EXPECT_EQ(Run(std::string(command) + " " + Q(table_) + " --index " + Q(cdx_) + " --tag TITLE",
                  &out, &err),
              1)
        << command;
    EXPECT_EQ(Lines(out) - (std::string(command) == "browse" ? 2 : 1), records) << command;
    EXPECT_NE(err.find("reindex it"), std::string::npos) << command << ": " << err;
  }
  // Packed with its index, it matches again.
  ASSERT_EQ(Run("pack " + Q(table_) + " --index " + Q(cdx_), &out, &err), 0) << err;
  ASSERT_EQ(Run("check " + Q(table_) + " " + Q(cdx_), &out, &err), 0) << out << err;
  EXPECT_EQ(Run("dump " + Q(table_) + " --index " + Q(cdx_) + " --tag TITLE", &out, &err), 0);
  EXPECT_EQ(Lines(out) - 1, records);
}

}  // namespace
