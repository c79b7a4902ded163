// TgsSort: limits and messages, the order of every kind of key, equal keys,
// unique and descending modes, and many runs against one run and against a
// reference stable sort of the same order.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_sort.h"

namespace {
using namespace devazoz;

// Exposes the working-area size so that few keys make many runs.
class SmallSort : public TgsSort {
 public:
  SmallSort(int max_len, const uint8_t* map, bool ascending, bool unique, size_t work)
      : TgsSort(max_len, map, ascending, unique, work) {}
};

// A key as it went in or came out: kind, value and record number.
struct Out {
  VariantType type;
  std::string bytes;  // text and byte strings
  double number = 0;
  int32_t day = 0;
  int32_t recno = 0;
  bool operator==(const Out& o) const {
    if (type != o.type || recno != o.recno) return false;
    if (type == VariantType::Number) {
      uint64_t a, b;
      std::memcpy(&a, &number, 8);
      std::memcpy(&b, &o.number, 8);
      return a == b;
    }
    if (type == VariantType::Date) return day == o.day;
    return bytes == o.bytes;
  }
};

std::ostream& operator<<(std::ostream& os, const Out& o) {
  os << "{type " << int(o.type) << ", ";
  if (o.type == VariantType::Number)
    os << o.number;
  else if (o.type == VariantType::Date)
    os << o.day;
  else
    os << '"' << o.bytes << '"';
  return os << ", rec " << o.recno << "}";
}

Out Text(const std::string& s, int32_t r) { return {VariantType::Text, s, 0, 0, r}; }
Out Bytes(const std::string& s, int32_t r) { return {VariantType::Bytes, s, 0, 0, r}; }
Out Number(double v, int32_t r) { return {VariantType::Number, "", v, 0, r}; }
Out Date(int32_t d, int32_t r) { return {VariantType::Date, "", 0, d, r}; }

void Add(TgsSort& sort, const Out& k) {
  TgsVariant v;
  switch (k.type) {
    case VariantType::Text:
      v.SetText(k.bytes);
      break;
    case VariantType::Bytes:
      v.SetBytes(k.bytes.data(), uint32_t(k.bytes.size()));
      break;
    case VariantType::Number:
      v.SetNumber(k.number);
      break;
    default:
      v.SetDate(k.day);
      break;
  }
  sort.AddKey(v, k.recno);
}

std::vector<Out> Drain(TgsSort& sort) {
  std::vector<Out> out;
  TgsVariant v;
  int32_t r = 0;
  while (sort.NextKey(v, r)) {
    Out o{v.Type(), "", 0, 0, r};
    if (v.Type() == VariantType::Number)
      o.number = v.AsNumber();
    else if (v.Type() == VariantType::Date)
      o.day = v.AsDate();
    else
      o.bytes = std::string(reinterpret_cast<const char*>(v.Data()), v.Length());
    out.push_back(o);
  }
  return out;
}

std::vector<Out> SortAll(const std::vector<Out>& in, const uint8_t* map = nullptr,
                         bool ascending = true, bool unique = false, size_t work = 0,
                         int max_len = 240, size_t* runs = nullptr) {
  SmallSort sort(max_len, map, ascending, unique, work ? work : TgsSort::kDefaultWorkBytes);
  for (const auto& k : in) Add(sort, k);
  EXPECT_EQ(sort.KeyCount(), in.size());
  auto out = Drain(sort);
  if (runs) *runs = sort.RunCount();
  return out;
}

std::string Message(const std::function<void()>& f) {
  try {
    f();
  } catch (const EDevazozError& e) {
    return e.what();
  }
  return "(no error)";
}

const char kTooLong[] = "Sort key length greater than 240 bytes";

// ---- limits and messages ----

TEST(SortLimits, MaximumKeyLengthAtConstruction) {
  EXPECT_NO_THROW(TgsSort(240, nullptr, true, false));
  EXPECT_EQ(Message([] { TgsSort s(241, nullptr, true, false); }), kTooLong);
  EXPECT_EQ(Message([] { TgsSort s(100000, nullptr, true, false); }), kTooLong);
}

TEST(SortLimits, KeyOfExactlyTheMaximumIsAcceptedOneMoreIsNot) {
  for (int max : {0, 1, 10, 239, 240}) {
    TgsSort sort(max, nullptr, true, false);
    TgsVariant v;
    v.SetText(std::string(size_t(max), 'K'));
    EXPECT_NO_THROW(sort.AddKey(v, 1)) << max;
    v.SetText(std::string(size_t(max) + 1, 'K'));
    EXPECT_EQ(Message([&] { sort.AddKey(v, 2); }), kTooLong) << max;
    v.SetBytes(std::string(size_t(max) + 1, 'K').data(), uint32_t(max) + 1);
    EXPECT_EQ(Message([&] { sort.AddKey(v, 3); }), kTooLong) << max;
    EXPECT_EQ(sort.KeyCount(), 1u);
    auto out = Drain(sort);
    ASSERT_EQ(out.size(), 1u);
    EXPECT_EQ(out[0], Text(std::string(size_t(max), 'K'), 1));
  }
}

TEST(SortLimits, LengthIsThatOfTheValueAsGiven) {
  // Trailing blanks count against the maximum (they are dropped afterwards);
  // numbers are 8 bytes long and dates 4.
  TgsSort sort(8, nullptr, true, false);
  TgsVariant v;
  v.SetText("AB       ");
  EXPECT_EQ(Message([&] { sort.AddKey(v, 1); }), kTooLong);
  v.SetNumber(1.5);
  EXPECT_NO_THROW(sort.AddKey(v, 1));
  TgsSort four(4, nullptr, true, false);
  EXPECT_EQ(Message([&] { four.AddKey(v, 1); }), kTooLong);
  v.SetDate(2444240);
  EXPECT_NO_THROW(four.AddKey(v, 1));
}

TEST(SortLimits, KindsThatCannotBeSorted) {
  TgsSort sort(10, nullptr, true, false);
  TgsVariant v;
  EXPECT_EQ(Message([&] { sort.AddKey(v, 1); }), "Variant type cannot be sorted");
  v.SetLogic(true);
  EXPECT_EQ(Message([&] { sort.AddKey(v, 1); }), "Variant type cannot be sorted");
  EXPECT_EQ(sort.KeyCount(), 0u);
}

TEST(SortLimits, NoKeysAfterRetrievalBegan) {
  for (bool empty : {true, false}) {
    TgsSort sort(10, nullptr, true, false);
    TgsVariant v;
    v.SetText("A");
    if (!empty) sort.AddKey(v, 1);
    int32_t r;
    EXPECT_EQ(sort.NextKey(v, r), !empty);
    v.SetText("B");
    EXPECT_EQ(Message([&] { sort.AddKey(v, 2); }),
              "Cannot add sort keys after beginning retrieval");
    EXPECT_FALSE(sort.NextKey(v, r));
    EXPECT_FALSE(sort.NextKey(v, r));
  }
}

TEST(SortLimits, EmptySortAndEmptyKeys) {
  EXPECT_TRUE(SortAll({}).empty());
  // An all-blank text is the empty key; it sorts before every other text.
  auto out = SortAll({Text("B", 1), Text("   ", 2), Text("", 3), Text("A", 4)});
  std::vector<Out> want = {Text("", 2), Text("", 3), Text("A", 4), Text("B", 1)};
  EXPECT_EQ(out, want);
}

// ---- order ----

TEST(SortOrder, TextWithoutTrailingBlanksInByteOrder) {
  auto out = SortAll({Text("b  ", 1), Text("B", 2), Text("a b ", 3), Text("\xE9", 4), Text("A", 5),
                      Text(" A", 6)});
  std::vector<Out> want = {Text(" A", 6),  Text("A", 5), Text("B", 2),
                           Text("a b", 3), Text("b", 1), Text("\xE9", 4)};
  EXPECT_EQ(out, want);
}

TEST(SortOrder, EqualKeysByRecordNumberWhateverTheArrival) {
  std::vector<Out> in;
  for (int32_t r : {5, 3, 9, 1, 16777216, 256, 65536, 0x7FFFFFFF, 2}) in.push_back(Text("K", r));
  for (size_t work : {size_t(0), size_t(1024)}) {
    auto out = SortAll(in, nullptr, true, false, work);
    std::vector<int32_t> recs;
    for (auto& o : out) recs.push_back(o.recno);
    EXPECT_EQ(recs, (std::vector<int32_t>{1, 2, 3, 5, 9, 256, 65536, 16777216, 0x7FFFFFFF}));
  }
}

TEST(SortOrder, APrefixSortsBeforeItsExtensionsWhateverTheRecordNumbers) {
  // Appending the record number must not let it compete with key bytes: "AB"
  // (record 0x01000000) before "AB\0" (record 1) before "AB\x01".
  std::vector<Out> in = {Bytes(std::string("AB\0", 3), 1), Bytes("AB\x01", 2),
                         Bytes("AB", 0x01000000), Bytes("A", 0x7FFFFFFF),
                         Bytes(std::string("AB\0\0", 4), 0)};
  std::vector<Out> want = {Bytes("A", 0x7FFFFFFF), Bytes("AB", 0x01000000),
                           Bytes(std::string("AB\0", 3), 1), Bytes(std::string("AB\0\0", 4), 0),
                           Bytes("AB\x01", 2)};
  size_t runs = 0;
  EXPECT_EQ(SortAll(in), want);
  // One key per run: the merge must agree.
  EXPECT_EQ(SortAll(in, nullptr, true, false, 1024, 240, &runs), want);
  std::vector<Out> many;
  for (int i = 0; i < 400; ++i) many.push_back(in[size_t(i) % in.size()]);
  auto one = SortAll(many);
  EXPECT_EQ(SortAll(many, nullptr, true, false, 1024, 240, &runs), one);
  EXPECT_GT(runs, 1u);
}

TEST(SortOrder, ByteStringsUnchangedAndNeverMapped) {
  uint8_t reverse[256];
  for (int i = 0; i < 256; ++i) reverse[i] = uint8_t(255 - i);
  std::vector<Out> in = {Bytes("\xFF\x00", 1), Bytes(std::string("\0", 1), 2), Bytes("  ", 3),
                         Bytes("", 4), Bytes("\x7F", 5)};
  in[0].bytes = std::string("\xFF\0", 2);
  std::vector<Out> want = {Bytes("", 4), Bytes(std::string("\0", 1), 2), Bytes("  ", 3),
                           Bytes("\x7F", 5), Bytes(std::string("\xFF\0", 2), 1)};
  EXPECT_EQ(SortAll(in, reverse), want);
}

TEST(SortOrder, NumbersInNumericOrderAndBackBitForBit) {
  const double inf = std::numeric_limits<double>::infinity();
  const double denorm = std::numeric_limits<double>::denorm_min();
  std::vector<double> ordered = {
      -inf,   -1e300, -2.0, std::nextafter(-1.0, -2.0), -1.0, -0.5, -denorm, -0.0, 0.0, denorm,
      1e-300, 0.5,    1.0,  std::nextafter(1.0, 2.0),   2.0,  3.0,  1e300,   inf};
  std::vector<Out> in;
  for (size_t i = 0; i < ordered.size(); ++i) in.push_back(Number(ordered[i], int32_t(i + 1)));
  std::vector<Out> shuffled = in;
  std::mt19937 rng(3);
  std::shuffle(shuffled.begin(), shuffled.end(), rng);
  auto out = SortAll(shuffled);
  EXPECT_EQ(out, in);
  // -0.0 comes back negative, +0.0 positive.
  ASSERT_EQ(out.size(), ordered.size());
  EXPECT_TRUE(std::signbit(out[7].number));
  EXPECT_FALSE(std::signbit(out[8].number));
  std::reverse(in.begin(), in.end());
  EXPECT_EQ(SortAll(shuffled, nullptr, false), in);
  EXPECT_EQ(SortAll(shuffled, nullptr, false, false, 1024), in);
}

TEST(SortOrder, NotANumberComesBack) {
  auto out = SortAll({Number(std::nan(""), 1), Number(1.0, 2)});
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[0], Number(1.0, 2));
  EXPECT_TRUE(std::isnan(out[1].number));
}

