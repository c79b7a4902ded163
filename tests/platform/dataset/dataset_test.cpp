// The framework's state machine, event order, buffer ring and links, on an
// in-memory dataset.
#include "platform/dataset/dataset.h"

#include <gtest/gtest.h>

#include "tests/support/mem_dataset.h"

namespace {

using namespace platform;
using qvx_test::TMemDataSet;

class RecordingLink : public TDataLink {
 public:
  std::vector<std::string>* log = nullptr;
  void Add(const std::string& s) {
    if (log) log->push_back(s);
  }
  void ActiveChanged() override { Add("link:ActiveChanged"); }
  void DataSetChanged() override { Add("link:DataSetChanged"); }
  void DataSetScrolled(int d) override { Add("link:Scrolled " + std::to_string(d)); }
  void EditingChanged() override { Add("link:EditingChanged"); }
  void RecordChanged(TField* f) override {
    Add(std::string("link:RecordChanged ") + (f ? f->FieldName() : "-"));
  }
  void UpdateData() override { Add("link:UpdateData"); }
  void CheckBrowseMode() override { Add("link:CheckBrowseMode"); }
};

class DataSetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    for (int i = 1; i <= 10; ++i) ds.AddRow({"R" + std::to_string(i), std::to_string(i)});
    source.SetDataSet(&ds);
    link.log = &log;
    link.SetDataSource(&source);
    ds.SetLog(&log);
    auto add = [this](TDataSetNotifyEvent& e, const std::string& name) {
      e = [this, name](TDataSet&) { log.push_back(name); };
    };
    add(ds.BeforeOpen, "BeforeOpen");
    add(ds.AfterOpen, "AfterOpen");
    add(ds.BeforeClose, "BeforeClose");
    add(ds.AfterClose, "AfterClose");
    add(ds.BeforeInsert, "BeforeInsert");
    add(ds.AfterInsert, "AfterInsert");
    add(ds.BeforeEdit, "BeforeEdit");
    add(ds.AfterEdit, "AfterEdit");
    add(ds.BeforePost, "BeforePost");
    add(ds.AfterPost, "AfterPost");
    add(ds.BeforeCancel, "BeforeCancel");
    add(ds.AfterCancel, "AfterCancel");
    add(ds.BeforeDelete, "BeforeDelete");
    add(ds.AfterDelete, "AfterDelete");
    add(ds.BeforeScroll, "BeforeScroll");
    add(ds.AfterScroll, "AfterScroll");
    add(ds.OnNewRecord, "OnNewRecord");
  }
  std::vector<std::string> Take() {
    auto out = log;
    log.clear();
    return out;
  }
  std::vector<std::string> Names() {
    std::vector<std::string> out;
    for (ds.First(); !ds.Eof(); ds.Next()) out.push_back(ds.FieldByName("NAME")->AsString());
    return out;
  }

  std::vector<std::string> log;  // outlives the dataset, which logs while closing
  TMemDataSet ds;
  TDataSource source;
  RecordingLink link;
};

using V = std::vector<std::string>;

TEST_F(DataSetTest, OpenAndCloseFireEventsInOrder) {
  EXPECT_EQ(ds.State(), TDataSetState::dsInactive);
  ds.Open();
  EXPECT_EQ(Take(),
            (V{"BeforeOpen", "InternalOpen", "link:ActiveChanged", "AfterOpen", "AfterScroll"}));
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
  EXPECT_TRUE(ds.Bof());
  EXPECT_FALSE(ds.Eof());
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "R1");
  ds.Close();
  EXPECT_EQ(Take(), (V{"BeforeClose", "link:ActiveChanged", "InternalClose", "AfterClose"}));
  EXPECT_EQ(ds.FieldCount(), 0);  // default fields are gone
}

TEST_F(DataSetTest, ClosedDatasetRefusesNavigationAndFieldAccess) {
  EXPECT_THROW(ds.First(), EDatabaseError);
  try {
    ds.Next();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Cannot perform this operation on a closed dataset");
  }
}

