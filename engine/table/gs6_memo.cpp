// Placeholder until the memo layouts are written: opening a memo file works,
// reading and writing memo contents is not available yet.
#include "engine/table/gs6_memo.h"

#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_tool.h"
#include "engine/table/gs6_DBF.h"

namespace devazoz {

GSobjMemo::GSobjMemo(GSO_dBaseDBF* table, uint8_t version, bool shared, bool read_write,
                     const std::string& table_file_name)
    : GSO_DiskFile(ChangeExtension(Trim(table_file_name), (version == 0x83 || version == 0x8B)
                                                              ? ".DBT"
                                                              : ".FPT"),
                   read_write, shared),
      table_(table),
      version_(version) {
  if (!Exists()) ReportError(kErrFileNotFound, kSubMemoOpen, FileName().c_str());
  Open();
}
GSobjMemo::~GSobjMemo() = default;
void GSobjMemo::ReportError(int32_t code, int32_t sub_code, const char* info) {
  if (table_) table_->ReportError(code, sub_code, info);
  else GSO_DiskFile::ReportError(code, sub_code, info);
}
void GSobjMemo::AllocateBlocks(int32_t) {}
void GSobjMemo::FreeBlocks(int32_t) {}
void GSobjMemo::FillTerminator(uint8_t*) {}
int32_t GSobjMemo::LengthFromBlockHeader() { return 0; }
int32_t GSobjMemo::BlockHeaderSize() { return 0; }
void GSobjMemo::SetLockProtocol(TgsLokProtocol protocol) {
  lock_protocol_ = protocol;
  lock_constants_ = LockConstantsFor(protocol);
}
bool GSobjMemo::RenameMemo(const std::string&) { return false; }
int32_t GSobjMemo::MemoLength(int32_t) { return 0; }
void GSobjMemo::ReadMemo(void*, int32_t, int32_t& size) { size = 0; }
int32_t GSobjMemo::WriteMemo(const void*, int32_t& block, int32_t) { return block; }
bool GSobjMemo::LockMemo() { return true; }

GSobjMemo4::GSobjMemo4(GSO_dBaseDBF* table, uint8_t version, bool shared, bool read_write,
                       const std::string& table_file_name)
    : GSobjMemo(table, version, shared, read_write, table_file_name) {}
GSobjFXMemo20::GSobjFXMemo20(GSO_dBaseDBF* table, uint8_t version, bool shared, bool read_write,
                             const std::string& table_file_name)
    : GSobjMemo(table, version, shared, read_write, table_file_name) {}

}  // namespace devazoz
