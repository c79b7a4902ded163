// devazoz on MDX files, and MDX files read by an independent reader (XBase::Index
// of Debian's libdbd-xbase-perl): an MDX with a character, a numeric, a date and
// a descending tag is built here, listed there and listed here.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>

#include "engine/foundation/gs6_dbsy.h"
#include "tests/support/dbf_fixture.h"

namespace {

using qvx_test::ReadFileBytes;
using qvx_test::RunCommand;
using qvx_test::TempDir;

std::string Tool() { return QVX_DEVAZOZ_TOOL; }
std::string Q(const std::string& s) { return "'" + s + "'"; }

// Lists one tag as "KEY<TAB>RECNO" lines in stored order, keys decoded by type
// as devazoz keys prints them.
const char* kPerlLister = R"PERL(
use strict;
use XBase::Index;
my ($file, $tag, $type) = @ARGV;
my $index = XBase::Index->new($file, 'tag' => $tag) or die XBase::Index->errstr;
$index->prepare_select or die $index->errstr;
sub number {
  my $t = sprintf('%.10f', shift);
  if ($t =~ /\./) { $t =~ s/0+$//; $t =~ s/\.$//; }
  return $t eq '-0' ? '0' : $t;
}
sub ymd {
  my $jd = shift;
  my $l = $jd + 68569; my $n = int(4 * $l / 146097); $l -= int((146097 * $n + 3) / 4);
  my $i = int(4000 * ($l + 1) / 1461001); $l = $l - int(1461 * $i / 4) + 31;
  my $j = int(80 * $l / 2447); my $d = $l - int(2447 * $j / 80); $l = int($j / 11);
  return sprintf('%04d%02d%02d', 100 * ($n - 49) + $i + $l, $j + 2 - 12 * $l, $d);
}
while (my ($key, $rec) = $index->fetch) {
  if ($type eq 'C') {
    $key =~ s/ +$//;
  } elsif ($type eq 'D') {
    my $day = unpack('d<', $key);
    $key = $day > 1e9 ? '        ' : ymd($day);
  } else {
    my @b = unpack('C12', $key);
    my $digits = '';
    $digits .= sprintf('%02x', $b[2 + $_]) for 0 .. int((($b[1] & 0x7F) - 1) / 8) - 1;
    my $v = $digits eq '' ? 0 : ('0.' . $digits) * 10 ** ($b[0] - 52);
    $key = number(($b[1] & 0x80) ? -$v : $v);
  }
  print "$key\t$rec\n";
}
die $index->errstr if $index->errstr;
)PERL";

class DevazozMdx : public ::testing::Test {
 protected:
  void SetUp() override {
    qvx_test::DbfFixture f(0x03, {{"TITLE", 'C', 30}, {"PRICE", 'N', 9, 2}, {"DAY", 'D', 8}});
    const char* words[] = {"Comet", "Arena", "Tower", "Rally", "Ninja", "Quest", "Orbit"};
    for (int i = 0; i < 700; ++i) {
      std::string title =
          std::string(words[i % 7]) + " " + words[(i / 7) % 7] + " " + std::to_string(i % 97);
      char price[16];
      std::snprintf(price, sizeof price, "%9.2f", ((i * 37) % 2001 - 1000) / 8.0);
      char day[16];
      std::snprintf(day, sizeof day, "%04d%02d%02d", 1985 + i % 30, i % 12 + 1, i % 28 + 1);
      f.AddRecord({title, price, i % 11 == 3 ? "" : day});
    }
    table_ = dir_.File("GAMES.DBF");
    mdx_ = dir_.File("GAMES.MDX");
    f.Write(table_);
    perl_ = dir_.File("list.pl");
    FILE* out = std::fopen(perl_.c_str(), "w");
    std::fputs(kPerlLister, out);
    std::fclose(out);
  }
  int Run(const std::string& args, std::string* out, std::string* err = nullptr) {
    return RunCommand(Tool() + " " + args, out, err);
  }
  std::string Perl(const std::string& tag, char type) {
    std::string out, err;
    EXPECT_EQ(RunCommand("perl " + Q(perl_) + " " + Q(mdx_) + " " + tag + " " + type, &out, &err),
              0)
        << err;
    return out;
  }
  std::string Keys(const std::string& tag) {
    std::string out, err;
    EXPECT_EQ(Run("keys " + Q(table_) + " " + Q(mdx_) + " " + tag, &out, &err), 0) << err;
    return out;
  }
  TempDir dir_;
  std::string table_, mdx_, perl_;
};

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  size_t at = 0;
  while (at < text.size()) {
    size_t nl = text.find('\n', at);
    out.push_back(text.substr(at, nl - at));
    at = nl + 1;
  }
  return out;
}

