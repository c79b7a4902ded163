// Appends and memo writes on a full disk: the error says the disk is full, and the
// table and memo file keep every record and memo written before, whole and
// readable. The disk fills up through the OS layer's simulated space limit (whole
// pages, as file systems hand them out) or through the fault hook failing every
// write from a chosen one on.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_os.h"
#include "engine/table/gs6_dbfcheck.h"
#include "engine/table/gs6_dbfld.h"
#include "tests/support/dbf_fixture.h"
#include "tests/support/memo_fixture.h"

namespace {
using namespace devazoz;
using qvx_test::DbfFixture;
using qvx_test::MemoFixture;
using qvx_test::MemoLayout;
using qvx_test::TempDir;

struct LiftLimits {
  ~LiftLimits() {
    os::SetSpaceLimit(-1);
    os::SetFaultHook(nullptr);
  }
};

long g_writes = 0, g_full_at = 0;
int32_t FullFromWrite(os::Call call, const std::string&) {
  if (call == os::Call::Write && ++g_writes >= g_full_at) return kErrDiskFull;
  return 0;
}

std::string NameOf(int i) { return "record " + std::to_string(i); }

// The names of the table's records; the table passes its check.
std::vector<std::string> Names(const std::string& path) {
  GSO_dBaseFld t(path, false, false);
  std::vector<std::string> problems = CheckDbfTable(t);
  EXPECT_TRUE(problems.empty()) << problems[0];
  std::vector<std::string> out;
  for (int32_t r = 1; r <= t.RecordCount(); ++r) {
    t.ReadRecord(r);
    std::string name = t.GetStr(1);
    out.push_back(name.substr(0, name.find_last_not_of(' ') + 1));
  }
  return out;
}

TEST(AppendFullDisk, AppendsStopAtAFullDiskAndKeepEveryRecordWritten) {
  for (int64_t space : {0, 100, 4096, 9000, 20000}) {
    TempDir dir;
    std::string path = dir.File("A.DBF");
    DbfFixture(0x03, {{"NAME", 'C', 40}, {"PAD", 'C', 200}}).AddRecord({NameOf(0)}).Write(path);
    std::vector<std::string> expected{NameOf(0)};
    std::string error;
    {
      LiftLimits lift;
      GSO_dBaseFld t(path, false, true);
      os::SetSpaceLimit(space);
      try {
        for (int i = 1; i < 1000; ++i) {
          t.BlankRecord();
          t.PutStr(1, NameOf(i));
          t.AppendRecord();
          expected.push_back(NameOf(i));
        }
      } catch (const EDevazozError& e) {
        error = e.what();
      }
      EXPECT_EQ(t.RecordCount(), int32_t(expected.size()));
    }
    EXPECT_NE(error.find("the disk is full"), std::string::npos) << space << ": " << error;
    EXPECT_EQ(Names(path), expected) << space;
    // Space again: appending goes on after the last record kept.
    GSO_dBaseFld t(path, false, true);
    t.BlankRecord();
    t.PutStr(1, "after");
    t.AppendRecord();
    expected.push_back("after");
    EXPECT_EQ(Names(path), expected) << space;
  }
}

TEST(AppendFullDisk, AWriteFailingAtAnyPointTakesTheAppendBack) {
  for (long w = 1; w <= 12; ++w) {
    TempDir dir;
    std::string path = dir.File("A.DBF");
    DbfFixture(0x03, {{"NAME", 'C', 40}}).AddRecord({NameOf(0)}).Write(path);
    std::vector<std::string> expected{NameOf(0)};
    std::string error;
    {
      LiftLimits lift;
      GSO_dBaseFld t(path, false, true);
      g_writes = 0;
      g_full_at = w;
      os::SetFaultHook(&FullFromWrite);
      try {
        for (int i = 1; i < 8; ++i) {
          t.BlankRecord();
          t.PutStr(1, NameOf(i));
          t.AppendRecord();
          expected.push_back(NameOf(i));
        }
      } catch (const EDevazozError& e) {
        error = e.what();
      }
      os::SetFaultHook(nullptr);
    }
    if (error.empty()) continue;
    EXPECT_NE(error.find("the disk is full"), std::string::npos) << w << ": " << error;
    EXPECT_EQ(Names(path), expected) << "full from write " << w;
  }
}

struct MemoCase {
  uint8_t version;
  MemoLayout layout;
  int block_size;
  const char* ext;
};

class MemoFullDisk : public ::testing::TestWithParam<MemoCase> {};

std::string TextOf(int record, int round) {
  return "memo " + std::to_string(record) + "/" + std::to_string(round) + " " +
         std::string(size_t(300 * round + record * 17), char('a' + round % 26));
}

// Memos rewritten ever longer until the disk is full: every record still names a
// memo that reads back as the last text written for it.
TEST_P(MemoFullDisk, GrowingMemosKeepTheLastTextWritten) {
  const MemoCase& c = GetParam();
  for (int64_t space : {0, 3000, 20000, 70000}) {
    TempDir dir;
    std::string path = dir.File("M.DBF");
    MemoFixture memo(c.layout, c.block_size);
    DbfFixture f(c.version, {{"NAME", 'C', 10}, {"NOTES", 'M', 10}});
    std::vector<std::string> last;
    for (int i = 0; i < 12; ++i) {
      char block[16];
      std::snprintf(block, sizeof block, "%10d", memo.Add(TextOf(i, 0)));
      f.AddRecord({NameOf(i), block});
      last.push_back(TextOf(i, 0));
    }
    f.Write(path);
    memo.Write(dir.File(std::string("M") + c.ext));
    std::string error;
    {
      LiftLimits lift;
      GSO_dBaseFld t(path, false, true);
      os::SetSpaceLimit(space);
      try {
        for (int round = 1; round < 40; ++round) {
          for (int i = 0; i < 12; ++i) {
            t.ReadRecord(i + 1);
            int32_t size = t.MemoSize(2);
            std::string old(size_t(std::max(size, 1)), '\0');
            t.MemoRead(2, old.data(), size);
            std::string text = TextOf(i, round);
            int32_t length = int32_t(text.size());
            t.MemoWrite(2, text.data(), length);
            t.WriteRecord(i + 1);
            last[size_t(i)] = text;
          }
        }
      } catch (const EDevazozError& e) {
        error = e.what();
      }
    }
    EXPECT_NE(error.find("the disk is full"), std::string::npos) << space << ": " << error;
    GSO_dBaseFld t(path, false, false);
    for (int i = 0; i < 12; ++i) {
      t.ReadRecord(i + 1);
      int32_t size = t.MemoSize(2);
      std::string text(size_t(std::max(size, 1)), '\0');
      ASSERT_TRUE(t.MemoRead(2, text.data(), size)) << space << " record " << i;
      text.resize(size_t(std::max(size, 0)));
      EXPECT_EQ(text, last[size_t(i)]) << c.ext << " space " << space << " record " << i;
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Layouts, MemoFullDisk,
                         ::testing::Values(MemoCase{0x83, MemoLayout::kDbt3, 512, ".DBT"},
                                           MemoCase{0x8B, MemoLayout::kDbt4, 512, ".DBT"},
                                           MemoCase{0xF5, MemoLayout::kFpt, 64, ".FPT"}),
                         [](const auto& info) {
                           return std::string(info.param.version == 0x83   ? "Dbt3"
                                              : info.param.version == 0x8B ? "Dbt4"
                                                                           : "Fpt");
                         });

}  // namespace
