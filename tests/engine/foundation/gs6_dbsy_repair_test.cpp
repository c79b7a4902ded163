// A table cut short: refused for writing with a code a program recognises, shown
// read-only as its whole records and nothing past them, and mended by
// RepairTable (the original kept, the indexes rebuilt). An append cut off between
// its record and its header, or inside its record while its change marker stood,
// is put right by the next writer.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_dbsy.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_mark.h"
#include "engine/foundation/gs6_tool.h"
#include "engine/table/gs6_dbfcheck.h"
#include "platform/services/codepage.h"
#include "tests/engine/foundation/safety_fixture.h"
#include "tests/support/dbf_fixture.h"
#include "tests/support/memo_fixture.h"

namespace {
using namespace devazoz;
using namespace qvx_test;
namespace fs = std::filesystem;

// The table of WriteTable with 48 records, cut to keep bytes of its record area.
std::string CutTable(const TempDir& dir, const std::vector<IndexKind>& kinds, int64_t keep) {
  WriteTable(dir.path(), 48, kinds, false);
  GSO_dBaseFld t(dir.File("P.DBF"), false, false);
  int64_t header = t.HeaderLength();
  fs::resize_file(dir.File("P.DBF"), uintmax_t(header + keep));
  return dir.File("P.DBF");
}

struct Cut {
  int64_t keep;   // bytes of the record area kept
  int32_t whole;  // whole records they hold
  bool part;      // a record cut short follows
};

std::vector<Cut> TenCuts(int32_t record_length) {
  std::vector<Cut> cuts;
  for (int64_t whole : {0, 1, 17, 30, 47}) {
    cuts.push_back({whole * record_length, int32_t(whole), false});
    cuts.push_back({whole * record_length + record_length / 2, int32_t(whole), true});
  }
  return cuts;
}

TEST(DamagedTable, IsRefusedForWritingAndShowsOnlyItsWholeRecordsReadOnly) {
  TempDir probe;
  WriteTable(probe.path(), 1, {}, false);
  int32_t length = GSO_dBaseFld(probe.File("P.DBF"), false, false).RecordLength();
  for (const Cut& cut : TenCuts(length)) {
    TempDir dir;
    std::string path = CutTable(dir, {kCdx}, cut.keep);
    std::string at = "kept " + std::to_string(cut.keep) + " bytes";
    std::vector<uint8_t> before = ReadFileBytes(path);
    try {
      GSO_dBHandler h(path, true, false);
      ADD_FAILURE() << at << ": opened for writing";
    } catch (const EDevazozError& e) {
      EXPECT_EQ(e.Code(), kErrTableDamaged) << at;
      EXPECT_EQ(std::string(e.what()),
                "P.DBF is damaged: the header says 48 records, the file holds " +
                    std::to_string(cut.whole))
          << at;
    }
    EXPECT_EQ(ReadFileBytes(path), before) << at;
    GSO_dBHandler h(path, false, false);
    EXPECT_EQ(h.RecordCount(), cut.whole) << at;
    EXPECT_FALSE(h.Damage().empty()) << at;
    ASSERT_EQ(h.OpenIndexFile(dir.File("P.CDX")), 0) << at;
    std::string tag = "TITLE";
    h.SelectTag(&tag, false);
    int shown = 0;
    for (h.GetRecord(kMoveFirst); !h.Eof(); h.GetRecord(kMoveNext)) {
      EXPECT_LE(h.RecordNumber(), cut.whole) << at;
      EXPECT_EQ(TrimRightZ(h.GetStr(1)), TitleOf(h.RecordNumber() - 1)) << at;
      ++shown;
    }
    EXPECT_EQ(shown, cut.whole) << at;
  }
}

// Opening path for writing (shared or not) is refused: its last record is cut short.
void ExpectRefusedAsCutShort(const std::string& path, bool shared, const char* what) {
  try {
    GSO_dBaseFld t(path, shared, true);
    ADD_FAILURE() << what;
  } catch (const EDevazozError& e) {
    EXPECT_EQ(e.Code(), kErrTableDamaged);
    EXPECT_NE(std::string(e.what()).find("last record is cut short"), std::string::npos);
  }
}

TEST(DamagedTable, ARecordCutShortWithTheRightCountIsDamagedToo) {
  TempDir dir;
  WriteTable(dir.path(), 10, {}, false);
  std::string path = dir.File("P.DBF");
  GSO_dBaseFld probe(path, false, false);
  int64_t cut_to = probe.HeaderLength() + 9 * probe.RecordLength() + 5;
  std::vector<uint8_t> bytes = ReadFileBytes(path);
  bytes.resize(size_t(cut_to));
  bytes[4] = 9;  // the count says the nine whole records
  WriteFileBytes(path, bytes);
  ExpectRefusedAsCutShort(path, false, "opened for writing");
}

// A kill inside an append's record write (a record crossing a page boundary is
// written page by page, and a kill between the pages leaves part of it) leaves
// the whole records the header counts, part of a record after them, and the
// change marker. The post never returned: a writer's open takes the part back and
// rebuilds the index the marker names. Read-only the table shows its whole
// records and is said to be damaged, as without the marker.
TEST(DamagedTable, AnAppendAKillCutInsideItsRecordIsTakenBackByTheNextWriter) {
  for (const IndexKind& kind : AllIndexKinds()) {
    TempDir dir;
    WriteTable(dir.path(), 10, {kind}, false);
    const std::string path = dir.File("P.DBF"), index = dir.File(std::string("P") + kind.ext);
    const std::string at = KindName(kind);
    int64_t whole_end = 0, length = 0;
    {
      GSO_dBaseFld probe(path, false, false);
      length = probe.RecordLength();
      whole_end = probe.HeaderLength() + 9 * length;
    }
    std::vector<uint8_t> bytes = ReadFileBytes(path);
    bytes.resize(size_t(whole_end + 5));
    bytes[4] = 9;
    WriteFileBytes(path, bytes);
    TgsChangeMarker marker(fs::canonical(path).string());
    ASSERT_EQ(marker.Write({platform::AnsiUpper(fs::canonical(index).string())}, false), 0);
    {
      GSO_dBHandler h(path, false, false);
      EXPECT_NE(h.Damage().find("last record is cut short"), std::string::npos) << at;
      EXPECT_EQ(h.RecordCount(), 9) << at;
    }
    EXPECT_EQ(ReadFileBytes(path), bytes) << at;
    {
      GSO_dBHandler h(path, true, false);  // for writing
      EXPECT_TRUE(h.Damage().empty()) << at << ": " << h.Damage();
      ASSERT_EQ(h.OpenIndexFile(index), 0) << at;
      EXPECT_EQ(h.RecordCount(), 9) << at;
      h.BlankRecord();
      h.PutStr(1, TitleOf(9));
      h.AppendRecord();
    }
    // Ten whole records and the end byte: nothing of the part is left.
    EXPECT_EQ(int64_t(ReadFileBytes(path).size()), whole_end + length + 1) << at;
    {
      GSO_dBaseFld t(path, false, false);
      EXPECT_TRUE(t.Damage().empty()) << at;
      EXPECT_TRUE(CheckDbfTable(t).empty()) << at;
      EXPECT_EQ(t.RecordCount(), 10) << at;
    }
    EXPECT_EQ(CheckIndexIn(dir.path(), kind), std::vector<std::string>()) << at;
    EXPECT_EQ(FirstTagWalk(dir.path(), kind).size(), 10u) << at;
    EXPECT_FALSE(fs::exists(marker.Path())) << at;
  }
}

TEST(DamagedTable, WritesAreRefusedWhenTheErrorHookReturns) {
  TempDir dir;
  std::string path = CutTable(dir, {}, 20 * 30);
  std::vector<uint8_t> before = ReadFileBytes(path);
  RecordingErrorHook hook;
  GSO_dBHandler h(path, true, false);
  EXPECT_TRUE(hook.Has(kErrTableDamaged, kSubDbfOpen));
  h.ReadRecord(1);
  h.PutStr(1, "OVERWRITE");
  h.WriteRecord(1);
  h.BlankRecord();
  h.AppendRecord();
  EXPECT_EQ(ReadFileBytes(path), before);
}

TEST(RepairTable, KeepsTheWholeRecordsFixesTheCountAndRebuildsTheIndexes) {
  for (const IndexKind& kind : AllIndexKinds()) {
    TempDir dir;
    WriteTable(dir.path(), 48, {kind, kCdx}, false);
    GSO_dBaseFld probe(dir.File("P.DBF"), false, false);
    int64_t keep = probe.HeaderLength() + 30 * probe.RecordLength() + 7;
    probe.Close();
    fs::resize_file(dir.File("P.DBF"), uintmax_t(keep));
    std::vector<uint8_t> original = ReadFileBytes(dir.File("P.DBF"));
    std::string at = KindName(kind);
    // The table's own CDX is rebuilt without being named.
    std::vector<std::string> named;
    if (kind.ext != std::string(".CDX")) named.push_back(dir.File(std::string("P") + kind.ext));
    TgsTableRepair done = RepairTable(dir.File("P.DBF"), named);
    EXPECT_NE(done.damage.find("the header says 48 records, the file holds 30"), std::string::npos)
        << at;
    EXPECT_EQ(done.records, 30) << at;
    EXPECT_EQ(done.backup, dir.File("P.DBF.bak")) << at;
    EXPECT_EQ(ReadFileBytes(dir.File("P.DBF.bak")), original) << at;
    EXPECT_EQ(done.rebuilt.size(), kind.ext == std::string(".CDX") ? 1u : 2u) << at;
    {
      GSO_dBaseFld t(dir.File("P.DBF"), false, true);  // opens for writing again
      EXPECT_TRUE(t.Damage().empty()) << at;
      EXPECT_TRUE(CheckDbfTable(t).empty()) << at;
      EXPECT_EQ(t.RecordCount(), 30) << at;
    }
    EXPECT_TRUE(CheckIndexIn(dir.path(), kind).empty()) << at;
    EXPECT_TRUE(CheckIndexIn(dir.path(), kCdx).empty()) << at;
    EXPECT_EQ(FirstTagWalk(dir.path(), kind).size(), 30u) << at;
  }
}

TEST(RepairTable, ASoundTableIsOnlyReindexed) {
  TempDir dir;
  WriteTable(dir.path(), 20, {kNtx});
  std::vector<uint8_t> before = ReadFileBytes(dir.File("P.DBF"));
  TgsTableRepair done = RepairTable(dir.File("P.DBF"), {dir.File("P.NTX")});
  EXPECT_TRUE(done.damage.empty());
  EXPECT_TRUE(done.backup.empty());
  EXPECT_FALSE(fs::exists(dir.File("P.DBF.bak")));
  EXPECT_EQ(ReadFileBytes(dir.File("P.DBF")), before);
  EXPECT_EQ(done.rebuilt.size(), 1u);
}

// An append killed between its record and its header leaves the count behind:
// not damage, and the next writer puts it right so that check passes.
TEST(DamagedTable, ACountBehindTheRecordsIsPutRightByTheNextWriter) {
  TempDir dir;
  WriteTable(dir.path(), 12, {}, false);
  std::string path = dir.File("P.DBF");
  std::vector<uint8_t> bytes = ReadFileBytes(path);
  bytes[4] = 11;
  WriteFileBytes(path, bytes);
  {
    GSO_dBaseFld t(path, false, false);
    EXPECT_TRUE(t.Damage().empty());
    EXPECT_FALSE(CheckDbfTable(t).empty());
  }
  { GSO_dBaseFld t(path, false, true); }
  GSO_dBaseFld t(path, false, false);
  EXPECT_TRUE(CheckDbfTable(t).empty());
  EXPECT_EQ(t.RecordCount(), 12);
}

// A shared table whose last record is still being written by another appender is
// not damaged: the tail is judged only when no one holds the append lock.
TEST(DamagedTable, APartialRecordUnderAnotherAppendIsNotDamage) {
  TempDir dir;
  WriteTable(dir.path(), 10, {}, false);
  std::string path = dir.File("P.DBF");
  GSO_dBaseFld appender(path, true, true);
  ASSERT_TRUE(appender.LockAppend());
  std::vector<uint8_t> bytes = ReadFileBytes(path);
  bytes.pop_back();  // the end byte, where the new record begins
  bytes.insert(bytes.end(), size_t(appender.RecordLength() / 2), 'x');
  WriteFileBytes(path, bytes);
  {
    GSO_dBaseFld reader(path, true, true);
    EXPECT_TRUE(reader.Damage().empty()) << reader.Damage();
    EXPECT_EQ(reader.RecordCount(), 10);
  }
  appender.Unlock();
  ExpectRefusedAsCutShort(path, true, "a record cut short with no appender opened for writing");
}

}  // namespace
