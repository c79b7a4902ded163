// TCatalogOpen: opening the data module's three tables when the main window first
// shows, and what became of each. Every table is tried, in the order of the views,
// whatever became of the one before. Nothing is written through a damaged file:
// each remedy that writes is the user's choice.
//
//   no table of the catalog in the folder   one box: "There is no catalog in this
//                                           folder (DIR). ..."; all three closed
//   an index file missing (one of the        one box naming it, offering to make it
//   catalog's, whose tags are known)         again from the table; No leaves the
//                                            table closed
//   the table's records disagree with its    it is opened read-only (whole records
//   header (cut short)                       only) and the user chooses: keep it so,
//                                            or repair it (whole records kept, the
//                                            original kept beside it as .bak)
//   an index out of step with the table      rebuilt by the open itself when a change
//                                            was cut off (a progress window while it
//                                            runs, a notice after; Cancel leaves the
//                                            table closed, no box); an index known
//                                            stale otherwise is offered a reindex
//   the memo file missing                    the table opens; the problem is shown
//                                            (and on the catalog form's Notes page)
//   any other failure                        the error's box; that table closed
//
// A problem is shown by the main window in its status bar, which disables the
// commands that need a closed or read-only table. The procedure holds no window of
// its own: it asks through message boxes.
#ifndef APP_TABLEOPEN_H_
#define APP_TABLEOPEN_H_

#include <exception>
#include <map>
#include <string>
#include <vector>

#include "app/DataMod.h"

class TCatalogOpen {
 public:
  // Opens the tables of the views that are closed, asking the user where a choice
  // is needed. REQUIRES: MastData exists.
  void OpenTables();

  // Why the table is closed or open only for reading, or what it lacks (its memo
  // file, an index in step with it); empty when nothing is known against it.
  std::string Problem(const TDevazozDataSet& table) const;
  // What the open did by itself that the user should know about (shown in the
  // status bar while the view has no problem of its own).
  const std::vector<std::string>& Notices() const { return notices_; }

  // The text shown when the folder holds none of the catalog's tables.
  static std::string NoCatalogText(const std::string& folder);

 private:
  void OpenTable(TDevazozDataSet& table);
  void OpenWithProgress(TDevazozDataSet& table);
  void Fail(TDevazozDataSet& table, const std::exception& e);
  void Opened(TDevazozDataSet& table);
  void OfferIndex(TDevazozDataSet& table, const std::string& index);
  void OfferRepair(TDevazozDataSet& table, const std::string& damage);
  void OfferReindex(TDevazozDataSet& table, const std::string& reason);

  std::map<const TDevazozDataSet*, std::string> problems_;
  std::vector<std::string> notices_;
};

#endif  // APP_TABLEOPEN_H_
