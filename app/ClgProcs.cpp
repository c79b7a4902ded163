#include "app/ClgProcs.h"

#include "app/DataMod.h"
#include "app/FindDlg.h"
#include "app/SortDlg.h"

namespace {

const char* const kIndexNames[] = {"TITLE", "CATEGORY"};
const char* const kIndexCaptions[] = {"Title", "Category"};

}  // namespace

void FindCatalog() {
  FindDialog->FieldNames.clear();
  FindDialog->FieldNames.assign(std::begin(kIndexNames), std::end(kIndexNames));
  FindDialog->DataSource = &MastData->QvxcatSource;
  FindDialog->ShowModal();
}

void SortCatalog() {
  SortDialog->IndexNames.clear();
  SortDialog->IndexCaptions.clear();
  SortDialog->IndexNames.assign(std::begin(kIndexNames), std::end(kIndexNames));
  SortDialog->IndexCaptions.assign(std::begin(kIndexCaptions), std::end(kIndexCaptions));
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
