// TCategoryForm (instance CategoryForm): the category record form, editing the current record of
// CategoryTable.
#ifndef APP_CATEGFRM_H_
#define APP_CATEGFRM_H_

#include <QDialog>

class TCategoryForm : public QDialog {
  Q_OBJECT

 public:
  explicit TCategoryForm(QWidget* parent = nullptr);

  // Shows the window modally and returns its modal result.
  int ShowModal();
};

extern TCategoryForm* CategoryForm;

#endif  // APP_CATEGFRM_H_
