// The FoxPro .FPT layout: big-endian headers, block sizes from the header, record
// types, in-place rewrites and untrusted lengths.
#include <gtest/gtest.h>

#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/table/gs6_memo.h"
#include "tests/support/dbf_fixture.h"
#include "tests/support/memo_fixture.h"

namespace {
using devazoz::EDevazozError;
using devazoz::GSobjFXMemo20;
using devazoz::kErrMemoFormat;
using devazoz::kSubMemoFormat;
using qvx_test::MemoFixture;
using qvx_test::MemoLayout;
using qvx_test::ReadFileBytes;
using qvx_test::ReadWholeMemo;
using qvx_test::RecordingErrorHook;
using qvx_test::TempDir;
using qvx_test::WriteFileBytes;
using qvx_test::WriteText;

uint32_t BE32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) << 24 | uint32_t(b[at + 1]) << 16 | uint32_t(b[at + 2]) << 8 |
         uint32_t(b[at + 3]);
}

class FptTest : public ::testing::TestWithParam<int> {
 protected:
  int bs() const { return GetParam(); }
  std::unique_ptr<GSobjFXMemo20> Open(const MemoFixture& fixture) {
    fixture.Write(Path());
    return std::make_unique<GSobjFXMemo20>(nullptr, 0xF5, false, true, dir_.File("T.DBF"));
  }
  std::string Path() { return dir_.File("T.FPT"); }
  uint32_t NextFree() { return BE32(ReadFileBytes(Path()), 0); }
  int32_t FirstDataBlock() const { return (512 + bs() - 1) / bs(); }
  TempDir dir_;
};

TEST_P(FptTest, ReadsMemosAsOtherProgramsWriteThem) {
  MemoFixture f(MemoLayout::kFpt, bs());
  int32_t a = f.Add("First entry.");
  int32_t b = f.Add(std::string(5 * size_t(bs()) + 3, 'f'));
  int32_t c = f.AddTyped("picture bytes", 0);
  std::string binary("\0\x1A\0\x1A\x1A", 5);
  int32_t d = f.Add(binary);
  int32_t e = f.Add("");
  auto memo = Open(f);
  EXPECT_EQ(memo->BlockSize(), bs());
  EXPECT_EQ(a, FirstDataBlock());
  EXPECT_EQ(ReadWholeMemo(*memo, a), "First entry.");
  EXPECT_EQ(ReadWholeMemo(*memo, b), std::string(5 * size_t(bs()) + 3, 'f'));
  EXPECT_EQ(ReadWholeMemo(*memo, c), "picture bytes");
  EXPECT_EQ(ReadWholeMemo(*memo, d), binary);
  EXPECT_EQ(memo->MemoLength(e), 0);
}

TEST_P(FptTest, BytesSurviveAWriteAndReadBack) {
  auto memo = Open(MemoFixture(MemoLayout::kFpt, bs()));
  std::string all;
  for (int round = 0; round < 3; ++round)
    for (int i = 0; i < 256; ++i) all += char(i);
  int32_t a = WriteText(*memo, 0, all);
  EXPECT_EQ(a, FirstDataBlock());
  auto bytes = ReadFileBytes(Path());
  size_t at = size_t(a) * size_t(bs());
  EXPECT_EQ(BE32(bytes, at), 1u);
  EXPECT_EQ(BE32(bytes, at + 4), all.size());
  EXPECT_EQ(bytes.size() % size_t(bs()), 0u);
  EXPECT_EQ(ReadWholeMemo(*memo, a), all);
  // The header keeps its block size and names the end.
  EXPECT_EQ(bytes[6] << 8 | bytes[7], bs());
  EXPECT_EQ(NextFree(), uint32_t(a) + (all.size() + 8) / size_t(bs()) + 1);
}

TEST_P(FptTest, ShorterRewriteStaysLongerOneMoves) {
  MemoFixture f(MemoLayout::kFpt, bs());
  int32_t a = f.Add(std::string(3 * size_t(bs()), 'a'));
  int32_t b = f.Add("b");
  auto memo = Open(f);
  ASSERT_EQ(ReadWholeMemo(*memo, a).size(), 3 * size_t(bs()));
  EXPECT_EQ(WriteText(*memo, a, "tiny"), a);
  EXPECT_EQ(ReadWholeMemo(*memo, a), "tiny");
  int32_t moved = WriteText(*memo, a, std::string(10 * size_t(bs()), 'A'));
  EXPECT_GT(moved, b);
  EXPECT_EQ(ReadWholeMemo(*memo, b), "b");
  EXPECT_EQ(ReadWholeMemo(*memo, moved), std::string(10 * size_t(bs()), 'A'));
}

