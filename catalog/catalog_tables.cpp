#include "catalog/catalog_tables.h"

#include "catalog/catalog_files.h"

namespace catalog {
void OpenTableForWork(devazoz::TDevazozDataSet& table, const std::string& path,
                      std::vector<std::string> indexes) {
  size_t dot = path.rfind('.');
  size_t slash = path.rfind('/');
  std::string base = dot == std::string::npos || (slash != std::string::npos && dot < slash)
                         ? path
                         : path.substr(0, dot);
  if (FileExists(base + ".CDX")) indexes.insert(indexes.begin(), base + ".CDX");
  table.SetTableName(path);
  table.SetExclusive(true);
  table.SetTranslateASCII(true);
  table.SetIndexFiles(indexes);
  table.Open();
}

CatalogTables::CatalogTables(const std::string& dir) {
  OpenTableForWork(titles, InFolder(dir, kTitleTable));
  if (FileExists(InFolder(dir, kCategoryTable)))
    OpenTableForWork(categories, InFolder(dir, kCategoryTable));
  if (FileExists(InFolder(dir, kCompanyTable)))
    OpenTableForWork(companies, InFolder(dir, kCompanyTable));
}

}  // namespace catalog
