// The dBASE III .DBT layout: terminator rules, block reservation, in-place rewrites
// and untrusted header values.
#include <gtest/gtest.h>

#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/table/gs6_memo.h"
#include "platform/services/codepage.h"
#include "tests/support/dbf_fixture.h"
#include "tests/support/memo_fixture.h"

namespace {
using devazoz::EDevazozError;
using devazoz::GSobjMemo;
using qvx_test::MemoFixture;
using qvx_test::MemoLayout;
using qvx_test::ReadFileBytes;
using qvx_test::ReadWholeMemo;
using qvx_test::RecordingErrorHook;
using qvx_test::TempDir;
using qvx_test::WriteText;

class Dbt3Test : public ::testing::Test {
 protected:
  // A fresh memo file holding the given fixture, opened read-write.
  std::unique_ptr<GSobjMemo> Open(const MemoFixture& fixture) {
    fixture.Write(dir_.File("T.DBT"));
    return std::make_unique<GSobjMemo>(nullptr, 0x83, false, true, dir_.File("T.DBF"));
  }
  std::vector<uint8_t> FileBytes() { return ReadFileBytes(dir_.File("T.DBT")); }
  uint32_t NextFree() {
    auto b = FileBytes();
    return uint32_t(b[0]) | uint32_t(b[1]) << 8 | uint32_t(b[2]) << 16 | uint32_t(b[3]) << 24;
  }
  TempDir dir_;
};

TEST_F(Dbt3Test, ReadsMemosAsOtherProgramsWriteThem) {
  MemoFixture f(MemoLayout::kDbt3);
  int32_t a = f.Add("First entry.");
  int32_t b = f.Add(std::string(1500, 'x'));
  int32_t c = f.Add(std::string("nul\0inside", 10));
  int32_t d = f.Add("");
  auto memo = Open(f);
  EXPECT_EQ(memo->BlockSize(), 512);
  EXPECT_EQ(ReadWholeMemo(*memo, a), "First entry.");
  EXPECT_EQ(ReadWholeMemo(*memo, b), std::string(1500, 'x'));
  EXPECT_EQ(ReadWholeMemo(*memo, c), std::string("nul\0inside", 10));
  EXPECT_EQ(memo->MemoLength(d), 0);
  EXPECT_EQ(memo->MemoLength(0), 0);
}

TEST_F(Dbt3Test, MemoEndsAtItsFirst1A) {
  MemoFixture f(MemoLayout::kDbt3);
  int32_t a =
      f.AddRaw(std::string("abc\x1A"
                           "def\x1A\x1A",
                           9));
  auto memo = Open(f);
  EXPECT_EQ(ReadWholeMemo(*memo, a), "abc");
  // Written contents are cut the same way when read back.
  int32_t b = WriteText(*memo, 0, std::string("one\x1Atwo", 7));
  EXPECT_EQ(ReadWholeMemo(*memo, b), "one");
}

TEST_F(Dbt3Test, TerminatorAndReservationAtTheBlockBoundary) {
  auto memo = Open(MemoFixture(MemoLayout::kDbt3));
  // 510 bytes: one block, the text then 0x1A 0x1A.
  int32_t a = WriteText(*memo, 0, std::string(510, 'a'));
  EXPECT_EQ(a, 1);
  EXPECT_EQ(NextFree(), 2u);
  auto bytes = FileBytes();
  EXPECT_EQ(bytes[512 + 510], 0x1A);
  EXPECT_EQ(bytes[512 + 511], 0x1A);
  // 511 bytes: two blocks reserved, the byte after the text is 0x1A.
  int32_t b = WriteText(*memo, 0, std::string(511, 'b'));
  EXPECT_EQ(b, 2);
  EXPECT_EQ(NextFree(), 4u);
  bytes = FileBytes();
  EXPECT_EQ(bytes[2 * 512 + 511], 0x1A);
  EXPECT_EQ(ReadWholeMemo(*memo, b), std::string(511, 'b'));
  // 512 bytes: two blocks, the second starts with 0x1A 0x1A.
  int32_t c = WriteText(*memo, 0, std::string(512, 'c'));
  EXPECT_EQ(c, 4);
  EXPECT_EQ(NextFree(), 6u);
  bytes = FileBytes();
  ASSERT_EQ(bytes.size(), 6u * 512);
  EXPECT_EQ(bytes[5 * 512], 0x1A);
  EXPECT_EQ(bytes[5 * 512 + 1], 0x1A);
  EXPECT_EQ(ReadWholeMemo(*memo, c), std::string(512, 'c'));
  EXPECT_EQ(ReadWholeMemo(*memo, a), std::string(510, 'a'));
}

TEST_F(Dbt3Test, ShorterRewriteStaysLongerOneMovesAndLeavesDeadSpace) {
  MemoFixture f(MemoLayout::kDbt3);
  int32_t a = f.Add(std::string(1000, 'a'));  // blocks 1-2
  int32_t next = f.Add("neighbour");          // block 3
  auto memo = Open(f);
  ASSERT_EQ(ReadWholeMemo(*memo, a), std::string(1000, 'a'));
  EXPECT_EQ(WriteText(*memo, a, "short"), a);
  EXPECT_EQ(ReadWholeMemo(*memo, a), "short");
  EXPECT_EQ(memo->BlockCount(), 1);

  ASSERT_EQ(ReadWholeMemo(*memo, a), "short");
  int32_t moved = WriteText(*memo, a, std::string(2000, 'L'));
  EXPECT_EQ(moved, 4);  // the end of the file
  EXPECT_EQ(ReadWholeMemo(*memo, moved), std::string(2000, 'L'));
  EXPECT_EQ(ReadWholeMemo(*memo, next), "neighbour");
  // The old blocks keep their bytes: nothing is ever reused.
  EXPECT_EQ(ReadWholeMemo(*memo, a), "short");
}

TEST_F(Dbt3Test, CountOfAnotherMemoNeverLetsAMemoGrowInPlace) {
  MemoFixture f(MemoLayout::kDbt3);
  int32_t big = f.Add(std::string(3000, 'B'));
  int32_t small = f.Add("s");
  int32_t after = f.Add("after");
  auto memo = Open(f);
  ASSERT_EQ(ReadWholeMemo(*memo, big).size(), 3000u);  // remembers 6 blocks
  int32_t moved = WriteText(*memo, small, std::string(1500, 'S'));
  EXPECT_NE(moved, small);
  EXPECT_EQ(ReadWholeMemo(*memo, after), "after");
  EXPECT_EQ(ReadWholeMemo(*memo, moved), std::string(1500, 'S'));
}

TEST_F(Dbt3Test, MemoWithoutTerminatorReads65519Bytes) {
  MemoFixture f(MemoLayout::kDbt3);
  int32_t a = f.AddRaw(std::string(70000, 'z'));
  auto memo = Open(f);
  EXPECT_EQ(memo->MemoLength(a), 65519);
  std::string text = ReadWholeMemo(*memo, a);
  EXPECT_EQ(text, std::string(65519, 'z'));
}

TEST_F(Dbt3Test, MemoRunningToTheEndOfTheFileIsWhatIsThere) {
  MemoFixture f(MemoLayout::kDbt3);
  f.pad_last_block = false;
  int32_t a = f.AddRaw("no terminator, file ends");
  auto memo = Open(f);
  EXPECT_EQ(ReadWholeMemo(*memo, a), "no terminator, file ends");
}

TEST_F(Dbt3Test, EmptyMemoForAFieldWithoutBlockWritesNothing) {
  auto memo = Open(MemoFixture(MemoLayout::kDbt3));
  auto before = FileBytes();
  int32_t block = 0;
  EXPECT_EQ(memo->WriteMemo("", block, 0), 0);
  EXPECT_EQ(block, 0);
  EXPECT_EQ(FileBytes(), before);
}

TEST_F(Dbt3Test, ReadIsCutToTheBufferAndCountsOnlyWhatWasRead) {
  MemoFixture f(MemoLayout::kDbt3);
  int32_t a = f.Add(std::string(1200, 'q'));
  auto memo = Open(f);
  char buf[600];
  int32_t size = 600;
  memo->ReadMemo(buf, a, size);
  EXPECT_EQ(size, 600);
  EXPECT_EQ(std::string(buf, 600), std::string(600, 'q'));
  EXPECT_EQ(memo->CurrentBlock(), a);
  EXPECT_EQ(memo->BlockCount(), 2);
  // Block 0 reads nothing and leaves a NUL at the start of the buffer.
  size = 600;
  memo->ReadMemo(buf, 0, size);
  EXPECT_EQ(size, 0);
  EXPECT_EQ(buf[0], '\0');
}

TEST_F(Dbt3Test, BlockOutsideTheFileIsAFormatError) {
  MemoFixture f(MemoLayout::kDbt3);
  f.Add("x");
  auto memo = Open(f);
  EXPECT_THROW(memo->MemoLength(99), EDevazozError);
  EXPECT_THROW(memo->MemoLength(-3), EDevazozError);
  RecordingErrorHook hook;
  char buf[16];
  int32_t size = 16;
  memo->ReadMemo(buf, 1000000, size);
  EXPECT_EQ(size, 0);
  EXPECT_TRUE(hook.Has(devazoz::kErrMemoFormat, devazoz::kSubMemoFormat));
  // Nothing was learnt of that block: a write there must not stay in place.
  hook.Clear();
  int32_t block = 1000000;
  EXPECT_EQ(memo->WriteMemo("abc", block, 3), 2);
  EXPECT_EQ(block, 2);
}

TEST_F(Dbt3Test, NewMemosNeverOverwriteDataWhateverTheHeaderSays) {
  for (int64_t next : {int64_t(0), int64_t(1), int64_t(2), int64_t(0xFFFFFFFF)}) {
    MemoFixture f(MemoLayout::kDbt3);
    int32_t a = f.Add("keep me");
    int32_t b = f.Add(std::string(700, 'k'));
    f.next_free_override = next;
    auto memo = Open(f);
    int32_t c = WriteText(*memo, 0, "new");
    EXPECT_EQ(c, 4) << next;  // the end of the file, no hole
    EXPECT_EQ(ReadWholeMemo(*memo, a), "keep me");
    EXPECT_EQ(ReadWholeMemo(*memo, b), std::string(700, 'k'));
    EXPECT_EQ(ReadWholeMemo(*memo, c), "new");
    EXPECT_EQ(NextFree(), 5u);
  }
}

TEST_F(Dbt3Test, ReservedBlockPastTheEndIsHonoured) {
  auto memo = Open(MemoFixture(MemoLayout::kDbt3));
  int32_t a = WriteText(*memo, 0, std::string(511, 'r'));  // reserves 1-2, writes block 1
  EXPECT_EQ(FileBytes().size(), 1024u);
  int32_t b = WriteText(*memo, 0, "next");
  EXPECT_EQ(b, 3);
  // The memo written last can be rewritten in its two reserved blocks.
  EXPECT_EQ(WriteText(*memo, b, "n2"), b);
  int32_t a2 = WriteText(*memo, a, std::string(511, 's'));
  EXPECT_NE(a2, a);  // its count is not known any more
  EXPECT_EQ(ReadWholeMemo(*memo, b), "n2");
}

TEST_F(Dbt3Test, RenameWritesTheNewBaseNameIntoTheHeader) {
  auto memo = Open(MemoFixture(MemoLayout::kDbt3));
  ASSERT_TRUE(memo->RenameMemo(dir_.File("averylongname.dbf")));
  auto bytes = ReadFileBytes(dir_.File("averylongname.DBT"));
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 17), std::string("AVERYLON\0", 9));
  EXPECT_EQ(memo->FileName(), platform::AnsiUpper(dir_.File("averylongname.DBT")));
  EXPECT_EQ(ReadWholeMemo(*memo, 0), "");
}

}  // namespace
