// TDeveloperForm (instance DeveloperForm): the developer/distributor record form, editing the
// current record of DevdistTable.
#ifndef APP_DEVFRM_H_
#define APP_DEVFRM_H_

#include <QDialog>

class TDeveloperForm : public QDialog {
  Q_OBJECT

 public:
  explicit TDeveloperForm(QWidget* parent = nullptr);

  // Shows the window modally and returns its modal result.
  int ShowModal();
};

extern TDeveloperForm* DeveloperForm;

#endif  // APP_DEVFRM_H_
