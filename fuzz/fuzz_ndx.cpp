// libFuzzer target: opens an arbitrary NDX file, walks its tag first to last
// and back, seeks, and (when asked) inserts and deletes keys.
//
// Input: byte 0 holds flags (bit 0: open with a small table whose fields are
// TITLE C(40) and PRICE N(8,2), so numeric keys are decoded too; bit 1: open for
// writing and change keys); byte 1 picks seek keys; the rest is the file.
// Checks beyond "no crash, no leak, no hang": an engine failure is an
// EDevazozError (or an expression error of a header's key expression); a walk
// that completes forwards and backwards sees the same number of keys.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "engine/foundation/gs6_eror.h"
#include "engine/index/gs6_indxcheck.h"
#include "engine/index/gs6_ndx.h"
#include "engine/table/gs6_dbfld.h"
#include "engine/table/gs6_sqlbase.h"
#include "fuzz/fuzz_hook.h"

namespace {

// Never destroyed: the exit handler that removes the directory still reads it.
const std::string& Dir() {
  static const std::string& dir = *new std::string([] {
    const char* base = std::getenv("TMPDIR");
    std::string d =
        std::string(base && *base ? base : "/tmp") + "/fuzz_ndx." + std::to_string(getpid());
    if (std::system(("mkdir -p " + d).c_str()) != 0) std::abort();
    std::atexit([] { std::system(("rm -rf " + Dir()).c_str()); });
    return d;
  }());
  return dir;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size) {
  FILE* f = std::fopen(path.c_str(), "wb");
  if (!f) std::abort();
  if (size && std::fwrite(data, 1, size, f) != size) std::abort();
  std::fclose(f);
}

// A table of three records: TITLE C(40), PRICE N(8,2), version 0x03.
void WriteTable(const std::string& path) {
  std::string h(32, '\0');
  h[0] = 0x03;
  int header = 32 + 2 * 32 + 1, record = 1 + 40 + 8;
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
  std::string file = h + field("TITLE", 'C', 40, 0) + field("PRICE", 'N', 8, 2) + "\r";
  const char* titles[] = {"Lunar Comet", "Iron Arena", "Frozen Tower"};
  const char* prices[] = {"   12.50", "   -3.00", "    0.00"};
  for (int i = 0; i < 3; ++i) {
    std::string t = titles[i];
    t.resize(40, ' ');
    file += " " + t + prices[i];
  }
  file += "\x1A";
  WriteFile(path, reinterpret_cast<const uint8_t*>(file.data()), file.size());
}

void Check(bool ok, const char* what) {
  if (!ok) {
    std::fprintf(stderr, "fuzz_ndx check failed: %s\n", what);
    std::abort();
  }
}

void Exercise(devazoz::GSobjNDXFile& file, uint8_t seed, bool write) {
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
        k.Value.SetText(probes[(seed + i) % 6]);
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
          k.Value.SetText(text);
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

// The checker reads the same damaged pages on its own path.
void Verify(devazoz::GSobjNDXFile& file) {
  try {
    devazoz::CheckNdxFile(file);
  } catch (const devazoz::EDevazozError&) {
  } catch (const devazoz::EDevazozExpression&) {
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  fuzz_hook::ChooseErrorHook();
  if (size < 2) return 0;
  const uint8_t flags = data[0], seed = data[1];
  const bool with_table = flags & 1, write = flags & 2;
  std::string index_path = Dir() + "/F.NDX";
  std::string table_path = Dir() + "/T.DBF";
  WriteFile(index_path, data + 2, size - 2);
  if (with_table) WriteTable(table_path);
  try {
    std::unique_ptr<devazoz::GSO_dBaseFld> table;
    if (with_table) table = std::make_unique<devazoz::GSO_dBaseFld>(table_path, false, write);
    devazoz::GSobjNDXFile index(table.get(), index_path, false, false, write, false);
    Exercise(index, seed, write);
    Verify(index);
  } catch (const devazoz::EDevazozError&) {
  } catch (const devazoz::EDevazozExpression&) {
  }
  return 0;
}
