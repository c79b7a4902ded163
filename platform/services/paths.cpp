#include "platform/services/paths.h"

#include <limits.h>
#include <strings.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>

namespace platform {

std::string CurrentDirectory() {
  std::string buf(PATH_MAX, '\0');
  if (!getcwd(buf.data(), buf.size())) return "/";
  buf.resize(std::char_traits<char>::length(buf.c_str()));
  return buf;
}

std::string ExpandFileName(const std::string& name) {
  std::string full = (!name.empty() && name[0] == '/') ? name : CurrentDirectory() + "/" + name;
  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= full.size()) {
    size_t j = full.find('/', i);
    if (j == std::string::npos) j = full.size();
    std::string part = full.substr(i, j - i);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    i = j + 1;
  }
  std::string out;
  for (const auto& p : parts) out += "/" + p;
  if (out.empty()) return std::string(1, '/');
  if (!name.empty() && name.back() == '/') out.push_back('/');
  return out;
}

std::string ExecutableDirectory() {
  std::string buf(PATH_MAX, '\0');
  ssize_t n = readlink("/proc/self/exe", buf.data(), buf.size() - 1);
  if (n <= 0) return CurrentDirectory();
  buf.resize(size_t(n));
  size_t slash = buf.rfind('/');
  return slash == std::string::npos ? CurrentDirectory() : buf.substr(0, slash);
}

std::string WindowsDirectory() {
  const char* dir = std::getenv("QVX_WINDIR");
  return (dir && *dir) ? std::string(dir) : std::string("/etc");
}

std::string UserConfigDirectory() {
  const char* xdg = std::getenv("XDG_CONFIG_HOME");
  if (xdg && *xdg) return std::string(xdg);
  const char* home = std::getenv("HOME");
  return std::string(home && *home ? home : "") + "/.config";
}

std::vector<std::pair<std::string, std::string>> ReadIniSection(const std::string& file,
                                                                const std::string& section) {
  std::vector<std::pair<std::string, std::string>> out;
  std::ifstream in(file);
  std::string line;
  bool inside = false;
  auto trim = [](std::string s) {
    size_t a = s.find_first_not_of(" \t\r");
    size_t b = s.find_last_not_of(" \t\r");
    return a == std::string::npos ? std::string() : s.substr(a, b - a + 1);
  };
  while (std::getline(in, line)) {
    line = trim(line);
    if (line.empty() || line[0] == ';') continue;
    if (line[0] == '[') {
      size_t close = line.find(']');
      std::string name = line.substr(1, close == std::string::npos ? std::string::npos : close - 1);
      inside = strcasecmp(trim(name).c_str(), section.c_str()) == 0;
      continue;
    }
    if (!inside) continue;
    size_t eq = line.find('=');
    if (eq == std::string::npos) continue;
    out.emplace_back(trim(line.substr(0, eq)), trim(line.substr(eq + 1)));
  }
  return out;
}

}  // namespace platform
