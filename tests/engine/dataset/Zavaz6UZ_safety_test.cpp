// The adapter with damaged or missing files, and its durability calls: what a
// program is told (codes, error classes, texts) and what stays usable.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "engine/dataset/Zavaz6UZ.h"
#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_mark.h"
#include "engine/foundation/gs6_os.h"
#include "engine/index/gs6_cdx.h"
#include "engine/index/gs6_cdxcheck.h"
#include "platform/dataset/stream.h"
#include "platform/services/apphandler.h"
#include "platform/services/codepage.h"
#include "tests/engine/dataset/dataset_test_util.h"

namespace {
using namespace devazoz;
using namespace qvx_test;
namespace fs = std::filesystem;

class SafetyTest : public CatalogTest {
 protected:
  std::vector<std::string> CheckCopy() {
    TempDir copy;
    for (const auto& e : fs::directory_iterator(dir.path()))
      fs::copy_file(e.path(), copy.path() + "/" + e.path().filename().string());
    GSO_dBaseFld table(copy.File("CATALOG.DBF"), false, false);
    GSobjCDXFile cdx(&table, copy.File("CATALOG.CDX"), false, false, false, false);
    return CheckCdxFile(cdx);
  }
  void CutTable(int64_t keep_records) {
    std::string path = dir.File("CATALOG.DBF");
    GSO_dBaseFld t(path, false, false);
    int64_t size = t.HeaderLength() + keep_records * t.RecordLength() + 3;
    t.Close();
    fs::resize_file(path, uintmax_t(size));
  }
};

TEST_F(SafetyTest, PostAndDeleteAreInTheFilesWhenTheyReturn) {
  auto ds = Open();
  ds->Append();
  ds->FieldByName("TITLE")->SetAsString("Silent Hill");
  ds->FieldByName("CATEGORY")->SetAsString("Horror");
  ds->Post();
  std::vector<std::string> problems = CheckCopy();
  EXPECT_TRUE(problems.empty()) << problems[0];
  ds->First();
  ds->Edit();
  ds->FieldByName("TITLE")->SetAsString("Zzz renamed");
  ds->Post();
  problems = CheckCopy();
  EXPECT_TRUE(problems.empty()) << problems[0];
  ds->Delete();
  problems = CheckCopy();
  EXPECT_TRUE(problems.empty()) << problems[0];
  ds->FlushBuffers();
  EXPECT_FALSE(fs::exists(dir.File("CATALOG.DBF.changing")));
}

TEST_F(SafetyTest, AnInterruptedChangeIsRebuiltAtOpenWithProgress) {
  {
    // The table changed behind the index's back, as a kill inside a post leaves it.
    GSO_dBaseFld t(dir.File("CATALOG.DBF"), false, true);
    t.ReadRecord(2);
    t.PutStr(1, "Zero Title");
    t.WriteRecord(2);
  }
  TgsChangeMarker marker(os::ResolvePath(dir.File("CATALOG.DBF")));
  ASSERT_EQ(marker.Write({platform::AnsiUpper(dir.File("CATALOG.CDX"))}, false), 0);
  auto ds = Make();
  std::vector<int32_t> starts;
  std::string rebuilding;
  ds->OnStatus = [&](int32_t what, int32_t done, int32_t) {
    if (what == -1) starts.push_back(done);
    if (what == -1 && done == 12) rebuilding = ds->Handler()->RebuildingIndex();
  };
  ds->Open();
  ASSERT_EQ(ds->RebuiltIndexes().size(), 1u);
  EXPECT_EQ(rebuilding, dir.File("CATALOG.CDX"));
  ASSERT_FALSE(starts.empty());
  EXPECT_EQ(starts[0], 12);
  EXPECT_FALSE(fs::exists(marker.Path()));
  EXPECT_EQ(Titles(*ds).back(), "Zero Title");
}

TEST_F(SafetyTest, ADamagedTableIsRefusedAndOpensReadOnlyWithItsWholeRecords) {
  CutTable(6);
  auto ds = Make();
  try {
    ds->Open();
    ADD_FAILURE() << "opened for writing";
  } catch (const EDevazozError& e) {
    EXPECT_EQ(e.Code(), kErrTableDamaged);
    EXPECT_EQ(std::string(e.what()),
              "CATALOG.DBF is damaged: the header says 10 records, the file holds 6");
  }
  EXPECT_FALSE(ds->Active());
  ds->SetReadOnly(true);
  ds->Open();
  EXPECT_FALSE(ds->TableDamage().empty());
  EXPECT_EQ(ds->RecordCount(), 6);
  for (const std::string& title : Titles(*ds)) EXPECT_NE(title, "Spyro");  // record 9
  EXPECT_FALSE(ds->StaleIndexReasons().empty());
  ds->Close();
  ds->SetReadOnly(false);
  TgsTableRepair done = ds->RepairTable();
  EXPECT_EQ(done.records, 6);
  EXPECT_TRUE(fs::exists(dir.File("CATALOG.DBF.bak")));
  ds->Open();
  EXPECT_TRUE(ds->TableDamage().empty());
  EXPECT_TRUE(ds->StaleIndexReasons().empty());
  EXPECT_EQ(ds->RecordCount(), 6);
}

TEST_F(SafetyTest, AMissingIndexFileIsAnErrorThatNamesIt) {
  fs::remove(dir.File("CATALOG.CDX"));
  // Named while closed (the files are checked at once) and at open.
  for (bool named_before : {true, false}) {
    TDevazozDataSet ds;
    ds.SetDatabaseName(dir.path());
    ds.SetTableName("CATALOG.DBF");
    ds.SetExclusive(true);
    try {
      if (named_before) ds.SetIndexFiles({"CATALOG.CDX"});
      ds.Open();
      if (!named_before) ds.SetIndexFiles({"CATALOG.CDX"});
      ADD_FAILURE() << "opened without its index";
    } catch (const EDevazozFileMissing& e) {
      EXPECT_EQ(e.What(), EDevazozFileMissing::Kind::kIndex);
      EXPECT_EQ(e.Path(), dir.File("CATALOG.CDX"));
      EXPECT_EQ(std::string(e.what()), "Cannot find file " + dir.File("CATALOG.CDX"));
    }
  }
}

TEST_F(SafetyTest, AMissingMemoFileLeavesTheRecordsUsable) {
  fs::remove(dir.File("CATALOG.FPT"));
  auto ds = Open();
  EXPECT_NE(ds->MemoProblem().find("CATALOG.FPT is missing"), std::string::npos);
  EXPECT_EQ(Titles(*ds).size(), 7u);
  ds->First();
  platform::TField* notes = ds->FieldByName("NOTES");
  {
    auto stream = ds->CreateBlobStream(notes, platform::TBlobStreamMode::bmRead);
    char c;
    EXPECT_EQ(stream->Read(&c, 1), 0);
  }
  // A record still changes; a memo written is refused with the memo's own code.
  ds->Edit();
  ds->FieldByName("TITLE")->SetAsString("Changed");
  std::vector<int32_t> codes;
  platform::SetApplicationExceptionHandler([&](const std::exception& e) {
    if (auto* d = dynamic_cast<const EDevazozError*>(&e)) codes.push_back(d->Code());
  });
  {
    auto stream = ds->CreateBlobStream(notes, platform::TBlobStreamMode::bmWrite);
    stream->Write("new", 3);
  }
  platform::SetApplicationExceptionHandler(nullptr);
  ASSERT_EQ(codes.size(), 1u);
  EXPECT_EQ(codes[0], kErrMemoMissing);
  ds->Post();
  EXPECT_EQ(Title(*ds), "Changed");
}

}  // namespace

TEST_F(SafetyTest, AReindexStoppedByItsProgressLeavesTheOldIndexInUse) {
  auto ds = Open();
  const Strings before = Titles(*ds);
  ds->Last();
  struct Stop {};
  for (int stop_at = 1; stop_at <= 3; ++stop_at) {
    int reports = 0;
    ds->OnStatus = [&](int32_t what, int32_t, int32_t) {
      if (what > 0 && ++reports == stop_at) throw Stop{};
    };
    EXPECT_THROW(ds->Reindex(), Stop) << stop_at;
    ds->OnStatus = nullptr;
    EXPECT_EQ(Titles(*ds), before) << stop_at;
    std::vector<std::string> problems = CheckCopy();
    EXPECT_TRUE(problems.empty()) << problems[0];
  }
}