TEST_F(DataSetTest, WalksForwardAndBackward) {
  ds.Open();
  EXPECT_EQ(Names(), (V{"R1", "R2", "R3", "R4", "R5", "R6", "R7", "R8", "R9", "R10"}));
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(ds.RecNo(), 10);
  ds.Last();
  EXPECT_TRUE(ds.Eof());
  int n = 0;
  while (!ds.Bof()) {
    ++n;
    ds.Prior();
  }
  EXPECT_EQ(n, 10);
  EXPECT_EQ(ds.FieldByName("NUM")->AsInteger(), 1);
  ds.First();
  EXPECT_EQ(ds.MoveBy(4), 4);
  EXPECT_EQ(ds.FieldByName("NUM")->AsInteger(), 5);
  EXPECT_EQ(ds.MoveBy(100), 5);
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(ds.MoveBy(-3), -3);
  EXPECT_EQ(ds.FieldByName("NUM")->AsInteger(), 7);
}

TEST_F(DataSetTest, ScrollFiresBeforeAndAfterOnceEvenAtTheEnd) {
  ds.Open();
  ds.Last();
  Take();
  ds.Next();
  EXPECT_EQ(Take(), (V{"link:CheckBrowseMode", "BeforeScroll", "AfterScroll"}));
  ds.MoveBy(-3);  // a one-row link moved by more than its window: the whole row changed
  EXPECT_EQ(Take(),
            (V{"link:CheckBrowseMode", "BeforeScroll", "link:DataSetChanged", "AfterScroll"}));
}

TEST_F(DataSetTest, EmptyDatasetIsBofAndEof) {
  ds.ClearRows();
  ds.Open();
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_TRUE(ds.Bof());
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(Take(), (V{"BeforeOpen", "InternalOpen", "link:ActiveChanged", "AfterOpen"}));
  EXPECT_TRUE(ds.FieldByName("NAME")->IsNull());
  EXPECT_TRUE(ds.GetBookmark().empty());
  EXPECT_THROW(ds.Delete(), EDatabaseError);
}

TEST_F(DataSetTest, BufferWindowFollowsTheLargestLink) {
  ds.Open();
  link.SetBufferCount(4);
  EXPECT_EQ(ds.BufferCount(), 4);
  EXPECT_EQ(link.RecordCount(), 4);
  EXPECT_EQ(link.ActiveRecord(), 0);
  RecordingLink small;
  small.SetDataSource(&source);
  EXPECT_EQ(ds.BufferCount(), 4);  // the largest count wins
  Take();
  ds.MoveBy(3);  // inside the window: no fetch
  EXPECT_EQ(link.ActiveRecord(), 3);
  EXPECT_EQ(Take(), (V{"link:CheckBrowseMode", "BeforeScroll", "link:Scrolled 0", "AfterScroll"}));
  ds.Next();  // past the edge: the window moves one record forward
  EXPECT_EQ(link.ActiveRecord(), 3);
  EXPECT_EQ(Take(), (V{"link:CheckBrowseMode", "BeforeScroll", "link:Scrolled 1", "AfterScroll"}));
  // Painting: each row of the window, read through ActiveRecord.
  std::vector<std::string> rows;
  int saved = link.ActiveRecord();
  for (int r = 0; r < link.RecordCount(); ++r) {
    link.SetActiveRecord(r);
    rows.push_back(ds.FieldByName("NAME")->AsString());
  }
  link.SetActiveRecord(saved);
  EXPECT_EQ(rows, (V{"R2", "R3", "R4", "R5"}));
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "R5");
  ds.MoveBy(-4);
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "R1");
  EXPECT_EQ(link.ActiveRecord(), 0);
  ds.Last();
  EXPECT_EQ(link.ActiveRecord(), 3);
  EXPECT_EQ(link.RecordCount(), 4);
  link.SetBufferCount(2);
  small.SetDataSource(nullptr);
  EXPECT_EQ(ds.BufferCount(), 2);
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "R10");
  ds.Prior();
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "R9");
}

