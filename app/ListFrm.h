// TListEntryForm: the record form of a one-field lookup list (categories,
// developers/distributors). It edits the current record of its data source
// through one data-aware edit; OK (the default button), Apply, Cancel and the
// close question are the record form's (RecordFrm.h). Apply is enabled until its
// first press in the run.
#ifndef APP_LISTFRM_H_
#define APP_LISTFRM_H_

#include "app/RecordFrm.h"

class QLabel;

namespace platform {
class TDataSource;
}
namespace platform::qt {
class TDBEdit;
}

class TListEntryForm : public TRecordForm {
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

  QLabel* Label1;

 protected:
  platform::qt::TDBEdit* edit_;
};

#endif  // APP_LISTFRM_H_
