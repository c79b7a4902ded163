// TSortDialog (instance SortDialog): chooses the index tag that orders a dataset.
// Callers fill IndexNames and IndexCaptions and set DataSet first.
#ifndef APP_SORTDLG_H_
#define APP_SORTDLG_H_

#include <QDialog>
#include <string>
#include <vector>

#include "app/DataMod.h"

class TSortDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TSortDialog(QWidget* parent = nullptr);

  int ShowModal();

  TDevazozDataSet* DataSet = nullptr;
  std::vector<std::string> IndexNames;
  std::vector<std::string> IndexCaptions;
};

extern TSortDialog* SortDialog;

#endif  // APP_SORTDLG_H_
