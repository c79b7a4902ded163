#include "catalog/table_create.h"

#include <cstdint>
#include <stdexcept>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_disk.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_os.h"

namespace catalog {
namespace {

// Writes the file through the engine's disk files, whose failures say what went
// wrong (a full disk says so). The bytes go to a scratch file beside the target,
// which takes the target's name only when complete: a failure never leaves an
// empty or half-written table behind.
void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::string scratch_name = path + ".tmp";
  int32_t err = 0;
  try {
    devazoz::GSO_DiskFile scratch(scratch_name, true, false);
    scratch.CreateFile();
    scratch.WriteAt(0, bytes.data(), int32_t(bytes.size()));
    scratch.Flush();
    std::string real = scratch.RealPath();
    scratch.Close();
    if (!devazoz::os::ReplaceFile(real, devazoz::GSO_DiskFile::MakeAbsolute(path), err))
      devazoz::ReportEngineError(
          err, devazoz::kSubRename,
          path + (err == devazoz::kErrDiskFull ? " (the disk is full)" : ""));
  } catch (...) {
    devazoz::os::RemoveFile(devazoz::GSO_DiskFile::MakeAbsolute(scratch_name), err);
    throw;
  }
}

}  // namespace

void CreateEmptyTable(const std::string& path, unsigned char version,
                      const std::vector<NewField>& fields) {
  size_t header_length = 32 + 32 * fields.size() + 1;
  std::vector<uint8_t> bytes(header_length + 1, 0);
  devazoz::ByteSpan out(bytes.data(), bytes.size());
  int record_length = 1;
  for (size_t i = 0; i < fields.size(); ++i) {
    const NewField& f = fields[i];
    size_t at = 32 + 32 * i;
    out.PutBytes(at, f.name.data(), std::min<size_t>(f.name.size(), 10));
    out.PutU8(at + 11, uint8_t(f.type));
    out.PutU8(at + 16, uint8_t(f.length));
    out.PutU8(at + 17, uint8_t(f.decimals));
    record_length += f.length;
  }
  out.PutU8(0, version);
  out.PutU8(1, 126);
  out.PutU8(2, 12);
  out.PutU8(3, 9);
  out.PutU16LE(8, uint16_t(header_length));
  out.PutU16LE(10, uint16_t(record_length));
  out.PutU8(header_length - 1, 0x0D);
  out.PutU8(header_length, 0x1A);
  WriteAll(path, bytes);
}

void CreateEmptyFpt(const std::string& path, int block_size) {
  std::vector<uint8_t> bytes(512, 0);
  devazoz::ByteSpan out(bytes.data(), bytes.size());
  out.PutU32BE(0, uint32_t((512 + block_size - 1) / block_size));
  out.PutU16BE(6, uint16_t(block_size));
  WriteAll(path, bytes);
}

}  // namespace catalog
