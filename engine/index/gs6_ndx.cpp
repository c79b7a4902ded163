#include "engine/index/gs6_ndx.h"

#include <algorithm>
#include <string>

#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/table/gs6_dbfld.h"
#include "platform/codepage.h"

namespace devazoz {

namespace {

int32_t RoundUpToBlock(int64_t size) {
  int64_t r = (size + kNdxBlockSize - 1) / kNdxBlockSize * kNdxBlockSize;
  return int32_t(std::clamp<int64_t>(r, kNdxBlockSize, 0x7FFFFE00));
}

}  // namespace

GSobjNDXFile::GSobjNDXFile(GSO_dBaseFld* table, const std::string& file_name, bool overwrite,
                           bool create, bool read_write, bool shared)
    : GSobjIndexFile(table) {
  record_in_key_ = false;
  node_size_ = kNdxBlockSize;
  first_node_ = kNdxBlockSize;
  disk_ = OpenIndexDiskFile(table, file_name, overwrite, create, read_write, shared, ".NDX",
                            &file_name_);
  if (!disk_) {
    error_text_ = "Index file " + file_name + " cannot be opened";
    return;
  }
  valid_ = true;
  disk_->HoldWrites(uint32_t(node_size_));
  known_size_ = disk_->FileSize();
  next_free_ = RoundUpToBlock(known_size_);
  if (known_size_ == 0 && create) return;
  auto tag = std::make_unique<GSobjNDXTag>(this, OwnName(), true);
  if (tag->HeaderOk()) AddToList(tag.release());
}

GSobjNDXFile::~GSobjNDXFile() {
  try {
    if (GSobjNDXTag* tag = Tag()) {
      tag->ReleaseTree();
      tag->WriteHeader();
    }
  } catch (...) {
    // Closing cannot report; what could not be written is lost.
  }
  tags_.FreeAll();
}

GSobjNDXTag* GSobjNDXFile::Tag() const { return static_cast<GSobjNDXTag*>(TagAt(0)); }

std::string GSobjNDXFile::OwnName() const {
  std::string name = file_name_;
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  for (char& c : name) c = char(platform::AnsiUpperChar(uint8_t(c)));
  return name;
}

int32_t GSobjNDXFile::NextFreeBlock() {
  if (next_free_ < 0) ResetAllocator();
  return next_free_ / kNdxBlockSize;
}

void GSobjNDXFile::ForgetCache() {
  cache_.clear();
  cache_bytes_ = 0;
}

bool GSobjNDXFile::AddTag(const std::string&, const std::string& key_expression, bool unique,
                          bool ascending, const std::string& for_expression) {
  if (!disk_) return false;
  auto tag = std::make_unique<GSobjNDXTag>(this, OwnName(), false);
  // What the format cannot hold, and expressions that do not compile, leave
  // the file as it was.
  tag->RefuseUnsupported(ascending, for_expression);
  tag->GSobjIndexTag::CreateTag(OwnName(), key_expression, unique, true, "");
  if (GSobjNDXTag* old = Tag()) {
    old->ReleaseTree();
    RemoveFromList(old);
  }
  // The file is written anew beside the old one (see RewriteWhole), or removed
  // again when it was new and could not be written: a failure keeps the old tag.
  struct NotBuilt {};
  auto write_all = [&] {
    ForgetCache();
    disk_->Truncate(0);
    known_size_ = 0;
    next_free_ = kNdxBlockSize;
    header_error_ = false;
    valid_ = true;
    error_text_.clear();
    if (tag->CreateTag(OwnName(), key_expression, unique, true, "") != 0) throw NotBuilt{};
    disk_->WritePending();
  };
  try {
    if (disk_->FileSize() == 0) {
      CreateOrRemove(write_all);
    } else {
      RewriteWhole(write_all, [&] {
        next_free_ = RoundUpToBlock(known_size_);
        auto again = std::make_unique<GSobjNDXTag>(this, OwnName(), true);
        if (again->HeaderOk()) AddToList(again.release());
      });
    }
  } catch (const NotBuilt&) {
    return false;
  }
  if (!disk_) return false;
  AddToList(tag.release());
  return true;
}

int32_t GSobjNDXFile::AllocatePage() {
  if (next_free_ < 0) ResetAllocator();
  if (int64_t(next_free_) + kNdxBlockSize > 0x7FFFFFFF)
    ReportError(kErrNumberTooLarge, kSubNone,
                ("Index file " + file_name_ + " cannot grow beyond 2 GB").c_str());
  int32_t page = next_free_;
  next_free_ += kNdxBlockSize;
  // The header's next free block follows.
  if (GSobjNDXTag* tag = Tag()) tag->SetHeaderChanged();
  return page;
}

int32_t GSobjNDXFile::ResetAllocator() {
  known_size_ = disk_ ? disk_->FileSize() : 0;
  next_free_ = RoundUpToBlock(known_size_);
  return next_free_;
}

void GSobjNDXFile::EmptyIndex() {
  GSobjNDXTag* tag = Tag();
  if (!disk_ || !tag) return;
  disk_->LockWholeFile();
  struct Unlock {
    GSO_DiskFile* disk;
    ~Unlock() { disk->UnlockRegion(); }
  } unlock{disk_.get()};
  tag->ReleaseTree();
  ForgetCache();
  disk_->Truncate(0);
  known_size_ = 0;
  next_free_ = kNdxBlockSize;
  tag->WriteEmptyRoot();
  tag->WriteHeader();
  disk_->WritePending();
}

void GSobjNDXFile::RebuildAll() {
  GSobjNDXTag* tag = Tag();
  if (!disk_ || !tag) return;
  RewriteWhole([&] { WriteRebuilt(); },
               [&] {
                 next_free_ = RoundUpToBlock(known_size_);
                 tag->ReadHeader();  // a failure marks the file's header error
               });
}

void GSobjNDXFile::WriteRebuilt() {
  GSobjNDXTag* tag = Tag();
  EmptyIndex();
  disk_->LockWholeFile();
  struct Unlock {
    GSO_DiskFile* disk;
    ~Unlock() { disk->UnlockRegion(); }
  } unlock{disk_.get()};
  next_free_ = kNdxBlockSize;
  std::string key = tag->KeyExpression();
  tag->CreateTag(OwnName(), key, tag->Unique(), true, "");
  disk_->WritePending();
}

}  // namespace devazoz
