#include "app/Views.h"

#include "app/CatalFrm.h"
#include "app/CategFrm.h"
#include "app/DevFrm.h"
#include "app/FindDlg.h"
#include "app/SortDlg.h"

namespace {

const TView kViews[] = {
    {1,
     " Catalog",
     &TMastData::QvxcatTable,
     &TMastData::QvxcatSource,
     {"TITLE", "CATEGORY"},
     {{"TITLE", "Title"}, {"CATEGORY", "Category"}},
     true,
     []() -> platform::qt::TModalForm* { return CatalogForm; }},
    {2,
     " Categories",
     &TMastData::CategoryTable,
     &TMastData::CategorySource,
     {"CATEGORY"},
     {{"CATEGORY", "Category"}},
     false,
     []() -> platform::qt::TModalForm* { return CategoryForm; }},
    {3,
     " Developers/Distributors",
     &TMastData::DevdistTable,
     &TMastData::DevdistSource,
     {"DEVDIST"},
     {{"DEVDIST", "Developer/Distributor"}},
     false,
     []() -> platform::qt::TModalForm* { return DeveloperForm; }},
};

}  // namespace

std::span<const TView> Views() { return kViews; }

const TView* ViewByNumber(int number) {
  for (const TView& view : kViews)
    if (view.number == number) return &view;
  return nullptr;
}

void TView::IndexCaption(const std::string& tag_name, std::string& caption) const {
  for (const TViewTag& tag : tags) {
    if (tag_name == tag.name) {
      caption = tag.caption;
      return;
    }
  }
}

bool TView::HasTag(const std::string& tag_name) const {
  for (const TViewTag& tag : tags)
    if (tag_name == tag.name) return true;
  return false;
}

void FindInView(const TView& view) {
  FindDialog->FieldNames = view.find_fields;
  FindDialog->DataSource = &view.Source();
  FindDialog->ShowModal();
}

void SortView(const TView& view) {
  SortDialog->IndexNames.clear();
  SortDialog->IndexCaptions.clear();
  for (const TViewTag& tag : view.tags) {
    std::string caption;
    view.IndexCaption(tag.name, caption);
    SortDialog->IndexNames.push_back(tag.name);
    SortDialog->IndexCaptions.push_back(caption);
  }
  SortDialog->DataSet = &view.Table();
  SortDialog->ShowModal();
}

void FindCatalog() { FindInView(kViews[0]); }
void FindCategory() { FindInView(kViews[1]); }
void FindDevDist() { FindInView(kViews[2]); }
void SortCatalog() { SortView(kViews[0]); }
void SortCategory() { SortView(kViews[1]); }
void SortDevDist() { SortView(kViews[2]); }

void CatalogIndexCaption(const std::string& tag_name, std::string& caption) {
  kViews[0].IndexCaption(tag_name, caption);
}
void CategoryIndexCaption(const std::string& tag_name, std::string& caption) {
  kViews[1].IndexCaption(tag_name, caption);
}
void DevDistIndexCaption(const std::string& tag_name, std::string& caption) {
  kViews[2].IndexCaption(tag_name, caption);
}
