// Damaged memo files: every prefix of a small valid file and every byte of it
// flipped. Reads and writes must end in a result or an engine error, never a crash,
// an overrun, an endless walk or a memo longer than the file; a write that reports
// nothing must read back as written.
#include <gtest/gtest.h>

#include <memory>

#include "engine/foundation/gs6_eror.h"
#include "engine/table/gs6_memo.h"
#include "tests/support/dbf_fixture.h"
#include "tests/support/memo_fixture.h"

namespace {
using devazoz::EDevazozError;
using devazoz::GSobjMemo;
using qvx_test::MemoFixture;
using qvx_test::MemoLayout;
using qvx_test::RecordingErrorHook;
using qvx_test::TempDir;
using qvx_test::WriteFileBytes;

struct Layout {
  MemoLayout layout;
  int block_size;
  const char* extension;
};

MemoFixture SmallFile(const Layout& l) {
  MemoFixture f(l.layout, l.block_size);
  f.Add("alpha");
  f.Add(std::string(size_t(l.block_size) + 20, 'b'));
  if (l.layout == MemoLayout::kDbt4) f.AddFreeRun(2);
  f.Add(std::string("c\0c", 3));
  return f;
}

std::unique_ptr<GSobjMemo> OpenAs(const Layout& l, const std::string& table) {
  switch (l.layout) {
    case MemoLayout::kDbt3:
      return std::make_unique<GSobjMemo>(nullptr, 0x83, false, true, table);
    case MemoLayout::kDbt4:
      return std::make_unique<devazoz::GSobjMemo4>(nullptr, 0x8B, false, true, table);
    case MemoLayout::kFpt:
      return std::make_unique<devazoz::GSobjFXMemo20>(nullptr, 0xF5, false, true, table);
  }
  return nullptr;
}

// Reads every block the file could hold and writes one memo; returns how many
// memos were read without an error.
int Probe(const Layout& l, const TempDir& dir, const std::vector<uint8_t>& bytes, bool raising) {
  WriteFileBytes(dir.File(std::string("T") + l.extension), bytes);
  int read_ok = 0;
  std::unique_ptr<RecordingErrorHook> hook;
  if (!raising) hook = std::make_unique<RecordingErrorHook>();
  try {
    auto memo = OpenAs(l, dir.File("T.DBF"));
    int64_t file_size = int64_t(bytes.size());
    int32_t last = int32_t(file_size / memo->BlockSize()) + 2;
    for (int32_t block = 1; block <= last; ++block) {
      try {
        int32_t size = memo->MemoLength(block);
        EXPECT_LE(size, file_size);
        std::string out(size_t(std::max(size, 1)), '\0');
        memo->ReadMemo(out.data(), block, size);
        EXPECT_LE(size_t(size), out.size());
        ++read_ok;
      } catch (const EDevazozError&) {
      }
    }
    if (hook) hook->Clear();
    std::string text(700, 'w');
    int32_t block = 2;
    int32_t got = memo->WriteMemo(text.data(), block, int32_t(text.size()));
    if (got > 0 && (!hook || hook->reports().empty())) {
      int32_t size = memo->MemoLength(got);
      std::string back(size_t(std::max(size, 0)), '\0');
      memo->ReadMemo(back.data(), got, size);
      back.resize(size_t(std::max(size, 0)));
      EXPECT_EQ(back, text) << "block " << got;
    }
  } catch (const EDevazozError&) {
  }
  return read_ok;
}

class MemoCorruption : public ::testing::TestWithParam<Layout> {};

TEST_P(MemoCorruption, EveryPrefixOfTheFile) {
  TempDir dir;
  const Layout l = GetParam();
  std::vector<uint8_t> full = SmallFile(l).Bytes();
  const size_t bs = size_t(l.block_size);
  for (size_t n = 0; n <= full.size();) {
    std::vector<uint8_t> prefix(full.begin(), full.begin() + long(n));
    Probe(l, dir, prefix, true);
    Probe(l, dir, prefix, false);
    if (HasFailure()) FAIL() << "prefix of " << n << " bytes";
    // Every length near the start of a block (header fields), a sample elsewhere.
    n += n < 40 || (n % bs) < 9 || (n % bs) + 2 > bs ? 1 : 11;
  }
  EXPECT_GT(Probe(l, dir, full, true), 2);
}

TEST_P(MemoCorruption, EveryByteFlipped) {
  TempDir dir;
  const Layout l = GetParam();
  const std::vector<uint8_t> full = SmallFile(l).Bytes();
  for (size_t at = 0; at < full.size(); ++at) {
    // Header and block headers get every kind of damage, the rest one flip.
    bool structural = at < 32 || (at % size_t(l.block_size)) < 8;
    for (uint8_t value : {uint8_t(full[at] ^ 0xFF), uint8_t(0x00), uint8_t(0x1A), uint8_t(0x7F)}) {
      if (value == full[at]) continue;
      std::vector<uint8_t> bytes = full;
      bytes[at] = value;
      Probe(l, dir, bytes, at % 2 == 0);
      if (HasFailure()) FAIL() << "byte " << at << " set to " << int(value);
      if (!structural) break;
    }
    if (!structural) at += 12;  // a sample of the memo bytes themselves
  }
}

const Layout kLayouts[] = {
    {MemoLayout::kDbt3, 512, ".DBT"},  {MemoLayout::kDbt4, 512, ".DBT"},
    {MemoLayout::kDbt4, 1024, ".DBT"}, {MemoLayout::kFpt, 32, ".FPT"},
    {MemoLayout::kFpt, 64, ".FPT"},    {MemoLayout::kFpt, 512, ".FPT"},
};

std::string LayoutName(const ::testing::TestParamInfo<Layout>& info) {
  const char* names[] = {"Dbt3", "Dbt4", "Fpt"};
  return std::string(names[int(info.param.layout)]) + std::to_string(info.param.block_size);
}

INSTANTIATE_TEST_SUITE_P(Layouts, MemoCorruption, ::testing::ValuesIn(kLayouts), LayoutName);

}  // namespace
