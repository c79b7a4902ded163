#include "app/SortDlg.h"

TSortDialog* SortDialog = nullptr;

TSortDialog::TSortDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("SortDialog");
  setWindowTitle("Sort");
}

int TSortDialog::ShowModal() { return exec(); }
