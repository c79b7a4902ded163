#include "engine/index/gs6_ntx.h"

#include <algorithm>
#include <string>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/table/gs6_dbfld.h"
#include "platform/codepage.h"

namespace devazoz {

namespace {

int32_t RoundUpToPage(int64_t size) {
  int64_t r = (size + kNtxPageSize - 1) / kNtxPageSize * kNtxPageSize;
  return int32_t(std::clamp<int64_t>(r, kNtxHeaderSize, 0x7FFFFC00));
}

}  // namespace

GSobjNTXFile::GSobjNTXFile(GSO_dBaseFld* table, const std::string& file_name, bool overwrite,
                           bool create, bool read_write, bool shared)
    : GSobjIndexFile(table) {
  record_in_key_ = false;
  node_size_ = kNtxPageSize;
  first_node_ = kNtxHeaderSize;
  disk_ = OpenIndexDiskFile(table, file_name, overwrite, create, read_write, shared, ".NTX",
                            &file_name_);
  if (!disk_) {
    error_text_ = "Index file " + file_name + " cannot be opened";
    return;
  }
  valid_ = true;
  disk_->HoldWrites(uint32_t(node_size_));
  known_size_ = disk_->FileSize();
  next_free_ = RoundUpToPage(known_size_);
  // A file just created holds no tag until AddTag.
  if (known_size_ == 0 && create) return;
  auto tag = std::make_unique<GSobjNTXTag>(this, OwnName(), true);
  if (tag->HeaderOk()) AddToList(tag.release());
}

GSobjNTXFile::~GSobjNTXFile() {
  try {
    if (GSobjNTXTag* tag = Tag()) {
      tag->ReleaseTree();
      if (counter_dirty_) tag->SetHeaderChanged();
      tag->WriteHeader();
    }
  } catch (...) {
    // Closing cannot report; what could not be written is lost.
  }
  tags_.FreeAll();
}

GSobjNTXTag* GSobjNTXFile::Tag() const { return static_cast<GSobjNTXTag*>(TagAt(0)); }

std::string GSobjNTXFile::OwnName() const {
  std::string name = file_name_;
  size_t dot = name.rfind('.');
  if (dot != std::string::npos) name.resize(dot);
  for (char& c : name) c = char(platform::AnsiUpperChar(uint8_t(c)));
  return name;
}

void GSobjNTXFile::ForgetCache() {
  cache_.clear();
  cache_bytes_ = 0;
}

bool GSobjNTXFile::AddTag(const std::string&, const std::string& key_expression, bool unique,
                          bool ascending, const std::string& for_expression) {
  if (!disk_) return false;
  auto tag = std::make_unique<GSobjNTXTag>(this, OwnName(), false);
  // Expressions that do not compile, and descending order, leave the file as
  // it was.
  if (!ascending) tag->CreateTag(OwnName(), key_expression, unique, ascending, for_expression);
  tag->GSobjIndexTag::CreateTag(OwnName(), key_expression, unique, true, for_expression);
  // The one tag is named after the file and replaces the tag the file had.
  if (GSobjNTXTag* old = Tag()) {
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
    next_free_ = kNtxHeaderSize;
    header_error_ = false;
    valid_ = true;
    error_text_.clear();
    counter_dirty_ = false;
    if (tag->CreateTag(OwnName(), key_expression, unique, ascending, for_expression) != 0)
      throw NotBuilt{};
    disk_->WritePending();
  };
  try {
    if (disk_->FileSize() == 0) {
      CreateOrRemove(write_all);
    } else {
      RewriteWhole(write_all, [&] {
        next_free_ = RoundUpToPage(known_size_);
        auto again = std::make_unique<GSobjNTXTag>(this, OwnName(), true);
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

int32_t GSobjNTXFile::AllocatePage() {
  if (next_free_ < 0) ResetAllocator();
  if (int64_t(next_free_) + kNtxPageSize > 0x7FFFFFFF)
    ReportError(kErrNumberTooLarge, kSubNone,
                ("Index file " + file_name_ + " cannot grow beyond 2 GB").c_str());
  int32_t page = next_free_;
  next_free_ += kNtxPageSize;
  return page;
}

int32_t GSobjNTXFile::ResetAllocator() {
  known_size_ = disk_ ? disk_->FileSize() : 0;
  next_free_ = RoundUpToPage(known_size_);
  return next_free_;
}

void GSobjNTXFile::EmptyIndex() {
  GSobjNTXTag* tag = Tag();
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
  next_free_ = kNtxHeaderSize;
  tag->WriteEmptyRoot();
  tag->WriteHeader();
  disk_->WritePending();
}

void GSobjNTXFile::RebuildAll() {
  GSobjNTXTag* tag = Tag();
  if (!disk_ || !tag) return;
  RewriteWhole([&] { WriteRebuilt(); },
               [&] {
                 next_free_ = RoundUpToPage(known_size_);
                 tag->ReadHeader();  // a failure marks the file's header error
               });
}

void GSobjNTXFile::WriteRebuilt() {
  GSobjNTXTag* tag = Tag();
  EmptyIndex();
  disk_->LockWholeFile();
  struct Unlock {
    GSO_DiskFile* disk;
    ~Unlock() { disk->UnlockRegion(); }
  } unlock{disk_.get()};
  // The empty root page is used again by the build.
  next_free_ = kNtxHeaderSize;
  std::string key = tag->KeyExpression(), condition = tag->ForExpression();
  tag->CreateTag(OwnName(), key, tag->Unique(), true, condition);
  disk_->WritePending();
}

bool GSobjNTXFile::UpdateKeys(int32_t record_number, bool is_append) {
  GSobjNTXTag* tag = Tag();
  if (tag) {
    uint16_t counter = tag->ChangeCounter();
    tag->SetChangeCounter(counter >= 32767 ? 1 : uint16_t(counter + 1));
    // Other programs compare the counter; an exclusive file writes it at close.
    if (disk_ && disk_->Shared()) {
      uint8_t b[2];
      ByteSpan(b, 2).PutU16LE(0, tag->ChangeCounter());
      WriteBlock(2, b, 2);
    } else {
      counter_dirty_ = true;
    }
  }
  return GSobjIndexFile::UpdateKeys(record_number, is_append);
}

bool GSobjNTXFile::ChangedByOther() {
  GSobjNTXTag* tag = Tag();
  if (!disk_ || !disk_->Shared() || !tag) return false;
  uint8_t b[2];
  if (!ReadBlock(2, b, 2)) return false;
  return ByteView(b, 2).U16LE(0) != tag->ChangeCounter();
}

}  // namespace devazoz
