// Held writes: blocks written to an exclusively opened file wait in memory and
// reach the system in position order; every read through the handle, the size
// and truncation see them; a failing write keeps them. And the first page of an
// exclusively opened file, written through a mapping.
#include "engine/foundation/gs6_pend.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/foundation/gs6_disk.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_os.h"
#include "tests/support/dbf_fixture.h"

namespace devazoz {
namespace {

std::string OnDisk(const std::string& path) { return qvx_test::ReadFileText(path); }

std::string ReadBack(GSO_DiskFile& f, int64_t offset, int32_t count) {
  std::string s(size_t(count), '?');
  int32_t n = f.ReadAt(offset, s.data(), count);
  s.resize(size_t(n));
  return s;
}

class HeldWrites : public ::testing::Test {
 protected:
  std::string Make(const std::string& name, const std::string& bytes) {
    std::string path = dir_.File(name);
    qvx_test::WriteFileBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.end()));
    return path;
  }
  void TearDown() override {
    os::SetFaultHook(nullptr);
    SetErrorHook(nullptr);
  }
  qvx_test::TempDir dir_;
};

TEST(PendingBlocksTest, BlocksOverlayFillFromTheFileAndFlushInRuns) {
  std::string file(64, '.');
  auto read = [&](int64_t at, uint8_t* out, size_t n) {
    std::memset(out, 0, n);
    for (size_t i = 0; i < n && size_t(at) + i < file.size(); ++i)
      out[i] = uint8_t(file[size_t(at) + i]);
  };
  PendingBlocks p(16, 48);
  EXPECT_TRUE(p.Empty());
  // A write inside one block keeps the file's other bytes of that block.
  p.Write(20, reinterpret_cast<const uint8_t*>("ab"), 2, read);
  // One spanning two blocks past the end of the file.
  p.Write(60, reinterpret_cast<const uint8_t*>("WXYZ1234"), 8, read);
  EXPECT_EQ(p.End(), 80);
  EXPECT_EQ(p.HeldBytes(), 48u);
  EXPECT_TRUE(p.Full());
  std::string view(80, '-');
  p.Overlay(0, reinterpret_cast<uint8_t*>(view.data()), view.size());
  EXPECT_EQ(view.substr(16, 16), "....ab..........");
  EXPECT_EQ(view.substr(48, 16), "............WXYZ");
  EXPECT_EQ(view.substr(64, 4), "1234");
  EXPECT_EQ(view[68], '\0');                            // past the file: zeros
  EXPECT_EQ(view.substr(0, 16), std::string(16, '-'));  // not held, untouched

  std::vector<std::pair<int64_t, size_t>> writes;
  std::string out(80, ' ');
  auto write = [&](int64_t at, const uint8_t* b, size_t n) {
    writes.push_back({at, n});
    std::memcpy(out.data() + at, b, n);
    return true;
  };
  EXPECT_TRUE(p.Flush(write));
  // Blocks 3 and 4 are neighbours: one write; block 1 alone.
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes[0], (std::pair<int64_t, size_t>{16, 16}));
  EXPECT_EQ(writes[1], (std::pair<int64_t, size_t>{48, 32}));
  EXPECT_EQ(out.substr(60, 8), "WXYZ1234");
  EXPECT_TRUE(p.Empty());
  EXPECT_EQ(p.End(), 0);

  // A failing write keeps every block for the next try.
  p.Write(0, reinterpret_cast<const uint8_t*>("q"), 1, read);
  EXPECT_FALSE(p.Flush([](int64_t, const uint8_t*, size_t) { return false; }));
  EXPECT_FALSE(p.Empty());
  EXPECT_TRUE(p.Flush(write));
  EXPECT_EQ(out[0], 'q');

  // Discarding from an offset drops the blocks that start there or later.
  p.Write(0, reinterpret_cast<const uint8_t*>("r"), 1, read);
  p.Write(33, reinterpret_cast<const uint8_t*>("s"), 1, read);
  p.Write(70, reinterpret_cast<const uint8_t*>("t"), 1, read);
  p.DiscardFrom(32);
  EXPECT_EQ(p.End(), 16);
  std::string again(48, '-');
  p.Overlay(0, reinterpret_cast<uint8_t*>(again.data()), again.size());
  EXPECT_EQ(again[0], 'r');
  EXPECT_EQ(again[33], '-');
}

