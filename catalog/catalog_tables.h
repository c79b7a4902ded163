// Tables opened for an import or its undo, outside the program's windows: each as
// the program opens it (exclusive, text translated between the table's OEM set and
// the interface's ANSI set), with its own CDX (same base name) kept current and any
// other index files named; natural order, where appends and walks cost least.
#ifndef CATALOG_CATALOG_TABLES_H_
#define CATALOG_CATALOG_TABLES_H_

#include <string>
#include <vector>

#include "catalog/progress.h"
#include "catalog/table_import.h"
#include "engine/dataset/Zavaz6UZ.h"

namespace catalog {

// Opens the table at path. Raises the dataset's error when it cannot be opened.
void OpenTableForWork(devazoz::TDevazozDataSet& table, const std::string& path,
                      std::vector<std::string> indexes = {});

// Long work on open tables (an import, its undo), done as one command: index writes
// are held and coalesced meanwhile (each post would otherwise write its changed
// index blocks itself), and End gives them to the files and forces everything to
// the disk. A kill before End leaves the tables' change markers, and the next open
// rebuilds the indexes from the tables, which hold every record posted. Tables
// that are closed or null are passed over.
class BulkWork {
 public:
  explicit BulkWork(std::vector<devazoz::TDevazozDataSet*> tables);
  // Without End (an exception on its way), ends the scopes as well as it can; what
  // fails to be written keeps its marker for the next open.
  ~BulkWork();
  BulkWork(const BulkWork&) = delete;
  BulkWork& operator=(const BulkWork&) = delete;
  // Writes what was held and syncs the tables, their memos and indexes. Raises what
  // writing raises (a full disk), after trying every table.
  void End();
  // The work's progress report, which also syncs the tables each time another
  // sync_units units are done: the sync at End is one stretch without reports (no
  // repaint, no Cancel), and it would otherwise write out the whole import at once
  // (a fifth of a second for 100,000 titles).
  Progress SyncingAsItGoes(Progress progress, int64_t sync_units = 16384);

 private:
  std::vector<devazoz::TDevazozDataSet*> tables_;
};

// Ends the bulk work of an import: what could not be written (a full disk) goes
// into the summary instead of being raised, since the rows are in the table by
// then and the summary with its undo is still to be shown.
void EndImportWork(BulkWork& work, ImportSummary& summary);

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
