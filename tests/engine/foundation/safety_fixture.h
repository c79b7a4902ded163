// Shared by the handler's crash, durability and repair tests: a table with index
// files of any of the four formats, copies of a directory, a check of an index
// file by its format, and a child process killed at its Nth system call.
#ifndef TESTS_ENGINE_FOUNDATION_SAFETY_FIXTURE_H_
#define TESTS_ENGINE_FOUNDATION_SAFETY_FIXTURE_H_

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "engine/index/gs6_indx.h"
#include "engine/table/gs6_dbfld.h"

namespace qvx_test {

// An index format with the tags a test table gets in it: (name, key expression).
struct IndexKind {
  const char* ext;
  std::vector<std::pair<std::string, std::string>> tags;
};

// Test names and failures show the extension.
inline void PrintTo(const IndexKind& kind, std::ostream* out) { *out << kind.ext; }

// The test table P.DBF: TITLE C(12), SEQ N(6), NOTES M (dBASE IV memo, P.DBT).
extern const IndexKind kCdx;  // TITLE, SEQ (STR(SEQ,6)), BACK (SEQ)
extern const IndexKind kMdx;  // TITLE, SEQ
extern const IndexKind kNtx;  // P on TITLE
extern const IndexKind kNdx;  // P on SEQ
// The four, for parameterized tests.
std::vector<IndexKind> AllIndexKinds();
// ".CDX" -> "CDX", for test names.
std::string KindName(const IndexKind& kind);

std::string TitleOf(int i);
std::string NoteOf(int i);

// Opens (or creates) an index file of the format its extension names.
std::unique_ptr<devazoz::GSobjIndexFile> MakeIndexFile(devazoz::GSO_dBaseFld* table,
                                                       const std::string& path, bool create);

// Writes dir/P.DBF (+ P.DBT) with count records (record i is deleted when
// i % 3 == 1 and deleted_too, has a memo when i % 4 == 0) and the index files of
// kinds over it.
void WriteTable(const std::string& dir, int count, const std::vector<IndexKind>& kinds,
                bool deleted_too = true);

void CopyDir(const std::string& from, const std::string& to);

// Problems the format's check finds in the file (empty: sound).
std::vector<std::string> CheckIndex(devazoz::GSobjIndexFile& file);
// The check of dir/P<ext> against dir/P.DBF, opened read-only; "cannot be opened"
// when it is not valid.
std::vector<std::string> CheckIndexIn(const std::string& dir, const IndexKind& kind);
// The records the first tag of kind visits, in order, through a handler opened
// read-only; every record must appear once for a sound index.
std::vector<int32_t> FirstTagWalk(const std::string& dir, const IndexKind& kind);

// Runs action in a child process killed with SIGKILL at its call-th system call
// (counted by the engine's fault hook); true when the child was killed, false when
// it finished first.
bool KilledAt(long call, const std::function<void()>& action);
// The system calls action makes, run here on a copy of pristine.
long CountedCalls(const std::string& pristine,
                  const std::function<void(const std::string&)>& action);
// Kill points: every call up to most of them, else most spread evenly.
std::vector<long> KillPoints(long calls, long most);

}  // namespace qvx_test

#endif  // TESTS_ENGINE_FOUNDATION_SAFETY_FIXTURE_H_
