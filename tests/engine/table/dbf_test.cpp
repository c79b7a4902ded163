// The table file and its field layer against files built byte by byte.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/foundation/gs6_eror.h"
#include "engine/foundation/gs6_tool.h"
#include "engine/table/gs6_dbfld.h"
#include "platform/services/datetime.h"
#include "tests/support/dbf_fixture.h"
#include "tests/support/memo_fixture.h"

namespace {
using namespace devazoz;
using qvx_test::DbfFixture;
using qvx_test::FieldSpec;
using qvx_test::TempDir;

std::string ErrorOf(const std::function<void()>& f) {
  try {
    f();
  } catch (const EDevazozError& e) {
    return e.what();
  }
  return "";
}

DbfFixture TitleShape(uint8_t version = 0x03) {
  return DbfFixture(version, {{"TITLE", 'C', 20},
                              {"PRICE", 'N', 8, 2},
                              {"QTY", 'N', 5},
                              {"RELEASED", 'D', 8},
                              {"ANALOG", 'L', 1},
                              {"NOTES", 'M', 10}});
}

class DbfTest : public ::testing::Test {
 protected:
  TempDir dir;
  std::string Write(const DbfFixture& f, const std::string& name = "T.DBF") {
    std::string path = dir.File(name);
    f.Write(path);
    return path;
  }
};

TEST_F(DbfTest, AcceptsTheFiveVersionsAndRefusesOthers) {
  for (uint8_t v : {0x03, 0x30, 0x83, 0x8B, 0xF5}) {
    std::string path = Write(TitleShape(v));
    GSO_dBaseFld t(path, false, false);
    EXPECT_EQ(t.Version(), v);
    EXPECT_EQ(t.FieldCount(), 6);
  }
  for (uint8_t v : {0x04, 0x8C, 0xFB}) {
    std::string path = Write(TitleShape(v));
    std::string msg = ErrorOf([&] { GSO_dBaseFld t(path, false, false); });
    EXPECT_EQ(msg.rfind("dBase DBF file header invalid - ", 0), 0u) << msg;
  }
}

TEST_F(DbfTest, RecordCountComesFromTheFileSize) {
  DbfFixture f = TitleShape();
  for (int i = 0; i < 12; ++i) f.AddRecord({"T" + std::to_string(i)});
  f.stored_count = 10;
  GSO_dBaseFld t(Write(f), false, false);
  EXPECT_EQ(t.RecordCount(), 12);
}

TEST_F(DbfTest, FieldCountFromHeaderLength) {
  std::vector<FieldSpec> eight;
  for (int i = 0; i < 8; ++i) eight.push_back({"F" + std::to_string(i), 'C', 2});
  DbfFixture a(0x03, eight);
  EXPECT_EQ(a.HeaderLength(), 289);
  EXPECT_EQ(GSO_dBaseFld(Write(a, "A.DBF"), false, false).FieldCount(), 8);
  DbfFixture b(0x03, eight);
  b.extra_header_bytes = 1;  // 290
  EXPECT_EQ(GSO_dBaseFld(Write(b, "B.DBF"), false, false).FieldCount(), 8);
  DbfFixture c(0x30, eight);
  EXPECT_EQ(c.HeaderLength(), 552);
  EXPECT_EQ(GSO_dBaseFld(Write(c, "C.DBF"), false, false).FieldCount(), 8);
}

TEST_F(DbfTest, FoxProTableWithBackLinkAreaHasNoInventedFields) {
  // Some programs leave a 263-byte zero area after the terminator of 0xF5 tables.
  DbfFixture f(0xF5, {{"NAME", 'C', 10}, {"N", 'N', 4}});
  f.extra_header_bytes = 263;
  f.AddRecord({"abc", "  12"});
  GSO_dBaseFld t(Write(f), false, false);
  EXPECT_EQ(t.FieldCount(), 2);
  t.ReadRecord(1);
  EXPECT_EQ(t.GetStrByName("NAME"), "abc       ");
  EXPECT_EQ(t.GetNum(2), 12);
}

TEST_F(DbfTest, LongCharacterFieldUsesDecimalsAsHighByte) {
  DbfFixture f(0x03, {{"BIG", 'C', 300}, {"X", 'C', 1}});
  f.AddRecord({std::string(299, 'a') + "b", "z"});
  GSO_dBaseFld t(Write(f), false, false);
  EXPECT_EQ(t.FieldLength(1), 300);
  EXPECT_EQ(t.FieldDecimals(1), 0);
  EXPECT_EQ(t.FieldOffset(2), 301);
  t.ReadRecord(1);
  EXPECT_EQ(t.GetStr(1).size(), 300u);
  EXPECT_EQ(t.GetStr(2), "z");
}

TEST_F(DbfTest, ReadRecordMovesAndStopsAtTheEnds) {
  DbfFixture f = TitleShape();
  f.AddRecord({"one"}).AddRecord({"two"}).AddRecord({"three"});
  GSO_dBaseFld t(Write(f), false, false);
  EXPECT_TRUE(t.Bof());
  t.ReadRecord(kMoveFirst);
  EXPECT_EQ(t.RecordNumber(), 1);
  t.ReadRecord(kMovePrevious);
  EXPECT_TRUE(t.Bof());
  EXPECT_EQ(t.RecordNumber(), 1);
  EXPECT_EQ(t.GetStr(1).substr(0, 3), "one");
  t.ReadRecord(kMoveLast);
  EXPECT_EQ(t.RecordNumber(), 3);
  t.ReadRecord(kMoveNext);
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(t.GetStr(1).substr(0, 5), "three");
  t.ReadRecord(4);
  EXPECT_TRUE(t.Eof());
  EXPECT_EQ(ErrorOf([&] { t.ReadRecord(5); }).rfind("dBase record request beyond EOF - ", 0), 0u);
  t.ReadRecord(2);
  EXPECT_FALSE(t.Eof());
  t.ReadRecord(kMoveCurrent);
  EXPECT_EQ(t.RecordNumber(), 2);
  EXPECT_EQ(ErrorOf([&] { t.ReadRecord(-9); }).rfind("dBase record request beyond EOF", 0), 0u);
}

TEST_F(DbfTest, EmptyTableSetsBothEnds) {
  GSO_dBaseFld t(Write(TitleShape()), false, false);
  t.ReadRecord(kMoveFirst);
  EXPECT_TRUE(t.Eof());
  EXPECT_TRUE(t.Bof());
}

TEST_F(DbfTest, AppendWritesRecordEndMarkerAndHeader) {
  std::string path = Write(TitleShape());
  {
    GSO_dBaseFld t(path, false, true);
    for (int i = 0; i < 3; ++i) {
      t.BlankRecord();
      t.PutStrByName("TITLE", "Title " + std::to_string(i));
      t.PutNumByName("PRICE", 1.5 * i);
      t.AppendRecord();
      EXPECT_EQ(t.RecordNumber(), i + 1);
    }
    EXPECT_EQ(t.RecordCount(), 3);
  }
  auto bytes = qvx_test::ReadFileBytes(path);
  DbfFixture shape = TitleShape();
  size_t expected = size_t(shape.HeaderLength() + 3 * shape.RecordLength() + 1);
  ASSERT_EQ(bytes.size(), expected);
  EXPECT_EQ(bytes.back(), 0x1A);
  EXPECT_EQ(bytes[4], 3);  // stored count
  platform::LocalTime now = platform::CurrentLocalTime();
  EXPECT_EQ(bytes[1], now.year % 100);
  EXPECT_EQ(bytes[2], now.month);
  GSO_dBaseFld t(path, false, false);
  t.ReadRecord(3);
  EXPECT_EQ(t.GetStrByName("TITLE").substr(0, 7), "Title 2");
  EXPECT_EQ(t.GetStrByName("PRICE"), "    3.00");
}

TEST_F(DbfTest, WriteRecordBeyondCountAppends) {
  std::string path = Write(TitleShape().AddRecord({"a"}));
  GSO_dBaseFld t(path, false, true);
  t.ReadRecord(1);
  t.PutStr(1, "changed");
  t.WriteRecord(1);
  t.PutStr(1, "new");
  t.WriteRecord(5);
  EXPECT_EQ(t.RecordCount(), 2);
  t.ReadRecord(1);
  EXPECT_EQ(t.GetStr(1).substr(0, 7), "changed");
  t.ReadRecord(2);
  EXPECT_EQ(t.GetStr(1).substr(0, 3), "new");
}

TEST_F(DbfTest, DeleteAndUndeleteWriteTheFlag) {
  std::string path = Write(TitleShape().AddRecord({"a"}).AddRecord({"b"}));
  {
    GSO_dBaseFld t(path, false, true);
    t.ReadRecord(2);
    t.DeleteRecord();
    EXPECT_TRUE(t.IsDeleted());
  }
  GSO_dBaseFld t(path, false, true);
  t.ReadRecord(2);
  EXPECT_TRUE(t.IsDeleted());
  t.UndeleteRecord();
  t.ReadRecord(2);
  EXPECT_FALSE(t.IsDeleted());
}

TEST_F(DbfTest, NumbersStoreRoundedAndRefuseOverflow) {
  DbfFixture f(0x03, {{"N82", 'N', 8, 2}, {"N60", 'N', 6}, {"F", 'F', 10, 3}});
  f.AddRecord({});
  GSO_dBaseFld t(Write(f), false, true);
  t.ReadRecord(1);
  EXPECT_TRUE(t.PutNum(1, 123.456));
  EXPECT_EQ(t.GetStr(1), "  123.46");
  EXPECT_TRUE(t.PutNum(2, 42));
  std::string msg = ErrorOf([&] { t.PutNum(2, 1234567.0); });
  EXPECT_EQ(msg, "Number too large to fit in field - N60 - 1234567");
  EXPECT_EQ(t.GetStr(2), "    42");
  EXPECT_DOUBLE_EQ(t.GetNum(1), 123.46);
  EXPECT_TRUE(t.PutNum(3, -1.25));
  EXPECT_EQ(t.GetStr(3), "    -1.250");
  EXPECT_FALSE(ErrorOf([&] { t.PutNum(1, std::nan("")); }).empty());
}

TEST_F(DbfTest, UnreadableNumbersAndDatesReportAndYieldZero) {
  DbfFixture f(0x03, {{"N", 'N', 5}, {"D", 'D', 8}});
  f.AddRecord({"  12a", "2023ab01"}).AddRecord({"     ", "        "});
  f.AddRecord({std::string("1\x01\\\xFF", 4), "2023010"});
  GSO_dBaseFld t(Write(f, "GAMES.DBF"), false, false);
  t.ReadRecord(1);
  EXPECT_EQ(
      ErrorOf([&] { t.GetNum(1); }),
      "dBase field is of incorrect type - Invalid number in field GAMES->N (  12a) of record 1");
  EXPECT_EQ(
      ErrorOf([&] { t.GetDate(2); }),
      "dBase field is of incorrect type - Invalid date in field GAMES->D (2023ab01) of record 1");
  t.ReadRecord(3);  // bytes that are no text are shown as hexadecimal numbers
  EXPECT_EQ(ErrorOf([&] { t.GetNum(1); }),
            "dBase field is of incorrect type - Invalid number in field GAMES->N "
            "(1\\x01\\x5C\\xFF) of record 3");
  t.ReadRecord(2);
  EXPECT_EQ(t.GetNum(1), 0);
  EXPECT_EQ(t.GetDate(2), 0);
  EXPECT_EQ(t.GetDisplay(1), "0");
}

TEST_F(DbfTest, DatesConvertBothWays) {
  DbfFixture f(0x03, {{"D", 'D', 8}, {"C", 'C', 4}});
  f.AddRecord({"19800101"}).AddRecord({"19990231"});
  GSO_dBaseFld t(Write(f), false, true);
  t.ReadRecord(1);
  EXPECT_EQ(t.GetDate(1), 2444240);
  EXPECT_EQ(t.GetDateByName("d"), 2444240);
  EXPECT_EQ(t.GetDisplay(1), "1/1/1980");
  EXPECT_TRUE(t.PutDate(1, 2444241));
  EXPECT_EQ(t.GetStr(1), "19800102");
  EXPECT_TRUE(t.PutDate(1, 0));
  EXPECT_EQ(t.GetStr(1), "        ");
  EXPECT_EQ(ErrorOf([&] { t.PutDate(1, -1); }), "dBase field is of incorrect type - ");
  EXPECT_FALSE(t.PutDate(2, 2444240));
  EXPECT_TRUE(t.PutText(1, "2/3/1999"));
  EXPECT_EQ(t.GetStr(1), "19990203");
  t.ReadRecord(2);
  EXPECT_EQ(t.GetDate(1), 2415019);  // a nonexistent 8-digit date
}

TEST_F(DbfTest, LogicalTextInput) {
  DbfFixture f(0x03, {{"L", 'L', 1}, {"C", 'C', 3}});
  f.AddRecord({"?"});
  GSO_dBaseFld t(Write(f), false, true);
  t.ReadRecord(1);
  EXPECT_FALSE(t.GetLogic(1));
  EXPECT_EQ(t.GetDisplay(1), "F");
  ASSERT_TRUE(t.PutText(1, "yes"));
  EXPECT_EQ(t.GetStr(1), "T");
  ASSERT_TRUE(t.PutText(1, "0"));
  EXPECT_EQ(t.GetStr(1), "F");
  ASSERT_TRUE(t.PutText(1, "2"));
  EXPECT_EQ(t.GetStr(1), "T");
  ASSERT_TRUE(t.PutText(1, ""));
  EXPECT_EQ(t.GetStr(1), "F");
  EXPECT_EQ(ErrorOf([&] { t.PutText(1, "?"); }), "dBase field is of incorrect type - L");
  for (char c : std::string("TtYyJj")) {
    t.PutStr(1, std::string(1, c));
    EXPECT_TRUE(t.GetLogic(1)) << c;
  }
  EXPECT_EQ(ErrorOf([&] { t.PutLogic(2, true); }), "dBase field is of incorrect type - C");
  EXPECT_EQ(ErrorOf([&] { t.GetLogicByName("C"); }), "dBase field is of incorrect type - C");
}

TEST_F(DbfTest, MemoDisplayDependsOnTheBlockNumber) {
  DbfFixture f(0x03, {{"M", 'M', 10}, {"G", 'G', 10}, {"B", 'B', 10}});
  f.AddRecord({"         0", "        00", ""})
      .AddRecord({"        17", "         7", "        12"});
  GSO_dBaseFld t(Write(f), false, false);
  t.ReadRecord(1);
  EXPECT_EQ(t.GetDisplay(1), "---memo---");
  EXPECT_EQ(t.GetDisplay(2), "-general--");
  EXPECT_EQ(t.GetDisplay(3), "--binary--");
  t.ReadRecord(2);
  EXPECT_EQ(t.GetDisplay(1), "---MEMO---");
  EXPECT_EQ(t.GetDisplay(2), "-GENERAL--");
  EXPECT_EQ(t.GetDisplay(3), "--BINARY--");
  EXPECT_EQ(t.GetNum(1), 17);
}

TEST_F(DbfTest, EncodedFieldsOfVersion30) {
  DbfFixture f(0x30, {{"I", 'I', 4}, {"T", 'T', 8}, {"Y", 'Y', 8}, {"B", 'B', 8}, {"M", 'M', 4}});
  f.AddRecord({});  // all blanks
  GSO_dBaseFld t(Write(f), false, true);
  t.ReadRecord(1);
  EXPECT_DOUBLE_EQ(t.GetNum(2), (2415019.0 - 1721425.0) * 86400000.0);
  ASSERT_TRUE(t.PutNum(3, -1.5));
  std::string y = t.GetStr(3);
  int64_t stored;
  std::memcpy(&stored, t.CurrentRecord() + t.FieldOffset(3), 8);
  EXPECT_EQ(stored, -15000);
  EXPECT_DOUBLE_EQ(t.GetNum(3), -1.5);
  ASSERT_TRUE(t.PutNum(1, -7.9));
  EXPECT_EQ(t.GetNum(1), -7);
  ASSERT_TRUE(t.PutNum(4, 2.25));
  EXPECT_EQ(t.GetNum(4), 2.25);
  double when = (2444240.0 - 1721425.0) * 86400000.0 + 3600000.0;
  ASSERT_TRUE(t.PutNum(2, when));
  EXPECT_DOUBLE_EQ(t.GetNum(2), when);
  ASSERT_TRUE(t.PutNum(5, 3));
  EXPECT_EQ(t.GetDisplay(5), "---MEMO---");
  EXPECT_FALSE(ErrorOf([&] { t.PutNum(1, 1e12); }).empty());
  t.BlankRecord();
  EXPECT_EQ(t.GetNum(1), 0);
  EXPECT_EQ(t.GetNum(3), 0);
}

TEST_F(DbfTest, EncodedFieldShorterThanItsValueIsAnError) {
  DbfFixture f(0x30, {{"I", 'I', 2}});
  f.AddRecord({});
  GSO_dBaseFld t(Write(f), false, true);
  t.ReadRecord(1);
  EXPECT_THROW(t.GetNum(1), EDevazozError);
  EXPECT_THROW(t.PutNum(1, 1), EDevazozError);
}

TEST_F(DbfTest, FieldLookupIgnoresCaseAndTrailingBlanks) {
  GSO_dBaseFld t(Write(TitleShape()), false, false);
  EXPECT_EQ(t.FindField("title ")->number, 1);
  EXPECT_EQ(t.FieldNumber("Released"), 4);
  EXPECT_EQ(t.FieldNumber("nothing"), 0);
  std::string msg = ErrorOf([&] { t.FindField("nothing"); });
  EXPECT_NE(msg.find("dBase field name is invalid - "), std::string::npos);
  EXPECT_NE(msg.find("T.DBF->nothing"), std::string::npos);
  EXPECT_EQ(t.GetStr(99), "");
  EXPECT_EQ(t.GetNum(0), 0);
  EXPECT_FALSE(t.PutStr(7, "x"));
  EXPECT_EQ(t.FieldType(6), 'M');
  EXPECT_EQ(t.FieldName(2), "PRICE");
}

TEST_F(DbfTest, BlankRecordZeroesNumbersAndMarksEveryField) {
  GSO_dBaseFld t(Write(TitleShape()), false, true);
  t.BlankRecord();
  EXPECT_EQ(t.GetStr(3), "    0");
  EXPECT_EQ(t.GetStr(2), "    0.00");
  EXPECT_EQ(t.GetDisplay(2), "0.00");
  EXPECT_EQ(t.GetStr(1), std::string(20, ' '));
  for (uint8_t c : t.ChangedFlags()) EXPECT_EQ(c, 1);
  EXPECT_EQ(t.CurrentRecord()[t.RecordLength()], 0x1A);
}

TEST_F(DbfTest, TextStoresAlignByType) {
  GSO_dBaseFld t(Write(TitleShape()), false, true);
  t.BlankRecord();
  t.ClearChangedFlags();
  t.PutText(1, "Left");
  EXPECT_EQ(t.GetStr(1), "Left" + std::string(16, ' '));
  EXPECT_EQ(t.ChangedFlags()[1], 1);
  EXPECT_TRUE(t.RecordChanged());
  t.PutStr(6, "12");
  EXPECT_EQ(t.GetStr(6), "        12");
  t.PutText(1, std::string(30, 'x'));
  EXPECT_EQ(t.GetStr(1), std::string(20, 'x'));
  EXPECT_EQ(ErrorOf([&] { t.PutText(3, "1x"); }),
            "dBase field is of incorrect type - Invalid number in field T->QTY (1x)");
  EXPECT_TRUE(t.PutText(3, " 17 "));
  EXPECT_EQ(t.GetStr(3), "   17");
}

TEST_F(DbfTest, HeaderWriteKeepsOnlyKnownFlagBits) {
  DbfFixture f = TitleShape();
  f.flags = 0xFF;
  std::string path = Write(f);
  {
    GSO_dBaseFld t(path, false, true);
    EXPECT_TRUE(t.has_production_index);
    t.BlankRecord();
    t.AppendRecord();
  }
  EXPECT_EQ(qvx_test::ReadFileBytes(path)[28], 0x07);
}

TEST_F(DbfTest, FileLockDefersTheHeaderAndSurvivesAnAppend) {
  std::string path = Write(TitleShape());
  GSO_dBaseFld t(path, true, true);
  ASSERT_TRUE(t.LockFile());
  EXPECT_TRUE(t.FileLocked());
  t.BlankRecord();
  t.AppendRecord();
  EXPECT_TRUE(t.FileLocked());  // the append took no lock of its own and released none
  EXPECT_TRUE(t.HeaderDirty());
  EXPECT_EQ(qvx_test::ReadFileBytes(path)[4], 0);
  ASSERT_TRUE(t.Unlock());
  EXPECT_FALSE(t.FileLocked());
  EXPECT_FALSE(t.HeaderDirty());
  EXPECT_EQ(qvx_test::ReadFileBytes(path)[4], 1);
}

TEST_F(DbfTest, LockRegionsFollowTheProtocol) {
  DbfFixture f = TitleShape();
  f.AddRecord({"a"}).AddRecord({"b"});
  GSO_dBaseFld t(Write(f), false, true);
  t.ReadRecord(2);
  struct Case {
    TgsLokProtocol p;
    uint32_t record_offset, file_offset, file_length, append_offset;
  };
  uint32_t hl = uint32_t(t.HeaderLength()), rl = uint32_t(t.RecordLength());
  for (const Case& c :
       {Case{TgsLokProtocol::Default, 0x40000000u + hl + rl, 0x40000000u, 0x3FFFFFFFu, 0x7FFFFFFEu},
        Case{TgsLokProtocol::DB4Lock, 0xEFFFFFFFu - 3, 0x40000000u, 0xB0000000u, 0xEFFFFFFFu},
        Case{TgsLokProtocol::ClipLock, 1000000002u, 1000000000u, 1000000000u, 1000000000u},
        Case{TgsLokProtocol::FoxLock, 0x40000000u + hl + rl, 0x40000000u, 0x3FFFFFFFu,
             0x7FFFFFFEu}}) {
    t.SetLockProtocol(c.p);
    ASSERT_TRUE(t.LockRecord());
    EXPECT_EQ(t.LockOffset(), c.record_offset);
    EXPECT_EQ(t.LockLength(), 1u);
    t.Unlock();
    ASSERT_TRUE(t.LockAppend());
    EXPECT_EQ(t.LockOffset(), c.append_offset);
    t.Unlock();
    ASSERT_TRUE(t.LockFile());
    EXPECT_EQ(t.LockOffset(), c.file_offset);
    EXPECT_EQ(t.LockLength(), c.file_length);
    t.Unlock();
    ASSERT_TRUE(t.LockFileFromStart());
    EXPECT_EQ(t.LockOffset(), 0u);
    t.Unlock();
    EXPECT_EQ(t.LockCount(), 0);
  }
}

TEST_F(DbfTest, SharedTableSeesAppendsOfAnotherObject) {
  std::string path = Write(TitleShape().AddRecord({"a"}));
  GSO_dBaseFld writer(path, true, true);
  GSO_dBaseFld reader(path, true, false);
  writer.BlankRecord();
  writer.AppendRecord();
  EXPECT_EQ(reader.RecordCount(), 1);
  reader.RereadHeader();
  EXPECT_TRUE(reader.HeaderChangedByOther());
  EXPECT_EQ(reader.RecordCount(), 2);
  reader.ReadRecord(2);  // also reaches records beyond the count it knew
  EXPECT_FALSE(reader.Eof());
}

TEST_F(DbfTest, FindsLowerCaseFilesUnderUpperCaseNames) {
  Write(TitleShape().AddRecord({"x"}), "catalog.dbf");
  GSO_dBaseFld t(dir.File("CATALOG"), false, false);
  EXPECT_EQ(t.RecordCount(), 1);
  EXPECT_EQ(t.FileName(), dir.File("CATALOG.DBF").size() ? t.FileName() : "");
  EXPECT_NE(t.FileName().find("CATALOG.DBF"), std::string::npos);
}

// ---------------------------------------------------------------------------
// Damaged headers

TEST_F(DbfTest, MalformedHeadersAreRefused) {
  auto refuses = [&](DbfFixture f, const char* what) {
    std::string msg = ErrorOf([&] { GSO_dBaseFld t(Write(f), false, false); });
    EXPECT_EQ(msg.rfind("dBase DBF file header invalid", 0), 0u) << what << ": " << msg;
  };
  DbfFixture zero_header = TitleShape();
  zero_header.header_length_override = 0;
  refuses(zero_header, "header length 0");
  DbfFixture short_header = TitleShape();
  short_header.header_length_override = 20;
  refuses(short_header, "header length 20");
  DbfFixture zero_record = TitleShape();
  zero_record.record_length_override = 0;
  refuses(zero_record, "record length 0");
  DbfFixture past = TitleShape().AddRecord({"x"});
  past.record_length_override = 30;  // fields need 53
  refuses(past, "field past the record");
  DbfFixture huge = TitleShape();
  huge.header_length_override = 65535;
  auto cut = huge.Bytes();
  cut.resize(100);  // the file ends inside the descriptors
  std::string cut_path = dir.File("CUT.DBF");
  qvx_test::WriteFileBytes(cut_path, cut);
  std::string cut_msg = ErrorOf([&] { GSO_dBaseFld t(cut_path, false, false); });
  EXPECT_NE(cut_msg.find("field descriptors truncated"), std::string::npos) << cut_msg;
  std::string path = dir.File("TINY.DBF");
  qvx_test::WriteFileBytes(path, {0x03, 1, 2, 3, 4, 5, 6, 7, 8, 9});
  std::string tiny = ErrorOf([&] { GSO_dBaseFld t(path, false, false); });
  EXPECT_EQ(tiny.rfind("dBase DBF file header invalid", 0), 0u) << tiny;
}

TEST_F(DbfTest, MissingFileIsReported) {
  std::string msg = ErrorOf([&] { GSO_dBaseFld t(dir.File("NONE.DBF"), false, false); });
  EXPECT_EQ(msg.rfind("File not found - ", 0), 0u) << msg;
}

// Touches every field of every record through every reader.
void ReadEverything(GSO_dBaseFld& t) {
  for (int32_t r = 1; r <= t.RecordCount() + 1; ++r) {
    t.ReadRecord(r);
    for (int n = 1; n <= t.FieldCount(); ++n) {
      for (auto& read : std::vector<std::function<void()>>{
               [&] { t.GetDisplay(n); }, [&] { t.GetNum(n); }, [&] { t.GetDate(n); },
               [&] { t.GetLogic(n); }, [&] { t.GetStr(n); }}) {
        try {
          read();
        } catch (const EDevazozError&) {
        }
      }
    }
  }
}

// The name as given wins over a name that differs only in case; paths longer than
// 259 characters open; messages name the file as it is on disk and say what a path
// that is no file is.
TEST_F(DbfTest, NamesAndPathsAsTheSystemHasThem) {
  DbfFixture lower = TitleShape();
  lower.AddRecord({"lower"});
  DbfFixture upper = TitleShape();
  upper.AddRecord({"UPPER"}).AddRecord({"UPPER2"});
  Write(lower, "category.dbf");
  Write(upper, "CATEGORY.DBF");
  {
    GSO_dBaseFld t(dir.File("category.dbf"), false, false);
    EXPECT_EQ(t.RecordCount(), 1);
  }
  {
    GSO_dBaseFld t(dir.File("CATEGORY.DBF"), false, false);
    EXPECT_EQ(t.RecordCount(), 2);
  }
  {
    GSO_dBaseFld t(dir.File("Category.dbf"), false, false);  // found without regard to case
    EXPECT_GE(t.RecordCount(), 1);
  }

  std::string deep = dir.path();
  while (deep.size() < 300) {
    deep += "/" + std::string(40, 'd');
    ASSERT_EQ(qvx_test::RunCommand("mkdir -p '" + deep + "'", nullptr), 0);
  }
  Write(lower, deep.substr(dir.path().size() + 1) + "/Deep.dbf");
  {
    GSO_dBaseFld t(deep + "/Deep.dbf", false, false);
    EXPECT_EQ(t.RecordCount(), 1);
  }

  EXPECT_EQ(ErrorOf([&] { GSO_dBaseFld t(dir.File("Missing.dbf"), false, false); }),
            "File not found - " + dir.File("Missing.dbf"));
  EXPECT_EQ(ErrorOf([&] { GSO_dBaseFld t("/dev/null", false, false); }),
            "File not found - /dev/null.DBF (/dev/null is a device)");
  EXPECT_EQ(ErrorOf([&] { GSO_dBaseFld t(dir.path() + "/.", false, false); }),
            "File access denied - " + dir.path() + " (a folder, not a file)");
  std::string folder = deep.substr(0, dir.path().size() + 41);
  EXPECT_EQ(ErrorOf([&] { GSO_dBaseFld t(folder, false, false); }),
            "File not found - " + folder + ".DBF (" + folder + " is a folder)");
}

TEST_F(DbfTest, EveryPrefixOfATableOpensOrFailsCleanly) {
  DbfFixture f(0x30, {{"TITLE", 'C', 12}, {"I", 'I', 4}, {"T", 'T', 8}, {"N", 'N', 6, 2}});
  f.AddRecord({"abc", "\x01\x02\x03\x04", "", "  1.50"}).AddRecord({"def"}, true);
  auto bytes = f.Bytes();
  std::string path = dir.File("P.DBF");
  for (size_t len = 0; len < bytes.size(); ++len) {
    qvx_test::WriteFileBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(len)));
    try {
      GSO_dBaseFld t(path, false, false);
      ReadEverything(t);
    } catch (const EDevazozError&) {
    }
  }
}

