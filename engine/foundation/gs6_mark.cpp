#include "engine/foundation/gs6_mark.h"

#include <algorithm>

#include "engine/foundation/gs6_os.h"
#include "platform/services/codepage.h"

namespace devazoz {
namespace {
constexpr char kFirstLine[] = "devazoz change in progress";

std::string FolderOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string Entry(const std::string& folder, const std::string& file_name) {
  if (!folder.empty() && file_name.size() > folder.size() &&
      file_name.compare(0, folder.size(), folder) == 0 &&
      file_name.find('/', folder.size()) == std::string::npos)
    return file_name.substr(folder.size());
  return file_name;
}
}  // namespace

TgsChangeMarker::TgsChangeMarker(const std::string& table_path)
    : path_(table_path + ".changing"), folder_(platform::AnsiUpper(FolderOf(table_path))) {}

std::string TgsChangeMarker::EntryFor(const std::string& file_name) const {
  return Entry(folder_, file_name);
}

bool TgsChangeMarker::Contents::Names(const std::string& file_name) const {
  if (!exists) return false;
  if (all) return true;
  std::string entry = Entry(folder, file_name);
  return std::find(files.begin(), files.end(), entry) != files.end();
}

TgsChangeMarker::Contents TgsChangeMarker::Read() const {
  Contents c;
  c.folder = folder_;
  if (!os::Exists(path_)) return c;
  c.exists = true;
  std::string bytes;
  int32_t error = 0;
  // A marker that cannot be read counts as naming every index file.
  if (!os::ReadSmallFile(path_, kMostBytes + 1, bytes, error) || bytes.size() > kMostBytes) {
    c.all = true;
    return c;
  }
  std::vector<std::string> lines;
  size_t at = 0;
  while (at < bytes.size()) {
    size_t end = bytes.find('\n', at);
    if (end == std::string::npos) {
      // The last line lacks its LF: the writing was cut off inside it.
      c.all = true;
      return c;
    }
    lines.push_back(bytes.substr(at, end - at));
    at = end + 1;
  }
  if (lines.empty() || lines[0] != kFirstLine) {
    c.all = true;
    return c;
  }
  for (size_t i = 1; i < lines.size(); ++i)
    if (!lines[i].empty()) c.files.push_back(lines[i]);
  return c;
}

int32_t TgsChangeMarker::Write(const std::vector<std::string>& files, bool sync) {
  std::string text = std::string(kFirstLine) + "\n";
  for (const std::string& f : files)
    if (!f.empty() && f.find('\n') == std::string::npos) text += EntryFor(f) + "\n";
  int32_t error = 0;
  os::WriteSmallFile(path_, text, sync, error);
  return error;
}

bool TgsChangeMarker::Remove() {
  int32_t error = 0;
  if (os::RemoveFile(path_, error)) return true;
  return !os::Exists(path_);
}

void TgsChangeMarker::Forget(const std::string& file_name, bool every_file_done) {
  Contents c = Read();
  if (!c.exists) return;
  if (c.all) {
    if (every_file_done) Remove();
    return;
  }
  std::erase(c.files, EntryFor(file_name));
  if (c.files.empty()) {
    Remove();
    return;
  }
  // The entries are written as they were read.
  std::string text = std::string(kFirstLine) + "\n";
  for (const std::string& f : c.files) text += f + "\n";
  int32_t error = 0;
  os::WriteSmallFile(path_, text, false, error);
}

}  // namespace devazoz
