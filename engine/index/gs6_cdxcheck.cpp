#include "engine/index/gs6_cdxcheck.h"

#include <algorithm>
#include <bit>
#include <map>
#include <set>
#include <string>
#include <utility>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_cdx.h"
#include "engine/index/gs6_cdxnode.h"
#include "engine/index/gs6_cdxtag.h"
#include "engine/index/gs6_indxcheck.h"
#include "engine/table/gs6_dbfld.h"
#include "platform/services/exception.h"

namespace devazoz {

namespace {

using Key = IndexCheckKey;

class CdxTreeCheck {
 public:
  CdxTreeCheck(GSobjCDXFile& file, GSobjCDXTag& tag, std::vector<std::string>& problems)
      : file_(file), tag_(tag), problems_(problems), shape_(tag.Shape()) {
    size_ = file.KnownEnd(true);
  }

  void Run() {
    int32_t root = tag_.ReadRootPointer();
    Key last;
    Visit(root, 0, true, &last);
    CheckChains();
  }

  const std::vector<Key>& Keys() const { return keys_; }

 private:
  void Problem(const std::string& text) {
    if (problems_.size() < 1000) problems_.push_back(tag_.TagName() + ": " + text);
  }

  int Compare(const Key& a, const Key& b) const {
    int c = tag_.CompareKeys(
        reinterpret_cast<const uint8_t*>(a.first.data()), uint32_t(a.first.size()),
        reinterpret_cast<const uint8_t*>(b.first.data()), uint32_t(b.first.size()), -1);
    if (c != 0) return c;
    return a.second < b.second ? -1 : (a.second > b.second ? 1 : 0);
  }

  bool ValidPosition(int32_t page) const {
    return page >= kCdxHeaderSize && page % kCdxBlockSize == 0 &&
           int64_t(page) + kCdxBlockSize <= size_;
  }

  bool Read(int32_t page, uint8_t* block, NodeData& d, std::string* problem) {
    if (!file_.ReadBlock(page, block, kCdxBlockSize)) {
      *problem = "cannot be read";
      return false;
    }
    return DecodeCdxNode(ByteView(block, kCdxBlockSize), shape_, d, problem);
  }

  void CheckLeaf(int32_t page, const uint8_t* block, const NodeData& d) {
    const LeafParams& p = d.params;
    std::string at = "leaf " + std::to_string(page) + ": ";
    unsigned n = unsigned(std::bit_width(unsigned(shape_.key_length)));
    if (p.dup_bits != n || p.trail_bits != n)
      Problem(at + "duplicate/trailing bits " + std::to_string(p.dup_bits) + "/" +
              std::to_string(p.trail_bits) + " instead of " + std::to_string(n));
    unsigned total = unsigned(p.record_bits) + p.dup_bits + p.trail_bits;
    if (total != 8u * p.bytes_per_entry && p.record_bits != 31)
      Problem(at + "bit counts do not fill entries of " + std::to_string(p.bytes_per_entry) +
              " bytes");
    ByteView area(block + kCdxLeafHead, kCdxKeyArea);
    int used = 0;
    const uint32_t L = uint32_t(shape_.key_length);
    for (size_t i = 0; i < d.entries.size(); ++i) {
      size_t e = i * p.bytes_per_entry;
      uint32_t w = area.U16LE(e + p.bytes_per_entry - 2);
      uint32_t trail = (w >> (16 - p.trail_bits)) & p.trail_mask;
      uint32_t dup = (w >> (16 - p.trail_bits - p.dup_bits)) & p.dup_mask;
      used += int(L - dup - trail) + p.bytes_per_entry;
      if (uint32_t(d.entries[i].record) > p.record_mask)
        Problem(at + "record " + std::to_string(d.entries[i].record) + " exceeds the mask");
    }
    if (p.free_bytes != kCdxKeyArea - used)
      Problem(at + "free bytes " + std::to_string(p.free_bytes) + " instead of " +
              std::to_string(kCdxKeyArea - used));
  }

  void Visit(int32_t page, int depth, bool is_root, Key* last) {
    std::string at = "node " + std::to_string(page) + ": ";
    if (depth >= kMaxTreeDepth) return Problem(at + "tree deeper than 64 levels");
    if (!ValidPosition(page)) return Problem(at + "not a node position inside the file");
    if (!visited_.insert(page).second) return Problem(at + "reached more than once");
    uint8_t block[kCdxBlockSize];
    NodeData d;
    std::string why;
    if (!Read(page, block, d, &why)) return Problem(at + why);
    uint16_t attributes = ByteView(block, kCdxBlockSize).U16LE(0);
    if (((attributes & 1) != 0) != is_root)
      Problem(at + (is_root ? "root without the root attribute" : "root attribute off the root"));
    if (is_root && (d.left != -1 || d.right != -1)) Problem(at + "root has siblings");
    if (levels_.size() <= size_t(depth)) levels_.resize(size_t(depth) + 1);
    levels_[size_t(depth)].push_back(page);
    nodes_[page] = {d.left, d.right, d.entries.size()};
    if (d.entries.empty() && !is_root) Problem(at + "empty node reached from its parent");
    if (d.leaf) {
      if (leaf_depth_ < 0)
        leaf_depth_ = depth;
      else if (leaf_depth_ != depth)
        Problem(at + "leaf at another depth than the others");
      CheckLeaf(page, block, d);
      for (size_t i = 0; i < d.entries.size(); ++i) {
        Key k{IndexCheckKeyBytes(d, i), d.entries[i].record};
        if (!keys_.empty() && Compare(keys_.back(), k) >= 0)
          Problem(at + "key " + std::to_string(i) + " (record " + std::to_string(k.second) +
                  ") out of order");
        keys_.push_back(k);
        if (keys_.size() > size_t(size_ / kCdxBlockSize + 1) * kCdxMaxLeafKeys)
          return Problem(at + "more keys than the file can hold");
      }
    } else {
      Key prev;
      for (size_t i = 0; i < d.entries.size(); ++i) {
        Key k{IndexCheckKeyBytes(d, i), d.entries[i].record};
        if (i > 0 && Compare(prev, k) >= 0)
          Problem(at + "interior entry " + std::to_string(i) + " out of order");
        Key child_last{"", -2};
        Visit(d.entries[i].pointer, depth + 1, false, &child_last);
        if (child_last.second != -2 && Compare(child_last, k) != 0)
          Problem(at + "entry " + std::to_string(i) + " differs from the highest key of child " +
                  std::to_string(d.entries[i].pointer));
        prev = k;
      }
    }
    if (!d.entries.empty())
      *last = Key{IndexCheckKeyBytes(d, d.entries.size() - 1), d.entries.back().record};
  }

