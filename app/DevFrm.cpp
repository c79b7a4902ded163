#include "app/DevFrm.h"

#include "app/DataMod.h"

TDeveloperForm* DeveloperForm = nullptr;

TDeveloperForm::TDeveloperForm(QWidget* parent) : QDialog(parent) {
  setObjectName("DeveloperForm");
  setWindowTitle("Developers/Distributors");
}

int TDeveloperForm::ShowModal() {
  const int result = exec();
  // A record left in editing state is dropped.
  if (MastData != nullptr && (MastData->DevdistSource.State() == platform::TDataSetState::dsEdit ||
                              MastData->DevdistSource.State() == platform::TDataSetState::dsInsert))
    MastData->DevdistTable.Cancel();
  return result;
}
