// THCBlobStream: the in-memory copy of one memo or blob field through which the
// framework reads and writes its contents. The memo file is read when the stream
// is created and written when a modified stream is destroyed; the record keeps
// only the memo's block number, stored into the record buffer by that write, and
// reaches the table at the next post.
#ifndef ENGINE_DATASET_ZAVAZ6UZ_BLOB_H_
#define ENGINE_DATASET_ZAVAZ6UZ_BLOB_H_

#include <cstdint>
#include <memory>

#include "engine/dataset/Zavaz6UZ.h"
#include "platform/dataset/stream.h"

namespace devazoz {

class THCBlobStream : public platform::TStream {
 public:
  // Raises "Field '%s' cannot be modified" (read-only field) or "Dataset not in
  // edit or insert mode" for the writing modes.
  THCBlobStream(platform::TField* field, platform::TBlobStreamMode mode);
  // Writes a modified memo back; a failure goes to the application's exception
  // handler, never to the caller, and the record keeps its old block number.
  ~THCBlobStream() override;
  THCBlobStream(const THCBlobStream&) = delete;
  THCBlobStream& operator=(const THCBlobStream&) = delete;

  int32_t Read(void* buffer, int32_t count) override;
  int32_t Write(const void* buffer, int32_t count) override;
  int64_t Seek(int64_t offset, platform::TSeekOrigin origin) override;
  bool Modified() const { return modified_; }

 private:
  void WriteBack();

  platform::TField* field_;
  TDevazozDataSet* dataset_;
  platform::TRecordBuffer record_ = nullptr;
  int32_t field_number_ = 0;
  bool modified_ = false;
  std::unique_ptr<char[]> data_;  // size_ + 1 bytes, NUL-terminated
  int32_t size_ = 0;
  int32_t position_ = 0;
};

}  // namespace devazoz

#endif  // ENGINE_DATASET_ZAVAZ6UZ_BLOB_H_
