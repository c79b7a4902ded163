// Shared helpers of the index tests: a table that keeps its open CDX file
// current as the table handler will (UpdateKeys after every append and write),
// table builders and key listings.
#ifndef TESTS_ENGINE_INDEX_INDEX_FIXTURE_H_
#define TESTS_ENGINE_INDEX_INDEX_FIXTURE_H_

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "engine/index/gs6_cdx.h"
#include "engine/index/gs6_cdxcheck.h"
#include "engine/table/gs6_dbfld.h"
#include "tests/support/dbf_fixture.h"

namespace qvx_test {

// Calls UpdateKeys on the attached index file where the handler would: after an
// append (event 7 with value 0) and after a write (event 7 with the record).
class IndexedTable : public devazoz::GSO_dBaseFld {
 public:
  IndexedTable(const std::string& path, bool shared = false) : GSO_dBaseFld(path, shared, true) {}
  void Notify(uint8_t code, int32_t value) override {
    GSO_dBaseFld::Notify(code, value);
    if (code == devazoz::kEventAfterWrite && index)
      index->UpdateKeys(value == 0 ? RecordNumber() : value, value == 0);
  }
  void StatusUpdate(int32_t what, int32_t done, int32_t total) override {
    status.push_back({what, done, total});
  }
  devazoz::GSobjIndexFile* index = nullptr;
  struct Status {
    int32_t what, done, total;
  };
  std::vector<Status> status;
};

// A table TITLE C(40), CATEGORY C(30), PRICE N(8,2), RELEASED D, with the
// given titles; categories cycle through five names, prices are the record
// number times 1.5 minus 100, dates count up from 2000-01-01.
inline void WriteCatalogTable(const std::string& path, const std::vector<std::string>& titles) {
  DbfFixture f(
      0x03,
      {{"TITLE", 'C', 40}, {"CATEGORY", 'C', 30}, {"PRICE", 'N', 8, 2}, {"RELEASED", 'D', 8}});
  const char* cats[] = {"Action", "Puzzle", "Racing", "Sports", "Shooter"};
  for (size_t i = 0; i < titles.size(); ++i) {
    char price[16];
    std::snprintf(price, sizeof price, "%8.2f", double(i + 1) * 1.5 - 100);
    int day = int(i % 28) + 1, month = int(i / 28 % 12) + 1, year = 2000 + int(i / 336);
    char date[16];
    std::snprintf(date, sizeof date, "%04d%02d%02d", year, month, day);
    f.AddRecord({titles[i], cats[i % 5], price, date});
  }
  f.Write(path);
}

// Pseudo-random titles of letters and blanks, up to 40 bytes (seeded).
inline std::vector<std::string> RandomTitles(size_t n, uint32_t seed, size_t max_len = 40) {
  std::vector<std::string> out;
  uint32_t x = seed;
  auto next = [&x] {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    return x;
  };
  for (size_t i = 0; i < n; ++i) {
    size_t len = 1 + next() % max_len;
    std::string s;
    for (size_t j = 0; j < len; ++j) s += char(j % 6 == 5 ? ' ' : 'A' + next() % 26);
    while (!s.empty() && s.back() == ' ') s.pop_back();
    if (s.empty()) s = "X";
    out.push_back(s);
  }
  return out;
}

using KeyList = std::vector<std::pair<std::string, int32_t>>;

// Every key of the tag in traversal order (first to last), from a fresh tree.
inline KeyList ListKeys(devazoz::GSobjIndexTag* tag) {
  KeyList out;
  tag->LoadTree(0);
  for (int32_t rec = tag->Navigate(devazoz::kNavFirst); rec != 0;
       rec = tag->Navigate(devazoz::kNavNext)) {
    const auto& v = tag->CurrentKey().Value;
    out.push_back({std::string(reinterpret_cast<const char*>(v.Data()), v.Length()), rec});
    if (out.size() > 10000000) break;
  }
  tag->ReleaseTree();
  return out;
}

// The same walked last to first, returned in first-to-last order.
inline KeyList ListKeysBackwards(devazoz::GSobjIndexTag* tag) {
  KeyList out;
  tag->LoadTree(0);
  for (int32_t rec = tag->Navigate(devazoz::kNavLast); rec != 0;
       rec = tag->Navigate(devazoz::kNavPrior)) {
    const auto& v = tag->CurrentKey().Value;
    out.insert(out.begin(),
               {std::string(reinterpret_cast<const char*>(v.Data()), v.Length()), rec});
    if (out.size() > 10000000) break;
  }
  tag->ReleaseTree();
  return out;
}

inline std::string CheckText(devazoz::GSobjCDXFile& file) {
  std::string s;
  for (const std::string& p : devazoz::CheckCdxFile(file)) s += p + "\n";
  return s;
}

// A search key: text and the wanted record (-1 any).
struct TextKey : devazoz::GSobjIndexKeyData {
  explicit TextKey(const std::string& text, int32_t record = -1) {
    Value.SetText(text);
    RecordNumber = record;
  }
};

}  // namespace qvx_test

#endif  // TESTS_ENGINE_INDEX_INDEX_FIXTURE_H_
