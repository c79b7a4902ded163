// The dBASE IV .DBT layout: block headers, the first-fit free list and what the
// engine does with broken lists, headers and block sizes.
#include <gtest/gtest.h>

#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/table/gs6_memo.h"
#include "tests/support/dbf_fixture.h"
#include "tests/support/memo_fixture.h"

namespace {
using devazoz::EDevazozError;
using devazoz::GSobjMemo4;
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

uint32_t LE32(const std::vector<uint8_t>& b, size_t at) {
  return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
         uint32_t(b[at + 3]) << 24;
}
void PutLE32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + size_t(i)] = uint8_t(v >> (8 * i));
}

class Dbt4Test : public ::testing::TestWithParam<int> {
 protected:
  int bs() const { return GetParam(); }
  std::unique_ptr<GSobjMemo4> Open(const MemoFixture& fixture) {
    fixture.Write(Path());
    return Reopen();
  }
  std::unique_ptr<GSobjMemo4> Reopen() {
    return std::make_unique<GSobjMemo4>(nullptr, 0x8B, false, true, dir_.File("T.DBF"));
  }
  std::string Path() { return dir_.File("T.DBT"); }
  std::vector<uint8_t> FileBytes() { return ReadFileBytes(Path()); }
  // Header field at 0 and the (next, blocks) pair at the start of a block.
  uint32_t FirstFree() { return LE32(FileBytes(), 0); }
  std::pair<uint32_t, uint32_t> RunAt(int32_t block) {
    auto b = FileBytes();
    size_t at = size_t(block) * size_t(bs());
    return {LE32(b, at), LE32(b, at + 4)};
  }
  TempDir dir_;
};

TEST_P(Dbt4Test, ReadsMemosAsOtherProgramsWriteThem) {
  MemoFixture f(MemoLayout::kDbt4, bs());
  int32_t a = f.Add("First entry.");
  int32_t b = f.Add(std::string(3 * size_t(bs()), 'm'));
  std::string binary("\0\x1A\x1A\0\xFF\xFF", 6);
  int32_t c = f.Add(binary);
  auto memo = Open(f);
  EXPECT_EQ(memo->BlockSize(), bs());
  EXPECT_EQ(ReadWholeMemo(*memo, a), "First entry.");
  EXPECT_EQ(ReadWholeMemo(*memo, b), std::string(3 * size_t(bs()), 'm'));
  EXPECT_EQ(ReadWholeMemo(*memo, c), binary);
}

TEST_P(Dbt4Test, BytesSurviveAWriteAndReadBack) {
  auto memo = Open(MemoFixture(MemoLayout::kDbt4, bs()));
  std::string all;
  for (int i = 0; i < 256; ++i) all += char(i);
  all += std::string("\x1A\x1A\0\0", 4);
  int32_t a = WriteText(*memo, 0, all);
  EXPECT_EQ(a, 1);
  auto bytes = FileBytes();
  size_t at = size_t(bs());
  EXPECT_EQ(bytes[at], 0xFF);
  EXPECT_EQ(bytes[at + 1], 0xFF);
  EXPECT_EQ(bytes[at + 2], 8);
  EXPECT_EQ(LE32(bytes, at + 4), all.size() + 8);
  EXPECT_EQ(bytes.size() % size_t(bs()), 0u);
  EXPECT_EQ(ReadWholeMemo(*memo, a), all);
  auto reopened = Reopen();
  EXPECT_EQ(ReadWholeMemo(*reopened, a), all);
}

TEST_P(Dbt4Test, FreeingPutsTheRunAtTheFrontOfTheList) {
  MemoFixture f(MemoLayout::kDbt4, bs());
  f.Add("a");
  int32_t b = f.Add(std::string(size_t(bs()) * 2, 'b'));  // 3 blocks with its header
  f.Add("c");
  auto memo = Open(f);
  uint32_t end = FirstFree();
  memo->FreeBlocks(b);
  EXPECT_EQ(FirstFree(), uint32_t(b));
  EXPECT_EQ(LE32(FileBytes(), 4), 0u);
  EXPECT_EQ(RunAt(b), std::make_pair(end, 3u));
  // A block that holds no memo is not given back: the list stays as it is.
  auto before = FileBytes();
  memo->FreeBlocks(b);     // already free
  memo->FreeBlocks(9999);  // outside the file
  memo->FreeBlocks(0);
  EXPECT_EQ(FileBytes(), before);
}