TEST(SortOrder, DatesInDayOrder) {
  std::vector<Out> want = {Date(-5, 7),      Date(0, 3),       Date(1, 4),      Date(2444240, 1),
                           Date(2444240, 2), Date(2444241, 6), Date(5231808, 5)};
  std::vector<Out> in = {want[3], want[4], want[1], want[2], want[6], want[5], want[0]};
  EXPECT_EQ(SortAll(in), want);
  EXPECT_EQ(SortAll(in, nullptr, true, false, 1024), want);
}

TEST(SortOrder, KindsDoNotMix) {
  // A sort meant for one kind still orders a mixture: byte strings, texts,
  // numbers, dates.
  auto out = SortAll({Date(1, 1), Number(-1, 2), Text("A", 3), Bytes("A", 4), Text("", 5)});
  std::vector<Out> want = {Bytes("A", 4), Text("", 5), Text("A", 3), Number(-1, 2), Date(1, 1)};
  EXPECT_EQ(out, want);
}

// ---- collation ----

const uint8_t* CaseFoldMap() {
  static uint8_t map[256];
  for (int i = 0; i < 256; ++i) map[i] = uint8_t(i >= 'a' && i <= 'z' ? i - 32 : i);
  return map;
}

TEST(SortCollation, TextComparesThroughTheMapAndComesBackRaw) {
  std::vector<Out> in = {Text("b", 1),  Text("A", 2),  Text("a", 3), Text("B", 4),
                         Text("ab", 5), Text("AB", 6), Text("_", 7)};
  // '_' (0x5F) sorts after the upper-case letters it is compared as.
  std::vector<Out> want = {Text("A", 2), Text("a", 3), Text("ab", 5), Text("AB", 6),
                           Text("b", 1), Text("B", 4), Text("_", 7)};
  EXPECT_EQ(SortAll(in, CaseFoldMap()), want);
  EXPECT_EQ(SortAll(in, CaseFoldMap(), true, false, 1024), want);
}

