// The table handler with CDX indexes: tag order, seeks, ranges, key upkeep on
// appends and writes, index lists, reindex and pack.
#include <gtest/gtest.h>

#include "engine/foundation/gs6_dbsy.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_tool.h"
#include "engine/index/gs6_cdx.h"
#include "tests/support/dbf_fixture.h"

namespace {
using namespace devazoz;
using qvx_test::DbfFixture;
using qvx_test::TempDir;

class HandlerIndexTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string table_path;

  // Titles in a scrambled order; CAT groups them.
  void SetUp() override {
    DbfFixture f(0x03, {{"TITLE", 'C', 12}, {"CAT", 'C', 8}, {"N", 'N', 4}});
    const char* titles[] = {"DELTA", "ALPHA", "ECHO", "BRAVO", "CHARLIE", "ALPHABET", "FOXTROT"};
    const char* cats[] = {"B", "A", "C", "A", "B", "C", "A"};
    for (int i = 0; i < 7; ++i) f.AddRecord({titles[i], cats[i], "   " + std::to_string(i + 1)});
    table_path = dir.File("T.DBF");
    f.Write(table_path);
    GSO_dBaseFld table(table_path, false, true);
    GSobjCDXFile cdx(&table, dir.File("T.CDX"), true, true, true, false);
    ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
    ASSERT_TRUE(cdx.AddTag("CAT", "CAT", false, true, ""));
    ASSERT_TRUE(cdx.AddTag("NDESC", "N", false, false, ""));
  }
  static std::string Title(GSO_dBHandler& h) { return TrimRightZ(h.GetStr(1)); }
  static std::vector<std::string> Walk(GSO_dBHandler& h) {
    std::vector<std::string> out;
    for (h.GetRecord(kMoveFirst); !h.Eof(); h.GetRecord(kMoveNext)) out.push_back(Title(h));
    return out;
  }
  std::unique_ptr<GSO_dBHandler> Open(const std::string& tag = "TITLE") {
    auto h = std::make_unique<GSO_dBHandler>(table_path, true, false);
    std::string list = "T.CDX";
    EXPECT_EQ(h->OpenIndexList(&list, tag), 0);
    return h;
  }
};

TEST_F(HandlerIndexTest, WalksInTagOrderBothWays) {
  auto h = Open();
  EXPECT_TRUE(h->HasIndexOpen());
  EXPECT_EQ(Walk(*h), (std::vector<std::string>{"ALPHA", "ALPHABET", "BRAVO", "CHARLIE", "DELTA",
                                                "ECHO", "FOXTROT"}));
  std::vector<std::string> back;
  for (h->GetRecord(kMoveLast); !h->Bof(); h->GetRecord(kMovePrevious)) back.push_back(Title(*h));
  EXPECT_EQ(back.front(), "FOXTROT");
  EXPECT_EQ(back.back(), "ALPHA");
  std::string ndesc = "ndesc";
  h->SelectTag(&ndesc, false);
  EXPECT_EQ(Title(*h), "FOXTROT");  // N = 7 first on the descending tag
  h->SelectTag(nullptr, false);
  EXPECT_EQ(Title(*h), "DELTA");  // natural order
}

TEST_F(HandlerIndexTest, FindKeyExactPartialAndSoft) {
  auto h = Open();
  EXPECT_TRUE(h->FindKey("CHARLIE"));
  EXPECT_EQ(Title(*h), "CHARLIE");
  EXPECT_TRUE(h->FindKey("ALPH"));  // a prefix matches while exact comparison is off
  EXPECT_EQ(Title(*h), "ALPHA");
  h->exact_comparison = true;
  EXPECT_FALSE(h->FindKey("ALPH"));
  EXPECT_TRUE(h->Eof());
  h->exact_comparison = false;
  EXPECT_FALSE(h->FindKey("A0"));  // below every key, soft seek off
  EXPECT_TRUE(h->Eof());
  h->soft_seek = true;
  EXPECT_FALSE(h->FindKey("A0"));
  EXPECT_FALSE(h->Eof());
  EXPECT_EQ(Title(*h), "ALPHA");
  EXPECT_FALSE(h->FindKey("CX"));
  EXPECT_EQ(Title(*h), "DELTA");
  EXPECT_FALSE(h->FindKey("ZULU"));
  EXPECT_TRUE(h->Eof());
  EXPECT_EQ(h->FindKeyInTag("CAT", "C"), 3);
  EXPECT_EQ(h->FindKeyInTag("CAT", "Z"), 0);
  EXPECT_EQ(h->FindKeyInTag("NONE", "C"), -1);
}

