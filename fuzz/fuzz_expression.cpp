// libFuzzer target: compiles and evaluates arbitrary expression texts against a
// small table. Input byte 0 chooses the settings and the record:
//   bit 0 case-insensitive, bit 1 wildcards off, bit 2 SQL-style wildcards,
//   bit 3 STR uses the number's own width, bits 4-5 record 0..3;
// the remaining bytes are the expression text. Engine errors are expected; any
// other exception, crash, leak or sanitizer report is a finding.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_vari.h"
#include "engine/table/gs6_dbfld.h"
#include "engine/table/gs6_sql.h"
#include "engine/table/gs6_sqldbf.h"
#include "fuzz/fuzz_hook.h"

namespace {

struct Field {
  const char* name;
  char type;
  uint8_t length;
  uint8_t decimals;
};

const Field kFields[] = {{"TITLE", 'C', 12, 0}, {"PRICE", 'N', 8, 2},  {"RELEASED", 'D', 8, 0},
                         {"ANALOG", 'L', 1, 0}, {"NOTES", 'M', 10, 0}, {"QTY", 'N', 5, 0}};
const char* kRecords[] = {"Metal Gear     49.9519980903T         1    3",
                          "              -0.10        ?              ",
                          "Zed Zapper      1.0020000229F        12  -99"};

void Put16(std::string& s, size_t at, uint16_t v) {
  s[at] = char(v & 0xFF);
  s[at + 1] = char(v >> 8);
}

std::string TableBytes() {
  const size_t nfields = sizeof kFields / sizeof kFields[0];
  const size_t nrecords = sizeof kRecords / sizeof kRecords[0];
  uint16_t header_length = uint16_t(32 + 32 * nfields + 1);
  uint16_t record_length = 1;
  for (const Field& f : kFields) record_length = uint16_t(record_length + f.length);
  std::string s(32, '\0');
  s[0] = 0x03;
  s[1] = 99;
  s[2] = 1;
  s[3] = 1;
  s[4] = char(nrecords);
  Put16(s, 8, header_length);
  Put16(s, 10, record_length);
  for (const Field& f : kFields) {
    std::string d(32, '\0');
    for (size_t i = 0; f.name[i]; ++i) d[i] = f.name[i];
    d[11] = f.type;
    d[16] = char(f.length);
    d[17] = char(f.decimals);
    s += d;
  }
  s += '\x0D';
  for (size_t r = 0; r < nrecords; ++r) {
    std::string rec = std::string(r == 1 ? "*" : " ") + kRecords[r];
    rec.resize(record_length, ' ');
    s += rec;
  }
  s += '\x1A';
  return s;
}

devazoz::GSO_dBaseFld* Table() {
  static devazoz::GSO_dBaseFld* table = [] {
    char dir[] = "/tmp/fuzz_expression.XXXXXX";
    if (!mkdtemp(dir)) std::abort();
    std::string path = std::string(dir) + "/FUZZ.DBF";
    std::string bytes = TableBytes();
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f || std::fwrite(bytes.data(), 1, bytes.size(), f) != bytes.size()) std::abort();
    std::fclose(f);
    return new devazoz::GSO_dBaseFld(path, false, false);
  }();
  return table;
}

void Exercise(devazoz::TgsExpHandler& handler) {
  devazoz::TgsExpValue value;
  handler.Evaluate(value);
  devazoz::TgsVariant variant(256);
  handler.EvaluateVariant(variant);
  (void)handler.CollectNames(devazoz::kTableFieldVarTag);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_hook::ChooseErrorHook();
  if (size < 1 || size > 4096) return 0;
  devazoz::GSO_dBaseFld* table = Table();
  uint8_t flags = data[0];
  table->ExpressionLink()->default_str_width = (flags & 8) ? -1 : 10;
  int record = (flags >> 4) & 3;
  try {
    if (record > 0) table->ReadRecord(record);
  } catch (const platform::Exception&) {
  }
  std::string text(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string rebuilt;
  try {
    devazoz::TgsExpHandler handler(table->ExpressionLink(), (flags & 4) != 0, "");
    handler.SetCaseInsensitive((flags & 1) != 0);
    handler.SetWildcard((flags & 2) == 0);
    handler.SetExpression(text);
    rebuilt = handler.ExpressionText();
    Exercise(handler);
  } catch (const platform::Exception&) {
  }
  // The rebuilt text need not compile back, but it must not break anything.
  try {
    devazoz::TgsExpHandler again(table->ExpressionLink(), false, rebuilt);
    Exercise(again);
  } catch (const platform::Exception&) {
  }
  return 0;
}
