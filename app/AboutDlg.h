// TAboutDialog (instance AboutDialog): the about box with the program's title.
#ifndef APP_ABOUTDLG_H_
#define APP_ABOUTDLG_H_

#include <QDialog>

class TAboutDialog : public QDialog {
  Q_OBJECT

 public:
  explicit TAboutDialog(QWidget* parent = nullptr);

  int ShowModal();
};

extern TAboutDialog* AboutDialog;

#endif  // APP_ABOUTDLG_H_
