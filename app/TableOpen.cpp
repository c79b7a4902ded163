#include "app/TableOpen.h"

#include <QApplication>
#include <exception>
#include <memory>

#include "app/CatalogCmds.h"
#include "app/Views.h"
#include "catalog/catalog_files.h"
#include "platform/qt/ansi_text.h"
#include "platform/qt/application.h"
#include "platform/qt/message_dlg.h"
#include "platform/qt/progress_window.h"

namespace {

// The table's file name without its folder ("QVXCAT.DBF").
std::string FileNameOf(const TDevazozDataSet& table) {
  const std::string& name = table.TableName();
  size_t slash = name.rfind('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
}

// The first of the table's index files that is not there, with its path; empty
// when they all are.
std::string MissingIndexFile(const TDevazozDataSet& table, const std::string& folder) {
  for (const std::string& name : table.IndexFiles()) {
    if (name.empty()) continue;
    std::string path = name.find('/') == std::string::npos ? catalog::InFolder(folder, name) : name;
    if (!catalog::FileExists(path)) return path;
  }
  return std::string();
}

std::string BaseName(const std::string& path) {
  size_t slash = path.rfind('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

void ShowError(const std::exception& e) {
  if (platform::qt::TApplication* app = platform::qt::Application()) app->ShowException(e);
}

}  // namespace

std::string TCatalogOpen::NoCatalogText(const std::string& folder) {
  return "There is no catalog in this folder (" + folder +
         "). The program works on the catalog in the folder it is started in: the tables "
         "QVXCAT.DBF, CATEGORY.DBF and DEVDIST.DBF with their index and memo files.";
}

void TCatalogOpen::OpenTables() {
  notices_.clear();
  const std::string folder = ShownCatalogFolder();
  if (catalog::HoldsNoCatalog(folder)) {
    platform::qt::MessageDlg(platform::qt::AnsiToQString(NoCatalogText(folder)),
                             platform::qt::TMsgDlgType::mtInformation, platform::qt::mbOK);
    for (const TView& view : Views())
      problems_[&view.Table()] = "There is no catalog in this folder.";
    return;
  }
  for (const TView& view : Views())
    if (!view.Table().Active()) OpenTable(view.Table());
}

// An index file found out of step with its table (the program ended during a
// change) is rebuilt by the open itself: a progress window shows it, from the
// first report of the rebuild on. Cancel may stop it: the file stays as it was
// and the table stays closed, to be rebuilt at the next open.
void TCatalogOpen::OpenWithProgress(TDevazozDataSet& table) {
  std::unique_ptr<platform::qt::TProgressWindow> progress;
  const QString name = platform::qt::AnsiToQString(FileNameOf(table));
  devazoz::TgsStatusReport saved = table.OnStatus;
  table.OnStatus = [&](int32_t what, int32_t count, int32_t total) {
    if (what == -1 && count == devazoz::kStatusRepairIndex && !progress)
      progress = std::make_unique<platform::qt::TProgressWindow>("Opening the Catalog",
                                                                 QApplication::activeWindow());
    if (!progress) return;
    if (what == -1) {
      progress->Begin(
          QString("Rebuilding the index of %1, which a change left out of step: %2")
              .arg(name, count == devazoz::kStatusIndexWrite ? QString("writing the index")
                                                             : QString("reading the keys")),
          total);
    } else if (what == 0) {
      progress->Pump();
    } else {
      progress->Step(count);
      progress->CheckCancel();
    }
  };
  struct Restore {
    TDevazozDataSet& table;
    devazoz::TgsStatusReport saved;
    ~Restore() { table.OnStatus = std::move(saved); }
  } restore{table, std::move(saved)};
  table.Open();
  if (progress)
    notices_.push_back("The index of " + FileNameOf(table) +
                       " was rebuilt: the program had ended during a change of it.");
}

void TCatalogOpen::OpenTable(TDevazozDataSet& table) {
  problems_.erase(&table);
  try {
    OpenWithProgress(table);
  } catch (const platform::EAbort&) {
    problems_[&table] = "Opening " + FileNameOf(table) +
                        " was stopped while its index was rebuilt; it is not open.";
  } catch (const std::exception& e) {
    const std::string folder = ShownCatalogFolder();
    const std::string index = MissingIndexFile(table, folder);
    if (!index.empty() && catalog::FileExists(catalog::InFolder(folder, FileNameOf(table))) &&
        !catalog::CatalogIndexTags(FileNameOf(table)).empty()) {
      OfferIndex(table, index);
      return;
    }
    problems_[&table] = FileNameOf(table) + " could not be opened: " + e.what();
    ShowError(e);
  }
}

// One box naming the missing file; the catalog's tags are known, so the index can
// be made again from the table.
void TCatalogOpen::OfferIndex(TDevazozDataSet& table, const std::string& index) {
  const std::string text =
      "The index file " + index + " is missing. Make it again from " + FileNameOf(table) + "?";
  if (platform::qt::MessageDlg(platform::qt::AnsiToQString(text),
                               platform::qt::TMsgDlgType::mtWarning,
                               platform::qt::mbYes | platform::qt::mbNo) != platform::qt::mrYes) {
    problems_[&table] = BaseName(index) + " is missing, so " + FileNameOf(table) + " is not open.";
    return;
  }
  try {
    catalog::CreateCatalogIndex(ShownCatalogFolder(), FileNameOf(table));
    table.Open();
    notices_.push_back(BaseName(index) + " was made again from " + FileNameOf(table) + ".");
  } catch (const std::exception& e) {
    problems_[&table] = FileNameOf(table) + " could not be opened: " + e.what();
    ShowError(e);
  }
}

std::string TCatalogOpen::Problem(const TDevazozDataSet& table) const {
  auto found = problems_.find(&table);
  if (found != problems_.end()) return found->second;
  if (!table.Active()) return FileNameOf(table) + " is not open.";
  if (table.ReadOnly()) return FileNameOf(table) + " is open only for reading.";
  return std::string();
}
