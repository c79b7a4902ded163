#include "catalog/catalog_files.h"

#include <functional>
#include <utility>

#include "catalog/table_create.h"
#include "engine/foundation/gs6_disk.h"
#include "engine/foundation/gs6_os.h"
#include "engine/index/gs6_cdx.h"
#include "engine/table/gs6_dbfld.h"

namespace catalog {

const char* const kTitleTable = "QVXCAT.DBF";
const char* const kCategoryTable = "CATEGORY.DBF";
const char* const kCompanyTable = "DEVDIST.DBF";

namespace {

bool IsFolder(const std::string& dir) {
  namespace os = devazoz::os;
  return os::KindOf(devazoz::GSO_DiskFile::MakeAbsolute(dir)) == os::PathKind::kFolder;
}

// The table's compound index of the same base name, one tag per field, each keyed
// on the bare field.
void MakeIndex(const std::string& table_path, const std::vector<std::string>& fields) {
  devazoz::GSO_dBaseFld table(table_path, false, true);
  std::string index_path = table_path.substr(0, table_path.size() - 4) + ".CDX";
  devazoz::GSobjCDXFile cdx(&table, index_path, true, true, true, false);
  for (const std::string& f : fields)
    if (!cdx.AddTag(f, f, false, true, ""))
      throw ECatalogError("Cannot make the tag " + f + " in " + index_path);
}

}  // namespace

bool FileExists(const std::string& path) {
  namespace os = devazoz::os;
  return os::Exists(os::ResolvePath(devazoz::GSO_DiskFile::MakeAbsolute(path)));
}

const std::vector<std::string>& CatalogFileNames() {
  static const std::vector<std::string> names = {"QVXCAT.DBF", "CATEGORY.DBF", "DEVDIST.DBF",
                                                 "QVXCAT.FPT", "QVXCAT.CDX",   "CATEGORY.CDX",
                                                 "DEVDIST.CDX"};
  return names;
}

std::string InFolder(const std::string& dir, const std::string& name) {
  if (dir.empty()) return name;
  return dir.back() == '/' ? dir + name : dir + "/" + name;
}

std::vector<std::string> TablesIn(const std::string& dir) {
  std::vector<std::string> found;
  for (const char* table : {kTitleTable, kCategoryTable, kCompanyTable})
    if (FileExists(InFolder(dir, table))) found.push_back(table);
  return found;
}

bool HoldsCatalog(const std::string& dir) { return TablesIn(dir).size() == 3; }
bool HoldsNoCatalog(const std::string& dir) { return TablesIn(dir).empty(); }

std::string WhyNoCatalog(const std::string& dir) {
  std::string where = devazoz::GSO_DiskFile::MakeAbsolute(dir);
  if (!IsFolder(dir)) return "The folder " + where + " does not exist.";
  std::vector<std::string> found = TablesIn(dir);
  if (found.size() == 3) return std::string();
  if (found.empty())
    return "There is no catalog in the folder " + where + ": it holds none of " +
           std::string(kTitleTable) + ", " + kCategoryTable + " and " + kCompanyTable + ".";
  std::string missing;
  int count = 0;
  for (const char* table : {kTitleTable, kCategoryTable, kCompanyTable}) {
    bool there = false;
    for (const std::string& f : found) there = there || f == table;
    if (there) continue;
    if (count++ > 0) missing += " and ";
    missing += table;
  }
  return "The catalog in the folder " + where + " is not complete: " + missing +
         (count > 1 ? " are" : " is") + " missing.";
}

void CheckFolderTakesCatalog(const std::string& dir) {
  std::string where = devazoz::GSO_DiskFile::MakeAbsolute(dir);
  if (!IsFolder(dir)) throw ECatalogError("The folder " + where + " does not exist.");
  for (const std::string& name : CatalogFileNames())
    if (FileExists(InFolder(dir, name)))
      throw ECatalogError("The folder " + where + " already holds " + name +
                          ": a new catalog is made only in a folder without catalog files.");
}

void CreateCatalogTables(const std::string& dir) {
  CreateEmptyTable(InFolder(dir, kTitleTable), 0xF5,
                   {{"TITLE", 'C', 40},
                    {"CATEGORY", 'C', 30},
                    {"DEVELOPER", 'C', 30},
                    {"DISTRIBUTR", 'C', 30},
                    {"PLAYERS", 'C', 5},
                    {"MEMORYBLKS", 'C', 5},
                    {"ANALOG", 'L', 1},
                    {"DUALSHOCK", 'L', 1},
                    {"NOTES", 'M', 10}});
  CreateEmptyFpt(InFolder(dir, "QVXCAT.FPT"), 64);
  CreateEmptyTable(InFolder(dir, kCategoryTable), 0x03, {{"CATEGORY", 'C', 30}});
  CreateEmptyTable(InFolder(dir, kCompanyTable), 0x03, {{"DEVDIST", 'C', 30}});
}

const std::vector<std::string>& CatalogIndexTags(const std::string& table_name) {
  static const std::vector<std::string> none;
  static const std::vector<std::pair<std::string, std::vector<std::string>>> tags = {
      {kTitleTable, {"TITLE", "CATEGORY"}},
      {kCategoryTable, {"CATEGORY"}},
      {kCompanyTable, {"DEVDIST"}},
  };
  for (const auto& [table, fields] : tags)
    if (table == table_name) return fields;
  return none;
}

void CreateCatalogIndexes(const std::string& dir) {
  for (const char* table : {kTitleTable, kCategoryTable, kCompanyTable})
    MakeIndex(InFolder(dir, table), CatalogIndexTags(table));
}

void CreateCatalogIndex(const std::string& dir, const std::string& table_name) {
  const std::vector<std::string>& tags = CatalogIndexTags(table_name);
  if (tags.empty()) throw ECatalogError(table_name + " is not a table of the catalog.");
  const std::string table = InFolder(dir, table_name);
  const std::string index = table.substr(0, table.size() - 4) + ".CDX";
  if (FileExists(index)) throw ECatalogError("The index file " + index + " is there already.");
  try {
    MakeIndex(table, tags);
  } catch (...) {
    // A file cut short by the failure would be opened as the index next time.
    int32_t error = 0;
    devazoz::os::RemoveFile(devazoz::GSO_DiskFile::MakeAbsolute(index), error);
    throw;
  }
}

void CreateCatalog(const std::string& dir) {
  CreateCatalogWith(dir, [&dir] {
    CreateCatalogTables(dir);
    CreateCatalogIndexes(dir);
  });
}

void CreateCatalogWith(const std::string& dir, const std::function<void()>& make) {
  CheckFolderTakesCatalog(dir);
  try {
    make();
  } catch (...) {
    // Nothing of the catalog was there before: whatever is there now is ours.
    for (const std::string& name : CatalogFileNames()) {
      std::string path =
          devazoz::os::ResolvePath(devazoz::GSO_DiskFile::MakeAbsolute(InFolder(dir, name)));
      int32_t error = 0;
      if (devazoz::os::Exists(path)) devazoz::os::RemoveFile(path, error);
    }
    throw;
  }
}

}  // namespace catalog