TEST_F(HandlerIndexTest, RangeIsInclusiveAtBothEnds) {
  auto h = Open();
  h->SetKeyRange("B", "D", true, true);
  EXPECT_EQ(Walk(*h), (std::vector<std::string>{"BRAVO", "CHARLIE", "DELTA"}));
  h->ClearRange();
  EXPECT_EQ(Walk(*h).size(), 7u);
  h->SetKeyRange("X", "Y", true, true);
  EXPECT_TRUE(h->Bof());
}

TEST_F(HandlerIndexTest, AppendsAndWritesKeepEveryTagCurrent) {
  {
    auto h = Open();
    h->BlankRecord();
    h->PutStr(1, "AARDVARK");
    h->PutStr(2, "C");
    h->PutNum(3, 8);
    h->AppendRecord();
    h->GetRecord(3);  // ECHO
    h->PutStr(1, "ZULU");
    h->WriteRecord(3);
    EXPECT_EQ(Walk(*h), (std::vector<std::string>{"AARDVARK", "ALPHA", "ALPHABET", "BRAVO",
                                                  "CHARLIE", "DELTA", "FOXTROT", "ZULU"}));
  }
  auto h = Open("CAT");
  std::vector<std::string> cats;
  for (h->GetRecord(kMoveFirst); !h->Eof(); h->GetRecord(kMoveNext))
    cats.push_back(TrimRightZ(h->GetStr(2)) + ":" + Title(*h));
  EXPECT_EQ(cats, (std::vector<std::string>{"A:ALPHA", "A:BRAVO", "A:FOXTROT", "B:DELTA",
                                            "B:CHARLIE", "C:ZULU", "C:ALPHABET", "C:AARDVARK"}));
}

TEST_F(HandlerIndexTest, IndexListSyntax) {
  {
    GSO_dBaseFld table(table_path, false, true);
    GSobjCDXFile second(&table, dir.File("SECOND ONE.CDX"), true, true, true, false);
    ASSERT_TRUE(second.AddTag("NUM", "N", false, true, ""));
  }
  GSO_dBHandler h(table_path, true, false);
  for (std::string list :
       {std::string("T.CDX, \"SECOND ONE.CDX\""), std::string("T.CDX;\"SECOND ONE.CDX\";"),
        std::string(" T.CDX \"SECOND ONE.CDX\" ,")}) {
    EXPECT_EQ(h.OpenIndexList(&list, ""), 0) << list;
    EXPECT_EQ(h.IndexFileCount(), 2) << list;
    EXPECT_NE(h.TagByNumber(4), nullptr);
    EXPECT_EQ(h.TagByNumber(5), nullptr);
  }
  std::string t = "num";
  EXPECT_EQ(h.SelectTag(&t, false), 2);
  EXPECT_EQ(h.OpenIndexFile("T.CDX"), -1);
  EXPECT_EQ(h.OpenIndexList(nullptr, ""), 1);
  EXPECT_FALSE(h.HasIndexOpen());
}

TEST_F(HandlerIndexTest, PackRebuildsTheIndexes) {
  auto h = Open();
  h->GetRecord(2);  // ALPHA
  h->DeleteRecord();
  h->GetRecord(4);  // BRAVO
  h->DeleteRecord();
  h->Pack();
  EXPECT_EQ(h->RecordCount(), 5);
  EXPECT_EQ(Title(*h), "ALPHABET");
  EXPECT_EQ(Walk(*h),
            (std::vector<std::string>{"ALPHABET", "CHARLIE", "DELTA", "ECHO", "FOXTROT"}));
  h->Reindex();
  EXPECT_EQ(Walk(*h).size(), 5u);
}

// A handler whose progress report fails after a number of searched records.
class FailingSearch : public GSO_dBHandler {
 public:
  using GSO_dBHandler::GSO_dBHandler;
  int32_t fail_after = 0;
  void StatusUpdate(int32_t what, int32_t done, int32_t total) override {
    if (what == kStatusSearch && done == fail_after) throw EDevazozError("stopped");
    GSO_dBHandler::StatusUpdate(what, done, total);
  }
};

