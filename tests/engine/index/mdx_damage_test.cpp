// Damaged MDX files: every value read from the file header, a tag header or a
// page is untrusted. A damaged file gives an EDevazozError or an invalid file,
// never a crash, an overrun or a walk without end; the checker reports what it
// finds.
#include <gtest/gtest.h>

#include <functional>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_eror.h"
#include "tests/engine/index/mdx_fixture.h"

namespace {

using devazoz::ByteSpan;
using devazoz::ByteView;
using devazoz::GSobjMDXFile;
using qvx_test::ReadFileBytes;
using qvx_test::TagEntry;
using qvx_test::TempDir;
using qvx_test::WriteFileBytes;

constexpr long kWalkLimit = 100000;

// Opens the file, walks every tag both ways, seeks and checks: "ok", "invalid",
// "error: ..." (EDevazozError), or "endless" when a walk does not stop.
std::string Exercise(devazoz::GSO_dBaseFld* table, const std::string& path) {
  try {
    GSobjMDXFile mdx(table, path, false, false, false, false);
    if (!mdx.Valid()) return "invalid";
    for (int t = 0; t < mdx.TagCount(); ++t) {
      devazoz::GSobjIndexTag* tag = mdx.TagAt(t);
      tag->LoadTree(0);
      long n = 0;
      for (tag->Navigate(devazoz::kNavFirst); !tag->Eof() && !tag->Bof();
           tag->Navigate(devazoz::kNavNext))
        if (++n > kWalkLimit) return "endless";
      for (tag->Navigate(devazoz::kNavLast); !tag->Eof() && !tag->Bof();
           tag->Navigate(devazoz::kNavPrior))
        if (--n < -kWalkLimit) return "endless";
      qvx_test::TextKey probe("M");
      if (tag->KeyType() != 'C') probe.Value.SetNumber(2451545);
      tag->Find(probe);
      tag->Navigate(devazoz::kNavNext);
      tag->ReleaseTree();
    }
    devazoz::CheckMdxFile(mdx);
    return "ok";
  } catch (const devazoz::EDevazozError& e) {
    return std::string("error: ") + e.what();
  }
}

class MdxDamage : public ::testing::Test {
 protected:
  void SetUp() override {
    table_path_ = dir_.File("T.DBF");
    qvx_test::WriteCatalogTable(table_path_, qvx_test::RandomTitles(300, 77));
    good_ = dir_.File("GOOD.MDX");
    {
      devazoz::GSO_dBaseFld table(table_path_, false, true);
      GSobjMDXFile mdx(&table, good_, false, true, true, false);
      ASSERT_TRUE(mdx.AddTag("TITLE", "TITLE", false, true, ""));
      ASSERT_TRUE(mdx.AddTag("PRICE", "PRICE", false, false, ""));
      ASSERT_TRUE(mdx.AddTag("DAY", "RELEASED", false, true, ""));
    }
    bytes_ = ReadFileBytes(good_);
    table_ = std::make_unique<devazoz::GSO_dBaseFld>(table_path_, false, false);
    ByteView v(bytes_.data(), bytes_.size());
    header_ = size_t(v.U32LE(TagEntry(1))) * 512;
    root_ = size_t(v.U32LE(header_)) * 512;
    ASSERT_NE(v.U32LE(root_ + 8 + 44 * v.U32LE(root_)), 0u);  // an interior root
    leaf_ = size_t(v.U32LE(root_ + 8)) * 512;
  }

  std::string With(const std::function<void(ByteSpan)>& change) {
    std::vector<uint8_t> b = bytes_;
    change(ByteSpan(b.data(), b.size()));
    std::string path = dir_.File("BAD.MDX");
    WriteFileBytes(path, b);
    return Exercise(table_.get(), path);
  }

  std::string CheckOf(const std::function<void(ByteSpan)>& change) {
    std::vector<uint8_t> b = bytes_;
    change(ByteSpan(b.data(), b.size()));
    std::string path = dir_.File("CHK.MDX");
    WriteFileBytes(path, b);
    try {
      GSobjMDXFile mdx(table_.get(), path, false, false, false, false);
      return qvx_test::MdxCheckText(mdx);
    } catch (const devazoz::EDevazozError& e) {
      return e.what();
    }
  }

