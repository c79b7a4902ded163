#include "app/CategFrm.h"

#include "app/DataMod.h"

TCategoryForm* CategoryForm = nullptr;

namespace {
const TListEntryForm::Layout kLayout = {"CategoryForm", "Categories", "DBEditCategory", "CATEGORY",
                                        "Category:"};
}

TCategoryForm::TCategoryForm(QWidget* parent) : TCategoryForm(&MastData->CategorySource, parent) {}

TCategoryForm::TCategoryForm(platform::TDataSource* source, QWidget* parent)
    : TListEntryForm(source, kLayout, parent), DBEditCategory(edit_) {}
