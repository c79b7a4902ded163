// The main window's three views as one table of data. Each view names its table and
// data source in the data module, its title, the fields Find offers, the index tags
// Sort offers with their captions (the status bar's "Ordered By" text reads the same
// captions), whether a click on a grid column title orders by that column's tag, and
// its record form. The main window, the find and sort set-up and the caption
// procedures read this table; a fact that differs between views is a member here,
// never a switch on the view number.
//
// Views are numbered as the main window's CurrentView: 1 Catalog, 2 Categories,
// 3 Developers/Distributors; 0 is no view (before the first is shown). The order
// of the table is also the order in which the tables are opened, packed,
// reindexed and closed.
#ifndef APP_VIEWS_H_
#define APP_VIEWS_H_

#include <span>
#include <string>
#include <vector>

#include "app/DataMod.h"

namespace platform::qt {
class TModalForm;
}

// One index tag a view may be ordered by, with the caption the user sees.
struct TViewTag {
  const char* name;
  const char* caption;
};

struct TView {
  int number;
  // Title bar text (the texts begin with one space).
  const char* title;
  TDevazozDataSet TMastData::*table;
  TDataSource TMastData::*source;
  // Field names offered by Find, in display order.
  std::vector<std::string> find_fields;
  // Tags offered by Sort, in display order.
  std::vector<TViewTag> tags;
  // A click on the title of a column whose field names one of `tags` selects it.
  bool title_click_sorts;
  // The view's record form (a created window of the program).
  platform::qt::TModalForm* (*record_form)();

  // REQUIRES: MastData exists.
  TDevazozDataSet& Table() const { return MastData->*table; }
  TDataSource& Source() const { return MastData->*source; }
  // The caption of a tag (exact, case-sensitive); `caption` is untouched when none matches.
  void IndexCaption(const std::string& tag_name, std::string& caption) const;
  // Whether a tag of this name is one of the view's tags (exact, case-sensitive).
  bool HasTag(const std::string& tag_name) const;
};

// The three views, in view-number order.
std::span<const TView> Views();
// View 1, 2 or 3; null for any other number.
const TView* ViewByNumber(int number);

// Fills the find dialog's field list and data source from the view and shows it modally.
void FindInView(const TView& view);
// Fills the sort dialog's tag lists and dataset from the view and shows it modally.
void SortView(const TView& view);

// The per-table set-up and caption procedures under their own names.
void FindCatalog();
void FindCategory();
void FindDevDist();
void SortCatalog();
void SortCategory();
void SortDevDist();
void CatalogIndexCaption(const std::string& tag_name, std::string& caption);
void CategoryIndexCaption(const std::string& tag_name, std::string& caption);
void DevDistIndexCaption(const std::string& tag_name, std::string& caption);

#endif  // APP_VIEWS_H_
