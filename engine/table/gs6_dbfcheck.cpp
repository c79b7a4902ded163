#include "engine/table/gs6_dbfcheck.h"

#include <cmath>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_tool.h"
#include "engine/table/gs6_memo.h"
#include "platform/services/numtext.h"

namespace devazoz {

int32_t StoredRecordCount(const GSO_dBaseDBF& table) {
  return int32_t(ByteView(table.Header(), kDbfHeaderSize).U32LE(4));
}

std::vector<std::string> CheckDbfTable(GSO_dBaseFld& table) {
  std::vector<std::string> problems;
  if (table.Closed() || table.RecordLength() <= 0) {
    problems.push_back("the table cannot be read");
    return problems;
  }
  int32_t whole = table.RecordCount();
  int32_t stored = StoredRecordCount(table);
  if (stored != whole)
    problems.push_back("the header says " + std::to_string(stored) + " records, the file holds " +
                       std::to_string(whole));
  // After the whole records at most the end-of-file byte 0x1A may follow.
  int64_t rest = table.FileSize() - table.HeaderLength() - int64_t(whole) * table.RecordLength();
  if (rest > 1) {
    problems.push_back("the last record is cut off (" + std::to_string(rest) + " of " +
                       std::to_string(table.RecordLength()) + " bytes)");
  } else if (rest == 1) {
    uint8_t marker = 0;
    table.ReadAt(table.FileSize() - 1, &marker, 1);
    if (marker != 0x1A)
      problems.push_back("the last record is cut off (1 of " +
                         std::to_string(table.RecordLength()) + " bytes)");
  }

  GSobjMemo* memo = table.HasMemo() ? table.OpenMemo() : nullptr;
  if (!memo) return problems;
  int64_t memo_size = memo->FileSize();
  int64_t block_size = memo->BlockSize() > 0 ? memo->BlockSize() : 1;
  int64_t blocks = (memo_size + block_size - 1) / block_size;
  size_t reported = 0;
  for (int32_t r = 1; r <= whole && reported < 100; ++r) {
    table.ReadRecord(r);
    for (const FieldDescriptor& f : table.Descriptors()) {
      bool memo_field =
          f.type == 'M' || f.type == 'G' || (f.type == 'B' && table.Version() != 0x30);
      if (!memo_field) continue;
      double block = 0;
      if (table.IsEncoded(f)) {
        block = ByteView(table.CurrentRecord() + f.offset, f.length).U32LE(0);
      } else {
        std::string text = Trim(table.GetStr(f.number));
        if (!text.empty() && !platform::ParseDecimal(text, block)) {
          problems.push_back("record " + std::to_string(r) + " field " + f.name +
                             ": memo block number is no number");
          ++reported;
          continue;
        }
      }
      if (block >= 1 && std::trunc(block) >= double(blocks)) {
        problems.push_back("record " + std::to_string(r) + " field " + f.name + ": memo block " +
                           platform::DecimalText(std::trunc(block)) +
                           " lies beyond the end of the memo file (" + std::to_string(blocks) +
                           " blocks)");
        ++reported;
      }
    }
  }
  if (reported >= 100) problems.push_back("(further memo problems not listed)");
  return problems;
}

}  // namespace devazoz