TEST_F(DataSetTest, EditPostOrderAndValue) {
  ds.Open();
  ds.Next();
  Take();
  ds.Edit();
  EXPECT_EQ(ds.State(), TDataSetState::dsEdit);
  EXPECT_EQ(Take(), (V{"link:CheckBrowseMode", "BeforeEdit", "InternalEdit", "link:EditingChanged",
                       "link:RecordChanged -", "AfterEdit"}));
  ds.FieldByName("NAME")->SetAsString("Changed");
  EXPECT_TRUE(ds.Modified());
  EXPECT_EQ(Take(), (V{"link:RecordChanged NAME"}));
  ds.Post();
  EXPECT_EQ(Take(), (V{"link:UpdateData", "link:CheckBrowseMode", "BeforePost", "InternalPost",
                       "link:EditingChanged", "link:DataSetChanged", "AfterPost"}));
  EXPECT_EQ(ds.Stored(2, "NAME"), "Changed");
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Changed");
}

TEST_F(DataSetTest, MovingPostsAModifiedRecordAndCancelsAnUnmodifiedOne) {
  ds.Open();
  ds.Edit();
  ds.FieldByName("NUM")->SetAsInteger(42);
  ds.Next();
  EXPECT_EQ(ds.Stored(1, "NUM"), "42");
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
  ds.Edit();
  Take();
  ds.Next();
  V got = Take();
  EXPECT_NE(std::find(got.begin(), got.end(), "InternalCancel"), got.end());
  EXPECT_EQ(std::find(got.begin(), got.end(), "InternalPost"), got.end());
}

TEST_F(DataSetTest, FailingPostStaysInEditWithTheValue) {
  ds.Open();
  ds.Edit();
  ds.FieldByName("NAME")->SetAsString("Kept");
  ds.FailNextPost("post failed");
  EXPECT_THROW(ds.Post(), EDatabaseError);
  EXPECT_EQ(ds.State(), TDataSetState::dsEdit);
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Kept");
  int retried = 0;
  ds.FailNextPost("post failed");  // once: the retry succeeds
  ds.OnPostError = [&](TDataSet&, const Exception&, TDataAction& action) {
    ++retried;
    action = TDataAction::daRetry;
  };
  ds.Post();
  EXPECT_EQ(retried, 1);
  EXPECT_EQ(ds.Stored(1, "NAME"), "Kept");
}

TEST_F(DataSetTest, CancelFiresInOrderAndPutsTheRecordBack) {
  ds.Open();
  ds.Next();
  ds.Edit();
  ds.FieldByName("NAME")->SetAsString("Dropped");
  Take();
  ds.Cancel();
  EXPECT_EQ(Take(), (V{"link:CheckBrowseMode", "BeforeCancel", "InternalCancel",
                       "link:EditingChanged", "link:DataSetChanged", "AfterCancel"}));
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "R2");
  EXPECT_EQ(ds.Stored(2, "NAME"), "R2");
  // A BeforeCancel that aborts keeps the edit and its value.
  ds.Edit();
  ds.FieldByName("NAME")->SetAsString("Kept");
  ds.BeforeCancel = [](TDataSet&) { throw EAbort(); };
  EXPECT_THROW(ds.Cancel(), EAbort);
  EXPECT_EQ(ds.State(), TDataSetState::dsEdit);
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "Kept");
}

