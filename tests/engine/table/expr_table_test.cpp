// Expressions over real tables: field variables, the table functions, the
// table's link and host functions answered through UserFunction.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <fstream>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_vari.h"
#include "engine/table/gs6_dbfld.h"
#include "engine/table/gs6_sql.h"
#include "engine/table/gs6_sqldbf.h"
#include "tests/support/dbf_fixture.h"

namespace {
using namespace devazoz;
using qvx_test::DbfFixture;
using qvx_test::TempDir;

DbfFixture Catalog() {
  DbfFixture f(0x83, {{"TITLE", 'C', 20},
                      {"PRICE", 'N', 8, 2},
                      {"QTY", 'N', 5},
                      {"RELEASED", 'D', 8},
                      {"ANALOG", 'L', 1},
                      {"NOTES", 'M', 10},
                      {"FACILITY", 'C', 10}});
  f.AddRecord({"Metal Gear", "   49.95", "    3", "19980903", "T", "         1", "audio"});
  f.AddRecord({"", "", "", "", "", "", "AUDIO2"}, true);
  f.AddRecord({"Zed", "    1.00", "   -2", "20000229", "F", "", "Audio"});
  return f;
}

struct Result {
  int type;
  TgsExpValue value;
};

Result Eval(GSO_dBaseFld& t, const std::string& text) {
  TgsExpHandler h(t.ExpressionLink(), false, text);
  Result r;
  h.Evaluate(r.value);
  r.type = h.ResultType();
  return r;
}

std::string ErrorOf(GSO_dBaseFld& t, const std::string& text) {
  try {
    Eval(t, text);
  } catch (const platform::Exception& e) {
    return e.what();
  }
  return "(no error)";
}

class ExprTable : public ::testing::Test {
 protected:
  TempDir dir;
  std::string Write(const DbfFixture& f, const std::string& name = "CAT.DBF") {
    std::string path = dir.File(name);
    f.Write(path);
    return path;
  }
};

TEST_F(ExprTable, FieldVariablesConvertByFieldType) {
  GSO_dBaseFld t(Write(Catalog()), false, false);
  t.ReadRecord(1);
  Result r = Eval(t, "TITLE");
  EXPECT_EQ(r.type, kExpText);
  EXPECT_EQ(r.value.text, "Metal Gear          ");  // trailing blanks kept
  r = Eval(t, "PRICE");
  EXPECT_EQ(r.type, kExpNumber);
  EXPECT_EQ(r.value.number, 49.95);
  EXPECT_EQ(r.value.width, 8);
  EXPECT_EQ(Eval(t, "QTY * 2").value.number, 6);
  r = Eval(t, "RELEASED");
  EXPECT_EQ(r.type, kExpDate);
  EXPECT_EQ(Eval(t, "DTOS(RELEASED + 1)").value.text, "19980904");
  EXPECT_EQ(Eval(t, "DTOS(1 + RELEASED)").value.text, "19980904");
  r = Eval(t, "ANALOG");
  EXPECT_EQ(r.type, kExpLogic);
  EXPECT_TRUE(r.value.logic);
  r = Eval(t, "NOTES");
  EXPECT_EQ(r.type, kExpFieldRef);
  EXPECT_EQ(r.value.table, &t);
  EXPECT_EQ(r.value.field, 6);
  EXPECT_FALSE(Eval(t, "EMPTY(NOTES)").value.logic);
  EXPECT_EQ(ErrorOf(t, "NOTES = NOTES"),
            "The operation = cannot be used on memo or binary fields (in NOTES=NOTES)");
  EXPECT_EQ(ErrorOf(t, "NOTES + 'x'"), "The two sides of an operation do not match");
  EXPECT_EQ(Eval(t, "DESCEND(NOTES)").value.field, 6);
  TgsVariant v(16);
  TgsExpHandler notes(t.ExpressionLink(), false, "NOTES");
  EXPECT_FALSE(notes.EvaluateVariant(v));
  EXPECT_EQ(Eval(t, "LEN(TITLE)").value.number, 20);
  EXPECT_EQ(Eval(t, "TITLE = 'Metal*'").value.logic, true);
  EXPECT_EQ(Eval(t, "EMPTY(TITLE)").value.logic, false);
}

TEST_F(ExprTable, EmptyFieldsGiveZeroValues) {
  GSO_dBaseFld t(Write(Catalog()), false, false);
  t.ReadRecord(2);
  EXPECT_EQ(Eval(t, "TITLE").value.text, std::string(20, ' '));
  EXPECT_EQ(Eval(t, "PRICE").value.number, 0);
  EXPECT_EQ(Eval(t, "RELEASED").value.number, 0);
  EXPECT_EQ(Eval(t, "DTOS(RELEASED)").value.text, "        ");
  EXPECT_FALSE(Eval(t, "EMPTY(RELEASED)").value.logic);
  EXPECT_FALSE(Eval(t, "EMPTY(TITLE)").value.logic);
  EXPECT_TRUE(Eval(t, "EMPTY(PRICE)").value.logic);
  EXPECT_FALSE(Eval(t, "ANALOG").value.logic);
}

TEST_F(ExprTable, ExactlyEqualInAForCondition) {
  GSO_dBaseFld t(Write(Catalog()), false, false);
  TgsExpHandler h(t.ExpressionLink(), false, "TRIM(UPPER(FACILITY))==\"AUDIO\"");
  std::vector<bool> seen;
  for (int n = 1; n <= 3; ++n) {
    t.ReadRecord(n);
    TgsExpValue v;
    h.Evaluate(v);
    ASSERT_EQ(h.ResultType(), kExpLogic);
    seen.push_back(v.logic);
  }
  EXPECT_EQ(seen, (std::vector<bool>{true, false, true}));
}

TEST_F(ExprTable, TheLinkRegistersTableFunctionsAndOneVariablePerField) {
  GSO_dBaseFld t(Write(Catalog()), false, false);
  TgsDBFExpUserLink* link = t.ExpressionLink();
  ASSERT_NE(link, nullptr);
  EXPECT_EQ(link->Table(), &t);
  const char* functions[] = {"RECNO", "DELETED", "BOF", "EOF", "TYPE", "LEN"};
  ASSERT_EQ(link->Functions().Count(), 6u);
  for (size_t i = 0; i < 6; ++i) EXPECT_EQ(link->Functions().At(i)->Name(), functions[i]);
  ASSERT_EQ(link->FieldVars().Count(), 7u);
  for (int n = 1; n <= 7; ++n) {
    TgsUserDefFieldVar* var = link->FieldVars().At(size_t(n - 1));
    EXPECT_EQ(var->Name(), t.FieldName(n));
    EXPECT_EQ(var->KindTag(), kTableFieldVarTag);
    EXPECT_EQ(var->Width(), t.FieldLength(n));
    EXPECT_EQ(dynamic_cast<TgslDBFFieldVars*>(var)->Field(), n);
  }
  TgsExpHandler h(link, false, "UPPER(TITLE) + STR(PRICE) + DTOS(RELEASED)");
  EXPECT_EQ(h.CollectNames(kTableFieldVarTag), "TITLE;PRICE;RELEASED;");
}

TEST_F(ExprTable, LongCharacterFieldsAndLowerCaseNames) {
  DbfFixture f(0x03, {{"big", 'C', 300}, {"n", 'N', 3}});
  f.AddRecord({std::string(299, 'a') + "b", "  7"});
  GSO_dBaseFld t(Write(f), false, false);
  t.ReadRecord(1);
  EXPECT_EQ(t.ExpressionLink()->FieldVars().At(0)->Width(), 300);
  EXPECT_EQ(Eval(t, "LEN(BIG)").value.number, 300);
  EXPECT_EQ(Eval(t, "RIGHT(UPPER(big), 2)").value.text, "AB");
  EXPECT_EQ(Eval(t, "N + 1").value.number, 8);
}

TEST_F(ExprTable, RecnoDeletedBofEof) {
  GSO_dBaseFld t(Write(Catalog()), false, false);
  EXPECT_TRUE(Eval(t, "BOF()").value.logic);
  EXPECT_EQ(Eval(t, "RECNO()").value.number, 0);
  t.ReadRecord(1);
  Result r = Eval(t, "RECNO()");
  EXPECT_EQ(r.value.number, 1);
  EXPECT_EQ(r.value.width, 7);
  EXPECT_FALSE(Eval(t, "BOF()").value.logic);
  EXPECT_FALSE(Eval(t, "DELETED()").value.logic);
  t.ReadRecord(2);
  EXPECT_TRUE(Eval(t, "DELETED()").value.logic);
  EXPECT_TRUE(Eval(t, ".NOT. DELETED() .OR. RECNO() = 2").value.logic);
  t.ReadRecord(kMoveLast);
  EXPECT_FALSE(Eval(t, "EOF()").value.logic);
  t.ReadRecord(kMoveNext);
  EXPECT_TRUE(Eval(t, "EOF()").value.logic);
  t.ReadRecord(1);
  t.ReadRecord(kMovePrevious);
  EXPECT_TRUE(Eval(t, "BOF()").value.logic);
  // STR with the number's own width: 7 for RECNO, the field length for fields.
  t.ReadRecord(3);
  t.ExpressionLink()->default_str_width = -1;
  EXPECT_EQ(Eval(t, "STR(RECNO())").value.text, "      3");
  EXPECT_EQ(Eval(t, "STR(QTY)").value.text, "   -2");
  EXPECT_EQ(Eval(t, "STR(PRICE, 8, 2)").value.text, "    1.00");
}

TEST_F(ExprTable, TypeAndTheShadowedLen) {
  GSO_dBaseFld t(Write(Catalog()), false, false);
  EXPECT_EQ(Eval(t, "TYPE('title')").value.text, "C");
  EXPECT_EQ(Eval(t, "TYPE('PRICE')").value.text, "N");
  EXPECT_EQ(Eval(t, "TYPE('RELEASED ')").value.text, "D");
  std::string error = ErrorOf(t, "TYPE('NOPE')");
  EXPECT_NE(error.find("NOPE"), std::string::npos) << error;
  try {
    Eval(t, "TYPE('NOPE')");
  } catch (const EDevazozError&) {
    SUCCEED();
  } catch (...) {
    ADD_FAILURE() << "the table's own error is expected";
  }
  // The library's LEN is found first: the length of the text "PRICE".
  EXPECT_EQ(Eval(t, "LEN('PRICE')").value.number, 5);
  // The table's LEN, reached directly, gives the field's length byte.
  TgsUserDefFunction* len = t.ExpressionLink()->FindFunction("LEN");
  ASSERT_NE(len, nullptr);
  std::vector<TgsExpNodePtr> args;
  args.push_back(std::make_unique<TgsExpTextLit>("price"));
  TgsExpFunction node(len, std::move(args), nullptr);
  TgsExpValue v;
  EXPECT_EQ(node.Evaluate(v), kExpNumber);
  EXPECT_EQ(v.number, 8);
}

TEST_F(ExprTable, FieldVariablesReadTheCurrentRecordReference) {
  GSO_dBaseFld t(Write(Catalog()), false, true);
  t.ReadRecord(1);
  TgsExpHandler h(t.ExpressionLink(), false, "TRIM(TITLE)");
  t.PutStr(1, "Changed");
  TgsExpValue v;
  EXPECT_EQ(h.Evaluate(v)->text, "Changed");
  t.SetCurrentRecord(t.SavedRecord());  // as the index layer does for an old key
  EXPECT_EQ(h.Evaluate(v)->text, "Metal Gear");
  t.SetCurrentRecord(nullptr);
  EXPECT_EQ(h.Evaluate(v)->text, "Changed");
}

// A table whose host answers the functions DOUBLE, HELLO, BIRTH, YES and ODD.
class HostTable : public GSO_dBaseFld {
 public:
  using GSO_dBaseFld::GSO_dBaseFld;
  int UserFunction(const std::string& request, const std::string& name, void* value,
                   char& result_type, bool& changed) override {
    calls.push_back(request + " " + name);
    static const std::set<std::string> known = {"DOUBLE", "HELLO", "BIRTH", "YES", "ODD", "NOPE"};
    if (request == "FIND") return known.count(name) ? 0 : -1;
    auto* buffer = static_cast<uint8_t*>(value);
    TgsExpFunction* node = nullptr;
    std::memcpy(&node, buffer, sizeof node);
    changed = true;
    if (name == "DOUBLE") {
      TgsExpValue arg;
      FetchArgument(*node, 0, arg, kExpNumber);
      double d = arg.number * 2;
      std::memcpy(buffer, &d, sizeof d);
      result_type = 'N';
    } else if (name == "HELLO") {
      std::memset(buffer, 'h', TgslDBFGeneric::kHostBufferSize);  // no NUL at all
      result_type = 'C';
    } else if (name == "BIRTH") {
      int32_t day = 2444240;
      std::memcpy(buffer, &day, sizeof day);
      result_type = 'D';
    } else if (name == "YES") {
      buffer[0] = 'y';
      result_type = 'L';
    } else if (name == "ODD") {
      result_type = 'Q';
    } else {
      return -1;
    }
    return 0;
  }
  std::vector<std::string> calls;
};

TEST_F(ExprTable, HostFunctionsAnswerThroughUserFunction) {
  HostTable t(Write(Catalog()), false, false);
  t.ReadRecord(1);
  Result r = Eval(t, "double(PRICE)");
  EXPECT_EQ(r.type, kExpNumber);
  EXPECT_EQ(r.value.number, 99.9);
  EXPECT_EQ(Eval(t, "DOUBLE(2) + DOUBLE(3)").value.number, 10);
  // The host was asked once for the name; later compilations find it registered.
  EXPECT_EQ(std::count(t.calls.begin(), t.calls.end(), "FIND DOUBLE"), 1);
  EXPECT_EQ(t.ExpressionLink()->Functions().Count(), 7u);
  r = Eval(t, "HELLO()");
  EXPECT_EQ(r.type, kExpText);
  EXPECT_EQ(r.value.text, std::string(TgslDBFGeneric::kHostBufferSize, 'h'));
  r = Eval(t, "BIRTH()");
  EXPECT_EQ(r.type, kExpDate);
  EXPECT_EQ(r.value.number, 2444240);
  r = Eval(t, "YES()");
  EXPECT_EQ(r.type, kExpLogic);
  EXPECT_TRUE(r.value.logic);
  EXPECT_EQ(Eval(t, "ODD()").type, kExpNothing);
  EXPECT_EQ(Eval(t, "NOPE()").type, kExpNothing);  // PARSE refused
  EXPECT_EQ(ErrorOf(t, "UNKNOWN(1)"), "There is no function for UNKNOWN");
  EXPECT_EQ(std::count(t.calls.begin(), t.calls.end(), "FIND UNKNOWN"), 1);
  // Library and table names are never offered to the host.
  Eval(t, "UPPER(TITLE) + STR(RECNO())");
  for (const std::string& c : t.calls) EXPECT_EQ(c.find("UPPER"), std::string::npos);
}

TEST_F(ExprTable, TheBaseTableRefusesEveryHostFunction) {
  GSO_dBaseFld t(Write(Catalog()), false, false);
  EXPECT_EQ(ErrorOf(t, "FORMULA(1)"), "There is no function for FORMULA");
  EXPECT_EQ(ErrorOf(t, "NOFIELD"), "There is no function for NOFIELD (nor a field of that name)");
  EXPECT_EQ(ErrorOf(t, "CAT->TITLE"),
            "There is no function for CAT.TITLE (nor a field of that name)");
}

// Field values as another program's index listing shows them: KEY<TAB>RECNO.
TEST_F(ExprTable, KeysOfAnotherProgramsIndexMatchTheFieldValues) {
  for (const char* tag : {"TITLE", "CATEGORY"}) {
    qvx_test::TempDir dir;
    GSO_dBaseFld t(qvx_test::CopyTestTable("cdx1k/catalog.dbf", dir.path()), false, false);
    TgsExpHandler h(t.ExpressionLink(), false, std::string("TRIM(") + tag + ")");
    std::istringstream keys(
        qvx_test::ReadFileText(qvx_test::TestDataPath(std::string("cdx1k/") + tag + ".keys")));
    std::string line;
    int checked = 0;
    while (std::getline(keys, line)) {
      size_t tab = line.rfind('\t');
      ASSERT_NE(tab, std::string::npos);
      t.ReadRecord(std::stoi(line.substr(tab + 1)));
      TgsExpValue v;
      ASSERT_EQ(h.Evaluate(v)->text, line.substr(0, tab)) << tag << " " << line;
      ++checked;
    }
    EXPECT_EQ(checked, 1000) << tag;
  }
}

}  // namespace