TEST_P(FptTest, RecordTypeOtherThanTextOrPictureReadsAsEmpty) {
  MemoFixture f(MemoLayout::kFpt, bs());
  int32_t a = f.AddTyped("object", 2);
  int32_t b = f.AddTyped("odd", 0x01000000);
  auto memo = Open(f);
  EXPECT_THROW(memo->MemoLength(a), EDevazozError);
  RecordingErrorHook hook;
  EXPECT_EQ(ReadWholeMemo(*memo, a), "");
  EXPECT_EQ(ReadWholeMemo(*memo, b), "");
  EXPECT_EQ(hook.reports().size(), 2u);
  EXPECT_TRUE(hook.Has(kErrMemoFormat, kSubMemoFormat));
}

TEST_P(FptTest, LengthPastTheEndOfTheFileIsCut) {
  for (uint32_t stored : {100000u, 0x7FFFFFFFu, 0xFFFFFFF0u}) {
    MemoFixture f(MemoLayout::kFpt, bs());
    f.pad_last_block = false;
    std::string head("\0\0\0\x01", 4);
    for (int i = 3; i >= 0; --i) head += char(uint8_t(stored >> (8 * i)));
    int32_t a = f.AddRaw(head + "only this");
    auto memo = Open(f);
    EXPECT_EQ(memo->MemoLength(a), 9) << stored;
    EXPECT_EQ(ReadWholeMemo(*memo, a), "only this");
  }
}

TEST_P(FptTest, BlockOutsideTheFileIsAFormatError) {
  MemoFixture f(MemoLayout::kFpt, bs());
  f.Add("x");
  auto memo = Open(f);
  EXPECT_THROW(memo->MemoLength(1 << 30), EDevazozError);
  EXPECT_THROW(memo->MemoLength(f.NextFree()), EDevazozError);
}

TEST_P(FptTest, NewMemoGoesPastPartlyFilledLastBlock) {
  // Some programs leave the last block short; the header then names the block
  // after it, and a header that names the short block itself must not lose data.
  for (int64_t next : {int64_t(-1), int64_t(0)}) {
    MemoFixture f(MemoLayout::kFpt, bs());
    f.pad_last_block = false;
    int32_t a = f.Add(std::string(size_t(bs()) + 5, 'p'));
    int32_t blocks = int32_t((size_t(bs()) + 13 + size_t(bs()) - 1) / size_t(bs()));
    if (next == 0) f.next_free_override = a + blocks - 1;
    auto memo = Open(f);
    int32_t b = WriteText(*memo, 0, "q");
    EXPECT_EQ(b, a + blocks);
    EXPECT_EQ(ReadWholeMemo(*memo, a), std::string(size_t(bs()) + 5, 'p'));
  }
}

TEST_P(FptTest, RenameMovesTheFileOnly) {
  MemoFixture f(MemoLayout::kFpt, bs());
  f.Add("x");
  auto memo = Open(f);
  auto before = ReadFileBytes(Path());
  ASSERT_TRUE(memo->RenameMemo(dir_.File("other.dbf")));
  EXPECT_EQ(ReadFileBytes(dir_.File("other.FPT")), before);
  EXPECT_EQ(ReadWholeMemo(*memo, FirstDataBlock()), "x");
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, FptTest, ::testing::Values(32, 64, 512));

TEST(FptBlockCount, FiftySixBytesTakeTwoBlocksOfSixtyFour) {
  TempDir dir;
  MemoFixture(MemoLayout::kFpt, 64).Write(dir.File("T.FPT"));
  GSobjFXMemo20 memo(nullptr, 0xF5, false, true, dir.File("T.DBF"));
  int32_t a = WriteText(memo, 0, std::string(56, 'x'));
  EXPECT_EQ(a, 8);
  EXPECT_EQ(memo.BlockCount(), 2);
  int32_t b = WriteText(memo, 0, std::string(55, 'y'));
  EXPECT_EQ(b, 10);
  EXPECT_EQ(memo.BlockCount(), 1);
  EXPECT_EQ(BE32(ReadFileBytes(dir.File("T.FPT")), 0), 11u);
}

TEST(FptBlockSize, ZeroBlockSizeIsAFormatError) {
  TempDir dir;
  MemoFixture f(MemoLayout::kFpt, 64);
  f.Add("x");
  auto bytes = f.Bytes();
  bytes[6] = bytes[7] = 0;
  bytes[4] = bytes[5] = 0xFF;  // the high half is not part of the size
  WriteFileBytes(dir.File("T.FPT"), bytes);
  EXPECT_THROW(GSobjFXMemo20(nullptr, 0xF5, false, false, dir.File("T.DBF")), EDevazozError);
  bytes[7] = 64;
  WriteFileBytes(dir.File("T.FPT"), bytes);
  GSobjFXMemo20 memo(nullptr, 0x30, false, false, dir.File("T.DBF"));
  EXPECT_EQ(memo.BlockSize(), 64);
  EXPECT_EQ(ReadWholeMemo(memo, 8), "x");
}

}  // namespace
