// CSV and JSON as other programs read them: RFC 4180 quoting, JSON escapes, and the
// export of a dataset in its order and filter, back on its record afterwards.
#include "catalog/record_writer.h"

#include <gtest/gtest.h>

#include "catalog/table_export.h"
#include "catalog/text_sink.h"
#include "engine/dataset/Zavaz6UZ.h"
#include "tests/support/dataset_fixture.h"
#include "tests/support/dbf_fixture.h"

namespace {

using catalog::ExportValue;
using Kind = ExportValue::Kind;

ExportValue Text(const std::string& t) { return {Kind::kText, t, false}; }

TEST(CsvWriting, QuotesOnlyWhatNeedsIt) {
  catalog::StringSink sink;
  catalog::CsvWriter csv(sink, false);
  csv.Begin({"TITLE", "NOTES", "ANALOG", "PLAYERS", "PRICE"});
  csv.Record({Text("Plain"),
              Text("a, b"),
              {Kind::kLogical, "", true},
              {Kind::kNull, "", false},
              {Kind::kNumber, "39.99", false}});
  csv.Record({Text("12\" Remix"),
              Text("line 1\r\nline 2"),
              {Kind::kLogical, "", false},
              Text(" padded "),
              Text("")});
  csv.End();
  EXPECT_EQ(sink.Text(),
            "TITLE,NOTES,ANALOG,PLAYERS,PRICE\r\n"
            "Plain,\"a, b\",true,,39.99\r\n"
            "\"12\"\" Remix\",\"line 1\r\nline 2\",false,\" padded \",\r\n");
  catalog::StringSink bom_sink;
  catalog::CsvWriter bom(bom_sink, true);
  bom.Begin({"TITLE"});
  EXPECT_EQ(bom_sink.Text(), "\xEF\xBB\xBFTITLE\r\n");
}

TEST(JsonWriting, AnArrayOfObjectsWithEscapes) {
  catalog::StringSink sink;
  catalog::JsonWriter json(sink);
  json.Begin({"TITLE", "ANALOG", "COUNT", "NOTES"});
  json.End();
  EXPECT_EQ(sink.Text(), "[]\n");
  catalog::StringSink two;
  catalog::JsonWriter writer(two);
  writer.Begin({"TITLE", "ANALOG", "COUNT", "NOTES"});
  writer.Record({Text("Pok\xC3\xA9mon \"Red\""),
                 {Kind::kLogical, "", true},
                 {Kind::kNumber, "150", false},
                 Text("a\\b\r\n\t\x01")});
  writer.Record({Text(""), {Kind::kNull, "", false}, {Kind::kNull, "", false}, Text("")});
  writer.End();
  EXPECT_EQ(two.Text(),
            "[\n"
            "  {\"TITLE\": \"Pok\xC3\xA9mon \\\"Red\\\"\", \"ANALOG\": true, \"COUNT\": 150, "
            "\"NOTES\": \"a\\\\b\\r\\n\\t\\u0001\"},\n"
            "  {\"TITLE\": \"\", \"ANALOG\": null, \"COUNT\": null, \"NOTES\": \"\"}\n"
            "]\n");
}

TEST(DataSetExport, InTheCurrentOrderAndFilterAndBackOnTheRecord) {
  qvx_test::TempDir dir;
  devazoz::TDevazozDataSet data;
  data.SetTableName(qvx_test::WriteCatalog(dir.path()));
  data.SetIndexFiles({"CATALOG.CDX"});
  data.SetIndexName("TITLE");
  data.SetExclusive(true);
  data.Open();
  ASSERT_TRUE(data.Locate("TITLE", platform::TVariant(std::string("Spyro")), {}));
  data.SetFilter("CATEGORY = \"Racing\" .OR. CATEGORY = \"Fighting\"");
  data.SetFiltered(true);
  ASSERT_TRUE(data.Locate("TITLE", platform::TVariant(std::string("Tekken 3")), {}));
  catalog::StringSink sink;
  auto writer = catalog::MakeRecordWriter(catalog::ExportFormat::kCsv, sink);
  int64_t calls = 0;
  auto result = catalog::ExportDataSet(data, *writer, [&](int64_t, int64_t) {
    ++calls;
    return true;
  });
  EXPECT_EQ(result.records, 3);
  EXPECT_FALSE(result.cancelled);
  EXPECT_EQ(data.FieldByName("TITLE")->AsString(), "Tekken 3");
  // Deleted records (Wipeout, Colin McRae) are left out; TITLE order; dates ISO;
  // blank numbers and dates empty.
  const std::string& text = sink.Text();
  EXPECT_EQ(text.substr(0, text.find("\r\n")),
            "TITLE,CATEGORY,PLAYERS,COUNT,PRICE,ANALOG,RELEASED,NOTES");
  size_t bushido = text.find("Bushido Blade,Fighting,2,7,44.5,false,1998-03-01,\r\n");
  size_t gran = text.find("Gran Turismo,Racing,2,150,39.99,true,1998-05-12,Fast cars\r\n");
  size_t tekken = text.find("Tekken 3,Fighting,2,300,34,false,,Iron fist\r\n");
  EXPECT_NE(bushido, std::string::npos) << text;
  EXPECT_LT(bushido, gran);
  EXPECT_LT(gran, tekken) << text;
  EXPECT_EQ(text.find("Wipeout"), std::string::npos);
  EXPECT_EQ(calls, 0);  // fewer records than one progress step

  // Cancelled part-way: the caller drops what was written; the dataset is unharmed.
  data.SetFiltered(false);
  catalog::StringSink part;
  auto json = catalog::MakeRecordWriter(catalog::ExportFormat::kJson, part);
  data.First();
  auto none = catalog::ExportDataSet(data, *json, [](int64_t, int64_t) { return false; });
  EXPECT_FALSE(none.cancelled);  // under one step: finished before the first report
  EXPECT_EQ(none.records, 7);
}

}  // namespace
