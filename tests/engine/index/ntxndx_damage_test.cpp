// Damaged NTX and NDX files: every prefix of a small valid file and byte flips
// across it give an EDevazozError or an invalid file, never a crash, an overrun
// or a walk without end; the checker reports what it finds.
#include <gtest/gtest.h>

#include <random>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_indxcheck.h"
#include "engine/index/gs6_ndx.h"
#include "engine/index/gs6_ntx.h"
#include "tests/engine/index/index_fixture.h"

namespace {

using qvx_test::ReadFileBytes;
using qvx_test::TempDir;
using qvx_test::WriteFileBytes;

constexpr long kWalkLimit = 100000;

template <typename File>
std::string Exercise(devazoz::GSO_dBaseFld* table, const std::string& path) {
  try {
    File file(table, path, false, false, true, false);
    if (!file.Valid() || !file.Tag()) return "invalid";
    devazoz::GSobjIndexTag* tag = file.Tag();
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
    // Keys go in and out of the damaged tree.
    devazoz::GSobjIndexKeyData k;
    k.Value.SetText("MIDDLE");
    k.RecordNumber = 5;
    tag->InsertKey(k);
    tag->ReleaseTree();
    tag->DeleteKey(qvx_test::TextKey("MIDDLE", 5));
    if constexpr (std::is_same_v<File, devazoz::GSobjNTXFile>)
      devazoz::CheckNtxFile(file);
    else
      devazoz::CheckNdxFile(file);
    return "ok";
  } catch (const devazoz::EDevazozError& e) {
    return std::string("error: ") + e.what();
  }
}

template <typename File>
class Damage : public ::testing::Test {
 protected:
  void SetUp() override {
    table_path_ = dir_.File("T.DBF");
    qvx_test::WriteCatalogTable(table_path_, qvx_test::RandomTitles(400, 71, 20));
    good_ = dir_.File(std::is_same_v<File, devazoz::GSobjNTXFile> ? "GOOD.NTX" : "GOOD.NDX");
    {
      devazoz::GSO_dBaseFld table(table_path_, false, true);
      File file(&table, good_, false, true, true, false);
      ASSERT_TRUE(file.AddTag("GOOD", "TITLE", false, true, ""));
    }
    bytes_ = ReadFileBytes(good_);
    table_ = std::make_unique<devazoz::GSO_dBaseFld>(table_path_, false, false);
  }
  std::string Try(const std::vector<uint8_t>& bytes) {
    std::string path =
        dir_.File(std::is_same_v<File, devazoz::GSobjNTXFile> ? "BAD.NTX" : "BAD.NDX");
    WriteFileBytes(path, bytes);
    return Exercise<File>(table_.get(), path);
  }
  TempDir dir_;
  std::string table_path_, good_;
  std::vector<uint8_t> bytes_;
  std::unique_ptr<devazoz::GSO_dBaseFld> table_;
};

using Formats = ::testing::Types<devazoz::GSobjNTXFile, devazoz::GSobjNDXFile>;
TYPED_TEST_SUITE(Damage, Formats);

TYPED_TEST(Damage, TheGoodFileIsSound) { EXPECT_EQ(this->Try(this->bytes_), "ok"); }

TYPED_TEST(Damage, EveryPrefixFailsCleanly) {
  size_t step = 1;
  for (size_t n = 0; n < this->bytes_.size(); n += step) {
    std::vector<uint8_t> b(this->bytes_.begin(), this->bytes_.begin() + std::ptrdiff_t(n));
    std::string r = this->Try(b);
    ASSERT_NE(r, "endless") << n;
    // Short of the header the file is not an index at all.
    if (n < 512) {
      EXPECT_EQ(r, "invalid") << n;
    }
    step = n < 2048 ? 1 : 29;
  }
}

TYPED_TEST(Damage, ByteFlipsGiveErrorsNotCrashes) {
  std::mt19937 rng(42);
  int errors = 0;
  for (int round = 0; round < 3000; ++round) {
    std::vector<uint8_t> b = this->bytes_;
    int flips = 1 + int(rng() % 4);
    for (int i = 0; i < flips; ++i) {
      size_t at = rng() % b.size();
      // Most flips hit counts, offsets and pointers.
      if (round % 2 == 0) at = (at / 512) * 512 + rng() % 40;
      b[at] ^= uint8_t(1u << (rng() % 8));
    }
    std::string r = this->Try(b);
    if (r == "endless") WriteFileBytes("/tmp/endless.bin", b);
    ASSERT_NE(r, "endless") << round;
    if (r.rfind("error", 0) == 0) ++errors;
  }
  EXPECT_GT(errors, 0);
}

TYPED_TEST(Damage, CyclesAndOutsidePointersAreDamage) {
  std::vector<uint8_t> b = this->bytes_;
  devazoz::ByteSpan v(b.data(), b.size());
  bool ntx = std::is_same_v<TypeParam, devazoz::GSobjNTXFile>;
  int32_t root = ntx ? v.I32LE(4) : v.I32LE(0) * 512;
  // The root's first child pointing back at the root.
  size_t slot = ntx ? root + v.U16LE(size_t(root) + 2) : size_t(root) + 4;
  ASSERT_NE(v.I32LE(slot), 0) << "the root is interior";
  v.PutI32LE(slot, ntx ? root : root / 512);
  std::string r = this->Try(b);
  EXPECT_EQ(r.rfind("error", 0), 0u) << r;
  b = this->bytes_;
  v.PutI32LE(slot, ntx ? 1 << 30 : 1 << 21);
  r = this->Try(b);
  EXPECT_EQ(r.rfind("error", 0), 0u) << r;
}

}  // namespace
