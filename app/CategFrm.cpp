#include "app/CategFrm.h"

#include "app/DataMod.h"

TCategoryForm* CategoryForm = nullptr;

TCategoryForm::TCategoryForm(QWidget* parent) : QDialog(parent) {
  setObjectName("CategoryForm");
  setWindowTitle("Categories");
}

int TCategoryForm::ShowModal() {
  const int result = exec();
  // A record left in editing state is dropped.
  if (MastData != nullptr &&
      (MastData->CategorySource.State() == platform::TDataSetState::dsEdit ||
       MastData->CategorySource.State() == platform::TDataSetState::dsInsert))
    MastData->CategoryTable.Cancel();
  return result;
}
