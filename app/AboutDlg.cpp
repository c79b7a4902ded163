#include "app/AboutDlg.h"

TAboutDialog* AboutDialog = nullptr;

TAboutDialog::TAboutDialog(QWidget* parent) : QDialog(parent) {
  setObjectName("AboutDialog");
  setWindowTitle("About");
}

int TAboutDialog::ShowModal() { return exec(); }
