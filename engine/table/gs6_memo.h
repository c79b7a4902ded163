// Memo files: the blocks that hold the contents of a table's memo, general and
// binary fields. GSobjMemo is the dBASE III .DBT layout, GSobjMemo4 the dBASE IV
// .DBT layout, GSobjFXMemo20 the FoxPro .FPT layout.
#ifndef ENGINE_TABLE_GS6_MEMO_H_
#define ENGINE_TABLE_GS6_MEMO_H_

#include <cstdint>
#include <string>

#include "engine/foundation/gs6_disk.h"
#include "engine/foundation/gs6_glbl.h"

namespace devazoz {

class GSO_dBaseDBF;

class GSobjMemo : public GSO_DiskFile {
 public:
  // table may be null for a free-standing memo file.
  GSobjMemo(GSO_dBaseDBF* table, uint8_t version, bool shared, bool read_write,
            const std::string& table_file_name);
  ~GSobjMemo() override;

  void ReportError(int32_t code, int32_t sub_code, const char* info) override;  // 1

  virtual void AllocateBlocks(int32_t length);             // 14
  virtual void FreeBlocks(int32_t block);                  // 15
  virtual void FillTerminator(uint8_t* block_buffer);      // 16
  virtual int32_t LengthFromBlockHeader();                 // 17
  virtual int32_t BlockHeaderSize();                       // 18
  virtual void SetLockProtocol(TgsLokProtocol protocol);   // 19
  virtual bool RenameMemo(const std::string& table_name);  // 20

  int32_t MemoLength(int32_t block);
  void ReadMemo(void* buffer, int32_t block, int32_t& size);
  int32_t WriteMemo(const void* buffer, int32_t& block, int32_t size);
  bool LockMemo();

  int32_t BlockSize() const { return block_size_; }
  int32_t CurrentBlock() const { return current_block_; }
  uint16_t BlockCount() const { return block_count_; }

 protected:
  GSO_dBaseDBF* table_;
  uint8_t version_;
  int32_t current_block_ = 0;
  uint16_t block_count_ = 0;
  int32_t block_size_ = 512;
  uint8_t block_header_[32] = {};
  TgsLokProtocol lock_protocol_ = TgsLokProtocol::Default;
  LockConstants lock_constants_{};
};

class GSobjMemo4 : public GSobjMemo {
 public:
  GSobjMemo4(GSO_dBaseDBF* table, uint8_t version, bool shared, bool read_write,
             const std::string& table_file_name);
};

class GSobjFXMemo20 : public GSobjMemo {
 public:
  GSobjFXMemo20(GSO_dBaseDBF* table, uint8_t version, bool shared, bool read_write,
                const std::string& table_file_name);
};

}  // namespace devazoz

#endif  // ENGINE_TABLE_GS6_MEMO_H_
