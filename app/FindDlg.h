// TFindDialog (instance FindDialog): moves a dataset to the first record whose
// chosen field matches a typed text. Callers set DataSource and FieldNames first.
#ifndef APP_FINDDLG_H_
#define APP_FINDDLG_H_

#include <QDialog>
#include <string>
#include <vector>

namespace platform {
class TDataSource;
}

class TFindDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TFindDialog(QWidget* parent = nullptr);

  int ShowModal();

  platform::TDataSource* DataSource = nullptr;
  std::vector<std::string> FieldNames;
  bool ShowAllFields = false;
};

extern TFindDialog* FindDialog;

#endif  // APP_FINDDLG_H_
