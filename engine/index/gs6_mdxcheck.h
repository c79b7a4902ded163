// Verification of an MDX file against its table: the tree of every tag is read
// page by page, independently of the node path. Checked: pages decode and hold
// no more keys than the tag's maximum; keys are in the tag's order (highest
// first for a descending tag); every separator equals the highest key of its
// subtree; all leaves are at one depth; no page is reached twice. With a table:
// every record that passes the FOR condition has exactly one key, equal to its
// evaluated key (unique tags: every key value exactly once), and no other key
// exists.
#ifndef ENGINE_INDEX_GS6_MDXCHECK_H_
#define ENGINE_INDEX_GS6_MDXCHECK_H_

#include <string>
#include <vector>

namespace devazoz {

class GSobjMDXFile;
class GSobjMDXTag;

// One line per problem, each naming the tag; empty when all is well.
std::vector<std::string> CheckMdxTag(GSobjMDXFile& file, GSobjMDXTag& tag, bool against_table);
std::vector<std::string> CheckMdxFile(GSobjMDXFile& file);

}  // namespace devazoz

#endif  // ENGINE_INDEX_GS6_MDXCHECK_H_
