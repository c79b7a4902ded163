#include "platform/dataset/stream.h"

#include <algorithm>
#include <cstring>

namespace platform {

int64_t TStream::Size() {
  int64_t position = Seek(0, TSeekOrigin::soCurrent);
  int64_t size = Seek(0, TSeekOrigin::soEnd);
  Seek(position, TSeekOrigin::soBeginning);
  return size;
}

std::string TStream::ReadAll() {
  std::string out;
  char chunk[4096];
  for (;;) {
    int32_t n = Read(chunk, int32_t(sizeof chunk));
    if (n <= 0) break;
    out.append(chunk, size_t(n));
  }
  return out;
}

void TStream::WriteString(const std::string& text) {
  size_t done = 0;
  while (done < text.size()) {
    int32_t piece = int32_t(std::min<size_t>(text.size() - done, 1u << 30));
    int32_t n = Write(text.data() + done, piece);
    if (n <= 0) break;
    done += size_t(n);
  }
}

int64_t TStream::CopyFrom(TStream& source, int64_t count) {
  if (count == 0) {
    source.SetPosition(0);
    count = source.Size();
  }
  int64_t done = 0;
  char chunk[4096];
  while (done < count) {
    int32_t want = int32_t(std::min<int64_t>(count - done, int64_t(sizeof chunk)));
    int32_t n = source.Read(chunk, want);
    if (n <= 0) break;
    Write(chunk, n);
    done += n;
  }
  return done;
}

int32_t TMemoryStream::Read(void* buffer, int32_t count) {
  if (count <= 0 || position_ < 0 || position_ >= int64_t(data_.size())) return 0;
  int32_t n = int32_t(std::min<int64_t>(count, int64_t(data_.size()) - position_));
  std::memcpy(buffer, data_.data() + position_, size_t(n));
  position_ += n;
  return n;
}

int32_t TMemoryStream::Write(const void* buffer, int32_t count) {
  if (count <= 0 || position_ < 0) return 0;
  size_t end = size_t(position_) + size_t(count);
  if (end > data_.size()) data_.resize(end);
  std::memcpy(data_.data() + position_, buffer, size_t(count));
  position_ = int64_t(end);
  return count;
}

int64_t TMemoryStream::Seek(int64_t offset, TSeekOrigin origin) {
  switch (origin) {
    case TSeekOrigin::soBeginning:
      position_ = offset;
      break;
    case TSeekOrigin::soCurrent:
      position_ += offset;
      break;
    case TSeekOrigin::soEnd:
      position_ = int64_t(data_.size()) + offset;
      break;
  }
  return position_;
}

void TMemoryStream::Clear() {
  data_.clear();
  position_ = 0;
}

}  // namespace platform
