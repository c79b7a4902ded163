// TDeveloperForm (instance DeveloperForm): the developer/distributor record form. It edits the
// current record of DevdistTable through one data-aware edit bound to
// DevdistSource. Apply is enabled until its first press in the program's run.
#ifndef APP_DEVFRM_H_
#define APP_DEVFRM_H_

#include "platform/qt/modal_form.h"

class QLabel;
class QPushButton;

namespace platform {
class TDataSource;
}
namespace platform::qt {
class TDBEdit;
}

class TDeveloperForm : public platform::qt::TModalForm {
  Q_OBJECT

 public:
  // Binds to the data module's DevdistSource.
  explicit TDeveloperForm(QWidget* parent = nullptr);
  TDeveloperForm(platform::TDataSource* source, QWidget* parent = nullptr);

  void FormShow() override;
  void FormCloseQuery(bool& can_close) override;
  void ButtonOKClick();
  void ButtonCancelClick();
  void ButtonApplyClick();

  QLabel* Label1;
  platform::qt::TDBEdit* DBEditDevdist;
  QPushButton* ButtonOK;
  QPushButton* ButtonCancel;
  QPushButton* ButtonApply;

 private:
  bool Editing() const;

  platform::TDataSource* source_;
};

extern TDeveloperForm* DeveloperForm;

#endif  // APP_DEVFRM_H_
