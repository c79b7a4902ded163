// TCatalogForm (instance CatalogForm): the catalog record form, editing the current title of
// QvxcatTable.
#ifndef APP_CATALFRM_H_
#define APP_CATALFRM_H_

#include <QDialog>

class TCatalogForm : public QDialog {
  Q_OBJECT

 public:
  explicit TCatalogForm(QWidget* parent = nullptr);

  // Shows the window modally and returns its modal result.
  int ShowModal();
};

extern TCatalogForm* CatalogForm;

#endif  // APP_CATALFRM_H_
