// Appends to exclusively opened index files: each tag's key place is searched
// once, before the record is written (which checks the nodes on the way), and
// the insert after the write takes that place; the controlling tag stands on the
// new key without another search. These tests hold what that must keep: every
// tag sound and in order after many appends in and out of bulk scopes, the
// current record after each append, each tag's nodes read once per append, and
// the current tag where it was when an append does not happen.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "engine/foundation/gs6_dbsy.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_os.h"
#include "engine/foundation/gs6_tool.h"
#include "tests/engine/foundation/safety_fixture.h"
#include "tests/support/dbf_fixture.h"

namespace {
using namespace devazoz;
using namespace qvx_test;

struct LiftHook {
  ~LiftHook() { os::SetFaultHook(nullptr); }
};

bool EndsWith(const std::string& s, const char* tail) {
  const std::string t(tail);
  return s.size() >= t.size() && s.compare(s.size() - t.size(), t.size(), t) == 0;
}

// Fails every write of the table file as a full disk would.
int32_t FullTable(os::Call call, const std::string& path) {
  return call == os::Call::Write && EndsWith(path, ".DBF") ? kErrDiskFull : 0;
}

// Titles in no order, some repeated (equal keys go by record).
std::string ScrambledTitle(int i) { return "A" + std::to_string((i * 48271) % 2003); }

void OpenFirstTag(GSO_dBHandler& h, const std::string& dir, const IndexKind& kind) {
  ASSERT_EQ(h.OpenIndexFile(dir + "/P" + kind.ext), 0);
  std::string tag = kind.tags[0].first;
  h.SelectTag(&tag, false);
}

void Append(GSO_dBHandler& h, const std::string& title, int seq) {
  h.BlankRecord();
  h.PutStr(1, title);
  h.PutNum(2, seq);
  h.AppendRecord();
}

std::vector<int32_t> TagOrder(GSO_dBHandler& h) {
  std::vector<int32_t> out;
  for (h.GetRecord(kMoveFirst); !h.Eof(); h.GetRecord(kMoveNext)) out.push_back(h.RecordNumber());
  return out;
}

void ExpectSound(const std::string& dir, const IndexKind& kind, const std::string& at) {
  std::vector<std::string> problems = CheckIndexIn(dir, kind);
  EXPECT_TRUE(problems.empty()) << at << ": " << (problems.empty() ? "" : problems[0]);
}

class Appends : public ::testing::TestWithParam<IndexKind> {};

// Appends in and out of a bulk scope, with seeks and steps between them that
// move the current tag's path while a changed leaf waits on it: after each
// append the handler stands on the new record, its neighbours in tag order are
// the right ones, and at the end every tag of the file is sound.
TEST_P(Appends, EveryAppendStandsOnItsRecordAndEveryTagStaysSound) {
  const IndexKind& kind = GetParam();
  TempDir dir;
  WriteTable(dir.path(), 300, {kind}, false);
  {
    GSO_dBHandler h(dir.File("P.DBF"), true, false);
    OpenFirstTag(h, dir.path(), kind);
    for (int round = 0; round < 2; ++round) {
      TgsBulkScope scope(round == 0 ? &h : nullptr);
      for (int i = 0; i < 700; ++i) {
        const int n = round * 700 + i;
        Append(h, ScrambledTitle(n), 100000 + (n * 7) % 5000);
        ASSERT_EQ(h.RecordNumber(), h.RecordCount()) << n;
        ASSERT_EQ(TrimRightZ(h.GetStr(1)), ScrambledTitle(n)) << n;
        if (n % 53 == 0) {
          // One step each way comes back to the new record.
          const int32_t record = h.RecordNumber();
          h.GetRecord(kMoveNext);
          if (h.Eof()) h.GetRecord(kMoveLast);
          h.GetRecord(kMovePrevious);
          if (h.Bof()) h.GetRecord(kMoveFirst);
          h.GetRecord(kMoveNext);
          if (h.Eof()) h.GetRecord(kMoveLast);
          if (h.RecordNumber() != record) {
            h.GetRecord(kMovePrevious);
            EXPECT_EQ(h.RecordNumber(), record) << n;
          }
        }
        if (n % 97 == 0)
          h.FindKey(std::string(kind.ext) == ".NDX" ? std::to_string(100000 + n / 2)
                                                    : ScrambledTitle(n / 2));
      }
    }
    EXPECT_EQ(h.RecordCount(), 1700);
    EXPECT_EQ(TagOrder(h).size(), 1700u);
  }
  ExpectSound(dir.path(), kind, "after the appends");
  EXPECT_EQ(FirstTagWalk(dir.path(), kind).size(), 1700u);
}

// An append that does not happen (the table write fails) after its keys' places
// were searched leaves the current tag on the current record: the next move goes
// on from there, also when the tag stood past its last key.
TEST_P(Appends, AFailedAppendLeavesTheCurrentTagWhereItWas) {
  const IndexKind& kind = GetParam();
  for (bool bulk : {false, true}) {
    SCOPED_TRACE(bulk ? "in a bulk scope" : "outside a bulk scope");
    TempDir dir;
    WriteTable(dir.path(), 400, {kind}, false);
    GSO_dBHandler h(dir.File("P.DBF"), true, false);
    OpenFirstTag(h, dir.path(), kind);
    const std::vector<int32_t> order = TagOrder(h);
    ASSERT_EQ(order.size(), 400u);
    TgsBulkScope scope(bulk ? &h : nullptr);
    auto failed_append = [&] {
      LiftHook lift;
      os::SetFaultHook(&FullTable);
      // Its key goes after every other, far from the current one.
      EXPECT_THROW(Append(h, "ZZZZZZ", 999999), EDevazozError);
    };

    h.GetRecord(kMoveFirst);
    for (int i = 0; i < 10; ++i) h.GetRecord(kMoveNext);
    ASSERT_EQ(h.RecordNumber(), order[10]);
    failed_append();
    EXPECT_EQ(h.RecordCount(), 400);
    EXPECT_EQ(h.RecordNumber(), order[10]);
    h.GetRecord(kMoveNext);
    EXPECT_EQ(h.RecordNumber(), order[11]);
    h.GetRecord(kMovePrevious);
    h.GetRecord(kMovePrevious);
    EXPECT_EQ(h.RecordNumber(), order[9]);

    // Before the first key: the next move gives the first record.
    h.GetRecord(kMoveFirst);
    h.GetRecord(kMovePrevious);
    ASSERT_TRUE(h.Bof());
    failed_append();
    h.GetRecord(kMoveNext);
    EXPECT_EQ(h.RecordNumber(), order[0]);

    // After the last key: the move back gives the last record.
    h.GetRecord(kMoveLast);
    h.GetRecord(kMoveNext);
    ASSERT_TRUE(h.Eof());
    failed_append();
    h.GetRecord(kMovePrevious);
    EXPECT_EQ(h.RecordNumber(), order.back());

    // The next append goes in as any other.
    Append(h, "ZZZZZZ", 999999);
    EXPECT_EQ(h.RecordNumber(), 401);
    h.GetRecord(kMovePrevious);
    EXPECT_EQ(h.RecordNumber(), order.back());
    scope.End();
    ExpectSound(dir.path(), kind, "after the appends");
  }
}

// Inside a bulk scope a changed leaf that appends come back to (the end of a
// short key's run) is held decoded while the path goes elsewhere. Seeks, steps,
// key changes and deletions meet the held leaves, splits link past them and
// spread keys into them; at the end of the scope every tag is sound, also
// after a rename that moves a key out of a held leaf and back.
TEST(HeldLeaves, RunsOfFewKeysStaySoundUnderSeeksChangesAndSplits) {
  TempDir dir;
  WriteTable(dir.path(), 300, {kCdx}, false);
  std::vector<std::string> titles(300);
  {
    GSO_dBHandler h(dir.File("P.DBF"), true, false);
    OpenFirstTag(h, dir.path(), kCdx);
    for (int32_t r = 1; r <= 300; ++r) {
      h.GetRecord(r);
      titles[size_t(r - 1)] = TrimRightZ(h.GetStr(1));
    }
    TgsBulkScope scope(&h);
    for (int n = 0; n < 4000; ++n) {
      const std::string title = n % 7 == 3 ? ScrambledTitle(n) : "K" + std::to_string(n % 16);
      Append(h, title, n);
      titles.push_back(title);
      ASSERT_EQ(h.RecordNumber(), int32_t(titles.size())) << n;
      if (n % 101 == 0) {
        // A seek lands on the first record of a run whose last leaf may be held.
        const std::string key = "K" + std::to_string((n / 101) % 16);
        ASSERT_NE(h.FindKey(key), 0) << n;
        EXPECT_EQ(TrimRightZ(h.GetStr(1)), key) << n;
        h.GetRecord(kMovePrevious);
        if (!h.Bof()) {
          EXPECT_LT(TrimRightZ(h.GetStr(1)), key) << n;
        }
      }
      if (n % 257 == 200) {
        // A key moves from one run to another, and one back again.
        const int32_t r = 300 + n / 2;
        h.GetRecord(r);
        const std::string moved = "K" + std::to_string((n + 5) % 16);
        h.PutStr(1, moved);
        h.WriteRecord(r);
        titles[size_t(r - 1)] = moved;
      }
      if (n % 389 == 100) {
        h.GetRecord(300 + n);
        h.DeleteRecord();
      }
    }
    scope.End();
    // Every record under its key, runs in record order.
    std::vector<int32_t> order = TagOrder(h);
    ASSERT_EQ(order.size(), titles.size());
    for (size_t i = 1; i < order.size(); ++i) {
      const std::string& a = titles[size_t(order[i - 1] - 1)];
      const std::string& b = titles[size_t(order[i] - 1)];
      ASSERT_TRUE(a < b || (a == b && order[i - 1] < order[i])) << i << ": " << a << " " << b;
    }
  }
  ExpectSound(dir.path(), kCdx, "after the appends");
}

// Record numbers that take a byte more per leaf entry after a leaf was held (the
// table grows past 65,535 records): a held leaf that no longer fits its block
// is written through its parent, split as any other.
TEST(HeldLeaves, AHeldLeafThatOutgrewItsBlockIsSplitWhenWritten) {
  TempDir dir;
  WriteTable(dir.path(), 65000, {kCdx}, false);
  {
    GSO_dBHandler h(dir.File("P.DBF"), true, false);
    OpenFirstTag(h, dir.path(), kCdx);
    TgsBulkScope scope(&h);
    int n = 0;
    // Runs of four keys fill their last leaves below the boundary.
    for (; h.RecordCount() < 65535; ++n) Append(h, "K" + std::to_string(n % 4), n);
    // Past it, appends elsewhere leave the held leaves alone.
    for (int i = 0; i < 40; ++i) Append(h, "Z" + std::to_string(i), 900000 + i);
    scope.End();
    EXPECT_EQ(TagOrder(h).size(), 65575u);
  }
  ExpectSound(dir.path(), kCdx, "after the appends");
}

INSTANTIATE_TEST_SUITE_P(Formats, Appends, ::testing::ValuesIn(AllIndexKinds()),
                         [](const ::testing::TestParamInfo<IndexKind>& p) {
                           return KindName(p.param);
                         });

}  // namespace