TEST_F(DevazozMdx, FourTagsBuiltHereListTheSameThere) {
  std::string out, err;
  ASSERT_EQ(Run("index " + Q(table_) + " " + Q(mdx_) + " TITLE TITLE", &out, &err), 0) << err;
  ASSERT_EQ(Run("index " + Q(table_) + " " + Q(mdx_) + " PRICE PRICE", &out, &err), 0) << err;
  ASSERT_EQ(Run("index " + Q(table_) + " " + Q(mdx_) + " DAY DAY", &out, &err), 0) << err;
  ASSERT_EQ(Run("index " + Q(table_) + " " + Q(mdx_) + " DOWN TITLE --descending", &out, &err), 0)
      << err;
  ASSERT_EQ(Run("tags " + Q(table_) + " " + Q(mdx_), &out, &err), 0) << err;
  EXPECT_EQ(out,
            "TITLE\tC\t30\tTITLE\t\t-\nPRICE\tN\t12\tPRICE\t\t-\nDAY\tD\t8\tDAY\t\t-\n"
            "DOWN\tC\t30\tTITLE\t\tdescending\n");
  struct Tag {
    const char* name;
    char type;
  } tags[] = {{"TITLE", 'C'}, {"PRICE", 'N'}, {"DAY", 'D'}, {"DOWN", 'C'}};
  for (const Tag& t : tags) {
    std::string here = Keys(t.name);
    EXPECT_EQ(Lines(here).size(), 700u) << t.name;
    EXPECT_EQ(Perl(t.name, t.type), here) << t.name;
  }
  // Here the keys are in order: titles ascending and descending, prices as
  // numbers, dates with the empty ones last.
  std::vector<std::string> title = Lines(Keys("TITLE")), down = Lines(Keys("DOWN"));
  EXPECT_TRUE(std::is_sorted(title.begin(), title.end()));
  std::vector<std::string> title_keys, down_keys;
  for (auto& l : title) title_keys.push_back(l.substr(0, l.find('\t')));
  for (auto& l : down) down_keys.push_back(l.substr(0, l.find('\t')));
  std::reverse(down_keys.begin(), down_keys.end());
  EXPECT_EQ(down_keys, title_keys);
  std::vector<double> prices;
  for (auto& l : Lines(Keys("PRICE"))) prices.push_back(std::stod(l.substr(0, l.find('\t'))));
  EXPECT_TRUE(std::is_sorted(prices.begin(), prices.end()));
  EXPECT_EQ(prices.front(), -125);
  std::vector<std::string> days = Lines(Keys("DAY"));
  EXPECT_EQ(days.back().substr(0, 9), "        \t");
  EXPECT_EQ(Run("check " + Q(table_) + " " + Q(mdx_), &out, &err), 0) << out << err;
  EXPECT_EQ(out, "ok\n");
}