// Under an error hook that returns, a report must still leave the operation.
TEST_F(DbfTest, EveryPrefixWithAReturningHook) {
  qvx_test::RecordingErrorHook hook;
  DbfFixture f(0x30, {{"TITLE", 'C', 12}, {"I", 'I', 4}, {"T", 'T', 8}, {"N", 'N', 6, 2}});
  f.AddRecord({"abc", "\x01\x02\x03\x04", "", "  1.50"}).AddRecord({"def"}, true);
  auto bytes = f.Bytes();
  std::string path = dir.File("P.DBF");
  for (size_t len = 0; len < bytes.size(); ++len) {
    qvx_test::WriteFileBytes(path, std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(len)));
    GSO_dBaseFld t(path, false, false);
    ReadEverything(t);
  }
}

TEST_F(DbfTest, FlippedHeaderBytesWithAReturningHook) {
  qvx_test::RecordingErrorHook hook;
  DbfFixture f(0xF5, {{"TITLE", 'C', 12}, {"N", 'N', 6, 2}, {"D", 'D', 8}, {"L", 'L', 1}});
  f.AddRecord({"abc", "  1.50", "20240101", "T"}).AddRecord({"def", "xx", "nodate"});
  auto good = f.Bytes();
  std::string path = dir.File("F.DBF");
  for (size_t at = 0; at < 32 + 4 * 32 + 1; ++at) {
    for (uint8_t v : {0x00, 0x01, 0x0D, 0x7F, 0xFF}) {
      auto bytes = good;
      bytes[at] = v;
      qvx_test::WriteFileBytes(path, bytes);
      GSO_dBaseFld t(path, false, false);
      ReadEverything(t);
    }
  }
}

