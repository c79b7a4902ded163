// Opens arbitrary bytes as a table and reads every field of every record through
// every reader. Any exception other than the engine's own is a finding.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/foundation/gs6_eror.h"
#include "engine/table/gs6_dbfld.h"
#include "fuzz/fuzz_hook.h"

namespace {
std::string FuzzPath() {
  static std::string path = "/tmp/fuzz_dbf." + std::to_string(getpid()) + ".DBF";
  return path;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_hook::ChooseErrorHook();
  std::FILE* f = std::fopen(FuzzPath().c_str(), "wb");
  if (!f) return 0;
  std::fwrite(data, 1, size, f);
  std::fclose(f);
  try {
    devazoz::GSO_dBaseFld table(FuzzPath(), false, false);
    int32_t records = std::min<int32_t>(table.RecordCount(), 64);
    for (int32_t r = 1; r <= records + 1; ++r) {
      table.ReadRecord(r);
      for (int n = 0; n <= table.FieldCount() + 1; ++n) {
        try {
          table.GetDisplay(n);
        } catch (const devazoz::EDevazozError&) {
        }
        try {
          table.GetNum(n);
        } catch (const devazoz::EDevazozError&) {
        }
        try {
          table.GetDate(n);
        } catch (const devazoz::EDevazozError&) {
        }
        table.GetLogic(n);
        table.GetStr(n);
      }
    }
    table.ReadRecord(devazoz::kMoveLast);
    table.ReadRecord(devazoz::kMovePrevious);
  } catch (const devazoz::EDevazozError&) {
  }
  return 0;
}
