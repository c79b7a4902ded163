#include "tools/devazoz/index_progress.h"

#include <unistd.h>

#include <cctype>
#include <cstdio>

#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_cdx.h"
#include "engine/index/gs6_mdx.h"
#include "engine/index/gs6_ndx.h"
#include "engine/index/gs6_ntx.h"

namespace devazoz_tool {

ProgressTable::ProgressTable(const std::string& path, bool read_write)
    : GSO_dBaseFld(path, false, read_write), terminal_(isatty(2) != 0) {}

ProgressTable::~ProgressTable() {
  if (terminal_ && shown_ >= 0) std::fputs("\n", stderr);
}

void ProgressTable::StatusUpdate(int32_t what, int32_t done, int32_t total) {
  if (!terminal_) return;
  if (what == -1) {
    if (shown_ >= 0) std::fputs("\n", stderr);
    phase_ = done;
    total_ = total;
    shown_ = -1;
    Draw(0);
  } else if (what == 0) {
    if (shown_ >= 0) {
      if (shown_ < 100) Draw(total_);
      std::fputs("\n", stderr);
      shown_ = -1;
    }
  } else if (what == phase_) {
    Draw(done);
  }
}

void ProgressTable::Draw(int32_t done) {
  int percent = total_ > 0 ? int(int64_t(done) * 100 / total_) : 100;
  if (percent > 100) percent = 100;
  if (percent == shown_) return;
  shown_ = percent;
  const char* label = phase_ == 1 ? "reading " : (phase_ == 2 ? "writing " : "checking");
  char bar[41];
  int filled = percent * 40 / 100;
  for (int i = 0; i < 40; ++i) bar[i] = i < filled ? '#' : '.';
  bar[40] = '\0';
  std::fprintf(stderr, "\r%s [%s] %3d%%", label, bar, percent);
  std::fflush(stderr);
}

std::unique_ptr<devazoz::GSobjIndexFile> MakeIndex(devazoz::GSO_dBaseFld* table,
                                                   const std::string& path, bool create,
                                                   bool read_write) {
  std::string extension = IndexExtension(path);
  if (extension == ".NTX")
    return std::make_unique<devazoz::GSobjNTXFile>(table, path, false, create, read_write, false);
  if (extension == ".NDX")
    return std::make_unique<devazoz::GSobjNDXFile>(table, path, false, create, read_write, false);
  if (extension == ".MDX")
    return std::make_unique<devazoz::GSobjMDXFile>(table, path, false, create, read_write, false);
  return std::make_unique<devazoz::GSobjCDXFile>(table, path, false, create, read_write, false);
}

std::unique_ptr<devazoz::GSobjIndexFile> OpenIndex(devazoz::GSO_dBaseFld* table,
                                                   const std::string& path, bool create,
                                                   bool read_write) {
  auto file = MakeIndex(table, path, create, read_write);
  if (!file->Disk()) throw devazoz::EDevazozError("Cannot find file " + path);
  if (!file->Valid())
    throw devazoz::EDevazozError(file->ErrorText().empty() ? "Index file " + path + " is damaged"
                                                           : file->ErrorText());
  return file;
}

std::string IndexExtension(const std::string& path) {
  size_t slash = path.find_last_of("/\\");
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return "";
  std::string extension = path.substr(dot);
  for (char& c : extension) c = char(std::toupper(static_cast<unsigned char>(c)));
  return extension;
}

}  // namespace devazoz_tool