TEST_F(DbfTest, FlippedHeaderBytesNeverCrash) {
  DbfFixture f(0xF5, {{"TITLE", 'C', 12}, {"N", 'N', 6, 2}, {"D", 'D', 8}, {"L", 'L', 1}});
  f.AddRecord({"abc", "  1.50", "20240101", "T"}).AddRecord({"def", "xx", "nodate"});
  auto good = f.Bytes();
  std::string path = dir.File("F.DBF");
  for (size_t at = 0; at < 32 + 4 * 32 + 1; ++at) {
    for (uint8_t v : {0x00, 0x01, 0x0D, 0x7F, 0xFF}) {
      auto bytes = good;
      bytes[at] = v;
      qvx_test::WriteFileBytes(path, bytes);
      try {
        GSO_dBaseFld t(path, false, false);
        ReadEverything(t);
      } catch (const EDevazozError&) {
      }
    }
  }
}

// ---------------------------------------------------------------------------
// Files written by other programs

TEST(DbfInterop, ReadsTheSharedTablesOfOtherPrograms) {
  for (const char* name : {"dbf/perl_t_0x8b.dbf", "dbf/perl_t_0xf5.dbf", "dbf/pydbf_t_vfp.dbf"}) {
    qvx_test::TempDir dir;
    GSO_dBaseFld t(qvx_test::CopyTestTable(name, dir.path()), false, false);
    EXPECT_EQ(t.RecordCount(), 4) << name;
    EXPECT_EQ(t.FieldCount(), 7) << name;
    t.ReadRecord(1);
    EXPECT_EQ(t.GetDisplayByName("TITLE"), "Alpha Quest") << name;
    EXPECT_EQ(t.GetDisplayByName("PRICE"), "19.99") << name;
    EXPECT_EQ(t.GetDateByName("RELEASED"), 2450887) << name;  // 14 March 1998
    EXPECT_TRUE(t.GetLogicByName("ANALOG")) << name;
    t.ReadRecord(3);
    EXPECT_TRUE(t.IsDeleted()) << name;
  }
  for (const char* name : {"cdx1k/catalog.dbf", "ntx1k/catalog.dbf"}) {
    qvx_test::TempDir dir;
    GSO_dBaseFld t(qvx_test::CopyTestTable(name, dir.path()), false, false);
    EXPECT_EQ(t.RecordCount(), 1000);
    EXPECT_EQ(t.RecordLength(), 153);
    ReadEverything(t);
  }
}

}  // namespace