TEST(SortCollation, AMapCanReverseTheOrder) {
  uint8_t reverse[256];
  for (int i = 0; i < 256; ++i) reverse[i] = uint8_t(255 - i);
  auto out = SortAll({Text("A", 1), Text("C", 2), Text("B", 3), Text("", 4)}, reverse);
  std::vector<Out> want = {Text("", 4), Text("C", 2), Text("B", 3), Text("A", 1)};
  EXPECT_EQ(out, want);
}

TEST(SortCollation, UniqueTreatsMappedEqualKeysAsOne) {
  std::vector<Out> in = {Text("abc", 4), Text("ABC", 2), Text("Abc  ", 3), Text("abd", 1)};
  std::vector<Out> want = {Text("ABC", 2), Text("abd", 1)};
  EXPECT_EQ(SortAll(in, CaseFoldMap(), true, true), want);
  EXPECT_EQ(SortAll(in, CaseFoldMap(), true, true, 1024), want);
  std::vector<Out> down = {Text("abd", 1), Text("ABC", 2)};
  EXPECT_EQ(SortAll(in, CaseFoldMap(), false, true), down);
  EXPECT_EQ(SortAll(in, CaseFoldMap(), false, true, 1024), down);
}

TEST(SortCollation, TheCallersMapIsCopied) {
  uint8_t map[256];
  for (int i = 0; i < 256; ++i) map[i] = uint8_t(255 - i);
  TgsSort sort(10, map, true, false);
  std::memset(map, 0, sizeof(map));
  Add(sort, Text("A", 1));
  Add(sort, Text("B", 2));
  auto out = Drain(sort);
  std::vector<Out> want = {Text("B", 2), Text("A", 1)};
  EXPECT_EQ(out, want);
}

