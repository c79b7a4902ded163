// Damaged CDX files: every value read from a header or node is untrusted. A
// damaged file gives an EDevazozError or an invalid file, never a crash, an
// overrun or a walk without end; the checker reports what it finds.
#include <gtest/gtest.h>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_eror.h"
#include "tests/engine/index/index_fixture.h"
#include "tests/support/memo_fixture.h"

namespace {

using devazoz::ByteSpan;
using devazoz::ByteView;
using devazoz::GSobjCDXFile;
using qvx_test::ReadFileBytes;
using qvx_test::TempDir;
using qvx_test::WriteFileBytes;

constexpr long kWalkLimit = 100000;

// Opens the file and walks every tag both ways and seeks: "ok", "invalid",
// "error: ..." (EDevazozError), or "endless" when a walk does not stop.
std::string Exercise(devazoz::GSO_dBaseFld* table, const std::string& path) {
  try {
    GSobjCDXFile cdx(table, path, false, false, false, false);
    if (!cdx.Valid()) return "invalid";
    for (int t = 0; t < cdx.TagCount(); ++t) {
      devazoz::GSobjIndexTag* tag = cdx.TagAt(t);
      tag->LoadTree(0);
      long n = 0;
      for (tag->Navigate(devazoz::kNavFirst); !tag->Eof() && !tag->Bof();
           tag->Navigate(devazoz::kNavNext))
        if (++n > kWalkLimit) return "endless";
      for (tag->Navigate(devazoz::kNavLast); !tag->Eof() && !tag->Bof();
           tag->Navigate(devazoz::kNavPrior))
        if (--n < -kWalkLimit) return "endless";
      tag->Find(qvx_test::TextKey("M"));
      tag->Navigate(devazoz::kNavNext);
      tag->ReleaseTree();
    }
    devazoz::CheckCdxFile(cdx);
    return "ok";
  } catch (const devazoz::EDevazozError& e) {
    return std::string("error: ") + e.what();
  }
}

class CdxDamage : public ::testing::Test {
 protected:
  void SetUp() override {
    table_path_ = dir_.File("T.DBF");
    qvx_test::WriteCatalogTable(table_path_, qvx_test::RandomTitles(300, 77));
    good_ = dir_.File("GOOD.CDX");
    {
      devazoz::GSO_dBaseFld table(table_path_, false, true);
      GSobjCDXFile cdx(&table, good_, false, true, true, false);
      ASSERT_TRUE(cdx.AddTag("TITLE", "TITLE", false, true, ""));
    }
    bytes_ = ReadFileBytes(good_);
    table_ = std::make_unique<devazoz::GSO_dBaseFld>(table_path_, false, false);
    ByteView v(bytes_.data(), bytes_.size());
    root_ = v.I32LE(1536);
    ASSERT_EQ(v.U16LE(size_t(root_)), 1);  // an interior root
    first_child_ = int32_t(v.U32BE(size_t(root_) + 12 + 40 + 4));
    leaf_ = first_child_;
    while (v.U16LE(size_t(leaf_)) < 2) leaf_ = int32_t(v.U32BE(size_t(leaf_) + 12 + 44));
  }

  // Writes the good file with a change applied and exercises it.
  std::string With(const std::function<void(ByteSpan)>& change) {
    std::vector<uint8_t> b = bytes_;
    change(ByteSpan(b.data(), b.size()));
    std::string path = dir_.File("BAD.CDX");
    WriteFileBytes(path, b);
    return Exercise(table_.get(), path);
  }

  // The checker's report on the damaged file (empty when it finds nothing).
  std::string CheckOf(const std::function<void(ByteSpan)>& change) {
    std::vector<uint8_t> b = bytes_;
    change(ByteSpan(b.data(), b.size()));
    std::string path = dir_.File("CHK.CDX");
    WriteFileBytes(path, b);
    try {
      GSobjCDXFile cdx(table_.get(), path, false, false, false, false);
      return qvx_test::CheckText(cdx);
    } catch (const devazoz::EDevazozError& e) {
      return e.what();
    }
  }

