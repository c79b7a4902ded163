// TgsChangeMarker: the file beside a table that says a change of the table and
// its index files was under way, so that the next open knows which index files a
// crash may have left out of step with the table.
//
// The table handler writes it before the first byte of a change reaches any file
// and removes it once the change is wholly in the files: around each record
// change, for the length of a bulk scope, and around the renames that end a pack
// (see gs6_dbsy.cpp). A marker found at open names the index files to rebuild.
// Nothing else reads or writes it, so the table, memo and index files keep the
// layouts other programs read; a program that ignores the marker only misses the
// repair.
//
// Layout: the table's file name with ".changing" added, plain text, lines ended
// by LF:
//   LINE  CONTENT
//   1     "devazoz change in progress"
//   2...  an index file, one per line, as the engine identifies files (absolute,
//         upper-cased); the name alone when it lies in the table's folder, so
//         that a copy of the folder keeps its marker meaningful
// A marker whose first line is missing or different (cut short by a crash while it
// was written, or not ours) names every index file of the table. Lines are read
// from at most kMostBytes bytes; longer markers name every index file too.
#ifndef ENGINE_FOUNDATION_GS6_MARK_H_
#define ENGINE_FOUNDATION_GS6_MARK_H_

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace devazoz {

class TgsChangeMarker {
 public:
  static constexpr size_t kMostBytes = 1 << 16;

  // table_path: the table file as the system knows it.
  explicit TgsChangeMarker(const std::string& table_path);

  const std::string& Path() const { return path_; }

  // What a marker on the disk says. exists is false when there is none; all is set
  // when it names every index file (then files is empty). Index files are given
  // and compared by their upper-cased full names.
  struct Contents {
    bool exists = false;
    bool all = false;
    std::vector<std::string> files;  // as written: names in the table's folder alone
    std::string folder;              // the table's folder, upper-cased, with its '/'
    bool Names(const std::string& file_name) const;
  };
  Contents Read() const;

  // Writes the marker naming files. With sync its bytes and its folder entry reach
  // the disk before this returns. The system's error code, or 0 when written.
  int32_t Write(const std::vector<std::string>& files, bool sync);
  // Removes the marker; false when one is left behind.
  bool Remove();
  // Takes file_name off the marker; the marker goes when it names no file any more.
  // A marker that names every file is removed when every_file_done is set, and
  // otherwise kept.
  void Forget(const std::string& file_name, bool every_file_done);

 private:
  // How the marker lists an index file.
  std::string EntryFor(const std::string& file_name) const;
  std::string path_;
  std::string folder_;  // upper-cased
};

}  // namespace devazoz

#endif  // ENGINE_FOUNDATION_GS6_MARK_H_
