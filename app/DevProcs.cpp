#include "app/DevProcs.h"

#include <iterator>

#include "app/DataMod.h"
#include "app/FindDlg.h"
#include "app/SortDlg.h"

namespace {

// The fields offered by Find, and the index tags offered by Sort with their captions.
const char* const kFindFields[] = {"DEVDIST"};
const char* const kIndexNames[] = {"DEVDIST"};
const char* const kIndexCaptions[] = {"Developer/Distributor"};

}  // namespace

void FindDevDist() {
  FindDialog->FieldNames.clear();
  FindDialog->FieldNames.assign(std::begin(kFindFields), std::end(kFindFields));
  FindDialog->DataSource = &MastData->DevdistSource;
  FindDialog->ShowModal();
}

void SortDevDist() {
  SortDialog->IndexNames.clear();
  SortDialog->IndexCaptions.clear();
  for (const char* name : kIndexNames) {
    std::string caption;
    DevDistIndexCaption(name, caption);
    SortDialog->IndexNames.push_back(name);
    SortDialog->IndexCaptions.push_back(caption);
  }
  SortDialog->DataSet = &MastData->DevdistTable;
  SortDialog->ShowModal();
}

void DevDistIndexCaption(const std::string& tag_name, std::string& caption) {
  for (size_t i = 0; i < std::size(kIndexNames); ++i) {
    if (tag_name == kIndexNames[i]) {
      caption = kIndexCaptions[i];
      return;
    }
  }
}