TEST_F(HeldWrites, ReadsSizeAndOtherObjectsSeeHeldWritesUntilTheyReachTheDisk) {
  std::string path = Make("held.cdx", std::string(1024, 'a'));
  GSO_DiskFile f(path, true, false);
  f.Open();
  f.HoldWrites(512);
  f.WriteAt(510, "HELD", 4);  // across two blocks
  f.WriteAt(2000, "END", 3);  // beyond the end: a hole before it
  EXPECT_EQ(OnDisk(path), std::string(1024, 'a'));
  EXPECT_EQ(f.FileSize(), 2048);
  EXPECT_EQ(ReadBack(f, 508, 8), "aaHELDaa");
  std::string tail = ReadBack(f, 1020, 1028);
  ASSERT_EQ(tail.size(), 1028u);
  EXPECT_EQ(tail.substr(0, 4), "aaaa");
  EXPECT_EQ(tail.substr(4, 976), std::string(976, '\0'));
  EXPECT_EQ(tail.substr(980, 3), "END");
  // Another object on the path shares the handle and so the held blocks.
  {
    GSO_DiskFile other(path, false, false);
    other.Open();
    EXPECT_EQ(ReadBack(other, 510, 4), "HELD");
  }
  // A large write goes through at once, after what was held.
  std::string big(70000, 'b');
  f.WriteAt(4096, big.data(), int32_t(big.size()));
  std::string disk = OnDisk(path);
  ASSERT_EQ(disk.size(), 4096u + big.size());
  EXPECT_EQ(disk.substr(510, 4), "HELD");
  EXPECT_EQ(disk.substr(2000, 3), "END");

  f.WriteAt(0, "Z", 1);
  f.Flush();
  EXPECT_EQ(OnDisk(path)[0], 'Z');
  f.WriteAt(1, "Y", 1);
  f.Close();
  EXPECT_EQ(OnDisk(path).substr(0, 2), "ZY");
}

// A read wholly inside held blocks takes them without reading the file; one
// that reaches past them reads it.
int g_reads = 0;
int32_t CountReads(os::Call call, const std::string&) {
  if (call == os::Call::Read) ++g_reads;
  return 0;
}

TEST_F(HeldWrites, AReadOfHeldBlocksAloneMakesNoSystemCall) {
  std::string path = Make("held.cdx", std::string(2048, 'a'));
  GSO_DiskFile f(path, true, false);
  f.Open();
  f.HoldWrites(512);
  f.WriteAt(512, std::string(512, 'h').data(), 512);
  f.WriteAt(1024, "X", 1);        // held too: the rest of its block was read in
  f.WriteAt(3072, "END", 3);      // beyond the end
  os::SetFaultHook(&CountReads);  // also keeps reads away from the mapping
  g_reads = 0;
  EXPECT_EQ(ReadBack(f, 1000, 26), std::string(24, 'h') + "Xa");
  EXPECT_EQ(ReadBack(f, 3072, 5), "END" + std::string(2, '\0'));
  EXPECT_EQ(g_reads, 0);
  EXPECT_EQ(ReadBack(f, 1534, 4), "aaaa");  // past the held blocks
  EXPECT_EQ(g_reads, 1);
  EXPECT_EQ(ReadBack(f, 3580, 8), std::string(4, '\0'));  // past the end
  EXPECT_EQ(g_reads, 2);
}

