// GSobjOneTagFile: what the single-tag index files (NTX, NDX) have in common.
// The file holds one tag, named after the file, behind a header at offset 0;
// pages of one size follow it and are allocated by appending, never reused. A
// rebuild or a new tag writes the whole file anew beside the old one (see
// GSobjIndexFile::RewriteWhole), so a failure keeps the old file.
//
// TagT is the format's tag class. It provides HeaderOk(), WriteEmptyRoot(),
// RefuseUnsupported(ascending, for_expression) and the tag's virtual
// operations; the format's file class provides NewTag and calls
// TakeTagFromHeader and CloseTag from its constructor and destructor.
#ifndef ENGINE_INDEX_GS6_ONETAG_H_
#define ENGINE_INDEX_GS6_ONETAG_H_

#include <algorithm>
#include <cstdint>
#include <memory>
#include <string>

#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_indx.h"

namespace devazoz {

template <class TagT>
class GSobjOneTagFile : public GSobjIndexFile {
 public:
  bool AddTag(const std::string& name, const std::string& key_expression, bool unique,
              bool ascending, const std::string& for_expression) override;  // 0
  int32_t AllocatePage() override;                                          // 3
  int32_t ResetAllocator() override;                                        // 4
  void RebuildAll() override;                                               // 7
  // Truncates the file to a header and one empty root page.
  virtual void EmptyIndex();

  TagT* Tag() const { return static_cast<TagT*>(TagAt(0)); }

 protected:
  // Opens (or, with create, creates) the file with default_extension; the
  // format's constructor then calls TakeTagFromHeader.
  GSobjOneTagFile(GSO_dBaseFld* table, const std::string& file_name, bool overwrite, bool create,
                  bool read_write, bool shared, int32_t page_size, const char* default_extension);
  // The format's tag over this file, its header read when read_header is set.
  virtual std::unique_ptr<TagT> NewTag(bool read_header) = 0;
  // Forgets what the format keeps beside the header when the file is written
  // anew.
  virtual void StartRewrite() {}
  // The tag from an existing file's header; a new file holds none until AddTag.
  void TakeTagFromHeader(bool create);
  // The format's destructor: releases the tree and writes the header.
  void CloseTag();
  // The allocation end for a file of size bytes: whole pages after the header.
  int32_t RoundUpToPage(int64_t size) const;

