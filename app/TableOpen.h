// TCatalogOpen: opening the data module's three tables when the main window first
// shows, and what became of each. Every table is tried, in the order of the views,
// whatever became of the one before; a failure is shown in one box and recorded as
// the table's problem, which the main window shows in its status bar while it
// disables the commands that need the table:
//
//   no table of the catalog in the folder   one box: "There is no catalog in this
//                                           folder (DIR). ..."; all three closed
//   an index file missing (one of the        one box naming it, offering to make it
//   catalog's, whose tags are known)         again from the table; No leaves the
//                                            table closed
//   any other failure                       the error's box; that table closed
//   an index rebuilt at open (a change was   a progress window while it is; Cancel
//   interrupted): stopped by the user        leaves that table closed, no box
//
// The procedure holds no window of its own: it asks through message boxes and
// leaves the showing of its results to the main window.
#ifndef APP_TABLEOPEN_H_
#define APP_TABLEOPEN_H_

#include <map>
#include <string>
#include <vector>

#include "app/DataMod.h"

class TCatalogOpen {
 public:
  // Opens the tables of the views that are closed, asking the user where a choice
  // is needed. REQUIRES: MastData exists.
  void OpenTables();

  // Why the table is closed or open only for reading; empty when it is open for
  // writing and nothing is known against it.
  std::string Problem(const TDevazozDataSet& table) const;
  // What the open did by itself that the user should know about (shown in the
  // status bar while the view has no problem of its own).
  const std::vector<std::string>& Notices() const { return notices_; }

  // The text shown when the folder holds none of the catalog's tables.
  static std::string NoCatalogText(const std::string& folder);

 private:
  void OpenTable(TDevazozDataSet& table);
  void OpenWithProgress(TDevazozDataSet& table);
  void OfferIndex(TDevazozDataSet& table, const std::string& index);

  std::map<const TDevazozDataSet*, std::string> problems_;
  std::vector<std::string> notices_;
};

#endif  // APP_TABLEOPEN_H_
