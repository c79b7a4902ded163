// TFilterForm (instance FilterForm): builds a filter condition for the dataset of
// DataSource and switches the filter on or off.
#ifndef APP_FILTFRM_H_
#define APP_FILTFRM_H_

#include <QDialog>

namespace platform {
class TDataSource;
}

class TFilterForm : public QDialog {
  Q_OBJECT

 public:
  explicit TFilterForm(QWidget* parent = nullptr);

  int ShowModal();

  platform::TDataSource* DataSource = nullptr;
  bool ShowAllFields = true;
};

extern TFilterForm* FilterForm;

#endif  // APP_FILTFRM_H_
