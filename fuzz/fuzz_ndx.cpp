// libFuzzer target: opens an arbitrary NDX file, walks its tag first to last
// and back, seeks, (when asked) inserts and deletes keys, and checks the file,
// the checker reading the same damaged pages on its own path. The input's
// layout and the checks are fuzz_index.h's.
#include "engine/index/gs6_indxcheck.h"
#include "engine/index/gs6_ndx.h"
#include "fuzz/fuzz_index.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz_index::Run<devazoz::GSobjNDXFile>(
      "fuzz_ndx", ".NDX", false, data, size,
      [](devazoz::GSobjNDXFile& file, uint8_t) { devazoz::CheckNdxFile(file); });
}
