// libFuzzer target: opens an arbitrary MDX file, walks every tag first to last
// and back, seeks, and (when asked) inserts and deletes keys, checks the file
// and rebuilds it. The input's layout and the checks are fuzz_index.h's; flag
// bit 2, with bit 1, rebuilds every tag at the end.
#include "engine/index/gs6_mdx.h"
#include "engine/index/gs6_mdxcheck.h"
#include "fuzz/fuzz_index.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz_index::Run<devazoz::GSobjMDXFile>("fuzz_mdx", ".MDX", true, data, size,
                                                [](devazoz::GSobjMDXFile& mdx, uint8_t flags) {
                                                  devazoz::CheckMdxFile(mdx);
                                                  if ((flags & 6) == 6 && mdx.Valid()) {
                                                    mdx.RebuildAll();
                                                    devazoz::CheckMdxFile(mdx);
                                                  }
                                                });
}