TEST_F(HandlerIndexTest, FieldSearchPutsEverythingBackWhenItFailsOrFinds) {
  FailingSearch h(table_path, true, false);
  std::string list = "T.CDX";
  ASSERT_EQ(h.OpenIndexList(&list, "TITLE"), 0);
  GSobjIndexTag* tag = h.CurrentTag();
  ASSERT_NE(tag, nullptr);
  h.GetRecord(5);  // CHARLIE
  h.fail_after = 3;
  int field = 1;
  int32_t record = 0;
  EXPECT_THROW(h.SearchField("NOTHERE", field, 0, record), EDevazozError);
  EXPECT_EQ(h.RecordState(), kStateReady);
  EXPECT_EQ(h.CurrentTag(), tag);
  EXPECT_FALSE(h.ReadAhead());
  EXPECT_EQ(h.RecordNumber(), 5);
  EXPECT_EQ(record, 0);
  // The cursor still walks in tag order from there.
  h.GetRecord(kMoveNext);
  EXPECT_EQ(Title(h), "DELTA");

  // A match in natural order leaves the tag current and the cursor on the match.
  h.fail_after = 0;
  field = 0;
  EXPECT_EQ(h.SearchField("BRAVO", field, 0, record), 1);
  EXPECT_EQ(record, 4);
  EXPECT_EQ(field, 1);
  EXPECT_EQ(h.RecordNumber(), 4);
  EXPECT_EQ(h.CurrentTag(), tag);
  EXPECT_EQ(h.RecordState(), kStateReady);
  h.GetRecord(kMoveNext);
  EXPECT_EQ(Title(h), "CHARLIE");
}

// A search that keeps the tag but not the cursor's state scans in record order
// from the record after the one given, and finds every match in turn; with the
// state kept as well it follows the tag.
TEST_F(HandlerIndexTest, FieldSearchKeepingTheTagFindsEveryMatchInTurn) {
  auto h = Open("TITLE");
  h->GetRecord(kMoveLast);  // the tag's cursor stands on FOXTROT (record 7)
  auto matches = [&](uint16_t options) {
    h->search_options = options;
    std::vector<int32_t> out;
    int32_t record = 0;
    for (int i = 0; i < 8; ++i) {
      int field = 2;
      if (!h->SearchField("A", field, 0, record)) break;
      out.push_back(record);
    }
    return out;
  };
  EXPECT_EQ(matches(kSearchKeepTag), (std::vector<int32_t>{2, 4, 7}));
  EXPECT_EQ(h->CurrentTagName(), "TITLE");
  EXPECT_EQ(matches(0), (std::vector<int32_t>{2, 4, 7}));
  // Kept state and tag: in the order of N descending.
  std::string descending = "NDESC";
  h->SelectTag(&descending, false);
  EXPECT_EQ(matches(kSearchKeepTag | kSearchKeepState), (std::vector<int32_t>{7, 4, 2}));
  EXPECT_EQ(matches(kSearchKeepTag), (std::vector<int32_t>{2, 4, 7}));
}

// Notes whether the index file is locked while records are being accepted.
class LockWatcher : public GSO_dBHandler {
 public:
  using GSO_dBHandler::GSO_dBHandler;
  int32_t locks_seen = -1;
  bool RecordAccepted() override {
    if (GSobjIndexFile* f = IndexFile(1)) locks_seen = f->Disk()->LockCount();
    return true;
  }
};

TEST_F(HandlerIndexTest, ClipLockHoldsTheIndexLockOnlyForTheSeek) {
  LockWatcher h(table_path, true, true);
  h.SetLockProtocol(TgsLokProtocol::ClipLock);
  std::string list = "T.CDX";
  ASSERT_EQ(h.OpenIndexList(&list, "TITLE"), 0);
  GSO_DiskFile* disk = h.IndexFile(1)->Disk();
  EXPECT_TRUE(h.FindKey("BRAVO"));
  EXPECT_GT(h.locks_seen, 0);
  EXPECT_EQ(disk->LockCount(), 0);
  EXPECT_FALSE(h.FindKey("ZULU"));
  EXPECT_EQ(disk->LockCount(), 0);
  h.exact_comparison = false;
  EXPECT_EQ(h.FindKeyInTag("cat", "C"), 3);
  EXPECT_EQ(h.FindKeyInTag("TITLE", "ALPH"), 0);  // exact for the lookup only
  EXPECT_FALSE(h.exact_comparison);
  EXPECT_EQ(disk->LockCount(), 0);
}

}  // namespace
