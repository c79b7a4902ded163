#include "platform/dataset/dbtypes.h"

#include <strings.h>

#include <charconv>

namespace platform {

bool SameText(const std::string& a, const std::string& b) {
  return a.size() == b.size() && strcasecmp(a.c_str(), b.c_str()) == 0;
}

std::string FormatMessage(const std::string& format, const std::string& arg) {
  size_t at = format.find("%s");
  if (at == std::string::npos) return format;
  return format.substr(0, at) + arg + format.substr(at + 2);
}

void DatabaseError(const std::string& message) { throw EDatabaseError(message); }

void DatabaseErrorFmt(const std::string& format, const std::string& arg) {
  throw EDatabaseError(FormatMessage(format, arg));
}

const char* FieldTypeName(TFieldType type) {
  switch (type) {
    case TFieldType::ftString:
      return "String";
    case TFieldType::ftSmallint:
      return "SmallInt";
    case TFieldType::ftInteger:
      return "Integer";
    case TFieldType::ftBoolean:
      return "Boolean";
    case TFieldType::ftFloat:
      return "Float";
    case TFieldType::ftDate:
      return "Date";
    case TFieldType::ftDateTime:
      return "DateTime";
    case TFieldType::ftMemo:
      return "Memo";
    case TFieldType::ftBlob:
      return "Blob";
    case TFieldType::ftUnknown:
      break;
  }
  return "Unknown";
}

std::string TVariant::AsString() const {
  switch (value_.index()) {
    case 1:
      return std::get<std::string>(value_);
    case 2:
      return std::to_string(std::get<int64_t>(value_));
    case 3: {
      char text[64];
      auto result = std::to_chars(text, text + sizeof text, std::get<double>(value_));
      return std::string(text, result.ptr);
    }
    case 4:
      return std::get<bool>(value_) ? "True" : "False";
    default:
      return std::string();
  }
}

}  // namespace platform
