// Writes through a damaged index, for every format: a node the key changes of an
// append or a change would pass through that is found damaged refuses the write
// before the table is touched; an index found damaged anywhere (a walk, an
// earlier write) refuses every later write, naming the file and saying to
// reindex; a reindex makes it writable again.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_dbsy.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_cdx.h"
#include "engine/index/gs6_indxcheck.h"
#include "engine/index/gs6_mdx.h"
#include "engine/index/gs6_mdxcheck.h"
#include "engine/index/gs6_ndx.h"
#include "engine/index/gs6_ntx.h"
#include "tests/engine/index/index_fixture.h"

namespace {

using devazoz::EDevazozError;
using devazoz::GSO_dBHandler;
using devazoz::GSobjIndexFile;
using qvx_test::ReadFileBytes;
using qvx_test::TempDir;
using qvx_test::WriteFileBytes;

std::unique_ptr<GSobjIndexFile> MakeIndex(devazoz::GSO_dBaseFld* table, const std::string& path,
                                          bool create) {
  const std::string ext = path.substr(path.size() - 4);
  if (ext == ".NTX")
    return std::make_unique<devazoz::GSobjNTXFile>(table, path, false, create, true, false);
  if (ext == ".NDX")
    return std::make_unique<devazoz::GSobjNDXFile>(table, path, false, create, true, false);
  if (ext == ".MDX")
    return std::make_unique<devazoz::GSobjMDXFile>(table, path, false, create, true, false);
  return std::make_unique<devazoz::GSobjCDXFile>(table, path, false, create, true, false);
}

std::vector<std::string> Problems(GSobjIndexFile& file) {
  if (auto* f = dynamic_cast<devazoz::GSobjNTXFile*>(&file)) return devazoz::CheckNtxFile(*f);
  if (auto* f = dynamic_cast<devazoz::GSobjNDXFile*>(&file)) return devazoz::CheckNdxFile(*f);
  if (auto* f = dynamic_cast<devazoz::GSobjMDXFile*>(&file)) return devazoz::CheckMdxFile(*f);
  return devazoz::CheckCdxFile(*dynamic_cast<devazoz::GSobjCDXFile*>(&file));
}

// Overwrites the key count of the node at position so that no reader accepts
// it: each format keeps the count at its own place and width.
void BreakNode(const std::string& path, int32_t position) {
  std::vector<uint8_t> bytes = ReadFileBytes(path);
  const std::string ext = path.substr(path.size() - 4);
  devazoz::ByteSpan b(bytes.data() + position, bytes.size() - size_t(position));
  if (ext == ".CDX")
    b.PutU16LE(2, 0xFFFF);
  else if (ext == ".MDX")
    b.PutU32LE(0, 0xFFFF);
  else
    b.PutU16LE(0, 0xFFFF);
  WriteFileBytes(path, bytes);
}

class DamagedWrite : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    table_ = dir_.File("T.DBF");
    index_ = dir_.File(std::string("T.") + GetParam());
    qvx_test::WriteCatalogTable(table_, qvx_test::RandomTitles(800, 23));
    qvx_test::IndexedTable t(table_);
    auto file = MakeIndex(&t, index_, true);
    ASSERT_TRUE(file->AddTag("TITLE", "TITLE", false, true, "")) << file->TagProblem();
    // The first and the last leaf: a walk meets the one first, an append of a
    // title after every other the other.
    devazoz::GSobjIndexTag* tag = file->TagAt(0);
    tag->LoadTree(0);
    tag->Navigate(devazoz::kNavFirst);
    first_leaf_ = devazoz::GSobjIndexTag::PathEnd(tag->Root())->Page;
    tag->Navigate(devazoz::kNavLast);
    last_leaf_ = devazoz::GSobjIndexTag::PathEnd(tag->Root())->Page;
    tag->ReleaseTree();
    ASSERT_NE(first_leaf_, last_leaf_);
  }

  // Appends a record whose title sorts after every other; the error, or "".
  std::string Append(GSO_dBHandler& h, const std::string& title = "ZZZZ") {
    try {
      h.BlankRecord();
      h.PutStr(1, title);
      h.AppendRecord();
      return "";
    } catch (const EDevazozError& e) {
      return e.what();
    }
  }

  TempDir dir_;
  std::string table_, index_;
  int32_t first_leaf_ = 0, last_leaf_ = 0;
};