  struct NodeLinks {
    int32_t left, right;
    size_t count;
  };

  // Links of a node, read when the walk did not reach it (emptied nodes stay
  // linked from their siblings).
  bool Links(int32_t page, NodeLinks* links) {
    auto it = nodes_.find(page);
    if (it != nodes_.end()) {
      *links = it->second;
      return true;
    }
    if (!ValidPosition(page)) return false;
    uint8_t block[kCdxBlockSize];
    NodeData d;
    std::string why;
    if (!Read(page, block, d, &why)) return false;
    *links = {d.left, d.right, d.entries.size()};
    return true;
  }

  void CheckChains() {
    const size_t bound = size_t(size_ / kCdxBlockSize) + 2;
    for (size_t depth = 1; depth < levels_.size(); ++depth) {
      const std::vector<int32_t>& pages = levels_[depth];
      if (pages.empty()) continue;
      std::string at = "level " + std::to_string(depth) + ": ";
      // The chain may start with emptied nodes left of the first reached one.
      int32_t start = pages.front();
      NodeLinks links;
      size_t steps = 0;
      while (Links(start, &links) && links.left != -1 && steps++ < bound) {
        NodeLinks l;
        if (!Links(links.left, &l) || l.count != 0 || l.right != start) {
          Problem(at + "left sibling of node " + std::to_string(start) + " is " +
                  std::to_string(links.left) + ", not a node linking back");
          break;
        }
        start = links.left;
      }
      size_t next = 0;
      int32_t prev = -1;
      int32_t page = start;
      steps = 0;
      while (page != -1) {
        if (++steps > bound) {
          Problem(at + "sibling chain does not end");
          break;
        }
        if (!Links(page, &links)) {
          Problem(at + "sibling " + std::to_string(page) + " is not a node");
          break;
        }
        if (links.left != prev)
          Problem(at + "node " + std::to_string(page) + " has left sibling " +
                  std::to_string(links.left) + " instead of " + std::to_string(prev));
        if (next < pages.size() && pages[next] == page)
          ++next;
        else if (links.count != 0)
          Problem(at + "node " + std::to_string(page) + " is chained but not in tree order");
        prev = page;
        page = links.right;
      }
      if (next != pages.size())
        Problem(at + "node " + std::to_string(pages[next]) + " is missing from the sibling chain");
    }
  }

  GSobjCDXFile& file_;
  GSobjCDXTag& tag_;
  std::vector<std::string>& problems_;
  CdxKeyShape shape_;
  int64_t size_ = 0;
  std::set<int32_t> visited_;
  std::vector<std::vector<int32_t>> levels_;
  std::map<int32_t, NodeLinks> nodes_;
  int leaf_depth_ = -1;
  std::vector<Key> keys_;
};

}  // namespace

std::vector<std::string> CheckCdxTag(GSobjCDXFile& file, GSobjCDXTag& tag, bool against_table) {
  std::vector<std::string> problems;
  try {
    tag.ReleaseTree();
    CdxTreeCheck check(file, tag, problems);
    check.Run();
    if (against_table) CheckKeysAgainstTable(tag, check.Keys(), problems);
  } catch (const platform::Exception& e) {
    problems.push_back(tag.TagName() + ": " + e.what());
  }
  return problems;
}

std::vector<std::string> CheckCdxFile(GSobjCDXFile& file) {
  std::vector<std::string> problems;
  if (!file.Valid()) {
    problems.push_back(file.ErrorText().empty() ? "index file not valid" : file.ErrorText());
    if (!file.Directory()) return problems;
  }
  if (GSobjCDXTag* dir = file.Directory()) {
    std::vector<std::string> p = CheckCdxTag(file, *dir, false);
    problems.insert(problems.end(), p.begin(), p.end());
  }
  for (int i = 0; i < file.TagCount(); ++i) {
    std::vector<std::string> p = CheckCdxTag(file, *file.CdxTagAt(i), true);
    problems.insert(problems.end(), p.begin(), p.end());
  }
  return problems;
}

}  // namespace devazoz
