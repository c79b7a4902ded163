// Writes the benchmark tables: a version 0x03 table (the engine itself never
// creates tables) with the given fields and count records, each record's bytes set
// by the caller.
#ifndef BENCH_BENCH_TABLE_H_
#define BENCH_BENCH_TABLE_H_

#include <sys/resource.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include "engine/foundation/gs6_bytes.h"

struct BenchField {
  const char* name;
  char type;
  int length;
  int decimals = 0;
};

// fill(r, record) sets the bytes of the 0-based record r; record arrives blank
// (the deletion flag at record[0] included) and has the record length.
template <typename Fill>
void WriteBenchTable(const std::string& path, const BenchField* fields, int field_count, int count,
                     Fill fill) {
  int header_length = 32 + 32 * field_count + 1;
  int record_length = 1;
  std::vector<uint8_t> header(size_t(header_length), 0);
  devazoz::ByteSpan h(header.data(), header.size());
  for (int i = 0; i < field_count; ++i) {
    size_t at = 32 + 32 * size_t(i);
    h.PutBytes(at, fields[i].name, std::strlen(fields[i].name));
    h.PutU8(at + 11, uint8_t(fields[i].type));
    h.PutU8(at + 16, uint8_t(fields[i].length));
    h.PutU8(at + 17, uint8_t(fields[i].decimals));
    record_length += fields[i].length;
  }
  h.PutU8(0, 0x03);
  h.PutU32LE(4, uint32_t(count));
  h.PutU16LE(8, uint16_t(header_length));
  h.PutU16LE(10, uint16_t(record_length));
  h.PutU8(size_t(header_length) - 1, 0x0D);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(header.data()), header_length);
  std::string record, chunk;
  for (int r = 0; r < count; ++r) {
    record.assign(size_t(record_length), ' ');
    fill(r, record);
    chunk += record;
    if (chunk.size() > (1 << 20)) {
      out.write(chunk.data(), std::streamsize(chunk.size()));
      chunk.clear();
    }
  }
  chunk += '\x1A';
  out.write(chunk.data(), std::streamsize(chunk.size()));
}

// The title table of the index benchmarks: 176 bytes of fields + the deletion
// flag = 177; TITLE at byte 1, CATEGORY at 41, PRICE at 141.
inline constexpr BenchField kTitleTableFields[] = {
    {"TITLE", 'C', 40, 0},      {"CATEGORY", 'C', 30, 0}, {"DEVELOPER", 'C', 30, 0},
    {"DISTRIBUTR", 'C', 30, 0}, {"PLAYERS", 'C', 5, 0},   {"MEMORYBLKS", 'C', 5, 0},
    {"ANALOG", 'L', 1, 0},      {"DUALSHOCK", 'L', 1, 0}, {"NOTES", 'C', 10, 0},
    {"RELEASED", 'D', 8, 0},    {"PRICE", 'N', 12, 2},    {"SERIAL", 'C', 4, 0}};
inline constexpr int kTitleTableFieldCount =
    int(sizeof(kTitleTableFields) / sizeof(kTitleTableFields[0]));

// A scratch file name in $TMPDIR (or /tmp), unique to this process.
inline std::string BenchPath(const char* name) {
  const char* tmp = std::getenv("TMPDIR");
  return std::string(tmp && *tmp ? tmp : "/tmp") + "/" + name + "." + std::to_string(getpid());
}

// The file's size in bytes (-1 when it is missing).
inline int64_t SizeOf(const std::string& path) {
  std::ifstream in(path, std::ios::binary | std::ios::ate);
  return int64_t(in.tellg());
}

// The system time the process spends from construction to Seconds(): the
// share of a measurement that the kernel does (page cache, faults).
struct SystemTime {
  rusage start{};
  SystemTime() { getrusage(RUSAGE_SELF, &start); }
  double Seconds() const {
    rusage now{};
    getrusage(RUSAGE_SELF, &now);
    return double(now.ru_stime.tv_sec - start.ru_stime.tv_sec) +
           double(now.ru_stime.tv_usec - start.ru_stime.tv_usec) / 1e6;
  }
};

#endif  // BENCH_BENCH_TABLE_H_
