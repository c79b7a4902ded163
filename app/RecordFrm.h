// TRecordForm: what the record forms (the catalog form and the two list forms) share.
// Each edits the current record of one data source through data-aware controls, and
// only decides when to post, when to cancel and when to ask:
//
//   OK       posts when the table is in edit or insert state, then closes;
//   Apply    posts likewise, then disables itself; the form stays open;
//   Cancel   closes (the close query decides what happens to unsaved changes);
//   closing  (OK, Cancel, Esc, the close box) in edit or insert state asks "Do you
//            want to save changes?": Yes posts, No cancels the edits (a record being
//            inserted is dropped), Cancel keeps the form open in editing state.
//
// A post that fails shows its message in the application's error box; the form stays
// open in editing state and Apply keeps its state. Subclasses create their controls,
// then the buttons (CreateButtons, so that the focus order follows creation), and
// choose the default button and Apply's first state.
#ifndef APP_RECORDFRM_H_
#define APP_RECORDFRM_H_

#include "platform/qt/modal_form.h"

class QHBoxLayout;
class QPushButton;

namespace platform {
class TDataSource;
}

class TRecordForm : public platform::qt::TModalForm {
  Q_OBJECT

 public:
  // `source` is the data source the form edits.
  TRecordForm(platform::TDataSource* source, QWidget* parent);

  void FormCloseQuery(bool& can_close) override;
  void ButtonOKClick();
  void ButtonCancelClick();
  void ButtonApplyClick();

  QPushButton* ButtonOK = nullptr;
  QPushButton* ButtonCancel = nullptr;
  QPushButton* ButtonApply = nullptr;

 protected:
  // The table is in edit or insert state.
  bool Editing() const;
  // Creates OK, Cancel (the cancel button) and Apply, and returns them in a row,
  // right-aligned, for the subclass's layout.
  QHBoxLayout* CreateButtons();

 private:
  platform::TDataSource* source_;
};

#endif  // APP_RECORDFRM_H_
