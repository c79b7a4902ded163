// libFuzzer target: opens an arbitrary NTX file, walks its tag first to last
// and back, seeks, (when asked) inserts and deletes keys, and checks the file,
// the checker reading the same damaged pages on its own path. The input's
// layout and the checks are fuzz_index.h's.
#include "engine/index/gs6_indxcheck.h"
#include "engine/index/gs6_ntx.h"
#include "fuzz/fuzz_index.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz_index::Run<devazoz::GSobjNTXFile>(
      "fuzz_ntx", ".NTX", false, data, size,
      [](devazoz::GSobjNTXFile& file, uint8_t) { devazoz::CheckNtxFile(file); });
}
