// Test fixture builder: writes DBF files of any version and field layout, since
// the engine itself never creates tables. Field values are given as the raw bytes
// to store (padded with blanks or cut to the field's length).
#ifndef TESTS_SUPPORT_DBF_FIXTURE_H_
#define TESTS_SUPPORT_DBF_FIXTURE_H_

#include <cstdint>
#include <string>
#include <vector>

namespace qvx_test {

struct FieldSpec {
  std::string name;
  char type;
  int length;  // for C fields up to 65535: the high byte goes to decimals
  int decimals = 0;
};

class DbfFixture {
 public:
  DbfFixture(uint8_t version, std::vector<FieldSpec> fields);

  // Raw field values in field order; missing values are blank.
  DbfFixture& AddRecord(const std::vector<std::string>& values, bool deleted = false);
  // Raw record bytes after the deletion flag, exactly record length - 1 long.
  DbfFixture& AddRawRecord(const std::string& bytes, bool deleted = false);

  // Header settings; defaults describe a well-formed file.
  uint8_t flags = 0;           // header byte 28
  int32_t stored_count = -1;   // header offset 4; -1 = the real count
  int extra_header_bytes = 0;  // added after the terminator (and the 0x30 area)
  bool terminator = true;      // write the 0x0D after the descriptors
  bool end_marker = true;      // write the 0x1A after the last record
  int record_length_override = -1;
  int header_length_override = -1;

  int HeaderLength() const;
  int RecordLength() const;
  std::vector<uint8_t> Bytes() const;
  void Write(const std::string& path) const;

 private:
  uint8_t version_;
  std::vector<FieldSpec> fields_;
  std::vector<std::string> records_;  // each: flag byte + field bytes
};

// A fresh directory under the system temp directory, removed when the test ends
// (kept when the environment sets QVX_KEEP_TEMP).
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string File(const std::string& name) const { return path_ + "/" + name; }

 private:
  std::string path_;
};

// Copies a file from the shared test data (path relative to it) into dir, making
// it writable; returns the new path. dest_name defaults to the source's own name.
std::string CopyTestData(const std::string& relative, const std::string& dir,
                         const std::string& dest_name = "");
std::string TestDataPath(const std::string& relative);
// Copies a table of the shared test data into dir with its memo and index files
// (same base name); returns the table's new path. Tests read private copies:
// tables are opened for exclusive use, which a parallel test would be refused.
std::string CopyTestTable(const std::string& relative, const std::string& dir);

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::string ReadFileText(const std::string& path);

// Runs a command line through the shell; returns the exit status and fills out/err.
int RunCommand(const std::string& command, std::string* out, std::string* err = nullptr);

}  // namespace qvx_test

#endif  // TESTS_SUPPORT_DBF_FIXTURE_H_
