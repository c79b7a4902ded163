#include "app/qvxcat.h"

#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QStringList>
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
#include "app/StartWnd.h"
#include "catalog/catalog_files.h"
#include "platform/qt/application.h"
#include "platform/qt/message_dlg.h"

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

bool ChooseStartFolder(std::string& folder) {
  const std::string where =
      QDir(QString::fromStdString(folder.empty() ? "." : folder)).absolutePath().toStdString();
  if (!catalog::HoldsNoCatalog(where)) return true;
  TStartWindow start(where);
  if (start.ShowModal() != platform::qt::mrOk) return false;
  folder = start.Folder();
  return true;
}

int QvxcatMain(int argc, char** argv) {
  platform::qt::TApplication application(argc, argv);
  application.SetTitle("QVX Catalog");
  application.setWindowIcon(QIcon(":/qvxcat/icons/qvxcat.png"));
  // The toolkit has taken its own options out of the arguments.
  QStringList arguments = application.arguments();
  arguments.removeFirst();
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
    std::fputs("usage: qvxcat [DIR]\nOpens the catalog in DIR (default: the current directory).\n",
               stdout);
    return 0;
  }
  if (arguments.size() > 1 || (!arguments.empty() && arguments[0].startsWith('-'))) {
    std::fputs("usage: qvxcat [DIR]\n", stderr);
    return 2;
  }
  std::string folder;
  if (!arguments.empty()) {
    QFileInfo named(arguments[0]);
    if (!named.isDir()) {
      QString text = "The folder " + arguments[0] + " does not exist.";
      std::fprintf(stderr, "qvxcat: %s\n", text.toLocal8Bit().constData());
      platform::qt::MessageDlg(text, platform::qt::TMsgDlgType::mtError, platform::qt::mbOK);
      return 1;
    }
    folder = named.absoluteFilePath().toStdString();
  }
  CreateForms();
  int result = 0;
  if (ChooseStartFolder(folder)) {
    MastData->SetCatalogFolder(folder);
    MainForm->show();
    result = application.Run();
  }
  DestroyForms();
  return result;
}
