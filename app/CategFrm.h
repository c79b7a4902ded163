// TCategoryForm (instance CategoryForm): the category record form, one data-aware
// edit on CATEGORY of CategorySource.
#ifndef APP_CATEGFRM_H_
#define APP_CATEGFRM_H_

#include "app/ListFrm.h"

class TCategoryForm : public TListEntryForm {
  Q_OBJECT

 public:
  // Binds to the data module's CategorySource.
  explicit TCategoryForm(QWidget* parent = nullptr);
  TCategoryForm(platform::TDataSource* source, QWidget* parent = nullptr);

  platform::qt::TDBEdit* DBEditCategory;
};

extern TCategoryForm* CategoryForm;

#endif  // APP_CATEGFRM_H_
