// The one driver of the index fuzz targets (CDX, MDX, NTX, NDX): it writes the
// input as an index file, opens it over a small table, walks every tag first to
// last and back, seeks, and (when asked) inserts and deletes keys and keeps a
// record's keys as the table handler does; each target adds its format's checks.
//
// Input: byte 0 holds flags (bit 0: open with a small table whose fields are
// TITLE C(40), PRICE N(8,2) and, for formats that index dates, DAY D(8), so that
// header expressions compile and numeric keys are decoded too; bit 1: open for
// writing and change keys; bits 2 and up are the target's own); byte 1 picks
// seek keys; the rest is the file.
// Checks beyond "no crash, no leak, no hang": an engine failure is an
// EDevazozError (or an expression error of a header's key expression); a walk
// that completes forwards and backwards sees the same number of keys.
#ifndef QVX_FUZZ_FUZZ_INDEX_H_
#define QVX_FUZZ_FUZZ_INDEX_H_

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>

#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_indx.h"
#include "engine/table/gs6_dbfld.h"
#include "engine/table/gs6_sqlbase.h"
#include "fuzz/fuzz_hook.h"

namespace fuzz_index {

// The target's scratch directory, removed at exit. Never destroyed: the exit
// handler that removes the directory still reads it.
inline const std::string& Dir(const char* target) {
  static const std::string& dir = *new std::string([target] {
    const char* base = std::getenv("TMPDIR");
    std::string d =
        std::string(base && *base ? base : "/tmp") + "/" + target + "." + std::to_string(getpid());
    if (std::system(("mkdir -p " + d).c_str()) != 0) std::abort();
    std::atexit([] { std::system(("rm -rf " + Dir("")).c_str()); });
    return d;
  }());
  return dir;
}

inline void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

// A table of three records, version 0x03: TITLE C(40), PRICE N(8,2) and, with
// with_day, DAY D(8) (one of them empty).
inline void WriteTable(const std::string& path, bool with_day) {
  const int fields = with_day ? 3 : 2;
  std::string h(32, '\0');
  h[0] = 0x03;
  h[4] = 3;
  int header = 32 + fields * 32 + 1, record = 1 + 40 + 8 + (with_day ? 8 : 0);
  h[8] = char(header & 0xFF);
  h[9] = char(header >> 8);
  h[10] = char(record);
  auto field = [](const char* name, char type, int length, int decimals) {
    std::string d(32, '\0');
    for (int i = 0; name[i]; ++i) d[size_t(i)] = name[i];
    d[11] = type;
    d[16] = char(length);
    d[17] = char(decimals);
    return d;
  };
  std::string file = h + field("TITLE", 'C', 40, 0) + field("PRICE", 'N', 8, 2);
  if (with_day) file += field("DAY", 'D', 8, 0);
  file += "\r";
  const char* titles[] = {"Lunar Comet", "Iron Arena", "Frozen Tower"};
  const char* prices[] = {"   12.50", "   -3.00", "    0.00"};
  const char* days[] = {"20240131", "19991231", "        "};
  for (int i = 0; i < 3; ++i) {
    std::string t = titles[i];
    t.resize(40, ' ');
    file += " " + t + prices[i] + (with_day ? days[i] : "");
  }
  file += "\x1A";
  WriteFile(path, reinterpret_cast<const uint8_t*>(file.data()), file.size());
}

inline void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "index fuzz check failed: %s\n", what);
    std::abort();
  }
}

// Walks, seeks and (with write) changes keys in each of the first eight tags.
inline void Exercise(devazoz::GSobjIndexFile& file, uint8_t seed, bool write) {
  for (int t = 0; t < file.TagCount() && t < 8; ++t) {
    devazoz::GSobjIndexTag* tag = file.TagAt(t);
    try {
      tag->LoadTree(0);
      long forward = 0, backward = 0;
      bool complete = true;
      // Record number 0 is a possible (damaged) key, so the walks test the flags.
      for (tag->Navigate(devazoz::kNavFirst); !tag->Eof() && !tag->Bof();
           tag->Navigate(devazoz::kNavNext))
        if (++forward > 20000) {
          complete = false;
          break;
        }
      for (tag->Navigate(devazoz::kNavLast); !tag->Eof() && !tag->Bof();
           tag->Navigate(devazoz::kNavPrior))
        if (++backward > 20000) {
          complete = false;
          break;
        }
      if (complete) Check(forward == backward, "walks forwards and backwards differ");
      const char* probes[] = {"", "A", "Iron", "\xFF", "Lunar Comet", "M"};
      for (int i = 0; i < 3; ++i) {
        devazoz::GSobjIndexKeyData k;
        if (tag->KeyType() == 'C')
          k.Value.SetText(probes[(seed + i) % 6]);
        else
          k.Value.SetNumber(double(seed) * 10000.0 - 2.5 * i);
        k.RecordNumber = -1;
        tag->Find(k);
        tag->Navigate(devazoz::kNavNext);
        tag->Navigate(devazoz::kNavPrior);
        tag->Lookup(k);
      }
      if (write) {
        for (int i = 0; i < 40; ++i) {
          devazoz::GSobjIndexKeyData k;
          std::string text = std::string(probes[(seed + i) % 6]) + char('A' + i % 26);
          if (tag->KeyType() == 'C')
            k.Value.SetText(text);
          else
            k.Value.SetNumber(2451545.0 + (seed - 128) * i);
          k.RecordNumber = k.TreePointer = 1 + (i * 7 + seed) % 50;
          tag->InsertKey(k);
          if (i % 3 == 0) tag->DeleteKey(k);
        }
      }
      tag->ReleaseTree();
    } catch (const devazoz::EDevazozError&) {
    } catch (const devazoz::EDevazozExpression&) {
    }
  }
}

// Runs one input against the index class File, whose files end in extension
// (".CDX"); after(file, flags) adds the target's checks on the opened file.
template <class File, class After>
int Run(const char* target, const char* extension, bool with_day, const uint8_t* data, size_t size,
        After after) {
  fuzz_hook::ChooseErrorHook();
  if (size < 2) return 0;
  const uint8_t flags = data[0], seed = data[1];
  const bool with_table = flags & 1, write = flags & 2;
  std::string index_path = Dir(target) + "/F" + extension;
  std::string table_path = Dir(target) + "/T.DBF";
  WriteFile(index_path, data + 2, size - 2);
  if (with_table) WriteTable(table_path, with_day);
  try {
    std::unique_ptr<devazoz::GSO_dBaseFld> table;
    if (with_table) table = std::make_unique<devazoz::GSO_dBaseFld>(table_path, false, write);
    File index(table.get(), index_path, false, false, write, false);
    Exercise(index, seed, write);
    if (write && table) {
      // The table handler's way of keeping keys: the paths of a change and of an
      // append read before anything is written, then the change itself.
      try {
        table->ReadRecord(1);
        index.CheckKeyPaths(1, false);
        index.UpdateKeys(1, false);
        index.CheckKeyPaths(0, true);
      } catch (const devazoz::EDevazozError&) {
      } catch (const devazoz::EDevazozExpression&) {
      }
    }
    after(index, flags);
  } catch (const devazoz::EDevazozError&) {
  } catch (const devazoz::EDevazozExpression&) {
  }
  return 0;
}

}  // namespace fuzz_index

#endif  // QVX_FUZZ_FUZZ_INDEX_H_
