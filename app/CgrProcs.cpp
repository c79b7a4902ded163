#include "app/CgrProcs.h"

#include <iterator>

#include "app/DataMod.h"
#include "app/FindDlg.h"
#include "app/SortDlg.h"

namespace {

// The fields offered by Find, and the index tags offered by Sort with their captions.
const char* const kFindFields[] = {"CATEGORY"};
const char* const kIndexNames[] = {"CATEGORY"};
const char* const kIndexCaptions[] = {"Category"};

}  // namespace

void FindCategory() {
  FindDialog->FieldNames.clear();
  FindDialog->FieldNames.assign(std::begin(kFindFields), std::end(kFindFields));
  FindDialog->DataSource = &MastData->CategorySource;
  FindDialog->ShowModal();
}

void SortCategory() {
  SortDialog->IndexNames.clear();
  SortDialog->IndexCaptions.clear();
  for (const char* name : kIndexNames) {
    std::string caption;
    CategoryIndexCaption(name, caption);
    SortDialog->IndexNames.push_back(name);
    SortDialog->IndexCaptions.push_back(caption);
  }
  SortDialog->DataSet = &MastData->CategoryTable;
  SortDialog->ShowModal();
}

void CategoryIndexCaption(const std::string& tag_name, std::string& caption) {
  for (size_t i = 0; i < std::size(kIndexNames); ++i) {
    if (tag_name == kIndexNames[i]) {
      caption = kIndexCaptions[i];
      return;
    }
  }
}