// ---- unique and descending ----

TEST(SortModes, UniqueKeepsTheLowestRecordOfEachKey) {
  std::vector<Out> in = {Text("B", 7), Text("A", 9), Text("B", 3), Text("A", 4),
                         Text("C", 1), Text("A", 2), Text("B", 5)};
  std::vector<Out> up = {Text("A", 2), Text("B", 3), Text("C", 1)};
  std::vector<Out> down = {Text("C", 1), Text("B", 3), Text("A", 2)};
  for (size_t work : {size_t(0), size_t(1024)}) {
    EXPECT_EQ(SortAll(in, nullptr, true, true, work), up);
    EXPECT_EQ(SortAll(in, nullptr, false, true, work), down);
  }
}

TEST(SortModes, DescendingReversesKeysAndRecordNumbers) {
  std::vector<Out> in = {Text("B", 7), Text("A", 9), Text("B", 3), Text("AB", 4), Text("A", 2)};
  std::vector<Out> want = {Text("B", 7), Text("B", 3), Text("AB", 4), Text("A", 9), Text("A", 2)};
  EXPECT_EQ(SortAll(in, nullptr, false), want);
  EXPECT_EQ(SortAll(in, nullptr, false, false, 1024), want);
}

TEST(SortModes, RepeatedKeyAndRecordKeepsArrivalOrderBothWays) {
  // Keys equal through the map with the same record number: first come, first
  // out, in either direction and across runs.
  std::vector<Out> in = {Text("x", 5), Text("X", 5), Text("x", 5), Text("X", 5)};
  for (bool ascending : {true, false})
    for (size_t work : {size_t(0), size_t(1024)}) {
      auto out = SortAll(in, CaseFoldMap(), ascending, false, work);
      EXPECT_EQ(out, in) << ascending << work;
      auto uniq = SortAll(in, CaseFoldMap(), ascending, true, work);
      EXPECT_EQ(uniq, std::vector<Out>{in[0]}) << ascending << work;
    }
}

