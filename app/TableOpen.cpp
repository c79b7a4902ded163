#include "app/TableOpen.h"

#include <QApplication>
#include <exception>
#include <memory>

#include "app/CatalogCmds.h"
#include "app/StatusProgress.h"
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
  table.SetReadOnly(false);
  try {
    OpenWithProgress(table);
  } catch (const platform::EAbort&) {
    problems_[&table] = "Opening " + FileNameOf(table) +
                        " was stopped while its index was rebuilt; it is not open.";
    return;
  } catch (const devazoz::EDevazozFileMissing& e) {
    if (e.What() == devazoz::EDevazozFileMissing::Kind::kIndex &&
        !catalog::CatalogIndexTags(FileNameOf(table)).empty())
      OfferIndex(table, e.Path());
    else
      Fail(table, e);
    return;
  } catch (const devazoz::EDevazozError& e) {
    if (e.Code() == devazoz::kErrTableDamaged)
      OfferRepair(table, e.what());
    else
      Fail(table, e);
    return;
  } catch (const std::exception& e) {
    Fail(table, e);
    return;
  }
  Opened(table);
}

void TCatalogOpen::Fail(TDevazozDataSet& table, const std::exception& e) {
  problems_[&table] = FileNameOf(table) + " could not be opened: " + e.what();
  ShowError(e);
}

// What the open found missing or out of step (what it rebuilt by itself is told
// by OpenWithProgress).
void TCatalogOpen::Opened(TDevazozDataSet& table) {
  const std::string memo = table.MemoProblem();
  if (!memo.empty()) problems_[&table] = memo + ".";
  std::vector<std::string> stale = table.StaleIndexReasons();
  if (!stale.empty() && !table.ReadOnly()) OfferReindex(table, stale.front());
}

// The table's records disagree with its header: it is opened for reading, which
// shows the whole records only, and the user chooses between that and a repair.
void TCatalogOpen::OfferRepair(TDevazozDataSet& table, const std::string& damage) {
  table.SetReadOnly(true);
  try {
    table.Open();
  } catch (const std::exception& e) {
    table.SetReadOnly(false);
    Fail(table, e);
    return;
  }
  const std::string whole = std::to_string(table.RecordCount());
  const std::string text =
      damage + ". Open it read-only, or repair it (keeps the " + whole + " whole records)?";
  if (platform::qt::ChoiceDlg(platform::qt::AnsiToQString(text),
                              platform::qt::TMsgDlgType::mtWarning,
                              {"Open &Read-Only", "&Repair"}) != 1) {
    problems_[&table] = damage + ". It is open only for reading.";
    return;
  }
  try {
    table.Close();
    table.SetReadOnly(false);
    devazoz::TgsTableRepair repair;
    {
      TStatusProgress progress(table,
                               platform::qt::AnsiToQString("Repairing " + FileNameOf(table)));
      repair = table.RepairTable();
    }
    table.Open();
    notices_.push_back(FileNameOf(table) + " was repaired: it keeps its " +
                       std::to_string(repair.records) + " whole records" +
                       (repair.backup.empty()
                            ? std::string()
                            : "; the damaged file is kept as " + BaseName(repair.backup)) +
                       ".");
  } catch (const std::exception& e) {
    Fail(table, e);
    return;
  }
  Opened(table);
}

// An index known not to match its table: offered to be made again now; otherwise
// the status bar keeps saying so (Problem) until Tools > Reindex Data.
void TCatalogOpen::OfferReindex(TDevazozDataSet& table, const std::string& reason) {
  const std::string text = reason + ". Make the index of " + FileNameOf(table) + " again now?";
  if (platform::qt::MessageDlg(platform::qt::AnsiToQString(text),
                               platform::qt::TMsgDlgType::mtWarning,
                               platform::qt::mbYes | platform::qt::mbNo) != platform::qt::mrYes)
    return;
  try {
    TStatusProgress progress(table, "Reindexing");
    table.Reindex();
    notices_.push_back("The index of " + FileNameOf(table) + " was made again.");
  } catch (const std::exception& e) {
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
    Fail(table, e);
    return;
  }
  Opened(table);
}

std::string TCatalogOpen::Problem(const TDevazozDataSet& table) const {
  auto found = problems_.find(&table);
  if (found != problems_.end()) return found->second;
  if (!table.Active()) return FileNameOf(table) + " is not open.";
  if (table.ReadOnly()) return FileNameOf(table) + " is open only for reading.";
  std::vector<std::string> stale = table.StaleIndexReasons();
  if (!stale.empty()) return stale.front() + ". Tools > Reindex Data makes the index again.";
  return std::string();
}