namespace {
using namespace devazoz;

TEST(DbfReadAhead, WalksBothWaysAndSeesItsOwnWrites) {
  qvx_test::TempDir dir;
  qvx_test::DbfFixture f(0x03, {{"N", 'C', 6000}});  // five records per read-ahead window
  for (int i = 1; i <= 23; ++i) f.AddRecord({"rec" + std::to_string(i)});
  std::string path = dir.File("R.DBF");
  f.Write(path);
  GSO_dBaseFld t(path, false, true);
  auto title = [&] { return TrimRightZ(t.GetStr(1)); };
  int n = 0;
  for (t.ReadRecord(kMoveFirst); !t.Eof(); t.ReadRecord(kMoveNext))
    EXPECT_EQ(title(), "rec" + std::to_string(++n));
  EXPECT_EQ(n, 23);
  for (t.ReadRecord(kMoveLast); !t.Bof(); t.ReadRecord(kMovePrevious))
    EXPECT_EQ(title(), "rec" + std::to_string(n--));
  EXPECT_EQ(n, 0);
  t.ReadRecord(7);
  t.PutStr(1, "changed");
  t.WriteRecord(7);
  t.ReadRecord(6);
  t.ReadRecord(kMoveNext);
  EXPECT_EQ(title(), "changed");
  t.BlankRecord();
  t.PutStr(1, "appended");
  t.AppendRecord();
  t.ReadRecord(23);
  t.ReadRecord(kMoveNext);
  EXPECT_EQ(title(), "appended");
}

TEST(DbfReadAhead, SharedTableReadsWhatAnotherObjectWrote) {
  qvx_test::TempDir dir;
  qvx_test::DbfFixture f(0x03, {{"N", 'C', 10}});
  f.AddRecord({"old1"}).AddRecord({"old2"});
  std::string path = dir.File("S.DBF");
  f.Write(path);
  // The second object on a path shares the first one's handle, so the writer opens first.
  GSO_dBaseFld writer(path, true, true);
  GSO_dBaseFld reader(path, true, false);
  reader.ReadRecord(1);
  writer.ReadRecord(2);
  writer.PutStr(1, "new2");
  writer.WriteRecord(2);
  reader.ReadRecord(2);
  EXPECT_EQ(TrimRightZ(reader.GetStr(1)), "new2");
}

}  // namespace