  TempDir dir_;
  std::string table_path_, good_;
  std::vector<uint8_t> bytes_;
  std::unique_ptr<devazoz::GSO_dBaseFld> table_;
  size_t header_ = 0, root_ = 0, leaf_ = 0;
};

TEST_F(MdxDamage, TheGoodFileIsGood) {
  EXPECT_EQ(Exercise(table_.get(), good_), "ok");
  EXPECT_EQ(CheckOf([](ByteSpan) {}), "");
}

TEST_F(MdxDamage, EveryTruncationFailsCleanly) {
  for (size_t n = 1; n < bytes_.size(); n += (n < 2600 ? 1 : 37)) {
    std::vector<uint8_t> b(bytes_.begin(), bytes_.begin() + std::ptrdiff_t(n));
    std::string path = dir_.File("CUT.MDX");
    WriteFileBytes(path, b);
    std::string r = Exercise(table_.get(), path);
    EXPECT_NE(r, "endless") << n;
    if (n < header_ + 1024) {
      EXPECT_NE(r, "ok") << n;  // no tag can be read
    }
  }
}

TEST_F(MdxDamage, ByteFlipsFailCleanly) {
  const uint8_t patterns[] = {0xFF, 0x01, 0x80, 0x10};
  // Every byte of the header's fields and of the tag table, a sample elsewhere.
  auto step = [](size_t i) { return i < 64 || (i >= 512 && i < 640) ? 1 : 29; };
  for (size_t i = 0; i < bytes_.size(); i += step(i)) {
    uint8_t p = patterns[i % 4];
    std::string r = With([&](ByteSpan s) { s.PutU8(i, uint8_t(s.U8(i) ^ p)); });
    ASSERT_NE(r, "endless") << i;
  }
}

TEST_F(MdxDamage, BadFileHeadersAreRefused) {
  EXPECT_EQ(With([](ByteSpan s) { s.PutU16LE(20, 0); }), "invalid");
  EXPECT_EQ(With([](ByteSpan s) { s.PutU16LE(22, 1000); }), "invalid");
  EXPECT_EQ(With([](ByteSpan s) { s.PutU16LE(26, 16); }), "invalid");
  EXPECT_EQ(With([](ByteSpan s) { s.PutU16LE(28, 48); }), "invalid");
  EXPECT_EQ(With([](ByteSpan s) { s.PutU32LE(TagEntry(2), 2); }), "invalid");
  EXPECT_EQ(With([&](ByteSpan s) { s.PutU32LE(TagEntry(2), uint32_t(bytes_.size() / 512)); }),
            "invalid");
  EXPECT_EQ(With([](ByteSpan s) { s.PutU32LE(TagEntry(1), 0xFFFFFFFF); }), "invalid");
  // The reason names the file and what is wrong.
  std::vector<uint8_t> b = bytes_;
  ByteSpan(b.data(), b.size()).PutU16LE(28, 60);
  std::string path = dir_.File("HDR.MDX");
  WriteFileBytes(path, b);
  GSobjMDXFile mdx(table_.get(), path, false, false, false, false);
  EXPECT_FALSE(mdx.Valid());
  EXPECT_TRUE(mdx.HeaderError());
  EXPECT_NE(mdx.ErrorText().find("HDR.MDX: 60 tags"), std::string::npos) << mdx.ErrorText();
}

TEST_F(MdxDamage, BadTagHeadersAreRefused) {
  size_t h = header_;
  EXPECT_EQ(With([&](ByteSpan s) { s.PutU32LE(h, 0); }), "invalid");
  EXPECT_EQ(With([&](ByteSpan s) { s.PutU32LE(h, 2); }), "invalid");
  EXPECT_EQ(With([&](ByteSpan s) { s.PutU32LE(h, uint32_t(bytes_.size() / 512)); }), "invalid");
  EXPECT_EQ(With([&](ByteSpan s) { s.PutU8(h + 9, 'X'); }), "invalid");
  EXPECT_EQ(With([&](ByteSpan s) { s.PutU16LE(h + 12, 241); }), "invalid");
  EXPECT_EQ(With([&](ByteSpan s) { s.PutU16LE(h + 12, 0); }), "invalid");
  EXPECT_EQ(With([&](ByteSpan s) { s.PutU16LE(h + 18, 20); }), "invalid");
  EXPECT_EQ(With([&](ByteSpan s) { s.PutU16LE(h + 18, 600); }), "invalid");
  EXPECT_EQ(With([&](ByteSpan s) { s.PutU16LE(h + 14, 0); }), "invalid");
  EXPECT_EQ(With([&](ByteSpan s) { s.Fill(h + 24, 221, 0); }), "invalid");
  EXPECT_EQ(With([&](ByteSpan s) { s.PutBytes(h + 24, "NOSUCH(", 8); }), "invalid");
  // A numeric tag must have 12-byte keys, a date tag 8-byte keys.
  size_t price = size_t(ByteView(bytes_.data(), bytes_.size()).U32LE(TagEntry(2))) * 512;
  EXPECT_EQ(With([&](ByteSpan s) { s.PutU16LE(price + 12, 8); }), "invalid");
  // A maximum larger than a page holds is cut to what fits.
  EXPECT_EQ(With([&](ByteSpan s) { s.PutU16LE(h + 14, 500); }), "ok");
}

TEST_F(MdxDamage, PageCountsPointersAndRecordsOutOfRange) {
  std::string r = With([&](ByteSpan s) { s.PutU32LE(leaf_, 24); });
  EXPECT_NE(r.find("at most 23 fit"), std::string::npos) << r;
  r = With([&](ByteSpan s) { s.PutU32LE(root_, 1000); });
  EXPECT_NE(r.find("error:"), std::string::npos) << r;
  for (uint32_t bad : {0u, 1u, 3u, uint32_t(bytes_.size() / 512), 0x00800000u, 0xFFFFFFFFu}) {
    r = With([&](ByteSpan s) { s.PutU32LE(root_ + 8, bad); });
    EXPECT_NE(r.find("error:"), std::string::npos) << bad << " " << r;
    EXPECT_NE(r.find("BAD.MDX"), std::string::npos) << r;
  }
  r = With([&](ByteSpan s) { s.PutU32LE(leaf_ + 8, 0x80000001u); });
  EXPECT_NE(r.find("record number"), std::string::npos) << r;
  // The checker sees keys out of order and separators that do not fit.
  EXPECT_NE(CheckOf([&](ByteSpan s) { s.PutU8(leaf_ + 12, 'z'); }), "");
  EXPECT_NE(CheckOf([&](ByteSpan s) { s.PutU8(root_ + 12, '!'); }).find("separator"),
            std::string::npos);
  EXPECT_NE(CheckOf([&](ByteSpan s) { s.PutU32LE(leaf_ + 8, 299); }).find("TITLE: "),
            std::string::npos);
}

TEST_F(MdxDamage, CyclesAndDeepTreesAreRefused) {
  uint32_t root_block = uint32_t(root_ / 512);
  std::string r = With([&](ByteSpan s) { s.PutU32LE(root_ + 8, root_block); });
  EXPECT_NE(r.find("on its own path"), std::string::npos) << r;
  // A chain of 70 interior pages of one child each above the real root.
  std::vector<uint8_t> b = bytes_;
  size_t base = b.size();
  b.resize(b.size() + 70 * 1024, 0);
  ByteSpan s(b.data(), b.size());
  for (size_t i = 0; i < 70; ++i) {
    size_t at = base + i * 1024;
    s.PutU32LE(at, 0);
    s.PutU32LE(at + 8, i == 69 ? root_block : uint32_t((base + (i + 1) * 1024) / 512));
  }
  s.PutU32LE(header_, uint32_t(base / 512));
  std::string path = dir_.File("DEEP.MDX");
  WriteFileBytes(path, b);
  r = Exercise(table_.get(), path);
  EXPECT_NE(r.find("deeper than 64 levels"), std::string::npos) << r;
}

TEST_F(MdxDamage, WritingIntoADamagedFileFailsCleanly) {
  for (size_t i = leaf_; i < leaf_ + 1024; i += 19) {
    std::vector<uint8_t> b = bytes_;
    b[i] ^= 0x5A;
    std::string path = dir_.File("W.MDX");
    WriteFileBytes(path, b);
    try {
      devazoz::GSO_dBaseFld table(table_path_, false, true);
      GSobjMDXFile mdx(&table, path, false, false, true, false);
      if (!mdx.Valid()) continue;
      devazoz::GSobjIndexTag* tag = mdx.TagAt(0);
      for (int k = 0; k < 40; ++k) {
        qvx_test::TextKey key(std::string(1, char('A' + k % 26)) + "zz", 1 + k);
        tag->InsertKey(key);
      }
      tag->ReleaseTree();
      mdx.RebuildAll();
      EXPECT_EQ(qvx_test::MdxCheckText(mdx), "") << i;
    } catch (const devazoz::EDevazozError&) {
    }
  }
}

}  // namespace
