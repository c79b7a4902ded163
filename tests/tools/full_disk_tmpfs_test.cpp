// The tools on a really full disk: a small tmpfs mounted in a private mount
// namespace (skipped where the machine does not allow it). The sample-catalog
// maker, index into a new file and reindex say that the disk is full and leave no
// empty or damaged file behind; once space is freed the same commands succeed.
#include <gtest/gtest.h>

#include <string>

#include "tests/support/dbf_fixture.h"

namespace {
using qvx_test::RunCommand;
using qvx_test::TempDir;

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Runs script in a private mount namespace with a tmpfs of size_kb mounted at
// $D (made under dir); the script's output with its errors. False when no tmpfs
// can be mounted here.
bool RunOnTmpfs(const TempDir& dir, int size_kb, const std::string& script, std::string* out) {
  std::string fs = dir.File("fs");
  std::string setup = "mkdir -p " + Quote(fs) +
                      " && mount -t tmpfs -o size=" + std::to_string(size_kb) + "k tmpfs " +
                      Quote(fs) + " || exit 77\n" + "D=" + Quote(fs) +
                      "\nT=" + Quote(QVX_DEVAZOZ_TOOL) + "\nS=" + Quote(QVX_SAMPLECAT_TOOL) + "\n";
  std::string file = dir.File("script.sh");
  std::string body = setup + script;
  qvx_test::WriteFileBytes(file, std::vector<uint8_t>(body.begin(), body.end()));
  std::string err;
  int rc = RunCommand("unshare -m sh " + Quote(file) + " 2>&1", out, &err);
  return rc != 77 && out->find("unshare:") == std::string::npos;
}

// Fills the rest of the tmpfs.
const char* kFill = "dd if=/dev/zero of=\"$D/fill\" bs=4k >/dev/null 2>&1\n";

TEST(FullDiskTmpfs, SampleCatalogSaysTheDiskIsFullAndLeavesNoEmptyTable) {
  TempDir dir;
  std::string out;
  if (!RunOnTmpfs(dir, 192,
                  "\"$S\" \"$D/cat\" --titles 20000 2>&1; echo \"maker=$?\"\n"
                  "for t in \"$D\"/cat/*.DBF; do \"$T\" info \"$t\" >/dev/null 2>&1 || "
                  "echo \"unreadable $t\"; done\n"
                  "find \"$D/cat\" -empty -name '*.*' -printf 'empty %f\\n'\n"
                  "ls \"$D/cat\" | grep -c '\\.tmp$' | sed 's/^/scratch=/'\n",
                  &out))
    GTEST_SKIP() << "no tmpfs can be mounted here: " << out;
  EXPECT_NE(out.find("the disk is full"), std::string::npos) << out;
  EXPECT_EQ(out.find("maker=0"), std::string::npos) << out;
  EXPECT_EQ(out.find("unreadable"), std::string::npos) << out;
  EXPECT_EQ(out.find("empty "), std::string::npos) << out;
  EXPECT_NE(out.find("scratch=0"), std::string::npos) << out;
}

TEST(FullDiskTmpfs, IndexIntoANewFileLeavesNoEmptyFile) {
  TempDir dir;
  std::string out, err;
  ASSERT_EQ(RunCommand(Quote(QVX_SAMPLECAT_TOOL) + " " + Quote(dir.File("src")) + " --titles 3000",
                       &out, &err),
            0)
      << err;
  if (!RunOnTmpfs(
          dir, 1024,
          "cp " + Quote(dir.File("src/QVXCAT.DBF")) + " " + Quote(dir.File("src/QVXCAT.FPT")) +
              " \"$D\"/\n" + kFill +
              "for x in CDX MDX NTX; do\n"
              "  \"$T\" index \"$D/QVXCAT.DBF\" \"$D/NEW.$x\" TITLE TITLE 2>&1; echo \"index=$?\"\n"
              "  test -e \"$D/NEW.$x\" && ! test -s \"$D/NEW.$x\" && echo \"empty NEW.$x\"\n"
              "done\n"
              "rm \"$D/fill\"\n"
              "\"$T\" index \"$D/QVXCAT.DBF\" \"$D/NEW.CDX\" TITLE TITLE 2>&1; echo \"again=$?\"\n"
              "\"$T\" check \"$D/QVXCAT.DBF\" \"$D/NEW.CDX\" 2>&1\n",
          &out))
    GTEST_SKIP() << "no tmpfs can be mounted here: " << out;
  EXPECT_NE(out.find("the disk is full"), std::string::npos) << out;
  EXPECT_EQ(out.find("index=0"), std::string::npos) << out;
  EXPECT_EQ(out.find("empty NEW"), std::string::npos) << out;
  EXPECT_EQ(out.find("File access denied"), std::string::npos) << out;
  EXPECT_NE(out.find("again=0\nok\n"), std::string::npos) << out;
}

TEST(FullDiskTmpfs, ReindexOnAFullDiskKeepsTheOldIndex) {
  TempDir dir;
  std::string out, err;
  ASSERT_EQ(RunCommand(Quote(QVX_SAMPLECAT_TOOL) + " " + Quote(dir.File("src")) + " --titles 3000",
                       &out, &err),
            0)
      << err;
  std::string copy = "cp " + Quote(dir.File("src")) + "/QVXCAT.* \"$D\"/\n";
  if (!RunOnTmpfs(
          dir, 1024,
          copy + kFill +
              "\"$T\" reindex \"$D/QVXCAT.DBF\" \"$D/QVXCAT.CDX\" 2>&1; echo \"reindex=$?\"\n"
              "\"$T\" tags \"$D/QVXCAT.DBF\" \"$D/QVXCAT.CDX\" | cut -f1\n"
              "\"$T\" check \"$D/QVXCAT.DBF\" \"$D/QVXCAT.CDX\" 2>&1\n"
              "ls \"$D\" | grep -c '\\.tmp$' | sed 's/^/scratch=/'\n"
              "rm \"$D/fill\"\n"
              "\"$T\" reindex \"$D/QVXCAT.DBF\" \"$D/QVXCAT.CDX\" 2>&1; echo \"again=$?\"\n"
              "\"$T\" check \"$D/QVXCAT.DBF\" \"$D/QVXCAT.CDX\" 2>&1\n",
          &out))
    GTEST_SKIP() << "no tmpfs can be mounted here: " << out;
  EXPECT_NE(out.find("the disk is full"), std::string::npos) << out;
  EXPECT_EQ(out.find("reindex=0"), std::string::npos) << out;
  EXPECT_NE(out.find("CATEGORY\nTITLE\nok\nscratch=0\n"), std::string::npos) << out;
  EXPECT_NE(out.find("again=0\nok\n"), std::string::npos) << out;
}

}  // namespace