namespace {
using namespace devazoz;

// A table that reports an open index and records its events.
class EventTable : public GSO_dBaseFld {
 public:
  using GSO_dBaseFld::GSO_dBaseFld;
  bool HasIndexOpen() override { return true; }
  void Notify(uint8_t code, int32_t value) override {
    GSO_dBaseFld::Notify(code, value);
    events.push_back(std::to_string(code) + ":" + std::to_string(value));
  }
  std::vector<std::string> events;
};

TEST(DbfEvents, NotifyCodesInOrder) {
  qvx_test::TempDir dir;
  qvx_test::DbfFixture f(0x03, {{"C", 'C', 4}});
  f.AddRecord({"a"});
  std::string path = dir.File("E.DBF");
  f.Write(path);
  EventTable t(path, false, true);
  t.ReadRecord(1);
  t.PutStr(1, "b");
  t.WriteRecord(1);
  t.BlankRecord();
  t.AppendRecord();
  t.Flush();
  std::vector<std::string> expected = {"4:1", "6:1", "1:1", "5:1", "7:1",
                                       "0:0", "5:0", "7:0", "8:2"};
  EXPECT_EQ(t.events, expected);
  EXPECT_EQ(t.RecordState(), 1);
  EXPECT_FALSE(t.RecordChanged());
}

TEST(DbfEvents, RecordLockWithAnIndexUsesTheAnchor) {
  qvx_test::TempDir dir;
  qvx_test::DbfFixture f(0x03, {{"C", 'C', 4}});
  f.AddRecord({"a"}).AddRecord({"b"}).AddRecord({"c"});
  std::string path = dir.File("L.DBF");
  f.Write(path);
  EventTable t(path, false, true);
  t.ReadRecord(3);
  ASSERT_TRUE(t.LockRecord());
  EXPECT_EQ(t.LockOffset(), 0x7FFFFFFEu - 3);
  t.Unlock();
}

TEST(DbfRename, MovesTheFileAndKeepsItOpen) {
  qvx_test::TempDir dir;
  qvx_test::DbfFixture f(0x03, {{"C", 'C', 4}});
  f.AddRecord({"a"});
  std::string path = dir.File("OLD.DBF");
  f.Write(path);
  GSO_dBaseFld t(path, false, true);
  EXPECT_TRUE(t.Rename(dir.File("NEW.DBF")));
  EXPECT_FALSE(qvx_test::RunCommand("test -e '" + path + "'", nullptr) == 0);
  EXPECT_NE(t.FileName().find("NEW.DBF"), std::string::npos);
  t.ReadRecord(1);
  EXPECT_EQ(t.GetStr(1), "a   ");
  t.PutStr(1, "z");
  t.WriteRecord(1);
  GSO_dBaseFld again(dir.File("NEW.DBF"), false, false);
  again.ReadRecord(1);
  EXPECT_EQ(again.GetStr(1), "z   ");
}

}  // namespace