// ---- runs against one run and against a reference ----

// The reference order, written from the rules rather than from the encoding.
struct RefKey {
  Out key;
  std::string collated;
  size_t arrival;
};

int CompareRef(const RefKey& a, const RefKey& b) {
  auto kind = [](VariantType t) {
    switch (t) {
      case VariantType::Bytes:
        return 1;
      case VariantType::Text:
        return 2;
      case VariantType::Number:
        return 3;
      default:
        return 4;
    }
  };
  if (kind(a.key.type) != kind(b.key.type)) return kind(a.key.type) < kind(b.key.type) ? -1 : 1;
  if (a.key.type == VariantType::Number) {
    double x = a.key.number, y = b.key.number;
    if (x != y) return x < y ? -1 : 1;
    bool nx = std::signbit(x), ny = std::signbit(y);
    if (nx != ny) return nx ? -1 : 1;
  } else if (a.key.type == VariantType::Date) {
    if (a.key.day != b.key.day) return a.key.day < b.key.day ? -1 : 1;
  } else {
    int c = a.collated.compare(b.collated);  // unsigned bytes, shorter first
    if (c) return c < 0 ? -1 : 1;
  }
  uint32_t ra = uint32_t(a.key.recno), rb = uint32_t(b.key.recno);
  if (ra != rb) return ra < rb ? -1 : 1;
  return 0;
}

std::vector<Out> Reference(const std::vector<Out>& in, const uint8_t* map, bool ascending,
                           bool unique) {
  std::vector<RefKey> keys;
  for (size_t i = 0; i < in.size(); ++i) {
    RefKey k{in[i], in[i].bytes, i};
    if (in[i].type == VariantType::Text) {
      while (!k.collated.empty() && k.collated.back() == ' ') k.collated.pop_back();
      k.key.bytes = k.collated;
      if (map)
        for (auto& c : k.collated) c = char(map[uint8_t(c)]);
    }
    keys.push_back(k);
  }
  std::stable_sort(keys.begin(), keys.end(), [&](const RefKey& a, const RefKey& b) {
    int c = CompareRef(a, b);
    return ascending ? c < 0 : c > 0;
  });
  std::vector<Out> out;
  const RefKey* group = nullptr;  // the kept key of the current key value
  for (const auto& k : keys) {
    bool same = false;
    if (unique && group) {
      RefKey a = *group, b = k;
      a.key.recno = b.key.recno = 0;
      same = CompareRef(a, b) == 0;
    }
    if (!same) {
      out.push_back(k.key);
      group = &k;
    } else if (uint32_t(k.key.recno) < uint32_t(out.back().recno)) {
      out.back() = k.key;  // descending: the lowest record of the value
      group = &k;
    }
  }
  return out;
}

std::string RandomBytes(std::mt19937& rng, size_t max_len, const std::string& alphabet) {
  size_t n = rng() % (max_len + 1);
  std::string s;
  for (size_t i = 0; i < n; ++i) s += alphabet[rng() % alphabet.size()];
  return s;
}

