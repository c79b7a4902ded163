#include "catalog/catalog_tables.h"

#include <exception>

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

BulkWork::BulkWork(std::vector<devazoz::TDevazozDataSet*> tables) {
  for (devazoz::TDevazozDataSet* table : tables) {
    if (table == nullptr || !table->Active()) continue;
    table->BeginBulk();
    tables_.push_back(table);
  }
}

BulkWork::~BulkWork() {
  for (devazoz::TDevazozDataSet* table : tables_) {
    try {
      table->EndBulk();
    } catch (const std::exception&) {
    }
  }
}

void BulkWork::End() {
  std::vector<devazoz::TDevazozDataSet*> tables;
  tables.swap(tables_);
  std::exception_ptr failure;
  for (devazoz::TDevazozDataSet* table : tables) {
    try {
      table->EndBulk();
      table->FlushBuffers();
    } catch (...) {
      if (!failure) failure = std::current_exception();
    }
  }
  if (failure) std::rethrow_exception(failure);
}

Progress BulkWork::SyncingAsItGoes(Progress progress, int64_t sync_units) {
  return [this, progress, sync_units, synced = int64_t(0)](int64_t done, int64_t total) mutable {
    if (done - synced >= sync_units) {
      synced = done;
      for (devazoz::TDevazozDataSet* table : tables_) table->FlushBuffers();
    }
    return progress ? progress(done, total) : true;
  };
}

void EndImportWork(BulkWork& work, ImportSummary& summary) {
  try {
    work.End();
  } catch (const std::exception& e) {
    summary.indexes_failed = e.what();
  }
}

CatalogTables::CatalogTables(const std::string& dir) {
  OpenTableForWork(titles, InFolder(dir, kTitleTable));
  if (FileExists(InFolder(dir, kCategoryTable)))
    OpenTableForWork(categories, InFolder(dir, kCategoryTable));
  if (FileExists(InFolder(dir, kCompanyTable)))
    OpenTableForWork(companies, InFolder(dir, kCompanyTable));
}

}  // namespace catalog
