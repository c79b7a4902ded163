// THCBlobStream: creation by mode, reads, writes, seeks, translation, write-back
// on destruction and its failure path.
#include "engine/dataset/Zavaz6UZ_blob.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "engine/foundation/gs6_os.h"
#include "platform/services/apphandler.h"
#include "tests/engine/dataset/dataset_test_util.h"

namespace {

using namespace platform;
using devazoz::THCBlobStream;
using qvx_test::CatalogTest;

class BlobTest : public CatalogTest {
 protected:
  void SetUp() override {
    CatalogTest::SetUp();
    ds = Open("");  // natural order: record 1 has "Fast cars", record 2 no memo
    notes = ds->FieldByName("NOTES");
  }
  std::string Memo() { return notes->AsString(); }
  int32_t Block() { return int32_t(ds->Handler()->GetNum(8)); }

  std::unique_ptr<qvx_test::TInspectedDataSet> ds;
  TField* notes = nullptr;
};

TEST_F(BlobTest, ARecordWithoutMemoReadsNothing) {
  ds->Next();
  THCBlobStream s(notes, TBlobStreamMode::bmRead);
  char buffer[8];
  EXPECT_EQ(s.Size(), 0);
  EXPECT_EQ(s.Read(buffer, 8), 0);
  EXPECT_TRUE(notes->IsNull());
}

TEST_F(BlobTest, ReadsNoMoreThanIsLeft) {
  THCBlobStream s(notes, TBlobStreamMode::bmRead);
  EXPECT_EQ(s.Size(), 9);
  char buffer[32] = {};
  EXPECT_EQ(s.Read(buffer, 5), 5);
  EXPECT_EQ(std::string(buffer, 5), "Fast ");
  EXPECT_EQ(s.Read(buffer, 32), 4);
  EXPECT_EQ(std::string(buffer, 4), "cars");
  EXPECT_EQ(s.Read(buffer, 32), 0);
  EXPECT_EQ(s.Seek(-4, TSeekOrigin::soEnd), 5);
  EXPECT_EQ(s.Seek(2, TSeekOrigin::soCurrent), 7);
  EXPECT_EQ(s.Seek(100, TSeekOrigin::soBeginning), 100);  // not clamped
  EXPECT_EQ(s.Read(buffer, 4), 0);
  EXPECT_EQ(s.Seek(-3, TSeekOrigin::soBeginning), -3);
  EXPECT_EQ(s.Read(buffer, 4), 0);
}

TEST_F(BlobTest, WritingTenBytesAtTheStartOfAHundredLeavesTen) {
  ds->Edit();
  notes->SetAsString(std::string(100, 'x'));
  ds->Post();
  EXPECT_EQ(Memo().size(), 100u);
  ds->Edit();
  {
    THCBlobStream s(notes, TBlobStreamMode::bmReadWrite);
    EXPECT_EQ(s.Size(), 100);
    EXPECT_EQ(s.Write("0123456789", 10), 10);
    EXPECT_EQ(s.Size(), 10);
    EXPECT_EQ(s.Position(), 10);
  }
  ds->Post();
  EXPECT_EQ(Memo(), "0123456789");
  ds->Close();
  ds->Open();
  notes = ds->FieldByName("NOTES");  // default fields are made anew at open
  EXPECT_EQ(Memo(), "0123456789");
}

TEST_F(BlobTest, WritesKeepWhatLiesBeforeThePosition) {
  ds->Edit();
  {
    THCBlobStream s(notes, TBlobStreamMode::bmReadWrite);
    s.Seek(5, TSeekOrigin::soBeginning);
    EXPECT_EQ(s.Write("bikes", 5), 5);
    EXPECT_EQ(s.Write("", 0), 0);
  }
  EXPECT_EQ(Memo(), "Fast bikes");
  ds->Post();
  EXPECT_EQ(Memo(), "Fast bikes");
}

TEST_F(BlobTest, AStreamForWritingFreedUnwrittenEmptiesTheMemo) {
  ds->Edit();
  {
    THCBlobStream s(notes, TBlobStreamMode::bmWrite);
    EXPECT_TRUE(s.Modified());
    EXPECT_EQ(s.Size(), 0);
  }
  EXPECT_TRUE(ds->Modified());
  ds->Post();
  EXPECT_EQ(Memo(), "");
}

TEST_F(BlobTest, AStreamForReadingInBrowseNeverWrites) {
  static int writes;
  writes = 0;
  devazoz::os::SetFaultHook([](devazoz::os::Call call, const std::string&) -> int32_t {
    if (call == devazoz::os::Call::Write) ++writes;
    return 0;
  });
  {
    THCBlobStream s(notes, TBlobStreamMode::bmRead);
    EXPECT_FALSE(s.Modified());
  }
  devazoz::os::SetFaultHook(nullptr);
  EXPECT_EQ(writes, 0);
  EXPECT_EQ(Memo(), "Fast cars");
}

TEST_F(BlobTest, WritingModesAreRefusedOutsideEditAndOnReadOnlyFields) {
  auto message = [&](TBlobStreamMode mode) {
    try {
      THCBlobStream s(notes, mode);
    } catch (const EDatabaseError& e) {
      return std::string(e.what());
    }
    return std::string("(no error)");
  };
  EXPECT_EQ(message(TBlobStreamMode::bmWrite), "Dataset not in edit or insert mode");
  EXPECT_EQ(message(TBlobStreamMode::bmReadWrite), "Dataset not in edit or insert mode");
  EXPECT_EQ(message(TBlobStreamMode::bmRead), "(no error)");
  ds->Edit();
  notes->SetReadOnly(true);
  notes->SetDisplayLabel("Notes");
  EXPECT_EQ(message(TBlobStreamMode::bmWrite), "Field 'Notes' cannot be modified");
}

TEST_F(BlobTest, TranslatesOemOnDiskToAnsiAndBack) {
  ds->Edit();
  notes->SetAsString("Gr\xFC\xDF");  // Windows-1252
  ds->Post();
  EXPECT_EQ(Memo(), "Gr\xFC\xDF");
  ds->Close();
  ds->SetTranslateASCII(false);
  ds->Open();
  notes = ds->FieldByName("NOTES");
  EXPECT_EQ(Memo(), "Gr\x81\xE1");  // code page 437 in the memo file
}

TEST_F(BlobTest, AFailingMemoWriteKeepsTheOldBlockAndReachesTheHandler) {
  int32_t before = Block();
  ASSERT_GT(before, 0);
  std::string reported;
  SetApplicationExceptionHandler([&](const std::exception& e) { reported = e.what(); });
  ds->Edit();
  devazoz::os::SetFaultHook([](devazoz::os::Call call, const std::string& path) -> int32_t {
    return call == devazoz::os::Call::Write && path.find(".FPT") != std::string::npos ? 112 : 0;
  });
  {
    THCBlobStream s(notes, TBlobStreamMode::bmWrite);
    s.Write(std::string(3000, 'y').data(), 3000);
  }  // the destructor must not throw
  devazoz::os::SetFaultHook(nullptr);
  SetApplicationExceptionHandler(nullptr);
  EXPECT_FALSE(reported.empty());
  ds->Post();
  EXPECT_EQ(Block(), before);
  EXPECT_EQ(Memo(), "Fast cars");
}

TEST_F(BlobTest, NotesThroughTheFieldAndThroughStreams) {
  ds->Insert();
  notes->SetAsString("A new title's notes");
  ds->FieldByName("TITLE")->SetAsString("Vib-Ribbon");
  ds->Post();
  EXPECT_EQ(Memo(), "A new title's notes");
  TMemoryStream out;
  static_cast<TBlobField*>(notes)->SaveToStream(out);
  EXPECT_EQ(out.Size(), 19);
  EXPECT_EQ(static_cast<TBlobField*>(notes)->BlobSize(), 19);
  ds->Edit();
  TMemoryStream in;
  in.WriteString("Loaded");
  static_cast<TBlobField*>(notes)->LoadFromStream(in);
  ds->Post();
  EXPECT_EQ(Memo(), "Loaded");
}

}  // namespace