TEST_F(HeldWrites, TruncationDropsHeldBlocksPastTheCut) {
  std::string path = Make("cut.cdx", std::string(1536, 'a'));
  GSO_DiskFile f(path, true, false);
  f.Open();
  f.HoldWrites(512);
  f.WriteAt(0, "keep", 4);
  f.WriteAt(1024, "gone", 4);
  f.WriteAt(4096, "gone", 4);
  f.Truncate(1024);
  EXPECT_EQ(f.FileSize(), 1024);
  std::string disk = OnDisk(path);
  ASSERT_EQ(disk.size(), 1024u);
  EXPECT_EQ(disk.substr(0, 4), "keep");
  f.Close();
  EXPECT_EQ(OnDisk(path).size(), 1024u);
}

TEST_F(HeldWrites, SharedAndReadOnlyFilesWriteAtOnce) {
  std::string path = Make("shared.cdx", std::string(512, 'a'));
  GSO_DiskFile f(path, true, true);
  f.Open();
  f.HoldWrites(512);
  f.WriteAt(0, "S", 1);
  EXPECT_EQ(OnDisk(path)[0], 'S');
  f.Close();
  GSO_DiskFile r(path, false, false);
  r.Open();
  r.HoldWrites(512);  // nothing to hold for a file opened for reading
  EXPECT_EQ(ReadBack(r, 0, 1), "S");
}

int32_t g_fail_code = 0;
std::string g_fail_path;
int32_t FailWrites(os::Call call, const std::string& path) {
  return call == os::Call::Write && path == g_fail_path ? g_fail_code : 0;
}
std::vector<int32_t> g_codes;
void Capture(int32_t code, int32_t, const char*) { g_codes.push_back(code); }

TEST_F(HeldWrites, AFailingWriteIsReportedAndKeepsTheBlocks) {
  std::string path = Make("full.cdx", std::string(512, 'a'));
  GSO_DiskFile f(path, true, false);
  f.Open();
  f.HoldWrites(512);
  f.WriteAt(0, "X", 1);
  g_fail_path = f.RealPath();
  g_fail_code = os::MapErrno(ENOSPC);
  os::SetFaultHook(&FailWrites);
  SetErrorHook(&Capture);
  g_codes.clear();
  EXPECT_FALSE(f.WritePending());
  ASSERT_EQ(g_codes.size(), 1u);
  EXPECT_EQ(g_codes[0], kErrDiskFull);
  EXPECT_EQ(ReadBack(f, 0, 1), "X");  // still held
  os::SetFaultHook(nullptr);
  EXPECT_TRUE(f.WritePending());
  EXPECT_EQ(OnDisk(path)[0], 'X');
}

TEST_F(HeldWrites, TheFirstPageIsWrittenThroughAMappingThatFollowsTheFile) {
  std::string path = Make("head.dbf", std::string(100, 'a'));
  GSO_DiskFile f(path, true, false);
  f.Open();
  f.WriteAt(4, "HEAD", 4);
  // Other readers of the file see the bytes at once.
  EXPECT_EQ(OnDisk(path).substr(0, 10), "aaaaHEADaa");
  // Past the end of the file as it was mapped: written by the system.
  f.WriteAt(98, "TAIL", 4);
  EXPECT_EQ(OnDisk(path).size(), 102u);
  f.WriteAt(100, "ab", 2);
  EXPECT_EQ(OnDisk(path).substr(96, 6), "aaTAab");
  // Truncation lets go of the mapping; later writes map the new size.
  f.Truncate(6);
  EXPECT_EQ(OnDisk(path), "aaaaHE");
  f.WriteAt(0, "xy", 2);
  f.WriteAt(5, "zz", 2);
  EXPECT_EQ(OnDisk(path), "xyaaHzz");
  f.Close();
  EXPECT_EQ(OnDisk(path), "xyaaHzz");
  // A file opened for shared use is written by the system.
  GSO_DiskFile s(path, true, true);
  s.Open();
  s.WriteAt(0, "S", 1);
  EXPECT_EQ(OnDisk(path)[0], 'S');
}

}  // namespace
}  // namespace devazoz