std::vector<Out> RandomKeys(std::mt19937& rng, size_t count, int kind_mix, size_t max_len) {
  // Few symbols and short keys, so that prefixes, duplicates and equal keys
  // with several records are common.
  const std::string alphabet = std::string("aAbB \0\xFF", 7);
  std::vector<Out> in;
  for (size_t i = 0; i < count; ++i) {
    int32_t recno = int32_t(rng() % 50) + 1;
    if (rng() % 8 == 0) recno = int32_t(rng());  // high bytes too
    int kind = kind_mix < 4 ? kind_mix : int(rng() % 4);
    switch (kind) {
      case 0:
        in.push_back(Text(RandomBytes(rng, max_len, alphabet), recno));
        break;
      case 1:
        in.push_back(Bytes(RandomBytes(rng, max_len, alphabet), recno));
        break;
      case 2: {
        static const double kValues[] = {-1e10, -2.5, -1.0, -0.0, 0.0, 1e-310, 1.0, 2.5, 7e300};
        double v = rng() % 2 ? kValues[rng() % 9] : double(int(rng() % 200) - 100) / 8;
        in.push_back(Number(v, recno));
        break;
      }
      default:
        in.push_back(Date(int32_t(rng() % 40) - 5, recno));
        break;
    }
  }
  return in;
}

TEST(SortRuns, ManyRunsGiveTheSameOutputAsOneAndAsTheReference) {
  std::mt19937 rng(20240601);
  int trials = 0;
  for (int kind_mix = 0; kind_mix <= 4; ++kind_mix)
    for (bool mapped : {false, true})
      for (bool ascending : {true, false})
        for (bool unique : {false, true}) {
          const uint8_t* map = mapped ? CaseFoldMap() : nullptr;
          size_t count = 400 + rng() % 2000;
          auto in = RandomKeys(rng, count, kind_mix, 1 + rng() % 12);
          auto want = Reference(in, map, ascending, unique);
          size_t runs_one = 0, runs_many = 0;
          auto one = SortAll(in, map, ascending, unique, 0, 240, &runs_one);
          auto many = SortAll(in, map, ascending, unique, 1024, 240, &runs_many);
          SCOPED_TRACE(testing::Message() << "kinds " << kind_mix << " map " << mapped << " asc "
                                          << ascending << " unique " << unique);
          EXPECT_EQ(runs_one, 0u);
          EXPECT_GT(runs_many, 5u);
          EXPECT_EQ(one, want);
          EXPECT_EQ(many, want);
          ++trials;
        }
  EXPECT_EQ(trials, 40);
}

TEST(SortRuns, LongKeysAcrossPagesAndRuns) {
  // 240-byte keys that share long prefixes, in runs of several 64 KiB pages.
  std::mt19937 rng(99);
  std::vector<Out> in;
  for (int i = 0; i < 6000; ++i) {
    std::string s(200 + rng() % 41, 'P');
    for (int j = 0; j < 6; ++j) s[150 + rng() % 50] = char('A' + rng() % 3);
    s.back() = char('A' + rng() % 26);
    in.push_back(rng() % 2 ? Text(s, i + 1) : Text(s, int32_t(rng() % 1000) + 1));
  }
  for (bool ascending : {true, false}) {
    auto want = Reference(in, nullptr, ascending, false);
    size_t runs = 0;
    EXPECT_EQ(SortAll(in, nullptr, ascending, false, 0, 240, &runs), want);
    EXPECT_EQ(SortAll(in, nullptr, ascending, false, 256 << 10, 240, &runs), want);
    EXPECT_GE(runs, 5u);
    EXPECT_EQ(SortAll(in, CaseFoldMap(), ascending, true, 300 << 10, 240, &runs),
              Reference(in, CaseFoldMap(), ascending, true));
  }
}

