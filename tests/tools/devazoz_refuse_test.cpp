// What devazoz refuses instead of leaving an index silently empty or wrong, on
// every index format: a FOR condition or key that gives no usable value, a
// stored key that a rebuild cannot evaluate or hold, an MDX tag table that lists
// two tags on one header or a header that allows one key per page; and what a
// failed or killed command leaves behind.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "engine/foundation/gs6_bytes.h"
#include "tests/support/dbf_fixture.h"

namespace {

using qvx_test::CopyTestData;
using qvx_test::ReadFileBytes;
using qvx_test::RunCommand;
using qvx_test::TempDir;
using qvx_test::WriteFileBytes;

std::string Tool() { return QVX_DEVAZOZ_TOOL; }
std::string Q(const std::string& s) { return "'" + s + "'"; }

bool Exists(const std::string& path) { return ::access(path.c_str(), F_OK) == 0; }

// Replaces the first occurrence of from by to (padded with NUL bytes to from's
// length) in a file.
void Patch(const std::string& path, const std::string& from, const std::string& to) {
  std::vector<uint8_t> b = ReadFileBytes(path);
  std::string text(b.begin(), b.end());
  size_t at = text.find(from);
  ASSERT_NE(at, std::string::npos) << from;
  ASSERT_LE(to.size(), from.size());
  for (size_t i = 0; i < from.size(); ++i) b[at + i] = i < to.size() ? uint8_t(to[i]) : 0;
  WriteFileBytes(path, b);
}

class DevazozRefuse : public ::testing::Test {
 protected:
  void SetUp() override {
    table_ = CopyTestData("cdx1k/catalog.dbf", dir_.path());
    CopyTestData("cdx1k/catalog.fpt", dir_.path());
  }
  int Run(const std::string& args, std::string* out, std::string* err = nullptr) {
    return RunCommand(Tool() + " " + args, out, err);
  }
  std::string Index(const std::string& file, const std::string& tag, const std::string& key,
                    const std::string& more = "") {
    std::string out, err, path = dir_.File(file);
    EXPECT_EQ(
        Run("index " + Q(table_) + " " + Q(path) + " " + tag + " " + Q(key) + more, &out, &err), 0)
        << err;
    return path;
  }
  TempDir dir_;
  std::string table_;
};

TEST_F(DevazozRefuse, AForConditionThatIsNoLogicalValueIsRefusedAndLeavesNoFile) {
  for (const char* ext : {"NTX", "MDX", "CDX"}) {
    std::string path = dir_.File(std::string("F.") + ext), out, err;
    EXPECT_EQ(Run("index " + Q(table_) + " " + Q(path) + " F TITLE --for 1", &out, &err), 1) << ext;
    EXPECT_NE(err.find("the FOR condition does not give a logical value"), std::string::npos)
        << ext << ": " << err;
    // A failed index leaves no file, not even the bare header of a new one.
    EXPECT_FALSE(Exists(path)) << ext;
  }
  // An NDX tag has no FOR condition at all: asking for one is refused.
  std::string ndx = dir_.File("F.NDX"), out, err;
  EXPECT_EQ(Run("index " + Q(table_) + " " + Q(ndx) + " F TITLE --for 1", &out, &err), 1);
  EXPECT_NE(err.find("NDX tags have no FOR condition"), std::string::npos) << err;
  EXPECT_FALSE(Exists(ndx));
  // A key that gives no value of its own is refused the same way.
  for (const char* ext : {"NTX", "NDX", "MDX", "CDX"}) {
    std::string path = dir_.File(std::string("K.") + ext), out, err;
    EXPECT_EQ(Run("index " + Q(table_) + " " + Q(path) + " K NOTES", &out, &err), 1) << ext;
    EXPECT_NE(err.find("Cannot create tag K on NOTES: the key expression gives no text, number, "
                       "date or logical value"),
              std::string::npos)
        << ext << ": " << err;
    EXPECT_FALSE(Exists(path)) << ext;
  }
}

TEST_F(DevazozRefuse, AFailedTagKeepsTheFileAndItsOtherTags) {
  for (const char* ext : {"MDX", "CDX"}) {
    std::string path = Index(std::string("M.") + ext, "A", "TITLE"), out, err;
    std::vector<uint8_t> before = ReadFileBytes(path);
    EXPECT_EQ(Run("index " + Q(table_) + " " + Q(path) + " B TITLE --for 'PLAYERS'", &out, &err), 1)
        << ext;
    ASSERT_TRUE(Exists(path)) << ext;
    ASSERT_EQ(Run("tags " + Q(table_) + " " + Q(path), &out, &err), 0) << err;
    EXPECT_EQ(out.substr(0, 2), "A\t") << ext;
    EXPECT_EQ(out.find("\nB\t"), std::string::npos) << ext;
    EXPECT_EQ(Run("check " + Q(table_) + " " + Q(path), &out, &err), 0) << ext << ": " << out;
  }
  // A single-tag file keeps the tag it had.
  std::string ntx = Index("X.NTX", "X", "TITLE"), out, err;
  std::vector<uint8_t> before = ReadFileBytes(ntx);
  EXPECT_EQ(Run("index " + Q(table_) + " " + Q(ntx) + " X TITLE --for 1", &out, &err), 1);
  EXPECT_EQ(ReadFileBytes(ntx), before);
}

TEST_F(DevazozRefuse, AReindexThatCannotBuildTheStoredKeyKeepsTheTag) {
  // UPPER(TITLE) in the header becomes a key too long to hold, then one that
  // gives no value: the rebuild refuses, and the tag is as it was.
  for (const char* ext : {"NTX", "NDX", "MDX", "CDX"}) {
    for (const char* stored : {"SPACE(300)", "%s%n"}) {
      std::string path = Index(std::string("X.") + ext, "X", "UPPER(TITLE)"), out, err;
      ASSERT_EQ(Run("keys " + Q(table_) + " " + Q(path) + " X", &out, &err), 0) << err;
      std::string keys = out;
      Patch(path, "UPPER(TITLE)", stored);
      std::vector<uint8_t> before = ReadFileBytes(path);
      EXPECT_EQ(Run("reindex " + Q(table_) + " " + Q(path), &out, &err), 1) << ext << stored;
      if (std::string(stored) == "SPACE(300)") {
        EXPECT_NE(err.find("Cannot rebuild tag X of " + path +
                           ": the key is too long (300 bytes, at most 240); the tag"),
                  std::string::npos)
            << ext << ": " << err;
      }
      EXPECT_EQ(ReadFileBytes(path), before) << ext << stored;
      EXPECT_FALSE(Exists(path + ".tmp")) << ext;
      std::remove(path.c_str());
    }
  }
}

TEST_F(DevazozRefuse, AReindexOfANonLogicalForConditionKeepsTheTag) {
  for (const char* ext : {"NTX", "MDX"}) {
    std::string path = Index(std::string("Y.") + ext, "Y", "TITLE", " --for 'RECNO() > 100'");
    std::string out, err;
    Patch(path, "RECNO() > 100", "RECNO()");
    std::vector<uint8_t> before = ReadFileBytes(path);
    EXPECT_EQ(Run("check " + Q(table_) + " " + Q(path), &out, &err), 1) << ext;
    EXPECT_NE(out.find("the FOR condition does not give a logical value: RECNO()"),
              std::string::npos)
        << ext << ": " << out;
    EXPECT_EQ(Run("reindex " + Q(table_) + " " + Q(path), &out, &err), 1) << ext;
    EXPECT_NE(err.find("the FOR condition does not give a logical value"), std::string::npos)
        << ext << ": " << err;
    EXPECT_EQ(ReadFileBytes(path), before) << ext;
  }
}

// The tag table entry j of an MDX file starts at 512 + 32 * j; its first four
// bytes are the block of the tag's header.
uint32_t HeaderBlock(const std::vector<uint8_t>& b, int j) {
  return devazoz::ByteView(b.data(), b.size()).U32LE(size_t(512 + 32 * j));
}

TEST_F(DevazozRefuse, MdxTagsOnOneHeaderAreReportedRefusedAndSeparatedByReindex) {
  std::string path = Index("S.MDX", "A", "TITLE");
  Index("S.MDX", "B", "CATEGORY");
  std::vector<uint8_t> b = ReadFileBytes(path);
  ASSERT_NE(HeaderBlock(b, 1), HeaderBlock(b, 2));
  devazoz::ByteSpan(b.data(), b.size()).PutU32LE(512 + 64, HeaderBlock(b, 1));
  WriteFileBytes(path, b);
  std::string out, err;
  EXPECT_EQ(Run("check " + Q(table_) + " " + Q(path), &out, &err), 1);
  EXPECT_NE(out.find("B: tags A and B share the tag header at block " +
                     std::to_string(HeaderBlock(b, 1))),
            std::string::npos)
      << out;
  // Keys added there would go into the one tree twice.
  std::vector<uint8_t> table_before = ReadFileBytes(table_);
  EXPECT_EQ(
      Run("browse " + Q(table_) + " --index " + Q(path) + " --append TITLE=Zebra", &out, &err), 1);
  EXPECT_NE(err.find("is damaged and is not changed: reindex it first"), std::string::npos) << err;
  EXPECT_EQ(ReadFileBytes(table_), table_before);
  // Rebuilt, each tag has a header of its own (B keeps what the file said of it).
  ASSERT_EQ(Run("reindex " + Q(table_) + " " + Q(path), &out, &err), 0) << err;
  b = ReadFileBytes(path);
  EXPECT_NE(HeaderBlock(b, 1), HeaderBlock(b, 2));
  EXPECT_EQ(Run("check " + Q(table_) + " " + Q(path), &out, &err), 0) << out;
  EXPECT_EQ(
      Run("browse " + Q(table_) + " --index " + Q(path) + " --append TITLE=Zebra", &out, &err), 0)
      << err;
  EXPECT_EQ(Run("check " + Q(table_) + " " + Q(path), &out, &err), 0) << out;
}

TEST_F(DevazozRefuse, AnMdxHeaderOfOneKeyPerPageIsReportedAndReindexGivesAFullPage) {
  std::string path = Index("P.MDX", "A", "TITLE");
  std::vector<uint8_t> b = ReadFileBytes(path);
  size_t header = size_t(HeaderBlock(b, 1)) * 512;
  uint16_t full = devazoz::ByteView(b.data(), b.size()).U16LE(header + 14);
  ASSERT_GT(full, 2);
  devazoz::ByteSpan(b.data(), b.size()).PutU16LE(header + 14, 1);
  WriteFileBytes(path, b);
  std::string out, err;
  EXPECT_EQ(Run("check " + Q(table_) + " " + Q(path), &out, &err), 1);
  EXPECT_NE(out.find("A: the tag header allows 1 keys per page, where a page holds " +
                     std::to_string(full)),
            std::string::npos)
      << out;
  ASSERT_EQ(Run("reindex " + Q(table_) + " " + Q(path), &out, &err), 0) << err;
  b = ReadFileBytes(path);
  header = size_t(HeaderBlock(b, 1)) * 512;
  EXPECT_EQ(devazoz::ByteView(b.data(), b.size()).U16LE(header + 14), full);
  EXPECT_EQ(Run("check " + Q(table_) + " " + Q(path), &out, &err), 0) << out;
}

TEST_F(DevazozRefuse, KeysOfRecordsPastTheEndAreNamedSo) {
  std::string path = Index("E.NTX", "E", "TITLE"), out, err;
  // The table cut to 900 of its 1000 records: the last keys belong to nothing.
  std::vector<uint8_t> b = ReadFileBytes(table_);
  devazoz::ByteView v(b.data(), b.size());
  size_t cut = size_t(v.U16LE(8)) + 900 * size_t(v.U16LE(10));
  b.resize(cut);
  b.push_back(0x1A);
  WriteFileBytes(table_, b);
  EXPECT_EQ(Run("check " + Q(table_) + " " + Q(path), &out, &err), 1);
  EXPECT_NE(out.find("key for record 901, but the table has 900 records"), std::string::npos)
      << out;
  EXPECT_EQ(out.find("FOR condition"), std::string::npos) << out;
}

TEST_F(DevazozRefuse, AbandonedScratchFilesGoAtTheNextOpenForWriting) {
  std::string ntx = Index("L.NTX", "L", "TITLE"), out, err;
  for (const std::string& scratch : {ntx + ".tmp", table_ + ".tmp"})
    WriteFileBytes(scratch, std::vector<uint8_t>(700, 0x20));
  // A read-only look leaves them.
  ASSERT_EQ(Run("keys " + Q(table_) + " " + Q(ntx) + " L", &out, &err), 0) << err;
  EXPECT_TRUE(Exists(ntx + ".tmp"));
  // One that a live process still writes stays.
  int held = ::open((table_ + ".tmp").c_str(), O_RDONLY);
  ASSERT_GE(held, 0);
  ASSERT_EQ(::flock(held, LOCK_EX | LOCK_NB), 0);
  std::string append = "browse " + Q(table_) + " --index " + Q(ntx) + " --append TITLE=Zebra";
  ASSERT_EQ(Run(append, &out, &err), 0) << err;
  EXPECT_FALSE(Exists(ntx + ".tmp"));
  EXPECT_TRUE(Exists(table_ + ".tmp"));
  ::close(held);
  ASSERT_EQ(Run(append, &out, &err), 0) << err;
  EXPECT_FALSE(Exists(table_ + ".tmp"));
  EXPECT_EQ(Run("check " + Q(table_) + " " + Q(ntx), &out, &err), 0) << out;
  // A file of another name is never touched.
  WriteFileBytes(dir_.File("catalog.tmp"), std::vector<uint8_t>(10, 0x20));
  ASSERT_EQ(Run("reindex " + Q(table_) + " " + Q(ntx), &out, &err), 0) << err;
  EXPECT_TRUE(Exists(dir_.File("catalog.tmp")));
}

// Each format's own scratch file goes when the index is next opened for writing.
TEST_F(DevazozRefuse, EveryFormatRemovesItsAbandonedScratchFile) {
  for (const char* ext : {"NDX", "MDX", "CDX"}) {
    std::string path = Index(std::string("L.") + ext, "L", "TITLE"), out, err;
    WriteFileBytes(path + ".tmp", std::vector<uint8_t>(1024, 0));
    ASSERT_EQ(Run("keys " + Q(table_) + " " + Q(path) + " L", &out, &err), 0) << ext << ": " << err;
    EXPECT_TRUE(Exists(path + ".tmp")) << ext;
    ASSERT_EQ(
        Run("browse " + Q(table_) + " --index " + Q(path) + " --append TITLE=Zebra", &out, &err), 0)
        << ext << ": " << err;
    EXPECT_FALSE(Exists(path + ".tmp")) << ext;
    EXPECT_EQ(Run("check " + Q(table_) + " " + Q(path), &out, &err), 0) << ext << ": " << out;
  }
}

// A header no index can be read through is named with its full path and said
// in words by every command that opens it through the table, for each format.
TEST_F(DevazozRefuse, ADamagedIndexHeaderIsToldInWordsByEveryCommand) {
  struct Damage {
    const char* ext;
    size_t at;  // the header's key length (NTX: its entry size), set to 0
    const char* why;
  };
  for (const Damage& d :
       {Damage{"NTX", 12, "header has entry size 0"}, Damage{"NDX", 12, "header has key length 0"},
        Damage{"MDX", 0, "the header is short"}}) {
    std::string path = Index(std::string("H.") + d.ext, "H", "TITLE"), out, err;
    std::vector<uint8_t> b = ReadFileBytes(path);
    if (d.at)
      devazoz::ByteSpan(b.data(), b.size()).PutU16LE(d.at, 0);
    else
      b.resize(1024);  // the tag table, but no tag header
    WriteFileBytes(path, b);
    std::string tag = "H";
    for (const std::string& command :
         {"dump " + Q(table_) + " --index " + Q(path) + " --tag " + tag,
          "seek " + Q(table_) + " " + Q(path) + " " + tag + " A --partial",
          "browse " + Q(table_) + " --index " + Q(path) + " --tag " + tag,
          "pack " + Q(table_) + " --index " + Q(path)}) {
      EXPECT_EQ(Run(command, &out, &err), 1) << command;
      EXPECT_EQ(err.rfind("Index file cannot be used - " + path + ": " + d.why, 0), 0u)
          << command << ": " << err;
      EXPECT_EQ(err.find('\r'), std::string::npos) << command;
    }
    std::remove(path.c_str());
  }
}

}  // namespace
