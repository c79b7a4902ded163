// TFilterForm (instance FilterForm): builds a filter condition for the dataset of
// DataSource from field names, operators and values (or as typed into the
// condition box), and on OK switches the dataset's filter on with it, or off when
// the condition is empty, with the chosen case sensitivity.
#ifndef APP_FILTFRM_H_
#define APP_FILTFRM_H_

#include <QString>

#include "platform/qt/modal_form.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace platform {
class TDataSource;
class TField;
}  // namespace platform

class TFilterForm : public platform::qt::TModalForm {
  Q_OBJECT

 public:
  explicit TFilterForm(QWidget* parent = nullptr);

  void FormCreate();
  void FormShow() override;
  void FormClose(platform::qt::TCloseAction& action) override;
  void AddBtnClick();
  void ClearBtnClick();
  void UpdateControls();
  // The text that stands for a value of the field's type in the condition.
  QString QuoteValue(platform::TField* field, const QString& value) const;
  // The condition as the dataset's filter gets it (line breaks as CR LF).
  QString ConditionText() const;

  platform::TDataSource* DataSource = nullptr;
  bool ShowAllFields = true;

  QLabel* ConditionLabel;
  QPlainTextEdit* ConditionMemo;
  QCheckBox* CaseSensitiveCheckBox;
  QPushButton* ClearBtn;
  QLabel* FieldLabel;
  QComboBox* FieldCombo;
  QLabel* OperatorLabel;
  QComboBox* OperatorCombo;
  QLabel* ValueLabel;
  QLineEdit* ValueEdit;
  QPushButton* AddBtn;
  QPushButton* OKBtn;
  QPushButton* CancelBtn;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

extern TFilterForm* FilterForm;

#endif  // APP_FILTFRM_H_