TEST_P(Dbt4Test, FreedThreeBlocksServeATwoBlockMemoAndKeepTheRest) {
  MemoFixture f(MemoLayout::kDbt4, bs());
  f.Add("a");
  int32_t b = f.Add(std::string(size_t(bs()) * 2, 'b'));
  int32_t c = f.Add("c");
  auto memo = Open(f);
  uint32_t end = FirstFree();
  memo->FreeBlocks(b);
  std::string two(size_t(bs()) - 8, 't');  // (len + 8) / bs + 1 = 2 blocks
  int32_t t = WriteText(*memo, 0, two);
  EXPECT_EQ(t, b);
  EXPECT_EQ(memo->BlockCount(), 2);
  EXPECT_EQ(FirstFree(), uint32_t(b + 2));
  EXPECT_EQ(RunAt(b + 2), std::make_pair(end, 1u));
  EXPECT_EQ(ReadWholeMemo(*memo, t), two);
  EXPECT_EQ(ReadWholeMemo(*memo, c), "c");
  // The one-block remainder takes a small memo next.
  int32_t s = WriteText(*memo, 0, "s");
  EXPECT_EQ(s, b + 2);
  EXPECT_EQ(FirstFree(), end);
}

TEST_P(Dbt4Test, RewriteGoesBackIntoItsOwnBlocks) {
  auto memo = Open(MemoFixture(MemoLayout::kDbt4, bs()));
  int32_t a = WriteText(*memo, 0, std::string(size_t(bs()), 'x'));
  int32_t b = WriteText(*memo, 0, "after");
  ASSERT_EQ(ReadWholeMemo(*memo, a).size(), size_t(bs()));
  EXPECT_EQ(WriteText(*memo, a, "shorter"), a);
  EXPECT_EQ(ReadWholeMemo(*memo, a), "shorter");
  EXPECT_EQ(ReadWholeMemo(*memo, b), "after");
  // Growing past the freed runs moves the memo to the end; the last run now
  // links to the block after it.
  int32_t grown = WriteText(*memo, a, std::string(size_t(bs()) * 3, 'g'));
  EXPECT_EQ(grown, b + 1);
  EXPECT_EQ(ReadWholeMemo(*memo, b), "after");
  EXPECT_EQ(FirstFree(), uint32_t(a));
  EXPECT_EQ(RunAt(a), std::make_pair(uint32_t(a + 1), 1u));
  EXPECT_EQ(RunAt(a + 1), std::make_pair(uint32_t(grown + 4), 1u));
}

TEST_P(Dbt4Test, FirstFitSkipsRunsThatAreTooSmall) {
  MemoFixture f(MemoLayout::kDbt4, bs());
  f.Add("a");
  int32_t r1 = f.AddFreeRun(1);
  f.Add("b");
  int32_t r2 = f.AddFreeRun(2);
  f.Add("c");
  auto memo = Open(f);
  uint32_t end = uint32_t(f.NextFree());
  int32_t m = WriteText(*memo, 0, std::string(size_t(bs()) - 8, 'm'));  // needs 2
  EXPECT_EQ(m, r2);
  EXPECT_EQ(RunAt(r1), std::make_pair(end, 1u));  // the exact fit linked past r2
  EXPECT_EQ(FirstFree(), uint32_t(r1));
}

