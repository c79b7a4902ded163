#include "app/CatalogCmds.h"

#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <exception>
#include <memory>

#include "app/DataMod.h"
#include "app/ImportDlg.h"
#include "app/ImportSumDlg.h"
#include "app/Main.h"
#include "app/Views.h"
#include "catalog/catalog_files.h"
#include "catalog/catalog_tables.h"
#include "catalog/table_export.h"
#include "catalog/table_import.h"
#include "catalog/text_sink.h"
#include "platform/qt/message_dlg.h"
#include "platform/qt/progress_window.h"

std::string ShownCatalogFolder() {
  const std::string& folder = MastData->CatalogFolder();
  return QDir(QString::fromStdString(folder.empty() ? "." : folder)).absolutePath().toStdString();
}

namespace {

using platform::qt::TProgressWindow;

QString Native(const std::string& path) {
  return QDir::toNativeSeparators(QString::fromStdString(path));
}

std::string FromChooser(const QString& chosen) {
  return QDir::fromNativeSeparators(chosen).toStdString();
}

// Reports progress of catalog work through the window: a new total starts the
// stage's bar afresh.
catalog::Progress Through(TProgressWindow& window) {
  return [&window](int64_t done, int64_t total) {
    if (total != window.StageTotal()) window.Begin(window.StageText(), total);
    return window.Step(done);
  };
}

// Runs work on the catalog's files with the windows' tables closed, then opens the
// catalog again for the windows, whatever became of the work.
template <class Work>
void WithCatalogClosed(TMainForm& form, Work work) {
  form.FormClose();
  try {
    work(ShownCatalogFolder());
  } catch (...) {
    form.FormShow();
    throw;
  }
  form.FormShow();
}

}  // namespace

QString CatalogCaption(const std::string& folder) {
  QString shown = QDir::cleanPath(QString::fromStdString(folder));
  QString home = QDir::homePath();
  if (shown == home)
    shown = "~";
  else if (shown.startsWith(home + "/"))
    shown = "~" + shown.mid(home.size());
  return QDir::toNativeSeparators(shown) + " - QVX Catalog";
}

void SwitchCatalog(TMainForm& form, const std::string& folder) {
  const std::string previous = MastData->CatalogFolder();
  form.FormClose();
  MastData->SetCatalogFolder(folder);
  MastData->ResetViewSettings();
  // The catalog that would not open (the open has said why) is closed again, and
  // the previous one comes back.
  auto back = [&] {
    form.FormClose();
    MastData->SetCatalogFolder(previous);
    MastData->ResetViewSettings();
    try {
      form.FormShow();
    } catch (const std::exception&) {
    }
  };
  try {
    form.FormShow();
  } catch (...) {
    back();
    throw;
  }
  if (!form.TablesOpen()) back();
}

void OpenCatalogCommand(TMainForm& form) {
  QString chosen =
      QFileDialog::getExistingDirectory(&form, "Open Catalog", Native(ShownCatalogFolder()));
  if (chosen.isEmpty()) return;
  const std::string folder = FromChooser(chosen);
  const std::string why = catalog::WhyNoCatalog(folder);
  if (!why.empty()) {
    platform::qt::MessageDlg(QString::fromStdString(why), platform::qt::TMsgDlgType::mtWarning,
                             platform::qt::mbOK, &form);
    return;
  }
  SwitchCatalog(form, folder);
}

void NewCatalogCommand(TMainForm& form) {
  QString chosen =
      QFileDialog::getExistingDirectory(&form, "New Catalog", Native(ShownCatalogFolder() + "/.."));
  if (chosen.isEmpty()) return;
  const std::string folder = FromChooser(chosen);
  catalog::CreateCatalog(folder);
  SwitchCatalog(form, folder);
}

void ImportCommand(TMainForm& form) {
  if (!MastData->QvxcatTable.Active()) return;
  QString path = QFileDialog::getOpenFileName(&form, "Import", Native(ShownCatalogFolder()),
                                              "CSV lists (*.csv *.txt *.tsv);;All files (*)");
  if (path.isEmpty()) return;
  std::vector<catalog::TargetField> fields = catalog::ImportFields(MastData->QvxcatTable);
  TImportDialog dialog(path, fields, catalog::ImportKeyField(fields), &form);
  if (dialog.ShowModal() != platform::qt::mrOk) return;
  const catalog::ImportChoices choices = dialog.Choices();
  const int64_t rows = dialog.Rows();

  catalog::ImportSummary summary;
  catalog::ImportLog log;
  WithCatalogClosed(form, [&](const std::string& folder) {
    catalog::CatalogTables tables(folder);
    catalog::TableImport import(tables.titles, tables.Categories(), tables.Companies());
    TProgressWindow progress("Import", &form);
    progress.Begin("Importing " + QFileInfo(path).fileName(), rows);
    catalog::FileSource source(path.toStdString());
    catalog::BulkWork work({&tables.titles, tables.Categories(), tables.Companies()});
    summary = import.Run(source, choices, rows, work.SyncingAsItGoes(Through(progress)));
    log = import.Log();
    progress.SetCancellable(false, "Writing the indexes");
    catalog::EndImportWork(work, summary);
  });
  if (form.CurrentView() != 1) form.GoCatalogClick();

  TImportSummaryDialog result(catalog::SummaryLines(summary), !log.Empty(), &form);
  if (result.ShowModal() != TImportSummaryDialog::mrUndo) return;
  WithCatalogClosed(form, [&](const std::string& folder) {
    catalog::CatalogTables tables(folder);
    TProgressWindow progress("Undo Import", &form);
    progress.SetCancellable(false, "An undo runs to its end, so that no half import is left");
    progress.Begin("Deleting what the import added", 0);
    catalog::BulkWork work({&tables.titles, tables.Categories(), tables.Companies()});
    catalog::UndoImport(log, tables.titles, tables.Categories(), tables.Companies(),
                        Through(progress));
    work.End();
  });
}

void ExportCommand(TMainForm& form) {
  const TView* view = form.ShownView();
  if (view == nullptr || !view->Table().Active()) return;
  static const char* const kNames[] = {"", "titles", "categories", "companies"};
  const QString csv = "CSV list (*.csv)";
  const QString csv_bom = "CSV list for spreadsheets, with a byte-order mark (*.csv)";
  const QString json = "JSON list (*.json)";
  QString filter = csv;
  QString path = QFileDialog::getSaveFileName(
      &form, "Export", Native(ShownCatalogFolder() + "/" + kNames[view->number] + ".csv"),
      csv + ";;" + csv_bom + ";;" + json, &filter);
  if (path.isEmpty()) return;
  catalog::ExportFormat format = filter == json      ? catalog::ExportFormat::kJson
                                 : filter == csv_bom ? catalog::ExportFormat::kCsvWithBom
                                                     : catalog::ExportFormat::kCsv;
  if (QFileInfo(path).suffix().isEmpty())
    path += format == catalog::ExportFormat::kJson ? ".json" : ".csv";

  TProgressWindow progress("Export", &form);
  progress.Begin("Writing " + QFileInfo(path).fileName(), view->Table().RecordCount());
  catalog::FileSink sink(path.toStdString());
  std::unique_ptr<catalog::RecordWriter> writer = catalog::MakeRecordWriter(format, sink);
  catalog::ExportResult result = catalog::ExportDataSet(view->Table(), *writer, Through(progress));
  // A cancelled export leaves no file: the sink removes what it wrote.
  if (!result.cancelled) sink.Commit();
}
