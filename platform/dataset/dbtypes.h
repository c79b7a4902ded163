// Common types of the data-access framework: dataset states, field types, data
// events, option sets, bookmarks, the variant used by Locate and Lookup, and the
// framework's exceptions.
#ifndef PLATFORM_DATASET_DBTYPES_H_
#define PLATFORM_DATASET_DBTYPES_H_

#include <cstdint>
#include <string>
#include <variant>

#include "platform/services/exception.h"

namespace platform {

// The framework's database error ("Record request beyond range of table",
// "Field '%s' not found", ...).
class EDatabaseError : public Exception {
 public:
  using Exception::Exception;
};

// The silent exception: aborts an operation (from a Before event, or an error
// event answering daAbort); the application shows no message for it.
class EAbort : public Exception {
 public:
  EAbort() : Exception("Operation aborted") {}
};

[[noreturn]] void DatabaseError(const std::string& message);
// The message with its one "%s" replaced by arg.
[[noreturn]] void DatabaseErrorFmt(const std::string& format, const std::string& arg);
std::string FormatMessage(const std::string& format, const std::string& arg);
// Equal letters regardless of case (field names, Boolean words, case-blind locates).
bool SameText(const std::string& a, const std::string& b);

enum class TDataSetState {
  dsInactive,
  dsBrowse,
  dsEdit,
  dsInsert,
  dsSetKey,
  dsCalcFields,
  dsFilter,
  dsNewValue,
  dsOldValue,
};

enum class TFieldType {
  ftUnknown,
  ftString,
  ftSmallint,
  ftInteger,
  ftBoolean,
  ftFloat,
  ftDate,
  ftDateTime,
  ftMemo,
  ftBlob,
};

const char* FieldTypeName(TFieldType type);

enum class TFieldKind { fkData, fkCalculated, fkInternalCalc };

// What a dataset tells its data links.
enum class TDataEvent {
  deFieldChange,    // info: the TField* that changed
  deRecordChange,   // info: the TField* that changed, or null for the whole record
  deDataSetChange,  // the buffered records are no longer what they were
  deDataSetScroll,  // info: distance the buffer window moved (see TDataLink)
  deLayoutChange,
  deUpdateRecord,     // links write their pending control values (UpdateData)
  deUpdateState,      // the dataset's state changed
  deCheckBrowseMode,  // a change of record or state is about to happen
};

enum class TGetMode { gmCurrent, gmNext, gmPrior };
enum class TGetResult { grOK, grBOF, grEOF, grError };
// Bookmark flag of a record buffer.
enum class TBookmarkFlag : uint8_t { bfCurrent = 0, bfBOF = 1, bfEOF = 2, bfInserted = 3 };
enum class TDataAction { daFail, daAbort, daRetry };
enum class TBlobStreamMode { bmRead, bmWrite, bmReadWrite };

// Small bit sets.
enum TLocateOption : unsigned { loCaseInsensitive = 1, loPartialKey = 2 };
using TLocateOptions = unsigned;
enum TFilterOption : unsigned { foCaseInsensitive = 1, foNoPartialCompare = 2 };
using TFilterOptions = unsigned;
enum TResyncOption : unsigned { rmExact = 1, rmCenter = 2 };
using TResyncMode = unsigned;

// A bookmark: the bytes a dataset gives for a record (its BookmarkSize); empty
// means none.
using TBookmark = std::string;

// A record buffer: one block of RecBufSize bytes owned by the dataset.
using TRecordBuffer = char*;

// A value that may be null: Locate's key value and Lookup's result.
class TVariant {
 public:
  TVariant() = default;
  TVariant(std::string text) : value_(std::move(text)) {}
  TVariant(const char* text) : value_(std::string(text)) {}
  TVariant(int64_t number) : value_(number) {}
  TVariant(int number) : value_(int64_t(number)) {}
  TVariant(double number) : value_(number) {}
  TVariant(bool flag) : value_(flag) {}

  bool IsNull() const { return value_.index() == 0; }
  bool IsString() const { return value_.index() == 1; }
  // Text form: null gives "", numbers their decimal text, booleans "True"/"False".
  std::string AsString() const;
  bool operator==(const TVariant& other) const { return value_ == other.value_; }

 private:
  std::variant<std::monostate, std::string, int64_t, double, bool> value_;
};

// Framework date values in field buffers: a date is int32 days with 1 January of
// year 1 as day 1; a date-time is a double of milliseconds since the start of day 0
// of that count. A TDateTime is days since 30 December 1899 with the time as fraction.
using TDateTime = double;
constexpr int32_t kDateDelta = 693594;  // day count of 30 December 1899
constexpr double kMSecsPerDay = 86400000.0;

}  // namespace platform

#endif  // PLATFORM_DATASET_DBTYPES_H_
