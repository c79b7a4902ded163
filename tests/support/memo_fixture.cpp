#include "tests/support/memo_fixture.h"

#include <stdexcept>

#include "engine/foundation/gs6_eror.h"
#include "engine/table/gs6_memo.h"
#include "tests/support/dbf_fixture.h"

namespace qvx_test {
namespace {

void Put32LE(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + size_t(i)] = uint8_t(v >> (8 * i));
}
void Put32BE(std::vector<uint8_t>& out, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) out[at + size_t(i)] = uint8_t(v >> (8 * (3 - i)));
}
std::string LE32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[size_t(i)] = char(uint8_t(v >> (8 * i)));
  return s;
}
std::string BE32(uint32_t v) {
  std::string s(4, '\0');
  for (int i = 0; i < 4; ++i) s[size_t(i)] = char(uint8_t(v >> (8 * (3 - i))));
  return s;
}

}  // namespace

MemoFixture::MemoFixture(MemoLayout layout, int block_size) : layout_(layout) {
  switch (layout) {
    case MemoLayout::kDbt3:
      block_size_ = 512;
      header_blocks_ = 1;
      break;
    case MemoLayout::kDbt4:
      block_size_ = block_size ? block_size : 512;
      header_blocks_ = 1;
      break;
    case MemoLayout::kFpt:
      block_size_ = block_size ? block_size : 64;
      header_blocks_ = (512 + block_size_ - 1) / block_size_;
      break;
  }
}

int32_t MemoFixture::NextFree() const {
  return header_blocks_ + int32_t(body_.size() / size_t(block_size_));
}

int32_t MemoFixture::Append(const std::string& bytes) {
  int32_t first = NextFree();
  body_.insert(body_.end(), bytes.begin(), bytes.end());
  last_unpadded_end_ = body_.size();
  size_t rest = body_.size() % size_t(block_size_);
  if (rest) body_.insert(body_.end(), size_t(block_size_) - rest, 0);
  if (bytes.empty()) body_.insert(body_.end(), size_t(block_size_), 0);
  return first;
}

int32_t MemoFixture::Add(const std::string& bytes) {
  switch (layout_) {
    case MemoLayout::kDbt3:
      return Append(bytes + "\x1A\x1A");
    case MemoLayout::kDbt4:
      return Append(std::string("\xFF\xFF\x08\x00", 4) + LE32(uint32_t(bytes.size() + 8)) + bytes);
    case MemoLayout::kFpt:
      return AddTyped(bytes, 1);
  }
  return 0;
}

int32_t MemoFixture::AddTyped(const std::string& bytes, uint32_t record_type) {
  if (layout_ != MemoLayout::kFpt) throw std::logic_error("AddTyped is for .FPT files");
  return Append(BE32(record_type) + BE32(uint32_t(bytes.size())) + bytes);
}

int32_t MemoFixture::AddFreeRun(int blocks) {
  if (layout_ != MemoLayout::kDbt4) throw std::logic_error("AddFreeRun is for dBASE IV files");
  // The links are filled in by Bytes(), once the end of the file is known.
  int32_t first = Append(std::string(size_t(blocks) * size_t(block_size_), '\0'));
  free_runs_.push_back({first, blocks});
  return first;
}

int32_t MemoFixture::AddRaw(const std::string& bytes) { return Append(bytes); }

std::vector<uint8_t> MemoFixture::Bytes() const {
  std::vector<uint8_t> out(size_t(header_blocks_) * size_t(block_size_), 0);
  if (layout_ == MemoLayout::kFpt && out.size() < 512) out.resize(512, 0);
  std::vector<uint8_t> body = body_;
  if (!pad_last_block) body.resize(last_unpadded_end_);
  int32_t end = NextFree();
  uint32_t next = next_free_override >= 0 ? uint32_t(next_free_override) : uint32_t(end);
  switch (layout_) {
    case MemoLayout::kDbt3:
      Put32LE(out, 0, next);
      out[16] = 0x03;
      break;
    case MemoLayout::kDbt4: {
      uint32_t first = free_runs_.empty() ? uint32_t(end) : uint32_t(free_runs_[0].first);
      Put32LE(out, 0, next_free_override >= 0 ? next : first);
      for (size_t i = 0; i < header_name.size() && i < 8; ++i) out[8 + i] = uint8_t(header_name[i]);
      Put32LE(out, 20, uint32_t(block_size_));
      for (size_t i = 0; i < free_runs_.size(); ++i) {
        size_t at = size_t(free_runs_[i].first - header_blocks_) * size_t(block_size_);
        uint32_t link =
            i + 1 < free_runs_.size() ? uint32_t(free_runs_[i + 1].first) : uint32_t(end);
        Put32LE(body, at, link);
        Put32LE(body, at + 4, uint32_t(free_runs_[i].second));
      }
      break;
    }
    case MemoLayout::kFpt:
      Put32BE(out, 0, next);
      out[6] = uint8_t(block_size_ >> 8);
      out[7] = uint8_t(block_size_);
      break;
  }
  out.insert(out.end(), body.begin(), body.end());
  return out;
}

void MemoFixture::Write(const std::string& path) const { WriteFileBytes(path, Bytes()); }

namespace {
std::vector<RecordingErrorHook::Report>& Recorded() {
  static std::vector<RecordingErrorHook::Report> reports;
  return reports;
}
void RecordError(int32_t code, int32_t sub_code, const char* info) {
  Recorded().push_back({code, sub_code, info ? info : ""});
}
}  // namespace

RecordingErrorHook::RecordingErrorHook() {
  Recorded().clear();
  devazoz::SetErrorHook(&RecordError);
}
RecordingErrorHook::~RecordingErrorHook() { devazoz::SetErrorHook(nullptr); }
const std::vector<RecordingErrorHook::Report>& RecordingErrorHook::reports() const {
  return Recorded();
}
bool RecordingErrorHook::Has(int32_t code, int32_t sub_code) const {
  for (const Report& r : Recorded())
    if (r.code == code && r.sub_code == sub_code) return true;
  return false;
}
void RecordingErrorHook::Clear() { Recorded().clear(); }

std::string MemoFieldValue(int32_t block, int width, bool encoded) {
  if (encoded) return LE32(uint32_t(block));
  std::string digits = std::to_string(block);
  if (int(digits.size()) < width) digits.insert(0, size_t(width) - digits.size(), ' ');
  return digits;
}

std::string ReadWholeMemo(devazoz::GSobjMemo& memo, int32_t block) {
  int32_t size = memo.MemoLength(block);
  if (size <= 0) return std::string();
  std::string out(size_t(size), '\0');
  memo.ReadMemo(out.data(), block, size);
  out.resize(size_t(size));
  return out;
}

int32_t WriteText(devazoz::GSobjMemo& memo, int32_t block, const std::string& text) {
  memo.WriteMemo(text.data(), block, int32_t(text.size()));
  return block;
}

}  // namespace qvx_test
