// Searching a CDX leaf block without decoding it: for every leaf, search key,
// mode and record the undecoded search stops where a plain scan of the decoded
// entries stops, with the same key, record and result; leaves it cannot read
// as the decoding does it leaves to the decoded way; damaged blocks never make
// it read outside the block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "engine/foundation/gs6_bytes.h"
#include "engine/index/gs6_cdxnode.h"

namespace {

using devazoz::ByteSpan;
using devazoz::ByteView;
using devazoz::CdxKeyShape;
using devazoz::CdxLeafHit;
using devazoz::NodeData;

struct Key {
  std::string bytes;
  uint32_t record;
};

const uint8_t* U(const std::string& s) { return reinterpret_cast<const uint8_t*>(s.data()); }

// The framework's comparison of a search key with an entry key in byte order.
int Compare(const std::string& a, const std::string& b, int mode, bool text) {
  if (a.empty() || b.empty()) return a.size() == b.size() ? 0 : (a.empty() ? -1 : 1);
  size_t n = std::min(a.size(), b.size());
  int c = std::memcmp(a.data(), b.data(), n);
  if (c != 0) return c < 0 ? -1 : 1;
  if (text && a.size() < b.size()) return mode < 0 ? -1 : (mode > 0 ? 1 : 0);
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// A scan of the decoded entries: the first the key (with its record) does not
// come after, else the last.
CdxLeafHit Reference(const NodeData& d, const std::string& key, int mode, int32_t record,
                     bool text) {
  CdxLeafHit hit;
  for (size_t i = 0; i < d.entries.size(); ++i) {
    const devazoz::NodeEntry& e = d.entries[i];
    std::string entry(reinterpret_cast<const char*>(d.pool.data() + e.offset), e.length);
    int r = Compare(key, entry, mode, text);
    if (r == 0 && record == 0x7FFFFFFF)
      r = 1;
    else if (r == 0 && record != -1)
      r = e.record < record ? 1 : (e.record > record ? -1 : 0);
    if (r <= 0 || i + 1 == d.entries.size()) {
      hit.result = r;
      hit.index = uint32_t(i);
      hit.record = e.record;
      hit.length = uint32_t(entry.size());
      std::memcpy(hit.key, entry.data(), entry.size());
      return hit;
    }
  }
  return hit;
}

// Packs keys (in the order given) into a leaf block; false when they do not fit.
bool Pack(uint8_t* block, const CdxKeyShape& shape, const std::vector<Key>& keys) {
  std::memset(block, 0, 512);
  devazoz::CdxLeafWriter w;
  w.Begin(ByteSpan(block, 512), devazoz::CdxLeafParams(shape.key_length, 5000, true, false), shape);
  for (const Key& k : keys)
    if (!w.Add(U(k.bytes), uint32_t(k.bytes.size()), k.record)) return false;
  w.Finish(3, -1, -1);
  return true;
}

// Searches with every mode and record choice for each key; the undecoded search
// must agree with the reference wherever it answers, and answer when wanted.
void ExpectSameStops(const uint8_t* block, const CdxKeyShape& shape,
                     const std::vector<std::string>& searches, bool must_answer) {
  NodeData d;
  std::string why;
  ByteView v(block, 512);
  const bool decoded = devazoz::DecodeCdxNode(v, shape, d, &why);
  if (must_answer) {
    ASSERT_TRUE(decoded) << why;
  }
  for (const std::string& s : searches)
    for (int mode : {-1, 0, 1})
      for (int32_t record : {-1, 0x7FFFFFFF, 1, 7, 40, 5000}) {
        CdxLeafHit hit;
        bool answered =
            devazoz::SearchCdxLeaf(v, shape, U(s), uint32_t(s.size()), mode, record, hit);
        if (must_answer) {
          ASSERT_TRUE(answered) << "'" << s << "'";
        }
        if (!answered || !decoded || d.entries.empty()) continue;
        CdxLeafHit want = Reference(d, s, mode, record, shape.text);
        ASSERT_EQ(hit.index, want.index) << "'" << s << "' mode " << mode << " record " << record;
        ASSERT_EQ(hit.result, want.result) << "'" << s << "'";
        ASSERT_EQ(hit.record, want.record);
        ASSERT_EQ(std::string(reinterpret_cast<char*>(hit.key), hit.length),
                  std::string(reinterpret_cast<char*>(want.key), want.length));
      }
}

// Sorted keys over a small alphabet, so that they share long prefixes, repeat,
// and are prefixes of each other; ascending records for equal keys.
std::vector<Key> SortedKeys(std::mt19937& random, size_t count, int key_length, bool text,
                            const std::string& alphabet) {
  std::vector<Key> keys;
  for (size_t i = 0; i < count; ++i) {
    size_t n = random() % size_t(key_length + 1);
    std::string k;
    for (size_t j = 0; j < n; ++j) k += alphabet[random() % alphabet.size()];
    if (text) k.erase(k.find_last_not_of(' ') + 1);
    keys.push_back({k, uint32_t(random() % 4000 + 1)});
  }
  std::sort(keys.begin(), keys.end(), [](const Key& a, const Key& b) {
    return a.bytes != b.bytes ? a.bytes < b.bytes : a.record < b.record;
  });
  return keys;
}

// Search keys: every key, each of its prefixes and one byte more or less.
std::vector<std::string> SearchesFor(const std::vector<Key>& keys, bool text) {
  std::vector<std::string> out = {"", "\x01", "~~~~"};
  for (const Key& k : keys) {
    out.push_back(k.bytes);
    for (size_t n = 1; n < k.bytes.size(); n += 2) out.push_back(k.bytes.substr(0, n));
    std::string more = k.bytes + "B", less = k.bytes;
    if (!less.empty()) less.back() = char(less.back() - 1);
    out.push_back(more);
    out.push_back(less);
  }
  if (text)
    for (std::string& s : out) s.erase(s.find_last_not_of(' ') + 1);
  return out;
}

TEST(CdxLeafSearch, StopsWhereAScanOfTheDecodedEntriesStops) {
  std::mt19937 random(7);
  for (int round = 0; round < 60; ++round) {
    const bool text = round % 3 != 2;
    const int key_length = round % 2 ? 12 : 5;
    CdxKeyShape shape{key_length, text, false};
    const std::string alphabet = text ? "AB C" : std::string("\x00\x01\x7F\xFF", 4);
    std::vector<Key> keys = SortedKeys(random, 10 + random() % 40, key_length, text, alphabet);
    uint8_t block[512];
    while (!Pack(block, shape, keys)) keys.pop_back();
    SCOPED_TRACE("round " + std::to_string(round));
    ExpectSameStops(block, shape, SearchesFor(keys, text), true);
  }
}

TEST(CdxLeafSearch, EqualKeysAndAnEmptyKeyStopByRecord) {
  CdxKeyShape shape{8, true, false};
  std::vector<Key> keys = {{"", 3},        {"", 9},        {"RACING", 2}, {"RACING", 7},
                           {"RACING", 40}, {"RACINGS", 1}, {"SPORTS", 5}};
  uint8_t block[512];
  ASSERT_TRUE(Pack(block, shape, keys));
  ExpectSameStops(block, shape, {"", "RACING", "RACIN", "RACINGS", "S", "ZZ"}, true);
}

// Keys another program stored with their trailing blanks as text: the decoded
// form trims them; the undecoded search either declines or agrees.
TEST(CdxLeafSearch, KeysStoredWithTrailingBlanksAreLeftToTheDecodedWay) {
  CdxKeyShape shape{6, true, false};
  std::vector<Key> keys = {{"AB", 1}, {"AB ", 2}, {"AB  C", 3}, {"ABC ", 4}, {"B", 5}};
  uint8_t block[512];
  ASSERT_TRUE(Pack(block, shape, keys));
  ExpectSameStops(block, shape, {"A", "AB", "AB  C", "ABC", "B", "C"}, false);
  CdxLeafHit hit;
  EXPECT_FALSE(
      devazoz::SearchCdxLeaf(ByteView(block, 512), shape, U(std::string("B")), 1, -1, -1, hit));
}

// Every byte of a leaf's head and key area changed in turn: the search answers
// or declines, reading nothing outside the block (the sanitizer build checks),
// and agrees with the decoded entries whenever both read the block.
TEST(CdxLeafSearch, DamagedLeavesNeverReadOutsideTheBlock) {
  std::mt19937 random(11);
  CdxKeyShape shape{10, true, false};
  std::vector<Key> keys = SortedKeys(random, 30, 10, true, "ABCD ");
  uint8_t good[512];
  while (!Pack(good, shape, keys)) keys.pop_back();
  std::vector<std::string> searches = {"A", "BB", "CCCC", "DDDDDDDDDD", "~"};
  for (int at = 12; at < 512; ++at)
    for (uint8_t value : {uint8_t(0x00), uint8_t(0xFF), uint8_t(good[at] ^ 0x21)}) {
      uint8_t block[512];
      std::memcpy(block, good, 512);
      block[at] = value;
      SCOPED_TRACE("byte " + std::to_string(at));
      ExpectSameStops(block, shape, searches, false);
    }
}

// A full leaf of two-byte entries ends its last entry at the end of the block:
// nothing past it is read for the record number (the sanitizer build checks),
// and the undecoded search leaves such entries to the decoded way.
TEST(CdxLeafSearch, AFullLeafOfTwoByteEntriesIsReadWithinTheBlock) {
  std::vector<uint8_t> block(512, 0);
  ByteSpan b(block.data(), block.size());
  devazoz::PutCdxNodeHead(b, 2, 244, -1, -1);
  b.PutU16LE(12, 0);     // no free bytes
  b.PutU32LE(14, 0xFF);  // 8 record bits
  b.PutU8(18, 15);       // duplicate and trailing counts of 4 bits each
  b.PutU8(19, 15);
  b.PutU8(20, 8);
  b.PutU8(21, 4);
  b.PutU8(22, 4);
  b.PutU8(23, 2);
  for (int i = 0; i < 244; ++i) {
    b.PutU8(size_t(24 + 2 * i), uint8_t(i + 1));  // the record
    b.PutU8(size_t(24 + 2 * i + 1), 0xA0);        // trailing count 10: an empty key
  }
  CdxKeyShape shape{10, true, false};
  NodeData d;
  std::string why;
  ASSERT_TRUE(devazoz::DecodeCdxNode(ByteView(block.data(), block.size()), shape, d, &why)) << why;
  ASSERT_EQ(d.entries.size(), 244u);
  EXPECT_EQ(d.entries[243].record, 244);
  EXPECT_EQ(d.entries[243].length, 0);
  CdxLeafHit hit;
  EXPECT_FALSE(
      devazoz::SearchCdxLeaf(ByteView(block.data(), block.size()), shape, U("A"), 1, -1, -1, hit));
}

}  // namespace