namespace {
using namespace devazoz;

// Tables over 1 MiB opened exclusively are read through a view of the file: what
// the table writes, appends beyond the view, and a truncation must all read true.
TEST(DbfFileView, ReadsStayTrueThroughWritesGrowthAndTruncation) {
  qvx_test::TempDir dir;
  qvx_test::DbfFixture f(0x03, {{"N", 'C', 1000}});
  for (int i = 1; i <= 1500; ++i) f.AddRecord({"rec" + std::to_string(i)});
  std::string path = dir.File("BIG.DBF");
  f.Write(path);
  GSO_dBaseFld t(path, false, true);
  auto name = [&] { return TrimRightZ(t.GetStr(1)); };
  t.ReadRecord(1500);
  EXPECT_EQ(name(), "rec1500");
  t.ReadRecord(700);
  t.PutStr(1, "changed");
  t.WriteRecord(700);
  t.ReadRecord(1);
  t.ReadRecord(700);
  EXPECT_EQ(name(), "changed");
  t.BlankRecord();
  t.PutStr(1, "grown");
  t.AppendRecord();
  t.ReadRecord(1);
  t.ReadRecord(1501);
  EXPECT_EQ(name(), "grown");
  t.Truncate(t.HeaderLength() + 10 * int64_t(t.RecordLength()));
  t.InvalidateReadAhead();
  t.ReadRecord(10);
  EXPECT_EQ(name(), "rec10");
}

}  // namespace
