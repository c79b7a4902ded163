#include "engine/index/gs6_mdx.h"

#include <algorithm>
#include <string>
#include <vector>

#include "engine/foundation/gs6_Date.h"
#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/table/gs6_dbfld.h"
#include "platform/services/codepage.h"

namespace devazoz {

namespace {

void PutDate(ByteSpan header, size_t at) {
  int year = 0, month = 0, day = 0;
  DBFDate().DayToParts(DBFDate().Today(), year, month, day);
  header.PutU8(at, uint8_t(year % 100));
  header.PutU8(at + 1, uint8_t(month));
  header.PutU8(at + 2, uint8_t(day));
}

void PutName(ByteSpan header, const std::string& name) {
  header.Fill(4, 9, 0);
  header.PutBytes(4, name.data(), std::min<size_t>(name.size(), 8));
}

}  // namespace

// Opens the file (default extension ".MDX"). An existing file is read: the
// header, then one tag per tag table entry, until the first header that cannot
// be read. A new or empty file gets a header with no tags (2048 bytes).
GSobjMDXFile::GSobjMDXFile(GSO_dBaseFld* table, const std::string& file_name, bool overwrite,
                           bool create, bool read_write, bool shared)
    : GSobjIndexFile(table) {
  record_in_key_ = false;
  node_size_ = kMdxBlockSize;
  if (!OpenDisk(file_name, overwrite, create, read_write, shared, ".MDX")) return;
  if (known_size_ > 0) {
    LoadHeader();
  } else if (disk_->ReadWrite()) {
    CreateOrRemove([this] { CreateNew(); });
  } else {
    valid_ = false;
    error_text_ = "Index file " + file_name_ + " is empty";
  }
  if (valid_) MarkProductionIndex();
}

GSobjMDXFile::~GSobjMDXFile() {
  try {
    for (int i = 0; i < TagCount(); ++i) TagAt(i)->ReleaseTree();
    if (header_changed_ && valid_) WriteFileHeader();
    if (disk_) disk_->WritePending();
  } catch (...) {
    // Closing cannot report; what could not be written is lost.
  }
  tags_.FreeAll();
}

void GSobjMDXFile::LoadHeader() {
  auto invalid = [&](const std::string& why) {
    SetHeaderError("Index file " + file_name_ + ": " + why);
  };
  header_.assign(size_t(kMdxTagTableAt), 0);
  if (!ReadBlock(0, header_.data(), kMdxTagTableAt)) return invalid("the header is short");
  ByteView v(header_.data(), header_.size());
  blocks_per_page_ = v.U16LE(20);
  page_size_ = v.U16LE(22);
  int entry_length = v.U16LE(26);
  if (blocks_per_page_ < 1 || blocks_per_page_ > 32 ||
      page_size_ != blocks_per_page_ * kMdxBlockSize)
    return invalid("pages of " + std::to_string(blocks_per_page_) + " blocks and " +
                   std::to_string(page_size_) + " bytes");
  if (entry_length != kMdxTagEntryLength)
    return invalid("tag table entries of " + std::to_string(entry_length) + " bytes");
  header_length_ = blocks_per_page_ * page_size_;
  first_node_ = header_length_;
  header_.assign(size_t(header_length_), 0);
  if (!ReadBlock(0, header_.data(), header_length_)) return invalid("the header is short");
  v = ByteView(header_.data(), header_.size());
  int count = v.U16LE(28);
  if (count > MaxTags())
    return invalid(std::to_string(count) + " tags, more than the tag table holds");
  next_free_ = RoundUpToNode(known_size_);
  for (int j = 1; j <= count; ++j) {
    size_t at = size_t(kMdxTagTableAt + kMdxTagEntryLength * j);
    uint32_t block = v.U32LE(at);
    std::string name;
    for (size_t i = 0; i <= size_t(kMdxMaxTagNameLength) && v.U8(at + 4 + i) != 0; ++i)
      name += char(v.U8(at + 4 + i));
    while (!name.empty() && name.back() == ' ') name.pop_back();
    if (block > uint32_t(0x7FFFFFFF / kMdxBlockSize)) {
      invalid("tag " + name + " has its header at block " + std::to_string(block));
      return;
    }
    auto tag = std::make_unique<GSobjMDXTag>(this, int32_t(block), name);
    if (!tag->HeaderOk()) return;
    // Two tags on one header would be one tree kept twice: each key would go in
    // once per tag. The file is read as it is, but not written until rebuilt.
    for (int i = 0; i < TagCount(); ++i)
      if (TagAt(i)->HeaderPosition() == tag->HeaderPosition())
        MarkDamaged(SharedHeaderText(TagAt(i)->TagName(), name, int32_t(block)));
    AddToList(tag.release());
  }
}

std::string GSobjMDXFile::SharedHeaderText(const std::string& first, const std::string& second,
                                           int32_t block) {
  return "tags " + first + " and " + second + " share the tag header at block " +
         std::to_string(block) + ", so " + second + " is a copy of " + first;
}

void GSobjMDXFile::CreateNew() {
  header_.assign(size_t(kMdxNewHeaderLength), 0);
  ByteSpan h(header_.data(), header_.size());
  h.PutU8(0, 2);
  PutDate(h, 1);
  PutName(h, UpperBaseName(table_ ? table_->FileName() : file_name_));
  h.PutU16LE(20, 2);
  h.PutU16LE(22, kMdxNewPageSize);
  h.PutU8(24, 1);
  h.PutU8(25, 48);
  h.PutU16LE(26, kMdxTagEntryLength);
  PutDate(h, 44);
  page_size_ = kMdxNewPageSize;
  blocks_per_page_ = 2;
  header_length_ = kMdxNewHeaderLength;
  first_node_ = header_length_;
  next_free_ = header_length_;
  WriteFileHeader();
  disk_->WritePending();
}

std::string GSobjMDXFile::TagKeyName(const std::string& name) {
  std::string s = name;
  size_t b = s.find_first_not_of(' ');
  s = b == std::string::npos ? std::string() : s.substr(b);
  while (!s.empty() && s.back() == ' ') s.pop_back();
  for (char& c : s) c = char(platform::AnsiUpperChar(uint8_t(c)));
  if (s.size() > size_t(kMdxMaxTagNameLength)) s.resize(kMdxMaxTagNameLength);
  return s;
}

GSobjMDXTag* GSobjMDXFile::FindExact(const std::string& key_name) const {
  for (int i = 0; i < TagCount(); ++i)
    if (MdxTagAt(i)->TagName() == key_name) return MdxTagAt(i);
  return nullptr;
}

void GSobjMDXFile::WriteFileHeader() {
  header_.resize(size_t(header_length_), 0);
  ByteSpan h(header_.data(), header_.size());
  PutDate(h, 1);
  h.PutU16LE(28, uint16_t(TagCount()));
  // Another program sharing the file may have allocated beyond what this one knows.
  if (next_free_ < 0 || disk_->Shared())
    next_free_ = std::max(next_free_, RoundUpToNode(disk_->FileSize()));
  h.PutU32LE(32, uint32_t(next_free_ / kMdxBlockSize));
  // The entry at 512 leads to entry 1; entry j - 1 holds j.
  h.PutU8(kMdxTagTableAt + 17, TagCount() > 0 ? 1 : 0);
  size_t end = size_t(header_length_);
  for (int j = 1; size_t(kMdxTagTableAt + kMdxTagEntryLength * (j + 1)) <= end; ++j) {
    size_t at = size_t(kMdxTagTableAt + kMdxTagEntryLength * j);
    h.Fill(at, kMdxTagEntryLength, 0);
    if (j > TagCount()) continue;
    GSobjMDXTag* tag = MdxTagAt(j - 1);
    h.PutU32LE(at, uint32_t(tag->HeaderBlock()));
    const std::string& name = tag->TagName();
    h.PutBytes(at + 4, name.data(), std::min<size_t>(name.size(), kMdxMaxTagNameLength));
    h.PutU8(at + 17, uint8_t(j < TagCount() ? j + 1 : 0));
    h.PutU8(at + 19, 2);
    h.PutU8(at + 20, uint8_t(tag->KeyType()));
  }
  // The tag headers and pages the table points to reach the disk first.
  WriteBlockInOrder(0, header_.data(), header_length_);
  header_changed_ = false;
}

bool GSobjMDXFile::AddTag(const std::string& name, const std::string& key_expression, bool unique,
                          bool ascending, const std::string& for_expression) {
  tag_problem_.clear();
  if (!valid_ || !disk_) {
    tag_problem_ = ErrorText().empty() ? "the index file is not usable" : ErrorText();
    return false;
  }
  std::string key_name = TagKeyName(name);
  if (key_name.empty()) {
    tag_problem_ = "a tag needs a name";
    return false;
  }
  GSobjMDXTag* old = FindExact(key_name);
  if (!old && TagCount() >= MaxTags()) {
    ReportError(
        kErrInvalidParameter, kSubNone,
        ("Index file " + file_name_ + " lists at most " + std::to_string(MaxTags()) + " tags")
            .c_str());
    return false;
  }
  int32_t allocation_end = next_free_;
  auto tag = std::make_unique<GSobjMDXTag>(this, -1, key_name);
  // A tag that cannot be built leaves the file as it was: its header is not
  // written and its page is given back when nothing came after it.
  auto give_back = [&] {
    tag->DiscardHeader();
    if (next_free_ == tag->HeaderPosition() + page_size_ && allocation_end >= 0)
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
    tag_problem_ = tag->BuildProblem();
    give_back();
    return false;
  }
  if (old) RemoveFromList(old);
  AddToList(tag.release());
  header_changed_ = true;
  WriteFileHeader();
  disk_->WritePending();
  return true;
}

bool GSobjMDXFile::DeleteTag(const std::string& name) {
  if (!valid_ || TagCount() == 0) return false;
  GSobjMDXTag* tag = FindExact(TagKeyName(name));
  if (!tag) return false;
  RemoveFromList(tag);
  header_changed_ = true;
  if (TagCount() == 0)
    RebuildAll();
  else
    WriteFileHeader();
  disk_->WritePending();
  return true;
}

int32_t GSobjMDXFile::AllocatePage() {
  if (next_free_ < 0) ResetAllocator();
  if (int64_t(next_free_) + page_size_ > 0x7FFFFFFF)
    ReportError(kErrNumberTooLarge, kSubNone,
                ("Index file " + file_name_ + " cannot grow beyond 2 GB").c_str());
  int32_t page = next_free_;
  next_free_ += page_size_;
  header_changed_ = true;
  return page;
}

int32_t GSobjMDXFile::ResetAllocator() {
  known_size_ = disk_ ? disk_->FileSize() : 0;
  next_free_ = std::max<int32_t>(RoundUpToNode(known_size_), header_length_);
  return next_free_;
}

void GSobjMDXFile::RebuildAll() {
  if (!disk_ || !valid_) return;
  // Every tag is built again from its own definition, as a new tag would be
  // (sizes and keys per page from the key and the page size, whatever the
  // header said). A tag that cannot be built (a key that cannot be evaluated
  // or is too long, a FOR condition that gives no logical value) is refused
  // before the file is touched, and the old tags stay; a tag object of its own
  // tries each definition, so the tags in use keep their state.
  for (int i = 0; i < TagCount(); ++i) {
    GSobjMDXTag* tag = MdxTagAt(i);
    GSobjMDXTag probe(this, tag->TagName(), GSobjMDXTag::DefinitionOnly{});
    if (probe.DefineTag(tag->TagName(), tag->KeyExpression(), tag->Unique(), tag->Ascending(),
                        tag->ForExpression()) != 0)
      throw EDevazozError("Cannot rebuild tag " + tag->TagName() + " of " + ShownPath() + ": " +
                          probe.BuildProblem() + "; the tags are kept as they were");
  }
  std::vector<uint8_t> header = header_;
  bool header_changed = header_changed_;
  std::vector<int32_t> positions;
  for (int i = 0; i < TagCount(); ++i) positions.push_back(TagAt(i)->HeaderPosition());
  RewriteWhole([&] { WriteRebuilt(); },
               [this, header, header_changed, positions] {
                 header_ = header;
                 header_changed_ = header_changed;
                 next_free_ = RoundUpToNode(known_size_);
                 for (int i = 0; i < TagCount(); ++i) {
                   MdxTagAt(i)->MoveHeader(positions[size_t(i)]);
                   if (!MdxTagAt(i)->ReadHeader()) SetHeaderError(MdxTagAt(i)->HeaderProblem());
                 }
               });
}

void GSobjMDXFile::WriteRebuilt() {
  disk_->LockWholeFile();
  struct Unlock {
    GSO_DiskFile* disk;
    ~Unlock() { disk->UnlockRegion(); }
  } unlock{disk_.get()};
  for (int i = 0; i < TagCount(); ++i) TagAt(i)->ReleaseTree();
  disk_->Truncate(header_length_);
  DropNodeCache();
  known_size_ = header_length_;
  next_free_ = header_length_;
  for (int i = 0; i < TagCount(); ++i) {
    GSobjMDXTag* tag = MdxTagAt(i);
    // Each tag gets a header page of its own, also where the tag table had two
    // tags share one.
    tag->MoveHeader(AllocatePage());
    std::string name = tag->TagName(), key = tag->KeyExpression(), condition = tag->ForExpression();
    if (tag->CreateTag(name, key, tag->Unique(), tag->Ascending(), condition) != 0)
      throw EDevazozError("Cannot rebuild tag " + name + " of " + ShownPath() + ": " +
                          tag->BuildProblem() + "; the tags are kept as they were");
  }
  header_changed_ = true;
  WriteFileHeader();
  disk_->WritePending();
}

bool GSobjMDXFile::RenameExtension(const std::string& new_name) {
  if (!GSobjIndexFile::RenameExtension(new_name)) return false;
  if (!valid_) return true;
  PutName(ByteSpan(header_.data(), header_.size()), UpperBaseName(new_name));
  header_changed_ = true;
  WriteFileHeader();
  return true;
}

}  // namespace devazoz
