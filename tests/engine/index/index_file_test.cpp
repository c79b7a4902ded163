// The format-neutral index file: opening and creating its disk file, tag
// lookup, renaming, the lock conventions, and key maintenance entry points.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_glbl.h"
#include "tests/engine/index/index_fixture.h"
#include "tests/support/memo_fixture.h"

namespace {

using devazoz::GSobjCDXFile;
using devazoz::GSobjIndexFile;
using qvx_test::TempDir;

bool Exists(const std::string& path) {
  struct stat st;
  return stat(path.c_str(), &st) == 0;
}

TEST(IndexFile, OpensInTheTablesDirectoryWithTheDefaultExtension) {
  TempDir dir;
  std::string t = dir.File("CAT.DBF");
  qvx_test::WriteCatalogTable(t, {"One"});
  devazoz::GSO_dBaseFld table(t, false, true);
  std::string part;
  // Missing and not to be created: none.
  EXPECT_EQ(
      GSobjIndexFile::OpenIndexDiskFile(&table, " cat ", false, false, true, false, ".CDX", &part),
      nullptr);
  EXPECT_EQ(part, "CAT.CDX");
  auto disk =
      GSobjIndexFile::OpenIndexDiskFile(&table, " cat ", false, true, true, false, ".CDX", &part);
  ASSERT_NE(disk, nullptr);
  EXPECT_TRUE(Exists(dir.File("cat.CDX")) || Exists(dir.File("CAT.CDX")));
  disk.reset();
  GSobjCDXFile cdx(&table, "cat", false, true, true, false);
  EXPECT_TRUE(cdx.Valid());
  EXPECT_EQ(cdx.FileName(), "CAT.CDX");
  EXPECT_TRUE(cdx.IsFileName("/somewhere/else/cat.cdx"));
  EXPECT_FALSE(cdx.IsFileName("cat.ndx"));
  ASSERT_TRUE(cdx.AddTag("Title", "TITLE", false, true, ""));
  EXPECT_EQ(cdx.FindTag("tItLe"), cdx.TagAt(0));
  EXPECT_EQ(cdx.FindTag("TITLEX"), nullptr);
  EXPECT_EQ(cdx.TagAt(1), nullptr);
  EXPECT_EQ(cdx.TagAt(-1), nullptr);
  EXPECT_EQ(cdx.TagAt(0)->FormatName(), "CDX");
  EXPECT_TRUE(cdx.RecordNumberInKey());
  // The directory holds 10 characters: a longer name is refused, not cut.
  EXPECT_FALSE(cdx.AddTag("categorylong", "CATEGORY", false, true, ""));
  EXPECT_EQ(cdx.TagProblem(), "a tag name has at most 10 characters");
  EXPECT_EQ(cdx.FindTag("CATEGORYLO"), nullptr);
  EXPECT_FALSE(cdx.AddTag("CAT GORY", "CATEGORY", false, true, ""));
  EXPECT_EQ(cdx.TagProblem(), "a tag name has no blanks");
  ASSERT_TRUE(cdx.AddTag(" categoryl ", "CATEGORY", false, true, ""));
  EXPECT_EQ(cdx.TagProblem(), "");
  EXPECT_NE(cdx.FindTag("CATEGORYL"), nullptr);
}

TEST(IndexFile, RenameExtensionKeepsTheFilesOwnExtension) {
  TempDir dir;
  std::string t = dir.File("CAT.DBF");
  qvx_test::WriteCatalogTable(t, {"One", "Two"});
  devazoz::GSO_dBaseFld table(t, false, true);
  GSobjCDXFile cdx(&table, dir.File("CAT.CDX"), false, true, true, false);
  ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
  ASSERT_TRUE(cdx.RenameExtension(dir.File("OTHER.DBF")));
  EXPECT_EQ(cdx.FileName(), "OTHER.CDX");
  EXPECT_TRUE(Exists(dir.File("OTHER.CDX")));
  EXPECT_FALSE(Exists(dir.File("CAT.CDX")));
  EXPECT_EQ(qvx_test::ListKeys(cdx.TagAt(0)).size(), 2u);
}

TEST(IndexFile, LockConventions) {
  GSobjIndexFile file(nullptr);
  file.SetLockProtocol(1);
  EXPECT_EQ(file.LockBase(), 0x40000000u);
  EXPECT_EQ(file.RecordAnchor(), 0xEFFFFFFFu);
  EXPECT_EQ(file.FileLockLength(), 0xB0000000u);
  file.SetLockProtocol(2);
  EXPECT_EQ(file.LockBase(), 1000000000u);
  EXPECT_EQ(file.RecordAnchor(), 1000000000u);
  EXPECT_EQ(file.FileLockLength(), 1000000000u);
  file.SetLockProtocol(7);  // unknown: nothing changes
  EXPECT_EQ(file.LockProtocol(), 2);
  file.SetLockProtocol(3);
  EXPECT_EQ(file.RecordAnchor(), 0x7FFFFFFEu);
  EXPECT_EQ(file.FileLockLength(), 0x3FFFFFFFu);
  // The base has no pages, no tags and no disk file.
  EXPECT_EQ(file.AllocatePage(), -1);
  EXPECT_FALSE(file.WriteBlock(0, "x", 1));
  EXPECT_TRUE(file.LockIndexFile());
  EXPECT_TRUE(file.UpdateKeys(1, true));
  EXPECT_FALSE(file.ChangedByOther());
}

TEST(IndexFile, KeepKeysNeedsATableAndResyncRepositions) {
  TempDir dir;
  std::string t = dir.File("CAT.DBF");
  qvx_test::WriteCatalogTable(t, {"Delta", "Alpha", "Charlie"});
  qvx_test::IndexedTable table(t);
  GSobjCDXFile cdx(&table, dir.File("CAT.CDX"), false, true, true, false);
  ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
  devazoz::GSobjIndexTag* tag = cdx.TagAt(0);
  // Repositioning on the table's current record.
  table.ReadRecord(3);
  tag->LoadTree(1);
  EXPECT_EQ(tag->CurrentKey().TreePointer, 3);
  EXPECT_EQ(tag->Navigate(devazoz::kNavNext), 1);
  table.ReadRecord(2);
  EXPECT_EQ(tag->Resync(2), 2);
  EXPECT_EQ(tag->Navigate(devazoz::kNavNext), 3);
  tag->ReleaseTree();
  // KeepKeys reports whether it wrote; an index file without a table does nothing.
  EXPECT_TRUE(tag->KeepKeys(2, false));
  GSobjCDXFile bare(nullptr, dir.File("CAT.CDX"), false, false, false, false);
  EXPECT_FALSE(bare.TagAt(0)->KeepKeys(1, true));
  EXPECT_EQ(qvx_test::ListKeys(bare.TagAt(0)).size(), 3u);
}

}  // namespace

