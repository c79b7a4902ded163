#include "engine/index/gs6_cdx.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_cdxsort.h"
#include "engine/table/gs6_dbfld.h"
#include "platform/services/codepage.h"

namespace devazoz {

// Opens the file (default extension ".CDX"). An existing file of at least 513
// bytes is read: the directory header at 0, then one tag per directory key, in
// directory order, until the end or the first header that cannot be read. A new
// or empty file gets an empty directory (1536 bytes).
GSobjCDXFile::GSobjCDXFile(GSO_dBaseFld* table, const std::string& file_name, bool overwrite,
                           bool create, bool read_write, bool shared)
    : GSobjIndexFile(table) {
  record_in_key_ = true;
  node_size_ = kCdxBlockSize;
  first_node_ = kCdxHeaderSize;
  if (!OpenDisk(file_name, overwrite, create, read_write, shared, ".CDX")) return;
  // Only an empty file that may be created is made a new index; a shorter file than
  // a directory is damaged (cut short, or left by a full disk), not new.
  if (known_size_ >= 513)
    LoadTags();
  else if (create && known_size_ == 0)
    CreateOrRemove([this] { CreateNew(); });
  else
    SetHeaderError("Index file " + disk_->RealPath() + " is too short for a compound index (" +
                   std::to_string(known_size_) + " bytes, at least " +
                   std::to_string(kCdxNewFileSize) + ")");
  if (valid_) MarkProductionIndex();
}

GSobjCDXFile::~GSobjCDXFile() {
  try {
    for (int i = 0; i < TagCount(); ++i) TagAt(i)->ReleaseTree();
    if (directory_) directory_->ReleaseTree();
  } catch (...) {
    // Closing cannot report; what could not be written is lost.
  }
  tags_.FreeAll();
  directory_.reset();
}

void GSobjCDXFile::LoadTags() {
  std::string own = OwnName();
  directory_ = std::make_unique<GSobjCDXTag>(this, 0, own, true);
  if (!directory_->HeaderOk()) return;
  directory_->SetOptions(kCdxOptionsDirectory);
  next_free_ = RoundUpToNode(known_size_);
  directory_->LoadTree(0);
  uint64_t limit = uint64_t(known_size_ / kCdxBlockSize + 1) * kCdxMaxLeafKeys;
  uint64_t seen = 0;
  try {
    while (directory_->Root() && !directory_->Eof()) {
      if (++seen > limit) {
        SetHeaderError("Index file " + file_name_ + ": the tag directory never ends");
        break;
      }
      const GSobjIndexKeyData& k = directory_->CurrentKey();
      std::string name = TagKeyName(k.Value.AsText());
      auto tag = std::make_unique<GSobjCDXTag>(this, k.TreePointer, name, false);
      if (!tag->HeaderOk()) break;
      AddToList(tag.release());
      directory_->Navigate(kNavNext);
    }
  } catch (...) {
    directory_->ReleaseTree();
    throw;
  }
  directory_->ReleaseTree();
}

void GSobjCDXFile::CreateNew() {
  next_free_ = 0;
  directory_ = std::make_unique<GSobjCDXTag>(this, -1, OwnName(), true);
  directory_->SetOptions(kCdxOptionsDirectory);
  directory_->CreateTag(OwnName(), "", false, true, "");
  disk_->WritePending();
}

std::string GSobjCDXFile::TagKeyName(const std::string& name) const {
  std::string s = name;
  size_t b = s.find_first_not_of(' ');
  s = b == std::string::npos ? std::string() : s.substr(b);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  for (char& c : s) c = char(platform::AnsiUpperChar(uint8_t(c)));
  if (s.size() > size_t(kCdxMaxTagNameLength)) s.resize(kCdxMaxTagNameLength);
  return s;
}

GSobjCDXTag* GSobjCDXFile::FindExact(const std::string& key_name) const {
  GSobjCDXTag* found = nullptr;
  for (int i = 0; i < TagCount(); ++i)
    if (CdxTagAt(i)->TagName() == key_name) found = CdxTagAt(i);
  return found;
}

void GSobjCDXFile::DirectoryInsert(const std::string& key_name, int32_t header_position) {
  GSobjIndexKeyData k;
  k.Value.SetText(key_name);
  k.RecordNumber = k.TreePointer = header_position;
  directory_->InsertKey(k);
  directory_->ReleaseTree();
}

bool GSobjCDXFile::AddTag(const std::string& name, const std::string& key_expression, bool unique,
                          bool ascending, const std::string& for_expression) {
  tag_problem_.clear();
  if (!directory_ || !valid_) {
    tag_problem_ = ErrorText().empty() ? "the index file is not usable" : ErrorText();
    return false;
  }
  // A name is stored in the directory as it is: longer names and blanks are refused,
  // not cut (a cut name would not find the tag again).
  std::string key_name = TagKeyName(name);
  if (key_name.empty()) {
    tag_problem_ = "a tag needs a name";
    return false;
  }
  size_t first = name.find_first_not_of(' '), last = name.find_last_not_of(' ');
  if (last - first + 1 > size_t(kCdxMaxTagNameLength)) {
    tag_problem_ = "a tag name has at most " + std::to_string(kCdxMaxTagNameLength) + " characters";
    return false;
  }
  if (key_name.find(' ') != std::string::npos) {
    tag_problem_ = "a tag name has no blanks";
    return false;
  }
  int32_t allocation_end = next_free_;
  auto tag = std::make_unique<GSobjCDXTag>(this, -1, key_name, false);
  tag->SetCollation(1);
  // A tag that cannot be built leaves the file as it was: its header is not
  // written and its blocks are given back when nothing came after them.
  auto give_back = [&] {
    tag->DiscardHeader();
    if (next_free_ == tag->HeaderPosition() + kCdxHeaderSize && allocation_end >= 0)
      next_free_ = tag->HeaderPosition();
  };
  int result;
  try {
    result = tag->CreateTag(key_name, key_expression, unique, ascending, for_expression);
  } catch (...) {
    give_back();
    throw;
  }
  if (result != 0) {
    tag_problem_ = tag->HeaderProblem();
    give_back();
    return false;
  }
  if (GSobjCDXTag* old = FindExact(key_name)) {
    GSobjIndexKeyData k;
    k.Value.SetText(key_name);
    k.RecordNumber = k.TreePointer = old->HeaderPosition();
    directory_->DeleteKey(k);
    RemoveFromList(old);
  }
  int32_t position = tag->HeaderPosition();
  AddToList(tag.release());
  DirectoryInsert(key_name, position);
  disk_->WritePending();
  return true;
}

bool GSobjCDXFile::DeleteTag(const std::string& name) {
  if (!directory_ || TagCount() == 0) return false;
  GSobjCDXTag* tag = FindExact(TagKeyName(name));
  if (!tag) return false;
  GSobjIndexKeyData k;
  k.Value.SetText(tag->TagName());
  k.RecordNumber = k.TreePointer = tag->HeaderPosition();
  directory_->DeleteKey(k);
  RemoveFromList(tag);
  if (TagCount() == 0) RebuildAll();
  disk_->WritePending();
  return true;
}

int32_t GSobjCDXFile::AllocatePage() {
  if (next_free_ < 0) ResetAllocator();
  if (int64_t(next_free_) + kCdxBlockSize > 0x7FFFFFFF)
    ReportError(kErrNumberTooLarge, kSubNone,
                ("Index file " + file_name_ + " cannot grow beyond 2 GB").c_str());
  int32_t page = next_free_;
  next_free_ += kCdxBlockSize;
  return page;
}

int32_t GSobjCDXFile::ResetAllocator() {
  known_size_ = disk_ ? disk_->FileSize() : 0;
  next_free_ = RoundUpToNode(known_size_);
  return next_free_;
}

bool GSobjCDXFile::ReadBlock(int32_t position, void* buffer, int32_t length) {
  return GSobjIndexFile::ReadBlock(position, buffer, length);
}

bool GSobjCDXFile::WriteBlock(int32_t position, const void* buffer, int32_t length) {
  return GSobjIndexFile::WriteBlock(position, buffer, length);
}

void GSobjCDXFile::RebuildAll() {
  if (!disk_ || !directory_) return;
  // A tag whose stored key no index can hold is refused before the file is
  // touched, as a new tag of that key would be.
  for (int i = 0; i < TagCount(); ++i) {
    std::string why = CdxTagAt(i)->RebuildProblem();
    if (!why.empty())
      throw EDevazozError("Cannot rebuild tag " + CdxTagAt(i)->TagName() + " of " + ShownPath() +
                          ": " + why + "; the tags are kept as they were");
  }
  std::vector<int32_t> headers;
  for (int i = 0; i < TagCount(); ++i) headers.push_back(CdxTagAt(i)->HeaderPosition());
  RewriteWhole(
      [&] {
        try {
          WriteRebuilt();
        } catch (...) {
          try {
            directory_->ReleaseTree();
          } catch (...) {
          }
          throw;
        }
      },
      [this, headers] {
        next_free_ = RoundUpToNode(known_size_);
        directory_->ReadHeader();
        for (int i = 0; i < TagCount(); ++i) {
          CdxTagAt(i)->SetHeaderPosition(headers[size_t(i)]);
          if (!CdxTagAt(i)->ReadHeader()) SetHeaderError(CdxTagAt(i)->HeaderProblem());
        }
      });
}

void GSobjCDXFile::WriteRebuilt() {
  disk_->LockWholeFile();
  struct Unlock {
    GSO_DiskFile* disk;
    ~Unlock() { disk->UnlockRegion(); }
  } unlock{disk_.get()};
  directory_->ReleaseTree();
  for (int i = 0; i < TagCount(); ++i) TagAt(i)->ReleaseTree();
  disk_->Truncate(kCdxNewFileSize);
  DropNodeCache();
  known_size_ = kCdxNewFileSize;
  next_free_ = kCdxHeaderSize;
  directory_->SetChangeCounter(0);
  directory_->WriteEmptyRoot();
  directory_->WriteHeader();
  // Every tag is listed, with an empty tree, before any is built: a build that fails
  // or is cut off leaves every tag in the file, which check reports (records without
  // keys) and a second rebuild repairs.
  for (int i = 0; i < TagCount(); ++i) {
    GSobjCDXTag* tag = CdxTagAt(i);
    int32_t header = AllocatePage();
    AllocatePage();
    tag->SetHeaderPosition(header);
    tag->SetChangeCounter(0);
    tag->WriteEmptyRoot();
    tag->SetHeaderChanged();
    tag->WriteHeader();
    DirectoryInsert(tag->TagName(), header);
  }
  directory_->ReleaseTree();
  disk_->WritePending();
  std::vector<GSobjCDXTag*> tags;
  for (int i = 0; i < TagCount(); ++i) tags.push_back(CdxTagAt(i));
  BuildCdxTags(tags);
  disk_->WritePending();
}

bool GSobjCDXFile::UpdateKeys(int32_t record_number, bool is_append) {
  RefuseWriteIfDamaged();
  if (directory_) {
    directory_->SetChangeCounter(directory_->ChangeCounter() + 1);
    directory_->SetHeaderChanged();
  }
  bool result = GSobjIndexFile::UpdateKeys(record_number, is_append);
  // Other programs compare the counter; an exclusive file writes it at close.
  if (directory_ && disk_ && disk_->Shared()) directory_->WriteHeader();
  return result;
}

bool GSobjCDXFile::ChangedByOther() {
  if (!disk_ || !disk_->Shared() || !directory_) return false;
  uint8_t b[4];
  if (!ReadBlock(8, b, 4)) return false;
  return ByteView(b, 4).U32LE(0) != directory_->ChangeCounter();
}

}  // namespace devazoz
