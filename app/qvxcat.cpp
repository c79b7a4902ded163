#include "app/qvxcat.h"

#include <QIcon>
#include <cstdio>

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

// Nothing escapes: a failure while the windows are made or freed is shown like a
// command's, and one before the application object exists (or while it is freed)
// is written to stderr. The program then ends with exit code 1, never by abort.
int QvxcatMain(int argc, char** argv) {
  try {
    platform::qt::TApplication application(argc, argv);
    application.SetTitle("QVX Catalog");
    application.setWindowIcon(QIcon(":/qvxcat/icons/qvxcat.png"));
    int result = 1;
    if (application.Guard(CreateForms)) {
      MainForm->show();
      result = application.Run();
    }
    if (!application.Guard(DestroyForms)) result = 1;
    return result;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "qvxcat: %s\n", e.what());
  } catch (...) {
    std::fprintf(stderr, "qvxcat: unknown error\n");
  }
  return 1;
}
