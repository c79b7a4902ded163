// TMastData (instance MastData), the data module: the catalog's three tables as
// dataset components, their persistent fields and one data source per table. Every
// window binds to these and to nothing else.
//
// All three tables: Exclusive, TranslateASCII, no deleted records, default lock
// protocol, user id 0, empty DatabaseName (the current directory), no filter.
#ifndef APP_DATAMOD_H_
#define APP_DATAMOD_H_

#include <string>

#include "engine/dataset/Zavaz6UZ.h"
#include "platform/dataset/datalink.h"
#include "platform/dataset/field.h"

using TDataSource = platform::TDataSource;
using TDevazozDataSet = devazoz::TDevazozDataSet;

class TMastData {
 public:
  TMastData();
  ~TMastData();
  TMastData(const TMastData&) = delete;
  TMastData& operator=(const TMastData&) = delete;

  // After-insert handler of QvxcatTable: a new title is neither analog nor
  // vibration compatible until the user says so.
  void QvxcatTableAfterInsert(platform::TDataSet& dataset);

  // The folder that holds the catalog's files; empty (the start) means the current
  // directory. REQUIRES for setting: the three tables are closed.
  void SetCatalogFolder(const std::string& folder);
  const std::string& CatalogFolder() const { return catalog_folder_; }
  // Puts back what a start gives the three tables: their design-time order and no
  // filter (a close ends a quick search); so another catalog opens as it would
  // after exit and start. REQUIRES: the three tables are closed.
  void ResetViewSettings();

  TDevazozDataSet QvxcatTable;
  TDevazozDataSet CategoryTable;
  TDevazozDataSet DevdistTable;
  TDataSource QvxcatSource;
  TDataSource CategorySource;
  TDataSource DevdistSource;

  platform::TStringField* QvxcatTableTITLE = nullptr;
  platform::TStringField* QvxcatTableCATEGORY = nullptr;
  platform::TStringField* QvxcatTableDEVELOPER = nullptr;
  platform::TStringField* QvxcatTableDISTRIBUTR = nullptr;
  platform::TStringField* QvxcatTablePLAYERS = nullptr;
  platform::TStringField* QvxcatTableMEMORYBLKS = nullptr;
  platform::TBooleanField* QvxcatTableANALOG = nullptr;
  platform::TBooleanField* QvxcatTableDUALSHOCK = nullptr;
  platform::TMemoField* QvxcatTableNOTES = nullptr;
  platform::TStringField* CategoryTableCATEGORY = nullptr;
  platform::TStringField* DevdistTableDEVDIST = nullptr;

 private:
  std::string catalog_folder_;
};

extern TMastData* MastData;

#endif  // APP_DATAMOD_H_
