// libFuzzer target: reads (and writes) memos of an arbitrary memo file.
//
// Input: byte 0 picks the layout (dBASE III, dBASE IV, FoxPro) and whether errors
// raise or are only recorded (so the code after a report runs too); byte 1 picks a
// memo to write; bytes 2..33 name eight blocks to read; the rest is the file.
// Checks beyond "no crash, no leak, no hang": no memo is longer than the file, and a
// memo written without an error reads back exactly.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "engine/foundation/gs6_eror.h"
#include "engine/table/gs6_memo.h"

namespace {

int g_reports = 0;
void CountingHook(int32_t, int32_t, const char*) { ++g_reports; }

const std::string& Dir() {
  // Never destroyed, so the exit handler that removes the directory can use it.
  static const std::string& dir = *new std::string([] {
    const char* base = std::getenv("TMPDIR");
    std::string d =
        std::string(base && *base ? base : "/tmp") + "/fuzz_memo." + std::to_string(getpid());
    std::string cmd = "mkdir -p " + d;
    if (std::system(cmd.c_str()) != 0) std::abort();
    std::atexit([] {
      if (std::system(("rm -rf " + Dir()).c_str()) != 0) std::fprintf(stderr, "cleanup failed\n");
    });
    return d;
  }());
  return dir;
}

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_memo check failed: %s\n", what);
    std::abort();
  }
}

std::unique_ptr<devazoz::GSobjMemo> OpenMemo(int layout, const std::string& table) {
  switch (layout) {
    case 0:
      return std::make_unique<devazoz::GSobjMemo>(nullptr, 0x83, false, true, table);
    case 1:
      return std::make_unique<devazoz::GSobjMemo4>(nullptr, 0x8B, false, true, table);
    default:
      return std::make_unique<devazoz::GSobjFXMemo20>(nullptr, 0xF5, false, true, table);
  }
}

std::string ReadWhole(devazoz::GSobjMemo& memo, int32_t block, int64_t file_size) {
  int32_t size = memo.MemoLength(block);
  Check(size >= 0 && size <= file_size, "memo longer than its file");
  if (size == 0) return std::string();
  std::string out(size_t(size), '\0');
  memo.ReadMemo(out.data(), block, size);
  Check(size >= 0 && size_t(size) <= out.size(), "read more than asked");
  out.resize(size_t(size));
  return out;
}

void Run(const uint8_t* data, size_t size) {
  if (size < 34) return;
  const int layout = data[0] % 3;
  const bool raising = (data[0] & 0x80) == 0;
  const uint8_t write_choice = data[1];
  std::vector<int32_t> blocks;
  for (int i = 0; i < 8; ++i) {
    const uint8_t* p = data + 2 + 4 * i;
    uint32_t v = uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
    // Mostly small block numbers, sometimes anything at all.
    blocks.push_back((p[3] & 0x80) ? int32_t(v) : int32_t(v % 64));
  }
  const std::string table = Dir() + "/F.DBF";
  const std::string file = Dir() + (layout == 2 ? "/F.FPT" : "/F.DBT");
  FILE* f = std::fopen(file.c_str(), "wb");
  if (!f) std::abort();
  std::fwrite(data + 34, 1, size - 34, f);
  std::fclose(f);

  devazoz::SetErrorHook(raising ? nullptr : &CountingHook);
  try {
    auto memo = OpenMemo(layout, table);
    for (int32_t block : blocks) {
      try {
        ReadWhole(*memo, block, memo->FileSize());
      } catch (const devazoz::EDevazozError&) {
      }
    }
    if (write_choice & 1) {
      // Rewrite the memo last read (or a new one) with a text of up to ~4 KiB.
      size_t length = size_t(write_choice >> 1) * 33;
      std::string text(length, '\0');
      for (size_t i = 0; i < length; ++i) text[i] = char('a' + (i * 7 + write_choice) % 26);
      int32_t block = (write_choice & 2) ? blocks[7] : 0;
      g_reports = 0;
      int32_t got = memo->WriteMemo(text.data(), block, int32_t(text.size()));
      if (g_reports == 0 && got > 0) {
        Check(block == got, "written block not handed back");
        std::string back = ReadWhole(*memo, got, memo->FileSize());
        Check(g_reports == 0 && back == text, "memo does not read back as written");
      }
    }
  } catch (const devazoz::EDevazozError&) {
  }
  devazoz::SetErrorHook(nullptr);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Run(data, size);
  return 0;
}