TEST_P(DamagedWrite, ADamagedNodeOnTheWayRefusesTheWriteBeforeTheTable) {
  BreakNode(index_, last_leaf_);
  std::vector<uint8_t> index_before = ReadFileBytes(index_);
  std::vector<uint8_t> table_before = ReadFileBytes(table_);
  {
    GSO_dBHandler h(table_, true, false);
    ASSERT_EQ(h.OpenIndexFile(index_), 0);
    std::string error = Append(h);
    EXPECT_NE(error.find("is damaged"), std::string::npos) << error;
    EXPECT_NE(error.find("reindex"), std::string::npos) << error;
    EXPECT_NE(error.find(index_), std::string::npos) << error;
    EXPECT_EQ(h.RecordCount(), 800);
    // A change of a record whose keys live there is refused as well.
    h.GetRecord(1);
    h.PutStr(1, "ZZZZ CHANGED");
    EXPECT_THROW(h.WriteRecord(1), EDevazozError);
  }
  EXPECT_EQ(ReadFileBytes(table_), table_before);
  EXPECT_EQ(ReadFileBytes(index_), index_before);
}

// Inside a bulk scope an append searches its keys' places on the tags' own
// paths: damage on the way refuses it all the same, after the appends before it.
TEST_P(DamagedWrite, InsideABulkScopeADamagedNodeOnTheWayRefusesTheWriteToo) {
  BreakNode(index_, last_leaf_);
  {
    GSO_dBHandler h(table_, true, false);
    ASSERT_EQ(h.OpenIndexFile(index_), 0);
    devazoz::TgsBulkScope scope(&h);
    EXPECT_EQ(Append(h, "AAAA"), "");
    std::string error = Append(h);
    EXPECT_NE(error.find("is damaged"), std::string::npos) << error;
    EXPECT_EQ(h.RecordCount(), 801);
    EXPECT_NE(Append(h, "AAAB").find("is damaged and is not changed"), std::string::npos);
    EXPECT_EQ(h.RecordCount(), 801);
  }
  qvx_test::IndexedTable t(table_);
  EXPECT_EQ(t.RecordCount(), 801);
}

TEST_P(DamagedWrite, AnIndexFoundDamagedRefusesEveryLaterWriteUntilReindexed) {
  BreakNode(index_, first_leaf_);
  std::vector<uint8_t> table_before = ReadFileBytes(table_);
  {
    GSO_dBHandler h(table_, true, false);
    ASSERT_EQ(h.OpenIndexFile(index_), 0);
    std::string tag = "TITLE";
    if (std::string(GetParam()) == "NTX" || std::string(GetParam()) == "NDX") tag = "T";
    // The walk to the first record meets the damage.
    EXPECT_THROW(h.SelectTag(&tag, false), EDevazozError);
    // The append itself would only pass the last leaf, which is sound.
    std::string error = Append(h);
    EXPECT_NE(error.find("Index file " + index_ + " is damaged and is not changed: reindex it"),
              std::string::npos)
        << error;
    EXPECT_EQ(h.RecordCount(), 800);
    EXPECT_EQ(ReadFileBytes(table_), table_before);
    // Rebuilt, the file takes keys again.
    h.Reindex();
    EXPECT_EQ(Append(h), "");
    EXPECT_EQ(h.RecordCount(), 801);
  }
  qvx_test::IndexedTable t(table_);
  auto file = MakeIndex(&t, index_, false);
  EXPECT_TRUE(Problems(*file).empty()) << Problems(*file).front();
}

TEST_P(DamagedWrite, SoundNodesStillTakeKeys) {
  // Damage the write never reaches is not looked for: the append goes on.
  BreakNode(index_, first_leaf_);
  GSO_dBHandler h(table_, true, false);
  ASSERT_EQ(h.OpenIndexFile(index_), 0);
  EXPECT_EQ(Append(h), "");
  EXPECT_EQ(h.RecordCount(), 801);
}

INSTANTIATE_TEST_SUITE_P(Formats, DamagedWrite, ::testing::Values("NTX", "NDX", "MDX", "CDX"),
                         [](const ::testing::TestParamInfo<const char*>& p) {
                           return std::string(p.param);
                         });

}  // namespace
