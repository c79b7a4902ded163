// TListEntryForm: the record form of a one-field lookup list (categories,
// developers/distributors). It edits the current record of its data source
// through one data-aware edit; OK and Apply post, Cancel and closing ask
// before changes are lost. Apply is enabled until its first press in the run.
#ifndef APP_LISTFRM_H_
#define APP_LISTFRM_H_

#include "platform/qt/modal_form.h"

class QLabel;
class QPushButton;

namespace platform {
class TDataSource;
}
namespace platform::qt {
class TDBEdit;
}

class TListEntryForm : public platform::qt::TModalForm {
  Q_OBJECT

 public:
  // What distinguishes one list's form from the other's.
  struct Layout {
    const char* object_name;
    const char* caption;
    const char* edit_name;
    const char* field_name;
    const char* label;
  };
  TListEntryForm(platform::TDataSource* source, const Layout& shape, QWidget* parent);

  void FormShow() override;
  void FormCloseQuery(bool& can_close) override;
  void ButtonOKClick();
  void ButtonCancelClick();
  void ButtonApplyClick();

  QLabel* Label1;
  QPushButton* ButtonOK;
  QPushButton* ButtonCancel;
  QPushButton* ButtonApply;

 protected:
  platform::qt::TDBEdit* edit_;

 private:
  bool Editing() const;

  platform::TDataSource* source_;
};

#endif  // APP_LISTFRM_H_
