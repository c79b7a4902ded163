// Where the CSV reader takes its bytes from: a file read in pieces, or bytes held in
// memory (the preview, tests). A file is read in the order of its bytes, once; its
// size is taken when it is opened, so that a file cut short or removed from its
// device while it is read is told apart from one that simply ends.
#ifndef CATALOG_BYTE_SOURCE_H_
#define CATALOG_BYTE_SOURCE_H_

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/services/exception.h"

namespace catalog {

// A file that cannot be opened or read; the message names the file and the cause.
class EFileError : public platform::Exception {
 public:
  using Exception::Exception;
};

class ByteSource {
 public:
  virtual ~ByteSource() = default;
  // Up to count bytes into buffer; 0 at the end. Raises EFileError when the bytes
  // cannot be read or the source ended before the size it announced.
  virtual size_t Read(char* buffer, size_t count) = 0;
  // The size announced at the start (for progress); 0 when unknown.
  virtual uint64_t Size() const = 0;
};

class MemorySource : public ByteSource {
 public:
  explicit MemorySource(std::string bytes) : bytes_(std::move(bytes)) {}
  size_t Read(char* buffer, size_t count) override;
  uint64_t Size() const override { return bytes_.size(); }

 private:
  std::string bytes_;
  size_t at_ = 0;
};

class FileSource : public ByteSource {
 public:
  // Raises EFileError when the file cannot be opened or is not a regular file.
  explicit FileSource(const std::string& path);
  ~FileSource() override;
  FileSource(const FileSource&) = delete;
  FileSource& operator=(const FileSource&) = delete;

  size_t Read(char* buffer, size_t count) override;
  uint64_t Size() const override { return size_; }

 private:
  std::string path_;
  int fd_ = -1;
  uint64_t size_ = 0;
  uint64_t read_ = 0;
};

}  // namespace catalog

#endif  // CATALOG_BYTE_SOURCE_H_
