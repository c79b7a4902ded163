// TCategoryForm (instance CategoryForm): the category record form. It edits the
// current record of CategoryTable through one data-aware edit bound to
// CategorySource. Apply is enabled until its first press in the program's run.
#ifndef APP_CATEGFRM_H_
#define APP_CATEGFRM_H_

#include "platform/qt/modal_form.h"

class QLabel;
class QPushButton;

namespace platform {
class TDataSource;
}
namespace platform::qt {
class TDBEdit;
}

class TCategoryForm : public platform::qt::TModalForm {
  Q_OBJECT

 public:
  // Binds to the data module's CategorySource.
  explicit TCategoryForm(QWidget* parent = nullptr);
  TCategoryForm(platform::TDataSource* source, QWidget* parent = nullptr);

  void FormShow() override;
  void FormCloseQuery(bool& can_close) override;
  void ButtonOKClick();
  void ButtonCancelClick();
  void ButtonApplyClick();

  QLabel* Label1;
  platform::qt::TDBEdit* DBEditCategory;
  QPushButton* ButtonOK;
  QPushButton* ButtonCancel;
  QPushButton* ButtonApply;

 private:
  bool Editing() const;

  platform::TDataSource* source_;
};

extern TCategoryForm* CategoryForm;

#endif  // APP_CATEGFRM_H_