TEST_P(Dbt4Test, ListThatLoopsIsAFormatErrorAndIsDropped) {
  MemoFixture f(MemoLayout::kDbt4, bs());
  f.Add("a");
  int32_t r1 = f.AddFreeRun(1);
  int32_t r2 = f.AddFreeRun(1);
  f.Write(Path());
  auto bytes = FileBytes();
  PutLE32(bytes, size_t(r2) * size_t(bs()), uint32_t(r1));  // r2 -> r1 -> r2 ...
  WriteFileBytes(Path(), bytes);
  auto memo = Reopen();
  std::string big(size_t(bs()) * 2, 'B');
  int32_t block = 0;
  EXPECT_THROW(memo->WriteMemo(big.data(), block, int32_t(big.size())), EDevazozError);
  {
    RecordingErrorHook hook;
    int32_t b = WriteText(*memo, 0, big);
    EXPECT_TRUE(hook.Has(kErrMemoFormat, kSubMemoFormat));
    EXPECT_EQ(b, r2 + 1);  // the end of the file
    EXPECT_EQ(FirstFree(), uint32_t(b + 3));
    EXPECT_EQ(ReadWholeMemo(*memo, b), big);
  }
  // The header now starts a sound list.
  EXPECT_NO_THROW(WriteText(*memo, 0, "fine"));
}

TEST_P(Dbt4Test, ListThatLeavesTheFileEndsThere) {
  for (uint32_t first : {5000u, 0xFFFFFFFFu, 0u}) {
    MemoFixture f(MemoLayout::kDbt4, bs());
    int32_t a = f.Add("a");
    f.next_free_override = first;
    auto memo = Open(f);
    int32_t b = WriteText(*memo, 0, "b");
    EXPECT_EQ(b, 2) << first;
    EXPECT_EQ(ReadWholeMemo(*memo, a), "a");
    EXPECT_EQ(FirstFree(), 3u);
  }
}

TEST_P(Dbt4Test, RunsThatDoNotFitOrPointAtMemosAreFormatErrors) {
  struct Damage {
    uint32_t next, blocks;
  };
  MemoFixture base(MemoLayout::kDbt4, bs());
  int32_t a = base.Add("live");
  int32_t r = base.AddFreeRun(1);
  base.Add("z");
  base.Write(Path());
  const auto good = FileBytes();
  for (Damage d : {Damage{0, 0}, Damage{0, 1000}, Damage{0, 0xFFFFFFFF}}) {
    auto bytes = good;
    PutLE32(bytes, size_t(r) * size_t(bs()), d.next);
    PutLE32(bytes, size_t(r) * size_t(bs()) + 4, d.blocks);
    WriteFileBytes(Path(), bytes);
    auto memo = Reopen();
    int32_t block = 0;
    EXPECT_THROW(memo->WriteMemo("xx", block, 2), EDevazozError) << d.blocks;
  }
  // The header names a live memo's block as the first free run.
  auto bytes = good;
  PutLE32(bytes, 0, uint32_t(a));
  WriteFileBytes(Path(), bytes);
  auto memo = Reopen();
  RecordingErrorHook hook;
  int32_t b = WriteText(*memo, 0, "new");
  EXPECT_TRUE(hook.Has(kErrMemoFormat, kSubMemoFormat));
  EXPECT_NE(b, a);
  EXPECT_EQ(ReadWholeMemo(*memo, a), "live");
}

TEST_P(Dbt4Test, MalformedBlockHeadersReadAsEmptyAfterAnError) {
  MemoFixture f(MemoLayout::kDbt4, bs());
  int32_t plain = f.AddRaw("no header here");
  int32_t shorty = f.AddRaw(std::string("\xFF\xFF\x08\x00\x03\x00\x00\x00", 8));
  auto memo = Open(f);
  EXPECT_THROW(memo->MemoLength(plain), EDevazozError);
  RecordingErrorHook hook;
  EXPECT_EQ(memo->MemoLength(plain), 0);
  EXPECT_EQ(memo->MemoLength(shorty), 0);
  EXPECT_EQ(hook.reports().size(), 2u);
  EXPECT_TRUE(hook.Has(kErrMemoFormat, kSubMemoFormat));
  EXPECT_NE(hook.reports()[0].info.find("block " + std::to_string(plain)), std::string::npos);
}

