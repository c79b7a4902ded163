// The index subcommands' table: a table object whose StatusUpdate feeds a
// progress bar on stderr while stderr is a terminal; and the shared opening of
// an index file (CDX, NTX, NDX or MDX, by extension) for the subcommands.
#ifndef TOOLS_DEVAZOZ_INDEX_PROGRESS_H_
#define TOOLS_DEVAZOZ_INDEX_PROGRESS_H_

#include <cstdint>
#include <memory>
#include <string>

#include "engine/index/gs6_indx.h"
#include "engine/table/gs6_dbfld.h"

namespace devazoz_tool {

class ProgressTable : public devazoz::GSO_dBaseFld {
 public:
  ProgressTable(const std::string& path, bool read_write);
  ~ProgressTable() override;
  // (-1, phase, total) starts a phase (1 reading records, 2 writing keys,
  // 3 checking records); (phase, n, 0) reports n done; (0, 0, 0) ends it.
  void StatusUpdate(int32_t what, int32_t done, int32_t total) override;

 private:
  void Draw(int32_t done);
  bool terminal_;
  int32_t phase_ = 0;
  int32_t total_ = 0;
  int shown_ = -1;
};

// Opens the index file; raises EDevazozError with the file's own reason when it
// cannot be opened or is not valid.
std::unique_ptr<devazoz::GSobjIndexFile> OpenIndex(devazoz::GSO_dBaseFld* table,
                                                   const std::string& path, bool create,
                                                   bool read_write);
// The index file object for the path's extension (".NTX", ".NDX", ".MDX"; any
// other is a CDX file), without the checks of OpenIndex.
std::unique_ptr<devazoz::GSobjIndexFile> MakeIndex(devazoz::GSO_dBaseFld* table,
                                                   const std::string& path, bool create,
                                                   bool read_write);
// The extension of a path, upper-case with its dot, or empty.
std::string IndexExtension(const std::string& path);

}  // namespace devazoz_tool

#endif  // TOOLS_DEVAZOZ_INDEX_PROGRESS_H_
