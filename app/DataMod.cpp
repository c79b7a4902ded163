#include "app/DataMod.h"

#include "platform/services/apphandler.h"

TMastData* MastData = nullptr;

namespace {

void Configure(TDevazozDataSet& table, const char* table_name, const char* index_file,
               const char* index_name) {
  table.SetTableName(table_name);
  // Design-time settings: the files are checked when the table opens, where a
  // missing one can be offered to be made again.
  table.LoadIndexFiles({index_file});
  table.SetIndexName(index_name);
  table.SetExclusive(true);
  table.SetTranslateASCII(true);
  table.SetUseDeleted(false);
  table.SetLockProtocol(devazoz::TgsLokProtocol::Default);
  table.SetUserID(0);
}

platform::TStringField* AddString(TDevazozDataSet& table, const char* name, int size,
                                  const char* label, int display_width = 0) {
  auto* field = table.AddField<platform::TStringField>(name, size);
  field->SetDisplayLabel(label);
  if (display_width > 0) field->SetDisplayWidth(display_width);
  return field;
}

// The tags the three tables open in.
const char kTitleTag[] = "TITLE";
const char kCategoryTag[] = "CATEGORY";
const char kDevdistTag[] = "DEVDIST";

}  // namespace

TMastData::TMastData() {
  Configure(QvxcatTable, "QVXCAT.DBF", "QVXCAT.CDX", kTitleTag);
  Configure(CategoryTable, "CATEGORY.DBF", "CATEGORY.CDX", kCategoryTag);
  Configure(DevdistTable, "DEVDIST.DBF", "DEVDIST.CDX", kDevdistTag);

  QvxcatTableTITLE = AddString(QvxcatTable, "TITLE", 40, "Title");
  QvxcatTableCATEGORY = AddString(QvxcatTable, "CATEGORY", 30, "Category");
  QvxcatTableDEVELOPER = AddString(QvxcatTable, "DEVELOPER", 30, "Developer");
  QvxcatTableDISTRIBUTR = AddString(QvxcatTable, "DISTRIBUTR", 30, "Distributor");
  QvxcatTablePLAYERS = AddString(QvxcatTable, "PLAYERS", 5, "Players");
  QvxcatTableMEMORYBLKS = AddString(QvxcatTable, "MEMORYBLKS", 5, "Memory Blocks");
  QvxcatTableANALOG = QvxcatTable.AddField<platform::TBooleanField>("ANALOG");
  QvxcatTableANALOG->SetDisplayLabel("Analog");
  QvxcatTableDUALSHOCK = QvxcatTable.AddField<platform::TBooleanField>("DUALSHOCK");
  QvxcatTableDUALSHOCK->SetDisplayLabel("Dual Shock");
  QvxcatTableNOTES = QvxcatTable.AddField<platform::TMemoField>("NOTES");
  QvxcatTableNOTES->SetDisplayLabel("Notes");
  QvxcatTableNOTES->SetVisible(false);
  CategoryTableCATEGORY = AddString(CategoryTable, "CATEGORY", 30, "Category", 75);
  DevdistTableDEVDIST = AddString(DevdistTable, "DEVDIST", 30, "Developer/Distributor", 75);

  QvxcatSource.SetDataSet(&QvxcatTable);
  CategorySource.SetDataSet(&CategoryTable);
  DevdistSource.SetDataSet(&DevdistTable);
  QvxcatTable.AfterInsert = [this](platform::TDataSet& dataset) {
    QvxcatTableAfterInsert(dataset);
  };
}

TMastData::~TMastData() {
  QvxcatSource.SetDataSet(nullptr);
  CategorySource.SetDataSet(nullptr);
  DevdistSource.SetDataSet(nullptr);
  // Each table closes even when another fails to; a failure has no caller here.
  for (TDevazozDataSet* table : {&QvxcatTable, &CategoryTable, &DevdistTable}) {
    try {
      table->Close();
    } catch (const std::exception& e) {
      platform::HandleApplicationException(e);
    }
  }
}

void TMastData::SetCatalogFolder(const std::string& folder) {
  catalog_folder_ = folder;
  const std::string prefix = folder.empty() || folder.back() == '/' ? folder : folder + "/";
  // A new table name drops the index files (as the dataset's TableName does): they
  // are given again, bare, to be looked for beside their table; the tag stays.
  for (TDevazozDataSet* table : {&QvxcatTable, &CategoryTable, &DevdistTable}) {
    std::vector<std::string> indexes = table->IndexFiles();
    std::string tag = table->IndexName();
    std::string name = table->TableName();
    size_t slash = name.rfind('/');
    table->SetTableName(prefix + (slash == std::string::npos ? name : name.substr(slash + 1)));
    table->LoadIndexFiles(indexes);
    table->SetIndexName(tag);
  }
}

void TMastData::ResetViewSettings() {
  const std::pair<TDevazozDataSet*, const char*> tables[] = {
      {&QvxcatTable, kTitleTag}, {&CategoryTable, kCategoryTag}, {&DevdistTable, kDevdistTag}};
  for (const auto& [table, tag] : tables) {
    table->SetFiltered(false);
    table->SetFilter(std::string());
    table->SetIndexName(tag);
  }
}

void TMastData::QvxcatTableAfterInsert(platform::TDataSet& dataset) {
  (void)dataset;
  QvxcatTableANALOG->SetAsBoolean(false);
  QvxcatTableDUALSHOCK->SetAsBoolean(false);
}
