// The built-in function library: one class per function, one shared instance of
// each in the global registry (GlobalFunctions), in the order listed here. The
// functions keep no state between calls.
#ifndef ENGINE_TABLE_GS6_SQLFN_H_
#define ENGINE_TABLE_GS6_SQLFN_H_

#include <string>

#include "engine/table/gs6_sqlbase.h"

namespace devazoz {

#define DEVAZOZ_UDF_EXECUTE \
  bool Execute(TgsExpFunction& node, TgsExpValue& value, int& result_type) override

// A function's result: the value and its type, for Execute to return with.
bool TextResult(TgsExpValue& value, int& result_type, std::string text);
bool NumberResult(TgsExpValue& value, int& result_type, double number);

// Shared base of PADC, PADL and PADR: fetches the fill character first, then the
// text and the width, and lets the descendant place the text.
class TgsUDFPadMain : public TgsUserDefFunction {
 public:
  DEVAZOZ_UDF_EXECUTE;

 protected:
  using TgsUserDefFunction::TgsUserDefFunction;
  // REQUIRES: text is shorter than width.
  virtual std::string Place(const std::string& text, size_t width, char fill) const = 0;
};

// TRIM; RTRIM differs only in its name.
class TgsUDFTrim : public TgsUserDefFunction {
 public:
  TgsUDFTrim() : TgsUserDefFunction("TRIM") {}
  DEVAZOZ_UDF_EXECUTE;

 protected:
  explicit TgsUDFTrim(const char* name) : TgsUserDefFunction(name) {}
};

class TgsUDFRTrim : public TgsUDFTrim {
 public:
  TgsUDFRTrim() : TgsUDFTrim("RTRIM") {}
};

class TgsUDFAllTrim : public TgsUserDefFunction {
 public:
  TgsUDFAllTrim() : TgsUserDefFunction("ALLTRIM") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFAsc : public TgsUserDefFunction {
 public:
  TgsUDFAsc() : TgsUserDefFunction("ASC") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFAt : public TgsUserDefFunction {
 public:
  TgsUDFAt() : TgsUserDefFunction("AT") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFAtC : public TgsUserDefFunction {
 public:
  TgsUDFAtC() : TgsUserDefFunction("ATC") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFCeiling : public TgsUserDefFunction {
 public:
  TgsUDFCeiling() : TgsUserDefFunction("CEILING") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFChr : public TgsUserDefFunction {
 public:
  TgsUDFChr() : TgsUserDefFunction("CHR") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFCTOD : public TgsUserDefFunction {
 public:
  TgsUDFCTOD() : TgsUserDefFunction("CTOD") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFDate : public TgsUserDefFunction {
 public:
  TgsUDFDate() : TgsUserDefFunction("DATE") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFDescend : public TgsUserDefFunction {
 public:
  TgsUDFDescend() : TgsUserDefFunction("DESCEND") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFDOW : public TgsUserDefFunction {
 public:
  TgsUDFDOW() : TgsUserDefFunction("DOW") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFDTOC : public TgsUserDefFunction {
 public:
  TgsUDFDTOC() : TgsUserDefFunction("DTOC") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFDTOS : public TgsUserDefFunction {
 public:
  TgsUDFDTOS() : TgsUserDefFunction("DTOS") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFEmpty : public TgsUserDefFunction {
 public:
  TgsUDFEmpty() : TgsUserDefFunction("EMPTY") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFFloor : public TgsUserDefFunction {
 public:
  TgsUDFFloor() : TgsUserDefFunction("FLOOR") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFIIF : public TgsUserDefFunction {
 public:
  TgsUDFIIF() : TgsUserDefFunction("IIF") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFInt : public TgsUserDefFunction {
 public:
  TgsUDFInt() : TgsUserDefFunction("INT") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFLeft : public TgsUserDefFunction {
 public:
  TgsUDFLeft() : TgsUserDefFunction("LEFT") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFLen : public TgsUserDefFunction {
 public:
  TgsUDFLen() : TgsUserDefFunction("LEN") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFLower : public TgsUserDefFunction {
 public:
  TgsUDFLower() : TgsUserDefFunction("LOWER") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFLTrim : public TgsUserDefFunction {
 public:
  TgsUDFLTrim() : TgsUserDefFunction("LTRIM") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFPadC : public TgsUDFPadMain {
 public:
  TgsUDFPadC() : TgsUDFPadMain("PADC") {}

 protected:
  std::string Place(const std::string& text, size_t width, char fill) const override;
};

class TgsUDFPadL : public TgsUDFPadMain {
 public:
  TgsUDFPadL() : TgsUDFPadMain("PADL") {}

 protected:
  std::string Place(const std::string& text, size_t width, char fill) const override;
};

class TgsUDFPadR : public TgsUDFPadMain {
 public:
  TgsUDFPadR() : TgsUDFPadMain("PADR") {}

 protected:
  std::string Place(const std::string& text, size_t width, char fill) const override;
};

class TgsUDFRight : public TgsUserDefFunction {
 public:
  TgsUDFRight() : TgsUserDefFunction("RIGHT") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFSoundex : public TgsUserDefFunction {
 public:
  TgsUDFSoundex() : TgsUserDefFunction("SOUNDEX") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFSpace : public TgsUserDefFunction {
 public:
  TgsUDFSpace() : TgsUserDefFunction("SPACE") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFStr : public TgsUserDefFunction {
 public:
  TgsUDFStr() : TgsUserDefFunction("STR") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFStrZero : public TgsUserDefFunction {
 public:
  TgsUDFStrZero() : TgsUserDefFunction("STRZERO") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFSubStr : public TgsUserDefFunction {
 public:
  TgsUDFSubStr() : TgsUserDefFunction("SUBSTR") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFUpper : public TgsUserDefFunction {
 public:
  TgsUDFUpper() : TgsUserDefFunction("UPPER") {}
  DEVAZOZ_UDF_EXECUTE;
};

class TgsUDFVal : public TgsUserDefFunction {
 public:
  TgsUDFVal() : TgsUserDefFunction("VAL") {}
  DEVAZOZ_UDF_EXECUTE;
};

#undef DEVAZOZ_UDF_EXECUTE

}  // namespace devazoz

#endif  // ENGINE_TABLE_GS6_SQLFN_H_
