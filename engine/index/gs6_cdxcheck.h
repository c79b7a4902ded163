// Verification of a CDX file against its table: the tree of every tag (and of
// the tag directory) is read block by block, independently of the node path.
// Checked: node contents decode; leaf parameters are consistent (bit counts,
// masks, free bytes, widths fit the record numbers); keys ascend by key and
// record number; every interior entry equals the highest key of its child; all
// leaves are at one depth; nodes of a level are chained left to right by their
// sibling pointers; no node is reached twice. With a table: every record that
// passes the FOR condition has exactly one key, equal to its evaluated key
// (unique tags: every key value exactly once), and no other key exists.
#ifndef ENGINE_INDEX_GS6_CDXCHECK_H_
#define ENGINE_INDEX_GS6_CDXCHECK_H_

#include <string>
#include <vector>

namespace devazoz {

class GSobjCDXFile;
class GSobjCDXTag;

// One line per problem, each naming the tag; empty when all is well.
std::vector<std::string> CheckCdxTag(GSobjCDXFile& file, GSobjCDXTag& tag, bool against_table);
std::vector<std::string> CheckCdxFile(GSobjCDXFile& file);

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_CDXCHECK_H_
