// RepairTable: a table whose records disagree with its header (cut short by a
// crash, a full disk or a copy that stopped early; see GSO_dBaseDBF::Damage)
// made whole again, and its indexes rebuilt.
//
// The table keeps its whole records and loses the bytes of a record cut short;
// the header's count becomes the number kept. The original file is first copied
// to TABLE.DBF.bak (synced; an older copy of that name is replaced), then the mended table is
// written beside it as TABLE.tmp and renamed over it in one step (GSO_DiskFile::ReplaceWith): a
// crash at any moment leaves the original or the mended table under the name, and the copy. The
// memo file is not touched: memos of lost records stay as unused blocks. Then the named index files
// and the table's own compound index (its base name with ".CDX", when there is one) are rebuilt
// through a handler, each replaced whole.
#include <memory>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_dbsy.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_os.h"
#include "engine/foundation/gs6_tool.h"
#include "engine/index/gs6_indx.h"
#include "platform/services/codepage.h"

namespace devazoz {
namespace {

constexpr int32_t kCopyChunk = 1 << 20;

// Copies bytes [0, size) of from into the new file to (created or emptied), and
// syncs it. Raises what the disk files report.
void CopyInto(GSO_DiskFile& from, int64_t size, GSO_DiskFile& to) {
  std::vector<uint8_t> chunk;
  for (int64_t at = 0; at < size; at += int64_t(chunk.size())) {
    chunk.resize(size_t(std::min<int64_t>(size - at, kCopyChunk)));
    if (from.ReadAt(at, chunk.data(), int32_t(chunk.size())) < int32_t(chunk.size()))
      ReportEngineError(kErrDiskRead, kSubReadAt, from.RealPath() + ": cannot be read whole");
    to.WriteAt(at, chunk.data(), int32_t(chunk.size()));
  }
}

// The table's header area, whole records and end byte into its scratch file, the
// count put right, and the scratch file in the table's place.
void MendTable(const std::string& path, int32_t header_length, int32_t record_length,
               int32_t records, const std::string& backup) {
  GSO_DiskFile table(path, true, false);
  table.Open();
  const int64_t size = table.FileSize();
  {
    GSO_DiskFile copy(backup, true, false);
    copy.CreateFile();
    CopyInto(table, size, copy);
    copy.Flush();
  }
  GSO_DiskFile scratch(table.ScratchName(), true, false);
  scratch.CreateFile();
  try {
    const int64_t end = int64_t(header_length) + int64_t(records) * record_length;
    CopyInto(table, end, scratch);
    uint8_t count[4];
    ByteSpan(count, 4).PutU32LE(0, uint32_t(records));
    scratch.WriteAt(4, count, 4);
    uint8_t eof = Settings().end_of_file_marker;
    scratch.WriteAt(end, &eof, 1);
    if (!table.ReplaceWith(scratch)) throw EDevazozError(path + ": cannot be replaced");
  } catch (...) {
    std::string name = scratch.RealPath();
    scratch.Close();
    int32_t err = 0;
    os::RemoveFile(name, err);
    throw;
  }
}

}  // namespace

TgsTableRepair RepairTable(const std::string& table_path,
                           const std::vector<std::string>& index_files,
                           const std::function<std::unique_ptr<GSO_dBHandler>()>& open_handler) {
  TgsTableRepair report;
  std::string real;
  {
    // Read-only, a damaged table opens and tells what is wrong.
    GSO_dBaseDBF table(table_path, false, false);
    if (table.Closed() || table.RecordLength() <= 0)
      ReportEngineError(kErrDbfHeader, kSubDbfOpen,
                        table.RealPath() +
                            ": the header cannot be read, so the table cannot be "
                            "repaired");
    real = table.RealPath();
    report.damage = table.Damage();
    report.records = table.RecordCount();
    const uint32_t stated = ByteView(table.Header(), kDbfHeaderSize).U32LE(4);
    if (!report.damage.empty() || stated != uint32_t(table.RecordCount())) {
      report.backup = real + ".bak";
      int32_t header_length = table.HeaderLength(), record_length = table.RecordLength();
      int32_t records = table.RecordCount();
      table.Close();
      MendTable(real, header_length, record_length, records, report.backup);
    }
  }
  std::unique_ptr<GSO_dBHandler> handler =
      open_handler ? open_handler() : std::make_unique<GSO_dBHandler>(table_path, true, false);
  std::vector<std::string> names = index_files;
  // The table's own compound index goes with it.
  std::string own = ChangeExtension(real, ".CDX");
  std::string own_real = os::ResolvePath(own);
  if (os::Exists(own_real)) {
    bool listed = false;
    for (const std::string& n : names)
      listed =
          listed || platform::AnsiUpper(GSO_DiskFile::MakeAbsolute(handler->IndexFileName(n))) ==
                        platform::AnsiUpper(GSO_DiskFile::MakeAbsolute(own));
    if (!listed) names.push_back(own_real);
  }
  for (const std::string& n : names) handler->OpenIndexFile(n);
  handler->Reindex();
  for (int slot = 1; slot <= GSO_dBHandler::kIndexSlots; ++slot)
    if (GSobjIndexFile* file = handler->IndexFile(slot))
      if (file->Disk()) report.rebuilt.push_back(file->Disk()->RealPath());
  handler->SyncToDisk();
  return report;
}

}  // namespace devazoz
