// A catalog's files in one folder, and the making of a new, empty catalog with
// exactly the structures and tags the program opens:
//
//   QVXCAT.DBF    FoxPro table (0xF5): TITLE C40, CATEGORY C30, DEVELOPER C30,
//                 DISTRIBUTR C30, PLAYERS C5, MEMORYBLKS C5, ANALOG L1,
//                 DUALSHOCK L1, NOTES M10
//   QVXCAT.FPT    its memo file, blocks of 64 bytes
//   QVXCAT.CDX    tags TITLE (key TITLE) and CATEGORY (key CATEGORY)
//   CATEGORY.DBF  dBASE III table (0x03): CATEGORY C30;  CATEGORY.CDX: tag CATEGORY
//   DEVDIST.DBF   dBASE III table (0x03): DEVDIST C30;   DEVDIST.CDX: tag DEVDIST
//
// Every tag is keyed on its bare field without a FOR condition, so a case-sensitive
// find uses it. File names are looked up as the engine opens them: an existing file
// is found whatever the case of its name.
#ifndef CATALOG_CATALOG_FILES_H_
#define CATALOG_CATALOG_FILES_H_

#include <functional>
#include <string>
#include <vector>

#include "platform/services/exception.h"

namespace catalog {

// A folder that cannot take a new catalog, or holds no catalog to open.
class ECatalogError : public platform::Exception {
 public:
  using Exception::Exception;
};

extern const char* const kTitleTable;     // "QVXCAT.DBF"
extern const char* const kCategoryTable;  // "CATEGORY.DBF"
extern const char* const kCompanyTable;   // "DEVDIST.DBF"

// The seven files of a catalog, tables first.
const std::vector<std::string>& CatalogFileNames();

// Whether the file is there, found whatever the case of its name as the engine
// opens it.
bool FileExists(const std::string& path);

// The name joined to the folder ("dir/NAME").
std::string InFolder(const std::string& dir, const std::string& name);

// Which of the three tables the folder holds, in the order above.
std::vector<std::string> TablesIn(const std::string& dir);
// The three tables are there (their indexes and memo file are the open's concern).
bool HoldsCatalog(const std::string& dir);
// None of the three tables is there: a folder for the start window.
bool HoldsNoCatalog(const std::string& dir);
// Why Open Catalog cannot use the folder ("There is no catalog in the folder ...",
// or which tables it lacks); empty when the three tables are there.
std::string WhyNoCatalog(const std::string& dir);

// Makes an empty catalog in an existing folder. Raises ECatalogError when the folder
// is missing or already holds any of the seven files, and the engine's error when a
// file cannot be written; on failure the files made so far are removed again.
void CreateCatalog(const std::string& dir);

// Checks the folder as CreateCatalog does, then runs make, which writes the
// catalog's files; when make fails, the files it made are removed again.
void CreateCatalogWith(const std::string& dir, const std::function<void()>& make);

// The steps of CreateCatalog for makers that fill the tables first and index them
// afterwards (an index built from full tables is far faster than keys added one by
// one): the tables and memo file, then the three index files from what the tables
// hold. REQUIRES for the second: the tables exist and the index files do not.
void CreateCatalogTables(const std::string& dir);
void CreateCatalogIndexes(const std::string& dir);

// The tags of the index file of one of the catalog's tables ("QVXCAT.DBF": TITLE and
// CATEGORY), each keyed on the field of its name; empty for another name.
const std::vector<std::string>& CatalogIndexTags(const std::string& table_name);
// Makes the missing index file of one of the catalog's tables (the table's name with
// .CDX) from what the table holds, with the tags above. Raises ECatalogError for a
// name that is not one of the tables or an index file that is there; a failure
// while writing leaves no index file.
void CreateCatalogIndex(const std::string& dir, const std::string& table_name);

// Refuses, with ECatalogError, a folder that is missing or holds any catalog file.
void CheckFolderTakesCatalog(const std::string& dir);

}  // namespace catalog

#endif  // CATALOG_CATALOG_FILES_H_