  TempDir dir_;
  std::string table_path_, good_;
  std::vector<uint8_t> bytes_;
  std::unique_ptr<devazoz::GSO_dBaseFld> table_;
  int32_t root_ = 0, first_child_ = 0, leaf_ = 0;
};

TEST_F(CdxDamage, TheGoodFileIsGood) {
  EXPECT_EQ(Exercise(table_.get(), good_), "ok");
  EXPECT_EQ(CheckOf([](ByteSpan) {}), "");
}

TEST_F(CdxDamage, EveryTruncationFailsCleanly) {
  for (size_t n = 0; n < bytes_.size(); n += (n < 2048 ? 1 : 61)) {
    std::vector<uint8_t> b(bytes_.begin(), bytes_.begin() + std::ptrdiff_t(n));
    std::string path = dir_.File("CUT.CDX");
    WriteFileBytes(path, b);
    std::string r = Exercise(table_.get(), path);
    EXPECT_NE(r, "endless") << n;
    if (n < 1536) {
      EXPECT_NE(r, "ok") << n;  // too short for a directory and a tag
    }
  }
}

TEST_F(CdxDamage, ByteFlipsFailCleanly) {
  const uint8_t patterns[] = {0xFF, 0x01, 0x80};
  for (size_t i = 0; i < bytes_.size(); i += 3) {
    uint8_t p = patterns[i % 3];
    std::string r = With([&](ByteSpan s) { s.PutU8(i, uint8_t(s.U8(i) ^ p)); });
    ASSERT_NE(r, "endless") << i;
  }
}

TEST_F(CdxDamage, LeafCountsAndWidthsThatDoNotFit) {
  size_t l = size_t(leaf_);
  EXPECT_NE(With([&](ByteSpan s) { s.PutU16LE(l + 2, 200); }).find("more than fit"),
            std::string::npos);
  EXPECT_NE(With([&](ByteSpan s) { s.PutU8(l + 23, 9); }).find("entries of 9 bytes"),
            std::string::npos);
  EXPECT_NE(With([&](ByteSpan s) { s.PutU8(l + 23, 1); }).find("error:"), std::string::npos);
  EXPECT_NE(With([&](ByteSpan s) { s.PutU8(l + 20, 30); }).find("bit counts"), std::string::npos);
  EXPECT_NE(With([&](ByteSpan s) { s.PutU8(l + 18, 0x3E); }).find("masks"), std::string::npos);
  EXPECT_NE(CheckOf([&](ByteSpan s) { s.PutU16LE(l + 12, 3); }).find("free bytes"),
            std::string::npos);
}

TEST_F(CdxDamage, CountsBeyondTheKeyLengthAndTextsOutsideTheArea) {
  size_t l = size_t(leaf_);
  // 3-byte entries, 6 bits each: duplicate count 63 in the second entry.
  std::string r = With([&](ByteSpan s) {
    uint16_t w = s.U16LE(l + 24 + 3 + 1);
    s.PutU16LE(l + 24 + 3 + 1, uint16_t(w | (63 << 4)));
  });
  EXPECT_NE(r.find("duplicate count 63"), std::string::npos) << r;
  // Trailing counts of 0 make every key store all 40 bytes: texts run into
  // the entries.
  r = With([&](ByteSpan s) {
    uint16_t count = s.U16LE(l + 2);
    for (uint16_t i = 0; i < count; ++i) {
      size_t e = l + 24 + size_t(i) * 3 + 1;
      s.PutU16LE(e, uint16_t(s.U16LE(e) & 0x03FF & ~(63u << 4)));
    }
  });
  EXPECT_NE(r.find("outside the key area"), std::string::npos) << r;
  // An interior node claiming more entries than fit.
  r = With([&](ByteSpan s) { s.PutU16LE(size_t(root_) + 2, 11); });
  EXPECT_NE(r.find("at most 10 fit"), std::string::npos) << r;
}

TEST_F(CdxDamage, ChildPointersOutsideTheFileOrOffBlocks) {
  size_t child = size_t(root_) + 12 + 44;  // first entry's child pointer
  for (uint32_t bad :
       {uint32_t(bytes_.size() + 512), uint32_t(first_child_ + 100), 0u, 512u, 0x80000000u}) {
    std::string r = With([&](ByteSpan s) { s.PutU32BE(child, bad); });
    EXPECT_NE(r.find("error:"), std::string::npos) << bad << " " << r;
    EXPECT_NE(r.find("GOOD") == std::string::npos ? r.find("BAD.CDX") : 0, std::string::npos);
  }
  EXPECT_NE(CheckOf([&](ByteSpan s) { s.PutU32BE(child, uint32_t(bytes_.size() + 512)); }), "");
}

TEST_F(CdxDamage, CyclesAndDeepTreesAreRefused) {
  // A child pointing back at the root.
  std::string r = With([&](ByteSpan s) { s.PutU32BE(size_t(root_) + 12 + 44, uint32_t(root_)); });
  EXPECT_NE(r.find("on its own path"), std::string::npos) << r;
  // A chain of 70 interior nodes of one entry each above the real root.
  std::vector<uint8_t> b = bytes_;
  int32_t base = int32_t(b.size());
  b.resize(b.size() + 70 * 512, 0);
  ByteSpan s(b.data(), b.size());
  for (int i = 0; i < 70; ++i) {
    size_t at = size_t(base + i * 512);
    s.PutU16LE(at, i == 0 ? 1 : 0);
    s.PutU16LE(at + 2, 1);
    s.PutI32LE(at + 4, -1);
    s.PutI32LE(at + 8, -1);
    s.Fill(at + 12, 40, 0xFF);
    s.PutU32BE(at + 52, 0x7FFFFFFF);
    s.PutU32BE(at + 56, uint32_t(i == 69 ? root_ : base + (i + 1) * 512));
  }
  s.PutI32LE(1536, base);
  std::string path = dir_.File("DEEP.CDX");
  WriteFileBytes(path, b);
  r = Exercise(table_.get(), path);
  EXPECT_NE(r.find("deeper than 64 levels"), std::string::npos) << r;
}

TEST_F(CdxDamage, SharedChildrenCannotMakeAnEndlessWalk) {
  // 30 levels of two interior nodes, each pointing at both nodes below: 2^30
  // paths to the leaves, a walk that would not end in practice.
  std::vector<uint8_t> b = bytes_;
  int32_t base = int32_t(b.size());
  const int levels = 30;
  b.resize(b.size() + size_t(levels) * 2 * 512, 0);
  ByteSpan s(b.data(), b.size());
  for (int lv = 0; lv < levels; ++lv)
    for (int k = 0; k < 2; ++k) {
      size_t at = size_t(base + (lv * 2 + k) * 512);
      s.PutU16LE(at, 0);
      s.PutU16LE(at + 2, 2);
      s.PutI32LE(at + 4, -1);
      s.PutI32LE(at + 8, -1);
      for (int e = 0; e < 2; ++e) {
        size_t ent = at + 12 + size_t(e) * 48;
        s.Fill(ent, 40, 0xFF);
        s.PutU32BE(ent + 40, 0x7FFFFFFF);
        int32_t target =
            lv + 1 == levels ? (e == 0 ? leaf_ : leaf_) : base + ((lv + 1) * 2 + e) * 512;
        s.PutU32BE(ent + 44, uint32_t(target));
      }
    }
  s.PutU16LE(size_t(base), 1);
  s.PutI32LE(1536, base);
  std::string path = dir_.File("DAG.CDX");
  WriteFileBytes(path, b);
  // The framework walks it without harm (each step is bounded); a caller that
  // counts keys against what the file can hold stops, and the checker tells.
  EXPECT_EQ(Exercise(table_.get(), path), "endless");
  GSobjCDXFile cdx(table_.get(), path, false, false, false, false);
  std::string report = qvx_test::CheckText(cdx);
  EXPECT_NE(report.find("reached more than once"), std::string::npos);
}

TEST_F(CdxDamage, BadHeadersAreRefused) {
  const size_t tag = 1536;
  EXPECT_EQ(With([&](ByteSpan s) { s.PutI32LE(tag, 0); }), "invalid");
  EXPECT_EQ(With([&](ByteSpan s) { s.PutI32LE(tag, root_ + 3); }), "invalid");
  EXPECT_EQ(With([&](ByteSpan s) { s.PutI32LE(tag, int32_t(bytes_.size()) + 512); }), "invalid");
  EXPECT_EQ(With([&](ByteSpan s) { s.PutU16LE(tag + 12, 241); }), "invalid");
  EXPECT_EQ(With([&](ByteSpan s) { s.PutU16LE(tag + 12, 0); }), "invalid");
  EXPECT_EQ(With([&](ByteSpan s) { s.Fill(tag + 512, 512, 0); }), "invalid");
  EXPECT_EQ(With([&](ByteSpan s) { s.PutI32LE(0, 0); }), "invalid");
  // The directory naming a header position off the blocks.
  std::string r = With([&](ByteSpan s) { s.PutU8(1024 + 24, uint8_t(s.U8(1024 + 24) + 7)); });
  EXPECT_EQ(r, "invalid");
  // The reason names the file and the header.
  std::vector<uint8_t> b = bytes_;
  ByteSpan(b.data(), b.size()).PutU16LE(tag + 12, 300);
  std::string path = dir_.File("HDR.CDX");
  WriteFileBytes(path, b);
  GSobjCDXFile cdx(table_.get(), path, false, false, false, false);
  EXPECT_FALSE(cdx.Valid());
  EXPECT_TRUE(cdx.HeaderError());
  EXPECT_NE(cdx.ErrorText().find("key length 300"), std::string::npos) << cdx.ErrorText();
}

TEST_F(CdxDamage, WritingIntoADamagedFileFailsCleanly) {
  for (size_t i = size_t(leaf_); i < size_t(leaf_) + 512; i += 5) {
    std::vector<uint8_t> b = bytes_;
    b[i] ^= 0x5A;
    std::string path = dir_.File("W.CDX");
    WriteFileBytes(path, b);
    try {
      devazoz::GSO_dBaseFld table(table_path_, false, true);
      GSobjCDXFile cdx(&table, path, false, false, true, false);
      if (!cdx.Valid()) continue;
      devazoz::GSobjIndexTag* tag = cdx.TagAt(0);
      for (int k = 0; k < 30; ++k) {
        qvx_test::TextKey key(std::string(1, char('A' + k % 26)) + "zz", 1 + k);
        tag->InsertKey(key);
      }
      tag->ReleaseTree();
    } catch (const devazoz::EDevazozError&) {
    }
  }
}

}  // namespace

// The same damage under an error hook that returns: reports go to the hook, and the
// index must still not crash, overrun or walk without end.
class CdxDamageReturningHook : public CdxDamage {
 protected:
  qvx_test::RecordingErrorHook hook_;
};

TEST_F(CdxDamageReturningHook, EveryTruncation) {
  for (size_t n = 0; n < bytes_.size(); n += (n < 2048 ? 1 : 61)) {
    std::vector<uint8_t> b(bytes_.begin(), bytes_.begin() + std::ptrdiff_t(n));
    std::string path = dir_.File("CUT.CDX");
    WriteFileBytes(path, b);
    ASSERT_NE(Exercise(table_.get(), path), "endless") << n;
  }
}

TEST_F(CdxDamageReturningHook, ByteFlips) {
  const uint8_t patterns[] = {0xFF, 0x01, 0x80};
  for (size_t i = 0; i < bytes_.size(); i += 3) {
    uint8_t p = patterns[i % 3];
    std::string r = With([&](ByteSpan s) { s.PutU8(i, uint8_t(s.U8(i) ^ p)); });
    ASSERT_NE(r, "endless") << i;
  }
}
