#include "engine/table/gs6_dbfld.h"

#include <cmath>
#include <cstring>

#include "engine/foundation/gs6_Date.h"
#include "engine/foundation/gs6_bytes.h"
#include "engine/foundation/gs6_cnst.h"
#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_tool.h"
#include "engine/table/gs6_explink.h"
#include "engine/table/gs6_memo.h"
#include "platform/services/codepage.h"
#include "platform/services/exception.h"
#include "platform/services/numtext.h"

namespace devazoz {
namespace {

constexpr double kMsPerDay = 86400000.0;
constexpr int32_t kJulianDayOfYear1 = 1721425;  // day number of 1 January of year 1, less one

bool IsEncodedType(char t) {
  return t == 'B' || t == 'G' || t == 'I' || t == 'M' || t == 'T' || t == 'Y';
}

// Decimal number after optional leading blanks (field text is right-aligned).
bool ParseDecimal(const std::string& text, double& value) {
  size_t start = text.find_first_not_of(' ');
  if (start == std::string::npos) return false;
  return platform::ParseDecimal(std::string_view(text).substr(start), value);
}

// Fixed-point text of value with the given decimals, right-aligned in width.
std::string FormatFixed(double value, int width, int decimals) {
  std::string out = platform::FixedDecimalText(value, decimals);
  if (out.size() < size_t(width)) out.insert(0, size_t(width) - out.size(), ' ');
  return out;
}

int32_t ClampToInt32(double v) {
  if (!(v >= -2147483648.0)) return INT32_MIN;
  if (v > 2147483647.0) return INT32_MAX;
  return int32_t(v);
}

}  // namespace

GSO_dBaseFld::GSO_dBaseFld(const std::string& file_name, bool shared, bool read_write)
    : GSO_dBaseDBF(file_name, shared, read_write) {
  exp_link_ = CreateTableExpressionLink(this);
  ClearChangedFlags();
}

GSO_dBaseFld::~GSO_dBaseFld() = default;

void GSO_dBaseFld::ReadRecord(int32_t request) {
  GSO_dBaseDBF::ReadRecord(request);
  ClearChangedFlags();
}

// ---------------------------------------------------------------------------
// Lookup

int GSO_dBaseFld::FieldNumber(const std::string& name) const {
  std::string wanted = platform::AnsiUpper(TrimRightZ(name));
  for (const FieldDescriptor& d : descriptors_)
    if (platform::AnsiUpper(d.name) == wanted) return d.number;
  return 0;
}

const FieldDescriptor* GSO_dBaseFld::FieldAt(int n) {
  if (n < 1 || n > field_count_) return nullptr;
  current_descriptor_ = &descriptors_[size_t(n - 1)];
  return current_descriptor_;
}

const FieldDescriptor* GSO_dBaseFld::FindField(const std::string& name) {
  int n = FieldNumber(name);
  if (n == 0) {
    ReportError(kErrDbfFieldName, kSubDbfFieldName, (FileName() + "->" + name).c_str());
    return nullptr;
  }
  return FieldAt(n);
}

const FieldDescriptor* GSO_dBaseFld::FindFieldOfType(const std::string& name, char wanted) {
  const FieldDescriptor* f = FindField(name);
  if (!f) return nullptr;
  char t = f->type;
  bool ok = t == wanted || (wanted == 'G' && (t == 'B' || t == 'M')) ||
            (wanted == 'N' && (t == 'B' || t == 'F' || t == 'G' || t == 'I' || t == 'M'));
  if (!ok) {
    ReportError(kErrDbfFieldType, kSubDbfFieldType, name.c_str());
    return nullptr;
  }
  return f;
}

bool GSO_dBaseFld::IsEncoded(const FieldDescriptor& field) const {
  return version_ == 0x30 && IsEncodedType(field.type);
}

void GSO_dBaseFld::ClearChangedFlags() { std::fill(changed_.begin(), changed_.end(), 0); }

// ---------------------------------------------------------------------------
// Raw text

std::string GSO_dBaseFld::RawGetStr(const FieldDescriptor& field, const uint8_t* record) const {
  return std::string(RawPeekStr(field, record));
}

std::string_view GSO_dBaseFld::RawPeekStr(const FieldDescriptor& field,
                                          const uint8_t* record) const {
  // The text ends at the field's end or at its first NUL byte.
  const char* p = reinterpret_cast<const char*>(record + field.offset);
  const void* nul = std::memchr(p, 0, field.length);
  return std::string_view(p,
                          nul ? size_t(static_cast<const char*>(nul) - p) : size_t(field.length));
}

void GSO_dBaseFld::RawPutStr(const FieldDescriptor& field, const std::string& text,
                             uint8_t* record) {
  ByteSpan bytes(record + field.offset, field.length);
  bytes.Fill(0, field.length, ' ');
  if (!text.empty()) {
    size_t n = std::min<size_t>(text.size(), field.length);
    bool left = field.type == 'C' || field.type == 'D' || field.type == 'L';
    bytes.PutBytes(left ? 0 : field.length - n, text.data(), n);
  }
  changed_[field.number] = 1;
  Notify(kEventFieldChanged, field.number);
}

std::string GSO_dBaseFld::InvalidContentMessage(const char* what, const FieldDescriptor& field,
                                                const std::string& text) const {
  // Bytes that are no printable text are shown as \xNN, so the message stays one line.
  static const char kHex[] = "0123456789ABCDEF";
  std::string shown;
  for (unsigned char c : text) {
    if (c >= 0x20 && c < 0x7F && c != '\\') {
      shown += char(c);
    } else {
      shown += "\\x";
      shown += kHex[c >> 4];
      shown += kHex[c & 15];
    }
  }
  std::string message = std::string("Invalid ") + what + " in field " + BaseName(FileName()) +
                        "->" + field.name + " (" + shown + ")";
  if (RecordNumber() > 0) message += " of record " + std::to_string(RecordNumber());
  return message;
}

std::string GSO_dBaseFld::GetStr(int n) {
  const FieldDescriptor* f = FieldAt(n);
  return f ? RawGetStr(*f, current_record_) : std::string();
}

std::string_view GSO_dBaseFld::PeekStr(int n) {
  const FieldDescriptor* f = FieldAt(n);
  return f ? RawPeekStr(*f, current_record_) : std::string_view();
}

std::string GSO_dBaseFld::GetStrByName(const std::string& name) {
  const FieldDescriptor* f = FindField(name);
  return f ? GetStr(f->number) : std::string();
}

bool GSO_dBaseFld::PutStr(int n, const std::string& text) {
  const FieldDescriptor* f = FieldAt(n);
  if (!f) return false;
  RawPutStr(*f, text, current_record_);
  return true;
}

bool GSO_dBaseFld::PutStrByName(const std::string& name, const std::string& text) {
  const FieldDescriptor* f = FindField(name);
  return f ? PutStr(f->number, text) : false;
}

// ---------------------------------------------------------------------------
// Numbers

double GSO_dBaseFld::GetNum(int n) {
  const FieldDescriptor* f = FieldAt(n);
  if (!f) return 0;
  if (IsEncoded(*f)) {
    ByteView bytes(FieldBytes(*f), f->length);
    switch (f->type) {
      case 'B':
        return bytes.F64LE(0);
      case 'T': {
        uint32_t raw_day = bytes.U32LE(0);
        uint32_t raw_ms = bytes.U32LE(4);
        double day = raw_day == 0x20202020u ? double(kJulianOffset) : double(int32_t(raw_day));
        double ms = raw_ms == 0x20202020u ? 0.0 : double(int32_t(raw_ms));
        return (day - kJulianDayOfYear1) * kMsPerDay + ms;
      }
      case 'Y':
        return double(bytes.I64LE(0)) * 0.0001;
      default:
        return bytes.I32LE(0);
    }
  }
  std::string text = TrimRightZ(RawGetStr(*f, current_record_));
  if (text.size() > 31) text.resize(31);
  if (text.empty()) return 0;
  double value = 0;
  if (!ParseDecimal(text, value)) {
    ReportError(kErrDbfFieldType, kSubNone, InvalidContentMessage("number", *f, text).c_str());
    return 0;
  }
  return value;
}

double GSO_dBaseFld::GetNumByName(const std::string& name) {
  const FieldDescriptor* f = FindFieldOfType(name, 'N');
  return f ? GetNum(f->number) : 0;
}

bool GSO_dBaseFld::PutNum(int n, double value) {
  const FieldDescriptor* f = FieldAt(n);
  if (!f) return false;
  char t = f->type;
  bool text_type = t == 'B' || t == 'F' || t == 'G' || t == 'M' || t == 'N';
  bool encoded_only = version_ == 0x30 && (t == 'I' || t == 'T' || t == 'Y');
  if (!text_type && !encoded_only) {
    ReportError(kErrDbfFieldType, kSubDbfFieldType, f->name.c_str());
    return false;
  }
  if (IsEncoded(*f)) {
    ByteSpan bytes(FieldBytes(*f), f->length);
    auto too_large = [&]() {
      ReportError(kErrNumberTooLarge, kSubDbfNumber,
                  (f->name + " - " + platform::DecimalText(value)).c_str());
      return false;
    };
    switch (t) {
      case 'B':
        bytes.PutF64LE(0, value);
        break;
      case 'T': {
        double days = std::trunc(value / kMsPerDay);
        double day_number = days + kJulianDayOfYear1;
        if (!(day_number >= -2147483648.0 && day_number <= 2147483647.0)) return too_large();
        bytes.PutI32LE(0, int32_t(day_number));
        bytes.PutI32LE(4, ClampToInt32(std::trunc(value - days * kMsPerDay)));
        break;
      }
      case 'Y': {
        double scaled = std::trunc(value * 10000.0);
        if (!(scaled >= -9.2233720368547758e18 && scaled < 9.2233720368547758e18))
          return too_large();
        bytes.PutI64LE(0, int64_t(scaled));
        break;
      }
      default: {
        double whole = std::trunc(value);
        if (!(whole >= -2147483648.0 && whole <= 2147483647.0)) return too_large();
        bytes.PutI32LE(0, int32_t(whole));
        break;
      }
    }
    changed_[f->number] = 1;
    return true;
  }
  int width = f->length;
  std::string text = std::isfinite(value) ? FormatFixed(value, width, f->decimals)
                                          : std::string(size_t(width) + 1, '*');
  if (text.size() > f->length) {
    ReportError(kErrNumberTooLarge, kSubDbfNumber, (f->name + " - " + text).c_str());
    return false;
  }
  RawPutStr(*f, text, current_record_);
  return true;
}

bool GSO_dBaseFld::PutNumByName(const std::string& name, double value) {
  const FieldDescriptor* f = FindFieldOfType(name, 'N');
  return f ? PutNum(f->number, value) : false;
}

// ---------------------------------------------------------------------------
// Dates

int32_t GSO_dBaseFld::GetDate(int n) {
  const FieldDescriptor* f = FieldAt(n);
  if (!f) return 0;
  std::string raw = RawGetStr(*f, current_record_);
  try {
    return DBFDate().StorageToDay(raw);
  } catch (const platform::EConvertError&) {
    ReportError(kErrDbfFieldType, kSubNone, InvalidContentMessage("date", *f, raw).c_str());
    return 0;
  }
}

int32_t GSO_dBaseFld::GetDateByName(const std::string& name) {
  const FieldDescriptor* f = FindFieldOfType(name, 'D');
  return f ? GetDate(f->number) : -1;
}

bool GSO_dBaseFld::PutDate(int n, int32_t day) {
  const FieldDescriptor* f = FieldAt(n);
  if (!f) return false;
  if (day == -1) {
    ReportError(kErrDbfFieldType, kSubDbfDate, nullptr);
    return false;
  }
  if (f->type != 'D') return false;
  RawPutStr(*f, DBFDate().DayToStorage(day), current_record_);
  return true;
}

bool GSO_dBaseFld::PutDateByName(const std::string& name, int32_t day) {
  const FieldDescriptor* f = FindFieldOfType(name, 'D');
  return f ? PutDate(f->number, day) : false;
}

// ---------------------------------------------------------------------------
// Logicals

bool GSO_dBaseFld::GetLogic(int n) {
  const FieldDescriptor* f = FieldAt(n);
  if (!f) return false;
  std::string raw = RawGetStr(*f, current_record_);
  return !raw.empty() && Settings().true_letters.find(raw) != std::string::npos;
}

bool GSO_dBaseFld::GetLogicByName(const std::string& name) {
  const FieldDescriptor* f = FindFieldOfType(name, 'L');
  return f ? GetLogic(f->number) : false;
}

bool GSO_dBaseFld::PutLogic(int n, bool value) {
  const FieldDescriptor* f = FieldAt(n);
  if (!f) return false;
  if (f->type != 'L') {
    ReportError(kErrDbfFieldType, kSubDbfFieldType, f->name.c_str());
    return false;
  }
  RawPutStr(*f, value ? "T" : "F", current_record_);
  return true;
}

bool GSO_dBaseFld::PutLogicByName(const std::string& name, bool value) {
  const FieldDescriptor* f = FindFieldOfType(name, 'L');
  return f ? PutLogic(f->number, value) : false;
}

// ---------------------------------------------------------------------------
// Display and text input

std::string GSO_dBaseFld::GetDisplay(int n) {
  const FieldDescriptor* f = FieldAt(n);
  if (!f) return std::string();
  std::string text = TrimRightZ(RawGetStr(*f, current_record_));
  // A block reference has content when it names a block other than 0: "12" and "7"
  // do, empty text, "0" and "00" do not.
  auto has_content = [](const std::string& t) {
    size_t first = t.find_first_not_of("0");
    return first != std::string::npos && t.compare(first, std::string::npos, "0") > 0;
  };
  switch (f->type) {
    case 'D':
      return DBFDate().DayToDisplay(GetDate(n));
    case 'L':
      return GetLogic(n) ? "T" : "F";
    case 'M': {
      std::string t = IsEncoded(*f) ? (GetNum(n) > 0.1 ? "1" : "0") : TrimLeft(text);
      return has_content(t) ? "---MEMO---" : "---memo---";
    }
    case 'G':
      return has_content(TrimLeft(text)) ? "-GENERAL--" : "-general--";
    case 'B':
      return has_content(TrimLeft(text)) ? "--BINARY--" : "--binary--";
    case 'F':
    case 'N': {
      std::string t = TrimLeft(text);
      if (t.empty()) t = TrimLeft(FormatFixed(0.0, f->length, f->decimals));
      return t;
    }
    default:
      return text;
  }
}

std::string GSO_dBaseFld::GetDisplayByName(const std::string& name) {
  const FieldDescriptor* f = FindField(name);
  return f ? GetDisplay(f->number) : std::string();
}

bool GSO_dBaseFld::PutText(int n, const std::string& text) {
  const FieldDescriptor* f = FieldAt(n);
  if (!f) return false;
  switch (f->type) {
    case 'D': {
      int32_t day;
      try {
        day = DBFDate().StorageToDay(text);
      } catch (const platform::EConvertError&) {
        ReportError(kErrDbfFieldType, kSubNone, InvalidContentMessage("date", *f, text).c_str());
        return false;
      }
      return PutDate(n, day);
    }
    case 'L': {
      char c = text.empty() ? 'F' : text[0];
      bool value;
      if (std::strchr("TtYyJj", c) && c) {
        value = true;
      } else if (std::strchr("FfNn", c) && c) {
        value = false;
      } else if (c >= '0' && c <= '9') {
        value = c != '0';
      } else {
        ReportError(kErrDbfFieldType, kSubDbfLogic, f->name.c_str());
        return false;
      }
      return PutLogic(n, value);
    }
    case 'N': {
      std::string t = TrimRightZ(text);
      if (t.size() > 32) t.resize(32);
      double value = 0;
      if (!t.empty() && !ParseDecimal(t, value)) {
        ReportError(kErrDbfFieldType, kSubDbfNumber,
                    InvalidContentMessage("number", *f, t).c_str());
        return false;
      }
      return PutNum(n, value);
    }
    default:
      RawPutStr(*f, text, current_record_);
      return true;
  }
}

bool GSO_dBaseFld::PutTextByName(const std::string& name, const std::string& text) {
  const FieldDescriptor* f = FindField(name);
  return f ? PutText(f->number, text) : false;
}

// ---------------------------------------------------------------------------
// Record operations

void GSO_dBaseFld::BlankRecord() {
  std::memset(current_record_, ' ', size_t(record_length_));
  for (const FieldDescriptor& d : descriptors_) {
    if (d.type == 'F' || d.type == 'N' || IsEncoded(d)) PutNum(d.number, 0);
  }
  std::fill(changed_.begin(), changed_.end(), 1);
  Notify(kEventBlank, 0);
}

void GSO_dBaseFld::DeleteRecord() {
  current_record_[0] = '*';
  changed_[0] = 1;
  WriteRecord(record_number_);
}

void GSO_dBaseFld::UndeleteRecord() {
  current_record_[0] = ' ';
  changed_[0] = 1;
  WriteRecord(record_number_);
}

int GSO_dBaseFld::FieldDecimals(int n) {
  const FieldDescriptor* f = FieldAt(n);
  return f ? f->decimals : 0;
}
int GSO_dBaseFld::FieldLength(int n) {
  const FieldDescriptor* f = FieldAt(n);
  return f ? int(f->length) : 0;
}
int GSO_dBaseFld::FieldOffset(int n) {
  const FieldDescriptor* f = FieldAt(n);
  return f ? int(f->offset) : 0;
}
std::string GSO_dBaseFld::FieldName(int n) {
  const FieldDescriptor* f = FieldAt(n);
  return f ? f->name : std::string();
}
char GSO_dBaseFld::FieldType(int n) {
  const FieldDescriptor* f = FieldAt(n);
  return f ? f->type : '\0';
}

int GSO_dBaseFld::UserFunction(const std::string&, const std::string&, void*, char&, bool&) {
  return -1;
}

// ---------------------------------------------------------------------------
// Memo access

GSobjMemo* GSO_dBaseFld::MemoFileFor(int n) {
  const FieldDescriptor* f = FieldAt(n);
  if (!f) return nullptr;
  // In version 0x30 tables a B field is a double, not a memo reference.
  bool memo_field = f->type == 'M' || f->type == 'G' || (f->type == 'B' && version_ != 0x30);
  return memo_field ? OpenMemo() : nullptr;
}

int32_t GSO_dBaseFld::MemoSize(int n) {
  GSobjMemo* memo = MemoFileFor(n);
  if (!memo) return 0;
  return memo->MemoLength(ClampToInt32(std::trunc(GetNum(n))));
}

bool GSO_dBaseFld::MemoRead(int n, void* buffer, int32_t& size) {
  GSobjMemo* memo = MemoFileFor(n);
  if (!memo) {
    size = 0;
    return false;
  }
  memo->ReadMemo(buffer, ClampToInt32(std::trunc(GetNum(n))), size);
  return true;
}

int32_t GSO_dBaseFld::MemoWrite(int n, const void* buffer, int32_t& size) {
  GSobjMemo* memo = MemoFileFor(n);
  if (!memo) return 0;
  int32_t block = ClampToInt32(std::trunc(GetNum(n)));
  int32_t result = memo->WriteMemo(buffer, block, size);
  PutNum(n, block);
  return result;
}

}  // namespace devazoz
