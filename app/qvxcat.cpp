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
#include "platform/qt/db_grid.h"
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

namespace {

// qvxcat [DIR]: false, with the exit code, when the program goes no further (help,
// a usage error, a folder that does not exist); folder empty for the current one.
bool FolderArgument(const QStringList& words, std::string& folder, int& exit_code) {
  QStringList arguments = words.mid(1);  // the toolkit has taken its own options out
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
    std::fputs("usage: qvxcat [DIR]\nOpens the catalog in DIR (default: the current directory).\n",
               stdout);
    exit_code = 0;
    return false;
  }
  if (arguments.size() > 1 || (!arguments.empty() && arguments[0].startsWith('-'))) {
    std::fputs("usage: qvxcat [DIR]\n", stderr);
    exit_code = 2;
    return false;
  }
  if (arguments.empty()) return true;
  QFileInfo named(arguments[0]);
  if (!named.isDir()) {
    QString text = "The folder " + arguments[0] + " does not exist.";
    std::fprintf(stderr, "qvxcat: %s\n", text.toLocal8Bit().constData());
    platform::qt::MessageDlg(text, platform::qt::TMsgDlgType::mtError, platform::qt::mbOK);
    exit_code = 1;
    return false;
  }
  folder = named.absoluteFilePath().toStdString();
  return true;
}

}  // namespace

// Nothing escapes: a failure while the windows are made or freed is shown like a
// command's, and one before the application object exists (or while it is freed)
// is written to stderr. The program then ends with exit code 1, never by abort.
int QvxcatMain(int argc, char** argv) {
  try {
    platform::qt::TApplication application(argc, argv);
    application.SetTitle("QVX Catalog");
    application.setWindowIcon(QIcon(":/qvxcat/icons/qvxcat.png"));
    std::string folder;
    int result = 1;
    if (!FolderArgument(application.arguments(), folder, result)) return result;
    if (application.Guard(CreateForms)) {
      bool chosen = false;
      application.Guard([&] { chosen = ChooseStartFolder(folder); });
      if (chosen) {
        MastData->SetCatalogFolder(folder);
        MainForm->show();
        result = application.Run();
      } else {
        result = 0;
      }
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
