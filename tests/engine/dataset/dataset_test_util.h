// Shared set-up of the adapter tests: a private copy of the catalog fixture and
// datasets opened on it.
#ifndef TESTS_ENGINE_DATASET_DATASET_TEST_UTIL_H_
#define TESTS_ENGINE_DATASET_DATASET_TEST_UTIL_H_

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/dataset/Zavaz6UZ.h"
#include "tests/support/dataset_fixture.h"
#include "tests/support/dbf_fixture.h"

namespace qvx_test {

// The adapter with its handler in reach, for checks of what the table itself holds.
class TInspectedDataSet : public devazoz::TDevazozDataSet {
 public:
  using devazoz::TDevazozDataSet::Handler;
};

class CatalogTest : public ::testing::Test {
 protected:
  void SetUp() override { WriteCatalog(dir.path()); }

  // Closed, set up on CATALOG.DBF with its CDX and the given tag.
  std::unique_ptr<TInspectedDataSet> Make(const std::string& tag = "TITLE") {
    auto ds = std::make_unique<TInspectedDataSet>();
    ds->SetDatabaseName(dir.path());
    ds->SetTableName("CATALOG.DBF");
    ds->SetIndexFiles({"CATALOG.CDX"});
    ds->SetIndexName(tag);
    ds->SetExclusive(true);
    return ds;
  }
  std::unique_ptr<TInspectedDataSet> Open(const std::string& tag = "TITLE") {
    auto ds = Make(tag);
    ds->Open();
    return ds;
  }
  static std::vector<std::string> Titles(platform::TDataSet& ds) {
    std::vector<std::string> out;
    for (ds.First(); !ds.Eof(); ds.Next()) out.push_back(ds.FieldByName("TITLE")->AsString());
    return out;
  }
  static std::string Title(platform::TDataSet& ds) { return ds.FieldByName("TITLE")->AsString(); }

  TempDir dir;
};

using Strings = std::vector<std::string>;

}  // namespace qvx_test

#endif  // TESTS_ENGINE_DATASET_DATASET_TEST_UTIL_H_
