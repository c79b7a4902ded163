#include "engine/index/gs6_indxcheck.h"

#include <deque>
#include <functional>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "engine/foundation/gs6_bytes.h"
#include "engine/index/gs6_ndx.h"
#include "engine/index/gs6_ntx.h"
#include "engine/table/gs6_dbfld.h"
#include "platform/services/exception.h"

namespace devazoz {

namespace {

using Key = IndexCheckKey;

// Reads the page at a position into out; false with *why when it cannot.
using PageReader = std::function<bool(int32_t position, NodeData& out, std::string* why)>;

class PageTreeCheck {
 public:
  PageTreeCheck(GSobjIndexTag& tag, int32_t page_size, bool interior_keys_are_entries,
                PageReader read, std::vector<std::string>& problems)
      : tag_(tag),
        page_size_(page_size),
        entries_inside_(interior_keys_are_entries),
        read_(std::move(read)),
        problems_(problems) {
    size_ = tag.File()->KnownEnd(true);
  }

  void Run(int32_t root) { Visit(root, 0); }
  const std::vector<Key>& Keys() const { return keys_; }

 private:
  void Problem(const std::string& text) {
    if (problems_.size() < 1000) problems_.push_back(tag_.TagName() + ": " + text);
  }

  int Compare(const std::string& a, const std::string& b) const {
    return tag_.CompareKeys(reinterpret_cast<const uint8_t*>(a.data()), uint32_t(a.size()),
                            reinterpret_cast<const uint8_t*>(b.data()), uint32_t(b.size()), -1);
  }

  void Emit(const Key& k, const std::string& at) {
    if (!keys_.empty() && Compare(keys_.back().first, k.first) > 0)
      Problem(at + "key of record " + std::to_string(k.second) + " out of order");
    keys_.push_back(k);
  }

  // Visits the subtree; returns false when it could not be read.
  void Visit(int32_t page, int depth) {
    std::string at = "page " + std::to_string(page) + ": ";
    if (depth >= kMaxTreeDepth) return Problem(at + "tree deeper than 64 levels");
    if (page < page_size_ || page % page_size_ != 0 || int64_t(page) + page_size_ > size_)
      return Problem(at + "not a page position inside the file");
    if (!visited_.insert(page).second) return Problem(at + "reached more than once");
    NodeData d;
    std::string why;
    if (!read_(page, d, &why)) return Problem(at + why);
    if (d.leaf) {
      if (leaf_depth_ < 0)
        leaf_depth_ = depth;
      else if (leaf_depth_ != depth)
        Problem(at + "leaf at another depth than the others");
      for (size_t i = 0; i < d.entries.size(); ++i)
        Emit({IndexCheckKeyBytes(d, i), d.entries[i].record}, at);
      return;
    }
    for (size_t i = 0; i < d.entries.size(); ++i) {
      size_t before = keys_.size();
      Visit(d.entries[i].pointer, depth + 1);
      if (i + 1 == d.entries.size()) break;
      std::string separator = IndexCheckKeyBytes(d, i);
      if (entries_inside_) {
        Emit({separator, d.entries[i].record}, at);
      } else {
        if (keys_.size() > before && Compare(keys_.back().first, separator) > 0)
          Problem(at + "separator " + std::to_string(i + 1) + " below a key on its left");
        separators_.push_back({keys_.size(), separator});
      }
    }
    if (!entries_inside_) CheckSeparators();
  }

  // A separator must not be above the first key that follows it.
  void CheckSeparators() {
    while (!separators_.empty() && separators_.front().first < keys_.size()) {
      const auto& s = separators_.front();
      if (Compare(s.second, keys_[s.first].first) > 0)
        Problem("separator above the key of record " + std::to_string(keys_[s.first].second) +
                " on its right");
      separators_.pop_front();
    }
  }

