// The process-wide directory alias list of the dataset adapter.
#include <strings.h>

#include <mutex>

#include "engine/dataset/Zavaz6UZ.h"
#include "platform/services/codepage.h"
#include "platform/services/paths.h"

namespace devazoz {

const char* const kDefaultDirectory = "Default Directory";

namespace {

struct Aliases {
  std::mutex mutex;
  bool loaded = false;
  std::vector<std::pair<std::string, std::string>> entries;

  void LoadLocked() {
    entries.clear();
    entries.emplace_back(kDefaultDirectory, std::string());
    std::string file = platform::UserConfigDirectory() + "/devazoz.cfg";
    for (auto& [name, directory] : platform::ReadIniSection(file, "Alias")) {
      std::string dir = directory;
      while (dir.size() > 1 && (dir.back() == '/' || dir.back() == '\\')) dir.pop_back();
      entries.emplace_back(platform::AnsiUpper(name), dir);
    }
    loaded = true;
  }
};

Aliases& Instance() {
  static Aliases aliases;
  return aliases;
}

}  // namespace

std::vector<std::pair<std::string, std::string>> AliasList() {
  Aliases& a = Instance();
  std::lock_guard<std::mutex> lock(a.mutex);
  if (!a.loaded) a.LoadLocked();
  return a.entries;
}

bool FindAlias(const std::string& name, std::string& directory) {
  Aliases& a = Instance();
  std::lock_guard<std::mutex> lock(a.mutex);
  if (!a.loaded) a.LoadLocked();
  std::string wanted = platform::AnsiUpper(name);
  for (size_t i = 1; i < a.entries.size(); ++i) {
    if (a.entries[i].first == wanted) {
      directory = a.entries[i].second;
      return true;
    }
  }
  return false;
}

void AddAlias(const std::string& name, const std::string& directory) {
  Aliases& a = Instance();
  std::lock_guard<std::mutex> lock(a.mutex);
  if (!a.loaded) a.LoadLocked();
  a.entries.emplace_back(platform::AnsiUpper(name), directory);
}

void ReloadAliases() {
  Aliases& a = Instance();
  std::lock_guard<std::mutex> lock(a.mutex);
  a.LoadLocked();
}

}  // namespace devazoz
