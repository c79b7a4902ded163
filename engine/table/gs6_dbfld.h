// GSO_dBaseFld: typed access to the fields of the current record: lookup by name
// and number, conversions to and from text, numbers, dates and logicals, display
// text, blanking, deleting and recalling, and memo access through the memo file.
//
// Encoded fields of version 0x30 tables (little-endian):
//   I     4 bytes  signed integer
//   M G   4 bytes  signed memo block number
//   B     8 bytes  IEEE double
//   T     8 bytes  Julian day number (4), milliseconds since midnight (4)
//   Y     8 bytes  signed integer holding value x 10000
// In the other versions M, G and B hold the block number as right-aligned digits.
#ifndef ENGINE_TABLE_GS6_DBFLD_H_
#define ENGINE_TABLE_GS6_DBFLD_H_

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/table/gs6_DBF.h"
#include "engine/table/gs6_explink.h"

namespace devazoz {

class GSO_dBaseFld : public GSO_dBaseDBF {
 public:
  GSO_dBaseFld(const std::string& file_name, bool shared, bool read_write);
  ~GSO_dBaseFld() override;

  void ReadRecord(int32_t request) override;  // 17

  virtual const FieldDescriptor* FindField(const std::string& name);            // 26
  virtual void BlankRecord();                                                   // 27
  virtual int32_t GetDateByName(const std::string& name);                       // 28
  virtual int32_t GetDate(int n);                                               // 29
  virtual bool PutDateByName(const std::string& name, int32_t day);             // 30
  virtual bool PutDate(int n, int32_t day);                                     // 31
  virtual void DeleteRecord();                                                  // 32
  virtual std::string GetStrByName(const std::string& name);                    // 33
  virtual std::string GetStr(int n);                                            // 34
  virtual bool PutStrByName(const std::string& name, const std::string& text);  // 35
  virtual bool PutStr(int n, const std::string& text);                          // 36
  virtual int FieldDecimals(int n);                                             // 37
  virtual int FieldLength(int n);                                               // 38
  virtual int FieldOffset(int n);                                               // 39
  virtual std::string FieldName(int n);                                         // 40
  virtual char FieldType(int n);                                                // 41
  // Host-supplied expression functions; -1 = not handled.
  virtual int UserFunction(const std::string& request, const std::string& name, void* value,
                           char& result_type, bool& changed);                    // 42
  virtual bool GetLogicByName(const std::string& name);                          // 43
  virtual bool GetLogic(int n);                                                  // 44
  virtual bool PutLogicByName(const std::string& name, bool value);              // 45
  virtual bool PutLogic(int n, bool value);                                      // 46
  virtual double GetNumByName(const std::string& name);                          // 47
  virtual double GetNum(int n);                                                  // 48
  virtual bool PutNumByName(const std::string& name, double value);              // 49
  virtual bool PutNum(int n, double value);                                      // 50
  virtual std::string GetDisplayByName(const std::string& name);                 // 51
  virtual std::string GetDisplay(int n);                                         // 52
  virtual bool PutTextByName(const std::string& name, const std::string& text);  // 53
  virtual bool PutText(int n, const std::string& text);                          // 54
  virtual void UndeleteRecord();                                                 // 55

  // 1-based number of the field, 0 when none has that name.
  int FieldNumber(const std::string& name) const;
  const FieldDescriptor* FindFieldOfType(const std::string& name, char wanted);
  void ClearChangedFlags();
  std::string RawGetStr(const FieldDescriptor& field, const uint8_t* record) const;
  std::string_view RawPeekStr(const FieldDescriptor& field, const uint8_t* record) const;
  // What the table's own GetStr gives for field n of the current record, as a
  // view of the record buffer (valid until the record changes); empty for no
  // such field. Index builds read character keys through it without copying.
  std::string_view PeekStr(int n);
  void RawPutStr(const FieldDescriptor& field, const std::string& text, uint8_t* record);

  GSobjMemo* MemoFileFor(int n);
  int32_t MemoSize(int n);
  bool MemoRead(int n, void* buffer, int32_t& size);
  int32_t MemoWrite(int n, const void* buffer, int32_t& size);

  // True for the little-endian binary field types of version 0x30 tables.
  bool IsEncoded(const FieldDescriptor& field) const;
  const FieldDescriptor* CurrentDescriptor() const { return current_descriptor_; }
  TgsDBFExpUserLink* ExpressionLink() const { return exp_link_.get(); }

 protected:
  const FieldDescriptor* FieldAt(int n);
  // The field's bytes in the current record (always inside the record buffer).
  uint8_t* FieldBytes(const FieldDescriptor& field) const { return current_record_ + field.offset; }
  std::string InvalidContentMessage(const char* what, const FieldDescriptor& field,
                                    const std::string& text) const;

  const FieldDescriptor* current_descriptor_ = nullptr;
  TgsTableExpLink exp_link_;
};

}  // namespace devazoz

#endif  // ENGINE_TABLE_GS6_DBFLD_H_
