// libFuzzer target: opens an arbitrary CDX file, walks every tag first to last
// and back, seeks, and (when asked) inserts and deletes keys. The input's
// layout and the checks are fuzz_index.h's.
#include "engine/index/gs6_cdx.h"
#include "fuzz/fuzz_index.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  return fuzz_index::Run<devazoz::GSobjCDXFile>("fuzz_cdx", ".CDX", false, data, size,
                                                [](devazoz::GSobjCDXFile&, uint8_t) {});
}
