// Damaged tables under an error hook that returns (a program's hook may show the
// message and go on): every report leaves the operation without using what it found
// wrong. Every prefix of a table and flipped header bytes are opened by the handler,
// walked both ways, read field by field, searched, and packed.
#include <gtest/gtest.h>

#include <functional>

#include "engine/foundation/gs6_dbsy.h"
#include "engine/foundation/gs6_eror.h"
#include "tests/support/dbf_fixture.h"
#include "tests/support/memo_fixture.h"

namespace {
using namespace devazoz;
using qvx_test::DbfFixture;
using qvx_test::RecordingErrorHook;
using qvx_test::TempDir;

DbfFixture Shape() {
  DbfFixture f(0x03, {{"NAME", 'C', 10}, {"N", 'N', 6, 2}, {"D", 'D', 8}, {"L", 'L', 1}});
  for (int i = 1; i <= 40; ++i)
    f.AddRecord({"R" + std::to_string(i), "  1.50", "20240105", i % 2 ? "T" : "F"}, i % 7 == 0);
  return f;
}

// Everything a program does with an open table; reports only go to the hook.
void UseEverything(const std::string& path, bool pack) {
  GSO_dBHandler h(path, pack, false);
  int steps = 0;
  for (h.GetRecord(kMoveFirst); !h.Eof() && steps < 200; h.GetRecord(kMoveNext), ++steps)
    for (int n = 1; n <= h.FieldCount(); ++n) {
      h.GetDisplay(n);
      h.GetNum(n);
    }
  steps = 0;
  for (h.GetRecord(kMoveLast); !h.Bof() && steps < 200; h.GetRecord(kMovePrevious), ++steps) {
  }
  h.GetRecord(3);
  int field = 1;
  int32_t record = 0;
  h.SearchField("R1", field, 0, record);
  if (pack) h.Pack();
}

TEST(HandlerWithReturningHook, EveryPrefixOfATable) {
  RecordingErrorHook hook;
  TempDir dir;
  auto bytes = Shape().Bytes();
  std::string path = dir.File("P.DBF");
  for (size_t len = 0; len <= bytes.size(); len += (len < 200 ? 1 : 7)) {
    qvx_test::WriteFileBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(len)));
    UseEverything(path, len % 2 == 0);
    if (HasFailure()) FAIL() << len;
  }
}

TEST(HandlerWithReturningHook, FlippedHeaderBytes) {
  RecordingErrorHook hook;
  TempDir dir;
  auto good = Shape().Bytes();
  std::string path = dir.File("F.DBF");
  for (size_t at = 0; at < 32 + 4 * 32 + 1; ++at) {
    for (uint8_t v : {0x00, 0x01, 0x0D, 0x7F, 0xFF}) {
      auto bytes = good;
      bytes[at] = v;
      qvx_test::WriteFileBytes(path, bytes);
      UseEverything(path, at % 3 == 0);
      if (HasFailure()) FAIL() << at << " " << int(v);
    }
  }
}

TEST(HandlerWithReturningHook, RecordLengthZeroIsReportedAndNothingIsRead) {
  RecordingErrorHook hook;
  TempDir dir;
  DbfFixture f = Shape();
  f.record_length_override = 0;
  std::string path = dir.File("Z.DBF");
  f.Write(path);
  GSO_dBHandler h(path, false, false);
  EXPECT_FALSE(hook.reports().empty());
  h.GetRecord(kMoveFirst);
  EXPECT_TRUE(h.Eof());
  EXPECT_EQ(h.RecordCount(), 0);
}

}  // namespace
