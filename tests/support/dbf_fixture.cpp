#include "tests/support/dbf_fixture.h"

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>

namespace qvx_test {

DbfFixture::DbfFixture(uint8_t version, std::vector<FieldSpec> fields)
    : version_(version), fields_(std::move(fields)) {}

int DbfFixture::RecordLength() const {
  if (record_length_override >= 0) return record_length_override;
  int len = 1;
  for (const auto& f : fields_) len += f.length;
  return len;
}

int DbfFixture::HeaderLength() const {
  if (header_length_override >= 0) return header_length_override;
  int len = 32 + 32 * int(fields_.size()) + (terminator ? 1 : 0) + extra_header_bytes;
  if (version_ == 0x30) len += 263;
  return len;
}

DbfFixture& DbfFixture::AddRecord(const std::vector<std::string>& values, bool deleted) {
  std::string rec(1, deleted ? '*' : ' ');
  for (size_t i = 0; i < fields_.size(); ++i) {
    std::string v = i < values.size() ? values[i] : std::string();
    v.resize(size_t(fields_[i].length), ' ');
    rec += v;
  }
  records_.push_back(rec);
  return *this;
}

DbfFixture& DbfFixture::AddRawRecord(const std::string& bytes, bool deleted) {
  records_.push_back(std::string(1, deleted ? '*' : ' ') + bytes);
  return *this;
}

std::vector<uint8_t> DbfFixture::Bytes() const {
  std::vector<uint8_t> out(32, 0);
  auto put16 = [&](size_t at, uint32_t v) {
    out[at] = uint8_t(v);
    out[at + 1] = uint8_t(v >> 8);
  };
  auto put32 = [&](size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i) out[at + i] = uint8_t(v >> (8 * i));
  };
  out[0] = version_;
  out[1] = 126;  // 2026-12-09
  out[2] = 12;
  out[3] = 9;
  put32(4, stored_count >= 0 ? uint32_t(stored_count) : uint32_t(records_.size()));
  put16(8, uint32_t(HeaderLength()));
  put16(10, uint32_t(RecordLength()));
  out[28] = flags;
  for (const auto& f : fields_) {
    uint8_t d[32] = {};
    std::memcpy(d, f.name.data(), std::min<size_t>(f.name.size(), 10));
    d[11] = uint8_t(f.type);
    if (f.type == 'C' && f.length > 255) {
      d[16] = uint8_t(f.length & 0xFF);
      d[17] = uint8_t(f.length >> 8);
    } else {
      d[16] = uint8_t(f.length);
      d[17] = uint8_t(f.decimals);
    }
    out.insert(out.end(), d, d + 32);
  }
  if (terminator) out.push_back(0x0D);
  if (version_ == 0x30) out.insert(out.end(), 263, 0);
  out.insert(out.end(), size_t(extra_header_bytes), 0);
  out.resize(size_t(std::max<int>(HeaderLength(), 0)), 0);
  for (const auto& r : records_) out.insert(out.end(), r.begin(), r.end());
  if (end_marker) out.push_back(0x1A);
  return out;
}

void DbfFixture::Write(const std::string& path) const { WriteFileBytes(path, Bytes()); }

TempDir::TempDir() {
  const char* base = std::getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/qvxtest.XXXXXX";
  std::vector<char> buf(pattern.begin(), pattern.end());
  buf.push_back('\0');
  if (!mkdtemp(buf.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buf.data();
}

TempDir::~TempDir() {
  if (std::getenv("QVX_KEEP_TEMP")) return;
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

std::string TestDataPath(const std::string& relative) {
  return std::string(QVX_TESTDATA_DIR) + "/" + relative;
}

std::string CopyTestData(const std::string& relative, const std::string& dir,
                         const std::string& dest_name) {
  std::string name = dest_name;
  if (name.empty()) {
    size_t slash = relative.rfind('/');
    name = slash == std::string::npos ? relative : relative.substr(slash + 1);
  }
  std::string dest = dir + "/" + name;
  WriteFileBytes(dest, ReadFileBytes(TestDataPath(relative)));
  return dest;
}

std::string CopyTestTable(const std::string& relative, const std::string& dir) {
  std::string table = CopyTestData(relative, dir);
  size_t dot = relative.rfind('.');
  std::string base = dot == std::string::npos ? relative : relative.substr(0, dot);
  for (const char* ext : {".dbt", ".fpt", ".cdx", ".ntx", ".DBT", ".FPT", ".CDX", ".NTX"})
    if (std::filesystem::exists(TestDataPath(base + ext))) CopyTestData(base + ext, dir);
  return table;
}

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)),
                              std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (!out) throw std::runtime_error("cannot write " + path);
  out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

std::string ReadFileText(const std::string& path) {
  auto b = ReadFileBytes(path);
  return std::string(b.begin(), b.end());
}

int RunCommand(const std::string& command, std::string* out, std::string* err) {
  char out_name[] = "/tmp/qvxcmd.out.XXXXXX";
  char err_name[] = "/tmp/qvxcmd.err.XXXXXX";
  int fo = mkstemp(out_name), fe = mkstemp(err_name);
  if (fo >= 0) close(fo);
  if (fe >= 0) close(fe);
  std::string line = command + " >" + out_name + " 2>" + err_name;
  int status = std::system(line.c_str());
  if (out) *out = ReadFileText(out_name);
  if (err) *err = ReadFileText(err_name);
  unlink(out_name);
  unlink(err_name);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

}  // namespace qvx_test
