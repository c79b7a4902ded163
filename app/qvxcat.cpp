#include "app/qvxcat.h"

#include <QIcon>

#include "app/AboutDlg.h"
#include "app/CatalFrm.h"
#include "app/CategFrm.h"
#include "app/DataMod.h"
#include "app/DevFrm.h"
#include "app/FiltFrm.h"
#include "app/FindDlg.h"
#include "app/Main.h"
#include "app/QvxLiRpt.h"
#include "app/SortDlg.h"
#include "platform/qt/application.h"
#include "platform/qt/db_grid.h"

static void InitResources() { Q_INIT_RESOURCE(qvxcat); }

void CreateForms() {
  InitResources();
  MainForm = new TMainForm;
  AboutDialog = new TAboutDialog(MainForm);
  MastData = new TMastData;
  CatalogForm = new TCatalogForm(MainForm);
  DeveloperForm = new TDeveloperForm(MainForm);
  CategoryForm = new TCategoryForm(MainForm);
  QvxListReportForm = new TQvxListReportForm;
  SortDialog = new TSortDialog(MainForm);
  FindDialog = new TFindDialog(MainForm);
  FilterForm = new TFilterForm(MainForm);
}

void DestroyForms() {
  // The dialogs belong to the main window; the report form and the data module
  // stand alone. The tables close before the windows that show them go.
  if (MainForm != nullptr) MainForm->DBGrid->SetDataSource(nullptr);
  delete QvxListReportForm;
  QvxListReportForm = nullptr;
  delete MainForm;
  MainForm = nullptr;
  AboutDialog = nullptr;
  CatalogForm = nullptr;
  DeveloperForm = nullptr;
  CategoryForm = nullptr;
  SortDialog = nullptr;
  FindDialog = nullptr;
  FilterForm = nullptr;
  delete MastData;
  MastData = nullptr;
}

int QvxcatMain(int argc, char** argv) {
  platform::qt::TApplication application(argc, argv);
  application.SetTitle("QVX Catalog");
  application.setWindowIcon(QIcon(":/qvxcat/icons/qvxcat.png"));
  CreateForms();
  MainForm->show();
  const int result = application.Run();
  DestroyForms();
  return result;
}
