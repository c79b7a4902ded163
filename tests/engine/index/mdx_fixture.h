// Helpers of the MDX tests: the checker's report as one text, and raw pages.
#ifndef TESTS_ENGINE_INDEX_MDX_FIXTURE_H_
#define TESTS_ENGINE_INDEX_MDX_FIXTURE_H_

#include <string>

#include "engine/foundation/gs6_bytes.h"
#include "engine/index/gs6_mdx.h"
#include "engine/index/gs6_mdxcheck.h"
#include "tests/engine/index/index_fixture.h"

namespace qvx_test {

inline std::string MdxCheckText(devazoz::GSobjMDXFile& file) {
  std::string s;
  for (const std::string& p : devazoz::CheckMdxFile(file)) s += p + "\n";
  return s;
}

// The bytes of the file from offset at on.
inline devazoz::ByteView At(const std::vector<uint8_t>& bytes, size_t at) {
  return devazoz::ByteView(bytes.data() + at, bytes.size() - at);
}

// Offset of tag j's (1-based) entry in the tag table.
inline size_t TagEntry(int j) { return size_t(512 + 32 * j); }

}  // namespace qvx_test

#endif  // TESTS_ENGINE_INDEX_MDX_FIXTURE_H_
