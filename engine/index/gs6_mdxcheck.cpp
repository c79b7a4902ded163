#include "engine/index/gs6_mdxcheck.h"

#include <map>
#include <set>
#include <string>
#include <utility>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_indxcheck.h"
#include "engine/index/gs6_mdx.h"
#include "engine/index/gs6_mdxnode.h"
#include "engine/index/gs6_mdxtag.h"
#include "engine/table/gs6_dbfld.h"
#include "platform/services/exception.h"

namespace devazoz {

namespace {

using Key = IndexCheckKey;

class MdxTreeCheck {
 public:
  MdxTreeCheck(GSobjMDXFile& file, GSobjMDXTag& tag, std::vector<std::string>& problems)
      : file_(file), tag_(tag), problems_(problems), shape_(tag.Shape()) {
    size_ = file.KnownEnd(true);
    page_.resize(size_t(shape_.page_size));
  }

  void Run() {
    std::string last;
    Visit(tag_.ReadRootPointer(), 0, &last);
  }

  const std::vector<Key>& Keys() const { return keys_; }

 private:
  void Problem(const std::string& text) {
    if (problems_.size() < 1000) problems_.push_back(tag_.TagName() + ": " + text);
  }

  // The keys' order: negative when a comes first.
  int Compare(const std::string& a, const std::string& b) const {
    int c = tag_.CompareKeys(reinterpret_cast<const uint8_t*>(a.data()), uint32_t(a.size()),
                             reinterpret_cast<const uint8_t*>(b.data()), uint32_t(b.size()), -1);
    return shape_.descending ? -c : c;
  }

  void Visit(int32_t page, int depth, std::string* highest) {
    std::string at = "page at block " + std::to_string(page / kMdxBlockSize) + ": ";
    if (depth >= kMaxTreeDepth) return Problem(at + "tree deeper than 64 levels");
    if (page < file_.HeaderLength() || page % kMdxBlockSize != 0 ||
        int64_t(page) + shape_.page_size > size_)
      return Problem(at + "not a page inside the file");
    if (!visited_.insert(page).second) return Problem(at + "reached more than once");
    NodeData d;
    std::string why;
    if (!file_.ReadBlock(page, page_.data(), shape_.page_size) ||
        !DecodeMdxPage(ByteView(page_.data(), page_.size()), shape_, d, &why))
      return Problem(at + (why.empty() ? "cannot be read" : why));
    size_t stored = d.leaf ? d.entries.size() : d.entries.size() - 1;
    if (stored > tag_.MaxInteriorKeys())
      Problem(at + std::to_string(stored) + " keys, more than the tag's maximum of " +
              std::to_string(tag_.MaxInteriorKeys()));
    if (d.leaf) {
      if (leaf_depth_ < 0)
        leaf_depth_ = depth;
      else if (leaf_depth_ != depth)
        Problem(at + "leaf at another depth than the others");
      if (d.entries.empty() && depth > 0) Problem(at + "empty leaf reached from its parent");
      for (size_t i = 0; i < d.entries.size(); ++i) {
        Key k{IndexCheckKeyBytes(d, i), d.entries[i].pointer};
        if (!keys_.empty() && Compare(keys_.back().first, k.first) > 0)
          Problem(at + "key " + std::to_string(i) + " (record " + std::to_string(k.second) +
                  ") out of order");
        keys_.push_back(k);
        if (keys_.size() > size_t(size_ / kMdxBlockSize + 1) * 256)
          return Problem(at + "more keys than the file can hold");
      }
      if (!d.entries.empty()) *highest = IndexCheckKeyBytes(d, d.entries.size() - 1);
      return;
    }
    for (size_t i = 0; i < d.entries.size(); ++i) {
      std::string child_highest;
      size_t before = keys_.size();
      Visit(d.entries[i].pointer, depth + 1, &child_highest);
      bool separator = i + 1 < d.entries.size();
      if (separator && keys_.size() > before &&
          Compare(child_highest, IndexCheckKeyBytes(d, i)) != 0)
        Problem(at + "separator " + std::to_string(i) +
                " differs from the highest key of its subtree");
      if (i + 1 == d.entries.size()) *highest = child_highest;
    }
  }

  GSobjMDXFile& file_;
  GSobjMDXTag& tag_;
  std::vector<std::string>& problems_;
  MdxKeyShape shape_;
  int64_t size_ = 0;
  std::vector<uint8_t> page_;
  std::set<int32_t> visited_;
  int leaf_depth_ = -1;
  std::vector<Key> keys_;
};

}  // namespace

std::vector<std::string> CheckMdxTag(GSobjMDXFile& file, GSobjMDXTag& tag, bool against_table) {
  std::vector<std::string> problems;
  try {
    tag.ReleaseTree();
    MdxTreeCheck check(file, tag, problems);
    check.Run();
    if (against_table) CheckKeysAgainstTable(tag, check.Keys(), problems);
  } catch (const platform::Exception& e) {
    problems.push_back(tag.TagName() + ": " + e.what());
  }
  return problems;
}

namespace {

// What the tag table and the tag headers say that no tree shows: two tags on one
// header, and a header that leaves a page mostly empty.
void CheckTagTable(GSobjMDXFile& file, std::vector<std::string>& problems) {
  std::map<int32_t, std::string> headers;  // header position -> first tag on it
  for (int i = 0; i < file.TagCount(); ++i) {
    GSobjMDXTag& tag = *file.MdxTagAt(i);
    auto [it, fresh] = headers.emplace(tag.HeaderPosition(), tag.TagName());
    if (!fresh)
      problems.push_back(
          tag.TagName() + ": " +
          GSobjMDXFile::SharedHeaderText(it->second, tag.TagName(), tag.HeaderBlock()));
    int room = MdxMaxKeys(file.PageSize(), tag.EntrySize());
    if (tag.HeaderMaxKeys() < 2 || tag.HeaderMaxKeys() < room / 2)
      problems.push_back(tag.TagName() + ": the tag header allows " +
                         std::to_string(tag.HeaderMaxKeys()) + " keys per page, where a page " +
                         "holds " + std::to_string(room));
  }
}

}  // namespace

std::vector<std::string> CheckMdxFile(GSobjMDXFile& file) {
  std::vector<std::string> problems;
  if (!file.Valid())
    problems.push_back(file.ErrorText().empty() ? "index file not valid" : file.ErrorText());
  CheckTagTable(file, problems);
  for (int i = 0; i < file.TagCount(); ++i) {
    std::vector<std::string> p = CheckMdxTag(file, *file.MdxTagAt(i), true);
    problems.insert(problems.end(), p.begin(), p.end());
  }
  return problems;
}

}  // namespace devazoz
