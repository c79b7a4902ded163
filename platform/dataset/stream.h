// Byte streams: the abstract stream through which blob and memo contents travel,
// and an in-memory stream.
#ifndef PLATFORM_DATASET_STREAM_H_
#define PLATFORM_DATASET_STREAM_H_

#include <cstdint>
#include <string>
#include <vector>

namespace platform {

enum class TSeekOrigin { soBeginning, soCurrent, soEnd };

class TStream {
 public:
  virtual ~TStream() = default;
  // Bytes copied into buffer (at most count).
  virtual int32_t Read(void* buffer, int32_t count) = 0;
  // Bytes taken from buffer.
  virtual int32_t Write(const void* buffer, int32_t count) = 0;
  // The new position.
  virtual int64_t Seek(int64_t offset, TSeekOrigin origin) = 0;

  int64_t Position() { return Seek(0, TSeekOrigin::soCurrent); }
  void SetPosition(int64_t position) { Seek(position, TSeekOrigin::soBeginning); }
  // Seeks to the end and back.
  virtual int64_t Size();
  // Everything from the current position to the end.
  std::string ReadAll();
  void WriteString(const std::string& text);
  // Copies count bytes from source (count 0: all of source from its start).
  int64_t CopyFrom(TStream& source, int64_t count);
};

class TMemoryStream : public TStream {
 public:
  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, TSeekOrigin origin) override;
  int64_t Size() override { return int64_t(data_.size()); }
  const std::vector<uint8_t>& Data() const { return data_; }
  void Clear();

 private:
  std::vector<uint8_t> data_;
  int64_t position_ = 0;
};

}  // namespace platform

#endif  // PLATFORM_DATASET_STREAM_H_