TEST_F(DataSetTest, FieldChangeValidatesThenStoresThenTellsChangeAndLinks) {
  ds.Open();
  TField* name = ds.FieldByName("NAME");
  name->OnValidate = [this](TField& f) {
    log.push_back("OnValidate, still " + f.AsString());
    if (f.DataSet()->FieldByName("NUM")->AsInteger() == 99) throw EDatabaseError("refused");
  };
  name->OnChange = [this](TField& f) { log.push_back("OnChange, now " + f.AsString()); };
  ds.Edit();
  Take();
  name->SetAsString("New");
  EXPECT_EQ(Take(), (V{"OnValidate, still R1", "OnChange, now New", "link:RecordChanged NAME"}));
  // OnValidate raising refuses the value: nothing stored, no OnChange, no link told.
  ds.FieldByName("NUM")->SetAsInteger(99);
  Take();
  EXPECT_THROW(name->SetAsString("Refused"), EDatabaseError);
  EXPECT_EQ(Take(), (V{"OnValidate, still New"}));
  EXPECT_EQ(name->AsString(), "New");
  ds.Cancel();
  EXPECT_EQ(name->AsString(), "R1");
}

TEST_F(DataSetTest, EditErrorIsAskedToFailAbortOrRetry) {
  ds.Open();
  // No handler: the error stands, the dataset stays in browse mode.
  ds.FailNextEdit("record is locked");
  Take();
  EXPECT_THROW(ds.Edit(), EDatabaseError);
  EXPECT_EQ(Take(), (V{"link:CheckBrowseMode", "BeforeEdit", "InternalEdit"}));
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);

  std::vector<std::string> seen;
  TDataAction answer = TDataAction::daRetry;
  ds.OnEditError = [&](TDataSet&, const Exception& e, TDataAction& action) {
    seen.push_back(e.what());
    action = answer;
  };
  ds.FailNextEdit("record is locked");  // once: the retry gets the lock
  ds.Edit();
  EXPECT_EQ(ds.State(), TDataSetState::dsEdit);
  ds.Cancel();

  answer = TDataAction::daAbort;
  ds.FailNextEdit("record is locked");
  EXPECT_THROW(ds.Edit(), EAbort);  // silent: the handler told the user
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(seen, (V{"record is locked", "record is locked"}));
}

TEST_F(DataSetTest, DeleteErrorIsAskedToFailAbortOrRetry) {
  ds.Open();
  ds.Next();
  ds.FailNextDelete("cannot delete");
  EXPECT_THROW(ds.Delete(), EDatabaseError);
  EXPECT_FALSE(ds.IsDeleted(2));
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "R2");
  EXPECT_EQ(ds.State(), TDataSetState::dsBrowse);

  int asked = 0;
  TDataAction answer = TDataAction::daRetry;
  ds.OnDeleteError = [&](TDataSet&, const Exception&, TDataAction& action) {
    ++asked;
    action = answer;
  };
  ds.FailNextDelete("cannot delete");
  Take();
  ds.Delete();  // the failed try and the retry
  EXPECT_EQ(Take(), (V{"link:CheckBrowseMode", "BeforeDelete", "BeforeScroll", "InternalDelete",
                       "InternalDelete", "link:DataSetChanged", "AfterDelete", "AfterScroll"}));
  EXPECT_TRUE(ds.IsDeleted(2));

  answer = TDataAction::daAbort;
  ds.FailNextDelete("cannot delete");
  const std::string before = ds.FieldByName("NAME")->AsString();
  EXPECT_THROW(ds.Delete(), EAbort);
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), before);
  EXPECT_EQ(asked, 2);
}

TEST_F(DataSetTest, InsertAppendCancelAndDelete) {
  ds.Open();
  ds.MoveBy(2);
  Take();
  ds.Insert();
  EXPECT_EQ(Take(),
            (V{"link:CheckBrowseMode", "BeforeInsert", "BeforeScroll", "link:EditingChanged",
               "OnNewRecord", "link:DataSetChanged", "AfterInsert", "AfterScroll"}));
  EXPECT_EQ(ds.State(), TDataSetState::dsInsert);
  EXPECT_TRUE(ds.FieldByName("NAME")->IsNull());
  ds.Cancel();
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "R3");
  EXPECT_EQ(ds.StoredCount(), 10);

  ds.Append();
  ds.FieldByName("NAME")->SetAsString("New");
  ds.Post();
  EXPECT_EQ(ds.StoredCount(), 11);
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "New");
  EXPECT_EQ(ds.RecNo(), 11);

  ds.Last();
  Take();
  ds.Delete();
  EXPECT_EQ(Take(), (V{"link:CheckBrowseMode", "BeforeDelete", "BeforeScroll", "InternalDelete",
                       "link:DataSetChanged", "AfterDelete", "AfterScroll"}));
  EXPECT_EQ(ds.FieldByName("NAME")->AsString(), "R10");  // the record before it
}