 private:
  // RebuildAll's writing: the whole file anew from the table.
  void WriteRebuilt();
  void ForgetCache();
  // Locks the whole file for the life of a rewrite step.
  struct WholeFileLock {
    explicit WholeFileLock(GSO_DiskFile* d) : disk(d) { disk->LockWholeFile(); }
    ~WholeFileLock() { disk->UnlockRegion(); }
    GSO_DiskFile* disk;
  };
};

template <class TagT>
GSobjOneTagFile<TagT>::GSobjOneTagFile(GSO_dBaseFld* table, const std::string& file_name,
                                       bool overwrite, bool create, bool read_write, bool shared,
                                       int32_t page_size, const char* default_extension)
    : GSobjIndexFile(table) {
  record_in_key_ = false;
  node_size_ = page_size;
  first_node_ = page_size;
  if (OpenDisk(file_name, overwrite, create, read_write, shared, default_extension))
    next_free_ = RoundUpToPage(known_size_);
}

template <class TagT>
void GSobjOneTagFile<TagT>::TakeTagFromHeader(bool create) {
  if (!disk_ || (known_size_ == 0 && create)) return;
  std::unique_ptr<TagT> tag = NewTag(true);
  if (tag->HeaderOk()) AddToList(tag.release());
}

template <class TagT>
void GSobjOneTagFile<TagT>::CloseTag() {
  try {
    if (TagT* tag = Tag()) {
      tag->ReleaseTree();
      tag->WriteHeader();
    }
  } catch (...) {
    // Closing cannot report; what could not be written is lost.
  }
  tags_.FreeAll();
}

template <class TagT>
int32_t GSobjOneTagFile<TagT>::RoundUpToPage(int64_t size) const {
  return std::max(first_node_, RoundUpToNode(size));
}

template <class TagT>
void GSobjOneTagFile<TagT>::ForgetCache() {
  DropNodeCache();
}

template <class TagT>
bool GSobjOneTagFile<TagT>::AddTag(const std::string&, const std::string& key_expression,
                                   bool unique, bool ascending, const std::string& for_expression) {
  tag_problem_.clear();
  if (!disk_) return false;
  std::unique_ptr<TagT> tag = NewTag(false);
  // What the format cannot hold, and expressions that do not compile, leave
  // the file as it was.
  tag->RefuseUnsupported(ascending, for_expression);
  tag->GSobjIndexTag::CreateTag(OwnName(), key_expression, unique, true, for_expression);
  // The one tag is named after the file and replaces the tag the file had.
  if (TagT* old = Tag()) {
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
    next_free_ = first_node_;
    header_error_ = false;
    valid_ = true;
    error_text_.clear();
    StartRewrite();
    if (tag->CreateTag(OwnName(), key_expression, unique, ascending, for_expression) != 0) {
      tag_problem_ = tag->BuildProblem();
      throw NotBuilt{};
    }
    disk_->WritePending();
  };
  try {
    if (disk_->FileSize() == 0) {
      CreateOrRemove(write_all);
    } else {
      RewriteWhole(write_all, [&] {
        next_free_ = RoundUpToPage(known_size_);
        std::unique_ptr<TagT> again = NewTag(true);
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

template <class TagT>
int32_t GSobjOneTagFile<TagT>::AllocatePage() {
  if (next_free_ < 0) ResetAllocator();
  if (int64_t(next_free_) + node_size_ > 0x7FFFFFFF)
    ReportError(kErrNumberTooLarge, kSubNone,
                ("Index file " + file_name_ + " cannot grow beyond 2 GB").c_str());
  int32_t page = next_free_;
  next_free_ += node_size_;
  return page;
}

template <class TagT>
int32_t GSobjOneTagFile<TagT>::ResetAllocator() {
  known_size_ = disk_ ? disk_->FileSize() : 0;
  next_free_ = RoundUpToPage(known_size_);
  return next_free_;
}

template <class TagT>
void GSobjOneTagFile<TagT>::EmptyIndex() {
  TagT* tag = Tag();
  if (!disk_ || !tag) return;
  WholeFileLock lock(disk_.get());
  tag->ReleaseTree();
  ForgetCache();
  disk_->Truncate(0);
  known_size_ = 0;
  next_free_ = first_node_;
  tag->WriteEmptyRoot();
  tag->WriteHeader();
  disk_->WritePending();
}

template <class TagT>
void GSobjOneTagFile<TagT>::RebuildAll() {
  TagT* tag = Tag();
  if (!disk_ || !tag) return;
  // A tag that cannot be built from its own header (a key that cannot be
  // evaluated or is too long, a FOR condition that gives no logical value) is
  // refused before the file is touched, and the old tag stays. A tag object of
  // its own tries the definition, so the tag in use keeps its state.
  std::unique_ptr<TagT> probe = NewTag(false);
  if (probe->DefineTag(OwnName(), tag->KeyExpression(), tag->Unique(), true,
                       tag->ForExpression()) != 0)
    throw EDevazozError("Cannot rebuild tag " + tag->TagName() + " of " + ShownPath() + ": " +
                        probe->BuildProblem() + "; the tag is kept as it was");
  probe.reset();
  RewriteWhole([&] { WriteRebuilt(); },
               [this, tag] {
                 next_free_ = RoundUpToPage(known_size_);
                 tag->ReadHeader();  // a failure marks the file's header error
               });
}

template <class TagT>
void GSobjOneTagFile<TagT>::WriteRebuilt() {
  TagT* tag = Tag();
  std::string key = tag->KeyExpression(), condition = tag->ForExpression();
  EmptyIndex();
  WholeFileLock lock(disk_.get());
  // The empty root page is used again by the build.
  next_free_ = first_node_;
  if (tag->CreateTag(OwnName(), key, tag->Unique(), true, condition) != 0)
    throw EDevazozError("Cannot rebuild tag " + tag->TagName() + " of " + ShownPath() + ": " +
                        tag->BuildProblem() + "; the tag is kept as it was");
  disk_->WritePending();
}

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_ONETAG_H_
