// The expression engine's link to a table: one variable per field, the table
// functions RECNO, DELETED, BOF, EOF, TYPE and LEN, and host functions that the
// table's UserFunction hook accepts.
#ifndef ENGINE_TABLE_GS6_SQLDBF_H_
#define ENGINE_TABLE_GS6_SQLDBF_H_

#include <cstddef>
#include <memory>
#include <string>

#include "engine/table/gs6_sqlbase.h"

namespace devazoz {

class GSO_dBaseFld;

// A table field as a variable: C gives text (trailing blanks kept), N and F a
// number carrying the field length, D a date, L a logical; every other type a
// field reference (the table and the field number).
class TgslDBFFieldVars : public TgsUserDefFieldVar {
 public:
  TgslDBFFieldVars(const std::string& name, GSO_dBaseFld* table, int field);
  int KindTag() const override;  // 17
  bool GetValue(TgsExpValue& value, int& result_type) override;
  int Field() const { return field_; }
  GSO_dBaseFld* Table() const { return table_; }

 private:
  GSO_dBaseFld* table_;
  int field_;
};

// Base of the functions bound to one table.
class TgslDBFFunction : public TgsUserDefFunction {
 public:
  TgslDBFFunction(const char* name, GSO_dBaseFld* table)
      : TgsUserDefFunction(name), table_(table) {}
  GSO_dBaseFld* Table() const { return table_; }

 protected:
  GSO_dBaseFld* table_;
};

#define DEVAZOZ_TABLE_FUNCTION(cls, name)                                              \
  class cls : public TgslDBFFunction {                                                 \
   public:                                                                             \
    explicit cls(GSO_dBaseFld* table) : TgslDBFFunction(name, table) {}                \
    bool Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) override; \
  };

DEVAZOZ_TABLE_FUNCTION(TgslDBFRecNo, "RECNO")      // number of width 7
DEVAZOZ_TABLE_FUNCTION(TgslDBFDeleted, "DELETED")  // the record buffer is marked deleted
DEVAZOZ_TABLE_FUNCTION(TgslDBFBOF, "BOF")
DEVAZOZ_TABLE_FUNCTION(TgslDBFEOF, "EOF")
DEVAZOZ_TABLE_FUNCTION(TgslDBFType, "TYPE")  // type letter of the named field
DEVAZOZ_TABLE_FUNCTION(TgslDBFLen, "LEN")    // length byte of the named field

#undef DEVAZOZ_TABLE_FUNCTION

// A function the host answers through the table's UserFunction("PARSE", ...).
// The host receives a zero-filled buffer of kHostBufferSize bytes whose first
// sizeof(void*) bytes hold the TgsExpFunction node (for FetchArgument), and
// writes the result there: 'C' NUL-terminated text, 'D' a 32-bit day number,
// 'F' or 'N' a double, 'L' a true letter in the first byte.
class TgslDBFGeneric : public TgsUserDefFunction {
 public:
  static constexpr size_t kHostBufferSize = 512;
  TgslDBFGeneric(GSO_dBaseFld* table, const std::string& name);
  bool Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) override;

 private:
  GSO_dBaseFld* table_;
};

// The link every table creates at open. Names nothing else knows are offered to
// the table's UserFunction("FIND", ...); an accepted name becomes a
// TgslDBFGeneric registered with this link.
class TgsDBFExpUserLink : public TgsExpUserLink {
 public:
  explicit TgsDBFExpUserLink(GSO_dBaseFld* table);
  ~TgsDBFExpUserLink() override;
  TgsUserDefFunction* UnknownFunction(const std::string& name) override;
  GSO_dBaseFld* Table() const { return table_; }

 private:
  GSO_dBaseFld* table_;
  std::unique_ptr<TgslDBFGeneric> generic_;
};

}  // namespace devazoz

#endif  // ENGINE_TABLE_GS6_SQLDBF_H_
