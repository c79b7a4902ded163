#include "app/CategFrm.h"

#include "app/DataMod.h"

TCategoryForm* CategoryForm = nullptr;

namespace {
const TListEntryForm::Layout kCategoryLayout = {"CategoryForm", "Categories", "DBEditCategory",
                                                "CATEGORY", "Category:"};
}

TCategoryForm::TCategoryForm(QWidget* parent) : TCategoryForm(&MastData->CategorySource, parent) {}

TCategoryForm::TCategoryForm(platform::TDataSource* source, QWidget* parent)
    : TListEntryForm(source, kCategoryLayout, parent), DBEditCategory(edit_) {}
