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
class TDataSet;
class TDataSource;
}  // namespace platform

class TFindDialog : public platform::qt::TModalForm {
  Q_OBJECT

 public:
  explicit TFindDialog(QWidget* parent = nullptr);
  ~TFindDialog() override;

  void FormCreate();
  void FormShow() override;
  void FormClose(platform::qt::TCloseAction& action) override;
  void FormDestroy();
  // Find Next: the last search that OK ran (its dataset, field, text and options)
  // again, from the record after the current one onward in the dataset's current
  // order, with the same not-found message. False when nothing was found.
  bool FindNext();
  // The dataset the last search ran on; null before the first.
  platform::TDataSet* LastDataSet() const { return last_dataset_; }

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

 private:
  void NotFound(const QString& text);

  platform::TDataSet* last_dataset_ = nullptr;
  std::string last_field_;
  QString last_text_;
  int last_options_ = 0;
};

extern TFindDialog* FindDialog;

#endif  // APP_FINDDLG_H_
