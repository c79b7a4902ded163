// TDeveloperForm (instance DeveloperForm): the developer/distributor record form,
// one data-aware edit on DEVDIST of DevdistSource.
#ifndef APP_DEVFRM_H_
#define APP_DEVFRM_H_

#include "app/ListFrm.h"

class TDeveloperForm : public TListEntryForm {
  Q_OBJECT

 public:
  // Binds to the data module's DevdistSource.
  explicit TDeveloperForm(QWidget* parent = nullptr);
  TDeveloperForm(platform::TDataSource* source, QWidget* parent = nullptr);

  platform::qt::TDBEdit* DBEditDevdist;
};

extern TDeveloperForm* DeveloperForm;

#endif  // APP_DEVFRM_H_