TEST(SortRuns, LargeRandomTextAgainstTheReference) {
  // Title-like keys with a deep shared structure and repeated values, enough to
  // exercise the radix passes on large groups.
  std::mt19937 rng(7);
  static const char* const kWords[] = {"THE", "THEME", "LEGEND", "LEG", "OF", "SUPER", "S", ""};
  std::vector<Out> in;
  for (int i = 0; i < 60000; ++i) {
    std::string t;
    for (int w = 0, n = 1 + int(rng() % 6); w < n; ++w) t += std::string(kWords[rng() % 8]) + " ";
    t += std::to_string(rng() % 300);
    in.push_back(Text(t, int32_t(rng() % 100000) + 1));
  }
  for (bool unique : {false, true}) {
    auto want = Reference(in, nullptr, true, unique);
    EXPECT_EQ(SortAll(in, nullptr, true, unique), want);
    EXPECT_EQ(SortAll(in, nullptr, true, unique, 64 << 10), want);
  }
}

TEST(SortRuns, RecordsInRisingOrderAndRecordsThatFallBackAgainstTheReference) {
  // An index build adds records in rising order, so equal keys arrive in record
  // order; a caller that adds them otherwise (a record number falling back, or
  // repeated) still gets equal keys by record number, in every working area and
  // in both directions. Few key values, so that groups of equal keys are large.
  std::mt19937 rng(41);
  static const char* const kValues[] = {"RACING",
                                        "RACING GAMES",
                                        "PUZZLE",
                                        "",
                                        "SHOOTER OF THE",
                                        "SHOOTER OF THE YEAR",
                                        "SHOOTER OF THE YEAR 2"};
  for (int pattern = 0; pattern < 4; ++pattern) {
    std::vector<Out> in;
    int32_t recno = 0;
    for (int i = 0; i < 6000; ++i) {
      recno += 1 + int32_t(rng() % 3);
      // 1: one record falls back late; 2: records restart halfway (later runs
      // rise again); 3: a record repeats now and then.
      if (pattern == 1 && i == 5990) recno = 17;
      if (pattern == 2 && i == 3000) recno = 1;
      if (pattern == 3 && rng() % 50 == 0) recno -= 1 + int32_t(rng() % 2);
      in.push_back(Text(kValues[rng() % 7], recno));
    }
    for (bool ascending : {true, false})
      for (bool unique : {false, true}) {
        auto want = Reference(in, nullptr, ascending, unique);
        SCOPED_TRACE(testing::Message()
                     << "pattern " << pattern << " asc " << ascending << " unique " << unique);
        EXPECT_EQ(SortAll(in, nullptr, ascending, unique), want);
        EXPECT_EQ(SortAll(in, nullptr, ascending, unique, 4096), want);
        EXPECT_EQ(SortAll(in, CaseFoldMap(), ascending, unique, 4096),
                  Reference(in, CaseFoldMap(), ascending, unique));
      }
  }
}

TEST(SortRuns, LargeArenasOfEveryShapeAgainstTheReference) {
  // Tens of thousands of keys in one working area (shape 5: in two runs): keys
  // that differ in their first byte, keys that all share their first three or
  // their first ten bytes, keys of up to three bytes and empty ones, byte strings
  // and numbers; records rising, falling back and repeating.
  std::mt19937 rng(2718);
  auto title = [&](const std::string& prefix) {
    static const char* const kWords[] = {"Space", "Speed", "Star", "Men", "Magic", "Racer", "Ice"};
    std::string t = prefix;
    for (int w = 0, n = 1 + int(rng() % 3); w < n; ++w) t += std::string(kWords[rng() % 7]) + " ";
    if (rng() % 4 == 0) t += char('2' + rng() % 8);
    return t;
  };
  for (int shape = 0; shape < 7; ++shape) {
    std::vector<Out> in;
    int32_t recno = 0;
    size_t count = shape == 5 ? 70000 : 40000;
    for (size_t i = 0; i < count; ++i) {
      recno += 1 + int32_t(rng() % 2);
      if (shape == 1 && i % 1000 == 999) recno -= 900;  // falls back now and then
      if (shape == 3 && rng() % 40 == 0) recno -= 1;    // repeats
      switch (shape) {
        case 0:
        case 5:
          in.push_back(Text(title(""), recno));
          break;
        case 1:
          in.push_back(Text(title("ABC"), recno));
          break;
        case 2:
          in.push_back(Text(title("CATALOG NO"), recno));
          break;
        case 3:
          in.push_back(Text(RandomBytes(rng, 3, std::string("aAbB \0\xFF", 7)), recno));
          break;
        case 4:
          if (i % 2)
            in.push_back(Bytes(RandomBytes(rng, 12, std::string("ab\0\xFF", 4)), recno));
          else
            in.push_back(Bytes(std::string(9, 'x') + char(rng() % 4), recno));
          break;
        default:
          in.push_back(Number(double(int(rng() % 2000) - 1000) / 4, recno));
          break;
      }
    }
    for (bool ascending : {true, false})
      for (bool unique : {false, true}) {
        SCOPED_TRACE(testing::Message()
                     << "shape " << shape << " asc " << ascending << " unique " << unique);
        size_t runs = 0;
        EXPECT_EQ(SortAll(in, nullptr, ascending, unique, 0, 240, &runs),
                  Reference(in, nullptr, ascending, unique));
        EXPECT_EQ(runs, shape == 5 ? 2u : 0u);
        if (shape < 4) {
          // Mapped text takes twice the bytes: a larger area keeps one run.
          EXPECT_EQ(SortAll(in, CaseFoldMap(), ascending, unique, 4 << 20),
                    Reference(in, CaseFoldMap(), ascending, unique));
        }
      }
  }
}

