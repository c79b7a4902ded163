// qvx_samplecat DIRECTORY [--titles N]: writes the sample catalog (QVXCAT.DBF with
// its memo file, CATEGORY.DBF, DEVDIST.DBF and their indexes) filled with invented
// titles and companies; 48 titles unless N says otherwise (big catalogs for trying
// the program and for the benchmarks). Files of the same names are replaced.
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "catalog/sample_catalog.h"

int main(int argc, char** argv) {
  std::string dir;
  long titles = catalog::kSampleTitles;
  bool usage = false;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--titles" && i + 1 < argc) {
      char* end = nullptr;
      titles = std::strtol(argv[++i], &end, 10);
      if (*end != '\0' || titles < 0 || titles > 100000000) usage = true;
    } else if (dir.empty() && !arg.empty() && arg[0] != '-') {
      dir = arg;
    } else {
      usage = true;
    }
  }
  if (usage || dir.empty()) {
    std::fprintf(stderr, "usage: qvx_samplecat DIRECTORY [--titles N]\n");
    return 2;
  }
  mkdir(dir.c_str(), 0755);
  try {
    catalog::WriteSampleCatalog(dir, int(titles));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
  return 0;
}
