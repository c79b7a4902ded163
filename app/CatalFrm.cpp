#include "app/CatalFrm.h"

#include "app/DataMod.h"

TCatalogForm* CatalogForm = nullptr;

TCatalogForm::TCatalogForm(QWidget* parent) : QDialog(parent) {
  setObjectName("CatalogForm");
  setWindowTitle("Catalog");
}

int TCatalogForm::ShowModal() {
  const int result = exec();
  // A record left in editing state is dropped.
  if (MastData != nullptr && (MastData->QvxcatSource.State() == platform::TDataSetState::dsEdit ||
                              MastData->QvxcatSource.State() == platform::TDataSetState::dsInsert))
    MastData->QvxcatTable.Cancel();
  return result;
}
