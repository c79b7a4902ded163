// The sample catalog: invented titles, categories and companies, 48 titles unless
// asked for more (big catalogs for trying the program and for the benchmarks). The
// program writes it for "Try the sample catalog"; qvx_samplecat writes it from the
// command line.
#ifndef CATALOG_SAMPLE_CATALOG_H_
#define CATALOG_SAMPLE_CATALOG_H_

#include <string>

namespace catalog {

constexpr int kSampleTitles = 48;

// Writes the sample's seven files into an existing folder, replacing any files of
// those names. Raises the engine's error when a file cannot be written.
void WriteSampleCatalog(const std::string& dir, int titles = kSampleTitles);

// The same into a folder that holds no catalog file: refuses as CreateCatalog
// does, and leaves nothing behind when writing fails.
void CreateSampleCatalog(const std::string& dir, int titles = kSampleTitles);

}  // namespace catalog

#endif  // CATALOG_SAMPLE_CATALOG_H_
