#include "app/TableOpen.h"

#include <exception>

#include "app/CatalogCmds.h"
#include "app/Views.h"
#include "catalog/catalog_files.h"
#include "platform/qt/ansi_text.h"
#include "platform/qt/application.h"
#include "platform/qt/message_dlg.h"

namespace {

// The table's file name without its folder ("QVXCAT.DBF").
std::string FileNameOf(const TDevazozDataSet& table) {
  const std::string& name = table.TableName();
  size_t slash = name.rfind('/');
  return slash == std::string::npos ? name : name.substr(slash + 1);
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

void TCatalogOpen::OpenTable(TDevazozDataSet& table) {
  problems_.erase(&table);
  try {
    table.Open();
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
