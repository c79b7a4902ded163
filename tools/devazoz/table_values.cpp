#include "tools/devazoz/table_values.h"

#include <cstdio>
#include <vector>

#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_tool.h"
#include "engine/table/gs6_dbfld.h"
#include "platform/services/numtext.h"
#include "tools/devazoz/commands.h"

namespace devazoz_tool {
using namespace devazoz;

namespace {

std::string MemoContents(GSO_dBaseFld& table, int n) {
  int32_t size = table.MemoSize(n);
  if (size <= 0) return std::string();
  std::vector<char> buffer(size_t(size) + 1, '\0');
  table.MemoRead(n, buffer.data(), size);
  return std::string(buffer.data(), size_t(std::max(size, 0)));
}

std::string BlockNumberText(GSO_dBaseFld& table, int n) {
  const FieldDescriptor& f = table.Descriptor(n);
  if (table.IsEncoded(f)) {
    if (f.type == 'B') return FormatNumber(table.GetNum(n));
    ByteView bytes(table.CurrentRecord() + f.offset, f.length);
    return std::to_string(bytes.I32LE(0));
  }
  // The block number as a number ("0000000001" is block 1); text that is no number
  // is shown as stored.
  std::string t = Trim(table.GetStr(n));
  double block = 0;
  if (t.empty()) return "0";
  return platform::ParseDecimal(t, block) ? FormatNumber(block) : t;
}

}  // namespace

std::string FieldValueText(GSO_dBaseFld& table, int n, bool memo_contents) {
  const FieldDescriptor& f = table.Descriptor(n);
  switch (f.type) {
    case 'C':
    case 'N':
    case 'F':
      return table.GetDisplay(n);
    case 'L':
      return table.GetLogic(n) ? "T" : "F";
    case 'D':
      return Trim(table.GetStr(n));
    case 'M':
    case 'G':
    case 'B': {
      bool is_memo = !(f.type == 'B' && table.Version() == 0x30);
      if (memo_contents && is_memo && table.HasMemo()) {
        std::string block = BlockNumberText(table, n);
        if (block != "0") return MemoContents(table, n);
      }
      return BlockNumberText(table, n);
    }
    default:
      break;
  }
  if (table.IsEncoded(f)) {
    ByteView bytes(table.CurrentRecord() + f.offset, f.length);
    if (f.type == 'I') return std::to_string(bytes.I32LE(0));
    if (f.type == 'Y') {
      return platform::FixedDecimalText(double(bytes.I64LE(0)) / 10000.0, 4);
    }
    if (f.type == 'T') return std::to_string(bytes.I32LE(0)) + "." + std::to_string(bytes.I32LE(4));
  }
  return Trim(table.GetStr(n));
}

std::string DumpHeaderLine(GSO_dBaseFld& table) {
  std::string line = "RECNO\tDEL";
  for (const FieldDescriptor& f : table.Descriptors()) line.append("\t").append(Escape(f.name));
  line += '\n';
  return line;
}

std::string DumpRecordLine(GSO_dBaseFld& table, bool memo_contents) {
  std::string line = std::to_string(table.RecordNumber());
  line += '\t';
  if (table.IsDeleted()) line += '*';
  for (int n = 1; n <= table.FieldCount(); ++n)
    line.append("\t").append(Escape(FieldValueText(table, n, memo_contents)));
  line += '\n';
  return line;
}

}  // namespace devazoz_tool