TEST_F(DataSetTest, EditOnEmptyDatasetInserts) {
  ds.ClearRows();
  ds.Open();
  ds.Edit();
  EXPECT_EQ(ds.State(), TDataSetState::dsInsert);
  ds.FieldByName("NAME")->SetAsString("First");
  ds.Post();
  EXPECT_EQ(ds.StoredCount(), 1);
  EXPECT_FALSE(ds.IsEmpty());
}

TEST_F(DataSetTest, BookmarksReturnToTheRecord) {
  ds.Open();
  ds.MoveBy(6);
  TBookmark b = ds.GetBookmark();
  ASSERT_FALSE(b.empty());
  ds.First();
  Take();
  ds.GotoBookmark(b);
  EXPECT_EQ(ds.FieldByName("NUM")->AsInteger(), 7);
  EXPECT_EQ(Take(),
            (V{"link:CheckBrowseMode", "BeforeScroll", "link:DataSetChanged", "AfterScroll"}));
  EXPECT_EQ(ds.CompareBookmarks(TBookmark(), TBookmark()), 0);
  EXPECT_EQ(ds.CompareBookmarks(TBookmark(), b), -1);
  EXPECT_EQ(ds.CompareBookmarks(b, TBookmark()), 1);
}

TEST_F(DataSetTest, DisabledControlsHearOneChangeAtTheEnd) {
  ds.Open();
  Take();
  ds.DisableControls();
  ds.DisableControls();
  ds.Next();
  ds.Next();
  ds.EnableControls();
  EXPECT_TRUE(ds.ControlsDisabled());
  ds.EnableControls();
  EXPECT_FALSE(ds.ControlsDisabled());
  EXPECT_EQ(Take(), (V{"BeforeScroll", "AfterScroll", "BeforeScroll", "AfterScroll",
                       "link:DataSetChanged"}));
}

TEST_F(DataSetTest, GenericLocateAndLookup) {
  ds.Open();
  EXPECT_TRUE(ds.Locate("NAME", "r7", loCaseInsensitive));
  EXPECT_EQ(ds.RecNo(), 7);
  EXPECT_FALSE(ds.Locate("NAME", "R77", 0));
  EXPECT_EQ(ds.RecNo(), 7);
  EXPECT_EQ(ds.Lookup("NAME", "R3", "NUM").AsString(), "3");
  EXPECT_TRUE(ds.Lookup("NAME", "none", "NUM").IsNull());
  EXPECT_EQ(ds.RecNo(), 7);
}

TEST_F(DataSetTest, PersistentFieldsBindByNameAndKeepAcrossOpen) {
  auto* name = ds.AddField<TStringField>("NAME", 10);
  name->SetDisplayLabel("Name");
  ds.Open();
  EXPECT_EQ(ds.FieldCount(), 1);
  EXPECT_EQ(ds.FieldByName("name"), name);
  try {
    ds.FieldByName("NUM");
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Field 'NUM' not found");
  }
  ds.Close();
  EXPECT_EQ(ds.FieldCount(), 1);
  EXPECT_EQ(name->DisplayLabel(), "Name");
}

TEST_F(DataSetTest, PersistentFieldMissingFromTheTableFailsOpen) {
  ds.AddField<TStringField>("TITLE", 40);
  try {
    ds.Open();
    FAIL();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Field 'TITLE' not found");
  }
  EXPECT_FALSE(ds.Active());
  TMemDataSet other;
  other.AddField<TBooleanField>("NAME");
  EXPECT_THROW(other.Open(), EDatabaseError);
}