  GSobjIndexTag& tag_;
  int32_t page_size_;
  bool entries_inside_;
  PageReader read_;
  std::vector<std::string>& problems_;
  int64_t size_ = 0;
  std::set<int32_t> visited_;
  int leaf_depth_ = -1;
  std::vector<Key> keys_;
  std::deque<std::pair<size_t, std::string>> separators_;
};

std::vector<std::string> Invalid(const GSobjIndexFile& file) {
  return {file.ErrorText().empty() ? "index file not valid" : file.ErrorText()};
}

}  // namespace

std::string IndexCheckKeyBytes(const NodeData& d, size_t i) {
  const NodeEntry& e = d.entries[i];
  return std::string(reinterpret_cast<const char*>(d.pool.data() + e.offset), e.length);
}

void CheckKeysAgainstTable(GSobjIndexTag& tag, const std::vector<IndexCheckKey>& keys,
                           std::vector<std::string>& problems) {
  GSO_dBaseFld* table = tag.Table();
  if (!table) return;
  auto problem = [&](const std::string& text) {
    if (problems.size() < 1000) problems.push_back(tag.TagName() + ": " + text);
  };
  std::map<int32_t, std::string> expected;  // record -> key
  int32_t count = table->RecordCount();
  int32_t saved = table->RecordNumber();
  std::set<int32_t> unevaluated;  // records whose key cannot be evaluated
  GSobjIndexKeyData k;
  bool for_told = false;
  table->StatusUpdate(-1, 3, count);
  for (int32_t rec = 1; rec <= count; ++rec) {
    table->ReadRecord(rec);
    table->StatusUpdate(3, rec, 0);
    if (tag.HasFor() && !tag.EvaluateFor()) {
      // Said once: such a condition lets no record through, whatever the record.
      if (tag.ForResultType() != kExpLogic && !for_told) {
        problem("the FOR condition does not give a logical value: " + tag.ForExpression() +
                " (record " + std::to_string(rec) + ")");
        for_told = true;
      }
      continue;
    }
    bool ok = false;
    tag.EvaluateKey(k, ok);
    if (!ok) {
      problem("record " + std::to_string(rec) + ": key cannot be evaluated");
      unevaluated.insert(rec);
      continue;
    }
    tag.NormalizeKey(k);
    expected[rec] = std::string(reinterpret_cast<const char*>(k.Value.Data()), k.Value.Length());
  }
  table->StatusUpdate(0, 0, 0);
  if (saved >= 1 && saved <= count) table->ReadRecord(saved);
  std::map<int32_t, int> seen;
  for (const IndexCheckKey& key : keys) {
    auto it = expected.find(key.second);
    if (it == expected.end()) {
      const int32_t rec = key.second;
      if (rec < 1 || rec > count)
        problem("key for record " + std::to_string(rec) + ", but the table has " +
                std::to_string(count) + " records");
      else if (unevaluated.count(rec))
        problem("key for record " + std::to_string(rec) + ", whose key cannot be evaluated");
      else
        problem("key for record " + std::to_string(rec) +
                ", which does not pass the FOR condition");
      continue;
    }
    if (it->second != key.first)
      problem("key of record " + std::to_string(key.second) + " differs from its evaluated key");
    if (++seen[key.second] == 2) problem("record " + std::to_string(key.second) + " has two keys");
  }
  if (tag.Unique()) {
    std::set<std::string> values, indexed;
    for (const auto& [rec, key] : expected) values.insert(key);
    for (const IndexCheckKey& key : keys)
      if (!indexed.insert(key.first).second) problem("unique key value indexed twice");
    for (const std::string& v : values)
      if (!indexed.count(v)) problem("a key value of the table is missing");
  } else {
    for (const auto& [rec, key] : expected)
      if (!seen.count(rec)) problem("record " + std::to_string(rec) + " has no key");
  }
}

std::vector<std::string> CheckNtxFile(GSobjNTXFile& file) {
  if (!file.Valid() || !file.Tag()) return Invalid(file);
  std::vector<std::string> problems;
  GSobjNTXTag& tag = *file.Tag();
  try {
    tag.ReleaseTree();
    const NtxPageShape shape = tag.Shape();
    PageTreeCheck check(
        tag, kNtxPageSize, true,
        [&](int32_t page, NodeData& out, std::string* why) {
          uint8_t block[kNtxPageSize];
          if (!file.ReadBlock(page, block, kNtxPageSize)) {
            *why = "cannot be read";
            return false;
          }
          return DecodeNtxPage(ByteView(block, kNtxPageSize), shape, out, why);
        },
        problems);
    check.Run(tag.ReadRootPointer());
    CheckKeysAgainstTable(tag, check.Keys(), problems);
  } catch (const platform::Exception& e) {
    problems.push_back(tag.TagName() + ": " + e.what());
  }
  return problems;
}

std::vector<std::string> CheckNdxFile(GSobjNDXFile& file) {
  if (!file.Valid() || !file.Tag()) return Invalid(file);
  std::vector<std::string> problems;
  GSobjNDXTag& tag = *file.Tag();
  try {
    tag.ReleaseTree();
    const NdxBlockShape shape = tag.Shape();
    int64_t limit = file.KnownEnd(true) / kNdxBlockSize + 1;
    PageTreeCheck check(
        tag, kNdxBlockSize, false,
        [&](int32_t page, NodeData& out, std::string* why) {
          uint8_t block[kNdxBlockSize];
          if (!file.ReadBlock(page, block, kNdxBlockSize)) {
            *why = "cannot be read";
            return false;
          }
          return DecodeNdxBlock(ByteView(block, kNdxBlockSize), shape, "", limit, out, why);
        },
        problems);
    check.Run(tag.ReadRootPointer());
    CheckKeysAgainstTable(tag, check.Keys(), problems);
  } catch (const platform::Exception& e) {
    problems.push_back(tag.TagName() + ": " + e.what());
  }
  return problems;
}

}  // namespace devazoz
