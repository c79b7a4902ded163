// TFindDialog (instance FindDialog): moves a dataset to the first record whose
// chosen field matches a typed text, through the dataset's Locate. Callers set
// DataSource and FieldNames (field names, shown by their display labels) first.
// The two check boxes keep their state between uses; the text is cleared and the
// first field selected on every show.
#ifndef APP_FINDDLG_H_
#define APP_FINDDLG_H_

#include <string>
#include <vector>

#include "platform/qt/modal_form.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace platform {
class TDataSource;
}

class TFindDialog : public platform::qt::TModalForm {
  Q_OBJECT

 public:
  explicit TFindDialog(QWidget* parent = nullptr);
  ~TFindDialog() override;

  void FormCreate();
  void FormShow() override;
  void FormClose(platform::qt::TCloseAction& action) override;
  void FormDestroy();

  platform::TDataSource* DataSource = nullptr;
  std::vector<std::string> FieldNames;
  bool ShowAllFields = false;

  QLabel* SearchByLabel;
  QComboBox* SearchByComboBox;
  QLabel* SearchForLabel;
  QLineEdit* SearchForEdit;
  QCheckBox* CaseSensitiveCheckBox;
  QCheckBox* ExactMatchCheckBox;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;
};

extern TFindDialog* FindDialog;

#endif  // APP_FINDDLG_H_