TEST_P(Dbt4Test, LengthPastTheEndOfTheFileIsCut) {
  MemoFixture f(MemoLayout::kDbt4, bs());
  f.pad_last_block = false;
  int32_t a = f.AddRaw(std::string("\xFF\xFF\x08\x00\xF0\xFF\xFF\x7F", 8) + "tail");
  auto memo = Open(f);
  EXPECT_EQ(memo->MemoLength(a), 4);
  EXPECT_EQ(ReadWholeMemo(*memo, a), "tail");
}

TEST_P(Dbt4Test, ShortFileIsCompletedToOneBlock) {
  WriteFileBytes(Path(), {});
  auto memo = Reopen();
  EXPECT_EQ(memo->BlockSize(), 512);
  EXPECT_EQ(FileBytes().size(), 512u);
  EXPECT_EQ(WriteText(*memo, 0, "first"), 1);
  EXPECT_EQ(ReadWholeMemo(*memo, 1), "first");
  // A header whose file stops after it keeps its block size and is padded.
  MemoFixture f(MemoLayout::kDbt4, bs());
  std::vector<uint8_t> header = f.Bytes();
  header.resize(32);
  WriteFileBytes(Path(), header);
  auto second = Reopen();
  EXPECT_EQ(second->BlockSize(), bs());
  EXPECT_EQ(FileBytes().size(), size_t(bs()));
}

TEST_P(Dbt4Test, OverReservedLastMemoLeavesNoGap) {
  auto memo = Open(MemoFixture(MemoLayout::kDbt4, bs()));
  std::string exact(size_t(bs()) - 8, 'e');  // fills one block, two reserved
  int32_t a = WriteText(*memo, 0, exact);
  EXPECT_EQ(FirstFree(), uint32_t(a + 2));
  EXPECT_EQ(FileBytes().size(), 2u * size_t(bs()));
  int32_t b = WriteText(*memo, 0, "b");
  EXPECT_EQ(b, a + 1);  // right after the bytes of a, inside the file's reach
  EXPECT_EQ(ReadWholeMemo(*memo, a), exact);
  EXPECT_EQ(ReadWholeMemo(*memo, b), "b");
}

TEST_P(Dbt4Test, RenameRewritesTheHeaderName) {
  MemoFixture f(MemoLayout::kDbt4, bs());
  f.Add("x");
  auto memo = Open(f);
  ASSERT_TRUE(memo->RenameMemo(dir_.File("renamed.dbf")));
  auto bytes = ReadFileBytes(dir_.File("renamed.DBT"));
  EXPECT_EQ(std::string(bytes.begin() + 8, bytes.begin() + 17), std::string("RENAMED\0\0", 9));
  EXPECT_EQ(LE32(bytes, 20), uint32_t(bs()));
  EXPECT_EQ(ReadWholeMemo(*memo, 1), "x");
}

INSTANTIATE_TEST_SUITE_P(BlockSizes, Dbt4Test, ::testing::Values(512, 1024));

TEST(Dbt4BlockSize, ImpossibleBlockSizesAreFormatErrors) {
  TempDir dir;
  for (uint32_t size : {0u, 7u, 31u, 65537u, 0x80000000u}) {
    MemoFixture f(MemoLayout::kDbt4, 512);
    f.Add("x");
    auto bytes = f.Bytes();
    PutLE32(bytes, 20, size);
    WriteFileBytes(dir.File("T.DBT"), bytes);
    EXPECT_THROW(GSobjMemo4(nullptr, 0x8B, false, true, dir.File("T.DBF")), EDevazozError) << size;
    RecordingErrorHook hook;
    GSobjMemo4 memo(nullptr, 0x8B, false, false, dir.File("T.DBF"));
    EXPECT_TRUE(hook.Has(kErrMemoFormat, kSubMemoFormat));
    EXPECT_EQ(memo.BlockSize(), 512);
  }
}

}  // namespace
