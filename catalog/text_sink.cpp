#include "catalog/text_sink.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "catalog/byte_source.h"

namespace catalog {
namespace {

constexpr size_t kBufferBytes = size_t(1) << 20;

[[noreturn]] void WriteFailed(const std::string& path, int err) {
  throw EFileError("Cannot write " + path + ": " + std::strerror(err));
}

}  // namespace

void StreamSink::Write(std::string_view text) {
  if (std::fwrite(text.data(), 1, text.size(), stream_) != text.size())
    WriteFailed("the output", errno);
}

FileSink::FileSink(const std::string& path) : path_(path), scratch_(path + ".part") {
  fd_ = ::open(scratch_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (fd_ < 0) WriteFailed(path_, errno);
  buffer_.reserve(kBufferBytes);
}

FileSink::~FileSink() {
  if (fd_ >= 0) ::close(fd_);
  if (!committed_) ::unlink(scratch_.c_str());
}

void FileSink::Drain() {
  size_t done = 0;
  while (done < buffer_.size()) {
    ssize_t n = ::write(fd_, buffer_.data() + done, buffer_.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) WriteFailed(path_, errno);
    done += size_t(n);
  }
  buffer_.clear();
}

void FileSink::Write(std::string_view text) {
  buffer_.append(text);
  if (buffer_.size() >= kBufferBytes) Drain();
}

void FileSink::Commit() {
  Drain();
  if (::fsync(fd_) != 0) WriteFailed(path_, errno);
  int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) WriteFailed(path_, errno);
  if (::rename(scratch_.c_str(), path_.c_str()) != 0) WriteFailed(path_, errno);
  committed_ = true;
}

}  // namespace catalog
