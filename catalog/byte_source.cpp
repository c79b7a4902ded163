#include "catalog/byte_source.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace catalog {

size_t MemorySource::Read(char* buffer, size_t count) {
  size_t n = std::min(count, bytes_.size() - at_);
  std::memcpy(buffer, bytes_.data() + at_, n);
  at_ += n;
  return n;
}

FileSource::FileSource(const std::string& path) : path_(path) {
  fd_ = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd_ < 0) throw EFileError("Cannot open " + path + ": " + std::strerror(errno));
  struct stat st {};
  if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(fd_);
    fd_ = -1;
    throw EFileError("Cannot read " + path + ": it is not a file");
  }
  size_ = uint64_t(st.st_size);
}

FileSource::~FileSource() {
  if (fd_ >= 0) ::close(fd_);
}

size_t FileSource::Read(char* buffer, size_t count) {
  for (;;) {
    ssize_t n = ::read(fd_, buffer, count);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw EFileError("Cannot read " + path_ + ": " + std::strerror(errno));
    read_ += uint64_t(n);
    // A file that ends before the size it had when opened was cut short or taken
    // away while it was read: what was read may stop in the middle of a row.
    if (n == 0 && count > 0 && read_ < size_)
      throw EFileError("Cannot read " + path_ + ": the file became shorter while it was read (" +
                       std::to_string(read_) + " of " + std::to_string(size_) + " bytes)");
    return size_t(n);
  }
}

}  // namespace catalog
