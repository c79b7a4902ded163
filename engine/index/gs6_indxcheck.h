// Verification of the single-tag index files (NTX, NDX) against their table:
// the tree is read page by page, independently of the node path. Checked:
// pages decode (counts, slot offsets, children, record numbers); all leaves
// are at one depth; no page is reached twice; keys ascend in tree order (for
// NTX the interior keys between their subtrees, for NDX every separator at or
// above the keys on its left and at or below those on its right). With the
// table: every record passing the FOR condition has exactly one key, equal to
// its evaluated key (unique tags: every key value exactly once), and no other
// key exists.
#ifndef ENGINE_INDEX_GS6_INDXCHECK_H_
#define ENGINE_INDEX_GS6_INDXCHECK_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace devazoz {

class GSobjIndexTag;
class GSobjNTXFile;
class GSobjNDXFile;
struct NodeData;

// A key as a checker finds it in the tree: its bytes and its record number.
using IndexCheckKey = std::pair<std::string, int32_t>;

// The bytes of entry i of a decoded node.
std::string IndexCheckKeyBytes(const NodeData& node, size_t i);

// Compares the keys found in a tag's tree with its table (nothing without one):
// every record passing the FOR condition has exactly one key, equal to its
// evaluated key (unique tags: every key value exactly once), and no other key
// exists; a FOR condition that gives no logical value is reported once.
// Problems are appended, each naming the tag.
void CheckKeysAgainstTable(GSobjIndexTag& tag, const std::vector<IndexCheckKey>& keys,
                           std::vector<std::string>& problems);

// One line per problem, each naming the tag; empty when all is well.
std::vector<std::string> CheckNtxFile(GSobjNTXFile& file);
std::vector<std::string> CheckNdxFile(GSobjNDXFile& file);

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_INDXCHECK_H_