TEST_F(DevazozMdx, PagesSplitByAppendsListTheSameThere) {
  std::string out, err;
  ASSERT_EQ(Run("index " + Q(table_) + " " + Q(mdx_) + " TITLE TITLE", &out, &err), 0) << err;
  ASSERT_EQ(Run("index " + Q(table_) + " " + Q(mdx_) + " PRICE PRICE --descending", &out, &err), 0);
  {
    devazoz::GSO_dBHandler h(table_, true, false);
    ASSERT_EQ(h.OpenIndexFile(mdx_), 0);
    for (int i = 0; i < 900; ++i) {
      h.BlankRecord();
      h.PutStrByName("TITLE", "Added " + std::to_string(i * 7919 % 1000));
      h.PutStrByName("PRICE", std::to_string(i % 300 - 150) + ".5");
      h.AppendRecord();
    }
    h.ReadRecord(5);
    h.PutStrByName("TITLE", "AAA changed");
    h.WriteRecord(5);
  }
  EXPECT_EQ(Perl("TITLE", 'C'), Keys("TITLE"));
  EXPECT_EQ(Perl("PRICE", 'N'), Keys("PRICE"));
  EXPECT_EQ(Lines(Keys("TITLE")).front(), "AAA changed\t5");
  EXPECT_EQ(Run("check " + Q(table_) + " " + Q(mdx_), &out, &err), 0) << out << err;
}

TEST_F(DevazozMdx, SeekDumpReindexAndCheck) {
  std::string out, err;
  ASSERT_EQ(
      Run("index " + Q(table_) + " " + Q(mdx_) + " TITLE TITLE --for \"PRICE > 0\"", &out, &err), 0)
      << err;
  ASSERT_EQ(Run("index " + Q(table_) + " " + Q(mdx_) + " PRICE PRICE --unique", &out, &err), 0);
  EXPECT_EQ(ReadFileBytes(table_)[28] & 1, 1);  // the production index
  ASSERT_EQ(Run("tags " + Q(table_) + " " + Q(mdx_), &out, &err), 0);
  EXPECT_EQ(out, "TITLE\tC\t30\tTITLE\tPRICE > 0\t-\nPRICE\tN\t12\tPRICE\t\tunique\n");
  // Record 1: "Comet Comet 0", price -125.
  ASSERT_EQ(Run("seek " + Q(table_) + " " + Q(mdx_) + " PRICE -125", &out, &err), 0) << err;
  EXPECT_EQ(out, "1\tT\n");
  ASSERT_EQ(Run("seek " + Q(table_) + " " + Q(mdx_) + " PRICE 1000", &out, &err), 0);
  EXPECT_EQ(out, "0\tF\n");
  ASSERT_EQ(Run("seek " + Q(table_) + " " + Q(mdx_) + " TITLE Orbit --partial", &out, &err), 0);
  EXPECT_NE(out.substr(out.find('\t')), "\tF\n") << out;
  ASSERT_EQ(Run("dump " + Q(table_) + " --index " + Q(mdx_) + " --tag PRICE", &out, &err), 0)
      << err;
  std::vector<std::string> rows = Lines(out);
  ASSERT_GT(rows.size(), 2u);
  EXPECT_EQ(rows[1].substr(0, 2), "1\t");
  // Damage, then repair.
  std::vector<uint8_t> b = ReadFileBytes(mdx_);
  size_t header = size_t(b[512 + 32]) * 512;
  size_t root = (size_t(b[header]) | size_t(b[header + 1]) << 8) * 512;
  size_t leaf = (size_t(b[root + 8]) | size_t(b[root + 9]) << 8) * 512;
  b[leaf + 12] ^= 0x20;
  qvx_test::WriteFileBytes(mdx_, b);
  EXPECT_EQ(Run("check " + Q(table_) + " " + Q(mdx_), &out, &err), 1);
  EXPECT_NE(out.find("TITLE: "), std::string::npos) << out;
  ASSERT_EQ(Run("reindex " + Q(table_) + " " + Q(mdx_), &out, &err), 0) << err;
  EXPECT_EQ(Run("check " + Q(table_) + " " + Q(mdx_), &out, &err), 0) << out;
  // A header cut off: tags and keys say why.
  b.resize(2100);
  qvx_test::WriteFileBytes(mdx_, b);
  EXPECT_EQ(Run("keys " + Q(table_) + " " + Q(mdx_) + " TITLE", &out, &err), 1);
  EXPECT_NE(err.find("header of tag TITLE"), std::string::npos) << err;
  EXPECT_EQ(Run("check " + Q(table_) + " " + Q(mdx_), &out, &err), 1);
}

}  // namespace
