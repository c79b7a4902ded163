// Where an export writes its text: a file, standard output, or a string (tests).
// A file is written under a scratch name beside it ("NAME.part") and takes its name
// only when Commit is called after the last byte, so that a failed or cancelled
// export never leaves a half-written file, nor destroys the file it would replace.
#ifndef CATALOG_TEXT_SINK_H_
#define CATALOG_TEXT_SINK_H_

#include <cstdio>
#include <string>
#include <string_view>

namespace catalog {

class TextSink {
 public:
  virtual ~TextSink() = default;
  // Raises EFileError (byte_source.h) when the text cannot be written.
  virtual void Write(std::string_view text) = 0;
};

class StringSink : public TextSink {
 public:
  void Write(std::string_view text) override { text_.append(text); }
  const std::string& Text() const { return text_; }

 private:
  std::string text_;
};

// Writes through a stdio stream the caller owns (standard output).
class StreamSink : public TextSink {
 public:
  explicit StreamSink(std::FILE* stream) : stream_(stream) {}
  void Write(std::string_view text) override;

 private:
  std::FILE* stream_;
};

class FileSink : public TextSink {
 public:
  // Raises EFileError when the scratch file cannot be made.
  explicit FileSink(const std::string& path);
  // Removes the scratch file unless Commit succeeded.
  ~FileSink() override;
  FileSink(const FileSink&) = delete;
  FileSink& operator=(const FileSink&) = delete;

  void Write(std::string_view text) override;
  // Writes what is buffered, syncs the file and gives it its name.
  void Commit();

 private:
  void Drain();

  std::string path_;
  std::string scratch_;
  int fd_ = -1;
  std::string buffer_;
  bool committed_ = false;
};

}  // namespace catalog

#endif  // CATALOG_TEXT_SINK_H_
