// A new catalog has exactly the structures and tags the program opens, read back by
// independent readers; a folder with catalog files is refused, and a failed making
// leaves nothing behind.
#include "catalog/catalog_files.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "catalog/sample_catalog.h"
#include "engine/foundation/gs6_os.h"
#include "tests/support/dbf_fixture.h"

namespace {

using qvx_test::RunCommand;
using qvx_test::TempDir;

std::string Quote(const std::string& s) { return "'" + s + "'"; }

// Runs a Python script with Debian's interpreter (where python3-dbf and
// python3-dbfread are installed); false when the module is missing.
bool Python(const std::string& module, const std::string& script, std::string* out) {
  std::string err;
  if (RunCommand("/usr/bin/python3 -c 'import " + module + "'", out, &err) != 0) return false;
  TempDir dir;
  qvx_test::WriteFileBytes(dir.File("script.py"),
                           std::vector<uint8_t>(script.begin(), script.end()));
  EXPECT_EQ(RunCommand("/usr/bin/python3 " + Quote(dir.File("script.py")), out, &err), 0) << err;
  return true;
}

TEST(NewCatalog, HasTheProgramsStructuresAsIndependentReadersSeeThem) {
  TempDir dir;
  catalog::CreateCatalog(dir.path());
  for (const std::string& name : catalog::CatalogFileNames())
    EXPECT_TRUE(devazoz::os::Exists(dir.File(name))) << name;
  std::string out;
  const std::string script =
      "import dbfread\n"
      "for name in ('QVXCAT', 'CATEGORY', 'DEVDIST'):\n"
      "    t = dbfread.DBF('" +
      dir.path() +
      "/' + name + '.DBF')\n"
      "    print(name, hex(t.header.dbversion), len(t.records),\n"
      "          ' '.join('%s:%s%d.%d' % (f.name, f.type, f.length, f.decimal_count)\n"
      "                   for f in t.fields))\n";
  if (!Python("dbfread", script, &out)) GTEST_SKIP() << "python3-dbfread is not installed";
  EXPECT_EQ(out,
            "QVXCAT 0xf5 0 TITLE:C40.0 CATEGORY:C30.0 DEVELOPER:C30.0 DISTRIBUTR:C30.0 "
            "PLAYERS:C5.0 MEMORYBLKS:C5.0 ANALOG:L1.0 DUALSHOCK:L1.0 NOTES:M10.0\n"
            "CATEGORY 0x3 0 CATEGORY:C30.0\n"
            "DEVDIST 0x3 0 DEVDIST:C30.0\n");
}

TEST(NewCatalog, TablesOpenInPythonDbfAndIndexesCheckClean) {
  TempDir dir;
  catalog::CreateCatalog(dir.path());
  std::string out, err;
  const std::string script =
      "import dbf\n"
      "t = dbf.Table('" +
      dir.File("QVXCAT.DBF") +
      "')\n"
      "t.open(dbf.READ_WRITE)\n"
      "t.append(('Crash Bandicoot', 'Platform', 'Naughty Dog', 'Sony', '1', '1', True, False,\n"
      "          'Written by python-dbf'))\n"
      "t.close()\n"
      "print(dbf.Table('" +
      dir.File("QVXCAT.DBF") + "').structure())\n";
  if (Python("dbf", script, &out)) {
    EXPECT_NE(out.find("title C(40)"), std::string::npos) << out;
    EXPECT_NE(out.find("notes M"), std::string::npos) << out;
    // A record another program added: the engine reads it, memo included.
    ASSERT_EQ(
        RunCommand(std::string(QVX_DEVAZOZ_TOOL) + " dump --memo " + Quote(dir.File("QVXCAT.DBF")),
                   &out, &err),
        0)
        << err;
    EXPECT_NE(out.find("Crash Bandicoot\tPlatform\tNaughty Dog\tSony\t1\t1\tT\tF\tWritten by "
                       "python-dbf"),
              std::string::npos)
        << out;
    ASSERT_EQ(RunCommand(std::string(QVX_DEVAZOZ_TOOL) + " reindex " +
                             Quote(dir.File("QVXCAT.DBF")) + " " + Quote(dir.File("QVXCAT.CDX")),
                         &out, &err),
              0)
        << err;
  }
  for (const char* table : {"QVXCAT", "CATEGORY", "DEVDIST"}) {
    std::string base = dir.File(table);
    EXPECT_EQ(RunCommand(std::string(QVX_DEVAZOZ_TOOL) + " check " + Quote(base + ".DBF") + " " +
                             Quote(base + ".CDX"),
                         &out, &err),
              0)
        << out << err;
    EXPECT_EQ(out, "ok\n");
    ASSERT_EQ(RunCommand(std::string(QVX_DEVAZOZ_TOOL) + " tags " + Quote(base + ".DBF") + " " +
                             Quote(base + ".CDX"),
                         &out, &err),
              0)
        << err;
    std::string tag = std::string(table) == "QVXCAT" ? "CATEGORY" : table;
    EXPECT_NE(out.find(tag), std::string::npos) << out;
  }
  ASSERT_EQ(RunCommand(std::string(QVX_DEVAZOZ_TOOL) + " tags " + Quote(dir.File("QVXCAT.DBF")) +
                           " " + Quote(dir.File("QVXCAT.CDX")),
                       &out, &err),
            0);
  EXPECT_NE(out.find("TITLE"), std::string::npos) << out;
}

TEST(NewCatalog, RefusesAFolderHoldingAnyCatalogFile) {
  for (const std::string& name : catalog::CatalogFileNames()) {
    TempDir dir;
    // Found whatever the case of its name, as the engine opens it.
    std::string lower = name;
    for (char& c : lower) c = char(std::tolower(static_cast<unsigned char>(c)));
    qvx_test::WriteFileBytes(dir.File(lower), {'x'});
    try {
      catalog::CreateCatalog(dir.path());
      ADD_FAILURE() << name << " was overwritten";
    } catch (const catalog::ECatalogError& e) {
      EXPECT_NE(std::string(e.what()).find("already holds " + name), std::string::npos) << e.what();
    }
    EXPECT_EQ(qvx_test::ReadFileText(dir.File(lower)), "x");
  }
  TempDir dir;
  EXPECT_THROW(catalog::CreateCatalog(dir.File("missing")), catalog::ECatalogError);
}

TEST(NewCatalog, AFullDiskLeavesNoFileBehind) {
  for (int64_t room : {0, 700, 3000, 9000}) {
    TempDir dir;
    devazoz::os::SetSpaceLimit(room);
    EXPECT_ANY_THROW(catalog::CreateCatalog(dir.path())) << room;
    devazoz::os::SetSpaceLimit(-1);
    EXPECT_TRUE(catalog::HoldsNoCatalog(dir.path())) << room;
    for (const std::string& name : catalog::CatalogFileNames())
      EXPECT_FALSE(devazoz::os::Exists(dir.File(name))) << room << " " << name;
  }
}

TEST(CatalogIndex, AMissingIndexIsMadeAgainOnlyWhereItIsMissingAndNeverLeftHalfMade) {
  TempDir dir;
  catalog::CreateSampleCatalog(dir.path());
  EXPECT_THROW(catalog::CreateCatalogIndex(dir.path(), "QVXCAT.DBF"), catalog::ECatalogError);
  EXPECT_THROW(catalog::CreateCatalogIndex(dir.path(), "OTHER.DBF"), catalog::ECatalogError);
  const std::vector<uint8_t> whole = qvx_test::ReadFileBytes(dir.File("QVXCAT.CDX"));
  ASSERT_EQ(std::remove(dir.File("QVXCAT.CDX").c_str()), 0);
  // A disk too full for it: no index file is left to be taken for the index.
  devazoz::os::SetSpaceLimit(int64_t(whole.size() / 2));
  EXPECT_ANY_THROW(catalog::CreateCatalogIndex(dir.path(), "QVXCAT.DBF"));
  devazoz::os::SetSpaceLimit(-1);
  EXPECT_FALSE(devazoz::os::Exists(dir.File("QVXCAT.CDX")));
  catalog::CreateCatalogIndex(dir.path(), "QVXCAT.DBF");
  std::string out;
  EXPECT_EQ(qvx_test::RunCommand(std::string(QVX_DEVAZOZ_TOOL) + " check '" +
                                     dir.File("QVXCAT.DBF") + "' '" + dir.File("QVXCAT.CDX") + "'",
                                 &out),
            0)
      << out;
  EXPECT_EQ(catalog::CatalogIndexTags("QVXCAT.DBF"),
            (std::vector<std::string>{"TITLE", "CATEGORY"}));
}

TEST(CatalogFolders, NoneSomeOrAllOfTheTables) {
  TempDir empty, full, partial;
  EXPECT_TRUE(catalog::HoldsNoCatalog(empty.path()));
  EXPECT_NE(catalog::WhyNoCatalog(empty.path()).find("There is no catalog in the folder"),
            std::string::npos);
  catalog::CreateSampleCatalog(full.path());
  EXPECT_TRUE(catalog::HoldsCatalog(full.path()));
  EXPECT_EQ(catalog::WhyNoCatalog(full.path()), "");
  EXPECT_THROW(catalog::CreateSampleCatalog(full.path()), catalog::ECatalogError);
  qvx_test::WriteFileBytes(partial.File("QVXCAT.DBF"),
                           qvx_test::ReadFileBytes(full.File("QVXCAT.DBF")));
  EXPECT_FALSE(catalog::HoldsNoCatalog(partial.path()));
  EXPECT_FALSE(catalog::HoldsCatalog(partial.path()));
  EXPECT_NE(catalog::WhyNoCatalog(partial.path())
                .find("is not complete: CATEGORY.DBF and DEVDIST.DBF are missing"),
            std::string::npos)
      << catalog::WhyNoCatalog(partial.path());
  EXPECT_NE(catalog::WhyNoCatalog(empty.File("gone")).find("does not exist"), std::string::npos);
}

}  // namespace