TEST_F(DataSetTest, CalculatedFieldsFollowEachRecord) {
  ds.AddField<TStringField>("NAME", 10);
  auto* num = ds.AddField<TIntegerField>("NUM");
  auto* twice = ds.AddField<TIntegerField>("TWICE");
  twice->SetFieldKind(TFieldKind::fkCalculated);
  int calls = 0;
  ds.OnCalcFields = [&](TDataSet& d) {
    ++calls;
    EXPECT_EQ(d.State(), TDataSetState::dsCalcFields);
    twice->SetAsInteger(num->AsInteger() * 2);
  };
  ds.Open();
  EXPECT_EQ(twice->AsInteger(), 2);
  ds.Next();
  EXPECT_EQ(twice->AsInteger(), 4);
  ds.Edit();
  num->SetAsInteger(50);
  EXPECT_EQ(twice->AsInteger(), 100);
  EXPECT_GT(calls, 2);
}

TEST_F(DataSetTest, DataSourceStateAutoEditAndCircularLinks) {
  int changes = 0;
  source.OnStateChange = [&](TDataSource&) { ++changes; };
  ds.Open();
  EXPECT_EQ(source.State(), TDataSetState::dsBrowse);
  source.Edit();
  EXPECT_EQ(source.State(), TDataSetState::dsEdit);
  ds.Cancel();
  source.SetAutoEdit(false);
  source.Edit();
  EXPECT_EQ(source.State(), TDataSetState::dsBrowse);
  EXPECT_EQ(changes, 3);
  source.SetEnabled(false);
  EXPECT_EQ(source.State(), TDataSetState::dsInactive);
  EXPECT_FALSE(link.Active());
  source.SetEnabled(true);
  EXPECT_TRUE(link.Active());
  EXPECT_TRUE(ds.IsLinkedTo(&source));
  // The fixture closes the dataset after this body: the handler must not count then.
  source.OnStateChange = nullptr;
}

TEST_F(DataSetTest, FieldDataLinkFollowsItsField) {
  TFieldDataLink fl;
  int data = 0, editing = 0;
  fl.OnDataChange = [&] { ++data; };
  fl.OnEditingChange = [&] { ++editing; };
  fl.SetFieldName("NAME");
  fl.SetDataSource(&source);
  EXPECT_EQ(fl.Field(), nullptr);
  ds.Open();
  ASSERT_NE(fl.Field(), nullptr);
  EXPECT_EQ(fl.Field()->AsString(), "R1");
  data = 0;
  ds.Next();
  EXPECT_EQ(data, 1);
  EXPECT_TRUE(fl.Edit());
  EXPECT_EQ(editing, 1);
  std::string pending = "Typed";
  fl.OnUpdateData = [&] { fl.Field()->SetAsString(pending); };
  fl.Modified();
  ds.Post();
  EXPECT_EQ(ds.Stored(2, "NAME"), "Typed");
}

TEST_F(DataSetTest, TypedFieldConversions) {
  ds.Open();
  ds.Edit();
  TField* num = ds.FieldByName("NUM");
  num->SetAsString("17");
  EXPECT_EQ(num->AsInteger(), 17);
  EXPECT_EQ(num->AsFloat(), 17.0);
  EXPECT_THROW(num->SetAsString("x1"), EDatabaseError);
  TField* name = ds.FieldByName("NAME");
  name->SetAsString("0123456789ABC");  // longer than the field: cut to its size
  EXPECT_EQ(name->AsString(), "0123456789");
  name->SetAsString("Yes");
  EXPECT_TRUE(name->AsBoolean());
  name->SetAsInteger(5);
  EXPECT_EQ(name->AsInteger(), 5);
  EXPECT_EQ(name->Value().AsString(), "5");
  name->Clear();
  EXPECT_TRUE(name->IsNull());
  EXPECT_TRUE(name->Value().IsNull());
}

}  // namespace
