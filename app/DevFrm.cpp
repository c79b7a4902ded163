#include "app/DevFrm.h"

#include "app/DataMod.h"

TDeveloperForm* DeveloperForm = nullptr;

namespace {
const TListEntryForm::Layout kDeveloperLayout = {"DeveloperForm", "Developers/Distributors",
                                                 "DBEditDevdist", "DEVDIST",
                                                 "Developer/Distributor:"};
}

TDeveloperForm::TDeveloperForm(QWidget* parent)
    : TDeveloperForm(&MastData->DevdistSource, parent) {}

TDeveloperForm::TDeveloperForm(platform::TDataSource* source, QWidget* parent)
    : TListEntryForm(source, kDeveloperLayout, parent), DBEditDevdist(edit_) {}
