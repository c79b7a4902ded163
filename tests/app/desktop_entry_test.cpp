// The desktop entry, run as a desktop runs it: its Exec line, unquoted by the
// desktop entry rules, started from another folder with a fresh home folder. The
// program must start in the home folder, and so show its start window there.
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/app_test_support.h"
#include "tests/support/child_process.h"

namespace qvx_test {
namespace {

using std::chrono::milliseconds;
using Clock = std::chrono::steady_clock;

// The value of key in the [Desktop Entry] group, with the string escapes undone.
std::string EntryValue(const std::string& file, const std::string& key) {
  std::istringstream lines(ReadFileText(file));
  std::string line;
  bool in_group = false;
  while (std::getline(lines, line)) {
    if (!line.empty() && line[0] == '[') in_group = line == "[Desktop Entry]";
    if (!in_group || line.rfind(key + "=", 0) != 0) continue;
    std::string value;
    for (size_t i = key.size() + 1; i < line.size(); ++i) {
      if (line[i] == '\\' && i + 1 < line.size()) {
        char c = line[++i];
        value += c == 's' ? ' ' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
      } else {
        value += line[i];
      }
    }
    return value;
  }
  return std::string();
}

// The Exec line's words: blanks part them, double quotes hold blanks, and inside
// quotes a backslash keeps the next character. Field codes (%f, %u...) are dropped.
std::vector<std::string> ExecWords(const std::string& exec) {
  std::vector<std::string> words;
  std::string word;
  bool quoted = false, any = false;
  for (size_t i = 0; i < exec.size(); ++i) {
    char c = exec[i];
    if (quoted && c == '\\' && i + 1 < exec.size()) {
      word += exec[++i];
    } else if (c == '"') {
      quoted = !quoted;
      any = true;
    } else if (!quoted && c == ' ') {
      if (any && !(word.size() == 2 && word[0] == '%')) words.push_back(word);
      word.clear();
      any = false;
    } else {
      word += c;
      any = true;
    }
  }
  EXPECT_FALSE(quoted) << "unbalanced quotes in " << exec;
  if (any && !(word.size() == 2 && word[0] == '%')) words.push_back(word);
  return words;
}

// The program named as the desktop finds it, in the folders of path.
std::string InPath(const std::string& name, const std::string& path) {
  if (name.find('/') != std::string::npos) return name;
  std::istringstream folders(path);
  std::string folder;
  while (std::getline(folders, folder, ':'))
    if (!folder.empty() && access((folder + "/" + name).c_str(), X_OK) == 0)
      return folder + "/" + name;
  return name;
}

TEST(DesktopEntry, StartsTheProgramInTheHomeFolderWhereTheStartWindowShows) {
  const std::string entry = std::string(QVX_SOURCE_DIR) + "/app/qvxcat.desktop";
  EXPECT_EQ(EntryValue(entry, "Type"), "Application");
  EXPECT_EQ(EntryValue(entry, "Name"), "QVX Catalog");
  std::vector<std::string> words = ExecWords(EntryValue(entry, "Exec"));
  ASSERT_FALSE(words.empty());

  // The program as the desktop finds it: by its name in PATH.
  TempDir home, bin, elsewhere;
  std::filesystem::create_symlink(QVX_QVXCAT_APP, bin.File("qvxcat"));
  const char* system_path = std::getenv("PATH");
  const std::string path = bin.path() + ":" + (system_path != nullptr ? system_path : "/bin");
  words[0] = InPath(words[0], path);
  const std::string log = elsewhere.File("windows.log");
  ChildProcess program;
  ASSERT_TRUE(program.Start(words,
                            {{"HOME", home.path()},
                             {"PATH", path},
                             {"QT_QPA_PLATFORM", "offscreen"},
                             {"QVX_WINDOW_LOG", log}},
                            elsewhere.path(), elsewhere.File("qvxcat.err")));
  bool shown = false;
  for (auto end = Clock::now() + milliseconds(60000); !shown && Clock::now() < end;) {
    shown = std::filesystem::exists(log) &&
            ReadFileText(log).find("show\tStartWindow\t") != std::string::npos;
    if (!shown) std::this_thread::sleep_for(milliseconds(50));
  }
  EXPECT_TRUE(shown) << "no start window\n" << ReadFileText(elsewhere.File("qvxcat.err"));
  // The program runs in the home folder, not in the one it was started from.
  EXPECT_TRUE(program.Running());
  char link[256] = {};
  ssize_t n =
      readlink(("/proc/" + std::to_string(program.Pid()) + "/cwd").c_str(), link, sizeof link - 1);
  ASSERT_GT(n, 0);
  EXPECT_EQ(std::filesystem::canonical(link), std::filesystem::canonical(home.path()));
  program.Kill(SIGKILL);
}

}  // namespace
}  // namespace qvx_test
