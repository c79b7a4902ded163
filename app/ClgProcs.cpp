#include "app/ClgProcs.h"

#include <iterator>

#include "app/DataMod.h"
#include "app/FindDlg.h"
#include "app/SortDlg.h"

namespace {

// The fields offered by Find, and the index tags offered by Sort with their captions.
const char* const kFindFields[] = {"TITLE", "CATEGORY"};
const char* const kIndexNames[] = {"TITLE", "CATEGORY"};
const char* const kIndexCaptions[] = {"Title", "Category"};

}  // namespace

void FindCatalog() {
  FindDialog->FieldNames.clear();
  FindDialog->FieldNames.assign(std::begin(kFindFields), std::end(kFindFields));
  FindDialog->DataSource = &MastData->QvxcatSource;
  FindDialog->ShowModal();
}

void SortCatalog() {
  SortDialog->IndexNames.clear();
  SortDialog->IndexCaptions.clear();
  for (const char* name : kIndexNames) {
    std::string caption;
    CatalogIndexCaption(name, caption);
    SortDialog->IndexNames.push_back(name);
    SortDialog->IndexCaptions.push_back(caption);
  }
  SortDialog->DataSet = &MastData->QvxcatTable;
  SortDialog->ShowModal();
}

void CatalogIndexCaption(const std::string& tag_name, std::string& caption) {
  for (size_t i = 0; i < std::size(kIndexNames); ++i) {
    if (tag_name == kIndexNames[i]) {
      caption = kIndexCaptions[i];
      return;
    }
  }
}