// A key or FOR condition that gives no usable value is reported; under an error hook
// that returns, the tag is refused all the same and nothing is added.
TEST(IndexFile, TagsWithoutUsableKeysAreRefusedEvenWhenTheHookReturns) {
  TempDir dir;
  std::string t = dir.File("CAT.DBF");
  qvx_test::WriteCatalogTable(t, {"One", "Two"});
  devazoz::GSO_dBaseFld table(t, false, true);
  GSobjCDXFile cdx(&table, dir.File("CAT.CDX"), false, true, true, false);
  EXPECT_THROW(cdx.AddTag("T", "TITLE", false, true, "TITLE"), devazoz::EDevazozError);
  EXPECT_EQ(cdx.TagCount(), 0);
  qvx_test::RecordingErrorHook hook;
  EXPECT_FALSE(cdx.AddTag("T", "TITLE", false, true, "TITLE"));
  ASSERT_EQ(hook.reports().size(), 1u);
  EXPECT_NE(
      hook.reports()[0].info.find("the FOR condition does not give a logical value for record 1"),
      std::string::npos);
  EXPECT_EQ(cdx.TagProblem(), "a record's key or FOR condition gives no usable value");
  EXPECT_EQ(cdx.TagCount(), 0);
  EXPECT_TRUE(cdx.AddTag("T", "TITLE", false, true, "TITLE = 'One'"));
  EXPECT_EQ(cdx.TagCount(), 1);
}

TEST(IndexFile, TheNodeCacheStaysWithinItsLimitAndOnlyForExclusiveFiles) {
  TempDir dir;
  std::string t = dir.File("CACHE.DBF");
  auto titles = qvx_test::RandomTitles(20000, 21);
  qvx_test::WriteCatalogTable(t, titles);
  std::string path = dir.File("CACHE.CDX");
  {
    qvx_test::IndexedTable table(t);
    devazoz::GSobjCDXFile cdx(&table, path, false, true, true, false);
    ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
  }
  devazoz::EngineSettings& settings = devazoz::Settings();
  const size_t saved = settings.index_cache_bytes;
  struct Restore {
    size_t value;
    ~Restore() { devazoz::Settings().index_cache_bytes = value; }
  } restore{saved};
  for (size_t limit : {size_t(0), size_t(8192), size_t(64) << 10, size_t(8) << 20}) {
    settings.index_cache_bytes = limit;
    for (bool shared : {false, true}) {
      qvx_test::IndexedTable table(t, shared);
      devazoz::GSobjCDXFile cdx(&table, path, false, false, true, shared);
      devazoz::GSobjIndexTag* tag = cdx.FindTag("TITLE");
      ASSERT_NE(tag, nullptr);
      // Every title is found, whatever the cache keeps, and a full walk meets
      // every key in order.
      for (size_t i = 0; i < titles.size(); i += 7)
        ASSERT_NE(tag->Find(qvx_test::TextKey(titles[i])), 0) << titles[i] << " limit " << limit;
      EXPECT_LE(cdx.CachedBytes(), limit);
      if (shared || limit == 0) {
        EXPECT_EQ(cdx.CachedBytes(), 0u);
      } else if (limit >= (size_t(64) << 10)) {
        EXPECT_GT(cdx.CachedBytes(), 0u);
      }
      EXPECT_EQ(qvx_test::ListKeys(tag).size(), titles.size());
      EXPECT_LE(cdx.CachedBytes(), limit);
    }
  }
}
