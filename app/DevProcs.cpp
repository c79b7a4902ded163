#include "app/DevProcs.h"

#include "app/DataMod.h"
#include "app/FindDlg.h"
#include "app/SortDlg.h"

namespace {

const char* const kIndexNames[] = {"DEVDIST"};
const char* const kIndexCaptions[] = {"Developer/Distributor"};

}  // namespace

void FindDevDist() {
  FindDialog->FieldNames.clear();
  FindDialog->FieldNames.assign(std::begin(kIndexNames), std::end(kIndexNames));
  FindDialog->DataSource = &MastData->DevdistSource;
  FindDialog->ShowModal();
}

void SortDevDist() {
  SortDialog->IndexNames.clear();
  SortDialog->IndexCaptions.clear();
  SortDialog->IndexNames.assign(std::begin(kIndexNames), std::end(kIndexNames));
  SortDialog->IndexCaptions.assign(std::begin(kIndexCaptions), std::end(kIndexCaptions));
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
