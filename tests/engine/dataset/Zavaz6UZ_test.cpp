// TDevazozDataSet: opening, fields by type, navigation, counts, bookmarks,
// editing, deleting, searching, filters, ranges, master/detail and messages.
#include "engine/dataset/Zavaz6UZ.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>

#include "engine/foundation/gs6_dbsy.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_os.h"
#include "platform/services/codepage.h"
#include "platform/services/datetime.h"
#include "platform/services/paths.h"
#include "tests/engine/dataset/dataset_test_util.h"

namespace {

using namespace platform;
using devazoz::TDevazozDataSet;
using qvx_test::CatalogTest;
using qvx_test::DbfFixture;
using qvx_test::Strings;

std::string Message(const std::function<void()>& f) {
  try {
    f();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "(no error)";
}

TEST_F(CatalogTest, OpensWithDefinitionsByTableType) {
  auto ds = Open();
  EXPECT_EQ(ds->About(), "Devazoz Version 06.05.05 (28 Mar 99)");
  ASSERT_EQ(ds->FieldCount(), 8);
  auto type = [&](const char* name) { return ds->FieldByName(name)->DataType(); };
  EXPECT_EQ(type("TITLE"), TFieldType::ftString);
  EXPECT_EQ(ds->FieldByName("TITLE")->Size(), 20);
  EXPECT_EQ(type("PLAYERS"), TFieldType::ftSmallint);  // N2: length below 5
  EXPECT_EQ(type("COUNT"), TFieldType::ftInteger);     // N6
  EXPECT_EQ(type("PRICE"), TFieldType::ftFloat);       // decimals
  EXPECT_EQ(type("ANALOG"), TFieldType::ftBoolean);
  EXPECT_EQ(type("RELEASED"), TFieldType::ftDate);
  EXPECT_EQ(type("NOTES"), TFieldType::ftMemo);
  EXPECT_EQ(ds->ActiveTagName(), "TITLE");
  EXPECT_EQ(ds->TagCount(), 4);
  Strings names;
  for (int i = 1; i <= ds->TagCount(); ++i) names.push_back(ds->TagName(i));
  EXPECT_EQ(names, (Strings{"CATEGORY", "RACING", "TITLE", "UTITLE"}));  // the file's tag order
  EXPECT_EQ(ds->TagExpression(4), "UPPER(TITLE)");
  EXPECT_EQ(ds->TagCondition(2), "CATEGORY = \"Racing\"");
  EXPECT_EQ(ds->TagCondition(3), "");
  EXPECT_FALSE(ds->IsSequenced());
}

TEST_F(CatalogTest, FieldValuesByType) {
  auto ds = Open("");
  EXPECT_TRUE(ds->IsSequenced());
  EXPECT_EQ(Title(*ds), "Gran Turismo");
  EXPECT_EQ(ds->FieldByName("PLAYERS")->AsInteger(), 2);
  EXPECT_EQ(ds->FieldByName("COUNT")->AsInteger(), 150);
  EXPECT_DOUBLE_EQ(ds->FieldByName("PRICE")->AsFloat(), 39.99);
  EXPECT_EQ(ds->FieldByName("PRICE")->AsString(), "39.99");
  EXPECT_TRUE(ds->FieldByName("ANALOG")->AsBoolean());
  EXPECT_EQ(ds->FieldByName("ANALOG")->AsString(), "True");
  int32_t expected = 0;
  ASSERT_TRUE(TryEncodeDate(1998, 5, 12, expected));
  EXPECT_EQ(ds->FieldByName("RELEASED")->AsDateTime(), double(expected));
  EXPECT_EQ(ds->FieldByName("NOTES")->AsString(), "Fast cars");
  EXPECT_EQ(ds->RecNo(), 1);
}

TEST_F(CatalogTest, NoValueForBlankTextAndForDatesThatAreNone) {
  auto ds = Open("");
  ds->SetUseDeleted(true);
  ds->First();
  auto released = ds->FieldByName("RELEASED");
  ds->SetRecNo(3);  // "00000000"
  EXPECT_TRUE(released->IsNull());
  ds->SetRecNo(4);  // blanks
  EXPECT_TRUE(released->IsNull());
  EXPECT_TRUE(ds->FieldByName("TITLE")->IsNull() == false);
  ds->SetRecNo(7);  // 29 February 1999 does not exist; the title is all blanks
  EXPECT_TRUE(released->IsNull());
  EXPECT_TRUE(ds->FieldByName("TITLE")->IsNull());
  EXPECT_EQ(ds->FieldByName("TITLE")->AsString(), "");
  EXPECT_TRUE(ds->FieldByName("NOTES")->IsNull());
}

TEST_F(CatalogTest, WritingNoDateStoresBlanksAndDatesStoreAsText) {
  auto ds = Open("");
  ds->Edit();
  auto released = ds->FieldByName("RELEASED");
  released->Clear();
  ds->Post();
  EXPECT_EQ(ds->Handler()->GetStr(7), "        ");
  ds->Edit();
  int32_t d = 0;
  ASSERT_TRUE(TryEncodeDate(2001, 2, 3, d));
  released->SetAsDateTime(d);
  ds->Post();
  EXPECT_EQ(ds->Handler()->GetStr(7), "20010203");
  EXPECT_EQ(released->AsDateTime(), double(d));
}

TEST_F(CatalogTest, WalksInTagOrderHidingDeletedRecords) {
  auto ds = Open();
  EXPECT_EQ(Titles(*ds), (Strings{"", "Abe's Oddysee", "Ape Escape", "Bushido Blade",
                                  "Gran Turismo", "Spyro", "Tekken 3"}));
  Strings back;
  for (ds->Last(); !ds->Bof(); ds->Prior()) back.push_back(Title(*ds));
  EXPECT_EQ(back.front(), "Tekken 3");
  EXPECT_EQ(back.size(), 7u);
  ds->SetIndexName("CATEGORY");  // keeps the record: the blank title in Puzzle
  EXPECT_EQ(ds->FieldByName("CATEGORY")->AsString(), "Puzzle");
  ds->First();
  EXPECT_EQ(ds->FieldByName("CATEGORY")->AsString(), "Fighting");
  ds->SetUseDeleted(true);
  ds->First();
  EXPECT_EQ(Titles(*ds).size(), 10u);
}

TEST_F(CatalogTest, RecordCountCountsDeletedUnlessExact) {
  auto ds = Open();
  EXPECT_EQ(ds->RecordCount(), 10);  // three deleted records included
  ds->MoveBy(2);
  ds->SetExactCount(true);
  EXPECT_EQ(ds->RecordCount(), 7);
  EXPECT_EQ(Title(*ds), "Ape Escape");  // the cursor stays
  ds->Next();
  EXPECT_EQ(Title(*ds), "Bushido Blade");
  ds->Close();
  EXPECT_EQ(Message([&] { ds->RecordCount(); }),
            "Cannot perform this operation on a closed dataset");
  EXPECT_EQ(Message([&] { ds->RecNo(); }), "Cannot perform this operation on a closed dataset");
}

TEST_F(CatalogTest, BookmarksOfNineAndTenCompareInRecordOrder) {
  qvx_test::WriteNumbered(dir.path(), 12);
  TDevazozDataSet ds;
  ds.SetDatabaseName(dir.path());
  ds.SetTableName("NUMBERED");
  ds.Open();
  EXPECT_EQ(ds.TableName(), "NUMBERED.DBF");
  ds.SetRecNo(9);
  TBookmark nine = ds.GetBookmark();
  ds.Next();
  TBookmark ten = ds.GetBookmark();
  EXPECT_EQ(nine, std::string("         9\0", 11));
  EXPECT_EQ(ds.CompareBookmarks(nine, ten), -1);
  EXPECT_EQ(ds.CompareBookmarks(ten, nine), 1);
  EXPECT_EQ(ds.CompareBookmarks(TBookmark(), nine), -1);
  EXPECT_EQ(ds.CompareBookmarks(TBookmark(), TBookmark()), 0);
  ds.First();
  ds.GotoBookmark(nine);
  EXPECT_EQ(ds.RecNo(), 9);
  EXPECT_EQ(Message([&] { ds.GotoBookmark(std::string("      x9\0\0\0", 11)); }),
            "Bookmark is invalid for table NUMBERED.DBF");
}

TEST_F(CatalogTest, DeletingTheLastVisibleRecordLeavesTheOneBefore) {
  auto ds = Open();
  ds->Last();
  EXPECT_EQ(Title(*ds), "Tekken 3");
  ds->Delete();
  EXPECT_EQ(Title(*ds), "Spyro");
  EXPECT_EQ(ds->RecordCount(), 10);
  auto natural = Open("");
  natural->Last();
  ASSERT_EQ(Title(*natural), "Abe's Oddysee");
  natural->Delete();
  EXPECT_EQ(Title(*natural), "Spyro");
  natural->Delete();
  EXPECT_EQ(Title(*natural), "");  // record 7
}

TEST_F(CatalogTest, DeleteInTheMiddleMovesToTheNextAndRecallBringsItBack) {
  auto ds = Open();
  ds->MoveBy(3);
  ASSERT_EQ(Title(*ds), "Bushido Blade");
  ds->Delete();
  EXPECT_EQ(Title(*ds), "Gran Turismo");
  ds->SetUseDeleted(true);
  ds->SetRecNo(6);
  EXPECT_TRUE(ds->Handler()->IsDeleted());
  ds->RecallRecord();
  EXPECT_EQ(ds->RecNo(), 6);
  ds->SetUseDeleted(false);
  ds->First();
  EXPECT_EQ(Titles(*ds).size(), 7u);
}

TEST_F(CatalogTest, EditPostKeepsIndexOrder) {
  auto ds = Open();
  ds->Locate("TITLE", "Spyro", 0);
  ds->Edit();
  EXPECT_TRUE(ds->RecordLocked());
  ds->FieldByName("TITLE")->SetAsString("Aardvark");
  ds->Post();
  EXPECT_FALSE(ds->RecordLocked());
  EXPECT_EQ(Title(*ds), "Aardvark");
  EXPECT_EQ(ds->RecNo(), 9);
  EXPECT_EQ(Titles(*ds)[1], "Aardvark");
  ds->Close();
  ds->Open();
  EXPECT_EQ(Titles(*ds)[1], "Aardvark");
}

TEST_F(CatalogTest, OldValueIsTheRecordBeforeTheEdit) {
  auto ds = Open();
  ds->MoveBy(2);
  TField* title = ds->FieldByName("TITLE");
  EXPECT_EQ(title->OldValue().AsString(), "Ape Escape");
  ds->Edit();
  title->SetAsString("Ape Escape 2");
  EXPECT_EQ(title->OldValue().AsString(), "Ape Escape");
  EXPECT_EQ(title->NewValue().AsString(), "Ape Escape 2");
  EXPECT_EQ(ds->State(), TDataSetState::dsEdit);
  ds->Post();
  EXPECT_EQ(title->OldValue().AsString(), "Ape Escape 2");
}

TEST_F(CatalogTest, AppendPostsAtTheEndAndShowsTheNewRecord) {
  auto ds = Open();
  ds->MoveBy(2);
  ds->Append();
  EXPECT_EQ(ds->State(), TDataSetState::dsInsert);
  EXPECT_TRUE(ds->FieldByName("TITLE")->IsNull());
  EXPECT_FALSE(ds->FieldByName("ANALOG")->AsBoolean());
  ds->FieldByName("TITLE")->SetAsString("Bloody Roar");
  ds->FieldByName("ANALOG")->SetAsBoolean(true);
  ds->FieldByName("COUNT")->SetAsInteger(12);
  ds->Post();
  EXPECT_EQ(ds->RecordCount(), 11);
  EXPECT_EQ(Title(*ds), "Bloody Roar");
  EXPECT_EQ(ds->RecNo(), 11);
  ds->Next();
  EXPECT_EQ(Title(*ds), "Bushido Blade");  // in its place in title order
  ds->Insert();
  ds->Cancel();
  EXPECT_EQ(Title(*ds), "Bushido Blade");
  EXPECT_EQ(ds->RecordCount(), 11);
  ds->Insert();  // as the navigator's insert does: the new record shows where the cursor was
  ds->FieldByName("TITLE")->SetAsString("Xevious");
  ds->Post();
  EXPECT_EQ(Title(*ds), "Xevious");
  EXPECT_EQ(ds->RecNo(), 12);
  ds->Next();
  EXPECT_TRUE(ds->Eof());
  ds->Prior();
  EXPECT_EQ(Title(*ds), "Tekken 3");
}

TEST_F(CatalogTest, FailingPostStaysInEditWithNothingLost) {
  auto ds = Open();
  ds->Edit();
  ds->FieldByName("TITLE")->SetAsString("Changed");
  devazoz::os::SetFaultHook([](devazoz::os::Call call, const std::string&) -> int32_t {
    return call == devazoz::os::Call::Write ? 112 : 0;
  });
  std::string message = Message([&] { ds->Post(); });
  devazoz::os::SetFaultHook(nullptr);
  EXPECT_NE(message, "(no error)");
  EXPECT_EQ(ds->State(), TDataSetState::dsEdit);
  EXPECT_EQ(Title(*ds), "Changed");
  ds->Post();
  EXPECT_EQ(ds->State(), TDataSetState::dsBrowse);
  EXPECT_EQ(Title(*ds), "Changed");
}

TEST_F(CatalogTest, WritesOutsideEditAndToReadOnlyFieldsAreRefused) {
  auto ds = Open();
  EXPECT_EQ(Message([&] { ds->FieldByName("TITLE")->SetAsString("x"); }),
            "Dataset not in edit or insert mode");
  ds->FieldByName("TITLE")->SetReadOnly(true);
  ds->FieldByName("TITLE")->SetDisplayLabel("Title");
  ds->Edit();
  EXPECT_EQ(Message([&] { ds->FieldByName("TITLE")->SetAsString("x"); }),
            "Field 'Title' cannot be modified");
  ds->Cancel();
  ds->Close();
  ds->SetReadOnly(true);
  ds->Open();
  EXPECT_THROW(ds->Edit(), EDatabaseError);
}

TEST_F(CatalogTest, ARecordLockedByAnotherEditIsRefused) {
  auto first = Make("");
  first->SetExclusive(false);
  first->Open();
  auto second = Make("");
  second->SetExclusive(false);
  second->Open();
  first->Edit();
  EXPECT_EQ(Message([&] { second->Edit(); }), "Record is locked by another user");
  EXPECT_EQ(second->State(), TDataSetState::dsBrowse);
  second->Next();
  second->Edit();  // another record: its own lock
  second->Cancel();
  first->Cancel();  // releases the lock
  second->First();
  second->Edit();
  EXPECT_EQ(second->State(), TDataSetState::dsEdit);
  second->Cancel();
}

TEST_F(CatalogTest, RefreshShowsChangesMadeByAnotherUser) {
  auto mine = Make();
  mine->SetExclusive(false);
  mine->Open();
  auto other = Make("");
  other->SetExclusive(false);
  other->Open();
  mine->MoveBy(2);
  other->Next();  // Ape Escape, record 2
  other->Edit();
  other->FieldByName("TITLE")->SetAsString("Ape Escape Deluxe");
  other->Post();
  EXPECT_EQ(Title(*mine), "Ape Escape");  // still the buffered copy
  mine->Refresh();
  EXPECT_EQ(Title(*mine), "Ape Escape Deluxe");
  std::vector<char> copy(size_t(mine->Handler()->RecordLength()));
  EXPECT_TRUE(mine->GetCurrentRecord(copy.data()));
  EXPECT_EQ(std::string(copy.data() + 1, 17), "Ape Escape Deluxe");
}

TEST_F(CatalogTest, OpenFailuresLeaveTheDatasetClosed) {
  TDevazozDataSet ds;
  EXPECT_EQ(Message([&] { ds.Open(); }), "Table name missing");
  ds.SetDatabaseName(dir.path());
  ds.SetTableName("MISSING");
  EXPECT_EQ(Message([&] { ds.Open(); }), "Cannot find file " + dir.path() + "/MISSING.DBF");
  EXPECT_FALSE(ds.Active());
  auto bad_tag = Make("NOSUCH");
  EXPECT_NE(Message([&] { bad_tag->Open(); }), "(no error)");
  EXPECT_FALSE(bad_tag->Active());
  bad_tag->SetIndexName("TITLE");
  bad_tag->Open();
  EXPECT_TRUE(bad_tag->Active());
}

TEST_F(CatalogTest, ChangingIndexFilesWhileClosedChecksThemAgainstTheTable) {
  auto ds = Make();
  EXPECT_EQ(Message([&] { ds->SetIndexFiles({"NOPE.CDX"}); }),
            "Cannot find file " + dir.path() + "/NOPE.CDX");
  EXPECT_FALSE(ds->Active());
  // The check's own open is gone: an exclusive open succeeds.
  devazoz::GSO_dBHandler other(dir.File("CATALOG.DBF"), true, false);
  EXPECT_EQ(other.RecordCount(), 10);
}

TEST_F(CatalogTest, ChangingIndexFilesWhileOpen) {
  auto ds = Open();
  ds->SetIndexFiles({});
  EXPECT_EQ(ds->IndexName(), "");
  EXPECT_EQ(ds->TagCount(), 0);
  EXPECT_EQ(Title(*ds), "Gran Turismo");
  ds->SetIndexFiles({"CATALOG.CDX"});
  ds->SetIndexName("CATEGORY");
  EXPECT_EQ(ds->FieldByName("CATEGORY")->AsString(), "Racing");  // Gran Turismo kept
  ds->First();
  EXPECT_EQ(ds->FieldByName("CATEGORY")->AsString(), "Fighting");
}

TEST_F(CatalogTest, IndexNameChangeKeepsTheCurrentRecord) {
  auto ds = Open();
  ds->Locate("TITLE", "Spyro", 0);
  ds->SetIndexName("CATEGORY");
  EXPECT_EQ(Title(*ds), "Spyro");
  ds->Next();  // equal keys in record order: Ape Escape (2), Spyro (9), Abe's Oddysee (10)
  EXPECT_EQ(Title(*ds), "Abe's Oddysee");
  ds->Next();
  EXPECT_EQ(ds->FieldByName("CATEGORY")->AsString(), "Puzzle");
}

TEST_F(CatalogTest, LocateUsesAFittingTagUnlessCaseInsensitive) {
  auto ds = Open("CATEGORY");
  int searches = 0;
  ds->OnStatus = [&](int32_t a, int32_t b, int32_t) {
    if (a == -1 && b == devazoz::kStatusSearch) ++searches;
  };
  EXPECT_TRUE(ds->Locate("TITLE", "Spyro", 0));
  EXPECT_EQ(searches, 0);
  EXPECT_EQ(ds->RecNo(), 9);
  EXPECT_EQ(ds->IndexName(), "CATEGORY");
  EXPECT_TRUE(ds->Locate("title", "SPYRO", loCaseInsensitive));
  EXPECT_EQ(searches, 1);
  EXPECT_EQ(ds->RecNo(), 9);
  // By the beginning of the field the first match in the current order counts:
  // the TITLE tag is not the current order, so the records are searched.
  EXPECT_TRUE(ds->Locate("TITLE", "Ap", loPartialKey));
  EXPECT_EQ(Title(*ds), "Ape Escape");
  EXPECT_EQ(searches, 2);
  EXPECT_TRUE(ds->Locate("TITLE", "ab", loPartialKey | loCaseInsensitive));
  EXPECT_EQ(Title(*ds), "Abe's Oddysee");
  EXPECT_FALSE(ds->Locate("TITLE", "Zzz", 0));
  EXPECT_EQ(Title(*ds), "Abe's Oddysee");
  EXPECT_FALSE(ds->Locate("TITLE", "crash", loCaseInsensitive));  // deleted: hidden
  EXPECT_FALSE(ds->Locate("TITLE", "Crash", 0));
  EXPECT_EQ(Title(*ds), "Abe's Oddysee");
  EXPECT_EQ(Message([&] { ds->Locate("NOFIELD", "x", loCaseInsensitive); }),
            "Field 'NOFIELD' not found");
}

TEST_F(CatalogTest, LocateAfterwardsScrollsFromTheFoundRecord) {
  auto ds = Open();
  ASSERT_TRUE(ds->Locate("TITLE", "Bushido Blade", 0));
  ds->Next();
  EXPECT_EQ(Title(*ds), "Gran Turismo");
  ds->Prior();
  ds->Prior();
  EXPECT_EQ(Title(*ds), "Ape Escape");
}

TEST_F(CatalogTest, LookupGivesTheResultWithoutMovingTheCursor) {
  auto ds = Open();
  ds->MoveBy(2);
  EXPECT_EQ(ds->Lookup("TITLE", "Tekken 3", "CATEGORY").AsString(), "Fighting");
  EXPECT_TRUE(ds->Lookup("TITLE", "Missing", "CATEGORY").IsNull());
  EXPECT_EQ(Title(*ds), "Ape Escape");
  ds->Next();
  EXPECT_EQ(Title(*ds), "Bushido Blade");
  EXPECT_EQ(ds->Lookup("COUNT", "300", "TITLE").AsString(), "Tekken 3");  // no tag: a search
  EXPECT_EQ(ds->IndexName(), "TITLE");
  EXPECT_EQ(ds->ActiveTagName(), "TITLE");
}

TEST_F(CatalogTest, LookupOnAnEmptyTableIsFalse) {
  DbfFixture f(0x03, {{"NAME", 'C', 10}});
  f.Write(dir.File("EMPTY.DBF"));
  TDevazozDataSet ds;
  ds.SetDatabaseName(dir.path());
  ds.SetTableName("EMPTY.DBF");
  ds.Open();
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_EQ(ds.Lookup("NAME", "x", "NAME"), TVariant(false));
  EXPECT_FALSE(ds.Locate("NAME", "x", 0));
  EXPECT_EQ(ds.RecNo(), 0);
  ds.Append();
  ds.FieldByName("NAME")->SetAsString("first");
  ds.Post();
  EXPECT_EQ(ds.RecordCount(), 1);
}

TEST_F(CatalogTest, FilterTextOptionsAndRejectedText) {
  auto ds = Open();
  ds->SetFilter("CATEGORY = 'Racing'");
  ds->SetFiltered(true);
  EXPECT_EQ(Titles(*ds), (Strings{"Gran Turismo"}));
  ds->SetFilter("CATEGORY = 'platform'");
  EXPECT_TRUE(Titles(*ds).empty());
  ds->SetFilterOptions(foCaseInsensitive);
  EXPECT_EQ(Titles(*ds), (Strings{"Abe's Oddysee", "Ape Escape", "Spyro"}));
  EXPECT_EQ(Message([&] { ds->SetFilter("TITLE"); }),
            "Filter expression must return boolean result");
  EXPECT_EQ(ds->Filter(), "CATEGORY = 'platform'");
  ds->SetFiltered(false);
  EXPECT_EQ(Titles(*ds).size(), 7u);
  // Set before open: applied at open.
  auto later = Make();
  later->SetFilter("ANALOG");
  later->SetFiltered(true);
  ds->Close();
  later->Open();
  EXPECT_EQ(Titles(*later), (Strings{"Ape Escape", "Gran Turismo", "Spyro"}));
  later->SetExactCount(true);
  EXPECT_EQ(later->RecordCount(), 3);
}

TEST_F(CatalogTest, OnFilterRecordRunsInFilterState) {
  auto ds = Make();
  ds->OnFilterRecord = [](TDataSet& d, bool& accept) {
    EXPECT_EQ(d.State(), TDataSetState::dsFilter);
    accept = d.FieldByName("PLAYERS")->AsInteger() == 2;
  };
  ds->SetFiltered(true);
  ds->Open();
  EXPECT_EQ(Titles(*ds), (Strings{"Bushido Blade", "Gran Turismo", "Tekken 3"}));
  ds->SetFiltered(false);
  EXPECT_EQ(Titles(*ds).size(), 7u);
}

TEST_F(CatalogTest, OnFormulaAnswersHostFunctions) {
  auto ds = Open();
  Strings requests;
  ds->OnFormula = [&](TDevazozDataSet& who, const std::string& st, void* rsl, char& typ, bool& chg,
                      const std::string& tf) {
    requests.push_back(st + " " + tf);
    if (tf != "ISFIGHT") return;
    chg = true;
    if (st == "PARSE") {
      typ = 'L';
      const std::string category =
          static_cast<qvx_test::TInspectedDataSet&>(who).Handler()->GetStr(2);
      static_cast<char*>(rsl)[0] = category.rfind("Fighting", 0) == 0 ? 'T' : 'F';
    }
  };
  ds->SetFilter("ISFIGHT()");
  ds->SetFiltered(true);
  EXPECT_EQ(Titles(*ds), (Strings{"Bushido Blade", "Tekken 3"}));
  EXPECT_EQ(requests.front(), "FIND ISFIGHT");
  EXPECT_EQ(Message([&] { ds->SetFilter("NOSUCH()"); }), "There is no function for NOSUCH");
}

TEST_F(CatalogTest, KeyRangeOnTheCurrentTag) {
  auto ds = Open("CATEGORY");
  ds->SetKeyRange("Platform", "Platform");
  EXPECT_EQ(Titles(*ds).size(), 3u);
  ds->SetKeyRange("", "");
  EXPECT_EQ(Titles(*ds).size(), 7u);
}

TEST_F(CatalogTest, FilterAndExactCountKeepTheRangeAndTheOrder) {
  auto ds = Open("CATEGORY");
  ds->SetKeyRange("Platform", "Platform");
  ds->SetFilter("ANALOG");
  ds->SetFiltered(true);
  EXPECT_EQ(Titles(*ds), (Strings{"Ape Escape", "Spyro"}));
  ds->SetExactCount(true);
  ds->Next();
  EXPECT_EQ(ds->RecordCount(), 2);
  EXPECT_EQ(Title(*ds), "Spyro");
  ds->SetIndexName("TITLE");  // a new tag drops the range; the filter stays
  EXPECT_EQ(ds->RecordCount(), 3);
  EXPECT_EQ(Title(*ds), "Spyro");
  ds->First();
  EXPECT_EQ(Titles(*ds), (Strings{"Ape Escape", "Gran Turismo", "Spyro"}));
  EXPECT_EQ(ds->ActiveTagName(), "TITLE");
}

TEST_F(CatalogTest, MasterDetailFollowsTheMasterRecord) {
  DbfFixture cats(0x03, {{"CATEGORY", 'C', 10}});
  cats.AddRecord({"Fighting"}).AddRecord({"Platform"}).AddRecord({"Shooter"});
  cats.Write(dir.File("CATS.DBF"));
  TDevazozDataSet master;
  master.SetDatabaseName(dir.path());
  master.SetTableName("CATS.DBF");
  TDataSource master_source(&master);
  auto detail = Make("CATEGORY");
  detail->SetMasterFields("CATEGORY");
  detail->SetMasterSource(&master_source);
  detail->Open();
  master.Open();
  EXPECT_EQ(Titles(*detail), (Strings{"Tekken 3", "Bushido Blade"}));
  master.Next();
  EXPECT_EQ(Titles(*detail).size(), 3u);
  master.Next();
  EXPECT_TRUE(detail->IsEmpty());
  master.Close();
  EXPECT_EQ(Titles(*detail).size(), 7u);
  TDataSource detail_source(detail.get());
  EXPECT_EQ(Message([&] { master.SetMasterSource(&detail_source); }),
            "Circular datalinks are not allowed");  // detail already follows master
  EXPECT_EQ(Message([&] { detail->SetMasterSource(&detail_source); }),
            "Circular datalinks are not allowed");
}

TEST_F(CatalogTest, PersistentFieldsAndDefaultFields) {
  auto ds = Make();
  auto* title = ds->AddField<TStringField>("TITLE", 20);
  title->SetDisplayLabel("Title");
  auto* analog = ds->AddField<TBooleanField>("ANALOG");
  ds->Open();
  EXPECT_EQ(ds->FieldCount(), 2);
  EXPECT_EQ(title->AsString(), "");
  ds->Next();
  EXPECT_EQ(title->AsString(), "Abe's Oddysee");
  EXPECT_FALSE(analog->AsBoolean());
  ds->Close();
  auto wrong = Make();
  wrong->AddField<TStringField>("DEVELOPER", 30);
  EXPECT_EQ(Message([&] { wrong->Open(); }), "Field 'DEVELOPER' not found");
  EXPECT_FALSE(wrong->Active());
}

TEST_F(CatalogTest, TranslatesBetweenOemAndAnsi) {
  DbfFixture f(0x03, {{"NAME", 'C', 10}});
  f.AddRecord({"M\x81ller"});  // u-umlaut in code page 437
  f.Write(dir.File("OEM.DBF"));
  qvx_test::TInspectedDataSet ds;
  ds.SetDatabaseName(dir.path());
  ds.SetTableName("OEM.DBF");
  ds.Open();
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "M\xFCller");  // Windows-1252
  ds.Edit();
  ds.FieldByName("NAME")->SetAsString("Gr\xFC\xDF");
  ds.Post();
  EXPECT_EQ(ds.Handler()->GetStr(1).substr(0, 4), "Gr\x81\xE1");
  ds.Close();
  ds.SetTranslateASCII(false);
  ds.Open();
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Gr\x81\xE1");
  char text[] = "\x81";
  ds.Translate(text, text, false);
  EXPECT_EQ(std::string(text), "\x81");
}

TEST_F(CatalogTest, AliasesAndTheDefaultDirectory) {
  qvx_test::TempDir config;
  std::ofstream(config.File("devazoz.cfg"))
      << "[Other]\nDATA=/nowhere\n[Alias]\ncatdata=" << dir.path() << "/\n";
  const char* old = std::getenv("XDG_CONFIG_HOME");
  std::string saved = old ? old : "";
  setenv("XDG_CONFIG_HOME", config.path().c_str(), 1);
  devazoz::ReloadAliases();
  TDevazozDataSet ds;
  ds.SetDatabaseName("CatData");
  EXPECT_EQ(ds.DatabaseName(), "CATDATA");
  EXPECT_EQ(ds.TableDirectory(), dir.path() + "/");
  ds.SetTableName("CATALOG.DBF");
  ds.Open();
  EXPECT_EQ(ds.RecordCount(), 10);
  ds.Close();
  ds.SetDatabaseName("default directory");
  EXPECT_EQ(ds.TableDirectory(), platform::ExecutableDirectory() + "/");
  ds.SetDatabaseName(dir.path() + "/");
  EXPECT_EQ(ds.DatabaseName(), platform::AnsiUpper(dir.path()));
  ds.Open();  // the new alias keeps the directory's own spelling
  EXPECT_TRUE(ds.Active());
  EXPECT_EQ(devazoz::AliasList().front().first, "Default Directory");
  if (old)
    setenv("XDG_CONFIG_HOME", saved.c_str(), 1);
  else
    unsetenv("XDG_CONFIG_HOME");
  devazoz::ReloadAliases();
}

TEST_F(CatalogTest, BusyTableRefusesOperationsFromStatusReports) {
  auto ds = Open();
  std::string seen;
  ds->OnStatus = [&](int32_t, int32_t, int32_t) {
    if (seen.empty()) seen = Message([&] { ds->TagCount(); });
  };
  ds->Reindex();
  EXPECT_EQ(seen, "Table is busy building an index");
  EXPECT_EQ(Titles(*ds).size(), 7u);
  seen.clear();
  ds->Pack();
  EXPECT_EQ(seen, "Table is busy copying");
  EXPECT_EQ(ds->RecordCount(), 7);
  EXPECT_EQ(Titles(*ds).size(), 7u);
  ASSERT_TRUE(ds->Locate("TITLE", "Tekken 3", 0));
  EXPECT_EQ(ds->FieldByName("NOTES")->AsString(), "Iron fist");
}

TEST_F(CatalogTest, GridWindowOverTheTable) {
  qvx_test::WriteNumbered(dir.path(), 100);
  TDevazozDataSet ds;
  ds.SetDatabaseName(dir.path());
  ds.SetTableName("NUMBERED.DBF");
  ds.SetIndexFiles({"NUMBERED.CDX"});
  ds.SetIndexName("TITLE");
  TDataSource source(&ds);
  TDataLink grid;
  grid.SetBufferCount(30);
  grid.SetDataSource(&source);
  ds.Open();
  EXPECT_EQ(grid.RecordCount(), 30);
  ds.MoveBy(45);
  EXPECT_EQ(ds.RecNo(), 46);
  EXPECT_EQ(grid.ActiveRecord(), 29);
  grid.SetActiveRecord(0);
  EXPECT_EQ(ds.FieldByName("TITLE")->AsString(), "Title 000017");
  grid.SetActiveRecord(29);
  ds.Last();
  EXPECT_EQ(ds.RecNo(), 100);
  grid.SetActiveRecord(0);
  EXPECT_EQ(ds.RecNo(), 71);
  grid.SetActiveRecord(29);
  ds.MoveBy(-40);
  EXPECT_EQ(ds.RecNo(), 60);
  EXPECT_EQ(grid.ActiveRecord(), 0);
}

}  // namespace
