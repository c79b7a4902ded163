#include "platform/services/paths.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "tests/support/dbf_fixture.h"

namespace platform {
namespace {

TEST(Paths, ExpandFileNameNormalises) {
  std::string cwd = CurrentDirectory();
  EXPECT_EQ(ExpandFileName("x.dbf"), cwd + "/x.dbf");
  EXPECT_EQ(ExpandFileName("./a/b/../c.dbf"), cwd + "/a/c.dbf");
  EXPECT_EQ(ExpandFileName(""), cwd);
  EXPECT_EQ(ExpandFileName("/x/./y//z"), "/x/y/z");
  EXPECT_EQ(ExpandFileName("/a/b/../../.."), "/");
  EXPECT_EQ(ExpandFileName("/.."), "/");
  EXPECT_EQ(ExpandFileName("/"), "/");
  EXPECT_EQ(ExpandFileName("/data/dir/"), "/data/dir/");
  EXPECT_EQ(ExpandFileName("/data/a..b/.c"), "/data/a..b/.c");
}

TEST(Paths, ExpandFileNameDoesNotTouchTheFileSystem) {
  EXPECT_EQ(ExpandFileName("/no/such/dir/../file"), "/no/such/file");
}

TEST(Paths, CurrentDirectoryFollowsChdir) {
  qvx_test::TempDir dir;
  std::string old = CurrentDirectory();
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  char real[4096];
  ASSERT_NE(realpath(dir.path().c_str(), real), nullptr);
  EXPECT_EQ(CurrentDirectory(), real);
  EXPECT_EQ(ExpandFileName("t.dbf"), std::string(real) + "/t.dbf");
  ASSERT_EQ(chdir(old.c_str()), 0);
}

TEST(Paths, ExecutableDirectoryHoldsThisProgram) {
  std::string dir = ExecutableDirectory();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir[0], '/');
  EXPECT_EQ(access((dir + "/test_platform").c_str(), X_OK), 0) << dir;
}

TEST(Paths, WindowsDirectoryFromEnvironment) {
  unsetenv("QVX_WINDIR");
  EXPECT_EQ(WindowsDirectory(), "/etc");
  setenv("QVX_WINDIR", "/opt/win", 1);
  EXPECT_EQ(WindowsDirectory(), "/opt/win");
  setenv("QVX_WINDIR", "", 1);
  EXPECT_EQ(WindowsDirectory(), "/etc");
  unsetenv("QVX_WINDIR");
}

TEST(Paths, ReadIniSection) {
  qvx_test::TempDir dir;
  std::string file = dir.File("devazoz.cfg");
  qvx_test::WriteFileBytes(
      file, std::vector<uint8_t>{});  // created empty first: an empty file has no sections
  EXPECT_TRUE(ReadIniSection(file, "Alias").empty());
  std::string text =
      "; comment\r\n"
      "top=level\r\n"
      "[Other]\r\n"
      "A=wrong\r\n"
      "  [ alias ]  \r\n"
      "DATA = /srv/data \r\n"
      "; DATA2=/commented\r\n"
      "no equals sign\r\n"
      "EMPTY=\r\n"
      "=nokey\r\n"
      "Path=C:\\x=y\r\n"
      "[Next]\r\n"
      "B=later\r\n"
      "[ALIAS]\n"
      "AGAIN=second part\n";
  qvx_test::WriteFileBytes(file, std::vector<uint8_t>(text.begin(), text.end()));
  auto lines = ReadIniSection(file, "Alias");
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], std::make_pair(std::string("DATA"), std::string("/srv/data")));
  EXPECT_EQ(lines[1], std::make_pair(std::string("EMPTY"), std::string("")));
  EXPECT_EQ(lines[2], std::make_pair(std::string(""), std::string("nokey")));
  EXPECT_EQ(lines[3], std::make_pair(std::string("Path"), std::string("C:\\x=y")));
  EXPECT_EQ(lines[4], std::make_pair(std::string("AGAIN"), std::string("second part")));
  EXPECT_TRUE(ReadIniSection(file, "Missing").empty());
  EXPECT_TRUE(ReadIniSection(dir.File("absent.cfg"), "Alias").empty());
  auto other = ReadIniSection(file, "other");
  ASSERT_EQ(other.size(), 1u);
  EXPECT_EQ(other[0].second, "wrong");
}

}  // namespace
}  // namespace platform