TEST(SortRuns, WorkingAreaBoundsThePeakApartFromRuns) {
  SmallSort sort(40, nullptr, true, false, 64 << 10);
  TgsVariant v;
  for (int i = 0; i < 1000; ++i) {
    v.SetText("KEY " + std::to_string(i * 7919 % 1000));
    sort.AddKey(v, i + 1);
  }
  EXPECT_EQ(sort.RunCount(), 0u);
  EXPECT_LE(sort.PeakMemory(), 3 * sort.WorkBytes() + 4096);
  EXPECT_EQ(sort.WorkBytes(), size_t(64) << 10);
  SmallSort tiny(40, nullptr, true, false, 1);
  EXPECT_GE(tiny.WorkBytes(), 1024u);  // raised to the smallest usable area
}

}  // namespace

namespace {

// Text added as bytes (AddText) sorts and comes back (NextRaw) as text added as a
// value (AddKey, NextKey) does: with and without a collation map, in both
// directions, unique or not, through one run and through many.
TEST(SortRawForms, AddTextAndNextRawMatchTheValueForms) {
  uint8_t fold[256];
  for (int i = 0; i < 256; ++i) fold[i] = uint8_t(i >= 'a' && i <= 'z' ? i - 32 : i);
  std::mt19937 rng(7);
  std::vector<std::string> texts;
  const char letters[] = "aAbBc ";
  for (int i = 0; i < 3000; ++i) {
    std::string t(rng() % 9, ' ');
    for (char& c : t) c = letters[rng() % 6];
    texts.push_back(t);
  }
  for (const uint8_t* map :
       {static_cast<const uint8_t*>(nullptr), static_cast<const uint8_t*>(fold)})
    for (bool ascending : {true, false})
      for (bool unique : {false, true})
        for (size_t work : {size_t(1024), TgsSort::kDefaultWorkBytes}) {
          SCOPED_TRACE(std::to_string(map != nullptr) + std::to_string(ascending) +
                       std::to_string(unique) + " " + std::to_string(work));
          SmallSort by_value(40, map, ascending, unique, work);
          SmallSort by_bytes(40, map, ascending, unique, work);
          for (size_t i = 0; i < texts.size(); ++i) {
            Add(by_value, Text(texts[i], int32_t(i % 700 + 1)));
            by_bytes.AddText(reinterpret_cast<const uint8_t*>(texts[i].data()),
                             uint32_t(texts[i].size()), int32_t(i % 700 + 1));
          }
          std::vector<Out> want = Drain(by_value), got;
          const uint8_t* bytes = nullptr;
          uint32_t length = 0;
          int32_t r = 0;
          while (by_bytes.NextRaw(bytes, length, r))
            got.push_back(Text(std::string(reinterpret_cast<const char*>(bytes), length), r));
          EXPECT_EQ(got, want);
          EXPECT_GT(want.size(), 0u);
        }
  SmallSort limited(4, nullptr, true, false, 1024);
  EXPECT_EQ(Message([&] { limited.AddText(reinterpret_cast<const uint8_t*>("ABCDE"), 5, 1); }),
            "Sort key length greater than 240 bytes");
}

}  // namespace
