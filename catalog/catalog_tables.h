// Tables opened for an import or its undo, outside the program's windows: each as
// the program opens it (exclusive, text translated between the table's OEM set and
// the interface's ANSI set), with its own CDX (same base name) kept current and any
// other index files named; natural order, where appends and walks cost least.
#ifndef CATALOG_CATALOG_TABLES_H_
#define CATALOG_CATALOG_TABLES_H_

#include <string>
#include <vector>

#include "engine/dataset/Zavaz6UZ.h"

namespace catalog {

// Opens the table at path. Raises the dataset's error when it cannot be opened.
void OpenTableForWork(devazoz::TDevazozDataSet& table, const std::string& path,
                      std::vector<std::string> indexes = {});

// The three tables of the catalog in dir. The lookup tables are opened when they
// exist (a title table alone still imports); the title table must.
class CatalogTables {
 public:
  explicit CatalogTables(const std::string& dir);
  CatalogTables(const CatalogTables&) = delete;
  CatalogTables& operator=(const CatalogTables&) = delete;

  devazoz::TDevazozDataSet titles;
  devazoz::TDevazozDataSet categories;
  devazoz::TDevazozDataSet companies;
  // The lookup tables, or null where the catalog lacks one.
  devazoz::TDevazozDataSet* Categories() { return categories.Active() ? &categories : nullptr; }
  devazoz::TDevazozDataSet* Companies() { return companies.Active() ? &companies : nullptr; }
};

}  // namespace catalog

#endif  // CATALOG_CATALOG_TABLES_H_
