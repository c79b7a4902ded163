#include "app/FindDlg.h"

TFindDialog* FindDialog = nullptr;

TFindDialog::TFindDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("FindDialog");
  setWindowTitle("Find");
}

int TFindDialog::ShowModal() { return exec(); }
