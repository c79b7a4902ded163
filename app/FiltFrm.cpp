#include "app/FiltFrm.h"

TFilterForm* FilterForm = nullptr;

TFilterForm::TFilterForm(QWidget* parent) : QDialog(parent) {
  setObjectName("FilterForm");
  setWindowTitle("Filter");
}

int TFilterForm::ShowModal() { return exec(); }
